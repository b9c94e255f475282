// The simulated database's own formats: piece framing, sealed records, control file, fault
// patterns and piece names.
#include "tests/support/win/TestFolder.h"
#include "tools/simdb/BackupPiece.h"
#include "tools/simdb/ControlFile.h"
#include "tools/simdb/Faults.h"
#include "tools/simdb/Fields.h"
#include "tools/simdb/PieceNames.h"

#include <gtest/gtest.h>

namespace {

simoracle::PieceHeader SampleHeader() {
    simoracle::PieceHeader header;
    header.dbName = L"ORCL";
    header.dbid = 1234567890;
    header.tag = L"ZT_BACKUP_TAG";
    header.stamp = 1796562373;
    return header;
}

TEST(SimDbPieceTest, APieceReadsBackAsWritten) {
    testing_support::TestFolder folder;
    ASSERT_TRUE(testing_support::WriteFileBytes(folder / L"source", "HEADERdata of a file"));
    simoracle::PieceEntry fromFile;
    fromFile.label = "datafile:2";
    fromFile.data = "new header|";
    fromFile.sourceFile = folder / L"source";
    fromFile.sourceOffset = 6;
    const std::vector<simoracle::PieceEntry> entries = {
        {"datafile:1", std::string(3 << 20, 'a')},
        {"spfile", ""},
        fromFile,
        {"archivelog:7", std::string("redo\0x", 6)}};
    ASSERT_TRUE(simoracle::WritePiece(folder / L"piece", SampleHeader(), entries));
    simoracle::PieceHeader header;
    std::vector<simoracle::PieceEntry> read;
    std::wstring error;
    ASSERT_TRUE(simoracle::ReadPiece(folder / L"piece", header, &read, error));
    EXPECT_EQ(L"ORCL", header.dbName);
    EXPECT_EQ(1234567890u, header.dbid);
    EXPECT_EQ(L"ZT_BACKUP_TAG", header.tag);
    ASSERT_EQ(4u, read.size());
    EXPECT_EQ(entries[0].data, read[0].data);
    EXPECT_EQ("", read[1].data);
    EXPECT_EQ("new header|data of a file", read[2].data);
    EXPECT_EQ(entries[3].data, read[3].data);
    std::vector<std::string> labels;
    ASSERT_TRUE(simoracle::ScanPiece(folder / L"piece", header, labels, error));
    EXPECT_EQ(std::vector<std::string>({"datafile:1", "spfile", "datafile:2", "archivelog:7"}),
              labels);
    // Nothing is left behind by a piece whose source is missing.
    fromFile.sourceFile = folder / L"missing";
    EXPECT_FALSE(simoracle::WritePiece(folder / L"broken", SampleHeader(), {fromFile}));
    EXPECT_FALSE(testing_support::PathExists(folder / L"broken"));
    EXPECT_FALSE(testing_support::PathExists(folder / L"broken.new"));
}

TEST(SimDbPieceTest, EveryAlteredOrTruncatedPieceIsRefused) {
    testing_support::TestFolder folder;
    const std::wstring piece = folder / L"piece";
    ASSERT_TRUE(
        simoracle::WritePiece(piece, SampleHeader(),
                              {{"datafile:1", std::string(300, 'x')}, {"controlfile", "records"}}));
    const std::string bytes = testing_support::ReadFileBytes(piece);
    const std::wstring damaged = folder / L"damaged";
    simoracle::PieceHeader header;
    std::wstring error;
    // One flipped bit anywhere: in the magic, the header, a length, a label, the data, a digest
    // or the trailer.
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::string altered = bytes;
        altered[at] ^= 0x10;
        ASSERT_TRUE(testing_support::WriteFileBytes(damaged, altered));
        EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error)) << "byte " << at;
    }
    for (size_t length = 0; length < bytes.size(); length += 7) {
        ASSERT_TRUE(testing_support::WriteFileBytes(damaged, bytes.substr(0, length)));
        EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error)) << "length " << length;
    }
    ASSERT_TRUE(testing_support::WriteFileBytes(damaged, bytes + "x"));
    EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error));
    ASSERT_TRUE(testing_support::WriteFileBytes(damaged, "# tnsnames.ora\r\n"));
    EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error));
    EXPECT_EQ(L"not a backup piece", error);
}

TEST(SimDbFieldsTest, ASealedRecordNoticesAnyChange) {
    simoracle::Fields fields;
    fields.Add("name", std::wstring(L"caf\u00e9"));
    fields.Add("count", 42ULL);
    fields.Add("name", std::string("second"));
    const std::string text = fields.FormatSealed();
    simoracle::Fields read;
    ASSERT_TRUE(simoracle::Fields::ParseSealed(text, read));
    EXPECT_EQ(L"caf\u00e9", read.Wide("name"));
    EXPECT_EQ(42u, read.Number("count"));
    EXPECT_EQ(2u, read.All("name").size());
    EXPECT_FALSE(read.Has("missing"));
    std::string changed = text;
    changed[changed.find("42")] = '5';
    EXPECT_FALSE(simoracle::Fields::ParseSealed(changed, read));
    EXPECT_FALSE(simoracle::Fields::ParseSealed(fields.Format(), read));
}

TEST(SimDbControlFileTest, RecordsSurviveTheRoundTripWhateverTheirText) {
    simoracle::ControlFile controlFile;
    controlFile.dbName = L"ORCL";
    controlFile.dbid = 987654321;
    controlFile.archiveLogMode = false;
    controlFile.currentSequence = 9;
    controlFile.restoredFromBackup = true;
    simoracle::PieceRecord piece;
    piece.key = 3;
    piece.handle = L"C:\\T\\a|b%c.bcp";
    piece.tag = L"T|A%G";
    piece.expired = true;
    piece.contents = {"datafile:1", "controlfile"};
    controlFile.pieces.push_back(piece);
    controlFile.configuration.push_back(L"CONFIGURE DEFAULT DEVICE TYPE TO DISK;");
    simoracle::ControlFile read;
    ASSERT_TRUE(simoracle::ControlFile::Parse(controlFile.Serialize(), read));
    EXPECT_EQ(L"ORCL", read.dbName);
    EXPECT_EQ(987654321u, read.dbid);
    EXPECT_FALSE(read.archiveLogMode);
    EXPECT_EQ(9u, read.currentSequence);
    EXPECT_TRUE(read.restoredFromBackup);
    ASSERT_EQ(1u, read.pieces.size());
    EXPECT_EQ(piece.handle, read.pieces[0].handle);
    EXPECT_EQ(piece.tag, read.pieces[0].tag);
    EXPECT_TRUE(read.pieces[0].expired);
    EXPECT_TRUE(read.pieces[0].Holds("controlfile"));
    EXPECT_TRUE(read.pieces[0].HoldsKind("datafile:"));
    EXPECT_FALSE(read.pieces[0].HoldsKind("archivelog:"));
    EXPECT_EQ(controlFile.configuration, read.configuration);
    EXPECT_FALSE(simoracle::ControlFile::Parse("format=SIMORA-CONTROLFILE-1\n", read));
}

TEST(SimDbFaultTest, CommandsAreMatchedNormalisedOrByPrefix) {
    EXPECT_EQ(L"startup mount", simoracle::NormaliseCommand(L"  STARTUP \t Mount ;\r\n"));
    EXPECT_EQ(L"delete noprompt backup tag 'zt'",
              simoracle::NormaliseCommand(L"delete noprompt backup tag 'ZT';\n"));
    EXPECT_TRUE(simoracle::PatternMatches(L"startup mount", L"startup mount"));
    EXPECT_FALSE(simoracle::PatternMatches(L"startup mount", L"startup mount force"));
    EXPECT_TRUE(simoracle::PatternMatches(L"Backup*", L"backup spfile"));
    EXPECT_TRUE(simoracle::PatternMatches(L"*", L"anything"));
    EXPECT_FALSE(simoracle::PatternMatches(L"backup*", L"crosscheck backup"));
    simoracle::FaultKind kind;
    EXPECT_TRUE(simoracle::ParseFaultKind(L"hang", kind));
    EXPECT_EQ(simoracle::FaultKind::Hang, kind);
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
