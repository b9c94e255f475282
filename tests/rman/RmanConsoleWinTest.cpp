#include "rman/RmanWrapper.h"
#include "tests/rman/ProcedureFixture.h"
#include "tests/support/win/ScriptedProcess.h"
#include "tests/support/win/TestFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using procedure_testing::SimulatedDatabase;
using testing_support::TestFolder;

// Every line that the console passes to its callback, in order.
class LineLog {
public:
    static void Record(void* context, const wchar_t* line) {
        LineLog* self = static_cast<LineLog*>(context);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->lines.push_back(line);
    }
    std::vector<std::wstring> Lines() const {
        std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
    size_t Count() const { return Lines().size(); }
    bool Has(const std::wstring& line) const {
        const std::vector<std::wstring> all = Lines();
        return std::find(all.begin(), all.end(), line) != all.end();
    }
    // Any line that holds the text.
    bool Mentions(const std::wstring& text) const {
        const std::vector<std::wstring> all = Lines();
        return std::any_of(all.begin(), all.end(), [&](const std::wstring& each) {
            return each.find(text) != std::wstring::npos;
        });
    }
    std::string All() const {
        std::string all;
        for (const std::wstring& each : Lines())
            all += std::string(each.begin(), each.end()) + "\n";
        return all;
    }

private:
    mutable std::mutex mutex;
    std::vector<std::wstring> lines;
};

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length == 0 || length >= 1024 ? L"<unset>" : std::wstring(value, length);
}

// An Oracle home whose rman.exe is the test program that shows how it was started.
class FakeHome {
public:
    FakeHome() : home(folder / L"Oracle Home \u00e9") {
        CreateDirectoryW(home.c_str(), nullptr);
        CreateDirectoryW((home + L"\\bin").c_str(), nullptr);
        ready = CopyFileW(testing_support::ProgramBesideTests(L"fake_rman_child.exe").c_str(),
                          (home + L"\\bin\\rman.exe").c_str(), FALSE) != FALSE;
    }
    OracleSettings Settings(const std::wstring& sid) const {
        OracleSettings settings;
        settings.oracleHome = home;
        settings.oracleSid = sid;
        settings.userName = L"system";
        settings.password = L"S3cret-pw";
        return settings;
    }

    TestFolder folder;
    const std::wstring home;
    bool ready = false;
};

TEST(RmanConsole, StartWithoutRmanExeStartsNothing) {
    TestFolder folder;
    SetEnvironmentVariableW(L"ORACLE_SID", L"BEFORE");
    OracleSettings settings;
    settings.oracleHome = folder.Path();
    settings.oracleSid = L"ORCL";
    LineLog log;
    RmanWrapper console(&log, LineLog::Record);
    EXPECT_FALSE(console.Start(settings));
    EXPECT_EQ(L"RMAN utility (rman.exe) doesn't not found", console.GetErrorText());
    EXPECT_FALSE(console.IsRunning());
    EXPECT_EQ(L"BEFORE", Environment(L"ORACLE_SID"));
    EXPECT_EQ(0u, log.Count());
    EXPECT_FALSE(console.ExecuteCommand(L"show all;\n"));
}

TEST(RmanConsole, StartsRmanQuotedWithItsOwnEnvironmentAndMasksThePassword) {
    SetEnvironmentVariableW(L"ORACLE_SID", L"BEFORE");
    SetEnvironmentVariableW(L"NLS_LANG", nullptr);
    FakeHome fake;
    ASSERT_TRUE(fake.ready);
    OracleSettings settings = fake.Settings(L"ORCL");
    LineLog log;
    RmanWrapper console(&log, LineLog::Record);
    ASSERT_TRUE(console.Start(settings))
        << procedure_testing::Narrow(console.GetErrorText()) << log.All();
    EXPECT_TRUE(console.IsRunning());
    EXPECT_TRUE(console.ExecuteCommand(L"show all;\n")); // the start-up lines have arrived
    EXPECT_TRUE(log.Has(L"command line \"" + fake.home + L"\\bin\\rman.exe\"")) << log.All();
    EXPECT_TRUE(log.Has(L"ORACLE_SID=ORCL"));
    EXPECT_TRUE(log.Has(L"ORACLE_HOME=" + fake.home)); // non-ASCII, read back as UTF-8
    EXPECT_TRUE(log.Has(L"NLS_LANG=AMERICAN_AMERICA.AL32UTF8"));
    EXPECT_TRUE(log.Has(L"dacl present")) << log.All();
    // The variables are Recovery Manager's alone: the host's environment stays as it was.
    EXPECT_EQ(L"BEFORE", Environment(L"ORACLE_SID"));
    EXPECT_EQ(L"<unset>", Environment(L"NLS_LANG"));

    // A second start while it runs changes nothing.
    settings.oracleSid = L"OTHER";
    EXPECT_FALSE(console.Start(settings));
    EXPECT_EQ(L"", console.GetErrorText());

    // The connect line, and a connect within a command, reach the log without the password.
    EXPECT_TRUE(console.Connect(settings));
    EXPECT_TRUE(log.Has(L"connect target system/********")) << log.All();
    EXPECT_TRUE(console.ExecuteCommand(L"show all;\nconnect target system/S3cret-pw@ORCLNET\n"));
    EXPECT_TRUE(log.Has(L"show all;"));
    EXPECT_FALSE(log.Mentions(L"S3cret")) << log.All();
}

TEST(RmanConsole, NoCallbackFollowsTheDestruction) {
    FakeHome fake;
    ASSERT_TRUE(fake.ready);
    OracleSettings settings = fake.Settings(L"FLOOD"); // writes lines without end
    LineLog log;
    {
        RmanWrapper console(&log, LineLog::Record);
        ASSERT_TRUE(console.Start(settings))
            << procedure_testing::Narrow(console.GetErrorText()) << log.All();
        for (int waited = 0; log.Count() < 100 && waited < 20000; ++waited)
            Sleep(1);
        ASSERT_GE(log.Count(), 100u);
    }
    const size_t afterDestruction = log.Count();
    Sleep(300);
    EXPECT_EQ(afterDestruction, log.Count());
}

TEST(RmanConsole, WithoutACallbackNothingIsEmittedButPromptsAreSeen) {
    FakeHome fake;
    ASSERT_TRUE(fake.ready);
    OracleSettings settings = fake.Settings(L"ORCL");
    RmanWrapper console(nullptr, LineLog::Record);
    ASSERT_TRUE(console.Start(settings)) << procedure_testing::Narrow(console.GetErrorText());
    EXPECT_TRUE(console.Connect(settings));
    EXPECT_TRUE(console.ExecuteCommand(L"show all;\n"));
}

} // namespace

namespace {

// A console on a simulated database, its settings and what reached its callback.
class RmanConsoleOnSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(database.Ready()) << procedure_testing::Narrow(database.Error());
        settings = database.JobSettings(database.NewFolder(L"job"));
    }
    bool StartAndConnect() { return console.Start(settings) && console.Connect(settings); }
    bool SetTrickle(bool on) {
        std::wstring error;
        return simoracle::SetTrickle(database.HomeDir(), database.Sid(), on, error);
    }
    // Lines that the filter must have dropped.
    std::vector<std::wstring> UnfilteredLines() const {
        std::vector<std::wstring> found;
        for (const std::wstring& line : log.Lines())
            if (line.empty() || line.find(L"Recovery Manager: ") != std::wstring::npos ||
                line.find(L"Copyright ") != std::wstring::npos ||
                line.find(L"RMAN> ") != std::wstring::npos ||
                line.find(L'\r') != std::wstring::npos)
                found.push_back(line);
        return found;
    }

    SimulatedDatabase database;
    OracleSettings settings;
    LineLog log;
    RmanWrapper console{&log, LineLog::Record};
};

// Output cut into single bytes gives the same dialogue as output in whole lines.
TEST_F(RmanConsoleOnSimulator, ConnectsRunsCommandsAndLogsOnlyTheDialogue) {
    ASSERT_TRUE(database.AddFault(simoracle::FaultKind::Fail, L"show all"));
    for (const bool trickle : {false, true}) {
        ASSERT_TRUE(SetTrickle(trickle));
        ASSERT_TRUE(StartAndConnect()) << procedure_testing::Narrow(console.GetErrorText());
        EXPECT_TRUE(console.ExecuteCommand(L"crosscheck backup;\n")) << log.All();
        EXPECT_FALSE(console.ExecuteCommand(L"show all;\n")) << log.All();
        EXPECT_TRUE(console.ExecuteCommand(L"crosscheck backup;\n")) << log.All();
        EXPECT_TRUE(log.Has(L"connect target system/********")) << log.All();
        EXPECT_TRUE(log.Mentions(L"connected to target database")) << log.All();
        EXPECT_TRUE(log.Mentions(L"RMAN-00569:")) << log.All();
        EXPECT_FALSE(log.Mentions(L"manager")) << log.All();
        EXPECT_TRUE(UnfilteredLines().empty()) << log.All();
        console.Stop();
    }
}

TEST_F(RmanConsoleOnSimulator, NonAsciiPathsTravelAsUtf8EvenCutIntoSingleBytes) {
    ASSERT_TRUE(SetTrickle(true));
    const std::wstring folder = database.NewFolder(L"Sicherung \u00e4\u20ac");
    ASSERT_TRUE(StartAndConnect());
    EXPECT_TRUE(console.ExecuteCommand(L"backup current controlfile tag 'T1' format '" + folder +
                                       L"\\%U.ctl';\n"))
        << log.All();
    EXPECT_TRUE(log.Mentions(L"piece handle=" + folder + L"\\")) << log.All();
    EXPECT_FALSE(log.Mentions(L"\ufffd")) << log.All();
}

TEST_F(RmanConsoleOnSimulator, AWrongPasswordFailsTheConnectWithOraclesReason) {
    settings.password = L"wrong";
    ASSERT_TRUE(console.Start(settings)) << log.All();
    EXPECT_FALSE(console.Connect(settings));
    EXPECT_EQ(0u, console.GetErrorText().find(L"Can't connect to the database: "));
    EXPECT_NE(std::wstring::npos, console.GetErrorText().find(L"ORA-01017")) << log.All();
    EXPECT_TRUE(log.Has(L"connect target system/********"));
    EXPECT_FALSE(log.Mentions(L"wrong")) << log.All();
}

// A character that the unquoted connect line cannot carry would end the password early and run
// what follows as a command, or wait for ever: nothing is sent, and the password is not shown.
TEST_F(RmanConsoleOnSimulator, CredentialsTheConnectLineCannotCarryAreNeverSent) {
    const std::wstring passwords[] = {
        L"secret1; shutdown immediate;", L"pass word", L"p@ss", L"p/ss", L"it's", L"say\"hi",
        L"first\nhost 'echo x';",        L"tab\there"};
    ASSERT_TRUE(console.Start(settings)) << log.All();
    for (const std::wstring& password : passwords) {
        settings.password = password;
        EXPECT_FALSE(console.Connect(settings));
        EXPECT_EQ(0u, console.GetErrorText().find(L"Can't connect to the database: the user name "
                                                  L"or password holds a character"));
        EXPECT_EQ(std::wstring::npos, console.GetErrorText().find(password));
    }
    settings.password = L"manager";
    settings.userName = L"sys tem";
    EXPECT_FALSE(console.Connect(settings));
    EXPECT_FALSE(log.Mentions(L"connect target")) << log.All();
    EXPECT_FALSE(log.Mentions(L"shutdown")) << log.All();
    EXPECT_STREQ("open", procedure_testing::StateName(database.State()));
}

// A quote in a path leaves the statement unfinished: Recovery Manager asks for its next line.
TEST_F(RmanConsoleOnSimulator, AnUnfinishedCommandEndsRecoveryManagerWithAClearText) {
    ASSERT_TRUE(StartAndConnect());
    EXPECT_FALSE(console.ExecuteCommand(L"CATALOG START WITH 'C:\\o'brien\\x' noprompt;\n"));
    EXPECT_EQ(0u, console.GetErrorText().find(L"RMAN waits for the rest of an unfinished command "
                                              L"(prompt \"RMAN> 2> \")"))
        << procedure_testing::Narrow(console.GetErrorText());
    EXPECT_FALSE(console.IsRunning());
}

// The error text keeps the failure's sentence first and adds Recovery Manager's reason: the
// message lines of its error stack and its standard error, on one line.
// A failure marks only its command; the error text keeps the failure's sentence first and adds
// Recovery Manager's reason: the message lines of its error stack and its standard error.
TEST_F(RmanConsoleOnSimulator, FailuresMarkTheirCommandAndCarryRecoveryManagersReason) {
    ASSERT_TRUE(database.AddFault(simoracle::FaultKind::Fail, L"crosscheck backup",
                                  {L"ORA-19502: write error on file \"x\", block number 7"}));
    ASSERT_TRUE(
        database.AddFault(simoracle::FaultKind::Stderr, L"show all", {L"the disk is full"}));
    ASSERT_TRUE(StartAndConnect());
    EXPECT_NE(L"", console.TargetDbid());
    EXPECT_FALSE(console.ExecuteCommand(L"crosscheck backup;\n"));
    EXPECT_TRUE(console.IsRunning());
    // A failed command leaves the error text to the step that sent it.
    EXPECT_EQ(L"", console.GetErrorText());
    console.Fail(L"Step failed");
    const std::wstring text = console.GetErrorText();
    EXPECT_EQ(0u, text.find(L"Step failed: RMAN-03002: failure of crosscheck command"))
        << log.All();
    EXPECT_NE(std::wstring::npos,
              text.find(L"; ORA-19502: write error on file \"x\", block number 7"));
    EXPECT_EQ(std::wstring::npos, text.find(L"=====")) << procedure_testing::Narrow(text);
    EXPECT_TRUE(console.ExecuteCommand(L"list backup;\n")) << log.All();
    // Standard error fails the command, though the answer on standard output is normal.
    EXPECT_FALSE(console.ExecuteCommand(L"show all;\n"));
    EXPECT_EQ(L"the disk is full", console.FailureReason());
    EXPECT_FALSE(log.Mentions(L"the disk is full")) << log.All(); // standard error is not logged
}

// An empty password makes Recovery Manager ask for one instead of prompting.
TEST_F(RmanConsoleOnSimulator, AQuestionEndsRecoveryManagerWithAClearText) {
    settings.password.clear();
    ASSERT_TRUE(console.Start(settings)) << log.All();
    EXPECT_FALSE(console.Connect(settings));
    EXPECT_EQ(L"RMAN asked for input (target database Password: ) instead of prompting; it was "
              L"stopped, since nobody can answer",
              console.GetErrorText());
    EXPECT_FALSE(console.IsRunning());
    EXPECT_TRUE(log.Has(L"target database Password: ")) << log.All();
    EXPECT_FALSE(console.ExecuteCommand(L"list backup;\n"));
    // It can be started afresh.
    settings.password = L"manager";
    ASSERT_TRUE(StartAndConnect()) << procedure_testing::Narrow(console.GetErrorText());
    EXPECT_TRUE(console.ExecuteCommand(L"list backup;\n"));
}

TEST_F(RmanConsoleOnSimulator, RecoveryManagerDyingIsAnUnexpectedShutdownThatStays) {
    ASSERT_TRUE(database.AddFault(simoracle::FaultKind::Die, L"crosscheck backup"));
    ASSERT_TRUE(StartAndConnect());
    EXPECT_FALSE(console.ExecuteCommand(L"crosscheck backup;\n"));
    EXPECT_EQ(L"Unexpected rman shutdown", console.GetErrorText());
    EXPECT_FALSE(console.IsRunning());
    EXPECT_TRUE(log.Mentions(L"Starting crosscheck")) << log.All(); // its last words
    EXPECT_FALSE(console.ExecuteCommand(L"list backup;\n"));
    // The end is what went wrong; later steps do not replace it.
    console.Fail(L"Later step failed");
    EXPECT_EQ(L"Unexpected rman shutdown", console.GetErrorText());

    ASSERT_TRUE(database.AddFault(simoracle::FaultKind::Die, L"connect*"));
    ASSERT_TRUE(console.Start(settings)) << log.All();
    EXPECT_FALSE(console.Connect(settings));
    EXPECT_EQ(L"Unexpected rman shutdown", console.GetErrorText());
}

// The process id of this process's child rman.exe; 0 when there is none.
DWORD ChildRmanPid() {
    VIRid::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        snapshot.release();
        return 0;
    }
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            _wcsicmp(entry.szExeFile, L"rman.exe") == 0)
            return entry.th32ProcessID;
    return 0;
}

TEST_F(RmanConsoleOnSimulator, AWorkingCommandIsNotCutShortButItsEndIsNoticed) {
    ASSERT_TRUE(database.AddFault(simoracle::FaultKind::Hang, L"crosscheck backup"));
    ASSERT_TRUE(StartAndConnect());
    std::atomic<bool> done(false);
    bool result = true;
    std::thread command([&] {
        result = console.ExecuteCommand(L"crosscheck backup;\n");
        done = true;
    });
    Sleep(2000); // four prompt polls
    EXPECT_FALSE(done.load());
    EXPECT_TRUE(console.IsRunning());
    const DWORD pid = ChildRmanPid();
    VIRid::UniqueHandle rman(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    // Without it the command would never return: the joinable thread ends the test run.
    ASSERT_TRUE(pid != 0 && rman && TerminateProcess(rman.get(), 9)) << "cannot end rman.exe";
    command.join();
    EXPECT_TRUE(done.load());
    EXPECT_FALSE(result);
    EXPECT_EQ(L"Unexpected rman shutdown", console.GetErrorText());
}

TEST_F(RmanConsoleOnSimulator, TwoConsolesRunSideBySide) {
    OracleSettings secondSettings = settings;
    LineLog secondLog;
    ASSERT_TRUE(StartAndConnect());
    {
        RmanWrapper second(&secondLog, LineLog::Record);
        ASSERT_TRUE(second.Start(secondSettings) && second.Connect(secondSettings));
        EXPECT_TRUE(console.ExecuteCommand(L"list backup;\n"));
        EXPECT_TRUE(second.ExecuteCommand(L"list backup;\n"));
    } // the second job closes
    EXPECT_TRUE(console.ExecuteCommand(L"crosscheck backup;\n"));
    EXPECT_TRUE(console.ExecuteCommand(L"list backup;\n"));
    EXPECT_TRUE(secondLog.Has(L"list backup;"));
}

} // namespace
