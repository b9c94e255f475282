// The damage checks of the simulated database's backup pieces, whose headers are sealed records
// as control and password files are. What they hold reads back in every rman.exe round trip.
#include "tests/support/ScratchFolder.h"
#include "tools/simdb/BackupPiece.h"

#include <gtest/gtest.h>

namespace {

using testing_support::WriteFileBytes;

TEST(SimDbPieceTest, EveryAlteredOrTruncatedPieceIsRefused) {
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
    // A restore catalogues the configuration files copied beside the pieces too.
    WriteFileBytes(damaged, "# tnsnames.ora\r\n");
    EXPECT_FALSE(simoracle::ReadPiece(damaged, header, nullptr, error));
}

} // namespace
