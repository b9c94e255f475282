// rman.exe, the Recovery Manager simulator, driven over real pipes with scripted dialogues.
#include "tests/support/win/SimulatedOracle.h"
#include "tools/simdb/Instance.h"

#include "virid/Win32Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

namespace {

using testing_support::CountOf;
using testing_support::Narrow;
using testing_support::ScriptedRun;
using testing_support::SimulatedOracle;

const char kStackStart[] =
    "RMAN-00571: ===========================================================\r\n"
    "RMAN-00569: =============== ERROR MESSAGE STACK FOLLOWS ===============\r\n"
    "RMAN-00571: ===========================================================\r\n";
const char kConnect[] = "connect target system/manager\n";
const char kTag[] = "ZT_BACKUP_TAG";

// The commands of a backup job, as the plug-in words them, into folder.
std::string BackupScript(const std::wstring& folder, bool online, bool archivedLogs) {
    const std::string f = Narrow(folder);
    std::string script = std::string(kConnect) + "CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;\n"
                                                 "CONFIGURE DEFAULT DEVICE TYPE TO DISK;\n"
                                                 "crosscheck backup;\n"
                                                 "delete noprompt backup tag 'ZT_BACKUP_TAG';\n";
    if (!online)
        script += "shutdown immediate;\nstartup mount;\n";
    script += "backup spfile tag 'ZT_BACKUP_TAG' format '" + f + "\\%d-%I-%T-%U.spfile';\n";
    script += "backup current controlfile tag 'ZT_BACKUP_TAG' format '" + f +
              "\\%d-%I-%T-%U.controlfile';\n";
    script += "backup as compressed backupset database tag 'ZT_BACKUP_TAG' format '" + f +
              "\\%d-%I-%T-%U.bcp' " +
              (archivedLogs ? "plus archivelog tag 'ZT_BACKUP_TAG' format '" + f +
                                  "\\%h-%e-%d-%I-%T-%U.archlog'"
                            : std::string()) +
              ";\n";
    return script;
}

// The closing commands of a backup job.
std::string CompleteBackupScript(bool reopen) {
    return std::string(kConnect) +
           "crosscheck backup;\ndelete noprompt backup tag 'ZT_BACKUP_TAG';\n" +
           (reopen ? "alter database open;\n" : "");
}

// The commands of a restore job on folder; controlFilePiece names the piece to recover the
// control file from when the first mount fails (empty: no control-file step).
std::string RestoreScript(const std::wstring& folder, const std::wstring& controlFilePiece,
                          bool archivedLogs) {
    std::string script = std::string(kConnect) + "shutdown immediate;\nstartup mount;\n";
    if (!controlFilePiece.empty())
        script += "shutdown immediate;\nstartup force nomount;\nrestore controlfile from '" +
                  Narrow(controlFilePiece) + "';\nshutdown immediate;\n";
    script += "startup mount;\ncrosscheck backup;\ndelete noprompt backup tag 'ZT_BACKUP_TAG';\n"
              "CATALOG START WITH '" +
              Narrow(folder) + "' noprompt;\nrestore database from tag 'ZT_BACKUP_TAG';\n";
    if (archivedLogs)
        script += "restore archivelog all;\n";
    return script + "recover database;\n";
}

// The answers of a dialogue, one per command, without the banner.
std::vector<std::string> Answers(const std::string& output) {
    std::vector<std::string> answers;
    size_t at = output.find("RMAN> ");
    while (at != std::string::npos) {
        const size_t next = output.find("RMAN> ", at + 6);
        answers.push_back(
            output.substr(at + 6, next == std::string::npos ? std::string::npos : next - at - 6));
        at = next;
    }
    if (!answers.empty())
        answers.pop_back(); // after the last prompt: the end of the session
    return answers;
}

bool Failed(const std::string& answer) {
    return answer.find("RMAN-00569:") != std::string::npos;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const VIRid::UniqueFindHandle found(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!found)
        return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(data.cFileName);
    } while (FindNextFileW(found.get(), &data));
    return names;
}

std::wstring OnlyFileEndingIn(const std::wstring& folder, const std::wstring& suffix) {
    std::wstring match;
    for (const std::wstring& name : FilesIn(folder))
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            match = match.empty() ? folder + L"\\" + name : L"<more than one>";
    return match;
}

// Copies every file of one folder into another, as the backup stream carries them.
void CopyFolder(const std::wstring& from, const std::wstring& to) {
    for (const std::wstring& name : FilesIn(from))
        ASSERT_TRUE(CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE));
}

class RmanSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(oracle_.Ready()) << Narrow(oracle_.Error()); }

    simoracle::DatabaseState State() const {
        return simoracle::GetState(oracle_.HomeDir(), oracle_.Sid());
    }

    SimulatedOracle oracle_;
};

TEST_F(RmanSimulatorTest, BannerPromptAndConnectAsAConsoleProgramWritesThem) {
    const ScriptedRun run = oracle_.Rman(std::string(kConnect) + "exit;\n");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.errors.empty());
    EXPECT_EQ(0u, run.output.find("\r\nRecovery Manager: Release 19.0.0.0.0 - Production on "));
    EXPECT_NE(std::string::npos,
              run.output.find("\r\nVersion 19.3.0.0.0\r\n\r\nCopyright (c) 1982, 2019, Oracle "
                              "and/or its affiliates.  All rights reserved.\r\n\r\nRMAN> "));
    EXPECT_TRUE(std::regex_search(
        run.output, std::regex("RMAN> \r\nconnected to target database: SIMDB \\(DBID=[0-9]{10}\\)"
                               "\r\n\r\nRMAN> \r\n\r\nRecovery Manager complete.\r\n$")));
    // Every line ends in CR LF.
    EXPECT_EQ(CountOf(run.output, "\n"), CountOf(run.output, "\r\n"));
}

TEST_F(RmanSimulatorTest, EndOfInputEndsTheSessionAndCommandsMaySpanLines) {
    const ScriptedRun run = oracle_.Rman(std::string(kConnect) + "shutdown\nimmediate;\n");
    ASSERT_TRUE(run.finished);
    EXPECT_NE(std::string::npos, run.output.find("RMAN> 2> \r\ndatabase closed\r\n"));
    EXPECT_NE(std::string::npos, run.output.find("\r\n\r\nRecovery Manager complete.\r\n"));
    EXPECT_EQ(simoracle::DatabaseState::Down, State());
}

TEST_F(RmanSimulatorTest, ConnectChecksTheCredentials) {
    ScriptedRun run = oracle_.Rman("connect target system/wrong\n");
    std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(1u, answers.size());
    EXPECT_NE(std::string::npos,
              answers[0].find(std::string(kStackStart) + "RMAN-00554: initialization of internal "
                                                         "recovery manager package failed\r\n"));
    EXPECT_NE(std::string::npos,
              answers[0].find("ORA-01017: invalid username/password; logon denied\r\n"));

    run = oracle_.Rman("connect target /\ncrosscheck backup;\n");
    answers = Answers(run.output);
    ASSERT_EQ(2u, answers.size());
    EXPECT_NE(std::string::npos, answers[0].find("connected to target database: SIMDB"));
    EXPECT_FALSE(Failed(answers[1]));

    run =
        oracle_.Rman("connect target SYSTEM/manager@SIMDB\nconnect target system/manager@NOSUCH\n");
    answers = Answers(run.output);
    ASSERT_EQ(2u, answers.size());
    EXPECT_FALSE(Failed(answers[0])) << answers[0];
    EXPECT_NE(std::string::npos, answers[1].find("ORA-12154: TNS:could not resolve"));
}

TEST_F(RmanSimulatorTest, AUserWithoutPasswordIsAskedForIt) {
    ScriptedRun run = oracle_.Rman("connect target system\nmanager\nexit;\n");
    EXPECT_NE(std::string::npos,
              run.output.find("RMAN> \r\ntarget database Password: \r\nconnected to target "
                              "database: SIMDB"));
    run = oracle_.Rman("connect target system/\nnot the password\n");
    EXPECT_NE(std::string::npos, run.output.find("target database Password: "));
    EXPECT_NE(std::string::npos, run.output.find("ORA-01017"));
}

TEST_F(RmanSimulatorTest, UnknownCommandsAndCommandsBeforeConnectGiveErrorStacks) {
    const ScriptedRun run = oracle_.Rman("crosscheck backup;\n" + std::string(kConnect) +
                                         "backup everything;\nfrobnicate;\n");
    std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(4u, answers.size());
    answers.erase(answers.begin() + 1);
    EXPECT_NE(std::string::npos, answers[0].find(std::string(kStackStart) +
                                                 "RMAN-03002: failure of crosscheck command at "));
    EXPECT_NE(std::string::npos, answers[0].find("RMAN-06171: not connected to target database"));
    EXPECT_NE(std::string::npos, answers[1].find("RMAN-01009: syntax error"));
    EXPECT_NE(std::string::npos, answers[2].find(std::string(kStackStart) +
                                                 "RMAN-00558: error encountered while parsing"));
    EXPECT_NE(std::string::npos, answers[2].find("found \"frobnicate\""));
    // The failure time: MM/DD/YYYY HH24:MI:SS.
    EXPECT_TRUE(std::regex_search(
        answers[0], std::regex("failure of crosscheck command at [01][0-9]/[0-3][0-9]/[0-9]{4} "
                               "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\r\n")));
}

TEST_F(RmanSimulatorTest, InstanceStateFollowsOracleRulesAndOutlivesTheProcess) {
    ScriptedRun run = oracle_.Rman(std::string(kConnect) +
                                   "shutdown immediate;\nshutdown immediate;\nstartup mount;\n"
                                   "startup mount;\nalter database mount;\n");
    std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(6u, answers.size());
    EXPECT_EQ("\r\ndatabase closed\r\ndatabase dismounted\r\nOracle instance shut down\r\n\r\n",
              answers[1]);
    EXPECT_NE(std::string::npos, answers[2].find("ORA-01034: ORACLE not available"));
    EXPECT_NE(std::string::npos,
              answers[3].find("Oracle instance started\r\ndatabase mounted\r\n"));
    EXPECT_FALSE(Failed(answers[3]));
    // A second STARTUP MOUNT reports the state and succeeds; ALTER DATABASE MOUNT does not.
    EXPECT_EQ("\r\ndatabase is already started\r\ndatabase already mounted\r\n\r\n", answers[4]);
    EXPECT_NE(std::string::npos, answers[5].find("ORA-01100: database already mounted"));
    EXPECT_EQ(simoracle::DatabaseState::Mounted, State());

    run = oracle_.Rman(std::string(kConnect) + "alter database open;\nalter database open;\n");
    answers = Answers(run.output);
    ASSERT_EQ(3u, answers.size());
    EXPECT_NE(std::string::npos, answers[0].find("(DBID="));
    EXPECT_NE(std::string::npos, answers[0].find(", not open)"));
    EXPECT_EQ("\r\nStatement processed\r\n\r\n", answers[1]);
    EXPECT_NE(std::string::npos, answers[2].find("ORA-01531"));
    EXPECT_EQ(simoracle::DatabaseState::Open, State());
}

TEST_F(RmanSimulatorTest, FullOnlineBackupWritesEachPieceUnderItsExpandedName) {
    const std::wstring folder = oracle_.Folder(L"job 1.ora");
    const ScriptedRun run = oracle_.Rman(BackupScript(folder, true, true));
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(8u, answers.size());
    for (const std::string& answer : answers)
        EXPECT_FALSE(Failed(answer)) << answer;
    const std::regex handle("piece handle=([^\r]*) tag=ZT_BACKUP_TAG comment=NONE");
    std::vector<std::string> handles;
    for (std::sregex_iterator it(run.output.begin(), run.output.end(), handle), end; it != end;
         ++it)
        handles.push_back((*it)[1]);
    // spfile, control file, archived logs before, data files, control file and spfile with
    // them, archived logs after.
    ASSERT_EQ(6u, handles.size());
    const std::string prefix = Narrow(folder) + "\\";
    const std::regex pieceName(
        "SIMDB-[0-9]{10}-20[0-9]{6}-[0-9a-v]{8}_1_1\\.(spfile|controlfile|"
        "bcp)|1-[0-9]+-SIMDB-[0-9]{10}-20[0-9]{6}-[0-9a-v]{8}_1_1\\.archlog");
    for (const std::string& name : handles) {
        ASSERT_EQ(0u, name.find(prefix)) << name;
        EXPECT_TRUE(std::regex_match(name.substr(prefix.size()), pieceName)) << name;
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(testing_support::Wide(name).c_str()))
            << name;
    }
    EXPECT_EQ(6u, FilesIn(folder).size());
    EXPECT_EQ(2u, CountOf(run.output, "current log archived"));
    EXPECT_EQ(simoracle::DatabaseState::Open, State());
}

TEST_F(RmanSimulatorTest, DeleteByTagRemovesThePieceFilesAndCrosscheckExpiresLostOnes) {
    const std::wstring folder = oracle_.Folder(L"job");
    oracle_.Rman(BackupScript(folder, true, false));
    ASSERT_EQ(4u, FilesIn(folder).size());
    const std::wstring lost = OnlyFileEndingIn(folder, L".spfile");
    ASSERT_TRUE(DeleteFileW(lost.c_str()));
    ScriptedRun run =
        oracle_.Rman(std::string(kConnect) + "delete noprompt backup tag 'ZT_BACKUP_TAG';\n");
    // A record whose file went missing is not deleted before a crosscheck says so.
    EXPECT_NE(std::string::npos, run.output.find("Deleted 3 objects"));
    EXPECT_NE(std::string::npos, run.output.find("RMAN-06207: WARNING: 1 objects could not be"));
    EXPECT_FALSE(Failed(run.output));
    EXPECT_TRUE(FilesIn(folder).empty());
    run = oracle_.Rman(CompleteBackupScript(false));
    EXPECT_NE(std::string::npos, run.output.find("found to be 'EXPIRED'"));
    EXPECT_NE(std::string::npos, run.output.find("Deleted 1 objects"));
    run = oracle_.Rman(std::string(kConnect) + "delete noprompt backup tag 'ZT_BACKUP_TAG';\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(2u, answers.size());
    // A warning, not a failure.
    EXPECT_NE(std::string::npos,
              answers[1].find("specification does not match any backup in the repository"));
    EXPECT_FALSE(Failed(answers[1]));
}

TEST_F(RmanSimulatorTest, RestoreIntoAWreckedDatabaseGivesTheDataBack) {
    const std::string before = oracle_.Digest();
    ASSERT_EQ(64u, before.size());
    const std::wstring backupFolder = oracle_.Folder(L"backup");
    const std::wstring restoreFolder = oracle_.Folder(L"restore");
    oracle_.Rman(BackupScript(backupFolder, true, true));
    CopyFolder(backupFolder, restoreFolder);
    oracle_.Rman(CompleteBackupScript(false));
    std::wstring error;
    ASSERT_TRUE(simoracle::Touch(oracle_.HomeDir(), oracle_.Sid(), error));
    EXPECT_NE(before, oracle_.Digest());
    ASSERT_TRUE(simoracle::Wreck(oracle_.HomeDir(), oracle_.Sid(), false, error));
    EXPECT_TRUE(oracle_.Digest().empty());

    const ScriptedRun run = oracle_.Rman(RestoreScript(restoreFolder, L"", true) +
                                         "crosscheck backup;\n"
                                         "delete noprompt backup tag 'ZT_BACKUP_TAG';\n"
                                         "alter database open;\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(13u, answers.size());
    EXPECT_TRUE(Failed(answers[1])); // the instance was down
    for (size_t i = 2; i < answers.size(); ++i)
        EXPECT_FALSE(Failed(answers[i])) << i << answers[i];
    EXPECT_NE(std::string::npos, answers[9].find("media recovery complete"));
    EXPECT_EQ(before, oracle_.Digest());
    EXPECT_EQ(simoracle::DatabaseState::Open, State());
    EXPECT_TRUE(FilesIn(restoreFolder).empty());
}

TEST_F(RmanSimulatorTest, AfterLosingTheControlFileOnlyOpenResetlogsOpens) {
    const std::string before = oracle_.Digest();
    const std::wstring backupFolder = oracle_.Folder(L"backup");
    const std::wstring restoreFolder = oracle_.Folder(L"restore");
    oracle_.Rman(BackupScript(backupFolder, true, true));
    CopyFolder(backupFolder, restoreFolder);
    oracle_.Rman(CompleteBackupScript(false));
    std::wstring error;
    ASSERT_TRUE(simoracle::Wreck(oracle_.HomeDir(), oracle_.Sid(), true, error));

    const std::wstring piece = OnlyFileEndingIn(restoreFolder, L".controlfile");
    const ScriptedRun run = oracle_.Rman(RestoreScript(restoreFolder, piece, true) +
                                         "recover database until logseq 0;\n"
                                         "alter database open;\nalter database open resetlogs;\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(17u, answers.size());
    EXPECT_NE(std::string::npos, answers[2].find("ORA-00205: error in identifying control file"));
    EXPECT_FALSE(Failed(answers[5])) << answers[5]; // restore controlfile
    EXPECT_NE(std::string::npos, answers[5].find("output file name="));
    EXPECT_FALSE(Failed(answers[7]));                 // startup mount
    EXPECT_FALSE(Failed(answers[11])) << answers[11]; // restore database
    // Incomplete recovery: the restored control file knows no later redo.
    EXPECT_NE(std::string::npos, answers[13].find("RMAN-06054: media recovery requesting unknown "
                                                  "archived log for thread 1 with sequence"));
    EXPECT_TRUE(Failed(answers[14]));
    EXPECT_NE(std::string::npos, answers[15].find("ORA-01589: must use RESETLOGS or NORESETLOGS"));
    EXPECT_EQ("\r\nStatement processed\r\n\r\n", answers[16]);
    EXPECT_EQ(before, oracle_.Digest());
    EXPECT_EQ(simoracle::DatabaseState::Open, State());
}

TEST_F(RmanSimulatorTest, RestoreFromFileTakesTheNameLiterally) {
    const std::wstring folder = oracle_.Folder(L"backup");
    oracle_.Rman(BackupScript(folder, true, false));
    std::wstring error;
    ASSERT_TRUE(simoracle::Wreck(oracle_.HomeDir(), oracle_.Sid(), true, error));
    const ScriptedRun run =
        oracle_.Rman(std::string(kConnect) + "startup force nomount;\nrestore controlfile from '" +
                     Narrow(folder) + "\\%d-%I-%T-%U.controlfile';\nrestore controlfile from '" +
                     Narrow(OnlyFileEndingIn(folder, L".spfile")) + "';\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(4u, answers.size());
    EXPECT_NE(std::string::npos, answers[2].find("ORA-19505: failed to identify file \"" +
                                                 Narrow(folder) + "\\%d-%I-%T-%U.controlfile\""));
    // A piece without a control file in it.
    EXPECT_NE(std::string::npos, answers[3].find("RMAN-06172"));
}

TEST_F(RmanSimulatorTest, ADamagedPieceIsRefusedOnRestore) {
    const std::wstring folder = oracle_.Folder(L"backup");
    oracle_.Rman(BackupScript(folder, true, false));
    std::wstring piece;
    for (const std::wstring& name : FilesIn(folder)) {
        const std::string bytes = testing_support::ReadFileBytes(folder + L"\\" + name);
        if (name.find(L".bcp") != std::wstring::npos && bytes.size() > 100000)
            piece = folder + L"\\" + name;
    }
    ASSERT_FALSE(piece.empty());
    std::string bytes = testing_support::ReadFileBytes(piece);
    bytes[bytes.size() / 2] ^= 0x01;
    ASSERT_TRUE(testing_support::WriteFileBytes(piece, bytes));
    std::wstring error;
    ASSERT_TRUE(simoracle::Wreck(oracle_.HomeDir(), oracle_.Sid(), false, error));
    const ScriptedRun run = oracle_.Rman(
        std::string(kConnect) + "startup mount;\nrestore database from tag 'ZT_BACKUP_TAG';\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(3u, answers.size());
    EXPECT_NE(std::string::npos,
              answers[2].find("ORA-19870: error while restoring backup piece " + Narrow(piece)));
    EXPECT_TRUE(oracle_.Digest().empty());
}

TEST_F(RmanSimulatorTest, OpenWithMissingDataFilesOrBeforeRecoveryFails) {
    const std::wstring folder = oracle_.Folder(L"backup");
    oracle_.Rman(BackupScript(folder, true, true));
    std::wstring error;
    ASSERT_TRUE(simoracle::Wreck(oracle_.HomeDir(), oracle_.Sid(), false, error));
    const ScriptedRun run = oracle_.Rman(std::string(kConnect) +
                                         "startup;\nrestore database from tag 'ZT_BACKUP_TAG';\n"
                                         "alter database open;\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(4u, answers.size());
    EXPECT_NE(std::string::npos, answers[1].find("ORA-01157: cannot identify/lock data file 1"));
    EXPECT_FALSE(Failed(answers[2]));
    EXPECT_NE(std::string::npos, answers[3].find("ORA-01113: file 1 needs media recovery"));
    EXPECT_EQ(simoracle::DatabaseState::Mounted, State());
}

TEST_F(RmanSimulatorTest, HostRunsTheCommandThroughCmd) {
    const std::wstring folder = oracle_.Folder(L"copies");
    const ScriptedRun run = oracle_.Rman(
        std::string(kConnect) + "host 'copy /Y \"" + Narrow(oracle_.HomeDir()) +
        "\\network\\ADMIN\\sqlnet.ora\" \"" + Narrow(folder) + "\"';\nhost 'copy /Y \"" +
        Narrow(folder) + "\\missing.ora\" \"" + Narrow(folder) + "\"';\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(3u, answers.size());
    EXPECT_NE(std::string::npos, answers[1].find("host command complete\r\n"));
    EXPECT_TRUE(testing_support::PathExists(folder + L"\\sqlnet.ora"));
    EXPECT_NE(std::string::npos, answers[2].find("RMAN-06135: error executing host command"));
}

class RmanNoArchiveLogTest : public ::testing::Test {
protected:
    static simoracle::InstanceOptions Options() {
        simoracle::InstanceOptions options = SimulatedOracle::SmallDatabase();
        options.archiveLog = false;
        return options;
    }
    RmanNoArchiveLogTest() : oracle_(Options()) {}
    SimulatedOracle oracle_;
};

TEST_F(RmanNoArchiveLogTest, OnlineBackupFailsWithOra19602AndTheOfflineFallbackRestores) {
    ASSERT_TRUE(oracle_.Ready()) << Narrow(oracle_.Error());
    const std::string before = oracle_.Digest();
    const std::wstring backupFolder = oracle_.Folder(L"backup");
    const std::wstring restoreFolder = oracle_.Folder(L"restore");
    const std::string f = Narrow(backupFolder);
    const ScriptedRun backup = oracle_.Rman(
        BackupScript(backupFolder, true, true) +
        "shutdown immediate;\nstartup mount;\nbackup as compressed backupset database tag "
        "'ZT_BACKUP_TAG' format '" +
        f + "\\%d-%I-%T-%U.bcp' ;\n");
    const std::vector<std::string> answers = Answers(backup.output);
    ASSERT_EQ(11u, answers.size());
    EXPECT_NE(std::string::npos, answers[7].find(std::string(kStackStart) +
                                                 "RMAN-03002: failure of backup command at "));
    EXPECT_NE(std::string::npos,
              answers[7].find("ORA-19602: cannot backup or copy active file in NOARCHIVELOG mode"));
    EXPECT_FALSE(Failed(answers[10])) << answers[10];
    CopyFolder(backupFolder, restoreFolder);
    oracle_.Rman(CompleteBackupScript(true));
    EXPECT_EQ(simoracle::DatabaseState::Open,
              simoracle::GetState(oracle_.HomeDir(), oracle_.Sid()));

    std::wstring error;
    ASSERT_TRUE(simoracle::Touch(oracle_.HomeDir(), oracle_.Sid(), error));
    ASSERT_TRUE(simoracle::Wreck(oracle_.HomeDir(), oracle_.Sid(), false, error));
    const ScriptedRun restore =
        oracle_.Rman(RestoreScript(restoreFolder, L"", false) + "alter database open;\n");
    for (const std::string& answer : Answers(restore.output))
        EXPECT_TRUE(!Failed(answer) || answer.find("ORA-01034") != std::string::npos) << answer;
    EXPECT_EQ(before, oracle_.Digest());
}

// Faults set per database, read by rman.exe at each command.
class RmanFaultTest : public RmanSimulatorTest {
protected:
    void AddFault(simoracle::FaultKind kind, const std::wstring& command) {
        std::wstring error;
        ASSERT_TRUE(simoracle::AddFault(oracle_.HomeDir(), oracle_.Sid(), kind, command, error));
    }
};

TEST_F(RmanFaultTest, FailMakesTheNamedCommandFailWithAStack) {
    AddFault(simoracle::FaultKind::Fail, L"backup*");
    const ScriptedRun run =
        oracle_.Rman(BackupScript(oracle_.Folder(L"b"), true, false) + "crosscheck backup;\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(9u, answers.size());
    for (size_t i : {5u, 6u, 7u})
        EXPECT_NE(std::string::npos, answers[i].find(std::string(kStackStart) +
                                                     "RMAN-03002: failure of backup command"));
    EXPECT_FALSE(Failed(answers[4]));
    EXPECT_FALSE(Failed(answers[8]));
    std::wstring error;
    ASSERT_TRUE(simoracle::ClearFaults(oracle_.HomeDir(), oracle_.Sid(), error));
    EXPECT_FALSE(Failed(oracle_.Rman(BackupScript(oracle_.Folder(L"c"), true, false)).output));
}

TEST_F(RmanFaultTest, StderrWritesToStandardErrorDuringTheNamedCommandOnly) {
    AddFault(simoracle::FaultKind::Stderr, L"startup mount");
    ScriptedRun run = oracle_.Rman(std::string(kConnect) + "shutdown immediate;\n");
    EXPECT_TRUE(run.errors.empty());
    run = oracle_.Rman(std::string(kConnect) + "startup   MOUNT ;\n");
    EXPECT_NE(std::string::npos, run.errors.find("\r\n"));
    EXPECT_NE(std::string::npos, run.output.find("database mounted"));
}

TEST_F(RmanFaultTest, DieEndsTheProcessInTheMiddleOfTheNamedCommand) {
    AddFault(simoracle::FaultKind::Die, L"crosscheck backup");
    const ScriptedRun run = oracle_.Rman(std::string(kConnect) + "crosscheck backup;\nexit;\n");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(3u, run.exitCode);
    EXPECT_NE(std::string::npos, run.output.find("RMAN> \r\nStarting crosscheck at "));
    EXPECT_EQ(std::string::npos, run.output.find("Recovery Manager complete."));
    EXPECT_EQ(2u, CountOf(run.output, "RMAN> "));
}

TEST_F(RmanFaultTest, HangNeverAnswersTheNamedCommand) {
    AddFault(simoracle::FaultKind::Hang, L"recover database");
    const ScriptedRun run = oracle_.Rman(std::string(kConnect) + "recover database;\n", 6000);
    EXPECT_FALSE(run.finished);
    EXPECT_EQ(2u, CountOf(run.output, "RMAN> "));
    EXPECT_EQ(std::string::npos, run.output.find("Starting recover"));
}

TEST_F(RmanFaultTest, SlowAnswersTheNamedCommandAfterSomeSeconds) {
    AddFault(simoracle::FaultKind::Slow, L"crosscheck backup");
    const ScriptedRun run = oracle_.Rman(std::string(kConnect) + "crosscheck backup;\n");
    ASSERT_TRUE(run.finished);
    EXPECT_GE(run.milliseconds, 3000u);
    EXPECT_FALSE(Failed(run.output));
}

TEST_F(RmanFaultTest, TrickleWritesTheSameTextOneByteAtATime) {
    // A folder name with characters of two and three UTF-8 bytes.
    const std::wstring folder = oracle_.Folder(L"pi\u00e8ces \u20ac");
    const std::string script = std::string(kConnect) +
                               "crosscheck backup;\nbackup spfile tag 'T' "
                               "format '" +
                               Narrow(folder) + "\\spfile.%s';\nlist backup;\n";
    const ScriptedRun plain = oracle_.Rman(script);
    std::wstring error;
    ASSERT_TRUE(simoracle::SetTrickle(oracle_.HomeDir(), oracle_.Sid(), true, error));
    const std::string trickleScript = std::string(kConnect) + "backup spfile tag 'T' format '" +
                                      Narrow(folder) + "\\spfile2.%s';\n";
    const ScriptedRun trickled = oracle_.Rman(trickleScript);
    ASSERT_TRUE(trickled.finished);
    EXPECT_NE(std::string::npos,
              trickled.output.find("piece handle=" + Narrow(folder) + "\\spfile2."));
    EXPECT_NE(std::string::npos, plain.output.find("piece handle=" + Narrow(folder) + "\\spfile."));
    EXPECT_EQ(trickled.output, testing_support::Narrow(testing_support::Wide(trickled.output)));
    // Written byte by byte, the text reaches the reader in many more pieces.
    EXPECT_GT(trickled.outputReads, CountOf(trickled.output, "\r\n"));
}

} // namespace
