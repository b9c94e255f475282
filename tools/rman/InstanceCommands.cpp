// Starting, stopping, mounting and opening the instance; CONFIGURE, SET and HOST.
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

void Session::Startup(TokenCursor& words) {
    bool force = false;
    bool nomount = false;
    bool mount = false;
    while (!words.AtEnd()) {
        std::wstring ignored;
        if (words.Accept(L"force"))
            force = true;
        else if (words.Accept(L"nomount"))
            nomount = true;
        else if (words.Accept(L"mount"))
            mount = true;
        else if (words.Accept(L"dba") || words.Accept(L"open"))
            continue;
        else if (words.Accept(L"pfile") && words.Accept(L"=") && words.AcceptAny(ignored))
            continue;
        else {
            SyntaxError(words.Peek());
            return;
        }
    }
    simoracle::InstanceState instance = Instance();
    if (force && instance.state != DatabaseState::Down) {
        // FORCE aborts the running instance first.
        SaveState(DatabaseState::Down, false);
        instance.state = DatabaseState::Down;
    }
    const bool startedNow = instance.state == DatabaseState::Down;
    if (startedNow) {
        bool parameterFileMissing = false;
        StartInstance(parameterFileMissing);
        if (nomount) {
            PrintSystemGlobalArea();
            return;
        }
        if (parameterFileMissing) {
            Fail(kVerb, {L"ORA-00205: error in identifying control file, check alert log for "
                         L"more info"});
            return;
        }
    } else {
        out_.Line(L"database is already started");
        if (nomount)
            return;
    }
    const DatabaseState state = Instance().state;
    if (state == DatabaseState::Started) {
        if (!MountDatabase(kVerb))
            return;
        out_.Line(L"database mounted");
    } else {
        out_.Line(L"database already mounted");
    }
    if (!mount) {
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
    for (const simoracle::DataFileSpec& dataFile : simoracle::DataFileSpecs()) {
        const std::wstring path = files_.DataFile(dataFile);
        const std::wstring named =
            L"ORA-01110: data file " + FileNumber(dataFile.number) + L": '" + path + L"'";
        simoracle::DataFileHeader header;
        if (!simoracle::FileExists(path)) {
            Fail(verb, {L"ORA-01157: cannot identify/lock data file " +
                            FileNumber(dataFile.number) + L" - see DBWR trace file",
                        named});
            return false;
        }
        if (!simoracle::ReadDataFileHeader(path, header) || header.dbid != controlFile.dbid) {
            Fail(verb, {L"ORA-01122: database file " + FileNumber(dataFile.number) +
                            L" failed verification check",
                        named, L"ORA-01210: data file header is media corrupt"});
            return false;
        }
        if (header.fuzzy) {
            Fail(verb, {resetLogs ? L"ORA-01194: file " + FileNumber(dataFile.number) +
                                        L" needs more recovery to be consistent"
                                  : L"ORA-01113: file " + FileNumber(dataFile.number) +
                                        L" needs media recovery",
                        named});
            return false;
        }
        const bool stale = header.resetlogsId != controlFile.resetlogsId ||
                           header.checkpointSequence < controlFile.checkpointSequence;
        if (stale && !resetLogs) {
            Fail(verb,
                 {L"ORA-01113: file " + FileNumber(dataFile.number) + L" needs media recovery",
                  named});
            return false;
        }
    }
    if (resetLogs) {
        ++controlFile.resetlogsId;
        controlFile.currentSequence = 1;
        controlFile.restoredFromBackup = false;
        controlFile.resetlogsRequired = false;
    }
    simoracle::Checkpoint(files_, controlFile);
    if (!simoracle::WriteOnlineLog(files_, controlFile) || !SaveControl(controlFile, verb))
        return false;
    SaveState(DatabaseState::Open, false);
    return true;
}

void Session::Shutdown(TokenCursor& words) {
    const bool abort = words.Accept(L"abort");
    if (!abort && !words.Accept(L"immediate") && !words.Accept(L"normal"))
        words.Accept(L"transactional");
    if (!words.AtEnd()) {
        SyntaxError(words.Peek());
        return;
    }
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

void Session::AlterDatabase(TokenCursor& words) {
    const wchar_t verb[] = L"alter db";
    if (!words.Accept(L"database")) {
        SyntaxError(words.Peek());
        return;
    }
    const bool open = words.Accept(L"open");
    const bool mount = !open && words.Accept(L"mount");
    const bool resetLogs = open && words.Accept(L"resetlogs");
    if (open && !resetLogs)
        words.Accept(L"noresetlogs");
    if ((!open && !mount) || !words.AtEnd()) {
        SyntaxError(words.Peek());
        return;
    }
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
    if (OpenDatabase(verb, resetLogs))
        out_.Line(L"Statement processed");
}

void Session::Configure(const std::wstring& command, TokenCursor& words) {
    if (words.AtEnd()) {
        SyntaxError(L";");
        return;
    }
    simoracle::ControlFile controlFile;
    if (!LoadMountedControl(controlFile, L"configure", true))
        return;
    RepositoryNotice();
    // The setting as shown: the command upper-cased outside its quotes, with its ';'.
    std::wstring setting;
    wchar_t quote = 0;
    for (wchar_t c : command.substr(0, FindCommandEnd(command))) {
        if (quote == 0 && (c == L'\'' || c == L'"'))
            quote = c;
        else if (quote != 0 && c == quote)
            quote = 0;
        setting += quote == 0 ? static_cast<wchar_t>(std::towupper(c)) : c;
    }
    while (!setting.empty() && std::iswspace(setting.back()))
        setting.pop_back();
    const bool clear = setting.size() > 6 && setting.compare(setting.size() - 6, 6, L" CLEAR") == 0;
    const size_t to = setting.find(L" TO ");
    const std::wstring key =
        clear ? setting.substr(0, setting.size() - 6)
              : setting.substr(0, to == std::wstring::npos ? setting.size() : to);
    std::wstring old;
    for (auto it = controlFile.configuration.begin(); it != controlFile.configuration.end(); ++it)
        if (it->compare(0, key.size(), key) == 0) {
            old = *it;
            controlFile.configuration.erase(it);
            break;
        }
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

void Session::SetCommand(TokenCursor& words) {
    std::wstring dbid;
    if (!words.Accept(L"dbid") || !words.AcceptAny(dbid) || !words.AtEnd() || dbid.empty() ||
        dbid.find_first_not_of(L"0123456789") != std::wstring::npos) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
    const DatabaseState state = Instance().state;
    if (connected_ && (state == DatabaseState::Mounted || state == DatabaseState::Open)) {
        Fail(L"set", {L"RMAN-06188: cannot use command when connected to a mounted target "
                      L"database"});
        return;
    }
    dbidSet_ = std::stoull(dbid);
    out_.Line(L"executing command: SET DBID");
}

void Session::Host(TokenCursor& words) {
    std::wstring command;
    if (!words.AcceptQuoted(command) || !words.AtEnd()) {
        SyntaxError(words.Peek().empty() ? L";" : words.Peek());
        return;
    }
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
