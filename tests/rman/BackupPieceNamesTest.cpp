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

TEST(BackupPieceNames, NamesFollowTheTemplatesWhateverTheCaseAndValues) {
    struct Case {
        const wchar_t* name;
        const wchar_t* dbName;
        const wchar_t* dbid;
    };
    const Case cases[] = {
        {L"orcl-1-20260101-abcdefgh_12_1.BCP", L"orcl", L"1"},
        {L"A_$#1234-4294967295-20261231-ABCDEFGH_1_1.bcp", L"A_$#1234", L"4294967295"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        BackupPieces pieces;
        std::wstring error;
        ASSERT_TRUE(ReadBackupPieces(Files({test.name}), PieceNameTemplatesOf(OracleSettings()),
                                     pieces, error))
            << error;
        EXPECT_EQ(test.dbName, pieces.dbName);
        EXPECT_EQ(test.dbid, pieces.dbid);
    }
    // Other templates are read by the same variables; one without %I names no DBID.
    BackupPieces pieces;
    std::wstring error;
    ASSERT_TRUE(ReadBackupPieces(Files({L"full_PROD_0k1q2r3s_1_1.dbf"}),
                                 {L"full_%d_%U.dbf", L"", L"", L""}, pieces, error))
        << error;
    EXPECT_EQ(L"PROD", pieces.dbName);
    EXPECT_EQ(L"", pieces.dbid);
}

TEST(BackupPieceNames, FoldersThatNoRestoreCouldUseAreRefusedWithTheReason) {
    struct Case {
        std::vector<FolderFile> files;
        std::wstring error;
    };
    const Case cases[] = {
        {Files({kDb, L"evil.bcp"}),
         L"The backup holds a file that bears the extension of a backup piece but does not follow "
         L"its template '%d-%I-%T-%U.bcp': 'evil.bcp'"},
        {Files({L"ORCL-1234567890-20261306-0k1q2r3s_1_1.bcp"}), // no thirteenth month
         L"does not follow its template '%d-%I-%T-%U.bcp'"},
        {Files({L"TOOLONGNAME-1-20261206-0k1q2r3s_1_1.bcp"}), L"does not follow its template"},
        {Files({kDb, L"ORCL-1-20261206-short_1_1.controlfile"}),
         L"does not follow its template '%d-%I-%T-%U.controlfile'"},
        {Files({kDb, L"1-42-ORCL-999-20261206-0l1q2r3s_1_1.archlog"}),
         L"The backup holds pieces of more than one database: 'ORCL' (DBID 1234567890) in '" +
             std::wstring(kDb) +
             L"' and 'ORCL' (DBID 999) in '1-42-ORCL-999-20261206-0l1q2r3s_1_1"
             L".archlog'"},
        {Files({kDb, L"TEST-1234567890-20261206-0i1q2r3s_1_1.controlfile"}),
         L"more than one database"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.error.begin(), test.error.end()));
        BackupPieces pieces;
        std::wstring error;
        EXPECT_FALSE(
            ReadBackupPieces(test.files, PieceNameTemplatesOf(OracleSettings()), pieces, error));
        EXPECT_NE(std::wstring::npos, error.find(test.error)) << "the text was: " << error;
    }
}

} // namespace
