#include "virid/FolderPacker.h"

#include "virid/EntryName.h"
#include "virid/PathKind.h"
#include "virid/PaxFormat.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <share.h>
#endif

namespace VIRid {

namespace fs = std::filesystem;

namespace {

// Sorts "/" before every other byte, so that a folder's content directly follows the folder.
bool NameBefore(const std::string& left, const std::string& right) {
    return std::lexicographical_compare(
        left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
            const unsigned char x = a == '/' ? 0 : static_cast<unsigned char>(a);
            const unsigned char y = b == '/' ? 0 : static_cast<unsigned char>(b);
            return x < y;
        });
}

int64_t ModifiedSeconds(const fs::path& path) {
    std::error_code error;
    const fs::file_time_type modified = fs::last_write_time(path, error);
    if (error)
        return 0;
    // The file clock has no conversion of its own before C++20: go through the present.
    const auto system = std::chrono::system_clock::now() +
                        std::chrono::duration_cast<std::chrono::system_clock::duration>(
                            modified - fs::file_time_type::clock::now());
    return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

// Opens the file for reading; nobody may write it while it stays open (on Windows: a writer's
// open fails), so that its bytes cannot change after their digest was taken.
std::FILE* OpenDenyingWriters(const fs::path& path) {
#ifdef _WIN32
    return _wfsopen(path.c_str(), L"rb", _SH_DENYWR);
#else
    return std::fopen(path.c_str(), "rb");
#endif
}

} // namespace

bool FolderPacker::Fail(const std::string& sentence, const std::string& name) {
    if (error_.empty())
        error_ = name.empty() ? sentence : sentence + " '" + name + "'";
    file_.reset();
    inFile_ = false;
    return false;
}

void FolderPacker::Stop() {
    file_.reset();
    inFile_ = false;
}

bool FolderPacker::Open(const fs::path& folder, const std::vector<std::string>& lastNames) {
    return OpenStreamed(folder) && Finish(lastNames);
}

bool FolderPacker::OpenStreamed(const fs::path& folder) {
    folder_ = folder;
    sealed_ = false;
    digest_ = Sha256();
    if (KindOf(folder) != PathKind::Folder)
        return Fail("Can't pack the folder, it does not exist:", entryname::FromPath(folder));
    return true;
}

bool FolderPacker::CheckEntryName(const std::string& name, bool atTop) {
    std::string normalized;
    if (entryname::Normalize(name, normalized) != entryname::NameCheck::Ok || normalized != name ||
        (atTop && name.find('/') != std::string::npos))
        return Fail("The folder holds a name that the backup stream cannot carry:", name);
    if (name == entryname::kManifestName)
        return Fail("The folder holds a file of the name that the backup stream keeps for its "
                    "manifest:",
                    name);
    return true;
}

bool FolderPacker::Add(const std::string& name) {
    if (!CheckEntryName(name, true))
        return false;
    if (sealed_)
        return Fail("A file was given to the backup stream after its end:", name);
    if (!given_.insert(name).second)
        return Fail("A file was given to the backup stream twice:", name);
    entries_.push_back({name, false});
    return true;
}

bool FolderPacker::Finish(const std::vector<std::string>& lastNames) {
    if (!error_.empty())
        return false;
    std::vector<Entry> rest;
    if (!ListFolder(rest))
        return false;
    for (const std::string& last : lastNames) {
        const auto found = std::find_if(rest.begin(), rest.end(), [&last](const Entry& e) {
            return !e.folder && e.name == last;
        });
        if (found != rest.end())
            std::rotate(found, found + 1, rest.end());
    }
    entries_.insert(entries_.end(), rest.begin(), rest.end());
    sealed_ = true;
    return true;
}

bool FolderPacker::ListFolder(std::vector<Entry>& entries) {
    std::error_code error;
    fs::recursive_directory_iterator walk(folder_, error), end;
    for (; !error && walk != end; walk.increment(error)) {
        const fs::path relative = walk->path().lexically_relative(folder_);
        const std::string name = entryname::FromPath(relative);
        // Checked before the walk steps on: a link to a folder is never entered.
        const PathKind kind = KindOf(walk->path());
        if (kind == PathKind::Missing || kind == PathKind::Unknown)
            return Fail("Can't list the folder", entryname::FromPath(folder_));
        if (given_.count(name) != 0)
            continue;
        if (!CheckEntryName(name, false))
            return false;
        if (kind == PathKind::LinkOrSpecial)
            return Fail("The folder holds a link or special file, which cannot be packed:", name);
        entries.push_back({name, kind == PathKind::Folder});
    }
    if (error)
        return Fail("Can't list the folder", entryname::FromPath(folder_));
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return NameBefore(a.name, b.name); });
    return true;
}

bool FolderPacker::StartEntry(const Entry& entry) {
    const fs::path path = entryname::ToPath(folder_, entry.name);
    const int64_t modified = ModifiedSeconds(path);
    if (entry.folder) {
        pax::AppendEntryHeader(staged_, entry.name, pax::EntryType::Folder, 0, modified);
        return true;
    }
    // Opened before its size is taken: from then on nobody can change it.
    file_.reset(OpenDenyingWriters(path));
    std::error_code error;
    const uint64_t size = fs::file_size(path, error);
    if (error || !file_)
        return Fail("Can't open the file", entry.name);
    pax::AppendEntryHeader(staged_, entry.name, pax::EntryType::File, size, modified);
    fileName_ = entry.name;
    fileSize_ = size;
    fileRemaining_ = size;
    inFile_ = true;
    return true;
}

bool FolderPacker::FinishFile() {
    // A file that grew since its size was taken would not match its header.
    if (std::fgetc(file_.get()) != EOF)
        return Fail("The file changed while it was packed:", fileName_);
    file_.reset();
    inFile_ = false;
    ++filesDone_;
    bytesDone_ += fileSize_;
    // A streamed file leaves the folder once the stream holds it: the folder never holds more
    // than the files still to come.
    std::error_code removed;
    if (given_.count(fileName_) != 0 && !fs::remove(entryname::ToPath(folder_, fileName_), removed))
        return Fail("Can't remove the file that the stream holds:", fileName_);
    manifest_ += ToHex(digest_.Finish()) + "  " + fileName_ + "\n";
    staged_.append(pax::PaddingAfter(fileSize_), '\0');
    return true;
}

void FolderPacker::StageManifestAndEnd(uint64_t produced) {
    // Dated now, like a file written at the end of the backup.
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    pax::AppendEntryHeader(staged_, entryname::kManifestName, pax::EntryType::File,
                           manifest_.size(), now);
    staged_ += manifest_;
    staged_.append(pax::PaddingAfter(manifest_.size()), '\0');
    pax::AppendEndOfArchive(staged_);
    const uint64_t total = produced + staged_.size();
    staged_.append(
        static_cast<size_t>((pax::kRecordSize - total % pax::kRecordSize) % pax::kRecordSize),
        '\0');
    manifest_.clear();
    manifestStaged_ = true;
}

FolderPacker::Result FolderPacker::Read(unsigned char* buffer, uint32_t& size) {
    const uint32_t capacity = size;
    size = 0;
    if (!error_.empty())
        return Result::Failed;
    if (buffer == nullptr && capacity > 0)
        return Fail("The backup stream was read into no buffer", ""), Result::Failed;
    if (capacity == 0)
        return finished_ ? Result::End : Result::Data;
    uint32_t filled = 0;
    while (filled < capacity) {
        if (stagedOffset_ < staged_.size()) {
            const size_t piece =
                std::min<size_t>(capacity - filled, staged_.size() - stagedOffset_);
            std::memcpy(buffer + filled, staged_.data() + stagedOffset_, piece);
            stagedOffset_ += piece;
            filled += static_cast<uint32_t>(piece);
            continue;
        }
        staged_.clear();
        stagedOffset_ = 0;
        if (inFile_ && fileRemaining_ > 0) {
            // File data goes straight into the caller's buffer.
            const uint32_t piece =
                static_cast<uint32_t>(std::min<uint64_t>(capacity - filled, fileRemaining_));
            unsigned char* target = buffer + filled;
            if (std::fread(target, 1, piece, file_.get()) != piece)
                return Fail("The file changed or could not be read while it was packed:",
                            fileName_),
                       Result::Failed;
            digest_.Update(target, piece);
            fileRemaining_ -= piece;
            filled += piece;
        } else if (inFile_) {
            if (!FinishFile())
                return Result::Failed;
        } else if (nextEntry_ < entries_.size()) {
            if (!StartEntry(entries_[nextEntry_++]))
                return Result::Failed;
        } else if (!sealed_) {
            if (filled == 0)
                return Result::NeedsFile;
            break;
        } else if (!manifestStaged_) {
            StageManifestAndEnd(produced_ + filled);
        } else {
            break;
        }
    }
    produced_ += filled;
    size = filled;
    if (filled > 0)
        return Result::Data;
    finished_ = true;
    return Result::End;
}

} // namespace VIRid
