// rman.exe, the Recovery Manager simulator, driven over real pipes with scripted dialogues.
#include "rman/FolderFiles.h"
#include "tests/support/win/SimulatedOracle.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Instance.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

namespace {

using simoracle::DatabaseState;
using testing_support::CountOf;
using testing_support::Narrow;
using testing_support::ScriptedRun;
using testing_support::SimulatedOracle;

const char kStackStart[] =
    "RMAN-00571: ===========================================================\r\n"
    "RMAN-00569: =============== ERROR MESSAGE STACK FOLLOWS ===============\r\n"
    "RMAN-00571: ===========================================================\r\n";
const char kConnect[] = "connect target system/manager\n";
const char kDeleteTagged[] = "delete noprompt backup tag 'ZT_BACKUP_TAG';";

// The commands of an online backup job, as the plug-in words them, into folder.
std::string BackupScript(const std::wstring& folder, bool archivedLogs) {
    const std::string f = "tag 'ZT_BACKUP_TAG' format '" + Narrow(folder) + "\\";
    return std::string(kConnect) +
           "CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;\nCONFIGURE DEFAULT DEVICE TYPE TO "
           "DISK;\ncrosscheck backup;\n" +
           kDeleteTagged + "\nbackup spfile " + f +
           "%d-%I-%T-%U.spfile';\nbackup current controlfile " + f +
           "%d-%I-%T-%U.controlfile';\nbackup as compressed backupset database " + f +
           "%d-%I-%T-%U.bcp' " +
           (archivedLogs ? "plus archivelog " + f + "%h-%e-%d-%I-%T-%U.archlog'" : "") + ";\n";
}

// The answers of a dialogue, one per command, without the banner.
std::vector<std::string> Answers(const std::string& output) {
    std::vector<std::string> answers;
    for (size_t at = output.find("RMAN> "), next; at != std::string::npos; at = next) {
        next = output.find("RMAN> ", at + 6);
        answers.push_back(output.substr(at + 6, next == std::string::npos ? next : next - at - 6));
    }
    if (!answers.empty())
        answers.pop_back(); // after the last prompt: the end of the session
    return answers;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool Failed(const std::string& answer) {
    return Has(answer, "RMAN-00569:");
}

// One command of a dialogue, a text its answer must hold, and whether it must fail.
struct Step {
    std::string command;
    std::string expected;
    bool fails;
};
using Steps = std::vector<Step>;

std::string Script(const Steps& steps) {
    std::string script = kConnect;
    for (const Step& step : steps)
        script += step.command + "\n";
    return script;
}

// Every answer of a dialogue run from Script(steps) checked against its step.
void ExpectAnswers(const std::string& output, const Steps& steps) {
    const std::vector<std::string> answers = Answers(output);
    ASSERT_EQ(steps.size() + 1, answers.size()) << output;
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_TRUE(Has(answers[i + 1], steps[i].expected)) << steps[i].command << answers[i + 1];
        EXPECT_EQ(steps[i].fails, Failed(answers[i + 1])) << steps[i].command << answers[i + 1];
    }
}

void ExpectSteps(const SimulatedOracle& oracle, const Steps& steps) {
    ExpectAnswers(oracle.Rman(Script(steps)).output, steps);
}

std::wstring FileEndingIn(const std::wstring& folder, const std::wstring& extension) {
    return folder + L"\\" + NewestFileWithExtension(ListFolderFiles(folder), extension);
}

void FlipMiddleByte(const std::wstring& from, const std::wstring& to) {
    std::string bytes = testing_support::ReadFileBytes(from);
    bytes[bytes.size() / 2] ^= 0x01;
    testing_support::WriteFileBytes(to, bytes);
}

// An online backup job's pieces, with archived logs, copied to a folder as a restore unpacks them;
// the job's close has deleted the originals.
std::wstring BackedUpCopy(const SimulatedOracle& oracle) {
    const std::wstring backup = oracle.Folder(L"backup");
    const std::wstring copy = oracle.Folder(L"restore");
    oracle.Rman(BackupScript(backup, true));
    for (const std::wstring& name : simoracle::ListFolder(backup, false))
        CopyFileW((backup + L"\\" + name).c_str(), (copy + L"\\" + name).c_str(), FALSE);
    oracle.Rman(Script({{"crosscheck backup;", "", false}, {kDeleteTagged, "", false}}));
    return copy;
}

class RmanSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(oracle_.Ready()) << Narrow(oracle_.Error()); }

    SimulatedOracle oracle_;
};

// Unfinished statements get the line-numbered continuation prompt.
TEST_F(RmanSimulatorTest, TheDialogueIsWrittenAsTheConsoleProgramWritesIt) {
    const ScriptedRun run = oracle_.Rman("crosscheck backup;\n" + std::string(kConnect) +
                                         "backup everything;\nfrobnicate;\nexit;\n");
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_TRUE(run.errors.empty());
    EXPECT_EQ(0u, run.output.find("\r\nRecovery Manager: Release 19.0.0.0.0 - Production on "));
    EXPECT_TRUE(Has(run.output, "\r\nVersion 19.3.0.0.0\r\n\r\nCopyright (c) 1982, 2019, Oracle "
                                "and/or its affiliates.  All rights reserved.\r\n\r\nRMAN> "));
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(4u, answers.size()); // the answer to exit ends the session
    // The failure time: MM/DD/YYYY HH24:MI:SS.
    EXPECT_TRUE(std::regex_search(
        answers[0], std::regex(std::string(kStackStart) +
                               "RMAN-03002: failure of crosscheck command at [01][0-9]/[0-3][0-9]/"
                               "[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\r\nRMAN-06171: not "
                               "connected to target database\r\n")));
    EXPECT_TRUE(std::regex_match(
        answers[1], std::regex("\r\nconnected to target database: SIMDB \\(DBID=[0-9]{10}\\)\r\n"
                               "\r\n")));
    EXPECT_TRUE(Has(answers[2], "RMAN-01009: syntax error"));
    EXPECT_TRUE(Has(answers[3], std::string(kStackStart) + "RMAN-00558: error encountered while "
                                                           "parsing"));
    EXPECT_TRUE(Has(answers[3], "found \"frobnicate\""));
    EXPECT_TRUE(Has(run.output, "RMAN> \r\n\r\nRecovery Manager complete.\r\n"));
    EXPECT_EQ(CountOf(run.output, "\n"), CountOf(run.output, "\r\n")); // every line ends in CR LF

    // A statement ends only at a ';' outside quotes; one unfinished at the end of input never runs.
    const ScriptedRun unfinished =
        oracle_.Rman(std::string(kConnect) +
                     "shutdown\nimmediate;\nlist\nbackup\nsummary;\nrestore controlfile from "
                     "'C:\\o'brien\\x.ctl';\n';\nlist \"backup;\n\";\nstartup 'o'brien';\n");
    const std::vector<std::string> parts = Answers(unfinished.output);
    const char* const starts[] = {"2> \r\ndatabase closed\r\n", "2> 3> \r\n", "2> \r\n", "2> \r\n"};
    ASSERT_EQ(5u, parts.size()) << unfinished.output;
    for (size_t i = 1; i < 5; ++i)
        EXPECT_EQ(0u, parts[i].find(starts[i - 1])) << parts[i];
    EXPECT_TRUE(Has(unfinished.output, "RMAN> 2> \r\n\r\nRecovery Manager complete.\r\n"));
    EXPECT_EQ(DatabaseState::Down, oracle_.State());
}

TEST_F(RmanSimulatorTest, ConnectTakesTheLineAsTypedAndChecksTheCredentials) {
    const std::string refused =
        std::string(kStackStart) +
        "RMAN-00554: initialization of internal recovery manager package failed\r\n"
        "RMAN-04005: error from target database: \r\n";
    const struct {
        const char* script;
        std::string expected;
    } cases[] = {
        {"connect target /\n", "connected to target database: SIMDB (DBID="},
        {"connect target SYSTEM/manager@SIMDB\n", "connected to target database: SIMDB (DBID="},
        {"connect target system/manager@NOSUCH\n",
         refused + "ORA-12154: TNS:could not resolve the connect identifier specified\r\n"},
        {"connect target system\nmanager\n",
         "RMAN> \r\ntarget database Password: \r\nconnected to target database: SIMDB"},
        {"connect target system/\nnot the password\n",
         "target database Password: \r\n" + refused +
             "ORA-01017: invalid username/password; logon denied\r\n"},
        // Whatever follows a ';' is the next command.
        {"connect target system/manager; shutdown immediate;\n", "database closed"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(Has(oracle_.Rman(c.script).output, c.expected)) << c.script;
}

TEST_F(RmanSimulatorTest, InstanceStateFollowsOracleRulesAndOutlivesTheProcess) {
    ExpectSteps(
        oracle_,
        {{"shutdown immediate;",
          "\r\ndatabase closed\r\ndatabase dismounted\r\nOracle instance shut down\r\n\r\n", false},
         {"shutdown immediate;", "ORA-01034: ORACLE not available", true},
         {"startup mount;", "Oracle instance started\r\ndatabase mounted\r\n", false},
         {"startup mount;", "\r\ndatabase is already started\r\ndatabase already mounted", false},
         {"alter database mount;", "ORA-01100: database already mounted", true}});
    EXPECT_EQ(DatabaseState::Mounted, oracle_.State());
    ExpectSteps(oracle_, {{"alter database open;", "\r\nStatement processed\r\n\r\n", false},
                          {"alter database open;", "ORA-01531", true}});
    EXPECT_EQ(DatabaseState::Open, oracle_.State());
}

// Written one byte at a time, into a folder with characters of two and three UTF-8 bytes.
TEST_F(RmanSimulatorTest, BackupWritesExpandedPieceNamesAndDeleteByTagRemovesThem) {
    const std::wstring folder = oracle_.Folder(L"job 1 pi\u00e8ces \u20ac.ora");
    ASSERT_TRUE(oracle_.SetTrickle(true));
    const ScriptedRun run = oracle_.Rman(BackupScript(folder, true));
    EXPECT_FALSE(Failed(run.output));
    EXPECT_GT(run.outputReads, CountOf(run.output, "\r\n"));
    const std::regex pieceName(
        "SIMDB-[0-9]{10}-20[0-9]{6}-[0-9a-v]{8}_1_1\\.(spfile|controlfile|"
        "bcp)|1-[0-9]+-SIMDB-[0-9]{10}-20[0-9]{6}-[0-9a-v]{8}_1_1\\.archlog");
    // spfile, control file, archived logs before, data files, control file and spfile with
    // them, archived logs after.
    EXPECT_EQ(6u, CountOf(run.output, "piece handle=" + Narrow(folder) + "\\"));
    ASSERT_EQ(6u, simoracle::ListFolder(folder, false).size());
    for (const std::wstring& name : simoracle::ListFolder(folder, false))
        EXPECT_TRUE(std::regex_match(Narrow(name), pieceName)) << Narrow(name);
    EXPECT_EQ(2u, CountOf(run.output, "current log archived"));
    EXPECT_EQ(DatabaseState::Open, oracle_.State());
    // A record whose file went missing is deleted only after a crosscheck has found it so.
    ASSERT_TRUE(DeleteFileW(FileEndingIn(folder, L".spfile").c_str()));
    ExpectSteps(oracle_, {{kDeleteTagged, "RMAN-06207: WARNING: 1 objects could not be", false},
                          {"crosscheck backup;", "found to be 'EXPIRED'", false},
                          {kDeleteTagged, "Deleted 1 objects", false},
                          {kDeleteTagged, "specification does not match any backup", false}});
    EXPECT_TRUE(simoracle::ListFolder(folder, false).empty());
}

// Another database's pieces are refused and leave the target untouched; a wrecked database gets
// its data files back only from sound pieces, and opens only when recovered.
TEST_F(RmanSimulatorTest, RestoreGivesTheDataBackOnlyFromSoundPiecesOfThisDatabase) {
    SimulatedOracle foreign(SimulatedOracle::SmallDatabase(), L"OTHER");
    ASSERT_TRUE(foreign.Ready()) << Narrow(foreign.Error());
    const std::wstring foreignFolder = foreign.Folder(L"backup");
    foreign.Rman(BackupScript(foreignFolder, false));
    const std::string before = oracle_.Digest();
    ASSERT_EQ(64u, before.size());
    ExpectSteps(oracle_, {{"shutdown immediate;", "database closed", false},
                          {"startup mount;", "database mounted", false},
                          {"CATALOG START WITH '" + Narrow(foreignFolder) + "' noprompt;",
                           "RMAN-07518: Reason: Foreign database file DBID: ", false},
                          {"restore database from tag 'ZT_BACKUP_TAG';",
                           "RMAN-06026: some targets not found - aborting restore", true},
                          {"alter database open;", "Statement processed", false}});
    EXPECT_EQ(before, oracle_.Digest());
    const std::wstring again = oracle_.Folder(L"again");
    oracle_.Rman(BackupScript(again, false));
    ASSERT_TRUE(oracle_.Wreck(simoracle::WreckScope::DataFiles));
    ExpectSteps(oracle_,
                {{"startup;", "ORA-01157: cannot identify/lock data file 1", true},
                 {"restore database from tag 'ZT_BACKUP_TAG';", "Finished restore", false},
                 {"alter database open;", "ORA-01113: file 1 needs media recovery", true}});
    EXPECT_EQ(DatabaseState::Mounted, oracle_.State());
    std::wstring piece;
    for (const std::wstring& name : simoracle::ListFolder(again, false))
        if (name.find(L".bcp") != std::wstring::npos &&
            testing_support::ReadFileBytes(again + L"\\" + name).size() > 100000)
            piece = again + L"\\" + name;
    FlipMiddleByte(piece, piece);
    ASSERT_TRUE(oracle_.Wreck(simoracle::WreckScope::DataFiles));
    ExpectSteps(oracle_,
                {{"startup mount;", "database mounted", false},
                 {"restore database from tag 'ZT_BACKUP_TAG';",
                  "ORA-19870: error while restoring backup piece " + Narrow(piece), true}});
    EXPECT_TRUE(oracle_.Digest().empty());
}

// Another machine: a fresh home elsewhere, and only the service and password file of SIMDB. Without
// its parameter file the instance never mounts and refuses wrong pieces; then the restore works.
TEST_F(RmanSimulatorTest, ATotalLossRestoresOntoABareInstanceOfAnotherInstallation) {
    const std::string before = oracle_.Digest();
    const std::wstring folder = BackedUpCopy(oracle_);
    const std::string spFile = Narrow(FileEndingIn(folder, L".spfile"));
    const std::string controlFile = Narrow(FileEndingIn(folder, L".controlfile"));
    const std::wstring damaged = oracle_.Folder(L"damaged") + L"\\piece.spfile";
    FlipMiddleByte(testing_support::Wide(spFile), damaged);
    std::wstring error;
    ASSERT_TRUE(simoracle::RemoveHome(oracle_.HomeName(), error)) << Narrow(error);
    simoracle::InstanceOptions bare = SimulatedOracle::SmallDatabase();
    bare.bare = true;
    const SimulatedOracle other(bare);
    ASSERT_TRUE(other.Ready()) << Narrow(other.Error());
    const Steps refusals = {
        {"startup mount;", "ORA-00205: error in identifying control file", true},
        {"restore controlfile from '" + Narrow(folder) + "\\%d-%I-%T-%U.controlfile';",
         "ORA-19505: failed to identify file", true},
        {"restore spfile from '" + controlFile + "';", "RMAN-06172: no AUTOBACKUP found", true},
        {"restore spfile from '" + Narrow(damaged) + "';", "ORA-19870: error while restoring",
         true},
        {"shutdown immediate;", "Oracle instance shut down", false},
        {"startup force nomount;", "without parameter file for retrieval of spfile", false},
        // The stand-in instance's own control file, never mounted.
        {"restore controlfile from '" + controlFile + "';", "CTL1SIMDB.ORA", false},
        {"set DBID 1000;", "executing command: SET DBID", false},
        {"restore spfile from '" + spFile + "';", "RMAN-06172", true}, // another DBID
        {"shutdown immediate;", "Oracle instance shut down", false},
        {"startup mount;", "LRM-00109: could not open parameter file", true},
        {"alter database mount;", "ORA-00205", true},
        {"shutdown immediate;", "Oracle instance shut down", false}};
    const std::string refused = other.Rman(Script(refusals)).output;
    ExpectAnswers(refused, refusals);
    EXPECT_TRUE(Has(refused, "RMAN> \r\nconnected to target database (not started)\r\n"));
    // As it was: down, with neither parameter file, control file nor data files.
    EXPECT_EQ(DatabaseState::Down, other.State());
    const simoracle::DatabaseFiles files(other.HomeDir(), L"SIMDB");
    for (const std::wstring& path : {files.SpFile(), files.ControlFile(), files.RedoLog()})
        EXPECT_FALSE(testing_support::PathExists(path)) << Narrow(path);
    EXPECT_TRUE(other.Digest().empty());
    const std::string standIn = "\r\nstartup failed: ORA-01078: failure in processing system "
                                "parameters\r\nLRM-00109: could not open parameter file '" +
                                Narrow(other.HomeDir()) +
                                "\\DATABASE\\INITSIMDB.ORA'\r\n\r\nstarting Oracle instance "
                                "without parameter file for retrieval of spfile\r\nOracle "
                                "instance started\r\n";
    const Steps steps = {
        {"shutdown immediate;", "ORA-01034", true},
        {"startup mount;", standIn + kStackStart, true},
        {"set DBID " + spFile.substr(spFile.find("SIMDB-") + 6, 10) + ";",
         "\r\nexecuting command: SET DBID\r\n\r\n", false},
        {"startup force nomount;", standIn + "\r\nTotal System Global Area", false},
        {"restore spfile from '" + spFile + "';",
         "output file name=" + Narrow(other.HomeDir()) + "\\database\\SPFILESIMDB.ORA", false},
        {"shutdown immediate;", "Oracle instance shut down", false},
        {"startup force nomount;", "Oracle instance started", false},
        // Started from a parameter file the instance is not the stand-in: a restore needs TO.
        {"restore spfile from '" + spFile + "';", "RMAN-06564: must use the TO clause", true},
        {"restore controlfile from '" + controlFile + "';", "CONTROL01.CTL", false},
        {"shutdown immediate;", "", false},
        {"startup mount;", "mounted", false},
        {"crosscheck backup;", "", false},
        {kDeleteTagged, "", false},
        {"CATALOG START WITH '" + Narrow(folder) + "' noprompt;", "List of Cataloged Files", false},
        {"restore database from tag 'ZT_BACKUP_TAG';", "Finished restore", false},
        {"restore archivelog all;", "Finished restore", false},
        // A restored control file knows no redo after its backup: the recovery stays incomplete.
        {"recover database;",
         "RMAN-06054: media recovery requesting unknown archived log for thread 1 with sequence",
         true},
        {"alter database open;", "ORA-01589: must use RESETLOGS or NORESETLOGS", true},
        {"alter database open resetlogs;", "Statement processed", false}};
    const std::string output = other.Rman(Script(steps)).output;
    EXPECT_EQ(2u, CountOf(output, "LRM-00109")); // not after the spfile's restore
    ExpectAnswers(output, steps);
    EXPECT_EQ(before, other.Digest());
    EXPECT_EQ(DatabaseState::Open, other.State());
}

// Faults set per database, read by rman.exe at each command.
using RmanFaultTest = RmanSimulatorTest;

TEST_F(RmanFaultTest, FailStderrDieHangAndSlowActOnTheNamedCommandsOnly) {
    using simoracle::FaultKind;
    ASSERT_TRUE(oracle_.AddFault(FaultKind::Fail, L"crosscheck backup"));
    ASSERT_TRUE(oracle_.AddFault(
        FaultKind::Fail, L"backup*",
        {L"ORA-19502: write error on file \"C:\\o'brien\\x.bcp\", block number 8 (block "
         L"size=8192)",
         L"ORA-27072: File I/O error"}));
    ASSERT_TRUE(oracle_.AddFault(FaultKind::Stderr, L"show   ALL"));
    ASSERT_TRUE(oracle_.AddFault(FaultKind::Stderr, L"list backup",
                                 {L"OSD-04026: invalid parameter passed"}));
    const ScriptedRun run =
        oracle_.Rman(std::string(kConnect) + "crosscheck backup;\nbackup spfile format '" +
                     Narrow(oracle_.Folder(L"b")) + "\\%U';\nshow all;\nlist backup;\n");
    const std::vector<std::string> answers = Answers(run.output);
    ASSERT_EQ(5u, answers.size());
    EXPECT_TRUE(Has(answers[1],
                    std::string(kStackStart) + "RMAN-03002: failure of crosscheck command at "));
    EXPECT_TRUE(Has(answers[1], "ORA-00600: internal error code, arguments: [simulated fault], "
                                "[crosscheck backup]\r\n"));
    EXPECT_TRUE(std::regex_search(
        answers[2],
        std::regex("^\r\nStarting backup at [^\r]*\r\n[\\s\\S]*" + std::string(kStackStart) +
                   "RMAN-03009: failure of backup command on ORA_DISK_1 channel at "
                   "[0-9/]{10} [0-9:]{8}\r\nORA-19502: write error on file "
                   "\"C:\\\\o'brien\\\\x\\.bcp\", block number 8 \\(block "
                   "size=8192\\)\r\nORA-27072: File I/O error\r\n\r\n$")));
    EXPECT_FALSE(Failed(answers[3]) || Failed(answers[4]));
    EXPECT_EQ("RMAN-00600: internal error, arguments [simulated diagnostic] [show all]\r\n"
              "OSD-04026: invalid parameter passed\r\n",
              run.errors);

    const struct {
        FaultKind kind;
        unsigned long timeoutMs;
        bool finished;
        const char* outputEnd; // after the last prompt
        unsigned long exitCode;
        unsigned long minimumMs;
    } cases[] = {
        {FaultKind::Die, 60000, true, "RMAN> \r\nStarting crosscheck at ", 3, 0},
        {FaultKind::Hang, 2500, false, "\r\nRMAN> ", 1, 0},
        {FaultKind::Slow, 60000, true, "Recovery Manager complete.\r\n", 0, 3000},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(oracle_.ClearFaults());
        ASSERT_TRUE(oracle_.AddFault(c.kind, L"crosscheck backup"));
        const ScriptedRun faulted =
            oracle_.Rman(std::string(kConnect) + "crosscheck backup;\nexit;\n", c.timeoutMs);
        EXPECT_EQ(c.finished, faulted.finished);
        EXPECT_TRUE(
            std::regex_search(faulted.output, std::regex(c.outputEnd + std::string("[^>]*$"))))
            << faulted.output;
        EXPECT_EQ(c.exitCode, faulted.exitCode);
        EXPECT_GE(faulted.milliseconds, c.minimumMs);
    }
}

} // namespace
