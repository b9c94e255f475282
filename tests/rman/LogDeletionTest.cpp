// Recovery Manager's answers to DELETE ARCHIVELOG: what it deleted, and what Oracle kept and why.
#include "rman/LogDeletion.h"

#include <gtest/gtest.h>

namespace {

TEST(LogDeletion, CountsTheDeletedLogsAndNamesEachKeptOneWithItsReason) {
    const std::wstring deleted =
        L"using channel ORA_DISK_1\r\n"
        L"List of Archived Log Copies for database with db_unique_name ORCL\r\n"
        L"=====================================================================\r\n\r\n"
        L"Key     Thrd Seq     S Low Time\r\n"
        L"------- ---- ------- - -------------------\r\n"
        L"57      1    57      A 2014-04-17 12:51:43\r\n"
        L"        Name: C:\\ARCH\\ARC0000000057_0001.ARC\r\n\r\n"
        L"deleted archived log\r\n"
        L"archived log file name=C:\\ARCH\\ARC0000000057_0001.ARC RECID=57 STAMP=844099254\r\n"
        L"Deleted 1 objects\r\n";
    const LogDeletion done = ReadLogDeletion(deleted + deleted);
    EXPECT_EQ(2u, done.deleted);
    EXPECT_TRUE(done.kept.empty());

    const LogDeletion refused = ReadLogDeletion(
        L"using channel ORA_DISK_1\n"
        L"RMAN-08138: warning: archived log not deleted - must create more backups\n"
        L"archived log file name=C:\\ARCH\\ARC0000000057_0001.ARC thread=1 sequence=57\r\n"
        L"RMAN-08138: warning: archived log not deleted - must create more backups\n"
        L"archived log file name=C:\\ARCH\\ARC0000000058_0001.ARC thread=1 sequence=58\n"
        L"RMAN-08137: warning: archived log not deleted, needed for standby or upstream capture "
        L"process\n"
        L"archived log file name=C:\\ARCH\\ARC0000000060_0001.ARC thread=1 sequence=60\n"
        L"RMAN-08138: warning: archived log not deleted - must create more backups\n"
        L"archived log file name=C:\\ARCH\\ARC0000000061_0001.ARC thread=1 sequence=61\n"
        L"RMAN-06207: WARNING: 1 objects could not be deleted for DISK channel(s) due\n");
    EXPECT_EQ(0u, refused.deleted);
    ASSERT_EQ(4u, refused.kept.size());
    EXPECT_EQ(1u, refused.kept[2].thread);
    EXPECT_EQ(60u, refused.kept[2].sequence);
    EXPECT_EQ(L"sequences 57, 58 and 61: RMAN-08138: warning: archived log not deleted - must "
              L"create more backups; sequence 60: RMAN-08137: warning: archived log not deleted, "
              L"needed for standby or upstream capture process",
              DescribeKeptLogs(refused.kept));
    EXPECT_EQ(std::vector<std::wstring>{L"RMAN-06207: WARNING: 1 objects could not be deleted for "
                                        L"DISK channel(s) due"},
              refused.otherMessages);
}

} // namespace
