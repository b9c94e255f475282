#include "tools/simdb/BackupPiece.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/FileIo.h"
#include "tools/simdb/Sha256.h"
#include "virid/Win32Handles.h"

namespace simoracle {

namespace {

const char kMagic[] = "SIMORA-PIECE-1\n";
const size_t kMagicSize = sizeof kMagic - 1;

void PutNumber(std::string& out, unsigned long long value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes_(bytes), position_(0) {}
    bool Take(size_t count, std::string& out) {
        if (bytes_.size() - position_ < count)
            return false;
        out.assign(bytes_, position_, count);
        position_ += count;
        return true;
    }
    bool Number(int size, unsigned long long& value) {
        std::string raw;
        if (!Take(static_cast<size_t>(size), raw))
            return false;
        value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(raw[static_cast<size_t>(i)]);
        return true;
    }
    bool AtEnd() const { return position_ == bytes_.size(); }

private:
    const std::string& bytes_;
    size_t position_;
};

// The magic text and the header; false with error when either is not right.
bool ParseHeader(Reader& reader, PieceHeader& header, std::wstring& error) {
    std::string part;
    unsigned long long size = 0;
    Fields fields;
    if (!reader.Take(kMagicSize, part) || part != kMagic) {
        error = L"not a backup piece";
        return false;
    }
    if (!reader.Number(4, size) || !reader.Take(static_cast<size_t>(size), part) ||
        !Fields::ParseSealed(part, fields)) {
        error = L"corrupt backup piece header";
        return false;
    }
    header.dbName = fields.Wide("db_name");
    header.dbid = fields.Number("dbid");
    header.resetlogsId = static_cast<unsigned>(fields.Number("resetlogs_id"));
    header.tag = fields.Wide("tag");
    header.stamp = fields.Number("stamp");
    header.compressed = fields.Number("compressed") != 0;
    return true;
}

} // namespace

std::string FormatPiece(const PieceHeader& header, const std::vector<PieceEntry>& entries) {
    Fields fields;
    fields.Add("db_name", header.dbName);
    fields.Add("dbid", header.dbid);
    fields.Add("resetlogs_id", header.resetlogsId);
    fields.Add("tag", header.tag);
    fields.Add("stamp", header.stamp);
    fields.Add("compressed", header.compressed ? 1ULL : 0ULL);
    const std::string headerText = fields.FormatSealed();
    std::string bytes(kMagic, kMagicSize);
    PutNumber(bytes, headerText.size(), 4);
    bytes += headerText;
    for (const PieceEntry& entry : entries) {
        bytes += "ENTR";
        PutNumber(bytes, entry.label.size(), 4);
        bytes += entry.label;
        PutNumber(bytes, entry.data.size(), 8);
        bytes += entry.data;
        Sha256 hash;
        hash.Update(entry.label);
        hash.Update(entry.data);
        bytes += hash.Finish();
    }
    bytes += "DONE";
    PutNumber(bytes, entries.size(), 4);
    return bytes;
}

bool ParsePiece(const std::string& bytes, PieceHeader& header, std::vector<PieceEntry>* entries,
                std::wstring& error) {
    Reader reader(bytes);
    std::string part;
    unsigned long long size = 0;
    if (!ParseHeader(reader, header, error))
        return false;
    if (entries != nullptr)
        entries->clear();
    unsigned long long count = 0;
    for (;;) {
        if (!reader.Take(4, part)) {
            error = L"backup piece is truncated";
            return false;
        }
        if (part == "DONE")
            break;
        PieceEntry entry;
        std::string digest;
        if (part != "ENTR" || !reader.Number(4, size) ||
            !reader.Take(static_cast<size_t>(size), entry.label) || !reader.Number(8, size) ||
            !reader.Take(static_cast<size_t>(size), entry.data) || !reader.Take(32, digest)) {
            error = L"backup piece is truncated";
            return false;
        }
        Sha256 hash;
        hash.Update(entry.label);
        hash.Update(entry.data);
        if (hash.Finish() != digest) {
            error = L"checksum mismatch in backup piece";
            return false;
        }
        ++count;
        if (entries != nullptr)
            entries->push_back(std::move(entry));
    }
    unsigned long long recorded = 0;
    if (!reader.Number(4, recorded) || recorded != count || !reader.AtEnd()) {
        error = L"backup piece is truncated";
        return false;
    }
    return true;
}

bool ReadPieceHeader(const std::wstring& path, PieceHeader& header, std::wstring& error) {
    // The header is small: the first 64 KiB hold it.
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = L"cannot read file";
        return false;
    }
    VIRid::UniqueHandle owner(file);
    bytes.resize(65536);
    DWORD got = 0;
    if (!ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr)) {
        error = L"cannot read file";
        return false;
    }
    bytes.resize(got);
    Reader reader(bytes);
    return ParseHeader(reader, header, error);
}

bool WritePiece(const std::wstring& path, const PieceHeader& header,
                const std::vector<PieceEntry>& entries) {
    return WriteFileBytes(path, FormatPiece(header, entries));
}

bool ReadPiece(const std::wstring& path, PieceHeader& header, std::vector<PieceEntry>* entries,
               std::wstring& error) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        error = L"cannot read file";
        return false;
    }
    return ParsePiece(bytes, header, entries, error);
}

} // namespace simoracle
