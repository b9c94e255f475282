// A plug-in built the old way: the host's interface compiled by g++, whose ABI gives a virtual
// destructor two slots. The test host must fail at its first call against it.
#include <cstdint>

class OldLayoutInfo {
public:
    virtual ~OldLayoutInfo() {}
    virtual void Release() { delete this; }
    virtual const wchar_t* GetPluginVersion() { return L"1.0"; }
    virtual const wchar_t* GetName() { return L"Oracle"; }
    virtual int32_t GetKind() { return 1; }
    virtual bool GetFirstFlag() { return false; }
    virtual bool GetSecondFlag() { return false; }
    virtual bool GetThirdFlag() { return false; }
};

extern "C" {
__declspec(dllexport) OldLayoutInfo* GetPluginInfo() {
    return new OldLayoutInfo();
}
__declspec(dllexport) void* GetBackupDataRead(void*, void*) {
    return nullptr;
}
__declspec(dllexport) void* GetBackupDataWrite(void*, void*) {
    return nullptr;
}
}
