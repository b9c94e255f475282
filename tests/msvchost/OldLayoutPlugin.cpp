// A plug-in built the old way: the host's interface compiled by g++, whose ABI gives a virtual
// destructor two slots. The test host must fail at its first call against it.
#include <cstdint>

class IPluginInfo {
public:
    virtual ~IPluginInfo() {}
    virtual void Release() = 0;
    virtual const wchar_t* GetPluginVersion() = 0;
    virtual const wchar_t* GetName() = 0;
    virtual int32_t GetKind() = 0;
    virtual bool GetFirstFlag() = 0;
    virtual bool GetSecondFlag() = 0;
    virtual bool GetThirdFlag() = 0;
};

class OldLayoutInfo : public IPluginInfo {
public:
    void Release() override { delete this; }
    const wchar_t* GetPluginVersion() override { return L"1.0"; }
    const wchar_t* GetName() override { return L"Oracle"; }
    int32_t GetKind() override { return 1; }
    bool GetFirstFlag() override { return false; }
    bool GetSecondFlag() override { return false; }
    bool GetThirdFlag() override { return false; }
};

extern "C" {
__declspec(dllexport) IPluginInfo* GetPluginInfo() {
    return new OldLayoutInfo();
}
__declspec(dllexport) void* GetBackupDataRead(void*, void*) {
    return nullptr;
}
__declspec(dllexport) void* GetBackupDataWrite(void*, void*) {
    return nullptr;
}
}
