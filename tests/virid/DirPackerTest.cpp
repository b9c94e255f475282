#include "virid/DirPacker.h"

#include "tests/virid/PackerTestTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>
#ifndef _WIN32
#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

using namespace packer_test;
using VIRid::DirPacker;

class DirPackerTest : public ::testing::Test {
protected:
    ScratchFolder scratch;
    fs::path source = scratch.Make("source");
    fs::path target = scratch.Make("target");

    // Unpacks into a fresh target folder, holding only the file existing if named.
    Unpacked UnpackIntoTarget(const std::string& stream,
                              const std::function<uint32_t()>& blocks = FixedBlocks(1 << 20),
                              const std::string& existing = "") {
        std::error_code ignored;
        fs::remove_all(target, ignored);
        fs::create_directory(target);
        if (!existing.empty())
            WriteFileBytes(target / existing, "mine");
        return Unpack(stream, target, blocks);
    }

    // write: the result that the writing must have ended with, unless -1.
    void ExpectFailure(const Unpacked& unpacked, const std::wstring& part, int write = -1) {
        EXPECT_EQ(DirPacker::Failed, unpacked.close);
        EXPECT_TRUE(write == -1 || write == unpacked.write) << unpacked.write;
        EXPECT_NE(std::wstring::npos, unpacked.error.find(part))
            << "the text was: " << unpacked.error;
    }
};

TEST_F(DirPackerTest, RoundTripsInAnyBlockSizesGiveTheSameTree) {
    MakeSampleTree(source);
    const Unpacked unpacked =
        UnpackIntoTarget(Pack(source, RandomBlocks(1, 70000)), RandomBlocks(11, 70000));
    ASSERT_EQ(DirPacker::Ok, unpacked.close) << unpacked.error;
    EXPECT_EQ(ListTree(source), ListTree(target));
}

// Files named to go last follow all others, in the order named, before the manifest; a folder or
// a name that is not there changes nothing.
TEST_F(DirPackerTest, StreamIsSortedFoldersFirstAndEndsWithTheManifest) {
    scratch.Make("source/a");
    WriteFileBytes(source / "a/b", "1");
    WriteFileBytes(source / "a b", "2");
    WriteFileBytes(source / "B", "3"); // upper case sorts first; "A" would be "a" on Windows
    WriteFileBytes(source / "x", "x");
    const std::string first = Pack(source, FixedBlocks(1 << 20));
    EXPECT_EQ((std::vector<std::string>{"B", "a/", "a/b", "a b", "x", "SHA256SUMS"}),
              Walk(first).names);
    EXPECT_EQ(0u, first.size() % VIRid::pax::kRecordSize);
    EXPECT_TRUE(first == Pack(source, RandomBlocks(4, 999))) << "not the same";
    EXPECT_EQ(
        (std::vector<std::string>{"a/", "a/b", "x", "B", "a b", "SHA256SUMS"}),
        Walk(Pack(source, FixedBlocks(1 << 20), nullptr, {L"B", L"missing", L"a", L"a b"})).names);
}

// Reads a streamed packer until it needs the next file (or ends); the bytes it gave.
std::string ReadUntilItWaits(DirPacker& packer, int& result, uint32_t block) {
    std::string bytes(block, '\0');
    std::string stream;
    for (;;) {
        uint32_t size = block;
        result = packer.Read(reinterpret_cast<unsigned char*>(&bytes[0]), size);
        if (result != DirPacker::Ok)
            return stream;
        stream.append(bytes, 0, size);
    }
}

// Files given while others are still being written go out in the order given, each once, and
// leave the folder as soon as they have been handed out; the rest of the folder follows at the
// end, the files named last before the manifest. The stream unpacks like any other.
TEST_F(DirPackerTest, AStreamedPackingTakesFilesAsTheyComeAndRemovesEachOnceHandedOut) {
    for (const uint32_t block : {1u, 777u, 1u << 20}) {
        SCOPED_TRACE(block);
        fs::remove_all(source);
        fs::create_directory(source);
        WriteFileBytes(source / "z-piece1", std::string(3000, 'a'));
        WriteFileBytes(source / "growing", "half");
        DirPacker packer;
        ASSERT_EQ(DirPacker::Ok, packer.OpenStreamed(source.wstring()));
        int result = DirPacker::Ok;
        EXPECT_EQ("", ReadUntilItWaits(packer, result, block));
        EXPECT_EQ(DirPacker::NeedsFile, result);
        ASSERT_EQ(DirPacker::Ok, packer.AddFile(L"z-piece1"));
        std::string stream = ReadUntilItWaits(packer, result, block);
        EXPECT_EQ(DirPacker::NeedsFile, result);
        EXPECT_FALSE(fs::exists(source / "z-piece1"));
        EXPECT_EQ(1u, packer.FilesDone());
        EXPECT_EQ(3000u, packer.BytesDone());
        WriteFileBytes(source / "growing", "whole now");
        WriteFileBytes(source / "a-piece2", "second");
        WriteFileBytes(source / "DESCRIPTION", "said last");
        // Given and finished before it was read: it goes out once, in its place.
        ASSERT_EQ(DirPacker::Ok, packer.AddFile(L"a-piece2"));
        ASSERT_EQ(DirPacker::Ok, packer.FinishFiles({L"DESCRIPTION"}));
        stream += ReadUntilItWaits(packer, result, block);
        EXPECT_EQ(DirPacker::EndOfStream, result);
        EXPECT_EQ(DirPacker::Ok, packer.Close()) << packer.GetErrorText();
        EXPECT_EQ((std::vector<std::string>{"z-piece1", "a-piece2", "growing", "DESCRIPTION",
                                            "SHA256SUMS"}),
                  Walk(stream).names);
        EXPECT_EQ((std::map<std::string, std::string>{{"DESCRIPTION", "said last"},
                                                      {"growing", "whole now"}}),
                  ListTree(source))
            << "only the files given leave the folder";
        const Unpacked unpacked = UnpackIntoTarget(stream);
        ASSERT_EQ(DirPacker::Ok, unpacked.close) << unpacked.error;
        EXPECT_EQ((std::map<std::string, std::string>{{"DESCRIPTION", "said last"},
                                                      {"a-piece2", "second"},
                                                      {"growing", "whole now"},
                                                      {"z-piece1", std::string(3000, 'a')}}),
                  ListTree(target));
    }
}

// A file given twice, one the stream cannot carry, one that is not there, or one given after the
// end fails the stream with the reason; nothing more is handed out and the stream never gets its
// manifest.
TEST_F(DirPackerTest, AStreamedPackingRefusesFilesItCannotTakeOnce) {
    const struct {
        std::vector<std::wstring> given;
        std::wstring reason;
    } cases[] = {
        {{L"p", L"p"}, L"twice"},
        {{L"SHA256SUMS"}, L"manifest"},
        {{L"sub/p"}, L"cannot carry"},
        {{L"missing"}, L"Can't open the file"},
        {{L"<finish>", L"p"}, L"after its end"},
    };
    WriteFileBytes(source / "p", "piece");
    scratch.Make("source/sub");
    WriteFileBytes(source / "sub/p", "piece");
    WriteFileBytes(source / "SHA256SUMS", "x");
    // The folder that is finished holds nothing that the stream refuses.
    WriteFileBytes(target / "p", "piece");
    for (const auto& entry : cases) {
        SCOPED_TRACE(testing::PrintToString(entry.reason));
        DirPacker packer;
        const bool finishes = entry.given.front() == L"<finish>";
        ASSERT_EQ(DirPacker::Ok, packer.OpenStreamed((finishes ? target : source).wstring()));
        int result = DirPacker::Ok;
        for (const std::wstring& name : entry.given) {
            if (name == L"<finish>")
                EXPECT_EQ(DirPacker::Ok, packer.FinishFiles());
            else if (packer.AddFile(name) == DirPacker::Ok)
                ReadUntilItWaits(packer, result, 1 << 20);
        }
        std::string rest = ReadUntilItWaits(packer, result, 1 << 20);
        EXPECT_EQ(DirPacker::Failed, result);
        EXPECT_EQ("", rest);
        EXPECT_EQ(DirPacker::Failed, packer.Close());
        EXPECT_NE(std::wstring::npos, packer.GetErrorText().find(entry.reason))
            << testing::PrintToString(packer.GetErrorText());
        WriteFileBytes(source / "p", "piece");
    }
}

// A packer answers only in the direction that it was opened for (the jobs pass every Read and
// Write of the host to their packer, whichever way it was opened), and not after a failed Open.
TEST_F(DirPackerTest, WrongUseAndFoldersThatTheStreamCannotCarryFailWithAText) {
    WriteFileBytes(source / "x", "x");
    DirPacker packer;
    ASSERT_EQ(DirPacker::Ok, packer.Open(source.wstring(), true));
    std::vector<unsigned char> buffer(1 << 20);
    uint32_t size = static_cast<uint32_t>(buffer.size());
    ASSERT_EQ(DirPacker::Ok, packer.Read(buffer.data(), size));
    for (int call = 0; call < 2; ++call) {
        size = 4096;
        EXPECT_EQ(DirPacker::EndOfStream, packer.Read(buffer.data(), size));
        EXPECT_EQ(0u, size);
    }
    EXPECT_EQ(DirPacker::Ok, packer.Close());
    EXPECT_EQ(L"", packer.GetErrorText());
    EXPECT_EQ(DirPacker::Failed, packer.Write(buffer.data(), size));
    EXPECT_NE(L"", packer.GetErrorText());

    DirPacker failed;
    EXPECT_EQ(DirPacker::Failed, failed.Open((scratch / "missing").wstring(), true));
    EXPECT_NE(std::wstring::npos, failed.GetErrorText().find(L"does not exist"));
    EXPECT_EQ(DirPacker::Failed, failed.Read(buffer.data(), size));
    DirPacker unpacking;
    ASSERT_EQ(DirPacker::Ok, unpacking.Open(target.wstring(), false));
    size = 1;
    EXPECT_EQ(DirPacker::Failed, unpacking.Read(buffer.data(), size));
    EXPECT_EQ(0u, size);

    // The manifest's name, and on other systems only (links need rights on Windows, which
    // holds no such name) a device name and a link, refused in turn by the packer that failed
    // above.
    const std::pair<std::string, std::wstring> refused[] = {
        {"SHA256SUMS", L"The folder holds a file of the name that the backup stream keeps for its "
                       L"manifest: 'SHA256SUMS'"},
#ifndef _WIN32
        {"nul.txt", L"The folder holds a name that the backup stream cannot carry: 'nul.txt'"},
        {"link.bcp",
         L"The folder holds a link or special file, which cannot be packed: 'link.bcp'"},
#endif
    };
    for (const auto& entry : refused) {
        fs::remove_all(source);
        fs::create_directory(source);
        if (entry.first == "link.bcp")
            fs::create_symlink("target", source / entry.first);
        else
            WriteFileBytes(source / entry.first, "mine");
        EXPECT_EQ(DirPacker::Failed, failed.Open(source.wstring(), true));
        size = 512;
        EXPECT_EQ(DirPacker::Failed, failed.Read(buffer.data(), size));
        EXPECT_EQ(0u, size);
        EXPECT_EQ(DirPacker::Failed, failed.Close());
        EXPECT_EQ(entry.second, failed.GetErrorText());
    }
}

std::string PaxHeader(const std::string& body) {
    return RawHeader("PaxHeaders/x", 'x', body.size()) + Padded(body);
}

std::string PaxPath(const std::string& path) {
    const std::string record = " path=" + path + "\n";
    std::string length = std::to_string(record.size() + 2);
    if (length.size() != 2)
        length = std::to_string(record.size() + length.size());
    return PaxHeader(length + record);
}

// Every cut and every flipped byte of a good stream, malformed manifests and framing, links and
// hostile names: refused with the reason. Nothing of theirs may pass for a backup or land
// anywhere, and what they leave behind can be removed.
TEST_F(DirPackerTest, DamagedAndMalformedStreamsAreRefusedWithTheReason) {
    scratch.Make("source/folder");
    WriteFileBytes(source / "folder/piece.bcp", RandomBytes(2000, 6));
    WriteFileBytes(source / ("long-" + std::string(150, 'n')), "named in a pax record");
    WriteFileBytes(source / "x", "x");
    const std::string packed = Pack(source, FixedBlocks(1 << 20));
    const StreamLayout layout = Walk(packed);
    ASSERT_EQ(5u, layout.names.size());

    // A byte of the stream changed.
    const auto flipped = [&packed](size_t offset) {
        std::string damaged = packed;
        damaged[offset] ^= 0x04;
        return damaged;
    };
    const size_t manifestData = layout.dataOffsets[4];
    const std::string x = SumLine("x", "x");
    const std::string e = SumLine("e", "");
    const std::string digestOfX = x.substr(0, 64);
    std::string lastDigitChanged = x;
    lastDigitChanged[63] = lastDigitChanged[63] == '0' ? '1' : '0';
    const auto withManifest = [](const std::string& manifest) {
        return RawFile("x", "x") + RawFile("e", "") + RawFile("SHA256SUMS", manifest) +
               EndOfArchive();
    };
    const std::string manifestOfX = RawFile("x", "x") + RawFile("SHA256SUMS", x);
    struct Case {
        std::string stream;
        std::wstring text; // empty: accepted
        bool failsOnWrite = true;
    };
    std::vector<Case> cases = {
        // Up to the end-of-archive marker the stream is whole; the record padding is optional.
        {packed.substr(0, layout.end), L""},
        {packed.substr(0, layout.dataOffsets[1] + 10),
         L"The backup stream is incomplete: it ends inside the data of 'folder/piece.bcp'", false},
        // Cut just before its manifest and closed again by a tool: refused all the same.
        {packed.substr(0, layout.dataOffsets[4] - 512) + EndOfArchive(),
         L"The backup stream is incomplete: the archive ends without its manifest SHA256SUMS, "
         L"after 'x'"},
        {flipped(layout.dataOffsets[1] + 1500),
         L"the digest does not match the manifest for 'folder/piece.bcp'"},
        {flipped(layout.dataOffsets[1] - 512 + 3),
         L"the checksum of a header does not match, after 'folder'"},
        // Extended header bodies carry no checksum: the manifest catches the changed name. The
        // body is one block, before the entry's ustar header.
        {flipped(layout.dataOffsets[2] - 1024 + 20),
         L"the manifest names a file that is not in the stream: 'long-nnn"},
        {flipped(manifestData + 64 + 2 + 3),
         L"the manifest names a file that is not in the stream"},
        {flipped(manifestData + 64), L"the manifest has a malformed line"},
        // The manifest must list every file exactly once.
        {withManifest(""), L"the manifest lists no file"},
        {withManifest(x), L"the manifest does not list 'e'"},
        {withManifest(x + e + x), L"the manifest lists a file twice: 'x'"},
        {withManifest(x + e.substr(0, e.size() - 1)),
         L"the manifest does not end with a line break"},
        // Every digit of a digest counts, the last one too.
        {withManifest(e + lastDigitChanged), L"the digest does not match the manifest for 'x'"},
        {withManifest(digestOfX + "  ../x\n" + e), L"malformed line"},
        {withManifest(e + x), L""},                   // in any order
        {withManifest(e + digestOfX + " *x\n"), L""}, // the binary-mode mark of sha256sum
        // It must be there, as the last entry, and only the end of the archive may follow.
        {packed + "garbage", L"data follows the end of the archive, after 'SHA256SUMS'"},
        {packed.substr(0, layout.end - 1024) + RawFile("late", "late") + EndOfArchive(),
         L"an entry follows the manifest: 'late'"},
        // Framing.
        {manifestOfX + std::string(512, '\0') + RawFile("y", "y"),
         L"the end-of-archive marker is cut short, after 'SHA256SUMS'"},
        {PaxPath("orphan") + EndOfArchive(), L"an extended header is not followed by its entry"},
        {PaxHeader("99 path=x\n") + manifestOfX,
         L"an extended header is malformed at the start of the stream"},
        {std::string(512, 'u'),
         L"a header is not a pax or ustar header at the start of the stream"},
        {"y" + RawHeader("x", '0', 1).substr(1),
         L"The backup stream is damaged: the checksum of a header does not match at the start of "
         L"the stream"},
        // Entries that could reach outside the folder.
        {RawHeader("soft", '2', 0, "/etc/passwd"), L"a link, which is refused: 'soft'"},
        {RawHeader("hard", '1', 0, "x"), L"a link, which is refused: 'hard'"},
        {PaxHeader("14 linkpath=/\n") + RawHeader("f", '0', 0), L"a link, which is refused: 'f'"},
        {RawHeader("tty", '3', 0), L"a device or pipe, which is refused: 'tty'"},
        {RawHeader("fifo", '6', 0), L"a device or pipe, which is refused: 'fifo'"},
        {RawHeader("volume", 'V', 0), L"an entry type that is not supported: 'volume'"},
    };
    // Every header boundary and every block of data, inside the data (the manifest's included) and
    // one byte short of the end: the stream is incomplete.
    std::vector<size_t> cuts = {layout.dataOffsets.back() + 70, layout.end - 1};
    for (size_t cut = 0; cut < layout.end; cut += VIRid::pax::kBlockSize)
        cuts.push_back(cut);
    for (size_t offset : layout.dataOffsets)
        cuts.push_back(offset + 1);
    for (size_t cut : cuts)
        cases.push_back({packed.substr(0, cut), L"The backup stream is incomplete: ", false});
    // Hostile names, one a line, in the ustar header and in a pax record.
    const std::wstring unsafe = L"an unsafe name, which is refused";
    std::istringstream names("/etc/evil\n../evil\nC:/evil\nC:evil\n"
                             "\\\\server\\share\\evil\n//server/share/evil\n\\\\?\\C:\\evil\n"
                             "a\\..\\..\\evil\nfile.bcp:stream\nCON\nnul.txt\ncom1\nLPT9.log\n"
                             "a/aux/b\nCom\xC2\xB9\ndot.\nblank \na//b\ntab\tname\nbad\xFFutf8\n.\n"
                             "conin$\nnul .txt\na*\na|b\na\x7F\n"
                             "\xED\xA0\x80");
    for (std::string name; std::getline(names, name);) {
        cases.push_back({RawFile(name, "evil") + EndOfArchive(), unsafe});
        cases.push_back({PaxPath(name) + RawFile("x", "evil") + EndOfArchive(), unsafe});
    }
    for (size_t index = 0; index < cases.size(); ++index) {
        const Case& test = cases[index];
        // The case, and the name in its first header up to the first zero byte.
        SCOPED_TRACE(std::to_string(index) + ": " + test.stream.substr(0, 100).c_str());
        const Unpacked unpacked =
            UnpackIntoTarget(test.stream, RandomBlocks(static_cast<unsigned>(index), 900));
        if (test.text.empty()) {
            EXPECT_EQ(DirPacker::Ok, unpacked.close) << unpacked.error;
            continue;
        }
        ExpectFailure(unpacked, test.text, test.failsOnWrite ? DirPacker::Failed : DirPacker::Ok);
        EXPECT_FALSE(fs::exists(fs::symlink_status(target / "late")));
        EXPECT_FALSE(fs::exists(fs::symlink_status(target / "soft")));
        EXPECT_TRUE(test.text != unsafe || fs::is_empty(target));
        std::error_code removal; // a file cut short is released: the job can remove the folder
        fs::remove_all(target, removal);
        EXPECT_FALSE(removal) << removal.message();
    }
}

TEST_F(DirPackerTest, ExistingEntriesAreNotOverwritten) {
    ExpectFailure(UnpackIntoTarget(RawFile("x", "theirs") + EndOfArchive(), FixedBlocks(512), "x"),
                  L"an entry that exists already in the folder: 'x'");
    EXPECT_EQ("mine", ReadFileBytes(target / "x"));
    // A file that a later entry would use as a folder, and a file twice in one stream.
    ExpectFailure(UnpackIntoTarget(RawFile("x/y", "z") + EndOfArchive(), FixedBlocks(512), "x"),
                  L"exists already in the folder and is not a folder: 'x'");
    ExpectFailure(UnpackIntoTarget(RawFile("twice", "1") + RawFile("twice", "2") + EndOfArchive()),
                  L"an entry that exists already in the folder: 'twice'");
    EXPECT_EQ("1", ReadFileBytes(target / "twice"));
}

#ifndef _WIN32
// A write that the system refuses (here: past the process's file size limit, as a full disk
// would) names the file and the system's reason.
TEST_F(DirPackerTest, AFailedWriteGivesTheSystemsReason) {
    const std::string stream = RawFile("big.bcp", std::string(256 * 1024, 'x')) + EndOfArchive();
    struct rlimit before = {};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &before));
    struct rlimit limited = before;
    limited.rlim_cur = 64 * 1024;
    void (*const previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
    const Unpacked unpacked = UnpackIntoTarget(stream);
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, previous);
    ExpectFailure(unpacked, L"Can't write the file 'big.bcp': File too large");
}
#endif

TEST_F(DirPackerTest, TarSpellingsOfNamesAndFoldersUnpack) {
    const std::string manifest =
        SumLine("./dir/a", "abc") + SumLine("dir/b", "") + SumLine("implicit/folders/c", "c");
    const std::string stream =
        RawHeader("./", '5', 0) + RawHeader("./dir/", '5', 0) + RawFile("./dir/a", "abc") +
        RawFile("dir/./b", "") + RawFile("implicit/folders/c", "c") +
        RawFile("./SHA256SUMS", manifest) + EndOfArchive() + std::string(10240 - 11 * 512, '\0');
    const Unpacked unpacked = UnpackIntoTarget(stream, RandomBlocks(8, 700));
    ASSERT_EQ(DirPacker::Ok, unpacked.close) << unpacked.error;
    const std::map<std::string, std::string> expected = {
        {"dir", "<folder>"},
        {"dir/a", "abc"},
        {"dir/b", ""},
        {"implicit", "<folder>"},
        {"implicit/folders", "<folder>"},
        {"implicit/folders/c", "c"},
    };
    EXPECT_EQ(expected, ListTree(target));
}

#ifndef _WIN32
// Native build only: these need GNU tar and a file system with sparse files.
int Shell(const std::string& command) {
    return std::system(command.c_str());
}

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Our stream extracted by tar and checked by sha256sum; streams packed by hand (tar of the files,
// then a sha256sum manifest appended last) unpacked by us.
TEST_F(DirPackerTest, StreamsGoBothWaysBetweenUsAndGnuTar) {
    if (Shell("tar --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "GNU tar is not installed";
    MakeSampleTree(source);
    ScratchFolder work;
    WriteFileBytes(work / "stream.tar", Pack(source, FixedBlocks(1 << 20)));
    ASSERT_EQ(0, Shell("LC_ALL=C.UTF-8 tar -xf " + Quoted(work / "stream.tar") + " -C " +
                       Quoted(target)));
    EXPECT_EQ(ListTree(source), ListTree(target));
    EXPECT_EQ(0, Shell("cd " + Quoted(target) + " && sha256sum --quiet -c SHA256SUMS"));

    for (const std::string format : {"pax", "gnu", "ustar"}) {
        SCOPED_TRACE(format);
        if (format == "ustar") { // ustar holds no name component over 100 bytes
            fs::remove(source / (std::string(120, 'L') + ".bcp"));
            fs::remove_all(source / std::string(60, 'a'));
        }
        const fs::path archive = work / (format + ".tar");
        const fs::path sums = work.Make("sums-" + format);
        ASSERT_EQ(0, Shell("cd " + Quoted(source) + " && LC_ALL=C.UTF-8 tar --format=" + format +
                           " -cf " + Quoted(archive) +
                           " . && find . -type f -print0 | xargs -0 sha256sum > " +
                           Quoted(sums / "SHA256SUMS") + " && tar --format=" + format + " -rf " +
                           Quoted(archive) + " -C " + Quoted(sums) + " SHA256SUMS"));
        const Unpacked unpacked =
            UnpackIntoTarget(ReadFileBytes(archive), RandomBlocks(21, 100000));
        ASSERT_EQ(DirPacker::Ok, unpacked.close) << unpacked.error;
        EXPECT_EQ(ListTree(source), ListTree(target));
    }
}

// A file over 8 GiB needs a pax size record. It is sparse here, and comes back sparse.
TEST_F(DirPackerTest, FileOverEightGiBRoundTripsAsSparseFile) {
    const uint64_t size = (8ULL << 30) + 4097;
    std::vector<std::pair<uint64_t, std::string>> marks = {
        {0, "start"}, {(4ULL << 30) + 3, "middle"}, {size - 3, "end"}};
    {
        std::ofstream out(source / "huge.bcp", std::ios::binary);
        for (const auto& mark : marks) {
            out.seekp(static_cast<std::streamoff>(mark.first));
            out.write(mark.second.data(), static_cast<std::streamsize>(mark.second.size()));
        }
        ASSERT_TRUE(out.good());
    }
    ASSERT_EQ(size, fs::file_size(source / "huge.bcp"));

    // Through the packer and the unpacker directly, one block at a time: no copy in memory.
    DirPacker unpacker;
    ASSERT_EQ(DirPacker::Ok, unpacker.Open(target.wstring(), false));
    Pack(source, FixedBlocks(1 << 20), &unpacker);
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
#endif

} // namespace
