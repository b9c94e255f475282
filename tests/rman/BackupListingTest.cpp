// Recovery Manager's LIST BACKUP output, as it prints it, read into the facts of a description.
#include "rman/BackupListing.h"

#include <gtest/gtest.h>

namespace {

// Two backup sets; the second holds the logs of two threads of a RAC database, interleaved.
const wchar_t kArchivedLogSets[] =
    L"\r\n\r\nList of Backup Sets\r\n===================\r\n\r\n\r\n"
    L"BS Key  Size       Device Type Elapsed Time Completion Time\r\n"
    L"------- ---------- ----------- ------------ -------------------\r\n"
    L"7       4.44M      DISK        00:00:01     2014-04-17 13:04:16\r\n"
    L"        BP Key: 7   Status: AVAILABLE  Compressed: YES Tag: ZT_BACKUP_TAG\r\n"
    L"        Piece Name: C:\\T\\1-589-ORCL-1234567890-20140417-0dp6ud9g_1_1.archlog\r\n"
    L"\r\n"
    L"  List of Archived Logs in backup set 7\r\n"
    L"  Thrd Seq     Low SCN    Low Time            Next SCN   Next Time\r\n"
    L"  ---- ------- ---------- ------------------- ---------- -------------------\r\n"
    L"  1    589     1945561    2014-04-17 12:51:43 1946270    2014-04-17 13:04:14\r\n"
    L"  1    590     1946270    2014-04-17 13:04:14 1946281    2014-04-17 13:04:15\r\n"
    L"\r\n\r\n"
    L"BS Key  Size       Device Type Elapsed Time Completion Time\r\n"
    L"------- ---------- ----------- ------------ -------------------\r\n"
    L"9       1.02M      DISK        00:00:01     2014-04-17 13:20:02\r\n"
    L"        BP Key: 9   Status: AVAILABLE  Compressed: YES Tag: ZT_BACKUP_TAG\r\n"
    L"        Piece Name: C:\\T\\2-37-ORCL-1234567890-20140417-0fp6uea1_1_1.archlog\r\n"
    L"\r\n"
    L"  List of Archived Logs in backup set 9\r\n"
    L"  Thrd Seq     Low SCN    Low Time            Next SCN   Next Time\r\n"
    L"  ---- ------- ---------- ------------------- ---------- -------------------\r\n"
    L"  2    37      1945003    2014-04-17 12:40:00 1946400    2014-04-17 13:20:00\r\n"
    L"  1    591     1946281    2014-04-17 13:04:15 1946399    2014-04-17 13:19:59\r\n"
    L"  2    38      1946400    2014-04-17 13:20:00 1946402    2014-04-17 13:20:01\r\n";

// Release 19 with its fuzzy and sparse columns, and an incremental set in the layout of 11g.
const wchar_t kDataFileSets[] =
    L"BS Key  Type LV Size       Device Type Elapsed Time Completion Time\n"
    L"------- ---- -- ---------- ----------- ------------ -------------------\n"
    L"8       Full    1.05G      DISK        00:00:15     2014-04-17 13:04:12\n"
    L"        BP Key: 8   Status: AVAILABLE  Compressed: YES Tag: ZT_BACKUP_TAG\n"
    L"        Piece Name: C:\\T\\ORCL-1234567890-20140417-0ep6ud9h_1_1.bcp\n"
    L"  List of Datafiles in backup set 8\n"
    L"  File LV Type Ckp SCN    Ckp Time            Abs Fuz SCN Sparse Name\n"
    L"  ---- -- ---- ---------- ------------------- ----------- ------ ----\n"
    L"  1       Full 1946262    2014-04-17 13:04:02              NO    C:\\ORADATA\\SYSTEM01.DBF\n"
    L"  4       Full 1946265    2014-04-17 13:04:05              NO    C:\\ORA DATA\\USERS01.DBF\n"
    L"\n"
    L"  List of Datafiles in backup set 11\n"
    L"  File LV Type Ckp SCN    Ckp Time            Name\n"
    L"  ---- -- ---- ---------- ------------------- ----\n"
    L"  7    0  Incr 3435417    2018-05-14 06:56:07 D:\\ORADATA\\ORCL\\USERS01.DBF\n";

TEST(BackupListing, ReadsEveryArchivedLogOfEverySetAndThreadThenEachThreadsRanges) {
    const auto row = [](unsigned long long thread, unsigned long long sequence,
                        unsigned long long lowScn, const wchar_t* lowTime,
                        unsigned long long nextScn, const wchar_t* nextTime) {
        return ThreadLogs{thread, sequence, sequence, lowScn, nextScn, lowTime, nextTime};
    };
    std::vector<ThreadLogs> rows;
    std::wstring error;
    ASSERT_TRUE(ParseListedLogs(kArchivedLogSets, rows, error)) << testing::PrintToString(error);
    EXPECT_EQ((std::vector<ThreadLogs>{
                  row(1, 589, 1945561, L"2014-04-17 12:51:43", 1946270, L"2014-04-17 13:04:14"),
                  row(1, 590, 1946270, L"2014-04-17 13:04:14", 1946281, L"2014-04-17 13:04:15"),
                  row(2, 37, 1945003, L"2014-04-17 12:40:00", 1946400, L"2014-04-17 13:20:00"),
                  row(1, 591, 1946281, L"2014-04-17 13:04:15", 1946399, L"2014-04-17 13:19:59"),
                  row(2, 38, 1946400, L"2014-04-17 13:20:00", 1946402, L"2014-04-17 13:20:01")}),
              rows);
    const std::vector<ThreadLogs> expected = {
        {1, 589, 591, 1945561, 1946399, L"2014-04-17 12:51:43", L"2014-04-17 13:19:59"},
        {2, 37, 38, 1945003, 1946402, L"2014-04-17 12:40:00", L"2014-04-17 13:20:01"}};
    EXPECT_EQ(expected, LogsByThread(rows));
}

TEST(BackupListing, ReadsTheDataFilesCheckpointsInTheLayoutsOfEveryRelease) {
    std::vector<ListedDataFile> files;
    std::wstring error;
    ASSERT_TRUE(ParseListedDataFiles(kDataFileSets, files, error)) << testing::PrintToString(error);
    std::wstring read;
    for (const ListedDataFile& file : files)
        read += std::to_wstring(file.file) + L" " + std::to_wstring(file.checkpointScn) + L" " +
                file.checkpointTime + L"\n";
    EXPECT_EQ(L"1 1946262 2014-04-17 13:04:02\n"
              L"4 1946265 2014-04-17 13:04:05\n"
              L"7 3435417 2018-05-14 06:56:07\n",
              read);
}

// No table, or tables that end where their rows end: nothing is made up. A row in another form
// (a date without its time, as the default NLS_DATE_FORMAT prints it, or a date in another
// format) is refused and named.
TEST(BackupListing, TakesNoRowThatIsNotThereAndRefusesOnesNotUnderstood) {
    std::vector<ThreadLogs> logs = {ThreadLogs()};
    std::wstring error;
    EXPECT_TRUE(ParseListedLogs(L"\nspecification does not match any backup in the repository\n",
                                logs, error));
    EXPECT_TRUE(logs.empty());
    const struct {
        const wchar_t* table;
        const wchar_t* refused;
    } cases[] = {
        {L"  Thrd Seq     Low SCN    Low Time  Next SCN   Next Time\n"
         L"  ---- ------- ---------- --------- ---------- ---------\n"
         L"  1    589     1945561    17-APR-14 1946270    17-APR-14\n",
         L"1    589     1945561    17-APR-14 1946270    17-APR-14"},
        {L"  Thrd Seq     Low SCN    Low Time           Next SCN   Next Time\n"
         L"  ---- ------- ---------- ------------------ ---------- ------------------\n"
         L"  1    589     1945561    17-APR-14 12:51:43 1946270    17-APR-14 13:04:14\n",
         L"1    589     1945561    17-APR-14 12:51:43 1946270    17-APR-14 13:04:14"},
        {L"  Thrd Seq     Low SCN    Low Time            Next SCN   Next Time\n"
         L"  ---- ------- ---------- ------------------- ---------- -------------------\n"
         L"  1    589     1945561    2014-04-17 12:51:43 x1946270   2014-04-17 13:04:14\n",
         L"1    589     1945561    2014-04-17 12:51:43 x1946270   2014-04-17 13:04:14"},
    };
    for (const auto& c : cases) {
        logs = {ThreadLogs()};
        EXPECT_FALSE(ParseListedLogs(c.table, logs, error));
        EXPECT_EQ(L"Recovery Manager listed a row that is not understood: '" +
                      std::wstring(c.refused) + L"'",
                  error);
        EXPECT_EQ(1u, logs.size()) << "left as it was";
    }
    std::vector<ListedDataFile> files;
    EXPECT_FALSE(ParseListedDataFiles(L"  File LV Type Ckp SCN    Ckp Time  Name\n"
                                      L"  ---- -- ---- ---------- --------- ----\n"
                                      L"  1       Full 1946262    17-APR-14 C:\\SYSTEM01.DBF\n",
                                      files, error));
}

// Offline, the copies are consistent at their checkpoint; online, at the end of the log archived
// after them, the earliest such end among the threads that wrote redo during the copy.
TEST(BackupListing, TheDatafileBackupEndsAtTheCheckpointOrAtTheEndOfTheRedoOfTheCopy) {
    const std::vector<ListedDataFile> files = {{1, 1946262, L""}, {4, 1946265, L""}};
    const auto thread = [](unsigned long long number, unsigned long long nextScn) {
        return ThreadLogs{number, 1, 2, 1000, nextScn, L"", L""};
    };
    const struct {
        std::vector<ThreadLogs> threads;
        unsigned long long end;
    } cases[] = {
        {{}, 1946265},
        {{thread(1, 1946265)}, 1946265},
        {{thread(1, 1946270)}, 1946270},
        {{thread(1, 1946290), thread(2, 1946281)}, 1946281},
        // Thread 3's instance was shut down before the backup: it wrote no redo of it.
        {{thread(1, 1946290), thread(3, 1900000)}, 1946290},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.end, DatafileBackupEnd(files, c.threads)) << c.threads.size();
    EXPECT_EQ(0u, DatafileBackupEnd({}, {thread(1, 1946270)}));
}

// LIST INCARNATION: every row with its key, status and reset SCN; a date in another format leaves
// the time empty, and a row that is not understood refuses the listing.
TEST(BackupListing, ReadsTheIncarnations) {
    const std::wstring listing = L"\r\nList of Database Incarnations\r\n"
                                 L"DB Key  Inc Key DB Name  DB ID            STATUS  Reset SCN  "
                                 L"Reset Time\r\n"
                                 L"------- ------- -------- ---------------- --- ---------- "
                                 L"----------\r\n"
                                 L"1       1       ORCL     1234567890       PARENT  1          "
                                 L"24-MAY-20\r\n"
                                 L"1       2       ORCL     1234567890       CURRENT 1946271    "
                                 L"2026-12-07 13:05:02\r\n"
                                 L"\r\nRMAN> ";
    std::vector<ListedIncarnation> incarnations;
    std::wstring error;
    ASSERT_TRUE(ParseListedIncarnations(listing, incarnations, error)) << error;
    ASSERT_EQ(2u, incarnations.size());
    EXPECT_EQ(1u, incarnations[0].key);
    EXPECT_EQ(L"PARENT", incarnations[0].status);
    EXPECT_EQ(1u, incarnations[0].resetScn);
    EXPECT_EQ(L"", incarnations[0].resetTime);
    EXPECT_EQ(2u, incarnations[1].key);
    EXPECT_EQ(L"CURRENT", incarnations[1].status);
    EXPECT_EQ(1946271u, incarnations[1].resetScn);
    EXPECT_EQ(L"2026-12-07 13:05:02", incarnations[1].resetTime);
    std::wstring broken = listing;
    broken.replace(broken.find(L"1946271"), 7, L"1946x71");
    EXPECT_FALSE(ParseListedIncarnations(broken, incarnations, error));
    EXPECT_NE(std::wstring::npos, error.find(L"1946x71"));
}

} // namespace
