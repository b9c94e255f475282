#include "rman/FolderFiles.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(FolderFiles, ListsTheFilesOfTheFolderWithTheirTimes) {
    testing_support::ScratchFolder folder;
    testing_support::WriteFileBytes(folder / L"a.controlfile", "a");
    testing_support::WriteFileBytes(folder / L"b.bcp", "b");
    ASSERT_TRUE(CreateDirectoryW((folder / L"sub.controlfile").c_str(), nullptr));
    testing_support::WriteFileBytes(folder / L"sub.controlfile\\c.controlfile", "c");

    // The names are what every restore job reads; what is checked here is what it cannot see.
    const std::vector<FolderFile> files = ListFolderFiles(folder.Path());
    ASSERT_EQ(2u, files.size()) << "the subfolder is no file";
    EXPECT_NE(0u, files[0].modified);
    EXPECT_TRUE(ListFolderFiles(folder / L"missing").empty());
}

} // namespace
