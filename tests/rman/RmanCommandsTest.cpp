#include "rman/RmanCommands.h"

#include <gtest/gtest.h>

namespace {

OracleSettings JobSettings() {
    OracleSettings s;
    s.tempFolder = L"C:\\T";
    s.oracleHome = L"C:\\ora";
    s.oracleSid = L"ORCL";
    return s;
}

// The commands with a variable part, for the settings each case makes.
TEST(RmanCommands, TextsFollowTheSettings) {
    struct Case {
        RmanCommand command;
        void (*adjust)(OracleSettings&);
        const wchar_t* piece;
        const wchar_t* expected;
    };
    const auto none = [](OracleSettings&) {};
    const Case cases[] = {
        {RmanCommand::DeleteTaggedBackups, none, L"",
         L"delete noprompt backup tag 'ZT_BACKUP_TAG';\n"},
        {RmanCommand::DeleteTaggedBackups, [](OracleSettings& s) { s.backupTag.clear(); }, L"",
         L"delete noprompt backup tag '';\n"},
        // Fields are inserted unchanged, quotes and all.
        {RmanCommand::RestoreDatabaseByTag, [](OracleSettings& s) { s.backupTag = L"O'B"; }, L"",
         L"restore database from tag 'O'B';\n"},
        {RmanCommand::BackupSpFileToFolder, none, L"",
         L"backup spfile tag 'ZT_BACKUP_TAG' format 'C:\\T\\%d-%I-%T-%U.spfile';\n"},
        // A folder that already ends in a backslash gets a second one: nothing is tested.
        {RmanCommand::BackupControlFileToFolder, [](OracleSettings& s) { s.tempFolder += L"\\"; },
         L"",
         L"backup current controlfile tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\\\%d-%I-%T-%U.controlfile';\n"},
        {RmanCommand::BackupDatabaseToFolder, [](OracleSettings& s) { s.useCompression = true; },
         L"",
         L"backup as compressed backupset database tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%d-%I-%T-%U.bcp' plus archivelog tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%h-%e-%d-%I-%T-%U.archlog';\n"},
        // Without archived logs the blank before the semicolon stays.
        {RmanCommand::BackupDatabaseToFolder, [](OracleSettings& s) { s.backupArchiveLog = false; },
         L"",
         L"backup as backupset database tag 'ZT_BACKUP_TAG' format 'C:\\T\\%d-%I-%T-%U.bcp' ;\n"},
        {RmanCommand::CatalogTempFolder, none, L"", L"CATALOG START WITH 'C:\\T' noprompt;\n"},
        {RmanCommand::SetDbid, [](OracleSettings& s) { s.dbid = L"1234567890"; }, L"",
         L"set DBID 1234567890;\n"},
        {RmanCommand::RestoreControlFile, none, L"",
         L"restore controlfile from 'C:\\T\\%d-%I-%T-%U.controlfile';\n"},
        {RmanCommand::RestoreSpFile, none, L"ORCL-1-20261206-0c1d.spfile",
         L"restore spfile from 'C:\\T\\ORCL-1-20261206-0c1d.spfile';\n"},
    };
    for (const Case& c : cases) {
        OracleSettings s = JobSettings();
        c.adjust(s);
        EXPECT_EQ(c.expected, RmanCommandText(c.command, s, c.piece));
    }
}

TEST(RmanCommands, ConfigurationFiles) {
    const std::vector<std::wstring> expected = {
        L"C:\\ora\\network\\ADMIN\\tnsnames.ora", L"C:\\ora\\network\\ADMIN\\listener.ora",
        L"C:\\ora\\network\\ADMIN\\sqlnet.ora", L"C:\\ora\\database\\PWDORCL.ora"};
    EXPECT_EQ(expected, ConfigurationFiles(JobSettings()));
}

TEST(RmanCommands, LongFieldsAreNotCut) {
    OracleSettings s = JobSettings();
    s.tempFolder = std::wstring(5000, L'x');
    s.backupTag = std::wstring(3000, L't');
    EXPECT_EQ(L"backup as backupset database tag '" + s.backupTag + L"' format '" + s.tempFolder +
                  L"\\%d-%I-%T-%U.bcp' plus archivelog tag '" + s.backupTag + L"' format '" +
                  s.tempFolder + L"\\%h-%e-%d-%I-%T-%U.archlog';\n",
              RmanCommandText(RmanCommand::BackupDatabaseToFolder, s));
}

} // namespace
