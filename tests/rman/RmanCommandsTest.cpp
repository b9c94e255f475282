#include "rman/RmanCommands.h"

#include <gtest/gtest.h>

namespace {

OracleSettings JobSettings() {
    OracleSettings s;
    s.tempFolder = L"C:\\T";
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
        {RmanCommand::BackupDatabaseToFolder, [](OracleSettings& s) { s.useCompression = true; },
         L"",
         L"backup as compressed backupset database tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%d-%I-%T-%U.bcp' plus archivelog tag 'ZT_BACKUP_TAG' format "
         L"'C:\\T\\%h-%e-%d-%I-%T-%U.archlog';\n"},
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

} // namespace
