#include "rman/RmanCommands.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

// A job's settings with every field that a text may take set to a known value; the tag and the
// templates keep their defaults.
OracleSettings KnownSettings() {
    OracleSettings settings;
    settings.userName = L"system";
    settings.password = L"manager";
    settings.tempFolder = L"C:\\T";
    settings.oracleHome = L"C:\\ora";
    settings.oracleSid = L"ORCL";
    settings.dbid = L"1234567890";
    settings.connectIdentifier = L"NETORCL";
    return settings;
}

TEST(RmanCommands, EveryCommandSendsItsTextAndLeavesItsMessage) {
    const struct {
        RmanCommand command;
        const wchar_t* text;
        const wchar_t* failure; // nullptr: the error text stays as it was
    } cases[] = {
        {RmanCommand::ClearTapeChannel, L"CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;\n",
         nullptr},
        {RmanCommand::DiskAsDefaultDevice, L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;\n", nullptr},
        {RmanCommand::CrosscheckBackups, L"crosscheck backup;\n", nullptr},
        {RmanCommand::DeleteTaggedBackups, L"delete noprompt backup tag 'ZT_BACKUP_TAG';\n",
         L"Backup deletion failed"},
        {RmanCommand::ShutdownImmediate, L"shutdown immediate;\n", L"Base shutdown failed"},
        {RmanCommand::StartupMount, L"startup mount;\n", L"Base startup failed"},
        {RmanCommand::Startup, L"startup;\n", nullptr},
        {RmanCommand::StartupForceNomount, L"startup force nomount;\n",
         L"'startup force nomount' failed"},
        {RmanCommand::OpenDatabase, L"alter database open;\n", L"Alter database open failed"},
        {RmanCommand::OpenDatabaseResetLogs, L"alter database open resetlogs;\n",
         L"Can't open resetlogs"},
        {RmanCommand::BackupSpFileToFolder,
         L"backup spfile tag 'ZT_BACKUP_TAG' format 'C:\\T\\%d-%I-%T-%U.spfile';\n",
         L"Backup spfile failed"},
        {RmanCommand::BackupControlFileToFolder,
         L"backup current controlfile tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%d-%I-%T-%U.controlfile';\n",
         L"Backup controlfile failed"},
        {RmanCommand::BackupDatabaseToFolder,
         L"backup as backupset database tag 'ZT_BACKUP_TAG' format 'C:\\T\\%d-%I-%T-%U.bcp' "
         L"plus archivelog tag 'ZT_BACKUP_TAG' format 'C:\\T\\%h-%e-%d-%I-%T-%U.archlog';\n",
         L"Backup database failed"},
        {RmanCommand::BackupArchivedLogsToFolder,
         L"backup as backupset archivelog all tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%h-%e-%d-%I-%T-%U.archlog';\n",
         L"Backup archived logs failed"},
        // One block on one line; the channel's maxpiecesize in MiB.
        {RmanCommand::StreamDatabaseToFolder,
         L"run { allocate channel c1 device type disk maxpiecesize 1024M; backup as backupset "
         L"database tag 'ZT_BACKUP_TAG' format 'C:\\T\\%d-%I-%T-%U.bcp' plus archivelog tag "
         L"'ZT_BACKUP_TAG' format 'C:\\T\\%h-%e-%d-%I-%T-%U.archlog'; }\n",
         L"Backup database failed"},
        {RmanCommand::ReportSchema, L"report schema;\n", nullptr},
        {RmanCommand::ListDatabaseBackups, L"list backup of database tag 'ZT_BACKUP_TAG';\n",
         L"Can't list the data files of the backup"},
        {RmanCommand::ListArchivedLogBackups,
         L"list backup of archivelog all tag 'ZT_BACKUP_TAG';\n",
         L"Can't list the archived logs of the backup"},
        {RmanCommand::ListIncarnations, L"list incarnation;\n",
         L"Can't list the database's incarnations"},
        {RmanCommand::CatalogTempFolder, L"CATALOG START WITH 'C:\\T' noprompt;\n",
         L"Can't add base to catalog"},
        {RmanCommand::RestoreDatabaseByTag, L"restore database from tag 'ZT_BACKUP_TAG';\n",
         L"Can't restore database"},
        {RmanCommand::RestoreDatabase, L"restore database;\n", L"Can't restore database"},
        {RmanCommand::RestoreArchiveLogs, L"restore archivelog all;\n",
         L"Can't restore archivelog"},
        {RmanCommand::RecoverDatabase, L"recover database;\n", L"Can't recover database"},
        {RmanCommand::RecoverUntilFirstLog, L"recover database until logseq 0;\n", nullptr},
        {RmanCommand::SetDbid, L"set DBID 1234567890;\n", L"Setting DB Id failed"},
        // Without a piece in the folder the template itself is named.
        {RmanCommand::RestoreSpFile, L"restore spfile from 'C:\\T\\%d-%I-%T-%U.spfile';\n",
         L"Restore spfile failed"},
        {RmanCommand::RestoreControlFile,
         L"restore controlfile from 'C:\\T\\%d-%I-%T-%U.controlfile';\n",
         L"Restore controlfile failed"},
    };
    ASSERT_EQ(static_cast<size_t>(RmanCommand::RestoreControlFile) + 1, std::size(cases));
    const OracleSettings settings = KnownSettings();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(static_cast<RmanCommand>(i), c.command) << "the cases follow RmanCommand";
        EXPECT_EQ(c.text, RmanCommandText(c.command, settings));
        EXPECT_EQ(std::wstring(c.failure ? c.failure : L"<none>"),
                  RmanCommandFailure(c.command) ? RmanCommandFailure(c.command) : L"<none>");
    }
}

// A point to recover to is set in a RUN block; a time with its mask, whatever the NLS settings.
TEST(RmanCommands, TheRecoveryStopsAtTheSettingsPoint) {
    OracleSettings settings = KnownSettings();
    settings.recoverUntilScn = 1946271;
    EXPECT_EQ(L"run { set until scn 1946271; recover database; }\n",
              RmanCommandText(RmanCommand::RecoverDatabase, settings));
    settings.recoverUntilScn = 0;
    settings.recoverUntilTime = L"2026-12-07 14:32:00";
    EXPECT_EQ(L"run { set until time \"to_date('2026-12-07 14:32:00','YYYY-MM-DD HH24:MI:SS')\"; "
              L"recover database; }\n",
              RmanCommandText(RmanCommand::RecoverDatabase, settings));
}

TEST(RmanCommands, TheDatabaseBackupFollowsCompressionAndArchivedLogs) {
    const struct {
        bool useCompression, backupArchiveLog;
        const wchar_t* text;
    } cases[] = {
        {true, true,
         L"backup as compressed backupset database tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%d-%I-%T-%U.bcp' plus archivelog tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%h-%e-%d-%I-%T-%U.archlog';\n"},
        // Without the clause the blank before the semicolon stays.
        {true, false,
         L"backup as compressed backupset database tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%d-%I-%T-%U.bcp' ;\n"},
        {false, false,
         L"backup as backupset database tag 'ZT_BACKUP_TAG' format 'C:\\T\\%d-%I-%T-%U.bcp' ;\n"},
    };
    OracleSettings settings = KnownSettings();
    for (const auto& c : cases) {
        settings.useCompression = c.useCompression;
        settings.backupArchiveLog = c.backupArchiveLog;
        EXPECT_EQ(c.text, RmanCommandText(RmanCommand::BackupDatabaseToFolder, settings));
    }
    // The streamed way without the clause: no blank before the semicolon.
    settings.pieceSizeMiB = 64;
    EXPECT_EQ(L"run { allocate channel c1 device type disk maxpiecesize 64M; backup as backupset "
              L"database tag 'ZT_BACKUP_TAG' format 'C:\\T\\%d-%I-%T-%U.bcp'; }\n",
              RmanCommandText(RmanCommand::StreamDatabaseToFolder, settings));
    settings.useCompression = true;
    EXPECT_EQ(L"backup as compressed backupset archivelog all tag 'ZT_BACKUP_TAG' format "
              L"'C:\\T\\%h-%e-%d-%I-%T-%U.archlog';\n",
              RmanCommandText(RmanCommand::BackupArchivedLogsToFolder, settings));
    // Fields go in as they are: nothing is quoted or escaped.
    settings.backupTag = L"";
    EXPECT_EQ(L"delete noprompt backup tag '';\n",
              RmanCommandText(RmanCommand::DeleteTaggedBackups, settings));
    settings.tempFolder = L"C:\\o'brien";
    EXPECT_EQ(L"CATALOG START WITH 'C:\\o'brien' noprompt;\n",
              RmanCommandText(RmanCommand::CatalogTempFolder, settings));
}

// The restore of a parameter or control file names the piece that the backup wrote: the newest
// file of its template's extension, whatever the others in the folder.
TEST(RmanCommands, RestoresNameTheNewestPieceOfTheirTemplate) {
    const std::vector<FolderFile> files = {
        {L"ORCL-1-20261206-a1_1_1.controlfile", 20}, {L"ORCL-1-20261206-a2_1_1.spfile", 30},
        {L"ORCL-1-20261206-a3_1_1.controlfile", 40}, {L"ORCL-1-20261206-a4_1_1.bcp", 50},
        {L"ORCL-1-20261206-a5_1_1.spfile", 10},      {L"tnsnames.ora", 60}};
    const OracleSettings settings = KnownSettings();
    EXPECT_EQ(L"restore spfile from 'C:\\T\\ORCL-1-20261206-a2_1_1.spfile';\n",
              RmanCommandText(RmanCommand::RestoreSpFile, settings, files));
    EXPECT_EQ(L"restore controlfile from 'C:\\T\\ORCL-1-20261206-a3_1_1.controlfile';\n",
              RmanCommandText(RmanCommand::RestoreControlFile, settings, files));
    EXPECT_EQ(L"crosscheck backup;\n",
              RmanCommandText(RmanCommand::CrosscheckBackups, settings, files));
    for (size_t i = 0; i <= static_cast<size_t>(RmanCommand::RestoreControlFile); ++i) {
        const RmanCommand command = static_cast<RmanCommand>(i);
        EXPECT_EQ(command == RmanCommand::RestoreSpFile ||
                      command == RmanCommand::RestoreControlFile,
                  NamesBackupPiece(command))
            << i;
    }
}

TEST(RmanCommands, ConnectHostCommandAndConfigurationFiles) {
    OracleSettings settings = KnownSettings();
    EXPECT_EQ(L"connect target system/manager\n", ConnectCommand(settings));
    settings.oracleSid.clear();
    EXPECT_EQ(L"connect target system/manager@NETORCL\n", ConnectCommand(settings));
    EXPECT_EQ(L"host 'copy /Y \"C:\\ora\\a b.ora\" \"C:\\T\"';\n",
              HostCommandText(CopyFileCommandLine(L"C:\\ora\\a b.ora", L"C:\\T")));
    EXPECT_EQ(std::wstring(L"Host command failed"), kHostCommandFailure);
    EXPECT_EQ(L"delete noprompt archivelog sequence between 57 and 12345678901 thread 2 backed up "
              L"1 times to device type disk;\n",
              DeleteBackedUpLogsCommand(2, 57, 12345678901ULL));
    settings.oracleSid = L"ORCL";
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\ora\\network\\ADMIN\\tnsnames.ora",
                                         L"C:\\ora\\network\\ADMIN\\listener.ora",
                                         L"C:\\ora\\network\\ADMIN\\sqlnet.ora",
                                         L"C:\\ora\\database\\PWDORCL.ora"}),
              ConfigurationFiles(settings));
}

} // namespace
