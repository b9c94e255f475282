// The framing of a backup piece file written by the simulated Recovery Manager:
//   "SIMORA-PIECE-1\n", a 32-bit length and a sealed header record (database, tag, stamp);
//   per entry: "ENTR", 32-bit label length, label ("datafile:N", "controlfile", "spfile",
//   "archivelog:SEQ"), 64-bit data length, data, SHA-256 of label and data;
//   "DONE" and the 32-bit entry count.
// All numbers little-endian. Reading checks every part, so that a truncated or altered piece is
// refused instead of restored.
#pragma once

#include <string>
#include <vector>

namespace simoracle {

struct PieceHeader {
    std::wstring dbName;
    unsigned long long dbid = 0;
    unsigned resetlogsId = 1;
    std::wstring tag;
    unsigned long long stamp = 0;
    bool compressed = false;
};

struct PieceEntry {
    std::string label;
    std::string data;
};

bool WritePiece(const std::wstring& path, const PieceHeader& header,
                const std::vector<PieceEntry>& entries);
// error receives why the file is no valid piece.
bool ReadPiece(const std::wstring& path, PieceHeader& header, std::vector<PieceEntry>* entries,
               std::wstring& error);

// Reads and checks only the header at the start of the file, as a crosscheck does.
bool ReadPieceHeader(const std::wstring& path, PieceHeader& header, std::wstring& error);

std::string FormatPiece(const PieceHeader& header, const std::vector<PieceEntry>& entries);
bool ParsePiece(const std::string& bytes, PieceHeader& header, std::vector<PieceEntry>* entries,
                std::wstring& error);

} // namespace simoracle
