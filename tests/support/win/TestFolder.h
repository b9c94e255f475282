// A fresh, empty folder under the system's temporary folder, removed with everything in it when
// the object goes.
#pragma once

#include "tools/simdb/FileIo.h"

#include <string>

namespace testing_support {

class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // The folder's path, without a trailing backslash.
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Writes bytes to a file, creating or replacing it; returns false on failure.
using simoracle::WriteFileBytes;
// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);

} // namespace testing_support
