// rman.exe, the Recovery Manager simulator, driven over real pipes with scripted dialogues. The
// product's console and procedure tests run its ordinary dialogues; these hold what keeps those
// tests meaningful: the markers the console parses, the refusals of real Recovery Manager (so that
// a wrong command from the product cannot pass), and round trips up to a total loss restored onto
// a bare instance. The injected faults are checked where the console and the jobs meet them.
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
         {"run { set until scn 1000; recover database; }", "found \"scn\"", true},
         {"run {\nset until sequence 1 thread 1;\nrecover database;\n}", "RMAN-06556", true},
         {"recover database;", "media recovery complete", false},
         {"alter database open;", "Statement processed", false}});
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

} // namespace
