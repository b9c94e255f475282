// Packs a folder tree into one byte stream and unpacks such a stream into a folder.
//
// The stream is a POSIX pax archive of the folder's files and subfolders (sorted, a folder
// before its content), names relative to the folder, closed by a "SHA256SUMS" manifest of every
// file before it (sha256sum format). Any standard tar tool can list and extract it, and
// "sha256sum -c SHA256SUMS" checks the extracted files. Unpacking takes any pax, ustar or GNU
// archive of regular files and folders whose last entry is such a manifest, listing every file
// exactly once: a stream packed by hand with tar, then "sha256sum" output appended last. A stream
// without a manifest, or with an empty one, fails, whatever its framing.
//
// Files are streamed from and to disk, each read once; memory stays bounded whatever the sizes.
// Unpacking creates nothing outside its folder: unsafe names, links and special files fail the
// stream, and an existing file is never overwritten.
//
// A packer is opened once, for packing (Read gives the stream) or for unpacking (Write takes it);
// opening it again starts a new stream for this object only. Copies share one open stream: the
// copy may be used after the original is gone. Destroying the last copy without Close abandons
// the stream (its files are released; an unpacked folder is left as it is).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace VIRid {

class DirPacker {
public:
    enum : int {
        Ok = 0,
        Failed = 1,
        EndOfStream = 38, // the Windows code for the end of a file
        NeedsFile = 2,    // streamed packing: every file given has been handed out (size 0)
    };

    DirPacker();
    DirPacker(const DirPacker& other);
    DirPacker& operator=(const DirPacker& other);
    virtual ~DirPacker();

    // pack true: the folder's contents become the source of Read. pack false: bytes given to
    // Write are unpacked into the folder, which must exist. Failed (with a text) when the folder
    // does not exist or holds something that the stream cannot carry (a link, a special file, a
    // name unsafe on Windows, a file named SHA256SUMS at its top); Read then fails too.
    // lastFiles (packing): files at the folder's top that the stream carries last, just before
    // its manifest, in the order given; the other entries keep theirs. A name that is not there
    // is passed over.
    [[nodiscard]] int Open(const std::wstring& folder, bool pack,
                           const std::vector<std::wstring>& lastFiles = {});

    // Streamed packing of folder: the files are given one by one with AddFile as they become
    // complete on disk (no process writes them any more), each streamed in the order given and
    // removed from the folder once Read has handed it out entirely; FinishFiles then adds the
    // folder's other entries (lastFiles last, as Open orders them) and the manifest. Read answers
    // NeedsFile while it waits for the next file.
    [[nodiscard]] int OpenStreamed(const std::wstring& folder);
    // A file at the folder's top, by name. Failed (with a text) for a name that the stream
    // cannot carry, one given before, or after FinishFiles.
    [[nodiscard]] int AddFile(const std::wstring& name);
    [[nodiscard]] int FinishFiles(const std::vector<std::wstring>& lastFiles = {});
    // The files that Read has handed out entirely, and their bytes.
    uint64_t FilesDone() const;
    uint64_t BytesDone() const;

    // size: the buffer's capacity in, the bytes produced out. Ok while bytes were produced;
    // EndOfStream with size 0 once the stream is exhausted, and on every later call; NeedsFile
    // (size 0) as above.
    [[nodiscard]] int Read(unsigned char* buffer, uint32_t& size);

    // Takes exactly size bytes, in any cut of the stream. A failed packer refuses further
    // writes. EndOfStream is never answered to a write: bytes after the end are a failure.
    [[nodiscard]] int Write(const unsigned char* buffer, uint32_t& size);

    // Ok only when the stream is complete: packing, Read has delivered all of it; unpacking,
    // the manifest listed every file, the end of the archive followed it, every file is whole on
    // disk and every digest matched.
    // Releases the files in use. Every later Close gives the same answer.
    [[nodiscard]] int Close();

    // Why the packer failed, a fixed sentence with the entry concerned, for the host's log;
    // empty when it has not.
    std::wstring GetErrorText() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace VIRid
