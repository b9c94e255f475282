// Unpacks a pax stream, fed in pieces of any size, into a folder: a state machine over the
// stream's headers, extended headers and data. File data goes to disk as it arrives, with its
// SHA-256 digest computed on the way. The stream must end with a "SHA256SUMS" manifest that
// lists every file exactly once, checked against those digests line by line as it arrives, then
// the end-of-archive marker; a stream without it, or with an empty one, fails.
//
// Nothing is created outside the folder: unsafe names, links and special files fail the
// stream, and no existing file is overwritten. After a failure every further byte is refused.
#pragma once

#include "virid/PaxFormat.h"
#include "virid/Sha256.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace VIRid {

class StreamUnpacker {
public:
    // The folder must exist. False, with Error set, when it does not.
    [[nodiscard]] bool Open(const std::filesystem::path& folder);

    // Takes the next size bytes of the stream. False on failure (now or before).
    [[nodiscard]] bool Write(const unsigned char* data, size_t size);

    // True only when the end of the archive arrived, every file is whole on disk and every
    // digest matched. Fails a stream that is still incomplete; the same answer on every call.
    [[nodiscard]] bool Close();

    // A fixed sentence and the entry concerned (UTF-8); empty while nothing failed.
    const std::string& Error() const { return error_; }

private:
    enum class State {
        NotOpen,
        Header,         // collecting a 512-byte header
        ExtensionBody,  // the body of a pax extended header or a GNU long name
        FileData,       // data of a file (or of the manifest)
        SkipData,       // padding, or data that a folder entry carries
        SecondEndBlock, // after the first zero block
        AfterEnd,       // the archive ended: only zero padding may follow
        Closed,         // closed after a complete stream
        Failed,
    };

    bool Fail(const std::string& sentence, const std::string& name);
    // Fails with the sentence and where in the stream: after the last entry, or at the start.
    bool FailAfter(const std::string& sentence);
    // The current file could not be written: fails with the system's reason (errno).
    bool FailWriting();
    bool Incomplete();
    bool OnHeader();
    bool OnExtensionBody();
    bool StartFile(const std::string& name, uint64_t size);
    bool StartFolder(const std::string& name, uint64_t size);
    bool FinishFile();
    bool TakeFileData(const unsigned char* data, size_t size);
    bool WriteToDisk(const unsigned char* data, size_t size);
    bool TakeManifestText(const unsigned char* data, size_t size);
    bool CheckManifestLine(const std::string& line);
    bool FinishManifest();
    // Makes the folders of a relative name below the job folder, refusing any link met.
    bool MakeFolders(const std::string& name, bool includingLast);

    std::filesystem::path folder_;
    State state_ = State::NotOpen;
    std::string error_;
    std::string lastName_; // the last entry seen, for the texts

    unsigned char block_[pax::kBlockSize] = {};
    size_t blockFill_ = 0;

    char extensionType_ = 0; // 'x', 'g' or 'L' while its body is read
    std::string extensionBody_;
    uint64_t extensionRemaining_ = 0;
    pax::Records pending_;
    std::optional<std::string> pendingLongName_;

    Sha256 digest_;
    std::ofstream file_;
    std::filesystem::path filePath_;
    std::string fileName_;
    uint64_t fileSize_ = 0;
    uint64_t fileRemaining_ = 0;
    uint64_t hole_ = 0; // zero bytes not yet written: left as a hole where the file system can
    uint64_t skipRemaining_ = 0;

    std::map<std::string, Sha256::Digest> digests_; // every file unpacked so far
    bool inManifest_ = false;
    bool manifestDone_ = false;
    std::string manifestLine_;
    std::set<std::string> listed_;
};

} // namespace VIRid
