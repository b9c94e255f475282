#include "rman/RmanCommandText.h"
#include "plugin/OracleSettings.h"

#include <gtest/gtest.h>

namespace text = RmanCommandText;

namespace {

OracleSettings JobSettings() {
    OracleSettings s;
    s.tempFolder = L"C:\\T";
    s.oracleHome = L"C:\\ora";
    s.oracleSid = L"ORCL";
    return s;
}

TEST(RmanCommandText, FixedCommandsAreExact) {
    EXPECT_STREQ(L"crosscheck backup;\n", text::kCrosscheckBackups);
    EXPECT_STREQ(L"shutdown immediate;\n", text::kShutdownImmediate);
    EXPECT_STREQ(L"startup mount;\n", text::kStartupMount);
    EXPECT_STREQ(L"startup;\n", text::kStartup);
    EXPECT_STREQ(L"startup force nomount;\n", text::kStartupForceNomount);
    EXPECT_STREQ(L"alter database open;\n", text::kOpenDatabase);
    EXPECT_STREQ(L"alter database open resetlogs;\n", text::kOpenDatabaseResetLogs);
    EXPECT_STREQ(L"restore archivelog all;\n", text::kRestoreArchiveLogs);
    EXPECT_STREQ(L"recover database;\n", text::kRecoverDatabase);
    EXPECT_STREQ(L"recover database until logseq 0;\n", text::kRecoverUntilFirstLog);
    EXPECT_STREQ(L"CONFIGURE CHANNEL DEVICE TYPE 'SBT_TAPE' CLEAR;\n", text::kClearTapeChannel);
    EXPECT_STREQ(L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;\n", text::kDiskAsDefaultDevice);
}

TEST(RmanCommandText, TagCommandsNameTheTag) {
    OracleSettings s = JobSettings();
    EXPECT_EQ(L"delete noprompt backup tag 'ZT_BACKUP_TAG';\n", text::DeleteTaggedBackups(s));
    EXPECT_EQ(L"restore database from tag 'ZT_BACKUP_TAG';\n", text::RestoreDatabaseByTag(s));
    s.backupTag.clear();
    EXPECT_EQ(L"delete noprompt backup tag '';\n", text::DeleteTaggedBackups(s));
    // Fields are inserted unchanged, quotes and all.
    s.backupTag = L"O'BRIEN";
    EXPECT_EQ(L"delete noprompt backup tag 'O'BRIEN';\n", text::DeleteTaggedBackups(s));
    EXPECT_EQ(L"restore database from tag 'O'BRIEN';\n", text::RestoreDatabaseByTag(s));
}

TEST(RmanCommandText, PieceBackupsPutTheTemplateBehindTheFolder) {
    OracleSettings s = JobSettings();
    EXPECT_EQ(L"backup spfile tag 'ZT_BACKUP_TAG' format 'C:\\T\\%d-%I-%T-%U.spfile';\n",
              text::BackupSpFileToFolder(s));
    EXPECT_EQ(L"backup current controlfile tag 'ZT_BACKUP_TAG' format "
              L"'C:\\T\\%d-%I-%T-%U.controlfile';\n",
              text::BackupControlFileToFolder(s));
    // A folder that already ends in a backslash gets a second one: nothing is tested.
    s.tempFolder = L"C:\\T\\";
    EXPECT_EQ(L"backup spfile tag 'ZT_BACKUP_TAG' format 'C:\\T\\\\%d-%I-%T-%U.spfile';\n",
              text::BackupSpFileToFolder(s));
}

TEST(RmanCommandText, DatabaseBackupFollowsCompressionAndArchiveLogFlags) {
    OracleSettings s = JobSettings();
    s.useCompression = true;
    s.backupArchiveLog = true;
    EXPECT_EQ(L"backup as compressed backupset database tag 'ZT_BACKUP_TAG' format "
              L"'C:\\T\\%d-%I-%T-%U.bcp' plus archivelog tag 'ZT_BACKUP_TAG' format "
              L"'C:\\T\\%h-%e-%d-%I-%T-%U.archlog';\n",
              text::BackupDatabaseToFolder(s));
    s.useCompression = false;
    EXPECT_EQ(L"backup as backupset database tag 'ZT_BACKUP_TAG' format "
              L"'C:\\T\\%d-%I-%T-%U.bcp' plus archivelog tag 'ZT_BACKUP_TAG' format "
              L"'C:\\T\\%h-%e-%d-%I-%T-%U.archlog';\n",
              text::BackupDatabaseToFolder(s));
    // Without archived logs the blank before the semicolon stays.
    s.backupArchiveLog = false;
    EXPECT_EQ(L"backup as backupset database tag 'ZT_BACKUP_TAG' format "
              L"'C:\\T\\%d-%I-%T-%U.bcp' ;\n",
              text::BackupDatabaseToFolder(s));
    s.useCompression = true;
    EXPECT_EQ(L"backup as compressed backupset database tag 'ZT_BACKUP_TAG' format "
              L"'C:\\T\\%d-%I-%T-%U.bcp' ;\n",
              text::BackupDatabaseToFolder(s));
}

TEST(RmanCommandText, CatalogueNamesTheBareFolder) {
    OracleSettings s = JobSettings();
    EXPECT_EQ(L"CATALOG START WITH 'C:\\T' noprompt;\n", text::CatalogTempFolder(s));
    s.tempFolder = L"C:\\Program Files\\x'y.ora";
    EXPECT_EQ(L"CATALOG START WITH 'C:\\Program Files\\x'y.ora' noprompt;\n",
              text::CatalogTempFolder(s));
}

TEST(RmanCommandText, DbidIsInsertedUnquoted) {
    OracleSettings s = JobSettings();
    s.dbid = L"1234567890";
    EXPECT_EQ(L"set DBID 1234567890;\n", text::SetDbid(s));
    s.dbid.clear();
    EXPECT_EQ(L"set DBID ;\n", text::SetDbid(s));
}

TEST(RmanCommandText, RestoresNameTheFoundPieceOrElseTheTemplate) {
    const OracleSettings s = JobSettings();
    EXPECT_EQ(L"restore controlfile from 'C:\\T\\%d-%I-%T-%U.controlfile';\n",
              text::RestoreControlFile(s, L""));
    EXPECT_EQ(L"restore spfile from 'C:\\T\\%d-%I-%T-%U.spfile';\n", text::RestoreSpFile(s, L""));
    EXPECT_EQ(L"restore controlfile from 'C:\\T\\ORCL-1-20261206-0a1b.controlfile';\n",
              text::RestoreControlFile(s, L"ORCL-1-20261206-0a1b.controlfile"));
    EXPECT_EQ(L"restore spfile from 'C:\\T\\ORCL-1-20261206-0c1d.spfile';\n",
              text::RestoreSpFile(s, L"ORCL-1-20261206-0c1d.spfile"));
}

TEST(RmanCommandText, HostCopyQuotesBothPathsInsideTheSingleQuotes) {
    const std::wstring line = text::CopyFileCommandLine(L"C:\\ora\\a b.ora", L"C:\\T");
    EXPECT_EQ(L"copy /Y \"C:\\ora\\a b.ora\" \"C:\\T\"", line);
    EXPECT_EQ(L"host 'copy /Y \"C:\\ora\\a b.ora\" \"C:\\T\"';\n", text::HostCommand(line));
    EXPECT_EQ(L"host 'dir';\n", text::HostCommand(L"dir"));
}

TEST(RmanCommandText, ConfigurationFilesComeFromTheHomeAndTheSid) {
    const std::vector<std::wstring> expected = {
        L"C:\\ora\\network\\ADMIN\\tnsnames.ora", L"C:\\ora\\network\\ADMIN\\listener.ora",
        L"C:\\ora\\network\\ADMIN\\sqlnet.ora", L"C:\\ora\\database\\PWDORCL.ora"};
    EXPECT_EQ(expected, text::ConfigurationFiles(JobSettings()));
}

TEST(RmanCommandText, LongFieldsAreNotCut) {
    OracleSettings s = JobSettings();
    s.tempFolder = std::wstring(5000, L'x');
    s.backupTag = std::wstring(3000, L't');
    const std::wstring command = text::BackupDatabaseToFolder(s);
    EXPECT_EQ(L"backup as backupset database tag '" + s.backupTag + L"' format '" + s.tempFolder +
                  L"\\%d-%I-%T-%U.bcp' plus archivelog tag '" + s.backupTag + L"' format '" +
                  s.tempFolder + L"\\%h-%e-%d-%I-%T-%U.archlog';\n",
              command);
}

} // namespace
