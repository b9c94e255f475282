#include "virid/FileSystem.h"

#include "virid/Win32Handles.h"

namespace VIRid {
namespace filesystem {

namespace {

// Paths past MAX_PATH need the extended-length prefix; it only applies to absolute paths.
std::wstring Extended(const std::wstring& path) {
    if (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
        return L"\\\\?\\" + path;
    return path;
}

bool RemoveEntry(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return RemoveDirectoryW(path.c_str()) != 0;
    return DeleteFileW(path.c_str()) != 0;
}

bool DeleteTree(const std::wstring& path, DWORD attributes) {
    // A reparse point (junction, symbolic link, mount point) is removed itself, never entered.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return RemoveEntry(path, attributes);

    bool allRemoved = true;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search(FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, 0));
    if (search) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (!DeleteTree(path + L"\\" + name, entry.dwFileAttributes))
                allRemoved = false;
        } while (FindNextFileW(search.get(), &entry));
    }
    search.reset();
    return RemoveEntry(path, attributes) && allRemoved;
}

} // namespace

bool IsFolderExists(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFileExists(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DeleteNonEmptyFolder(const std::wstring& path) {
    if (path.empty())
        return false;
    const std::wstring extended = Extended(path);
    const DWORD attributes = GetFileAttributesW(extended.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;
    return DeleteTree(extended, attributes);
}

std::wstring FullPathName(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return std::wstring();
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return std::wstring();
    full.resize(length);
    return full;
}

} // namespace filesystem
} // namespace VIRid
