// The damage checks of the simulated database's backup pieces, whose headers are sealed records
// as control and password files are. What they hold reads back in every rman.exe round trip.
#include "tests/support/ScratchFolder.h"
#include "tools/simdb/BackupPiece.h"

#include <gtest/gtest.h>

namespace {

using testing_support::PathExists;
using testing_support::WriteFileBytes;

TEST(SimDbPieceTest, EveryAlteredTruncatedOrUnfinishedPieceIsRefused) {
    testing_support::ScratchFolder folder;
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
        WriteFileBytes(damaged, altered);
        EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error)) << "byte " << at;
    }
    for (size_t length = 0; length < bytes.size(); length += 7) {
        WriteFileBytes(damaged, bytes.substr(0, length));
        EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error)) << "length " << length;
    }
    WriteFileBytes(damaged, bytes + "x");
    EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error));
    WriteFileBytes(damaged, "# tnsnames.ora\r\n");
    EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error));
    EXPECT_EQ(L"not a backup piece", error);
    // Nothing is left behind by a piece whose source file is missing.
    simoracle::PieceEntry fromFile("datafile:2", "header|");
    fromFile.sourceFile = folder / L"missing";
    EXPECT_FALSE(simoracle::WritePiece(folder / L"broken", header, {fromFile}));
    EXPECT_FALSE(PathExists(folder / L"broken") || PathExists(folder / L"broken.new"));
}

} // namespace
