// Starting, stopping, mounting and opening the instance; CONFIGURE and HOST.
#include "tools/rman/Session.h"

#include "tools/simdb/DataFile.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Redo.h"
#include "virid/Win32Handles.h"

#include <windows.h>

#include <cwctype>

namespace rmansim {

using simoracle::DatabaseState;

namespace {

const wchar_t kVerb[] = L"startup";

std::wstring FileNumber(unsigned number) {
    return std::to_wstring(number);
}

} // namespace

bool Session::ParseStartup(TokenCursor& words, Action& action) {
    StartupRequest request;
    std::wstring ignored;
    while (!words.AtEnd()) {
        if (words.Accept(L"force"))
            request.force = true;
        else if (words.Accept(L"nomount"))
            request.nomount = true;
        else if (words.Accept(L"mount"))
            request.mount = true;
        else if (!words.Accept(L"dba") && !words.Accept(L"open") &&
                 !(words.Accept(L"pfile") && words.Accept(L"=") && words.AcceptAny(ignored)))
            return false;
    }
    action = [request](Session& session, const Statement&) { session.Startup(request); };
    return true;
}

void Session::Startup(const StartupRequest& request) {
    bool startedNow = false;
    if (!StartForStartup(request, startedNow))
        return;
    const DatabaseState state = Instance().state;
    if (state == DatabaseState::Started) {
        if (!MountDatabase(kVerb))
            return;
        out_.Line(L"database mounted");
    } else {
        out_.Line(L"database already mounted");
    }
    if (!request.mount) {
        if (state == DatabaseState::Open)
            out_.Line(L"database already open");
        else if (!OpenDatabase(kVerb, false))
            return;
        else
            out_.Line(L"database opened");
    }
    if (startedNow)
        PrintSystemGlobalArea();
}

// The instance part of STARTUP; false when the statement ends there (NOMOUNT, or a failure).
bool Session::StartForStartup(const StartupRequest& request, bool& startedNow) {
    simoracle::InstanceState instance = Instance();
    if (request.force && instance.state != DatabaseState::Down) {
        // FORCE aborts the running instance first.
        SaveState(DatabaseState::Down, false);
        instance.state = DatabaseState::Down;
    }
    startedNow = instance.state == DatabaseState::Down;
    if (!startedNow) {
        out_.Line(L"database is already started");
        return !request.nomount;
    }
    bool parameterFileMissing = false;
    StartInstance(parameterFileMissing);
    if (request.nomount) {
        PrintSystemGlobalArea();
        return false;
    }
    if (parameterFileMissing) {
        Fail(kVerb, {L"ORA-00205: error in identifying control file, check alert log for "
                     L"more info"});
        return false;
    }
    return true;
}

void Session::StartInstance(bool& parameterFileMissing) {
    parameterFileMissing = !simoracle::FileExists(files_.SpFile());
    if (parameterFileMissing) {
        out_.Line(L"startup failed: ORA-01078: failure in processing system parameters");
        out_.Line(L"LRM-00109: could not open parameter file '" + files_.Home() +
                  L"\\DATABASE\\INIT" + Upper(files_.Sid()) + L".ORA'");
        out_.Line(L"");
        out_.Line(L"starting Oracle instance without parameter file for retrieval of spfile");
    }
    out_.Line(L"Oracle instance started");
    SaveState(DatabaseState::Started, Instance().cleanShutdown, parameterFileMissing);
}

void Session::PrintSystemGlobalArea() {
    out_.Write(L"\nTotal System Global Area    1073741824 bytes\n\n"
               L"Fixed Size                     8628936 bytes\n"
               L"Variable Size                377487672 bytes\n"
               L"Database Buffers             679477248 bytes\n"
               L"Redo Buffers                   8146944 bytes\n");
}

bool Session::MountDatabase(const std::wstring& verb) {
    simoracle::ControlFile controlFile;
    // The stand-in instance names no control file of the database.
    if (Instance().standIn || !simoracle::LoadControlFile(files_.ControlFile(), controlFile)) {
        Fail(verb, {L"ORA-00205: error in identifying control file, check alert log for more "
                    L"info"});
        return false;
    }
    SaveState(DatabaseState::Mounted, Instance().cleanShutdown);
    return true;
}

bool Session::OpenDatabase(const std::wstring& verb, bool resetLogs) {
    simoracle::ControlFile controlFile;
    if (!LoadControl(controlFile, verb))
        return false;
    const bool resetLogsNeeded = controlFile.restoredFromBackup || controlFile.resetlogsRequired;
    if (resetLogsNeeded && !resetLogs) {
        Fail(verb, {L"ORA-01589: must use RESETLOGS or NORESETLOGS option for database open"});
        return false;
    }
    if (!resetLogsNeeded && resetLogs) {
        Fail(verb, {L"ORA-01139: RESETLOGS option only valid after an incomplete database "
                    L"recovery"});
        return false;
    }
    for (const simoracle::SimulatedDataFile& dataFile : simoracle::SimulatedDataFiles())
        if (!CheckDataFileForOpen(verb, controlFile, dataFile, resetLogs))
            return false;
    if (resetLogs)
        BeginIncarnation(controlFile);
    simoracle::Checkpoint(files_, controlFile);
    if (!simoracle::WriteOnlineLog(files_, controlFile) || !SaveControl(controlFile, verb))
        return false;
    SaveState(DatabaseState::Open, false);
    return true;
}

bool Session::CheckDataFileForOpen(const std::wstring& verb,
                                   const simoracle::ControlFile& controlFile,
                                   const simoracle::SimulatedDataFile& dataFile, bool resetLogs) {
    const std::wstring path = files_.DataFile(dataFile);
    const std::wstring number = FileNumber(dataFile.number);
    const std::wstring named = L"ORA-01110: data file " + number + L": '" + path + L"'";
    simoracle::DataFileHeader header;
    if (!simoracle::FileExists(path)) {
        Fail(verb,
             {L"ORA-01157: cannot identify/lock data file " + number + L" - see DBWR trace file",
              named});
        return false;
    }
    if (!simoracle::ReadDataFileHeader(path, header) || header.dbid != controlFile.dbid) {
        Fail(verb, {L"ORA-01122: database file " + number + L" failed verification check", named,
                    L"ORA-01210: data file header is media corrupt"});
        return false;
    }
    if (header.fuzzy) {
        Fail(verb,
             {resetLogs ? L"ORA-01194: file " + number + L" needs more recovery to be consistent"
                        : L"ORA-01113: file " + number + L" needs media recovery",
              named});
        return false;
    }
    const bool stale = header.resetlogsId != controlFile.resetlogsId ||
                       header.checkpointSequence < controlFile.checkpointSequence;
    if (stale && !resetLogs) {
        Fail(verb, {L"ORA-01113: file " + number + L" needs media recovery", named});
        return false;
    }
    return true;
}

bool Session::ParseShutdown(TokenCursor& words, Action& action) {
    const bool abort = words.Accept(L"abort");
    if (!abort && !words.Accept(L"immediate") && !words.Accept(L"normal"))
        words.Accept(L"transactional");
    action = [abort](Session& session, const Statement&) { session.Shutdown(abort); };
    return true;
}

void Session::Shutdown(bool abort) {
    const simoracle::InstanceState instance = Instance();
    switch (instance.state) {
    case DatabaseState::Down:
        Fail(L"shutdown", {L"ORA-01034: ORACLE not available",
                           L"ORA-27101: shared memory realm does not exist"});
        return;
    case DatabaseState::Open:
        if (abort)
            break;
        {
            simoracle::ControlFile controlFile;
            if (simoracle::LoadControlFile(files_.ControlFile(), controlFile)) {
                simoracle::Checkpoint(files_, controlFile);
                simoracle::SaveControlFile(files_.ControlFile(), controlFile);
            }
        }
        out_.Line(L"database closed");
        out_.Line(L"database dismounted");
        out_.Line(L"Oracle instance shut down");
        SaveState(DatabaseState::Down, true);
        return;
    case DatabaseState::Mounted:
        if (!abort)
            out_.Line(L"database dismounted");
        break;
    case DatabaseState::Started:
        break;
    }
    out_.Line(L"Oracle instance shut down");
    SaveState(DatabaseState::Down, !abort && instance.cleanShutdown);
}

bool Session::ParseAlterDatabase(TokenCursor& words, Action& action) {
    AlterDatabaseRequest request;
    if (!words.Accept(L"database"))
        return false;
    request.open = words.Accept(L"open");
    if (!request.open && !words.Accept(L"mount"))
        return false;
    request.resetLogs = request.open && words.Accept(L"resetlogs");
    if (request.open && !request.resetLogs)
        words.Accept(L"noresetlogs");
    action = [request](Session& session, const Statement&) { session.AlterDatabase(request); };
    return true;
}

void Session::AlterDatabase(const AlterDatabaseRequest& request) {
    const wchar_t verb[] = L"alter db";
    const bool open = request.open;
    const bool mount = !open;
    switch (Instance().state) {
    case DatabaseState::Down:
        Fail(verb, {L"ORA-01034: ORACLE not available",
                    L"ORA-27101: shared memory realm does not exist"});
        return;
    case DatabaseState::Started:
        if (open) {
            Fail(verb, {L"ORA-01507: database not mounted"});
            return;
        }
        if (MountDatabase(verb))
            out_.Line(L"Statement processed");
        return;
    case DatabaseState::Open:
        Fail(verb, {open ? L"ORA-01531: a database already open by the instance"
                         : L"ORA-01100: database already mounted"});
        return;
    case DatabaseState::Mounted:
        if (mount) {
            Fail(verb, {L"ORA-01100: database already mounted"});
            return;
        }
        break;
    }
    if (OpenDatabase(verb, request.resetLogs))
        out_.Line(L"Statement processed");
}

bool Session::ParseConfigure(TokenCursor& words, Action& action) {
    std::wstring word;
    if (!words.AcceptAny(word))
        return false;
    while (words.AcceptAny(word)) {
    }
    action = [](Session& session, const Statement& statement) {
        session.Configure(statement.text);
    };
    return true;
}

namespace {

// The setting as shown: the statement upper-cased outside its quotes.
std::wstring ConfigurationSetting(const std::wstring& statement) {
    std::wstring setting;
    wchar_t quote = 0;
    for (wchar_t c : statement) {
        if (quote == 0 && (c == L'\'' || c == L'"'))
            quote = c;
        else if (quote != 0 && c == quote)
            quote = 0;
        setting += quote == 0 ? static_cast<wchar_t>(std::towupper(c)) : c;
    }
    while (!setting.empty() && std::iswspace(setting.back()))
        setting.pop_back();
    return setting;
}

// Takes the stored setting of that key out of the configuration; empty when there is none.
std::wstring TakeSetting(std::vector<std::wstring>& configuration, const std::wstring& key) {
    for (auto it = configuration.begin(); it != configuration.end(); ++it)
        if (it->compare(0, key.size(), key) == 0) {
            const std::wstring old = *it;
            configuration.erase(it);
            return old;
        }
    return std::wstring();
}

} // namespace

void Session::Configure(const std::wstring& statement) {
    simoracle::ControlFile controlFile;
    if (!LoadRepository(controlFile, L"configure"))
        return;
    const std::wstring setting = ConfigurationSetting(statement);
    const bool clear = setting.size() > 6 && setting.compare(setting.size() - 6, 6, L" CLEAR") == 0;
    const size_t to = setting.find(L" TO ");
    const std::wstring key =
        clear ? setting.substr(0, setting.size() - 6)
              : setting.substr(0, to == std::wstring::npos ? setting.size() : to);
    const std::wstring old = TakeSetting(controlFile.configuration, key);
    if (clear) {
        out_.Line(old.empty() ? L"RMAN configuration parameters are successfully reset to "
                                L"default value"
                              : L"old RMAN configuration parameters:\n" + old +
                                    L"\nRMAN configuration parameters are successfully reset "
                                    L"to default value");
    } else {
        controlFile.configuration.push_back(setting + L";");
        if (!old.empty())
            out_.Line(L"old RMAN configuration parameters:\n" + old);
        out_.Line(L"new RMAN configuration parameters:\n" + setting +
                  L";\nnew RMAN configuration parameters are successfully stored");
    }
    SaveControl(controlFile, L"configure");
}

bool Session::ParseHost(TokenCursor& words, Action& action) {
    std::wstring command;
    if (!words.AcceptQuoted(command))
        return false;
    action = [command](Session& session, const Statement&) { session.Host(command); };
    return true;
}

void Session::Host(const std::wstring& command) {
    // The command writes straight to this program's own output, as under Recovery Manager.
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"cmd.exe /c " + command;
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        Fail(L"host", {L"RMAN-06135: error executing host command: " + simoracle::LastErrorText()});
        return;
    }
    VIRid::UniqueHandle processHandle(process.hProcess);
    VIRid::UniqueHandle threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.get(), &exitCode);
    if (exitCode != 0) {
        Fail(L"host", {L"RMAN-06135: error executing host command: Additional information: " +
                       std::to_wstring(exitCode)});
        return;
    }
    out_.Line(L"host command complete");
}

} // namespace rmansim
