// What every pluginhost command gets: the loaded plug-in, the host's logger and settings, and
// the command's own arguments. A command returns the process exit status: 0 success, 1 failure,
// 2 a usage error.
#pragma once

#include "rman/BackupDescription.h"
#include "tools/pluginclient/PluginLibrary.h"
#include "tools/pluginhost/HostLogger.h"
#include "tools/pluginhost/HostSettings.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct HostContext {
    PluginLibrary& plugin;
    HostLogger& logger;
    HostSettings& settings;
};

// The plug-in's data source and data sink for this host; null, with the reason on standard
// error, when the plug-in gives none.
PluginDataObject* CreateDataSource(HostContext& context);
PluginDataObject* CreateDataSink(HostContext& context);

typedef int (*HostCommandFunction)(HostContext& context, const std::vector<std::wstring>& args);

struct HostCommand {
    const wchar_t* name;
    const wchar_t* usage;
    HostCommandFunction run;
};

int RunInfoCommand(HostContext& context, const std::vector<std::wstring>& args);
int RunListCommand(HostContext& context, const std::vector<std::wstring>& args);
int RunBackupCommand(HostContext& context, const std::vector<std::wstring>& args);
int RunRestoreCommand(HostContext& context, const std::vector<std::wstring>& args);

// A command that needs no plug-in: it is run without loading the library.
typedef int (*StandaloneCommandFunction)(const std::vector<std::wstring>& args);
int RunVerifyCommand(const std::vector<std::wstring>& args);

// A stream file opened in binary mode for the stream commands; "-" is standard output (writing)
// or standard input (reading). Null when it cannot be opened.
FILE* OpenStreamFile(const std::wstring& path, bool forWriting);
// The description that the stream of path carries, read from a scratch copy; false with the
// reason when it cannot be read or carries none.
bool ReadStreamDescription(const std::wstring& path, BackupDescription& description,
                           std::wstring& error);

// The stream commands move a stream in blocks of this size.
const uint32_t kBlockSize = 1024 * 1024;

const int kExitSuccess = 0;
const int kExitFailure = 1;
const int kExitUsage = 2;
