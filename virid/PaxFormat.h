// The pax archive format (POSIX.1-2001): 512-byte ustar headers, pax extended headers ('x')
// for names and sizes that ustar cannot hold, and the two zero blocks that end an archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace VIRid {
namespace pax {

constexpr size_t kBlockSize = 512;
// Archives are padded to a whole record of this size, as tar tools write them.
constexpr size_t kRecordSize = 20 * kBlockSize;
// Largest size that the ustar size field holds (11 octal digits).
constexpr uint64_t kMaxUstarSize = 077777777777ULL;

enum class EntryType { File, Folder };

// The bytes between the end of an entry's data and the next block boundary.
size_t PaddingAfter(uint64_t dataSize);

// Appends an entry's header blocks: a pax extended header first when the name is not plain
// ASCII of at most 100 bytes or the size does not fit ustar, then the ustar header. name is
// UTF-8 with "/" separators, without a trailing "/" (added for folders).
void AppendEntryHeader(std::string& out, const std::string& name, EntryType type, uint64_t size,
                       int64_t modified);

// The end of an archive: two zero blocks.
void AppendEndOfArchive(std::string& out);

// One ustar header as read from a stream.
struct Header {
    char typeFlag = 0;
    std::string name; // prefix and name joined with "/", as stored
    uint64_t size = 0;
};

enum class HeaderResult {
    Ok,
    ZeroBlock,   // all 512 bytes are zero: a part of the end of the archive
    BadChecksum, // the stored checksum does not match the block
    NotUstar,    // no ustar magic: not a header of a pax, ustar or GNU tar archive
    BadNumber,   // a numeric field (size, checksum) that cannot be read
};

// Reads one header block (kBlockSize bytes). Accepts the POSIX ("ustar\0" "00") and the GNU
// ("ustar  \0") magic, octal and base-256 sizes.
[[nodiscard]] HeaderResult ReadHeader(const unsigned char* block, Header& header);

// What a pax extended header says about the entry that follows (or, global, all entries).
struct Records {
    std::optional<std::string> path;
    std::optional<uint64_t> size;
    bool linkPath = false;  // a "linkpath" record
    bool gnuSparse = false; // "GNU.sparse.*" records: a sparse file that needs GNU tar
};

// Parses the body of an extended header ("<length> <key>=<value>\n" records). Unknown keys are
// ignored, as the format asks. False when a record is malformed.
[[nodiscard]] bool ReadRecords(const std::string& body, Records& records);

} // namespace pax
} // namespace VIRid
