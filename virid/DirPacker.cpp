#include "virid/DirPacker.h"

#include "virid/EntryName.h"
#include "virid/FolderPacker.h"
#include "virid/StreamUnpacker.h"
#include "virid/Strings.h"

namespace VIRid {

namespace {

std::filesystem::path FolderPath(const std::wstring& folder) {
#ifdef _WIN32
    return std::filesystem::path(folder);
#else
    return std::filesystem::path(strings::WstrToUTF8(folder));
#endif
}

std::string EntryName(const std::wstring& name) {
    return entryname::FromPath(std::filesystem::path(name));
}

std::vector<std::string> EntryNames(const std::vector<std::wstring>& names) {
    std::vector<std::string> entryNames;
    for (const std::wstring& name : names)
        entryNames.push_back(EntryName(name));
    return entryNames;
}

} // namespace

struct DirPacker::State {
    bool packing = false;
    FolderPacker packer;
    StreamUnpacker unpacker;
    bool closed = false;
    int closeResult = Ok;
    std::string error; // set here for failures of the packer object itself

    const std::string& Error() const {
        if (!error.empty())
            return error;
        return packing ? packer.Error() : unpacker.Error();
    }
};

DirPacker::DirPacker() = default;
DirPacker::DirPacker(const DirPacker& other) = default;
DirPacker& DirPacker::operator=(const DirPacker& other) = default;
DirPacker::~DirPacker() = default;

int DirPacker::Open(const std::wstring& folder, bool pack,
                    const std::vector<std::wstring>& lastFiles) {
    state_ = std::make_shared<State>();
    state_->packing = pack;
    const std::filesystem::path path = FolderPath(folder);
    const bool opened =
        pack ? state_->packer.Open(path, EntryNames(lastFiles)) : state_->unpacker.Open(path);
    return opened ? Ok : Failed;
}

int DirPacker::OpenStreamed(const std::wstring& folder) {
    state_ = std::make_shared<State>();
    state_->packing = true;
    return state_->packer.OpenStreamed(FolderPath(folder)) ? Ok : Failed;
}

int DirPacker::AddFile(const std::wstring& name) {
    if (!state_ || !state_->packing || state_->closed)
        return Failed;
    return state_->packer.Add(EntryName(name)) ? Ok : Failed;
}

int DirPacker::FinishFiles(const std::vector<std::wstring>& lastFiles) {
    if (!state_ || !state_->packing || state_->closed)
        return Failed;
    return state_->packer.Finish(EntryNames(lastFiles)) ? Ok : Failed;
}

uint64_t DirPacker::FilesDone() const {
    return state_ ? state_->packer.FilesDone() : 0;
}

uint64_t DirPacker::BytesDone() const {
    return state_ ? state_->packer.BytesDone() : 0;
}

int DirPacker::Read(unsigned char* buffer, uint32_t& size) {
    if (state_ && state_->packing && state_->closed) {
        size = 0;
        return state_->packer.Finished() ? EndOfStream : Failed;
    }
    if (!state_ || !state_->packing) {
        size = 0;
        if (state_ && state_->error.empty())
            state_->error = "The backup stream was read from a packer that is not open for "
                            "packing";
        return Failed;
    }
    switch (state_->packer.Read(buffer, size)) {
    case FolderPacker::Result::Data:
        return Ok;
    case FolderPacker::Result::End:
        return EndOfStream;
    case FolderPacker::Result::NeedsFile:
        return NeedsFile;
    case FolderPacker::Result::Failed:
        break;
    }
    return Failed;
}

int DirPacker::Write(const unsigned char* buffer, uint32_t& size) {
    if (!state_ || state_->packing) {
        if (state_ && state_->error.empty())
            state_->error = "The backup stream was written to a packer that is not open for "
                            "unpacking";
        return Failed;
    }
    if (buffer == nullptr && size > 0) {
        if (state_->error.empty())
            state_->error = "The backup stream was written from no buffer";
        return Failed;
    }
    return state_->unpacker.Write(buffer, size) ? Ok : Failed;
}

int DirPacker::Close() {
    if (!state_)
        return Failed;
    if (state_->closed)
        return state_->closeResult;
    state_->closed = true;
    bool complete = false;
    if (state_->packing) {
        complete = state_->packer.Finished();
        state_->packer.Stop();
        if (!complete && state_->packer.Error().empty())
            state_->error = "The backup stream was not read to its end";
    } else {
        complete = state_->unpacker.Close();
    }
    state_->closeResult = complete ? Ok : Failed;
    return state_->closeResult;
}

std::wstring DirPacker::GetErrorText() const {
    if (!state_)
        return L"";
    return strings::UTF8toWstr(state_->Error());
}

} // namespace VIRid
