// The description file that every stream carries: written, read back, and refused when it says
// less than it must.
#include "rman/BackupDescription.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

BackupDescription FullStream() {
    return {BackupKind::Full,
            L"ORCL",
            L"1234567890",
            L"ZT_BACKUP_TAG",
            1946270,
            {{1, 589, 590, 1945561, 1946270, L"2014-04-17 12:51:43", L"2014-04-17 13:04:14"},
             {2, 37, 37, 1945003, 1946400, L"2014-04-17 12:40:00", L"2014-04-17 13:20:00"}}};
}

TEST(BackupDescription, IsOneKeyAndValueALineAndReadsBackAsWritten) {
    EXPECT_EQ("kind: full\n"
              "database: ORCL\n"
              "DBID: 1234567890\n"
              "tag: ZT_BACKUP_TAG\n"
              "datafile backup end SCN: 1946270\n"
              "thread 1: sequences 589-590, SCN 1945561-1946270, time 2014-04-17 12:51:43 - "
              "2014-04-17 13:04:14\n"
              "thread 2: sequences 37-37, SCN 1945003-1946400, time 2014-04-17 12:40:00 - "
              "2014-04-17 13:20:00\n",
              FormatBackupDescription(FullStream()));
    BackupDescription logs = FullStream();
    logs.kind = BackupKind::ArchivedLogs;
    logs.datafileBackupEnd = 0;
    logs.dbName = L"DB\u00c9";
    for (const BackupDescription& written : {FullStream(), logs}) {
        BackupDescription read;
        std::wstring error;
        ASSERT_TRUE(ParseBackupDescription(FormatBackupDescription(written), read, error))
            << testing::PrintToString(error);
        EXPECT_TRUE(written == read);
    }
    // CR LF line ends, and a key of a later version.
    BackupDescription read;
    std::wstring error;
    EXPECT_TRUE(ParseBackupDescription(
        "kind: archivelog\r\ndatabase: ORCL\r\nDBID: 1\r\nretention: 7 days\r\n", read, error));
    EXPECT_EQ(BackupKind::ArchivedLogs, read.kind);
}

TEST(BackupDescription, ADescriptionThatLacksOrGarblesAFactIsRefusedWithItsLine) {
    const std::string head = "kind: full\ndatabase: ORCL\nDBID: 1234567890\n";
    const struct {
        std::string text;
        const wchar_t* error;
    } cases[] = {
        {"kind: full\ndatabase: ORCL\n", L"it does not name the kind, database and DBID"},
        {"kind: incremental\ndatabase: ORCL\nDBID: 1\n", L"line 1 is malformed"},
        {head + "DBID: 1234567890\n", L"line 4 is malformed"},
        {head + "DBID 77\n", L"line 4 is malformed: 'DBID 77'"},
        {"kind: full\ndatabase: ORCL\nDBID: 12a\n", L"line 3 is malformed"},
        {head + "thread 1: sequences 5-4, SCN 1-2, time a - b\n", L"line 4 is malformed"},
        {head + "thread 1: sequences 4-5, SCN 2-1, time a - b\n", L"line 4 is malformed"},
        {head + "thread 1: sequences 4-5, SCN 1-2, time a\n", L"line 4 is malformed"},
        {head + "thread x: sequences 4-5, SCN 1-2, time a - b\n", L"line 4 is malformed"},
        {head + "thread 1: sequences 4-5, SCN 1-2, time a - b\n"
                "thread 1: sequences 6-7, SCN 2-3, time b - c\n",
         L"line 5 is malformed"},
        {head + "datafile backup end SCN: 12 34\n", L"line 4 is malformed"},
    };
    for (const auto& c : cases) {
        BackupDescription read = FullStream();
        std::wstring error;
        EXPECT_FALSE(ParseBackupDescription(c.text, read, error)) << c.text;
        EXPECT_EQ(0u, error.find(c.error)) << testing::PrintToString(error);
        EXPECT_TRUE(FullStream() == read) << "left as it was";
    }
}

TEST(BackupDescription, TheFileOfAFolderIsWrittenReadOrFoundMissing) {
    const testing_support::ScratchFolder folder;
    BackupDescription read;
    std::wstring error;
    EXPECT_EQ(DescriptionFound::No, ReadBackupDescription(folder.Path(), read, error));
    ASSERT_TRUE(WriteBackupDescription(folder.Path(), FullStream(), error));
    EXPECT_EQ(DescriptionFound::Yes, ReadBackupDescription(folder.Path(), read, error));
    EXPECT_TRUE(FullStream() == read);
    std::ofstream(std::filesystem::path(folder.Path()) / kBackupDescriptionName, std::ios::app)
        << "DBID: 3\n";
    EXPECT_EQ(DescriptionFound::Unreadable, ReadBackupDescription(folder.Path(), read, error));
    EXPECT_EQ(L"The backup description 'BACKUP-DESCRIPTION.txt' is malformed: line 8 is "
              L"malformed: 'DBID: 3'",
              error);
    EXPECT_FALSE(WriteBackupDescription(folder.Path() + L"/missing", FullStream(), error));
    EXPECT_NE(std::wstring::npos, error.find(L"Can't write the backup description '"));
}

} // namespace
