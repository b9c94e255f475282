#include "rman/BackupPieceNames.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kDb[] = L"ORCL-1234567890-20261206-0k1q2r3s_1_1.bcp";
const wchar_t kDb2[] = L"ORCL-1234567890-20261207-0m1q2r3s_2_1.bcp";
const wchar_t kSp[] = L"ORCL-1234567890-20261206-0j1q2r3s_1_1.spfile";
const wchar_t kCtl[] = L"ORCL-1234567890-20261206-0i1q2r3s_1_1.controlfile";
const wchar_t kArch[] = L"1-42-ORCL-1234567890-20261206-0l1q2r3s_1_1.archlog";

std::vector<FolderFile> Files(std::initializer_list<const wchar_t*> names) {
    std::vector<FolderFile> files;
    for (const wchar_t* name : names)
        files.push_back({name, 0, 0});
    return files;
}

std::vector<std::wstring> Names(const std::vector<FolderFile>& files) {
    std::vector<std::wstring> names;
    for (const FolderFile& file : files)
        names.push_back(file.name);
    return names;
}

TEST(BackupPieceNames, AWholeFolderIsSortedByTemplateAndNamesItsDatabase) {
    BackupPieces pieces;
    std::wstring error;
    ASSERT_TRUE(ReadBackupPieces(
        Files({L"tnsnames.ora", kDb2, kArch, kCtl, L"PWDORCL.ora", kSp, L"SHA256SUMS", kDb}),
        PieceNameTemplatesOf(OracleSettings()), pieces, error))
        << error;
    EXPECT_EQ((std::vector<std::wstring>{kDb, kDb2}), Names(pieces.database));
    EXPECT_EQ((std::vector<std::wstring>{kSp}), Names(pieces.spFile));
    EXPECT_EQ((std::vector<std::wstring>{kCtl}), Names(pieces.controlFile));
    EXPECT_EQ((std::vector<std::wstring>{kArch}), Names(pieces.archiveLog));
    EXPECT_EQ((std::vector<std::wstring>{L"PWDORCL.ora", L"SHA256SUMS", L"tnsnames.ora"}),
              Names(pieces.other));
    EXPECT_EQ(L"ORCL", pieces.dbName);
    EXPECT_EQ(L"1234567890", pieces.dbid);
    EXPECT_EQ(L"20261206", pieces.date); // a backup that ran past midnight is dated by its start
}

// A folder is read by the templates, whatever the case of the names and their values, or refused
// with the reason, when no restore could use it.
TEST(BackupPieceNames, FoldersAreReadByTheTemplatesOrRefusedWithTheReason) {
    const PieceNameTemplates defaults = PieceNameTemplatesOf(OracleSettings());
    struct Case {
        std::vector<FolderFile> files;
        std::wstring dbName, dbid; // of a folder that is read
        std::wstring error;        // of one that is refused: part of the reason
        PieceNameTemplates templates;
    };
    const Case cases[] = {
        {Files({L"orcl-1-20260101-abcdefgh_12_1.BCP"}), L"orcl", L"1", L"", defaults},
        {Files({L"A_$#1234-4294967295-20261231-ABCDEFGH_1_1.bcp"}), L"A_$#1234", L"4294967295", L"",
         defaults},
        // Other templates are read by the same variables; one without %I names no DBID.
        {Files({L"full_PROD_0k1q2r3s_1_1.dbf"}),
         L"PROD",
         L"",
         L"",
         {L"full_%d_%U.dbf", L"", L"", L""}},
        {Files({kDb, L"evil.bcp"}), L"", L"",
         L"The backup holds a file that bears the extension of a backup piece but does not follow "
         L"its template '%d-%I-%T-%U.bcp': 'evil.bcp'",
         defaults},
        {Files({L"ORCL-1234567890-20261306-0k1q2r3s_1_1.bcp"}), L"", L"", // no thirteenth month
         L"does not follow its template '%d-%I-%T-%U.bcp'", defaults},
        {Files({L"TOOLONGNAME-1-20261206-0k1q2r3s_1_1.bcp"}), L"", L"",
         L"does not follow its template", defaults},
        {Files({kDb, L"ORCL-1-20261206-short_1_1.controlfile"}), L"", L"",
         L"does not follow its template '%d-%I-%T-%U.controlfile'", defaults},
        {Files({kDb, L"1-42-ORCL-999-20261206-0l1q2r3s_1_1.archlog"}), L"", L"",
         L"The backup holds pieces of more than one database: 'ORCL' (DBID 1234567890) in '" +
             std::wstring(kDb) +
             L"' and 'ORCL' (DBID 999) in '1-42-ORCL-999-20261206-0l1q2r3s_1_1"
             L".archlog'",
         defaults},
        {Files({kDb, L"TEST-1234567890-20261206-0i1q2r3s_1_1.controlfile"}), L"", L"",
         L"more than one database", defaults},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.files.back().name.begin(), test.files.back().name.end()));
        BackupPieces pieces;
        std::wstring error;
        EXPECT_EQ(test.error.empty(), ReadBackupPieces(test.files, test.templates, pieces, error));
        if (test.error.empty()) {
            EXPECT_EQ(test.dbName, pieces.dbName) << error;
            EXPECT_EQ(test.dbid, pieces.dbid);
        } else {
            EXPECT_NE(std::wstring::npos, error.find(test.error)) << "the text was: " << error;
        }
    }
}

// An archived-log backup needs a log piece, and its logs name the database; a database piece is
// not required of it, nor is a log piece of a full backup.
TEST(BackupPieceNames, EachKindOfBackupNeedsItsOwnPieces) {
    const PieceNameTemplates defaults = PieceNameTemplatesOf(OracleSettings());
    const wchar_t kArch2[] = L"1-40-ORCL-1234567890-20261205-0h1q2r3s_1_1.archlog";
    const struct {
        std::vector<FolderFile> files;
        BackupKind kind;
        const wchar_t* error; // nullptr: read
    } cases[] = {
        {Files({kArch, L"BACKUP-DESCRIPTION.txt", kArch2}), BackupKind::ArchivedLogs, nullptr},
        {Files({kDb}), BackupKind::Full, nullptr},
        {Files({kDb}), BackupKind::ArchivedLogs,
         L"The backup holds no archived-log piece, no file named like "
         L"'%h-%e-%d-%I-%T-%U.archlog'"},
        {Files({kArch, L"PWDORCL.ora"}), BackupKind::Full,
         L"The backup holds no database piece, no file named like '%d-%I-%T-%U.bcp'"},
    };
    for (const auto& c : cases) {
        BackupPieces pieces;
        std::wstring error;
        EXPECT_EQ(c.error == nullptr, ReadBackupPieces(c.files, defaults, pieces, error, c.kind));
        EXPECT_EQ(c.error ? c.error : L"", error);
    }
    BackupPieces pieces;
    std::wstring error;
    ASSERT_TRUE(ReadBackupPieces(Files({kArch, kArch2}), defaults, pieces, error,
                                 BackupKind::ArchivedLogs));
    EXPECT_EQ(L"ORCL", pieces.dbName);
    EXPECT_EQ(L"1234567890", pieces.dbid);
    EXPECT_EQ(L"20261205", pieces.date);
}

} // namespace
