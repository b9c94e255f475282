#include "rman/FolderFiles.h"

#include "virid/Win32Handles.h"

std::vector<FolderFile> ListFolderFiles(const std::wstring& folder) {
    std::vector<FolderFile> files;
    WIN32_FIND_DATAW entry;
    VIRid::UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!find)
        return files;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        const std::uint64_t modified =
            (static_cast<std::uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
            entry.ftLastWriteTime.dwLowDateTime;
        const std::uint64_t size =
            (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        files.push_back(FolderFile{entry.cFileName, modified, size});
    } while (FindNextFileW(find.get(), &entry));
    return files;
}

std::uint64_t FolderBytes(const std::wstring& folder) {
    std::uint64_t bytes = 0;
    for (const FolderFile& file : ListFolderFiles(folder))
        bytes += file.size;
    return bytes;
}
