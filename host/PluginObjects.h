// The plug-in's objects as the host sees them: Microsoft-layout tables whose slot functions turn
// the host's strings and records into the plug-in's own types, call PluginInfo and
// PluginImplementation, and turn the results back. No C++ exception leaves a slot function or a
// creation: a standard-library exception inside an operation becomes an error message (level 2)
// and the result Failure; a failed creation gives null.
#pragma once

#include "host/HostAbi.h"

namespace hostabi {

[[nodiscard]] PluginInfoObject* CreatePluginInfo();
// A new plug-in object that reads its settings from settings now and keeps logger (may be null)
// for its life; its IBackupDataRead part, or its IBackupDataWrite part.
[[nodiscard]] ReadPart* CreateBackupDataRead(HostLogger* logger, HostSettings* settings);
[[nodiscard]] WritePart* CreateBackupDataWrite(HostLogger* logger, HostSettings* settings);

} // namespace hostabi
