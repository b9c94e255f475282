#include "tools/simdb/FileIo.h"

#include "virid/Win32Handles.h"

#include <algorithm>

namespace simoracle {

namespace {

VIRid::UniqueHandle OpenFile(const std::wstring& path, DWORD access, DWORD disposition) {
    HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return VIRid::UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

} // namespace

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    VIRid::UniqueHandle file = OpenFile(path, GENERIC_READ, OPEN_EXISTING);
    if (!file)
        return false;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0)
        bytes.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[65536];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        bytes.append(buffer, got);
    }
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    const std::wstring temporary = path + L".new";
    {
        VIRid::UniqueHandle file = OpenFile(temporary, GENERIC_WRITE, CREATE_ALWAYS);
        if (!file)
            return false;
        size_t done = 0;
        while (done < bytes.size()) {
            const DWORD part = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
            DWORD written = 0;
            if (!WriteFile(file.get(), bytes.data() + done, part, &written, nullptr) ||
                written == 0) {
                file.reset();
                DeleteFileW(temporary.c_str());
                return false;
            }
            done += written;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
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
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    return L"(OS " + std::to_wstring(code) + L") " + message;
}

} // namespace simoracle
