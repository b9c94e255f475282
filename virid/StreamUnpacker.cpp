#include "virid/StreamUnpacker.h"

#include "virid/EntryName.h"
#include "virid/PathKind.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace VIRid {

namespace fs = std::filesystem;

namespace {

const char kIncomplete[] = "The backup stream is incomplete: ";
const char kDamaged[] = "The backup stream is damaged: ";
const char kRefused[] = "The backup stream holds ";

// Extended headers and long names are kept whole; anything larger is not a header of ours.
constexpr uint64_t kMaxExtensionSize = 1 << 20;
// A manifest line: 64 digits, two separators, the name, the line break.
constexpr size_t kMaxManifestLine = 64 + 2 + entryname::kMaxLength + 1;
// Zero data is skipped (left as a hole) in pieces of this size.
constexpr size_t kZeroPiece = size_t{64} * 1024;

bool IsZero(const unsigned char* data, size_t size) {
    static const unsigned char kZeros[kZeroPiece] = {};
    return std::memcmp(data, kZeros, size) == 0;
}

bool IsAllZero(const unsigned char* data, size_t size) {
    while (size > 0) {
        const size_t piece = std::min(size, kZeroPiece);
        if (!IsZero(data, piece))
            return false;
        data += piece;
        size -= piece;
    }
    return true;
}

bool IsHexDigest(const std::string& text) {
    if (text.size() != 64)
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

bool StreamUnpacker::Fail(const std::string& sentence, const std::string& name) {
    if (state_ != State::Failed) {
        std::string shown = name.substr(0, 300);
        // Hostile names must not bring control characters into the host's log.
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                c = '?';
        }
        error_ = shown.empty() ? sentence : sentence + " '" + shown + "'";
        state_ = State::Failed;
    }
    file_.close();
    return false;
}

bool StreamUnpacker::FailWriting() {
    // The system's reason ("No space left on device"), when the failed write gave one.
    const int reason = errno;
    const bool first = state_ != State::Failed;
    Fail("Can't write the file", fileName_);
    if (first && reason != 0)
        error_ += ": " + std::generic_category().message(reason);
    return false;
}

bool StreamUnpacker::FailAfter(const std::string& sentence) {
    if (lastName_.empty())
        return Fail(sentence + " at the start of the stream", "");
    return Fail(sentence + ", after", lastName_);
}

bool StreamUnpacker::Open(const fs::path& folder) {
    folder_ = folder;
    if (KindOf(folder) != PathKind::Folder)
        return Fail("Can't unpack into the folder, it does not exist:",
                    entryname::FromPath(folder));
    digest_ = Sha256();
    state_ = State::Header;
    return true;
}

bool StreamUnpacker::Write(const unsigned char* data, size_t size) {
    while (size > 0) {
        size_t taken = 0;
        switch (state_) {
        case State::Header:
        case State::SecondEndBlock:
            taken = std::min(size, pax::kBlockSize - blockFill_);
            std::memcpy(block_ + blockFill_, data, taken);
            blockFill_ += taken;
            if (blockFill_ == pax::kBlockSize) {
                blockFill_ = 0;
                if (!OnHeader())
                    return false;
            }
            break;
        case State::ExtensionBody:
            taken = static_cast<size_t>(std::min<uint64_t>(size, extensionRemaining_));
            extensionBody_.append(reinterpret_cast<const char*>(data), taken);
            extensionRemaining_ -= taken;
            if (extensionRemaining_ == 0 && !OnExtensionBody())
                return false;
            break;
        case State::FileData:
            taken = static_cast<size_t>(std::min<uint64_t>(size, fileRemaining_));
            if (!TakeFileData(data, taken))
                return false;
            break;
        case State::SkipData:
            taken = static_cast<size_t>(std::min<uint64_t>(size, skipRemaining_));
            skipRemaining_ -= taken;
            if (skipRemaining_ == 0)
                state_ = State::Header;
            break;
        case State::AfterEnd:
            // tar tools pad the archive with zeros to a whole record.
            if (!IsAllZero(data, size))
                return FailAfter(std::string(kDamaged) + "data follows the end of the archive");
            taken = size;
            break;
        case State::NotOpen:
            return Fail("The backup stream was written to a packer that is not open for "
                        "unpacking",
                        "");
        case State::Closed:
            return Fail(std::string(kDamaged) + "data follows the end of the archive, after the "
                                                "packer was closed",
                        "");
        case State::Failed:
            return false;
        }
        data += taken;
        size -= taken;
    }
    return state_ != State::Failed;
}

bool StreamUnpacker::OnHeader() {
    pax::Header header;
    const pax::HeaderResult result = pax::ReadHeader(block_, header);
    if (state_ == State::SecondEndBlock) {
        if (result != pax::HeaderResult::ZeroBlock)
            return FailAfter(std::string(kDamaged) + "the end-of-archive marker is cut short");
        state_ = State::AfterEnd;
        return true;
    }
    switch (result) {
    case pax::HeaderResult::Ok:
        break;
    case pax::HeaderResult::ZeroBlock:
        if (pending_.path || pending_.size || pending_.linkPath || pending_.gnuSparse ||
            pendingLongName_)
            return FailAfter(std::string(kDamaged) +
                             "an extended header is not followed by its entry");
        // Without the manifest nothing proves the stream whole: a cut stream that a tool
        // closed again, or an archive stripped of it, would pass on framing alone.
        if (!manifestDone_)
            return FailAfter(std::string(kIncomplete) +
                             "the archive ends without its manifest SHA256SUMS");
        state_ = State::SecondEndBlock;
        return true;
    case pax::HeaderResult::BadChecksum:
        return FailAfter(std::string(kDamaged) + "the checksum of a header does not match");
    case pax::HeaderResult::NotUstar:
        return FailAfter(std::string(kDamaged) + "a header is not a pax or ustar header");
    case pax::HeaderResult::BadNumber:
        return FailAfter(std::string(kDamaged) + "a header holds a number that cannot be read");
    }
    if (manifestDone_)
        return Fail(std::string(kDamaged) + "an entry follows the manifest:", header.name);

    const char type = header.typeFlag;
    if (type == 'x' || type == 'g' || type == 'L') {
        if (header.size > kMaxExtensionSize)
            return FailAfter(std::string(kDamaged) + "an extended header is too large");
        extensionType_ = type;
        extensionBody_.clear();
        extensionRemaining_ = header.size;
        skipRemaining_ = pax::PaddingAfter(header.size);
        state_ = State::ExtensionBody;
        return header.size > 0 || OnExtensionBody();
    }

    const std::string stored = pending_.path      ? *pending_.path
                               : pendingLongName_ ? *pendingLongName_
                                                  : header.name;
    const uint64_t size = pending_.size ? *pending_.size : header.size;
    const bool link = pending_.linkPath;
    const bool sparse = pending_.gnuSparse;
    pending_ = pax::Records();
    pendingLongName_.reset();

    if (type == '1' || type == '2' || type == 'K' || link)
        return Fail(std::string(kRefused) + "a link, which is refused:", stored);
    if (type == '3' || type == '4' || type == '6')
        return Fail(std::string(kRefused) + "a device or pipe, which is refused:", stored);
    if (sparse || type == 'S')
        return Fail(std::string(kRefused) + "a sparse file in GNU's format, which is not "
                                            "supported:",
                    stored);
    const bool file = type == '0' || type == '\0' || type == '7';
    if (!file && type != '5')
        return Fail(std::string(kRefused) + "an entry type that is not supported:", stored);

    std::string name;
    const entryname::NameCheck check = entryname::Normalize(stored, name);
    if (check == entryname::NameCheck::Unsafe || (file && check == entryname::NameCheck::Root))
        return Fail(std::string(kRefused) + "an unsafe name, which is refused:", stored);
    lastName_ = check == entryname::NameCheck::Root ? stored : name;
    return file ? StartFile(name, size) : StartFolder(name, size);
}

bool StreamUnpacker::OnExtensionBody() {
    state_ = skipRemaining_ > 0 ? State::SkipData : State::Header;
    if (extensionType_ == 'L') {
        // GNU's long name: the text up to its terminating NUL.
        pendingLongName_ = extensionBody_.substr(0, extensionBody_.find('\0'));
        return true;
    }
    pax::Records records;
    if (!pax::ReadRecords(extensionBody_, records))
        return FailAfter(std::string(kDamaged) + "an extended header is malformed");
    if (extensionType_ == 'g') {
        // Global records that would rename, resize or link every entry are not followed.
        if (records.path || records.size || records.linkPath || records.gnuSparse)
            return FailAfter(std::string(kRefused) +
                             "a global extended header that changes names or sizes, which is not "
                             "supported");
        return true;
    }
    if (records.path)
        pending_.path = records.path;
    if (records.size)
        pending_.size = records.size;
    pending_.linkPath = pending_.linkPath || records.linkPath;
    pending_.gnuSparse = pending_.gnuSparse || records.gnuSparse;
    return true;
}

bool StreamUnpacker::MakeFolders(const std::string& name, bool includingLast) {
    size_t start = 0;
    while (true) {
        const size_t slash = name.find('/', start);
        if (slash == std::string::npos && !includingLast)
            return true;
        const std::string partial = name.substr(0, slash);
        const fs::path path = entryname::ToPath(folder_, partial);
        const PathKind kind = KindOf(path);
        if (kind == PathKind::File || kind == PathKind::LinkOrSpecial)
            return Fail(std::string(kRefused) + "an entry that exists already in the folder and "
                                                "is not a folder:",
                        partial);
        std::error_code error;
        if (kind != PathKind::Folder && !fs::create_directory(path, error))
            return Fail("Can't create the folder", partial);
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

bool StreamUnpacker::StartFolder(const std::string& name, uint64_t size) {
    if (!name.empty() && !MakeFolders(name, true))
        return false;
    // Folders carry no data; skip whatever a writer put there.
    skipRemaining_ = size + pax::PaddingAfter(size);
    state_ = skipRemaining_ > 0 ? State::SkipData : State::Header;
    return true;
}

bool StreamUnpacker::StartFile(const std::string& name, uint64_t size) {
    if (!MakeFolders(name, false))
        return false;
    filePath_ = entryname::ToPath(folder_, name);
    const PathKind kind = KindOf(filePath_);
    if (kind != PathKind::Missing && kind != PathKind::Unknown)
        return Fail(std::string(kRefused) + "an entry that exists already in the folder:", name);
    file_.open(filePath_, std::ios::binary | std::ios::trunc);
    if (!file_.is_open())
        return Fail("Can't create the file", name);
    fileName_ = name;
    fileSize_ = size;
    fileRemaining_ = size;
    hole_ = 0;
    inManifest_ = name == entryname::kManifestName;
    manifestLine_.clear();
    state_ = State::FileData;
    return size > 0 || FinishFile();
}

bool StreamUnpacker::TakeFileData(const unsigned char* data, size_t size) {
    if (inManifest_) {
        if (!TakeManifestText(data, size))
            return false;
    } else {
        digest_.Update(data, size);
    }
    if (!WriteToDisk(data, size))
        return false;
    fileRemaining_ -= size;
    return fileRemaining_ > 0 || FinishFile();
}

bool StreamUnpacker::WriteToDisk(const unsigned char* data, size_t size) {
    // Runs of zeros become holes: a sparse file stays sparse when it comes back.
    while (size > 0) {
        const size_t piece = std::min(size, kZeroPiece);
        if (IsZero(data, piece)) {
            hole_ += piece;
        } else {
            if (hole_ > 0)
                file_.seekp(static_cast<std::streamoff>(hole_), std::ios::cur);
            hole_ = 0;
            errno = 0;
            file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(piece));
            if (!file_)
                return FailWriting();
        }
        data += piece;
        size -= piece;
    }
    return true;
}

bool StreamUnpacker::FinishFile() {
    if (hole_ > 0) {
        // The file must reach its full size even when it ends in zeros.
        file_.seekp(static_cast<std::streamoff>(hole_ - 1), std::ios::cur);
        file_.put('\0');
        hole_ = 0;
    }
    errno = 0;
    file_.close();
    if (!file_)
        return FailWriting();
    skipRemaining_ = pax::PaddingAfter(fileSize_);
    state_ = skipRemaining_ > 0 ? State::SkipData : State::Header;
    if (inManifest_)
        return FinishManifest();
    digests_[fileName_] = digest_.Finish();
    return true;
}

bool StreamUnpacker::TakeManifestText(const unsigned char* data, size_t size) {
    const unsigned char* end = data + size;
    while (data < end) {
        const unsigned char* newline =
            static_cast<const unsigned char*>(std::memchr(data, '\n', end - data));
        const unsigned char* stop = newline ? newline : end;
        manifestLine_.append(reinterpret_cast<const char*>(data), stop - data);
        if (manifestLine_.size() > kMaxManifestLine)
            return Fail(std::string(kDamaged) + "the manifest has a line that is too long", "");
        if (!newline)
            break;
        if (!CheckManifestLine(manifestLine_))
            return false;
        manifestLine_.clear();
        data = newline + 1;
    }
    return true;
}

bool StreamUnpacker::CheckManifestLine(const std::string& line) {
    // "<digest>  <name>" (text mode) or "<digest> *<name>" (binary mode), as sha256sum writes.
    const std::string hex = line.substr(0, 64);
    if (line.size() < 67 || !IsHexDigest(hex) || line[64] != ' ' ||
        (line[65] != ' ' && line[65] != '*'))
        return Fail(std::string(kDamaged) + "the manifest has a malformed line:", line);
    std::string name;
    if (entryname::Normalize(line.substr(66), name) != entryname::NameCheck::Ok)
        return Fail(std::string(kDamaged) + "the manifest has a malformed line:", line);
    const auto found = digests_.find(name);
    if (found == digests_.end())
        return Fail(std::string(kDamaged) + "the manifest names a file that is not in the stream:",
                    name);
    if (!listed_.insert(name).second)
        return Fail(std::string(kDamaged) + "the manifest lists a file twice:", name);
    if (ToHex(found->second) != hex)
        return Fail(std::string(kDamaged) + "the digest does not match the manifest for", name);
    return true;
}

bool StreamUnpacker::FinishManifest() {
    inManifest_ = false;
    manifestDone_ = true;
    if (!manifestLine_.empty())
        return Fail(std::string(kDamaged) + "the manifest does not end with a line break", "");
    if (listed_.empty())
        return Fail(std::string(kDamaged) + "the manifest lists no file", "");
    for (const auto& file : digests_) {
        if (listed_.count(file.first) == 0)
            return Fail(std::string(kDamaged) + "the manifest does not list", file.first);
    }
    return true;
}

bool StreamUnpacker::Incomplete() {
    switch (state_) {
    case State::FileData:
        return Fail(std::string(kIncomplete) + "it ends inside the data of", fileName_);
    case State::ExtensionBody:
        return FailAfter(std::string(kIncomplete) + "it ends inside an extended header");
    case State::SkipData:
        return Fail(std::string(kIncomplete) + "it ends inside the padding after", lastName_);
    case State::SecondEndBlock:
        return Fail(std::string(kIncomplete) + "it ends inside the end-of-archive marker", "");
    default:
        if (blockFill_ > 0)
            return FailAfter(std::string(kIncomplete) + "it ends inside a header");
        if (lastName_.empty())
            return Fail(std::string(kIncomplete) + "it holds no entry and no end-of-archive "
                                                   "marker",
                        "");
        return Fail(std::string(kIncomplete) + "the end-of-archive marker is missing, after",
                    lastName_);
    }
}

bool StreamUnpacker::Close() {
    if (state_ == State::Failed)
        return false;
    if (state_ == State::NotOpen)
        return Fail("The packer is not open for unpacking", "");
    if (state_ == State::Closed)
        return true;
    if (state_ != State::AfterEnd)
        return Incomplete();
    state_ = State::Closed;
    return true;
}

} // namespace VIRid
