// The library's entry point and its three exports (plain names, see OraclePlugin.def).
#include "host/PluginObjects.h"

#include <windows.h>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}

hostabi::PluginInfoObject* HOST_CALL GetPluginInfo() {
    return hostabi::CreatePluginInfo();
}

hostabi::ReadPart* HOST_CALL GetBackupDataRead(hostabi::HostLogger* logger,
                                               hostabi::HostSettings* settings) {
    return hostabi::CreateBackupDataRead(logger, settings);
}

hostabi::WritePart* HOST_CALL GetBackupDataWrite(hostabi::HostLogger* logger,
                                                 hostabi::HostSettings* settings) {
    return hostabi::CreateBackupDataWrite(logger, settings);
}

} // extern "C"
