// pluginhost: a command-line backup host. It loads the plug-in library exactly as a backup
// application does and drives it through the host interfaces.
#include "tools/pluginhost/HostCommand.h"

#include <cstdio>
#include <cwchar>

namespace {

const HostCommand kCommands[] = {
    {L"info", L"info [ITEM]            describe the plug-in, or one item", RunInfoCommand},
    {L"list", L"list [ITEM]            the homes and their instances, or one level",
     RunListCommand},
    {L"backup", L"backup ITEM FILE       back the instance up into FILE (- for standard output)",
     RunBackupCommand},
    {L"restore",
     L"restore ITEM FILE [FILE...] [--until-time T | --until-scn N]\n"
     L"                         restore the instance from FILE (- for standard input), or a\n"
     L"                         chain: a full stream, then its archived-log streams in order",
     RunRestoreCommand},
};

struct StandaloneCommand {
    const wchar_t* name;
    const wchar_t* usage;
    StandaloneCommandFunction run;
};

// Commands that never load the plug-in.
const StandaloneCommand kStandaloneCommands[] = {
    {L"verify",
     L"verify [--stats] FILE [FILE...]\n"
     L"                         check a stream as a restore would, no database needed (- for "
     L"standard input);\n"
     L"                         of several, whether they form a chain and which points it covers",
     RunVerifyCommand},
};

void PrintUsage() {
    std::wstring usage = L"usage: pluginhost [--plugin PATH] [--set KEY=VALUE]... "
                         L"[--settings FILE] COMMAND [ARGS]\n"
                         L"commands:\n";
    for (const HostCommand& command : kCommands)
        usage += std::wstring(L"  ") + command.usage + L"\n";
    for (const StandaloneCommand& command : kStandaloneCommands)
        usage += std::wstring(L"  ") + command.usage + L"\n";
    usage += L"--plugin defaults to OraclePlugin.dll beside this program.\n"
             L"Messages of the plug-in go to standard error, prefixed by their level.\n";
    PrintText(stderr, usage);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring pluginPath = ProgramFolder() + L"OraclePlugin.dll";
    HostSettings settings;
    int index = 1;
    for (; index < argc && std::wcsncmp(argv[index], L"--", 2) == 0; ++index) {
        const std::wstring option = argv[index];
        if (option == L"--help") {
            PrintUsage();
            return kExitSuccess;
        }
        if (index + 1 >= argc) {
            PrintUsage();
            return kExitUsage;
        }
        const std::wstring value = argv[++index];
        std::wstring error;
        if (option == L"--plugin") {
            pluginPath = value;
        } else if (option == L"--set") {
            if (!settings.Add(value)) {
                PrintText(stderr, L"pluginhost: --set takes KEY=VALUE\n");
                return kExitUsage;
            }
        } else if (option == L"--settings") {
            if (!settings.AddFile(value, error)) {
                PrintText(stderr, L"pluginhost: " + error + L"\n");
                return kExitUsage;
            }
        } else {
            PrintUsage();
            return kExitUsage;
        }
    }
    if (index >= argc) {
        PrintUsage();
        return kExitUsage;
    }
    const std::wstring commandName = argv[index++];
    const std::vector<std::wstring> args(argv + index, argv + argc);
    for (const StandaloneCommand& command : kStandaloneCommands) {
        if (commandName != command.name)
            continue;
        const int status = command.run(args);
        if (status == kExitUsage)
            PrintUsage();
        return status;
    }
    for (const HostCommand& command : kCommands) {
        if (commandName != command.name)
            continue;
        PluginLibrary plugin;
        std::wstring error;
        if (!plugin.Load(pluginPath, error)) {
            PrintText(stderr, L"pluginhost: " + error + L"\n");
            return kExitFailure;
        }
        HostLogger logger;
        HostContext context{plugin, logger, settings};
        const int status = command.run(context, args);
        if (status == kExitUsage)
            PrintUsage();
        return status;
    }
    PrintUsage();
    return kExitUsage;
}
