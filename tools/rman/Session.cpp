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

Session::Session(Output& output, CommandReader& reader, const std::wstring& home,
                 const std::wstring& sid)
    : out_(output), reader_(reader), home_(home), files_(home, sid), connected_(false),
      channelAllocated_(false), repositoryNoticeShown_(false), exiting_(false), dbidSet_(0),
      failed_(false), skipPieceWrites_(false), dieMidway_(false) {}

void Session::Begin() {
    out_.SetTrickle(simoracle::LoadFaults(files_).trickle);
    out_.Write(L"\nRecovery Manager: Release 19.0.0.0.0 - Production on " + BannerDate() +
               L"\nVersion 19.3.0.0.0\n\nCopyright (c) 1982, 2019, Oracle and/or its affiliates.  "
               L"All rights reserved.\n");
}

bool Session::ApplyFaults(const std::wstring& statement, const std::wstring& verb) {
    const simoracle::FaultSet faults = simoracle::LoadFaults(files_);
    out_.SetTrickle(faults.trickle);
    const std::wstring normalised = simoracle::NormaliseCommand(statement);
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
    if (faults.Find(FaultKind::NoPiece, normalised))
        skipPieceWrites_ = true;
    if (faults.Find(FaultKind::DieMidway, normalised))
        dieMidway_ = true;
    if (faults.Find(FaultKind::Die, normalised)) {
        out_.Line(L"Starting " + verb + L" at " + ShownNow());
        ExitProcess(3);
    }
    if (const simoracle::CommandFault* fault = faults.Find(FaultKind::Fail, normalised)) {
        if (fault->text.empty()) {
            Fail(verb, {L"ORA-00600: internal error code, arguments: [simulated fault], [" +
                        normalised + L"]"});
        } else if (verb == L"backup" || verb == L"restore" || verb == L"recover") {
            // A given cause is reported as the channel's, as errors of the files are.
            out_.Line(L"Starting " + verb + L" at " + ShownNow());
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
    errorStacks_.push_back(lines);
    failed_ = true;
}

void Session::WriteErrorStacks() {
    for (const std::vector<std::wstring>& lines : errorStacks_) {
        out_.Line(kStackRule);
        out_.Line(kStackTitle);
        out_.Line(kStackRule);
        for (const std::wstring& line : lines)
            out_.Line(line);
    }
    errorStacks_.clear();
}

void Session::Fail(const std::wstring& verb, const std::vector<std::wstring>& causes) {
    std::vector<std::wstring> lines;
    lines.push_back(L"RMAN-03002: failure of " + verb + L" command at " + CommandDate());
    lines.insert(lines.end(), causes.begin(), causes.end());
    ErrorStack(lines);
}

void Session::ChannelFailure(const std::wstring& verb, const std::vector<std::wstring>& causes) {
    std::vector<std::wstring> lines;
    lines.push_back(L"RMAN-03009: failure of " + verb + L" command on " + ChannelName() +
                    L" channel at " + CommandDate());
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

// CONNECT is read from its text: a password may hold anything.
bool Session::ParseConnect(TokenCursor& words, Action& action) {
    std::wstring ignored;
    while (words.AcceptAny(ignored)) {
    }
    action = [](Session& session, const Statement& statement) { session.Connect(statement.text); };
    return true;
}

bool Session::ParseExit(TokenCursor& words, Action& action) {
    std::wstring ignored;
    while (words.AcceptAny(ignored)) {
    }
    action = [](Session& session, const Statement&) { session.Exit(); };
    return true;
}

void Session::Exit() {
    out_.Write(L"\nRecovery Manager complete.\n");
    exiting_ = true;
}

namespace {

struct Credentials {
    std::wstring user;
    std::wstring password; // empty: to be asked for
    std::wstring identifier;
    bool operatingSystem = false;
};

// "connect target" and what follows it, taken as typed; false without "target".
bool ReadCredentials(const std::wstring& statement, Credentials& credentials) {
    std::wstring rest = statement;
    const size_t at = Lower(rest).find(L"target");
    if (at == std::wstring::npos)
        return false;
    rest = rest.substr(at + 6);
    while (!rest.empty() && (rest.back() == L';' || std::iswspace(rest.back())))
        rest.pop_back();
    while (!rest.empty() && std::iswspace(rest.front()))
        rest.erase(0, 1);
    credentials.operatingSystem = rest == L"/" || rest.empty();
    if (credentials.operatingSystem)
        return true;
    const size_t slash = rest.find(L'/');
    credentials.user = rest.substr(0, slash);
    std::wstring afterUser = slash == std::wstring::npos ? L"" : rest.substr(slash + 1);
    const size_t atSign = afterUser.rfind(L'@');
    if (atSign != std::wstring::npos) {
        credentials.identifier = afterUser.substr(atSign + 1);
        afterUser = afterUser.substr(0, atSign);
    }
    credentials.password = afterUser;
    return true;
}

} // namespace

void Session::Connect(const std::wstring& statement) {
    Credentials credentials;
    if (!ReadCredentials(statement, credentials)) {
        SyntaxError(L"connect");
        return;
    }
    if (!credentials.operatingSystem && credentials.password.empty()) {
        out_.Write(L"target database Password: ");
        if (!reader_.Answer(credentials.password))
            credentials.password.clear();
        out_.Write(L"\n");
    }
    const std::wstring sid = credentials.identifier.empty() ? files_.Sid() : credentials.identifier;
    const simoracle::DatabaseFiles target(home_, sid);
    const wchar_t* refusal = nullptr;
    if (sid.empty() || !simoracle::FolderExists(target.DataFolder()))
        refusal = credentials.identifier.empty()
                      ? L"ORA-12560: TNS:protocol adapter error"
                      : L"ORA-12154: TNS:could not resolve the connect identifier specified";
    else if (!credentials.operatingSystem &&
             !simoracle::CheckPassword(target, credentials.user, credentials.password))
        refusal = L"ORA-01017: invalid username/password; logon denied";
    if (refusal != nullptr) {
        ErrorStack({L"RMAN-00554: initialization of internal recovery manager package failed",
                    L"RMAN-04005: error from target database: ", refusal});
        return;
    }
    files_ = target;
    connected_ = true;
    ReportConnection();
}

void Session::ReportConnection() {
    simoracle::ControlFile controlFile;
    const bool haveControl = simoracle::LoadControlFile(files_.ControlFile(), controlFile);
    const std::wstring dbid = std::to_wstring(haveControl ? controlFile.dbid : 0);
    switch (Instance().state) {
    case DatabaseState::Down:
        out_.Line(L"connected to target database (not started)");
        break;
    case DatabaseState::Started:
        out_.Line(L"connected to target database: " + DatabaseNameFromParameters() +
                  L" (not mounted)");
        break;
    case DatabaseState::Mounted:
        out_.Line(L"connected to target database: " + controlFile.dbName + L" (DBID=" + dbid +
                  L", not open)");
        break;
    case DatabaseState::Open:
        out_.Line(L"connected to target database: " + controlFile.dbName + L" (DBID=" + dbid +
                  L")");
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
        Fail(verb, InstanceDownCauses());
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

bool Session::LoadRepository(simoracle::ControlFile& controlFile, const std::wstring& verb) {
    if (!LoadMountedControl(controlFile, verb, true))
        return false;
    RepositoryNotice();
    return true;
}

bool Session::SaveControl(const simoracle::ControlFile& controlFile, const std::wstring& verb) {
    if (simoracle::SaveControlFile(files_.ControlFile(), controlFile))
        return true;
    Fail(verb, {L"ORA-00221: error on write to control file",
                L"ORA-00206: error in writing (block 1, # blocks 1) of control file",
                L"ORA-00202: control file: '" + files_.ControlFile() + L"'"});
    return false;
}

std::vector<std::wstring> Session::InstanceDownCauses() {
    return {L"RMAN-06403: could not obtain a fully authorized session",
            L"ORA-01034: ORACLE not available", L"ORA-27101: shared memory realm does not exist"};
}

void Session::StartJob(const std::wstring& verb) {
    out_.Line(L"Starting " + verb + L" at " + ShownNow());
    RepositoryNotice();
    UseChannel();
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
