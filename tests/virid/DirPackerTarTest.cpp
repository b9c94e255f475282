// The packer against GNU tar, and a file beyond the ustar size limit. Native build only: these
// need GNU tar and a file system with sparse files.
#ifndef _WIN32

#include "virid/DirPacker.h"

#include "tests/virid/PackerTestTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace packer_test;
using VIRid::DirPacker;

int Shell(const std::string& command) {
    return std::system(command.c_str());
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

class DirPackerTarTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (Shell("tar --version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "GNU tar is not installed";
    }
    ScratchFolder scratch;
};

// Our stream extracted by tar and checked by sha256sum; streams packed by hand (tar of the files,
// then a sha256sum manifest appended last) unpacked by us.
TEST_F(DirPackerTarTest, StreamsGoBothWaysBetweenUsAndGnuTar) {
    ScratchFolder tree;
    MakeSampleTree(tree);
    const fs::path ours = scratch / "stream.tar";
    WriteFile(ours, Pack(tree.Path(), FixedBlocks(1 << 20)));
    const fs::path extracted = scratch.Make("extracted");
    ASSERT_EQ(0, Shell("LC_ALL=C.UTF-8 tar -xf " + Quoted(ours) + " -C " + Quoted(extracted)));
    EXPECT_EQ(ListTree(tree.Path()), ListTree(extracted));
    EXPECT_EQ(0, Shell("cd " + Quoted(extracted) + " && sha256sum --quiet -c SHA256SUMS"));

    ScratchFolder shortNames; // ustar holds no name component over 100 bytes
    fs::copy(tree.Path(), shortNames.Path(), fs::copy_options::recursive);
    fs::remove(shortNames / (std::string(120, 'L') + ".bcp"));
    fs::remove_all(shortNames / std::string(60, 'a'));
    for (const std::string format : {"pax", "ustar", "gnu"}) {
        SCOPED_TRACE(format);
        const fs::path& source = format == "ustar" ? shortNames.Path() : tree.Path();
        const fs::path archive = scratch / (format + ".tar");
        const fs::path sums = scratch.Make("sums-" + format);
        ASSERT_EQ(0, Shell("cd " + Quoted(source) + " && LC_ALL=C.UTF-8 tar --format=" + format +
                           " -cf " + Quoted(archive) +
                           " . && find . -type f -print0 | xargs -0 sha256sum > " +
                           Quoted(sums / "SHA256SUMS") + " && tar --format=" + format + " -rf " +
                           Quoted(archive) + " -C " + Quoted(sums) + " SHA256SUMS"));
        const fs::path out = scratch.Make("from-" + format);
        const Unpacked unpacked = Unpack(ReadFile(archive), out, RandomBlocks(21, 100000));
        ASSERT_EQ(DirPacker::Ok, unpacked.close) << unpacked.error;
        EXPECT_EQ(ListTree(source), ListTree(out));
    }

    // The commands that the README gives for a folder of backup pieces, word for word.
    const fs::path pieces = scratch.Make("pieces");
    WriteFile(pieces / "ORCL-1234567890-20261206-0k1q2r3s_1_1.bcp", RandomBytes(30000, 12));
    WriteFile(pieces / "ORCL-1234567890-20261206-0j1q2r3s_1_1.spfile", "spfile");
    WriteFile(pieces / "PWDORCL.ora", "");
    const std::string tarOnly = "tar -cf ../backup.stream --format=pax -- *";
    ASSERT_EQ(0, Shell("cd " + Quoted(pieces) + " && " + tarOnly));
    const Unpacked withoutManifest =
        Unpack(ReadFile(scratch / "backup.stream"), scratch.Make("no-manifest"), FixedBlocks(4096));
    EXPECT_EQ(L"The backup stream is incomplete: the archive ends without its manifest "
              L"SHA256SUMS, after 'PWDORCL.ora'",
              withoutManifest.error);
    ASSERT_EQ(0, Shell("cd " + Quoted(pieces) + " && " + tarOnly +
                       " && sha256sum -- * > SHA256SUMS && tar -rf ../backup.stream --format=pax "
                       "SHA256SUMS"));
    const fs::path out = scratch.Make("from-readme");
    const Unpacked unpacked = Unpack(ReadFile(scratch / "backup.stream"), out, FixedBlocks(4096));
    ASSERT_EQ(DirPacker::Ok, unpacked.close) << unpacked.error;
    EXPECT_EQ(ListTree(pieces, true), ListTree(out, true));
}

// A file over 8 GiB needs a pax size record. It is sparse here, and comes back sparse.
TEST_F(DirPackerTarTest, FileOverEightGiBRoundTripsAsSparseFile) {
    const fs::path source = scratch.Make("big");
    const uint64_t size = (8ULL << 30) + 4097;
    const fs::path big = source / "huge.bcp";
    std::vector<std::pair<uint64_t, std::string>> marks = {
        {0, "start"}, {(4ULL << 30) + 3, "middle"}, {size - 3, "end"}};
    {
        std::ofstream out(big, std::ios::binary);
        for (const auto& mark : marks) {
            out.seekp(static_cast<std::streamoff>(mark.first));
            out.write(mark.second.data(), static_cast<std::streamsize>(mark.second.size()));
        }
        ASSERT_TRUE(out.good());
    }
    ASSERT_EQ(size, fs::file_size(big));
    const fs::path target = scratch.Make("restored");

    // Through the packer and the unpacker directly, one block at a time: no copy in memory.
    DirPacker packer;
    DirPacker unpacker;
    ASSERT_EQ(DirPacker::Ok, packer.Open(source.wstring(), true));
    ASSERT_EQ(DirPacker::Ok, unpacker.Open(target.wstring(), false));
    std::vector<unsigned char> buffer(1 << 20);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    while (packer.Read(buffer.data(), length) == DirPacker::Ok) {
        ASSERT_EQ(DirPacker::Ok, unpacker.Write(buffer.data(), length)) << unpacker.GetErrorText();
        length = static_cast<uint32_t>(buffer.size());
    }
    EXPECT_EQ(DirPacker::Ok, packer.Close()) << packer.GetErrorText();
    ASSERT_EQ(DirPacker::Ok, unpacker.Close()) << unpacker.GetErrorText();

    const fs::path restored = target / "huge.bcp";
    ASSERT_EQ(size, fs::file_size(restored));
    std::ifstream in(restored, std::ios::binary);
    marks.push_back({marks[1].first - 1, std::string(1, '\0')});
    for (const auto& mark : marks) {
        std::string found(mark.second.size(), 'x');
        in.seekg(static_cast<std::streamoff>(mark.first));
        in.read(&found[0], static_cast<std::streamsize>(found.size()));
        EXPECT_EQ(mark.second, found);
    }
    struct stat status {};
    ASSERT_EQ(0, ::stat(restored.c_str(), &status));
    EXPECT_LT(static_cast<uint64_t>(status.st_blocks) * 512, 64ULL << 20) << "not sparse";
}

} // namespace

#endif
