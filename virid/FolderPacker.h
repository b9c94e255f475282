// Packs a folder into a pax stream, produced piece by piece into the caller's buffers: the
// folder's subfolders and files in sorted order (a folder before its content; files named to go
// last after all others), then the "SHA256SUMS" manifest of every file, then the end of the
// archive. Each file is read once; its
// digest is computed as its bytes pass.
#pragma once

#include "virid/Sha256.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace VIRid {

class FolderPacker {
public:
    enum class Result { Data, End, Failed };

    // Lists the folder. False, with Error set, when it cannot be packed. lastNames: files at its
    // top (normalized names) that go last, in this order, just before the manifest.
    [[nodiscard]] bool Open(const std::filesystem::path& folder,
                            const std::vector<std::string>& lastNames = {});

    // Fills up to size bytes and sets size to the bytes produced. Data while bytes were
    // produced, End (size 0) once the whole stream has been produced, Failed (size 0) after a
    // failure, now or before.
    [[nodiscard]] Result Read(unsigned char* buffer, uint32_t& size);

    // Releases the file being read, so that the folder can be removed.
    void Stop();

    bool Finished() const { return finished_; }
    // A fixed sentence and the entry concerned (UTF-8); empty while nothing failed.
    const std::string& Error() const { return error_; }

private:
    struct Entry {
        std::string name; // normalized, UTF-8
        bool folder;
    };

    bool Fail(const std::string& sentence, const std::string& name);
    bool StartEntry(const Entry& entry);
    bool FinishFile();
    // produced: the bytes of the stream handed out before the manifest.
    void StageManifestAndEnd(uint64_t produced);

    std::filesystem::path folder_;
    std::vector<Entry> entries_;
    size_t nextEntry_ = 0;
    std::unique_ptr<Sha256> digest_;

    std::string staged_; // header, padding or manifest bytes not yet handed out
    size_t stagedOffset_ = 0;

    std::ifstream file_;
    std::string fileName_;
    uint64_t fileSize_ = 0;
    uint64_t fileRemaining_ = 0;
    bool inFile_ = false;

    std::string manifest_;
    bool manifestStaged_ = false;
    uint64_t produced_ = 0;
    bool finished_ = false;
    std::string error_;
};

} // namespace VIRid
