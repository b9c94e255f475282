// The framing of a backup piece file written by the simulated Recovery Manager:
//   "SIMORA-PIECE-1\n", a 32-bit length and a sealed header record (database, tag, stamp);
//   per entry: "ENTR", 32-bit label length, label ("datafile:N", "controlfile", "spfile",
//   "archivelog:SEQ"), 64-bit data length, data, SHA-256 of label and data;
//   "DONE" and the 32-bit entry count.
// All numbers little-endian. Pieces are written and read entry by entry, so that their size is
// not bounded by memory, and reading checks every part: a truncated or altered piece is refused
// instead of restored.
#pragma once

#include "tools/simdb/FileIo.h"

#include <functional>
#include <string>
#include <utility>
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
    PieceEntry() = default;
    PieceEntry(std::string entryLabel, std::string entryData)
        : label(std::move(entryLabel)), data(std::move(entryData)) {}

    std::string label;
    std::string data;
    // When set, the entry is data followed by this file's content from sourceOffset on.
    std::wstring sourceFile;
    unsigned long long sourceOffset = 0;
};

// Writes the piece; the file appears under its name only when it is complete.
bool WritePiece(const std::wstring& path, const PieceHeader& header,
                const std::vector<PieceEntry>& entries);

class PieceReader {
public:
    explicit PieceReader(const std::wstring& path) : file_(path), size_(0), count_(0) {}
    // Checks the start of the file and reads the header.
    bool Open(PieceHeader& header, std::wstring& error);
    // The next entry's label and size; false at the end (AtEnd) or, with error, on damage.
    bool Next(std::string& label, unsigned long long& size, std::wstring& error);
    bool AtEnd() const { return ended_; }
    // The entry's data in chunks to sink (which may refuse with false), then its digest checked.
    bool Read(const std::function<bool(const char*, size_t)>& sink, std::wstring& error);
    // Passes over the entry's data without checking it.
    bool Skip(std::wstring& error);

private:
    InputFile file_;
    std::string label_;
    unsigned long long size_;
    unsigned count_;
    bool ended_ = false;
};

// The whole piece checked, and its entries in memory (for small pieces); entries may be null.
bool ReadPiece(const std::wstring& path, PieceHeader& header, std::vector<PieceEntry>* entries,
               std::wstring& error);
// Only the header, as a crosscheck reads it.
bool ReadPieceHeader(const std::wstring& path, PieceHeader& header, std::wstring& error);
// The header and the entries' labels; the framing is followed but the data not checked.
bool ScanPiece(const std::wstring& path, PieceHeader& header, std::vector<std::string>& labels,
               std::wstring& error);

} // namespace simoracle
