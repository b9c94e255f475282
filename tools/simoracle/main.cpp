// simoracle.exe: creates, inspects and damages simulated Oracle installations.
#include "tools/simdb/Faults.h"
#include "tools/simdb/Instance.h"
#include "tools/simdb/SimOracle.h"
#include "virid/Strings.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t kUsage[] =
    L"usage:\n"
    L"  simoracle home NAME DIR\n"
    L"  simoracle remove-home NAME\n"
    L"  simoracle instance HOME_NAME SID [--user U --password P] [--noarchivelog] [--size MB]\n"
    L"                     [--bare] [--rate MBPS]\n"
    L"  simoracle digest SID\n"
    L"  simoracle state SID\n"
    L"  simoracle wreck SID [--controlfile | --all]\n"
    L"  simoracle touch SID\n"
    L"  simoracle fault SID fail|stderr|refuse-delete \"COMMAND\" [--text \"LINE\"]...\n"
    L"  simoracle fault SID die|die-midway|hang|slow|nopiece \"COMMAND\"\n"
    L"  simoracle fault SID trickle on|off\n"
    L"  simoracle fault SID clear\n";

void Print(FILE* stream, const std::wstring& text) {
    const std::string bytes = VIRid::strings::WstrToUTF8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

int Usage() {
    Print(stderr, kUsage);
    return 2;
}

int Result(bool ok, const std::wstring& error) {
    if (ok)
        return 0;
    Print(stderr, L"simoracle: " + error + L"\n");
    return 1;
}

int CreateInstanceCommand(const std::vector<std::wstring>& args) {
    if (args.size() < 3)
        return Usage();
    simoracle::InstanceOptions options;
    for (size_t i = 3; i < args.size(); ++i) {
        const std::wstring& option = args[i];
        const bool hasValue = i + 1 < args.size();
        if (option == L"--user" && hasValue) {
            options.user = args[++i];
        } else if (option == L"--password" && hasValue) {
            options.password = args[++i];
        } else if (option == L"--noarchivelog") {
            options.archiveLog = false;
        } else if (option == L"--bare") {
            options.bare = true;
        } else if (option == L"--rate" && hasValue) {
            wchar_t* end = nullptr;
            const double rate = std::wcstod(args[++i].c_str(), &end);
            if (end == nullptr || *end != L'\0' || !(rate > 0) || rate > 100000) {
                Print(stderr, L"simoracle: --rate takes megabytes a second, above 0\n");
                return 2;
            }
            options.rateMbps = rate;
        } else if (option == L"--size" && hasValue) {
            wchar_t* end = nullptr;
            const unsigned long size = std::wcstoul(args[++i].c_str(), &end, 10);
            if (end == nullptr || *end != L'\0' || size == 0 || size > 65536) {
                Print(stderr, L"simoracle: --size takes 1 to 65536 (MB)\n");
                return 2;
            }
            options.sizeMb = static_cast<unsigned>(size);
        } else {
            return Usage();
        }
    }
    std::wstring error;
    return Result(simoracle::CreateInstance(args[1], args[2], options, error), error);
}

int FaultCommand(const std::wstring& home, const std::vector<std::wstring>& args) {
    const std::wstring& sid = args[1];
    std::wstring error;
    if (args.size() == 3 && args[2] == L"clear")
        return Result(simoracle::ClearFaults(home, sid, error), error);
    if (args.size() == 4 && args[2] == L"trickle" && (args[3] == L"on" || args[3] == L"off"))
        return Result(simoracle::SetTrickle(home, sid, args[3] == L"on", error), error);
    simoracle::FaultKind kind;
    if (args.size() < 4 || !simoracle::ParseFaultKind(args[2], kind) || args[3].empty())
        return Usage();
    // The lines of the fault's own text: what a failure reports, or what goes to standard error.
    std::vector<std::wstring> text;
    const bool takesText = kind == simoracle::FaultKind::Fail ||
                           kind == simoracle::FaultKind::Stderr ||
                           kind == simoracle::FaultKind::RefuseDelete;
    for (size_t i = 4; i < args.size(); i += 2) {
        if (!takesText || args[i] != L"--text" || i + 1 >= args.size())
            return Usage();
        text.push_back(args[i + 1]);
    }
    return Result(simoracle::AddFault(home, sid, kind, args[3], error, text), error);
}

int Run(const std::vector<std::wstring>& args) {
    if (args.empty())
        return Usage();
    const std::wstring& command = args[0];
    std::wstring error;
    if (command == L"home")
        return args.size() == 3 ? Result(simoracle::CreateHome(args[1], args[2], error), error)
                                : Usage();
    if (command == L"remove-home")
        return args.size() == 2 ? Result(simoracle::RemoveHome(args[1], error), error) : Usage();
    if (command == L"instance")
        return CreateInstanceCommand(args);
    const bool known = command == L"digest" || command == L"state" || command == L"wreck" ||
                       command == L"touch" || command == L"fault";
    if (!known || args.size() < 2)
        return Usage();
    const std::wstring home = simoracle::FindHomeOfInstance(args[1], error);
    if (home.empty())
        return Result(false, error);
    if (command == L"digest") {
        if (args.size() != 2)
            return Usage();
        const std::string digest = simoracle::Digest(home, args[1], error);
        if (digest.empty())
            return Result(false, error);
        Print(stdout, VIRid::strings::UTF8toWstr(digest) + L"\n");
        return 0;
    }
    if (command == L"state") {
        if (args.size() != 2)
            return Usage();
        Print(stdout,
              std::wstring(simoracle::StateName(simoracle::GetState(home, args[1]))) + L"\n");
        return 0;
    }
    if (command == L"wreck") {
        simoracle::WreckScope scope = simoracle::WreckScope::DataFiles;
        if (args.size() == 3 && args[2] == L"--controlfile")
            scope = simoracle::WreckScope::ControlFileToo;
        else if (args.size() == 3 && args[2] == L"--all")
            scope = simoracle::WreckScope::All;
        else if (args.size() != 2)
            return Usage();
        return Result(simoracle::Wreck(home, args[1], scope, error), error);
    }
    if (command == L"touch") {
        if (args.size() != 2)
            return Usage();
        simoracle::ChangePoint point;
        if (!simoracle::Touch(home, args[1], point, error))
            return Result(false, error);
        const std::string digest = simoracle::Digest(home, args[1], error);
        if (digest.empty())
            return Result(false, error);
        Print(stdout, L"SCN " + std::to_wstring(point.scn) + L" at " + point.time + L", digest " +
                          VIRid::strings::UTF8toWstr(digest) + L"\n");
        return 0;
    }
    return FaultCommand(home, args);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    return Run(args);
}
