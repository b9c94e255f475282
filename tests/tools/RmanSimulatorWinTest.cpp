// rman.exe, the Recovery Manager simulator, driven over real pipes with scripted dialogues. The
// product's console and procedure tests run its ordinary dialogues; these hold what keeps those
// tests meaningful: the markers the console parses, the refusals of real Recovery Manager (so that
// a wrong command from the product cannot pass), and round trips up to a total loss restored onto
// a bare instance. The injected faults are checked where the console and the jobs meet them.
#include "rman/BackupListing.h"
#include "rman/FolderFiles.h"
#include "rman/LogDeletion.h"
#include "tests/support/win/SimulatedOracle.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Instance.h"
#include "tools/simdb/Layout.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <regex>

namespace {

using simoracle::DatabaseState;
using testing_support::CountOf;
using testing_support::Narrow;
using testing_support::ScriptedRun;
using testing_support::SimulatedOracle;

const char kConnect[] = "connect target system/manager\n";
const char kDeleteTagged[] = "delete noprompt backup tag 'ZT_BACKUP_TAG';";

// The backup commands of an online backup job, as the plug-in words them, into folder.
std::string BackupScript(const std::wstring& folder) {
    const std::string f = "tag 'ZT_BACKUP_TAG' format '" + Narrow(folder) + "\\";
    return std::string(kConnect) + "backup spfile " + f + "%d-%I-%T-%U.spfile';\n" +
           "backup current controlfile " + f + "%d-%I-%T-%U.controlfile';\n" +
           "backup as compressed backupset database " + f + "%d-%I-%T-%U.bcp' plus archivelog " +
           f + "%h-%e-%d-%I-%T-%U.archlog';\n";
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

// Every answer of the dialogue of steps, after a connect, checked against its step.
void ExpectSteps(const SimulatedOracle& oracle, const Steps& steps) {
    std::string script = kConnect;
    for (const Step& step : steps)
        script += step.command + "\n";
    const std::string output = oracle.Rman(script).output;
    const std::vector<std::string> answers = Answers(output);
    ASSERT_EQ(steps.size() + 1, answers.size()) << output;
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_TRUE(Has(answers[i + 1], steps[i].expected)) << steps[i].command << answers[i + 1];
        EXPECT_EQ(steps[i].fails, Failed(answers[i + 1])) << steps[i].command << answers[i + 1];
    }
}

std::wstring FileEndingIn(const std::wstring& folder, const std::wstring& extension) {
    return folder + L"\\" + NewestFileWithExtension(ListFolderFiles(folder), extension);
}

void FlipMiddleByte(const std::wstring& from, const std::wstring& to) {
    std::string bytes = testing_support::ReadFileBytes(from);
    bytes[bytes.size() / 2] ^= 0x01;
    testing_support::WriteFileBytes(to, bytes);
}

class RmanSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(oracle_.Ready()) << Narrow(oracle_.Error()); }

    SimulatedOracle oracle_;
};

// The console drops the banner's lines by their starts, ends a command at a prompt (the
// line-numbered one of an unfinished statement too), and marks a failure by its error stack, whose
// frame lines it leaves out. Recovery Manager refuses a command before the connect, a wrongly
// worded one, and an unknown connect identifier. (The password question and a wrong password are
// met by the console's and the jobs' tests.)
TEST_F(RmanSimulatorTest, TheDialogueCarriesTheMarkersTheConsoleParsesAndRefusesWrongInput) {
    const struct {
        std::string script;
        const char* expected; // a regular expression
        bool fails;
    } cases[] = {
        {"crosscheck backup;\n",
         "^\r\nRecovery Manager: [^>]*\r\nCopyright [^>]*RMAN> \r\nRMAN-00571: =+\r\nRMAN-00569: "
         "=+ ERROR MESSAGE STACK FOLLOWS =+\r\n[^>]*RMAN-06171: not connected to target database",
         true},
        {kConnect + std::string("backup everything;\n"), "RMAN-01009: syntax error", true},
        {"connect target SYSTEM/manager@SIMDB\n", "connected to target database: SIMDB", false},
        {"connect target system/manager@NOSUCH\n", "ORA-12154: TNS:could not resolve", true},
        // Last: the instance stays down.
        {kConnect + std::string("shutdown\nimmediate;\n"), "RMAN> 2> \r\ndatabase closed\r\n",
         false},
    };
    for (const auto& c : cases) {
        const std::string output = oracle_.Rman(c.script).output;
        EXPECT_TRUE(std::regex_search(output, std::regex(c.expected))) << c.script << output;
        EXPECT_EQ(c.fails, Failed(output)) << c.script << output;
        EXPECT_EQ(CountOf(output, "\n"), CountOf(output, "\r\n")) << output; // CR LF line ends
    }
}

// Another database's pieces are refused and leave the target untouched; so are commands that the
// instance's state does not allow. A wrecked database gets its data files back only from sound
// pieces, and opens only when recovered. The backup is written one byte at a time (the console's
// tests rely on it) into a folder with characters of two and three UTF-8 bytes.
TEST_F(RmanSimulatorTest, RestoreGivesTheDataBackOnlyFromSoundPiecesOfThisDatabase) {
    SimulatedOracle foreign(SimulatedOracle::SmallDatabase(), L"OTHER");
    ASSERT_TRUE(foreign.Ready()) << Narrow(foreign.Error());
    const std::wstring foreignFolder = foreign.Folder(L"backup");
    foreign.Rman(BackupScript(foreignFolder));
    const std::string before = oracle_.Digest();
    ASSERT_EQ(64u, before.size());
    ExpectSteps(oracle_, {{"shutdown immediate;", "database closed", false},
                          {"shutdown immediate;", "ORA-01034: ORACLE not available", true},
                          {"startup mount;", "database mounted", false},
                          {"alter database mount;", "ORA-01100: database already mounted", true},
                          {"CATALOG START WITH '" + Narrow(foreignFolder) + "' noprompt;",
                           "RMAN-07518: Reason: Foreign database file DBID: ", false},
                          {"restore database from tag 'ZT_BACKUP_TAG';",
                           "RMAN-06026: some targets not found - aborting restore", true},
                          {"alter database open;", "Statement processed", false},
                          {"alter database open;", "ORA-01531", true}});
    EXPECT_EQ(before, oracle_.Digest());
    const std::wstring folder = oracle_.Folder(L"pi\u00e8ces \u20ac");
    ASSERT_TRUE(oracle_.SetTrickle(true));
    const ScriptedRun backup = oracle_.Rman(BackupScript(folder));
    EXPECT_FALSE(Failed(backup.output)) << backup.output;
    EXPECT_GT(backup.outputReads, CountOf(backup.output, "\r\n"));
    ASSERT_TRUE(oracle_.Wreck(simoracle::WreckScope::DataFiles));
    ExpectSteps(oracle_,
                {{"startup;", "ORA-01157: cannot identify/lock data file 1", true},
                 {"restore database from tag 'ZT_BACKUP_TAG';", "Finished restore", false},
                 {"alter database open;", "ORA-01113: file 1 needs media recovery", true}});
    std::wstring piece;
    for (const std::wstring& name : simoracle::ListFolder(folder, false))
        if (name.find(L".bcp") != std::wstring::npos &&
            testing_support::ReadFileBytes(folder + L"\\" + name).size() > 100000)
            piece = folder + L"\\" + name;
    FlipMiddleByte(piece, piece);
    ASSERT_TRUE(oracle_.Wreck(simoracle::WreckScope::DataFiles));
    ExpectSteps(oracle_,
                {{"startup mount;", "database mounted", false},
                 {"restore database from tag 'ZT_BACKUP_TAG';",
                  "ORA-19870: error while restoring backup piece " + Narrow(piece), true}});
    EXPECT_TRUE(oracle_.Digest().empty());
}

// A RUN block is one statement, read whole before any of it runs: its statements go through the
// same grammar, its channel names the lines of its backups and is released at its end, and its
// SET UNTIL holds for its recovery only. Statements may span lines; strings take either quote.
TEST_F(RmanSimulatorTest, RunBlocksFollowTheGrammarOfRecoveryManager) {
    const std::string folder = Narrow(oracle_.Folder(L"run"));
    const std::string format = " format '" + folder + "\\%U.x'";
    ExpectSteps(
        oracle_,
        {{"run { backup spfile" + format + "; backup everything; }", "found \"everything\"", true},
         {"list backup;", "specification does not match any backup", false},
         {"allocate channel c1 device type disk;", "RMAN-01009: syntax error", true},
         {"run { allocate channel c1 device type disk maxpiecesize 64Q; }", "found \"64Q\"", true},
         {"run { allocate channel c1 device type disk maxpiecesize 1024M; backup spfile" + format +
              "; }",
          "channel c1: backup set complete", false},
         {"RUN {\nALLOCATE CHANNEL \"c2\" DEVICE TYPE\nDISK FORMAT \"" + folder +
              "\\%U.y\";\nBACKUP CURRENT CONTROLFILE\nTAG \"dq\";\n}",
          "tag=DQ comment=NONE\r\nchannel c2: backup set complete", false},
         {"backup spfile" + format + ";", "channel ORA_DISK_1: backup set complete", false},
         {"shutdown immediate;", "database closed", false},
         {"startup mount;", "database mounted", false},
         {"run { set until scn 1000; recover database; }",
          "RMAN-06556: datafile 1 must be restored from backup older than SCN 1000", true},
         {"run {\nset until sequence 1 thread 1;\nrecover database;\n}", "RMAN-06556", true},
         {"recover database;", "media recovery complete", false},
         {"alter database open;", "Statement processed", false},
         {"list incarnation;",
          "List of Database Incarnations\r\nDB Key  Inc Key DB Name  DB ID            STATUS  "
          "Reset SCN  Reset Time",
          false}});
    // The channel's format named the piece that its block's backup wrote.
    EXPECT_NE(L"", NewestFileWithExtension(ListFolderFiles(testing_support::Wide(folder)), L".y"));
}

// Another machine: a fresh home elsewhere, and only the service and password file of SIMDB. Without
// its parameter file the instance never mounts and refuses wrong pieces; then the restore works.
TEST_F(RmanSimulatorTest, ATotalLossRestoresOntoABareInstanceOfAnotherInstallation) {
    const std::string before = oracle_.Digest();
    // The pieces copied to a folder as a restore unpacks them; the job's close has deleted the
    // originals.
    const std::wstring backup = oracle_.Folder(L"backup");
    const std::wstring folder = oracle_.Folder(L"restore");
    oracle_.Rman(BackupScript(backup));
    for (const std::wstring& name : simoracle::ListFolder(backup, false))
        CopyFileW((backup + L"\\" + name).c_str(), (folder + L"\\" + name).c_str(), FALSE);
    ExpectSteps(oracle_, {{"crosscheck backup;", "", false}, {kDeleteTagged, "Deleted", false}});
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
    ExpectSteps(
        other,
        {{"startup mount;", "ORA-00205: error in identifying control file", true},
         {"restore controlfile from '" + Narrow(folder) + "\\%d-%I-%T-%U.controlfile';",
          "ORA-19505: failed to identify file", true},
         {"restore spfile from '" + controlFile + "';", "RMAN-06172: no AUTOBACKUP found", true},
         {"restore spfile from '" + Narrow(damaged) + "';", "ORA-19870: error while restoring",
          true},
         // The stand-in instance's own control file, which it never mounts (see below).
         {"restore controlfile from '" + controlFile + "';", "CTL1SIMDB.ORA", false},
         {"set DBID 1000;", "executing command: SET DBID", false},
         {"restore spfile from '" + spFile + "';", "RMAN-06172", true}}); // another DBID
    // As it was: neither parameter file, control file nor data files.
    const simoracle::DatabaseFiles files(other.HomeDir(), L"SIMDB");
    for (const std::wstring& path : {files.SpFile(), files.ControlFile(), files.RedoLog()})
        EXPECT_FALSE(testing_support::PathExists(path)) << Narrow(path);
    EXPECT_TRUE(other.Digest().empty());
    ExpectSteps(
        other,
        {{"shutdown immediate;", "Oracle instance shut down", false},
         {"startup mount;", "LRM-00109: could not open parameter file", true},
         {"set DBID " + spFile.substr(spFile.find("SIMDB-") + 6, 10) + ";", "", false},
         {"startup force nomount;", "LRM-00109", false},
         {"restore spfile from '" + spFile + "';",
          "output file name=" + Narrow(other.HomeDir()) + "\\database\\SPFILESIMDB.ORA", false},
         {"shutdown immediate;", "", false},
         // Started from the restored parameter file: no longer the stand-in, so a restore needs TO.
         {"startup force nomount;", "Oracle instance started", false},
         {"restore spfile from '" + spFile + "';", "RMAN-06564: must use the TO clause", true},
         {"restore controlfile from '" + controlFile + "';", "CONTROL01.CTL", false},
         {"shutdown immediate;", "", false},
         {"startup mount;", "mounted", false},
         {"crosscheck backup;", "", false},
         {kDeleteTagged, "", false},
         {"CATALOG START WITH '" + Narrow(folder) + "' noprompt;", "List of Cataloged Files",
          false},
         {"restore database from tag 'ZT_BACKUP_TAG';", "Finished restore", false},
         {"restore archivelog all;", "Finished restore", false},
         // A restored control file knows no redo after its backup: the recovery stays incomplete.
         {"recover database;", "RMAN-06054: media recovery requesting unknown archived log", true},
         {"alter database open;", "ORA-01589: must use RESETLOGS or NORESETLOGS", true},
         {"alter database open resetlogs;", "Statement processed", false}});
    EXPECT_EQ(before, other.Digest());
    EXPECT_EQ(DatabaseState::Open, other.State());
}

// The archived logs as Recovery Manager backs them up, lists and deletes them, read by the
// product's own readers: the current log archived first; each backed-up log with the span of
// SCNs and times it covers (the change that "simoracle touch" made falls within its log's), dated
// in NLS_DATE_FORMAT, which Oracle honours only with NLS_LANG set; deletion of the logs backed up
// often enough; the deletion policy's refusal, which FORCE overrides; and no log to archive in
// NOARCHIVELOG mode.
TEST_F(RmanSimulatorTest, ArchivedLogsAreBackedUpListedAndDeletedAsRecoveryManagerDoes) {
    simoracle::ChangePoint change;
    std::wstring error;
    ASSERT_TRUE(simoracle::Touch(oracle_.HomeDir(), oracle_.Sid(), change, error)) << Narrow(error);
    const std::string format = " format '" + Narrow(oracle_.Folder(L"logs")) + "\\%h-%e-%U.x'";
    using Environment = std::vector<std::pair<std::wstring, std::wstring>>;
    const Environment nls = {{L"NLS_LANG", L"AMERICAN_AMERICA.AL32UTF8"},
                             {L"NLS_DATE_FORMAT", L"YYYY-MM-DD HH24:MI:SS"}};
    const std::vector<std::string> answers =
        Answers(oracle_
                    .Rman(std::string(kConnect) + "backup archivelog all tag 'T1'" + format +
                              ";\nlist backup of archivelog all tag 't1';\n"
                              "list backup of database;\n"
                              "delete noprompt archivelog all backed up 2 times to device type "
                              "disk;\ndelete noprompt archivelog sequence between 2 and 3 thread 1 "
                              "backed up 1 times to device type disk;\n",
                          L"", nls)
                    .output);
    ASSERT_EQ(6u, answers.size());
    EXPECT_TRUE(std::regex_search(answers[1], std::regex("Starting backup at 20[0-9][0-9]-[01][0-9]"
                                                         "-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5]"
                                                         "[0-9]\r\ncurrent log archived\r\n")))
        << answers[1];
    EXPECT_TRUE(Has(answers[1], "input archived log thread=1 sequence=4 RECID=4 STAMP="));
    std::vector<ThreadLogs> logs;
    ASSERT_TRUE(ParseListedLogs(testing_support::Wide(answers[2]), logs, error)) << Narrow(error);
    ASSERT_EQ(4u, logs.size()) << answers[2];
    for (size_t i = 0; i < logs.size(); ++i) {
        EXPECT_EQ(i + 1, logs[i].firstSequence);
        EXPECT_LT(logs[i].lowScn, logs[i].nextScn);
        EXPECT_EQ(i == 0 ? logs[i].lowScn : logs[i - 1].nextScn, logs[i].lowScn);
    }
    // The change was the third log's.
    EXPECT_LT(logs[2].lowScn, change.scn);
    EXPECT_GT(logs[2].nextScn, change.scn);
    EXPECT_LE(logs[2].lowTime, change.time);
    EXPECT_GE(logs[2].nextTime, change.time);
    EXPECT_TRUE(Has(answers[3], "specification does not match any backup in the repository"));
    EXPECT_TRUE(Has(answers[4], "specification does not match any archived log in the repository"));
    const LogDeletion deleted = ReadLogDeletion(testing_support::Wide(answers[5]));
    EXPECT_EQ(2u, deleted.deleted) << answers[5];
    EXPECT_TRUE(deleted.kept.empty());
    const simoracle::DatabaseFiles files(oracle_.HomeDir(), oracle_.Sid());
    EXPECT_EQ(2u, simoracle::ListFolder(files.ArchiveFolder(), false).size());

    // The deletion policy keeps every log it is asked for; FORCE overrides it.
    ASSERT_TRUE(oracle_.AddFault(simoracle::FaultKind::RefuseDelete, L"delete*"));
    const std::vector<std::string> refused =
        Answers(oracle_
                    .Rman(std::string(kConnect) + "delete noprompt archivelog all;\n"
                                                  "delete force noprompt archivelog all;\n")
                    .output);
    ASSERT_EQ(3u, refused.size());
    const LogDeletion kept = ReadLogDeletion(testing_support::Wide(refused[1]));
    EXPECT_EQ(0u, kept.deleted);
    ASSERT_EQ(2u, kept.kept.size()) << refused[1];
    EXPECT_EQ(4u, kept.kept[1].sequence);
    EXPECT_EQ(L"RMAN-08138: warning: archived log not deleted - must create more backups",
              kept.kept[1].reason);
    EXPECT_FALSE(Failed(refused[1]));
    EXPECT_EQ(2u, ReadLogDeletion(testing_support::Wide(refused[2])).deleted);

    // Dates: in the format only with NLS_LANG; else as DD-MON-RR.
    for (const Environment& environment :
         {Environment{{L"NLS_LANG", L""}, {L"NLS_DATE_FORMAT", L"YYYY-MM-DD HH24:MI:SS"}},
          Environment{{L"NLS_LANG", L"AMERICAN_AMERICA.AL32UTF8"}, {L"NLS_DATE_FORMAT", L""}}}) {
        const std::string output =
            oracle_.Rman(std::string(kConnect) + "backup spfile" + format + ";\n", L"", environment)
                .output;
        EXPECT_TRUE(std::regex_search(
            output, std::regex("Starting backup at [0-3][0-9]-[A-Z][A-Z][A-Z]-[0-9][0-9]\r\n")))
            << output;
    }

    ASSERT_TRUE(oracle_.AddInstance(L"SNOARC", false)) << Narrow(oracle_.Error());
    const std::string noArchiving =
        oracle_.Rman("connect target system/manager@SNOARC\nbackup archivelog all;\n").output;
    EXPECT_TRUE(Failed(noArchiving));
    EXPECT_TRUE(Has(noArchiving, "ORA-00258: manual archiving in NOARCHIVELOG mode must identify "
                                 "log"))
        << noArchiving;
}

} // namespace
