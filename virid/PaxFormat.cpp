#include "virid/PaxFormat.h"

#include "virid/Strings.h"

#include <cstring>

namespace VIRid {
namespace pax {

namespace {

// Field offsets and widths of the ustar header.
constexpr size_t kName = 0, kNameSize = 100;
constexpr size_t kMode = 100, kUid = 108, kGid = 116, kIdSize = 8;
constexpr size_t kSize = 124, kSizeSize = 12;
constexpr size_t kModified = 136, kModifiedSize = 12;
constexpr size_t kChecksum = 148, kChecksumSize = 8;
constexpr size_t kTypeFlag = 156;
constexpr size_t kMagic = 257, kVersion = 263;
constexpr size_t kPrefix = 345, kPrefixSize = 155;

constexpr int64_t kMaxUstarTime = 077777777777LL;

void PutOctal(unsigned char* field, size_t width, uint64_t value) {
    // width - 1 digits, then the terminating NUL.
    field[width - 1] = '\0';
    for (size_t i = width - 1; i-- > 0;) {
        field[i] = static_cast<unsigned char>('0' + (value & 7));
        value >>= 3;
    }
}

void PutText(unsigned char* field, size_t width, const std::string& text) {
    // Tar fields are fixed-width, zero-filled beforehand; a full field has no terminator.
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    std::memcpy(field, text.data(), text.size() < width ? text.size() : width);
}

bool IsPlainAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c >= 0x7F)
            return false;
    }
    return true;
}

// The name that tools without pax support see: printable ASCII, cut to the field, never ending
// in the middle of what was one character.
std::string UstarFallbackName(const std::string& name, size_t room) {
    std::string fallback;
    for (size_t i = 0; i < name.size() && fallback.size() < room; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (strings::IsUtf8Continuation(c))
            continue; // its character is already replaced
        fallback += (c < 0x20 || c >= 0x7F) ? '_' : static_cast<char>(c);
    }
    return fallback;
}

void AppendRecord(std::string& body, const std::string& key, const std::string& value) {
    // The length counts its own digits: grow it until it is stable.
    const size_t rest = 1 + key.size() + 1 + value.size() + 1;
    size_t length = rest + 1;
    while (std::to_string(length).size() + rest != length)
        length = std::to_string(length).size() + rest;
    body += std::to_string(length);
    body += ' ';
    body += key;
    body += '=';
    body += value;
    body += '\n';
}

void AppendBlock(std::string& out, const std::string& name, char typeFlag, uint64_t size,
                 int64_t modified, unsigned mode) {
    unsigned char block[kBlockSize] = {};
    PutText(block + kName, kNameSize, name);
    PutOctal(block + kMode, kIdSize, mode);
    PutOctal(block + kUid, kIdSize, 0);
    PutOctal(block + kGid, kIdSize, 0);
    PutOctal(block + kSize, kSizeSize, size);
    PutOctal(block + kModified, kModifiedSize,
             static_cast<uint64_t>(modified < 0               ? 0
                                   : modified > kMaxUstarTime ? kMaxUstarTime
                                                              : modified));
    block[kTypeFlag] = static_cast<unsigned char>(typeFlag);
    // The magic field holds "ustar" and its terminator; the version, two digits without one.
    std::memcpy(block + kMagic, "ustar", 6);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    std::memcpy(block + kVersion, "00", 2);
    std::memset(block + kChecksum, ' ', kChecksumSize);
    unsigned sum = 0;
    for (unsigned char c : block)
        sum += c;
    PutOctal(block + kChecksum, kChecksumSize - 1, sum); // six digits, NUL, then a blank
    out.append(reinterpret_cast<const char*>(block), kBlockSize);
}

// Reads an octal number: leading blanks, digits, then NUL, blank or the end of the field. A
// first byte with the high bit set marks GNU's base-256 form (positive values only).
bool ReadNumber(const unsigned char* field, size_t width, uint64_t& value) {
    value = 0;
    if (field[0] & 0x80) {
        if (field[0] != 0x80)
            return false; // negative, or a form we do not know
        for (size_t i = 1; i < width; ++i) {
            if (value >> 55)
                return false;
            value = (value << 8) | field[i];
        }
        return true;
    }
    size_t i = 0;
    while (i < width && field[i] == ' ')
        ++i;
    const size_t first = i;
    while (i < width && field[i] >= '0' && field[i] <= '7') {
        if (value >> 60)
            return false;
        value = (value << 3) | static_cast<uint64_t>(field[i] - '0');
        ++i;
    }
    if (i == first)
        return false;
    return i == width || field[i] == '\0' || field[i] == ' ';
}

std::string ReadText(const unsigned char* field, size_t width) {
    const void* end = std::memchr(field, '\0', width);
    const size_t length =
        end ? static_cast<size_t>(static_cast<const unsigned char*>(end) - field) : width;
    return std::string(reinterpret_cast<const char*>(field), length);
}

bool ReadDecimal(const std::string& text, uint64_t& value) {
    value = 0;
    if (text.empty() || text.size() > 19)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

} // namespace

size_t PaddingAfter(uint64_t dataSize) {
    return static_cast<size_t>((kBlockSize - dataSize % kBlockSize) % kBlockSize);
}

void AppendEntryHeader(std::string& out, const std::string& name, EntryType type, uint64_t size,
                       int64_t modified) {
    const bool folder = type == EntryType::Folder;
    const std::string stored = folder ? name + "/" : name;
    std::string records;
    if (!IsPlainAscii(stored) || stored.size() > kNameSize)
        AppendRecord(records, "path", stored);
    if (size > kMaxUstarSize)
        AppendRecord(records, "size", std::to_string(size));
    if (!records.empty()) {
        const size_t slash = name.rfind('/');
        const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
        AppendBlock(out, UstarFallbackName("PaxHeaders/" + base, kNameSize), 'x', records.size(),
                    modified, 0644);
        out += records;
        out.append(PaddingAfter(records.size()), '\0');
    }
    const std::string fallback =
        records.empty()
            ? stored
            : UstarFallbackName(name, kNameSize - (folder ? 1 : 0)) + (folder ? "/" : "");
    AppendBlock(out, fallback, folder ? '5' : '0', folder ? 0 : (size > kMaxUstarSize ? 0 : size),
                modified, folder ? 0755 : 0644);
}

void AppendEndOfArchive(std::string& out) {
    out.append(2 * kBlockSize, '\0');
}

HeaderResult ReadHeader(const unsigned char* block, Header& header) {
    bool zero = true;
    for (size_t i = 0; i < kBlockSize && zero; ++i)
        zero = block[i] == 0;
    if (zero)
        return HeaderResult::ZeroBlock;

    const bool posix = std::memcmp(block + kMagic,
                                   "ustar\0"
                                   "00",
                                   8) == 0;
    const bool gnu = std::memcmp(block + kMagic, "ustar  \0", 8) == 0;
    if (!posix && !gnu)
        return HeaderResult::NotUstar;

    uint64_t stored = 0;
    if (!ReadNumber(block + kChecksum, kChecksumSize, stored))
        return HeaderResult::BadNumber;
    // Tools disagree on whether the bytes are summed signed or unsigned; both are valid.
    uint64_t unsignedSum = 0;
    int64_t signedSum = 0;
    for (size_t i = 0; i < kBlockSize; ++i) {
        const bool inChecksum = i >= kChecksum && i < kChecksum + kChecksumSize;
        const unsigned char c = inChecksum ? ' ' : block[i];
        unsignedSum += c;
        signedSum += static_cast<signed char>(c);
    }
    if (stored != unsignedSum && static_cast<int64_t>(stored) != signedSum)
        return HeaderResult::BadChecksum;

    if (!ReadNumber(block + kSize, kSizeSize, header.size))
        return HeaderResult::BadNumber;
    header.typeFlag = static_cast<char>(block[kTypeFlag]);
    header.name = ReadText(block + kName, kNameSize);
    // GNU's own format keeps other fields where POSIX has the prefix.
    if (posix) {
        const std::string prefix = ReadText(block + kPrefix, kPrefixSize);
        if (!prefix.empty())
            header.name = prefix + "/" + header.name;
    }
    return HeaderResult::Ok;
}

bool ReadRecords(const std::string& body, Records& records) {
    size_t position = 0;
    while (position < body.size()) {
        const size_t blank = body.find(' ', position);
        if (blank == std::string::npos || blank - position > 19)
            return false;
        uint64_t length = 0;
        if (!ReadDecimal(body.substr(position, blank - position), length))
            return false;
        if (length > body.size() - position || position + length <= blank + 1)
            return false;
        const size_t end = position + static_cast<size_t>(length); // one past the newline
        if (body[end - 1] != '\n')
            return false;
        const size_t equals = body.find('=', blank + 1);
        if (equals == std::string::npos || equals >= end - 1 || equals == blank + 1)
            return false;
        const std::string key = body.substr(blank + 1, equals - blank - 1);
        const std::string value = body.substr(equals + 1, end - 1 - equals - 1);
        // An empty value cancels the key, as for a global header's key.
        if (key == "path") {
            records.path = value.empty() ? std::nullopt : std::optional<std::string>(value);
        } else if (key == "size") {
            uint64_t size = 0;
            if (value.empty())
                records.size.reset();
            else if (ReadDecimal(value, size) && size <= (UINT64_MAX >> 1))
                records.size = size;
            else
                return false;
        } else if (key == "linkpath") {
            records.linkPath = !value.empty();
        } else if (key.compare(0, 11, "GNU.sparse.") == 0) {
            records.gnuSparse = true;
        }
        position = end;
    }
    return true;
}

} // namespace pax
} // namespace VIRid
