#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"
#include "tools/simdb/Faults.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/PasswordFile.h"

#include <windows.h>

#include <cwctype>

namespace rmansim {

using simoracle::DatabaseState;

namespace {

const wchar_t kStackRule[] =
    L"RMAN-00571: ===========================================================";
const wchar_t kStackTitle[] =
    L"RMAN-00569: =============== ERROR MESSAGE STACK FOLLOWS ===============";

} // namespace

std::wstring FailureVerb(const std::wstring& firstWord) {
    const std::wstring word = Lower(firstWord);
    if (word == L"alter")
        return L"alter db";
    return word.empty() ? L"unknown" : word;
}

Session::Session(Output& output, CommandReader& reader, const std::wstring& home,
                 const std::wstring& sid)
    : out_(output), reader_(reader), home_(home), files_(home, sid), connected_(false),
      channelAllocated_(false), repositoryNoticeShown_(false), exiting_(false), dbidSet_(0) {}

void Session::Begin() {
    out_.SetTrickle(simoracle::LoadFaults(files_).trickle);
    out_.Write(L"\nRecovery Manager: Release 19.0.0.0.0 - Production on " + BannerDate() +
               L"\nVersion 19.3.0.0.0\n\nCopyright (c) 1982, 2019, Oracle and/or its affiliates.  "
               L"All rights reserved.\n");
}

void Session::Execute(const std::wstring& command) {
    const std::vector<Token> tokens = Tokenize(command);
    TokenCursor words(tokens);
    const std::wstring verb = FailureVerb(tokens.empty() ? L"" : tokens.front().text);
    out_.Write(L"\n");
    if (!ApplyFaults(command, verb))
        return;
    if (words.Accept(L"connect")) {
        Connect(command);
    } else if (words.Accept(L"exit") || words.Accept(L"quit")) {
        out_.Write(L"\nRecovery Manager complete.\n");
        exiting_ = true;
    } else if (words.Accept(L"host")) {
        Host(words);
    } else if (words.Accept(L"set")) {
        SetCommand(words);
    } else if (tokens.empty()) {
        SyntaxError(L";");
    } else {
        static const wchar_t* targetCommands[] = {
            L"startup", L"shutdown", L"alter",   L"configure", L"backup", L"catalog", L"crosscheck",
            L"delete",  L"restore",  L"recover", L"list",      L"report", L"show"};
        const std::wstring first = Lower(tokens.front().text);
        bool known = false;
        for (const wchar_t* name : targetCommands)
            known = known || first == name;
        if (!known || tokens.front().quoted) {
            SyntaxError(tokens.front().text);
            return;
        }
        if (!RequireConnection(verb))
            return;
        std::wstring commandWord;
        words.AcceptAny(commandWord);
        if (first == L"startup")
            Startup(words);
        else if (first == L"shutdown")
            Shutdown(words);
        else if (first == L"alter")
            AlterDatabase(words);
        else if (first == L"configure")
            Configure(command, words);
        else if (first == L"backup")
            Backup(words);
        else if (first == L"catalog")
            Catalog(words);
        else if (first == L"crosscheck")
            Crosscheck(words);
        else if (first == L"delete")
            Delete(words);
        else if (first == L"restore")
            Restore(words);
        else if (first == L"recover")
            Recover(words);
        else if (first == L"list")
            List(words);
        else if (first == L"report")
            Report(words);
        else
            Show(words);
    }
}

bool Session::ApplyFaults(const std::wstring& command, const std::wstring& verb) {
    const simoracle::FaultSet faults = simoracle::LoadFaults(files_);
    out_.SetTrickle(faults.trickle);
    const std::wstring normalised = simoracle::NormaliseCommand(command);
    using simoracle::FaultKind;
    if (faults.Find(FaultKind::Hang, normalised))
        for (;;)
            Sleep(INFINITE);
    if (faults.Find(FaultKind::Slow, normalised))
        Sleep(3000);
    if (const simoracle::CommandFault* fault = faults.Find(FaultKind::Stderr, normalised)) {
        if (fault->text.empty())
            out_.WriteError(L"RMAN-00600: internal error, arguments [simulated diagnostic] [" +
                            normalised + L"]");
        for (const std::wstring& line : fault->text)
            out_.WriteError(line);
    }
    if (faults.Find(FaultKind::Die, normalised)) {
        out_.Line(L"Starting " + verb + L" at " + CommandDate());
        ExitProcess(3);
    }
    if (const simoracle::CommandFault* fault = faults.Find(FaultKind::Fail, normalised)) {
        if (fault->text.empty()) {
            Fail(verb, {L"ORA-00600: internal error code, arguments: [simulated fault], [" +
                        normalised + L"]"});
        } else if (verb == L"backup" || verb == L"restore" || verb == L"recover") {
            // A given cause is reported as the channel's, as errors of the files are.
            out_.Line(L"Starting " + verb + L" at " + CommandDate());
            UseChannel();
            ChannelFailure(verb, fault->text);
        } else {
            Fail(verb, fault->text);
        }
        return false;
    }
    return true;
}

void Session::ErrorStack(const std::vector<std::wstring>& lines) {
    out_.Line(kStackRule);
    out_.Line(kStackTitle);
    out_.Line(kStackRule);
    for (const std::wstring& line : lines)
        out_.Line(line);
}

void Session::Fail(const std::wstring& verb, const std::vector<std::wstring>& causes) {
    std::vector<std::wstring> lines;
    lines.push_back(L"RMAN-03002: failure of " + verb + L" command at " + CommandDate());
    lines.insert(lines.end(), causes.begin(), causes.end());
    ErrorStack(lines);
}

void Session::ChannelFailure(const std::wstring& verb, const std::vector<std::wstring>& causes) {
    std::vector<std::wstring> lines;
    lines.push_back(L"RMAN-03009: failure of " + verb + L" command on ORA_DISK_1 channel at " +
                    CommandDate());
    lines.insert(lines.end(), causes.begin(), causes.end());
    ErrorStack(lines);
}

void Session::SyntaxError(const std::wstring& found) {
    ErrorStack({L"RMAN-00558: error encountered while parsing input commands",
                L"RMAN-01009: syntax error: found \"" + found +
                    L"\": expecting one of: \"allocate, alter, backup, catalog, configure, "
                    L"connect, crosscheck, delete, exit, host, list, quit, recover, report, "
                    L"restore, set, show, shutdown, startup\"",
                L"RMAN-01007: at line 1 column 1 file: standard input"});
}

void Session::Connect(const std::wstring& command) {
    // The rest of the line after "connect target", taken as typed: passwords may hold anything.
    std::wstring rest = command;
    size_t at = Lower(rest).find(L"target");
    if (at == std::wstring::npos) {
        SyntaxError(L"connect");
        return;
    }
    rest = rest.substr(at + 6);
    while (!rest.empty() && (rest.back() == L';' || std::iswspace(rest.back())))
        rest.pop_back();
    while (!rest.empty() && std::iswspace(rest.front()))
        rest.erase(0, 1);

    std::wstring user;
    std::wstring password;
    std::wstring identifier;
    const bool operatingSystem = rest == L"/" || rest.empty();
    if (!operatingSystem) {
        const size_t slash = rest.find(L'/');
        user = rest.substr(0, slash);
        std::wstring afterUser = slash == std::wstring::npos ? L"" : rest.substr(slash + 1);
        const size_t atSign = afterUser.rfind(L'@');
        if (atSign != std::wstring::npos) {
            identifier = afterUser.substr(atSign + 1);
            afterUser = afterUser.substr(0, atSign);
        }
        password = afterUser;
        if (password.empty()) {
            out_.Write(L"target database Password: ");
            if (!reader_.Answer(password))
                password.clear();
            out_.Write(L"\n");
        }
    }
    std::wstring sid = files_.Sid();
    if (!identifier.empty())
        sid = identifier;
    const simoracle::DatabaseFiles target(home_, sid);
    if (sid.empty() || !simoracle::FolderExists(target.DataFolder())) {
        ErrorStack({L"RMAN-00554: initialization of internal recovery manager package failed",
                    L"RMAN-04005: error from target database: ",
                    identifier.empty()
                        ? L"ORA-12560: TNS:protocol adapter error"
                        : L"ORA-12154: TNS:could not resolve the connect identifier specified"});
        return;
    }
    if (!operatingSystem && !simoracle::CheckPassword(target, user, password)) {
        ErrorStack({L"RMAN-00554: initialization of internal recovery manager package failed",
                    L"RMAN-04005: error from target database: ",
                    L"ORA-01017: invalid username/password; logon denied"});
        return;
    }
    files_ = target;
    connected_ = true;
    const simoracle::InstanceState instance = Instance();
    simoracle::ControlFile controlFile;
    const bool haveControl = simoracle::LoadControlFile(files_.ControlFile(), controlFile);
    switch (instance.state) {
    case DatabaseState::Down:
        out_.Line(L"connected to target database (not started)");
        break;
    case DatabaseState::Started:
        out_.Line(L"connected to target database: " + DatabaseNameFromParameters() +
                  L" (not mounted)");
        break;
    case DatabaseState::Mounted:
        out_.Line(L"connected to target database: " + controlFile.dbName + L" (DBID=" +
                  std::to_wstring(haveControl ? controlFile.dbid : 0) + L", not open)");
        break;
    case DatabaseState::Open:
        out_.Line(L"connected to target database: " + controlFile.dbName + L" (DBID=" +
                  std::to_wstring(haveControl ? controlFile.dbid : 0) + L")");
        break;
    }
}

bool Session::RequireConnection(const std::wstring& verb) {
    if (connected_)
        return true;
    Fail(verb, {L"RMAN-06171: not connected to target database"});
    return false;
}

simoracle::InstanceState Session::Instance() const {
    return simoracle::LoadInstance(files_);
}

void Session::SaveState(DatabaseState state, bool clean, bool standIn) {
    simoracle::InstanceState instance;
    instance.state = state;
    instance.cleanShutdown = clean;
    instance.standIn = standIn;
    simoracle::SaveInstance(files_, instance);
}

bool Session::RequireMounted(const std::wstring& verb, bool openAllowed) {
    switch (Instance().state) {
    case DatabaseState::Down:
        Fail(verb, {L"RMAN-06403: could not obtain a fully authorized session",
                    L"ORA-01034: ORACLE not available",
                    L"ORA-27101: shared memory realm does not exist"});
        return false;
    case DatabaseState::Started:
        Fail(verb, {L"ORA-01507: database not mounted"});
        return false;
    case DatabaseState::Open:
        if (!openAllowed) {
            Fail(verb, {L"ORA-19573: cannot obtain exclusive enqueue for datafile 1"});
            return false;
        }
        return true;
    case DatabaseState::Mounted:
        break;
    }
    return true;
}

bool Session::LoadControl(simoracle::ControlFile& controlFile, const std::wstring& verb) {
    if (simoracle::LoadControlFile(files_.ControlFile(), controlFile))
        return true;
    Fail(verb, {L"ORA-00210: cannot open the specified control file",
                L"ORA-00202: control file: '" + files_.ControlFile() + L"'"});
    return false;
}

bool Session::LoadMountedControl(simoracle::ControlFile& controlFile, const std::wstring& verb,
                                 bool openAllowed) {
    return RequireMounted(verb, openAllowed) && LoadControl(controlFile, verb);
}

bool Session::SaveControl(const simoracle::ControlFile& controlFile, const std::wstring& verb) {
    if (simoracle::SaveControlFile(files_.ControlFile(), controlFile))
        return true;
    Fail(verb, {L"ORA-00221: error on write to control file",
                L"ORA-00206: error in writing (block 1, # blocks 1) of control file",
                L"ORA-00202: control file: '" + files_.ControlFile() + L"'"});
    return false;
}

void Session::UseChannel() {
    if (channelAllocated_) {
        out_.Line(L"using channel ORA_DISK_1");
        return;
    }
    channelAllocated_ = true;
    out_.Line(L"allocated channel: ORA_DISK_1");
    out_.Line(L"channel ORA_DISK_1: SID=" + std::to_wstring(GetCurrentProcessId() % 900 + 10) +
              L" device type=DISK");
}

void Session::RepositoryNotice() {
    if (repositoryNoticeShown_)
        return;
    repositoryNoticeShown_ = true;
    out_.Line(L"using target database control file instead of recovery catalog");
}

std::wstring Session::DatabaseNameFromParameters() const {
    std::string bytes;
    if (Instance().standIn || !simoracle::ReadFileBytes(files_.SpFile(), bytes))
        return L"DUMMY";
    const size_t key = bytes.find("db_name='");
    if (key == std::string::npos)
        return L"DUMMY";
    const size_t start = key + 9;
    const size_t end = bytes.find('\'', start);
    return std::wstring(
        bytes.begin() + static_cast<std::ptrdiff_t>(start),
        bytes.begin() + static_cast<std::ptrdiff_t>(end == std::string::npos ? bytes.size() : end));
}

} // namespace rmansim
