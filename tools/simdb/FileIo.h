// Whole-file reading and writing and folder helpers for the simulated database files.
#pragma once

#include "virid/Win32Handles.h"

#include <string>
#include <vector>

namespace simoracle {

// Sequential reading of a file that may be larger than memory.
class InputFile {
public:
    explicit InputFile(const std::wstring& path);
    bool Ok() const { return file_.valid(); }
    // Exactly size bytes into bytes; false at a short read.
    bool Read(size_t size, std::string& bytes);
    // Up to size bytes; got 0 at the end.
    bool ReadSome(char* buffer, size_t size, size_t& got);
    bool Skip(unsigned long long size);

private:
    VIRid::UniqueHandle file_;
};

// Exactly size bytes from a reader with InputFile's ReadSome into bytes; false at a short read.
template <typename Reader> bool ReadExactly(Reader& reader, size_t size, std::string& bytes) {
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        size_t got = 0;
        if (!reader.ReadSome(&bytes[done], size - done, got) || got == 0)
            return false;
        done += got;
    }
    return true;
}

// Writing through a temporary file beside the target that replaces it on Commit; without
// Commit the temporary file is removed and the target stays as it was.
class OutputFile {
public:
    explicit OutputFile(const std::wstring& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    bool Ok() const { return file_.valid() && !failed_; }
    bool Write(const char* data, size_t size);
    bool Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }
    bool Commit();

private:
    std::wstring path_;
    std::wstring temporary_;
    VIRid::UniqueHandle file_;
    bool failed_;
};

bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// Writes through a temporary file beside path and then replaces path, so that a reader never
// meets a half-written file.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Overwrites bytes at offset in an existing file, in place.
bool WriteFileAt(const std::wstring& path, unsigned long long offset, const std::string& bytes);
// The size of the file at path; false when it cannot be read.
bool FileSize(const std::wstring& path, unsigned long long& size);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// Creates the folder and any missing parents.
bool CreateFolders(const std::wstring& path);
// The folder part of a path (up to, not including, the last backslash or slash).
std::wstring ParentFolder(const std::wstring& path);
// Names (not paths) of the entries of a folder, files and folders, without "." and "..".
std::vector<std::wstring> ListFolder(const std::wstring& folder, bool folders);
// The folder of the running program, without a trailing backslash.
std::wstring ProgramFolder();
// The text of the last Windows error, as the system words it.
std::wstring LastErrorText();

} // namespace simoracle
