// Shared by the tests of the packer and of the jobs' streams: scratch folders, sample trees,
// packing or unpacking a whole stream through DirPacker in blocks of chosen sizes, tar blocks
// written by hand, and the layout of a stream's entries.
#pragma once

#include "tests/support/ScratchFolder.h"
#include "virid/DirPacker.h"
#include "virid/EntryName.h"
#include "virid/PaxFormat.h"
#include "virid/Sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace packer_test {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::ScratchFolder;
using testing_support::WriteFileBytes;

inline const unsigned char* Bytes(const std::string& bytes, size_t offset = 0) {
    return reinterpret_cast<const unsigned char*>(bytes.data() + offset);
}

inline std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

// Names with blanks, non-ASCII names, names over 100 bytes, empty files, empty folders, a file
// that spans many host blocks and one whose size is a whole number of tar blocks.
inline void MakeSampleTree(const fs::path& root) {
    const std::string longName(120, 'L'), deep = std::string(60, 'a') + "/" + std::string(70, 'b');
    const std::string unicode = "donn\xC3\xA9"
                                "es/\xE6\x97\xA5\xE6\x9C\xAC";
    for (const std::string& folder :
         {std::string("empty folder"), unicode, deep, std::string("nested/deeper/deepest")})
        fs::create_directories(VIRid::entryname::ToPath(root, folder));
    const std::pair<std::string, std::string> files[] = {
        {"backup piece 1.bcp", RandomBytes(3 * 1024 * 1024 + 17, 1)},
        {"empty.bcp", ""},
        {"block.bcp", RandomBytes(1024, 2)},
        {"nested/deeper/ctl.bcp", RandomBytes(700, 3)},
        {unicode + "/\xC3\xA9t\xC3\xA9 \xE2\x82\xAC.ora", "caf\xC3\xA9\n"},
        {longName + ".bcp", RandomBytes(5000, 4)},
        {deep + "/" + longName, "deep and long"},
        {"a b", "blank"},
        {"a-b", "dash"},
    };
    for (const auto& file : files)
        WriteFileBytes(VIRid::entryname::ToPath(root, file.first), file.second);
}

// Every entry under root: name -> "<folder>" or the file's content; without the manifest that
// unpacking leaves in the folder.
inline std::map<std::string, std::string> ListTree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (fs::recursive_directory_iterator walk(root), end; walk != end; ++walk) {
        const std::string name = VIRid::entryname::FromPath(walk->path().lexically_relative(root));
        tree[name] = walk->is_directory() ? "<folder>" : ReadFileBytes(walk->path());
    }
    tree.erase("SHA256SUMS");
    return tree;
}

// Block sizes: random up to max, with one byte now and then.
inline std::function<uint32_t()> RandomBlocks(unsigned seed, uint32_t max) {
    return [random = std::mt19937(seed), max]() mutable -> uint32_t {
        const uint32_t pick = random();
        return pick % 8 == 0 ? 1 : 1 + pick % max;
    };
}

inline std::function<uint32_t()> FixedBlocks(uint32_t size) {
    return [size]() { return size; };
}

// The stream of a folder that must pack cleanly; or, given an open unpacker, that stream written
// to it block by block, kept nowhere. lastFiles: as DirPacker::Open takes them.
inline std::string Pack(const fs::path& folder, const std::function<uint32_t()>& blocks,
                        VIRid::DirPacker* into = nullptr,
                        const std::vector<std::wstring>& lastFiles = {}) {
    VIRid::DirPacker packer;
    EXPECT_EQ(VIRid::DirPacker::Ok, packer.Open(folder.wstring(), true, lastFiles));
    std::string stream, buffer;
    int result = VIRid::DirPacker::Ok;
    while (true) {
        uint32_t size = blocks();
        buffer.resize(size);
        result = packer.Read(reinterpret_cast<unsigned char*>(&buffer[0]), size);
        if (result != VIRid::DirPacker::Ok)
            break;
        EXPECT_GT(size, 0u);
        if (into == nullptr)
            stream.append(buffer, 0, size);
        else if (into->Write(Bytes(buffer), size) != VIRid::DirPacker::Ok)
            break;
    }
    EXPECT_EQ(VIRid::DirPacker::EndOfStream, result);
    EXPECT_EQ(VIRid::DirPacker::Ok, packer.Close()) << packer.GetErrorText();
    return stream;
}

struct Unpacked {
    int write = VIRid::DirPacker::Ok; // the first result that was not Ok, if any
    int close = -1;
    std::wstring error;
};

inline Unpacked Unpack(const std::string& stream, const fs::path& folder,
                       const std::function<uint32_t()>& blocks) {
    Unpacked unpacked;
    VIRid::DirPacker packer;
    EXPECT_EQ(VIRid::DirPacker::Ok, packer.Open(folder.wstring(), false));
    for (size_t offset = 0; offset < stream.size();) {
        uint32_t size = static_cast<uint32_t>(std::min<size_t>(blocks(), stream.size() - offset));
        const uint32_t given = size;
        unpacked.write = packer.Write(Bytes(stream, offset), size);
        if (unpacked.write != VIRid::DirPacker::Ok)
            break;
        EXPECT_EQ(given, size);
        offset += given;
    }
    unpacked.close = packer.Close();
    unpacked.error = packer.GetErrorText();
    return unpacked;
}

// Writes the checksum that a header block with these bytes must carry.
inline void WriteChecksum(std::string& block, bool signedBytes = false) {
    std::memset(&block[148], ' ', 8);
    long sum = 0;
    for (char c : block)
        sum += signedBytes ? static_cast<signed char>(c) : static_cast<unsigned char>(c);
    std::snprintf(&block[148], 8, "%06lo", static_cast<unsigned long>(sum));
}

// A ustar header written field by field, independent of the packer's own writer, so that tests
// can build streams that the packer would never produce.
inline std::string RawHeader(const std::string& name, char type, uint64_t size,
                             const std::string& linkName = "") {
    std::string block(VIRid::pax::kBlockSize, '\0');
    std::memcpy(&block[0], name.data(), std::min<size_t>(name.size(), 100));
    // Mode, owner, group, size and time, each ended by a zero byte.
    std::snprintf(&block[100], 48, "%07o%c%07o%c%07o%c%011llo%c%011o", 0644, 0, 0, 0, 0, 0,
                  static_cast<unsigned long long>(size), 0, 0);
    block[156] = type;
    std::memcpy(&block[157], linkName.data(), std::min<size_t>(linkName.size(), 100));
    std::memcpy(&block[257],
                "ustar\0"
                "00",
                8);
    WriteChecksum(block);
    return block;
}

inline std::string Padded(std::string data) {
    data.append(VIRid::pax::PaddingAfter(data.size()), '\0');
    return data;
}

inline std::string RawFile(const std::string& name, const std::string& content) {
    return RawHeader(name, '0', content.size()) + Padded(content);
}

inline std::string EndOfArchive() {
    return std::string(2 * VIRid::pax::kBlockSize, '\0');
}

// A manifest line for a file, as sha256sum writes it.
inline std::string SumLine(const std::string& name, const std::string& content) {
    return VIRid::ToHex(VIRid::Sha256Of(Bytes(content), content.size())) + "  " + name + "\n";
}

// Where the data of each entry of a stream starts (its ustar header is the block before), with
// the offset just past the end-of-archive marker.
struct StreamLayout {
    std::vector<std::string> names;
    std::vector<size_t> dataOffsets;
    size_t end = 0;
};

inline StreamLayout Walk(const std::string& stream) {
    StreamLayout layout;
    size_t offset = 0;
    VIRid::pax::Records records;
    VIRid::pax::Header header;
    while (offset + VIRid::pax::kBlockSize <= stream.size() &&
           VIRid::pax::ReadHeader(Bytes(stream, offset), header) == VIRid::pax::HeaderResult::Ok) {
        offset += VIRid::pax::kBlockSize;
        const uint64_t size = records.size ? *records.size : header.size;
        if (header.typeFlag == 'x') {
            EXPECT_TRUE(VIRid::pax::ReadRecords(stream.substr(offset, size), records));
        } else {
            layout.names.push_back(records.path ? *records.path : header.name);
            layout.dataOffsets.push_back(offset);
            records = VIRid::pax::Records();
        }
        offset += size + VIRid::pax::PaddingAfter(size);
    }
    layout.end = offset + 2 * VIRid::pax::kBlockSize;
    return layout;
}

} // namespace packer_test
