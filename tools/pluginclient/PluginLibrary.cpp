#include "tools/pluginclient/PluginLibrary.h"

#include "virid/FormatString.h"

#include <windows.h>

namespace {
// GetProcAddress gives a generic function pointer; the cast goes through void(*)() so that
// the compiler accepts the change of signature.
template <typename Function> Function FindExport(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The file of the module (null: the running program); empty when Windows cannot tell.
std::wstring ModuleFileName(HMODULE module) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}
} // namespace

PluginLibrary::~PluginLibrary() {
    if (module_ != nullptr)
        FreeLibrary(static_cast<HMODULE>(module_));
}

bool PluginLibrary::Load(const std::wstring& path, std::wstring& error) {
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        error =
            FormatString(L"cannot load the plug-in '%s' (error %lu)", path.c_str(), GetLastError());
        return false;
    }
    module_ = module;
    getPluginInfo_ = FindExport<hostabi::GetPluginInfoFunction>(module, "GetPluginInfo");
    getBackupDataRead_ =
        FindExport<hostabi::GetBackupDataReadFunction>(module, "GetBackupDataRead");
    getBackupDataWrite_ =
        FindExport<hostabi::GetBackupDataWriteFunction>(module, "GetBackupDataWrite");
    if (getPluginInfo_ == nullptr || getBackupDataRead_ == nullptr ||
        getBackupDataWrite_ == nullptr) {
        error = FormatString(L"the library '%s' lacks the plug-in exports", path.c_str());
        return false;
    }
    return true;
}

PluginDescription* PluginLibrary::GetPluginInfo() {
    hostabi::PluginInfoObject* object = getPluginInfo_();
    return object != nullptr ? new PluginDescription(object) : nullptr;
}

PluginDataObject* PluginLibrary::GetBackupDataRead(PluginLogger* logger,
                                                   PluginSettingsSource* settings) {
    return PluginDataObject::CreateRead(getBackupDataRead_, logger, settings);
}

PluginDataObject* PluginLibrary::GetBackupDataWrite(PluginLogger* logger,
                                                    PluginSettingsSource* settings) {
    return PluginDataObject::CreateWrite(getBackupDataWrite_, logger, settings);
}

std::wstring PluginLibrary::FilePath() const {
    return module_ != nullptr ? ModuleFileName(static_cast<HMODULE>(module_)) : std::wstring();
}

std::wstring ProgramFolder() {
    const std::wstring program = ModuleFileName(nullptr);
    const size_t slash = program.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : program.substr(0, slash + 1);
}
