// The console that runs Recovery Manager: a test program standing in for rman.exe shows how it
// is started; on a simulated database, its dialogue, faults and ends.
#include "rman/RmanWrapper.h"
#include "tests/support/FakeHost.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/win/ScriptedProcess.h"
#include "tests/support/win/SimulatedOracle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing::AllOf;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;
using testing_support::Narrow;
using testing_support::ScratchFolder;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length == 0 || length >= 1024 ? L"<unset>" : std::wstring(value, length);
}

// A console on an Oracle home whose rman.exe is the test program that shows how it was started.
class RmanConsole : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryW(home_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((home_ + L"\\bin").c_str(), nullptr));
        ASSERT_TRUE(CopyFileW(testing_support::ProgramBesideTests(L"fake_rman_child.exe").c_str(),
                              (home_ + L"\\bin\\rman.exe").c_str(), FALSE));
        settings_.oracleHome = home_;
        settings_.oracleSid = L"ORCL";
        settings_.userName = L"system";
        settings_.password = L"S3cret-pw";
    }

    ScratchFolder folder_;
    const std::wstring home_ = folder_ / L"Oracle Home \u00e9";
    OracleSettings settings_;
    RecordingLogger log_;
};

TEST_F(RmanConsole, StartWithoutRmanExeStartsNothing) {
    settings_.oracleHome = folder_.Path();
    RmanWrapper console(&log_, RecordingLogger::Record);
    EXPECT_FALSE(console.Start(settings_));
    EXPECT_EQ(L"RMAN utility (rman.exe) doesn't not found", console.GetErrorText());
    EXPECT_FALSE(console.IsRunning());
    EXPECT_TRUE(log_.Messages().empty());
    EXPECT_FALSE(console.ExecuteCommand(L"show all;\n"));
}

TEST_F(RmanConsole, StartsRmanQuotedWithItsOwnEnvironment) {
    SetEnvironmentVariableW(L"ORACLE_SID", L"BEFORE");
    SetEnvironmentVariableW(L"NLS_LANG", nullptr);
    RmanWrapper console(&log_, RecordingLogger::Record);
    ASSERT_TRUE(console.Start(settings_)) << Narrow(console.GetErrorText()) << Narrow(log_.All());
    EXPECT_TRUE(console.IsRunning());
    EXPECT_TRUE(console.ExecuteCommand(L"show all;\n")); // the start-up lines have arrived
    // The home is non-ASCII, read back as UTF-8.
    EXPECT_THAT(log_.Texts(LogDetail),
                testing::IsSupersetOf({L"command line \"" + home_ + L"\\bin\\rman.exe\"",
                                       std::wstring(L"ORACLE_SID=ORCL"), L"ORACLE_HOME=" + home_,
                                       std::wstring(L"NLS_LANG=AMERICAN_AMERICA.AL32UTF8"),
                                       std::wstring(L"NLS_DATE_FORMAT=YYYY-MM-DD HH24:MI:SS"),
                                       std::wstring(L"dacl present")}));
    // The variables are Recovery Manager's alone: the host's environment stays as it was.
    EXPECT_EQ(L"BEFORE", Environment(L"ORACLE_SID"));
    EXPECT_EQ(L"<unset>", Environment(L"NLS_LANG"));

    // A second start while it runs changes nothing.
    settings_.oracleSid = L"OTHER";
    EXPECT_FALSE(console.Start(settings_));
    EXPECT_EQ(L"", console.GetErrorText());
}

TEST_F(RmanConsole, NoCallbackFollowsTheDestruction) {
    settings_.oracleSid = L"FLOOD"; // writes lines without end
    {
        RmanWrapper console(&log_, RecordingLogger::Record);
        ASSERT_TRUE(console.Start(settings_))
            << Narrow(console.GetErrorText()) << Narrow(log_.All());
        for (int waited = 0; log_.Messages().size() < 100 && waited < 20000; ++waited)
            Sleep(1);
        ASSERT_GE(log_.Messages().size(), 100u);
    }
    const size_t afterDestruction = log_.Messages().size();
    Sleep(300);
    EXPECT_EQ(afterDestruction, log_.Messages().size());
}

// A console on a simulated database, its settings and what reached its callback.
class RmanConsoleOnSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db_.Ready()) << Narrow(db_.Error());
        settings_.userName = L"system";
        settings_.password = L"manager";
        settings_.oracleHome = db_.HomeDir();
        settings_.oracleSid = db_.Sid();
    }
    bool StartAndConnect() { return console_.Start(settings_) && console_.Connect(settings_); }

    testing_support::SimulatedOracle db_;
    OracleSettings settings_;
    RecordingLogger log_;
    RmanWrapper console_{&log_, &RecordingLogger::Record};
};

// Output cut into single bytes gives the same dialogue as output in whole lines, non-ASCII text
// included.
TEST_F(RmanConsoleOnSimulator, ConnectsRunsCommandsAndLogsOnlyTheDialogue) {
    ASSERT_TRUE(db_.AddFault(simoracle::FaultKind::Fail, L"show all"));
    const std::wstring folder = db_.Folder(L"Sicherung \u00e4\u20ac");
    for (const bool trickle : {false, true}) {
        ASSERT_TRUE(db_.SetTrickle(trickle));
        ASSERT_TRUE(StartAndConnect()) << Narrow(console_.GetErrorText());
        EXPECT_FALSE(console_.ExecuteCommand(L"show all;\n")) << Narrow(log_.All());
        EXPECT_TRUE(console_.ExecuteCommand(L"backup current controlfile tag 'T1' format '" +
                                            folder + L"\\%U.ctl';\n"))
            << Narrow(log_.All());
        EXPECT_THAT(log_.Texts(LogDetail), Contains(L"connect target system/********"));
        EXPECT_THAT(log_.All(),
                    AllOf(HasSubstr(L"connected to target database"), HasSubstr(L"RMAN-00569:"),
                          HasSubstr(L"piece handle=" + folder + L"\\"), Not(HasSubstr(L"\ufffd"))));
        // The filter drops blank lines, the banner, prompts and carriage returns.
        for (const std::wstring& line : log_.Texts(LogDetail))
            EXPECT_THAT(line, AllOf(Not(testing::IsEmpty()), Not(HasSubstr(L"Recovery Manager: ")),
                                    Not(HasSubstr(L"Copyright ")), Not(HasSubstr(L"RMAN> ")),
                                    Not(HasSubstr(L"\r"))));
        console_.Stop();
    }
}

// A character that the unquoted connect line cannot carry would end the password early and run
// what follows as a command, or wait for ever: nothing is sent, and the password is not shown.
TEST_F(RmanConsoleOnSimulator, CredentialsTheConnectLineCannotCarryAreNeverSent) {
    const std::wstring passwords[] = {
        L"secret1; shutdown immediate;", L"pass word", L"p@ss", L"p/ss", L"it's", L"say\"hi",
        L"first\nhost 'echo x';",        L"tab\there"};
    ASSERT_TRUE(console_.Start(settings_)) << Narrow(log_.All());
    for (const std::wstring& password : passwords) {
        settings_.password = password;
        EXPECT_FALSE(console_.Connect(settings_));
        EXPECT_EQ(std::wstring::npos, console_.GetErrorText().find(password));
    }
    settings_.password = L"manager";
    settings_.userName = L"sys tem";
    EXPECT_FALSE(console_.Connect(settings_));
    EXPECT_THAT(log_.All(), Not(HasSubstr(L"connect target")));
    EXPECT_THAT(log_.All(), Not(HasSubstr(L"shutdown")));
    EXPECT_EQ(simoracle::DatabaseState::Open, db_.State());
}

// A quote in a path leaves the statement unfinished: Recovery Manager asks for its next line.
TEST_F(RmanConsoleOnSimulator, AnUnfinishedCommandEndsRecoveryManagerWithAClearText) {
    ASSERT_TRUE(StartAndConnect());
    EXPECT_FALSE(console_.ExecuteCommand(L"CATALOG START WITH 'C:\\o'brien\\x' noprompt;\n"));
    EXPECT_EQ(0u, console_.GetErrorText().find(L"RMAN waits for the rest of an unfinished command "
                                               L"(prompt \"RMAN> 2> \")"))
        << Narrow(console_.GetErrorText());
    EXPECT_FALSE(console_.IsRunning());
}

// A failure marks only its command; the error text keeps the failure's sentence first and adds
// Recovery Manager's reason, the message lines of its error stack and its standard error, on one
// line.
TEST_F(RmanConsoleOnSimulator, FailuresMarkTheirCommandAndCarryRecoveryManagersReason) {
    ASSERT_TRUE(db_.AddFault(simoracle::FaultKind::Fail, L"crosscheck backup",
                             {L"ORA-19502: write error on file \"x\", block number 7"}));
    ASSERT_TRUE(db_.AddFault(simoracle::FaultKind::Stderr, L"show all", {L"the disk is full"}));
    ASSERT_TRUE(StartAndConnect());
    EXPECT_FALSE(console_.ExecuteCommand(L"crosscheck backup;\n"));
    EXPECT_TRUE(console_.IsRunning());
    // A failed command leaves the error text to the step that sent it.
    EXPECT_EQ(L"", console_.GetErrorText());
    console_.Fail(L"Step failed");
    const std::wstring text = console_.GetErrorText();
    EXPECT_EQ(0u, text.find(L"Step failed: RMAN-03002: failure of crosscheck command"))
        << Narrow(log_.All());
    EXPECT_NE(std::wstring::npos,
              text.find(L"; ORA-19502: write error on file \"x\", block number 7"));
    EXPECT_EQ(std::wstring::npos, text.find(L"=====")) << Narrow(text);
    // Standard error fails the command, though the answer on standard output is normal.
    EXPECT_FALSE(console_.ExecuteCommand(L"show all;\n"));
    EXPECT_EQ(L"the disk is full", console_.FailureReason());
    EXPECT_THAT(log_.All(), Not(HasSubstr(L"the disk is full"))); // standard error is not logged
}

// An empty password makes Recovery Manager ask for one instead of prompting.
TEST_F(RmanConsoleOnSimulator, AQuestionEndsRecoveryManagerWithAClearText) {
    settings_.password.clear();
    ASSERT_TRUE(console_.Start(settings_)) << Narrow(log_.All());
    EXPECT_FALSE(console_.Connect(settings_));
    EXPECT_EQ(L"Can't connect to the database: RMAN asked for input (target database Password: ) "
              L"instead of prompting; it was stopped, since nobody can answer",
              console_.GetErrorText());
    EXPECT_FALSE(console_.IsRunning());
    EXPECT_THAT(log_.Texts(LogDetail), Contains(L"target database Password: "));
    // It can be started afresh.
    settings_.password = L"manager";
    ASSERT_TRUE(StartAndConnect()) << Narrow(console_.GetErrorText());
    EXPECT_TRUE(console_.ExecuteCommand(L"list backup;\n"));
}

// Recovery Manager's end is the reason of every step that fails after it, each named first.
TEST_F(RmanConsoleOnSimulator, RecoveryManagerDyingIsTheReasonOfTheStepsThatFollow) {
    ASSERT_TRUE(db_.AddFault(simoracle::FaultKind::Die, L"crosscheck backup"));
    ASSERT_TRUE(StartAndConnect());
    EXPECT_FALSE(console_.ExecuteCommand(L"crosscheck backup;\n"));
    EXPECT_EQ(L"Unexpected rman shutdown", console_.GetErrorText());
    EXPECT_FALSE(console_.IsRunning());
    EXPECT_THAT(log_.All(), HasSubstr(L"Starting crosscheck")); // its last words
    EXPECT_FALSE(console_.ExecuteCommand(L"list backup;\n"));
    console_.Fail(L"Later step failed");
    EXPECT_EQ(L"Later step failed: Unexpected rman shutdown", console_.GetErrorText());

    ASSERT_TRUE(db_.AddFault(simoracle::FaultKind::Die, L"connect*"));
    ASSERT_TRUE(console_.Start(settings_)) << Narrow(log_.All());
    EXPECT_FALSE(console_.Connect(settings_));
    EXPECT_EQ(L"Can't connect to the database: Unexpected rman shutdown", console_.GetErrorText());
}

// RmanTimeout: a Recovery Manager that stays silent, no file of the job folder growing, is
// stopped once the time allowed has passed; a piece that grows counts as work.
TEST_F(RmanConsoleOnSimulator, ASilentRecoveryManagerIsStoppedAfterTheTimeAllowed) {
    ASSERT_TRUE(db_.AddFault(simoracle::FaultKind::Hang, L"crosscheck backup"));
    settings_.rmanTimeoutMinutes = 0.05; // 3 s
    settings_.tempFolder = db_.Folder(L"job");
    ASSERT_TRUE(StartAndConnect());
    const auto start = std::chrono::steady_clock::now();
    // A piece that grows for 5 s.
    std::thread writer([&] {
        std::ofstream piece(std::filesystem::path(settings_.tempFolder + L"\\growing.bcp"),
                            std::ios::binary);
        for (int i = 0; i < 10; ++i) {
            piece << std::string(100, 'x') << std::flush;
            Sleep(500);
        }
    });
    EXPECT_FALSE(console_.ExecuteCommand(L"crosscheck backup;\n"));
    const auto took = std::chrono::steady_clock::now() - start;
    writer.join();
    EXPECT_GE(took, std::chrono::milliseconds(6500));
    EXPECT_LT(took, std::chrono::seconds(30));
    EXPECT_EQ(L"Recovery Manager wrote nothing for 0.05 minutes and no file in the job folder grew "
              L"(RmanTimeout); it was stopped",
              console_.GetErrorText());
    EXPECT_FALSE(console_.IsRunning());
    EXPECT_EQ(0u, db_.RunningRman());
}

TEST_F(RmanConsoleOnSimulator, AWorkingCommandIsNotCutShortButItsEndIsNoticed) {
    ASSERT_TRUE(db_.AddFault(simoracle::FaultKind::Hang, L"crosscheck backup"));
    ASSERT_TRUE(StartAndConnect());
    std::atomic<bool> done(false);
    bool result = true;
    std::thread command([&] {
        result = console_.ExecuteCommand(L"crosscheck backup;\n");
        done = true;
    });
    Sleep(2000); // four prompt polls
    EXPECT_FALSE(done.load());
    EXPECT_TRUE(console_.IsRunning());
    // Without it the command would never return: the joinable thread ends the test run.
    ASSERT_EQ(1u, db_.RunningRman()) << "cannot end rman.exe";
    db_.EndRunningRman();
    command.join();
    EXPECT_TRUE(done.load());
    EXPECT_FALSE(result);
    EXPECT_EQ(L"Unexpected rman shutdown", console_.GetErrorText());
}

} // namespace
