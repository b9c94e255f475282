#include "tests/support/ScratchFolder.h"
#include "virid/FileSystem.h"

#include "virid/Win32Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace testing_support;
using namespace VIRid::filesystem;

// A file held open makes the delete fail but the rest goes; released, the whole tree goes.
TEST(FileSystem, DeletesANestedTreeWithReadOnlyFilesOnceNoFileIsHeld) {
    ScratchFolder parent;
    const std::wstring root = parent / L"tree";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    // First in the folder by name and by age: the files after it must go all the same.
    WriteFileBytes(root + L"\\held.txt", "h");
    VIRid::UniqueFileHandle held(CreateFileW((root + L"\\held.txt").c_str(), GENERIC_READ, 0,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    std::wstring deep = root;
    for (int level = 0; level < 6; ++level) {
        deep += L"\\level " + std::to_wstring(level);
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
        WriteFileBytes(deep + L"\\data.bin", std::string(1000, 'd'));
        const std::wstring readOnly = deep + L"\\read-only \u00e9.txt";
        WriteFileBytes(readOnly, "r");
        ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    ASSERT_TRUE(CreateDirectoryW((root + L"\\empty").c_str(), nullptr));
    // A file is never taken for a folder.
    EXPECT_FALSE(DeleteNonEmptyFolder(deep + L"\\data.bin"));
    EXPECT_TRUE(PathExists(deep + L"\\data.bin"));
    EXPECT_FALSE(DeleteNonEmptyFolder(root));
    EXPECT_FALSE(PathExists(root + L"\\level 0")); // with its read-only files
    held.reset();
    EXPECT_TRUE(DeleteNonEmptyFolder(root));
    EXPECT_FALSE(PathExists(root));
    EXPECT_TRUE(IsFolderExists(parent.Path().c_str()));
}

} // namespace
