#include "tools/simdb/FileIo.h"

#include "virid/SystemError.h"

#include <algorithm>

namespace simoracle {

namespace {

VIRid::UniqueHandle OpenFile(const std::wstring& path, DWORD access, DWORD disposition) {
    HANDLE file =
        CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return VIRid::UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

} // namespace

InputFile::InputFile(const std::wstring& path)
    : file_(OpenFile(path, GENERIC_READ, OPEN_EXISTING)) {}

bool InputFile::ReadSome(char* buffer, size_t size, size_t& got) {
    DWORD read = 0;
    const bool ok =
        file_ && ReadFile(file_.get(), buffer, static_cast<DWORD>(std::min<size_t>(size, 1 << 20)),
                          &read, nullptr);
    got = read;
    return ok;
}

bool InputFile::Read(size_t size, std::string& bytes) {
    return ReadExactly(*this, size, bytes);
}

bool InputFile::Skip(unsigned long long size) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(size);
    return file_ && SetFilePointerEx(file_.get(), distance, nullptr, FILE_CURRENT);
}

OutputFile::OutputFile(const std::wstring& path)
    : path_(path), temporary_(path + L".new"),
      file_(OpenFile(temporary_, GENERIC_WRITE, CREATE_ALWAYS)), failed_(false) {}

OutputFile::~OutputFile() {
    if (file_) {
        file_.reset();
        DeleteFileW(temporary_.c_str());
    }
}

bool OutputFile::Write(const char* data, size_t size) {
    size_t done = 0;
    while (Ok() && done < size) {
        const DWORD part = static_cast<DWORD>(std::min<size_t>(size - done, 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file_.get(), data + done, part, &written, nullptr) || written == 0)
            failed_ = true;
        done += written;
    }
    return Ok();
}

bool OutputFile::Commit() {
    if (!Ok())
        return false;
    file_.reset();
    if (!MoveFileExW(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary_.c_str());
        return false;
    }
    return true;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    InputFile file(path);
    if (!file.Ok())
        return false;
    char buffer[65536];
    for (;;) {
        size_t got = 0;
        if (!file.ReadSome(buffer, sizeof buffer, got))
            return false;
        if (got == 0)
            return true;
        bytes.append(buffer, got);
    }
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    OutputFile file(path);
    return file.Write(bytes) && file.Commit();
}

bool WriteFileAt(const std::wstring& path, unsigned long long offset, const std::string& bytes) {
    VIRid::UniqueHandle file = OpenFile(path, GENERIC_WRITE, OPEN_EXISTING);
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD written = 0;
    return file && SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN) &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

bool FileSize(const std::wstring& path, unsigned long long& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateFolders(const std::wstring& path) {
    if (path.empty())
        return false;
    if (FolderExists(path))
        return true;
    const std::wstring parent = ParentFolder(path);
    if (!parent.empty() && parent != path && !(parent.size() == 2 && parent[1] == L':') &&
        !CreateFolders(parent))
        return false;
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring ParentFolder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::vector<std::wstring> ListFolder(const std::wstring& folder, bool folders) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE found = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (found == INVALID_HANDLE_VALUE)
        return names;
    VIRid::UniqueFindHandle search(found);
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folders)
            names.push_back(name);
    } while (FindNextFileW(search.get(), &data));
    return names;
}

std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return ParentFolder(path);
}

std::wstring LastErrorText() {
    const DWORD code = GetLastError();
    return L"(OS " + std::to_wstring(code) + L") " + VIRid::system::ErrorText(code);
}

} // namespace simoracle
