// The framing of a backup piece file written by the simulated Recovery Manager:
//   "SIMORA-PIECE-1\n", a 32-bit length and a sealed header record (database, tag, stamp);
//   per entry: "ENTR", 32-bit label length, label ("datafile:N", "controlfile", "spfile",
//   "archivelog:SEQ"), 64-bit data length, data, SHA-256 of label and data;
//   "DONE" and the 32-bit entry count.
// All numbers little-endian. Pieces are written and read entry by entry, so that their size is
// not bounded by memory, and reading checks every part: a truncated or altered piece is refused
// instead of restored.
// A backup set larger than its channel's maxpiecesize is cut into pieces: each file then starts
// with a part header ("SIMORA-PART-01\n", its piece number, the piece count, the set's stamp and
// the file names of all its pieces, which lie in one folder) followed by its slice of the set's
// bytes. The first piece's name stands for the whole set.
#pragma once

#include "tools/simdb/FileIo.h"

#include <functional>
#include <memory>
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

// How a backup set is written.
struct PieceWriting {
    unsigned long long maxPieceBytes = 0;   // 0: one piece whatever the set's size
    double rateMbps = 0;                    // megabytes (10^6 bytes) a second; 0: as fast as it can
    std::function<void(unsigned)> started;  // piece number, before its file is created
    std::function<void(unsigned)> finished; // piece number, once its file is complete and closed
};

// The number of pieces the set takes, at most maxPieceBytes each (0: one).
unsigned PieceCount(const PieceHeader& header, const std::vector<PieceEntry>& entries,
                    unsigned long long maxPieceBytes);
// Writes the set into paths, one per piece (PieceCount of them). Each file is created under its
// own name and grows while it is written, held open for writing (others may read it, but not
// open it for writing or alone) until it is complete, as Recovery Manager writes. A piece that
// cannot be written is removed; the pieces finished before it stay.
bool WritePieces(const std::vector<std::wstring>& paths, const PieceHeader& header,
                 const std::vector<PieceEntry>& entries, const PieceWriting& writing);
// One piece as fast as it can.
bool WritePiece(const std::wstring& path, const PieceHeader& header,
                const std::vector<PieceEntry>& entries);
// The files of the set whose first piece is path: path alone for a set of one piece.
std::vector<std::wstring> PieceFiles(const std::wstring& path);
// path is a piece after the first of a set of several: its name is not the set's.
bool IsLaterPiece(const std::wstring& path);

// The bytes of a backup set, read across its pieces.
class SetInput {
public:
    explicit SetInput(const std::wstring& path) : first_(path) {}
    // Opens the first piece; a part header there names the others.
    bool Open();
    // Exactly size bytes into bytes; false at a short read.
    bool Read(size_t size, std::string& bytes);
    // Up to size bytes; got 0 at the end of the last piece.
    bool ReadSome(char* buffer, size_t size, size_t& got);
    bool Skip(unsigned long long size);

private:
    bool OpenPart(size_t index);
    // Opens the next pieces while the open one has no bytes left; false when one cannot be read.
    bool SkipSpentParts();

    std::wstring first_;
    std::vector<std::wstring> parts_; // every piece's path, first_ first; empty: first_ alone
    unsigned long long stamp_ = 0;
    size_t part_ = 0;
    std::unique_ptr<InputFile> file_;
    unsigned long long left_ = 0; // bytes of the set left in the open file
};

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
    SetInput file_;
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
