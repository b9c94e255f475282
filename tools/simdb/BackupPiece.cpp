#include "tools/simdb/BackupPiece.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/Sha256.h"

#include <windows.h>

#include <algorithm>

#include <algorithm>

namespace simoracle {

namespace {

const char kMagic[] = "SIMORA-PIECE-1\n";
const size_t kMagicSize = sizeof kMagic - 1;

std::string Number(unsigned long long value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

unsigned long long NumberOf(const std::string& raw) {
    unsigned long long value = 0;
    for (size_t i = raw.size(); i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(raw[i]);
    return value;
}

bool FileSize(const std::wstring& path, unsigned long long& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool WriteEntry(OutputFile& out, const PieceEntry& entry) {
    unsigned long long sourceSize = 0;
    if (!entry.sourceFile.empty() &&
        (!FileSize(entry.sourceFile, sourceSize) || sourceSize < entry.sourceOffset))
        return false;
    const unsigned long long fromSource =
        entry.sourceFile.empty() ? 0 : sourceSize - entry.sourceOffset;
    Sha256 hash;
    hash.Update(entry.label);
    hash.Update(entry.data);
    out.Write("ENTR" + Number(entry.label.size(), 4) + entry.label +
              Number(entry.data.size() + fromSource, 8) + entry.data);
    if (!entry.sourceFile.empty()) {
        InputFile source(entry.sourceFile);
        if (!source.Skip(entry.sourceOffset))
            return false;
        std::string buffer(1 << 20, '\0');
        unsigned long long copied = 0;
        while (copied < fromSource) {
            size_t got = 0;
            if (!source.ReadSome(&buffer[0], buffer.size(), got) || got == 0)
                return false;
            got = static_cast<size_t>(std::min<unsigned long long>(got, fromSource - copied));
            hash.Update(buffer.data(), got);
            if (!out.Write(buffer.data(), got))
                return false;
            copied += got;
        }
    }
    return out.Write(hash.Finish());
}

} // namespace

bool WritePiece(const std::wstring& path, const PieceHeader& header,
                const std::vector<PieceEntry>& entries) {
    Fields fields;
    fields.Add("db_name", header.dbName);
    fields.Add("dbid", header.dbid);
    fields.Add("resetlogs_id", header.resetlogsId);
    fields.Add("tag", header.tag);
    fields.Add("stamp", header.stamp);
    fields.Add("compressed", header.compressed ? 1ULL : 0ULL);
    const std::string headerText = fields.FormatSealed();
    OutputFile out(path);
    out.Write(std::string(kMagic, kMagicSize) + Number(headerText.size(), 4) + headerText);
    for (const PieceEntry& entry : entries)
        if (!WriteEntry(out, entry))
            return false;
    out.Write("DONE" + Number(entries.size(), 4));
    return out.Commit();
}

bool PieceReader::Open(PieceHeader& header, std::wstring& error) {
    std::string part;
    Fields fields;
    if (!file_.Read(kMagicSize, part) || part != kMagic) {
        error = L"not a backup piece";
        return false;
    }
    if (!file_.Read(4, part) || NumberOf(part) > 65536 ||
        !file_.Read(static_cast<size_t>(NumberOf(part)), part) ||
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

bool PieceReader::Next(std::string& label, unsigned long long& size, std::wstring& error) {
    std::string part;
    if (!file_.Read(4, part)) {
        error = L"backup piece is truncated";
        return false;
    }
    if (part == "DONE") {
        char extra = 0;
        size_t got = 0;
        if (!file_.Read(4, part) || NumberOf(part) != count_ || !file_.ReadSome(&extra, 1, got) ||
            got != 0) {
            error = L"backup piece is truncated";
            return false;
        }
        ended_ = true;
        return false;
    }
    if (part != "ENTR" || !file_.Read(4, part) || NumberOf(part) > 4096 ||
        !file_.Read(static_cast<size_t>(NumberOf(part)), label_) || !file_.Read(8, part)) {
        error = L"backup piece is truncated";
        return false;
    }
    size_ = NumberOf(part);
    ++count_;
    label = label_;
    size = size_;
    return true;
}

bool PieceReader::Read(const std::function<bool(const char*, size_t)>& sink, std::wstring& error) {
    Sha256 hash;
    hash.Update(label_);
    std::string buffer(1 << 20, '\0');
    for (unsigned long long left = size_; left > 0;) {
        size_t got = 0;
        if (!file_.ReadSome(&buffer[0],
                            static_cast<size_t>(std::min<unsigned long long>(left, buffer.size())),
                            got) ||
            got == 0) {
            error = L"backup piece is truncated";
            return false;
        }
        hash.Update(buffer.data(), got);
        if (!sink(buffer.data(), got)) {
            error = L"cannot store the data of " + std::wstring(label_.begin(), label_.end());
            return false;
        }
        left -= got;
    }
    std::string digest;
    if (!file_.Read(32, digest)) {
        error = L"backup piece is truncated";
        return false;
    }
    if (hash.Finish() != digest) {
        error = L"checksum mismatch in backup piece";
        return false;
    }
    return true;
}

bool PieceReader::Skip(std::wstring& error) {
    if (!file_.Skip(size_ + 32)) {
        error = L"backup piece is truncated";
        return false;
    }
    return true;
}

bool ReadPiece(const std::wstring& path, PieceHeader& header, std::vector<PieceEntry>* entries,
               std::wstring& error) {
    PieceReader reader(path);
    if (!reader.Open(header, error))
        return false;
    if (entries != nullptr)
        entries->clear();
    PieceEntry entry;
    unsigned long long size = 0;
    while (reader.Next(entry.label, size, error)) {
        entry.data.clear();
        if (!reader.Read(
                [&](const char* data, size_t length) {
                    if (entries != nullptr)
                        entry.data.append(data, length);
                    return true;
                },
                error))
            return false;
        if (entries != nullptr)
            entries->push_back(entry);
    }
    return reader.AtEnd();
}

bool ReadPieceHeader(const std::wstring& path, PieceHeader& header, std::wstring& error) {
    return PieceReader(path).Open(header, error);
}

bool ScanPiece(const std::wstring& path, PieceHeader& header, std::vector<std::string>& labels,
               std::wstring& error) {
    PieceReader reader(path);
    if (!reader.Open(header, error))
        return false;
    labels.clear();
    std::string label;
    unsigned long long size = 0;
    while (reader.Next(label, size, error)) {
        if (!reader.Skip(error))
            return false;
        labels.push_back(label);
    }
    return reader.AtEnd();
}

} // namespace simoracle
