// The simulated database's own formats: piece framing, sealed records, control file, fault
// patterns and piece names. (Pieces read back as written in every restore of the rman.exe tests.)
#include "tests/support/win/TestFolder.h"
#include "tools/simdb/BackupPiece.h"
#include "tools/simdb/ControlFile.h"
#include "tools/simdb/Faults.h"
#include "tools/simdb/Fields.h"
#include "tools/simdb/PieceNames.h"

#include <gtest/gtest.h>

namespace {

using testing_support::PathExists;
using testing_support::WriteFileBytes;

TEST(SimDbPieceTest, EveryAlteredTruncatedOrUnfinishedPieceIsRefused) {
    testing_support::TestFolder folder;
    const std::wstring piece = folder / L"piece";
    simoracle::PieceHeader header;
    header.dbName = L"ORCL";
    header.dbid = 1234567890;
    ASSERT_TRUE(simoracle::WritePiece(
        piece, header, {{"datafile:1", std::string(300, 'x')}, {"controlfile", "records"}}));
    const std::string bytes = testing_support::ReadFileBytes(piece);
    const std::wstring damaged = folder / L"damaged";
    std::wstring error;
    // One flipped bit anywhere: in the magic, the header, a length, a label, the data, a digest
    // or the trailer.
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::string altered = bytes;
        altered[at] ^= 0x10;
        ASSERT_TRUE(WriteFileBytes(damaged, altered));
        EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error)) << "byte " << at;
    }
    for (size_t length = 0; length < bytes.size(); length += 7) {
        ASSERT_TRUE(WriteFileBytes(damaged, bytes.substr(0, length)));
        EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error)) << "length " << length;
    }
    ASSERT_TRUE(WriteFileBytes(damaged, bytes + "x"));
    EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error));
    ASSERT_TRUE(WriteFileBytes(damaged, "# tnsnames.ora\r\n"));
    EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error));
    EXPECT_EQ(L"not a backup piece", error);
    // Nothing is left behind by a piece whose source file is missing.
    simoracle::PieceEntry fromFile("datafile:2", "header|");
    fromFile.sourceFile = folder / L"missing";
    EXPECT_FALSE(simoracle::WritePiece(folder / L"broken", header, {fromFile}));
    EXPECT_FALSE(PathExists(folder / L"broken") || PathExists(folder / L"broken.new"));
}

TEST(SimDbRecordTest, SealedRecordsNoticeAnyChangeAndControlFilesKeepAnyText) {
    simoracle::Fields fields;
    fields.Add("name", std::wstring(L"caf\u00e9"));
    fields.Add("count", 42ULL);
    fields.Add("name", std::string("second"));
    simoracle::Fields read;
    ASSERT_TRUE(simoracle::Fields::ParseSealed(fields.FormatSealed(), read));
    EXPECT_EQ(L"caf\u00e9", read.Wide("name"));
    EXPECT_EQ(42u, read.Number("count"));
    EXPECT_EQ(2u, read.All("name").size());
    std::string changed = fields.FormatSealed();
    changed[changed.find("42")] = '5';
    EXPECT_FALSE(simoracle::Fields::ParseSealed(changed, read));
    EXPECT_FALSE(simoracle::Fields::ParseSealed(fields.Format(), read));

    simoracle::ControlFile controlFile;
    controlFile.dbid = 987654321;
    controlFile.restoredFromBackup = true;
    simoracle::PieceRecord piece;
    piece.handle = L"C:\\T\\a|b%c=d\u00e9.bcp";
    piece.tag = L"T|A%G";
    piece.expired = true;
    piece.contents = {"datafile:1", "controlfile"};
    controlFile.pieces.push_back(piece);
    controlFile.configuration.push_back(L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;");
    simoracle::ControlFile copy;
    ASSERT_TRUE(simoracle::ControlFile::Parse(controlFile.Serialize(), copy));
    EXPECT_EQ(987654321u, copy.dbid);
    EXPECT_TRUE(copy.restoredFromBackup);
    ASSERT_EQ(1u, copy.pieces.size());
    EXPECT_EQ(piece.handle, copy.pieces[0].handle);
    EXPECT_EQ(piece.tag, copy.pieces[0].tag);
    EXPECT_TRUE(copy.pieces[0].expired && copy.pieces[0].HoldsKind("datafile:"));
    EXPECT_EQ(controlFile.configuration, copy.configuration);
    EXPECT_FALSE(simoracle::ControlFile::Parse("format=SIMORA-CONTROLFILE-1\n", copy));
}

TEST(SimDbFaultTest, CommandsAreMatchedNormalisedOrByPrefix) {
    EXPECT_EQ(L"startup mount", simoracle::NormaliseCommand(L"  STARTUP \t Mount ;\r\n"));
    const struct {
        const wchar_t* pattern;
        const wchar_t* command;
        bool matches;
    } cases[] = {{L"startup mount", L"startup mount", true},
                 {L"startup mount", L"startup mount force", false},
                 {L"Backup*", L"backup spfile", true},
                 {L"*", L"anything", true},
                 {L"backup*", L"crosscheck backup", false}};
    for (const auto& c : cases)
        EXPECT_EQ(c.matches, simoracle::PatternMatches(c.pattern, c.command)) << c.pattern;
    simoracle::FaultKind kind;
    EXPECT_TRUE(simoracle::ParseFaultKind(L"hang", kind) && kind == simoracle::FaultKind::Hang);
    EXPECT_FALSE(simoracle::ParseFaultKind(L"explode", kind));
}

TEST(SimDbPieceNameTest, SubstitutionVariablesExpandAsRecoveryManagerExpandsThem) {
    simoracle::PieceNameValues values;
    values.dbName = L"ORCL";
    values.dbid = 1234567890;
    values.setKey = 5;
    values.stamp = 1796562373;
    values.sequence = 12;
    values.date = L"20261206";
    const std::wstring name =
        simoracle::ExpandPieceName(L"C:\\T\\%h-%e-%d-%I-%T-%U.archlog", values);
    EXPECT_EQ(0u, name.find(L"C:\\T\\1-12-ORCL-1234567890-20261206-"));
    EXPECT_EQ(name.size() - 12, name.find(L"_1_1.archlog"));
    EXPECT_EQ(L"100%%x%", simoracle::ExpandPieceName(L"100%%%x%", values));
    // Different sets never share a unique name.
    simoracle::PieceNameValues other = values;
    other.setKey = 6;
    EXPECT_NE(simoracle::ExpandPieceName(L"%U", values), simoracle::ExpandPieceName(L"%U", other));
    EXPECT_EQ(simoracle::ExpandPieceName(L"%u_%p_%c", values),
              simoracle::ExpandPieceName(L"%U", values));
}

} // namespace
