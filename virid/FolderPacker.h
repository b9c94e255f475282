// Packs a folder into a pax stream, produced piece by piece into the caller's buffers: the
// folder's subfolders and files in sorted order (a folder before its content; files named to go
// last after all others), then the "SHA256SUMS" manifest of every file, then the end of the
// archive. Each file is read once, opened so that nobody can write it meanwhile; its digest is
// computed as its bytes pass.
//
// Streamed (OpenStreamed): the files are given one by one while others are still being written
// into the folder; each is streamed in the order given and removed from the folder once it has
// been handed out entirely. Finish then adds what else the folder holds, and the manifest.
#pragma once

#include "virid/Sha256.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace VIRid {

class FolderPacker {
public:
    // NeedsFile: a streamed packer has handed out everything it was given (size 0); Add or Finish
    // lets it go on.
    enum class Result { Data, End, Failed, NeedsFile };

    // Lists the folder. False, with Error set, when it cannot be packed. lastNames: files at its
    // top (normalized names) that go last, in this order, just before the manifest.
    [[nodiscard]] bool Open(const std::filesystem::path& folder,
                            const std::vector<std::string>& lastNames = {});

    // Starts a streamed packing of folder: nothing is listed until Finish.
    [[nodiscard]] bool OpenStreamed(const std::filesystem::path& folder);
    // Queues a file at the folder's top (normalized name), complete on disk. False, with Error
    // set, for a name that the stream cannot carry or that was given before (a file is never
    // streamed twice).
    [[nodiscard]] bool Add(const std::string& name);
    // After the queued files: the folder's other entries as Open lists them, those of lastNames
    // last in their order, then the manifest.
    [[nodiscard]] bool Finish(const std::vector<std::string>& lastNames = {});

    // Fills up to size bytes and sets size to the bytes produced. Data while bytes were
    // produced, End (size 0) once the whole stream has been produced, Failed (size 0) after a
    // failure, now or before.
    [[nodiscard]] Result Read(unsigned char* buffer, uint32_t& size);

    // Releases the file being read, so that the folder can be removed.
    void Stop();

    bool Finished() const { return finished_; }
    // The files handed out entirely so far, and their bytes.
    uint64_t FilesDone() const { return filesDone_; }
    uint64_t BytesDone() const { return bytesDone_; }
    // A fixed sentence and the entry concerned (UTF-8); empty while nothing failed.
    const std::string& Error() const { return error_; }

private:
    struct Entry {
        std::string name; // normalized, UTF-8
        bool folder;
    };

    bool Fail(const std::string& sentence, const std::string& name);
    // False, with Error set, for a name that the stream cannot carry as it is (atTop: or that is
    // not at the folder's top) or that its manifest keeps.
    bool CheckEntryName(const std::string& name, bool atTop);
    // The folder's entries (recursively) in stream order, leaving out the names given already.
    bool ListFolder(std::vector<Entry>& entries);
    bool StartEntry(const Entry& entry);
    bool FinishFile();
    // produced: the bytes of the stream handed out before the manifest.
    void StageManifestAndEnd(uint64_t produced);

    std::filesystem::path folder_;
    std::vector<Entry> entries_;
    size_t nextEntry_ = 0;
    Sha256 digest_;

    std::string staged_; // header, padding or manifest bytes not yet handed out
    size_t stagedOffset_ = 0;

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string fileName_;
    uint64_t fileSize_ = 0;
    uint64_t fileRemaining_ = 0;
    bool inFile_ = false;

    std::string manifest_;
    bool manifestStaged_ = false;
    uint64_t produced_ = 0;
    bool finished_ = false;
    std::string error_;
    bool sealed_ = true; // streamed: Finish has been called
    // Streamed: the names given to Add; each of those files leaves the folder once streamed.
    std::set<std::string> given_;
    uint64_t filesDone_ = 0;
    uint64_t bytesDone_ = 0;
};

} // namespace VIRid
