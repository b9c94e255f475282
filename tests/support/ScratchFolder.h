// A fresh, empty folder under the system's temporary folder, removed with everything in it when
// the object goes; and whole files written, read and looked for, as the tests of both builds
// need them.
#pragma once

#include "virid/EntryName.h"
#ifdef _WIN32
#include "virid/FileSystem.h"
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace testing_support {

class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<unsigned> counter{0};
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        do
            path_ = base / ("plugintest-" + std::to_string(std::random_device()()) + "-" +
                            std::to_string(++counter));
        while (!std::filesystem::create_directory(path_));
        text_ = path_.wstring();
    }
    ~ScratchFolder() {
#ifdef _WIN32
        // libstdc++ does not see Windows links, so its remove_all would delete what a link
        // inside points at.
        VIRid::filesystem::DeleteNonEmptyFolder(text_);
#else
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
#endif
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path, without a trailing separator.
    const std::wstring& Path() const {
        return text_;
    }
    // A path below the folder from a relative Windows path.
    std::wstring operator/(const std::wstring& relative) const {
        return text_ + L"\\" + relative;
    }
    // A path below the folder from a UTF-8 name with "/" separators.
    std::filesystem::path operator/(const std::string& name) const {
        return VIRid::entryname::ToPath(path_, name);
    }
    // A new empty subfolder.
    std::filesystem::path Make(const std::string& name) const {
        std::filesystem::create_directories(*this / name);
        return *this / name;
    }

private:
    std::filesystem::path path_;
    std::wstring text_;
};

// Creates or replaces the file; a failure fails the test.
inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.flush().good()) << "a file could not be written";
}

// The whole content of a file; empty when it cannot be read.
inline std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// True for a file, folder or link (not followed) at path.
inline bool PathExists(const std::filesystem::path& path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

} // namespace testing_support
