#include "tools/simdb/BackupPiece.h"

#include "tools/simdb/Fields.h"
#include "tools/simdb/Sha256.h"

#include "virid/Strings.h"

#include <windows.h>

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

using ByteSink = std::function<bool(const char*, size_t)>;

unsigned long long SourceBytes(const PieceEntry& entry, bool& ok) {
    unsigned long long sourceSize = 0;
    ok = entry.sourceFile.empty() ||
         (FileSize(entry.sourceFile, sourceSize) && sourceSize >= entry.sourceOffset);
    return entry.sourceFile.empty() || !ok ? 0 : sourceSize - entry.sourceOffset;
}

bool WriteEntry(const ByteSink& out, const PieceEntry& entry) {
    bool ok = true;
    const unsigned long long fromSource = SourceBytes(entry, ok);
    if (!ok)
        return false;
    Sha256 hash;
    hash.Update(entry.label);
    hash.Update(entry.data);
    const std::string start = "ENTR" + Number(entry.label.size(), 4) + entry.label +
                              Number(entry.data.size() + fromSource, 8);
    if (!out(start.data(), start.size()) || !out(entry.data.data(), entry.data.size()))
        return false;
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
            if (!out(buffer.data(), got))
                return false;
            copied += got;
        }
    }
    const std::string digest = hash.Finish();
    return out(digest.data(), digest.size());
}

std::string HeaderBytes(const PieceHeader& header) {
    Fields fields;
    fields.Add("db_name", header.dbName);
    fields.Add("dbid", header.dbid);
    fields.Add("resetlogs_id", header.resetlogsId);
    fields.Add("tag", header.tag);
    fields.Add("stamp", header.stamp);
    fields.Add("compressed", header.compressed ? 1ULL : 0ULL);
    const std::string headerText = fields.FormatSealed();
    return std::string(kMagic, kMagicSize) + Number(headerText.size(), 4) + headerText;
}

// The set's bytes, as the pieces carry them one after the other.
unsigned long long SetBytes(const PieceHeader& header, const std::vector<PieceEntry>& entries) {
    unsigned long long total = HeaderBytes(header).size() + 8;
    for (const PieceEntry& entry : entries) {
        bool ok = true;
        total += 4 + 4 + entry.label.size() + 8 + entry.data.size() + SourceBytes(entry, ok) + 32;
    }
    return total;
}

const char kPartMagic[] = "SIMORA-PART-01\n";
static_assert(sizeof kPartMagic == sizeof kMagic, "both magics are read as one");
// Room kept in each piece of a set of several for its part header.
const unsigned long long kPartHeaderRoom = 4096;

unsigned long long SliceBytes(unsigned long long maxPieceBytes) {
    return maxPieceBytes > 2 * kPartHeaderRoom ? maxPieceBytes - kPartHeaderRoom
                                               : std::max(1ULL, maxPieceBytes / 2);
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string PartHeader(unsigned number, const std::vector<std::wstring>& paths,
                       unsigned long long stamp) {
    std::string names;
    for (const std::wstring& path : paths)
        names += VIRid::strings::WstrToUTF8(FileNameOf(path)) + "\n";
    return std::string(kPartMagic, kMagicSize) + Number(number, 4) + Number(paths.size(), 4) +
           Number(stamp, 8) + Number(names.size(), 4) + names;
}

struct PartHeaderFields {
    unsigned number = 0;
    unsigned long long stamp = 0;
    std::vector<std::wstring> names;
    unsigned long long headerSize = 0; // the part header's bytes, its magic included
};

// Reads a part header after its magic.
bool ReadPartHeader(InputFile& file, PartHeaderFields& part) {
    std::string raw;
    if (!file.Read(20, raw))
        return false;
    part.number = static_cast<unsigned>(NumberOf(raw.substr(0, 4)));
    const unsigned long long count = NumberOf(raw.substr(4, 4));
    part.stamp = NumberOf(raw.substr(8, 8));
    const unsigned long long namesSize = NumberOf(raw.substr(16, 4));
    if (count < 2 || count > 65536 || namesSize > kPartHeaderRoom || !file.Read(namesSize, raw))
        return false;
    part.headerSize = kMagicSize + 20 + namesSize;
    part.names.clear();
    for (size_t at = 0; at < raw.size();) {
        const size_t end = raw.find('\n', at);
        if (end == std::string::npos)
            return false;
        part.names.push_back(VIRid::strings::UTF8toWstr(raw.substr(at, end - at)));
        at = end + 1;
    }
    return part.names.size() == count && part.number >= 1 && part.number <= count;
}

// The paths of the set's pieces, in the folder of its first piece firstPath.
std::vector<std::wstring> PartPaths(const std::wstring& firstPath, const PartHeaderFields& part) {
    const std::wstring folder =
        firstPath.substr(0, firstPath.size() - FileNameOf(firstPath).size());
    std::vector<std::wstring> paths;
    for (const std::wstring& name : part.names)
        paths.push_back(folder + name);
    return paths;
}

bool ReadsPartHeader(const std::wstring& path, PartHeaderFields& part) {
    InputFile file(path);
    std::string magic;
    return file.Read(kMagicSize, magic) && magic == kPartMagic && ReadPartHeader(file, part);
}

// Writes the set's bytes across its pieces, each opened under its own name and held open for
// writing until it is full, at the rate asked for.
class PieceSplitter {
public:
    PieceSplitter(const std::vector<std::wstring>& paths, unsigned long long stamp,
                  unsigned long long sliceBytes, const PieceWriting& writing)
        : paths_(paths), stamp_(stamp), sliceBytes_(sliceBytes), writing_(writing),
          startedAt_(GetTickCount64()) {}
    ~PieceSplitter() {
        // A piece left unfinished is of no use to anybody.
        if (file_) {
            file_.reset();
            DeleteFileW(paths_[next_ - 1].c_str());
        }
    }

    bool Write(const char* data, size_t size) {
        while (size > 0) {
            if ((!file_ || left_ == 0) && !NextPiece())
                return false;
            const size_t part = static_cast<size_t>(std::min<unsigned long long>(size, left_));
            if (!WriteOut(data, part))
                return false;
            left_ -= part;
            data += part;
            size -= part;
        }
        return true;
    }

    bool Finish() {
        if (!file_ && !NextPiece())
            return false;
        return ClosePiece() && next_ == paths_.size();
    }

private:
    bool NextPiece() {
        if ((file_ && !ClosePiece()) || next_ >= paths_.size())
            return false;
        const unsigned number = static_cast<unsigned>(++next_);
        if (writing_.started)
            writing_.started(number);
        HANDLE file = CreateFileW(paths_[number - 1].c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        file_.reset(file);
        left_ = paths_.size() > 1 ? sliceBytes_ : ~0ULL;
        if (paths_.size() == 1)
            return true;
        const std::string header = PartHeader(number, paths_, stamp_);
        return WriteOut(header.data(), header.size());
    }

    bool ClosePiece() {
        file_.reset();
        if (writing_.finished)
            writing_.finished(static_cast<unsigned>(next_));
        return true;
    }

    bool WriteOut(const char* data, size_t size) {
        DWORD written = 0;
        if (!WriteFile(file_.get(), data, static_cast<DWORD>(size), &written, nullptr) ||
            written != size)
            return false;
        written_ += size;
        if (writing_.rateMbps > 0) {
            // Held to the rate: the bytes written so far are due no sooner than this.
            const double dueMs = static_cast<double>(written_) / (writing_.rateMbps * 1000.0);
            const double elapsedMs = static_cast<double>(GetTickCount64() - startedAt_);
            if (dueMs > elapsedMs)
                Sleep(static_cast<DWORD>(dueMs - elapsedMs));
        }
        return true;
    }

    const std::vector<std::wstring>& paths_;
    unsigned long long stamp_;
    unsigned long long sliceBytes_;
    const PieceWriting& writing_;
    ULONGLONG startedAt_;
    VIRid::UniqueHandle file_;
    size_t next_ = 0;             // pieces opened so far
    unsigned long long left_ = 0; // bytes the open piece still takes
    unsigned long long written_ = 0;
};

} // namespace

unsigned PieceCount(const PieceHeader& header, const std::vector<PieceEntry>& entries,
                    unsigned long long maxPieceBytes) {
    const unsigned long long total = SetBytes(header, entries);
    if (maxPieceBytes == 0 || total <= maxPieceBytes)
        return 1;
    const unsigned long long slice = SliceBytes(maxPieceBytes);
    return static_cast<unsigned>((total + slice - 1) / slice);
}

bool WritePieces(const std::vector<std::wstring>& paths, const PieceHeader& header,
                 const std::vector<PieceEntry>& entries, const PieceWriting& writing) {
    if (paths.empty())
        return false;
    PieceSplitter out(paths, header.stamp, SliceBytes(writing.maxPieceBytes), writing);
    const ByteSink sink = [&out](const char* data, size_t size) { return out.Write(data, size); };
    const std::string start = HeaderBytes(header);
    if (!sink(start.data(), start.size()))
        return false;
    for (const PieceEntry& entry : entries)
        if (!WriteEntry(sink, entry))
            return false;
    const std::string end = "DONE" + Number(entries.size(), 4);
    return sink(end.data(), end.size()) && out.Finish();
}

bool WritePiece(const std::wstring& path, const PieceHeader& header,
                const std::vector<PieceEntry>& entries) {
    return WritePieces({path}, header, entries, PieceWriting());
}

std::vector<std::wstring> PieceFiles(const std::wstring& path) {
    PartHeaderFields part;
    if (!ReadsPartHeader(path, part) || part.number != 1)
        return {path};
    return PartPaths(path, part);
}

bool IsLaterPiece(const std::wstring& path) {
    PartHeaderFields part;
    return ReadsPartHeader(path, part) && part.number > 1;
}

bool SetInput::Open() {
    PartHeaderFields part;
    if (ReadsPartHeader(first_, part)) {
        if (part.number != 1)
            return false;
        stamp_ = part.stamp;
        parts_ = PartPaths(first_, part);
        parts_.front() = first_;
        return OpenPart(0);
    }
    // A set of one piece: the file holds the set's bytes alone.
    file_.reset(new InputFile(first_));
    return FileSize(first_, left_);
}

bool SetInput::OpenPart(size_t index) {
    file_.reset(new InputFile(parts_[index]));
    unsigned long long size = 0;
    PartHeaderFields part;
    std::string magic;
    if (!FileSize(parts_[index], size) || !file_->Read(kMagicSize, magic) || magic != kPartMagic ||
        !ReadPartHeader(*file_, part) || part.number != index + 1 || part.stamp != stamp_ ||
        part.names.size() != parts_.size() || size < part.headerSize)
        return false;
    part_ = index;
    left_ = size - part.headerSize;
    return true;
}

bool SetInput::SkipSpentParts() {
    while (left_ == 0 && part_ + 1 < parts_.size())
        if (!OpenPart(part_ + 1))
            return false;
    return true;
}

bool SetInput::ReadSome(char* buffer, size_t size, size_t& got) {
    got = 0;
    if (!SkipSpentParts())
        return false;
    if (left_ == 0)
        return true;
    if (!file_->ReadSome(buffer, static_cast<size_t>(std::min<unsigned long long>(size, left_)),
                         got))
        return false;
    left_ -= got;
    return got > 0;
}

bool SetInput::Read(size_t size, std::string& bytes) {
    return ReadExactly(*this, size, bytes);
}

bool SetInput::Skip(unsigned long long size) {
    while (size > 0) {
        if (!SkipSpentParts() || left_ == 0)
            return false;
        const unsigned long long step = std::min(size, left_);
        if (!file_->Skip(step))
            return false;
        left_ -= step;
        size -= step;
    }
    return true;
}

bool PieceReader::Open(PieceHeader& header, std::wstring& error) {
    std::string part;
    Fields fields;
    if (!file_.Open() || !file_.Read(kMagicSize, part) || part != kMagic) {
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
