// Loads the plug-in library the way a backup application does and finds its three exports.
#pragma once

#include "plugin/HostInterfaces.h"

#include <string>

class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // False with a reason when the library cannot be loaded or lacks an export.
    bool Load(const std::wstring& path, std::wstring& error);

    GetPluginInfoFunction getPluginInfo = nullptr;
    GetBackupDataReadFunction getBackupDataRead = nullptr;
    GetBackupDataWriteFunction getBackupDataWrite = nullptr;

private:
    void* module_ = nullptr;
};

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();
