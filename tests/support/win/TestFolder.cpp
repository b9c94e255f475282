#include "tests/support/win/TestFolder.h"

#include "tools/simdb/FileIo.h"
#include "virid/FileSystem.h"

#include <atomic>

namespace testing_support {

TestFolder::TestFolder() {
    static std::atomic<unsigned> counter(0);
    wchar_t base[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, base);
    std::wstring root(base, length);
    if (!root.empty() && root.back() == L'\\')
        root.pop_back();
    for (;;) {
        path_ = root + L"\\plugintest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr))
            break;
    }
}

TestFolder::~TestFolder() {
    VIRid::filesystem::DeleteNonEmptyFolder(path_);
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    return simoracle::ReadFileBytes(path, bytes) ? bytes : std::string();
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace testing_support
