// Loads the plug-in library the way a backup application does, finds its three exports and calls
// them as a host built with Microsoft's compiler does (tools/pluginclient/PluginClient.h).
#pragma once

#include "tools/pluginclient/PluginClient.h"

#include <string>

class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // False with a reason when the library cannot be loaded or lacks an export.
    [[nodiscard]] bool Load(const std::wstring& path, std::wstring& error);

    // The exports; null when the plug-in gives no object. The caller hands each object back
    // with its Release. logger (may be null) must outlive the object; settings (may be null) is
    // used only during the call.
    [[nodiscard]] PluginDescription* GetPluginInfo();
    [[nodiscard]] PluginDataObject* GetBackupDataRead(PluginLogger* logger,
                                                      PluginSettingsSource* settings);
    [[nodiscard]] PluginDataObject* GetBackupDataWrite(PluginLogger* logger,
                                                       PluginSettingsSource* settings);
    // The full path of the loaded library file; empty before Load.
    std::wstring FilePath() const;

private:
    void* module_ = nullptr;
    hostabi::GetPluginInfoFunction getPluginInfo_ = nullptr;
    hostabi::GetBackupDataReadFunction getBackupDataRead_ = nullptr;
    hostabi::GetBackupDataWriteFunction getBackupDataWrite_ = nullptr;
};

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();
