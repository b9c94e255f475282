// The library's entry point and its three exports (plain names, see OraclePlugin.def).
#include "plugin/PluginImplementation.h"
#include "plugin/PluginInfo.h"

#include <windows.h>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}

IPluginInfo* GetPluginInfo() {
    return new PluginInfo();
}

IBackupDataRead* GetBackupDataRead(IPluginLogger* logger, IPluginSettings* settings) {
    return new PluginImplementation(logger, settings);
}

IBackupDataWrite* GetBackupDataWrite(IPluginLogger* logger, IPluginSettings* settings) {
    return new PluginImplementation(logger, settings);
}

} // extern "C"
