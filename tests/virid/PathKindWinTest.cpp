#include "tests/virid/PackerTestTree.h"
#include "virid/DirPacker.h"
#include "virid/PathKind.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace packer_test;
using VIRid::DirPacker;
using VIRid::KindOf;
using VIRid::PathKind;

// Symbolic links to a file, to a folder and to nothing: seen as links by their attributes; the
// packer refuses them by name without entering them, and the unpacker never writes through one.
TEST(PathKind, WindowsLinksAreRefusedAndNeverFollowed) {
    ScratchFolder folder;
    const std::wstring source = folder / L"source";
    const std::wstring outside = folder / L"outside";
    ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    WriteFileBytes(outside + L"\\inner.bcp", "outside");
    WriteFileBytes(source + L"\\piece.bcp", "piece");
    EXPECT_EQ(PathKind::Missing, KindOf(source + L"\\none\\deeper"));

    struct Case {
        std::wstring target;
        DWORD flags;
    };
    const Case cases[] = {{outside + L"\\inner.bcp", 0},
                          {outside, SYMBOLIC_LINK_FLAG_DIRECTORY},
                          {folder / L"nothing", 0}};
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.target.begin(), test.target.end()));
        const std::wstring link = source + L"\\link";
        if (!CreateSymbolicLinkW(link.c_str(), test.target.c_str(),
                                 test.flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
            GTEST_SKIP() << "no right to create symbolic links: error " << GetLastError();
        // Wine 8 answers success and creates nothing.
        if (KindOf(link) == PathKind::Missing)
            GTEST_SKIP() << "CreateSymbolicLinkW created no link";
        EXPECT_EQ(PathKind::LinkOrSpecial, KindOf(link));
        DirPacker packer;
        EXPECT_EQ(DirPacker::Failed, packer.Open(source, true));
        EXPECT_EQ(L"The folder holds a link or special file, which cannot be packed: 'link'",
                  packer.GetErrorText());

        // An entry unpacked over the link is refused: nothing is written through it.
        const Unpacked unpacked =
            Unpack(RawFile(test.flags ? "link/x" : "link", "evil") + EndOfArchive(), source,
                   FixedBlocks(4096));
        EXPECT_NE(std::wstring::npos, unpacked.error.find(L"exists already in the folder"));
        EXPECT_NE(std::wstring::npos, unpacked.error.find(L": 'link'")) << unpacked.error;
        const bool removed =
            test.flags ? RemoveDirectoryW(link.c_str()) : DeleteFileW(link.c_str());
        ASSERT_TRUE(removed) << GetLastError();
    }
    EXPECT_EQ("outside", ReadFileBytes(outside + L"\\inner.bcp"));
    EXPECT_FALSE(testing_support::PathExists(folder / L"nothing"));
}

} // namespace
