#include "virid/PaxFormat.h"

#include "tests/virid/PackerTestTree.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace VIRid::pax;
using packer_test::Bytes;
using packer_test::RawHeader;
using packer_test::WriteChecksum;

TEST(PaxFormat, RecordsCountTheirOwnDigitsAndAreReadStrictly) {
    // Values whose record lengths sit around 999/1000/1001 bytes.
    for (size_t length = 101; length < 1100; ++length) {
        std::string out;
        const std::string name(length, 'v');
        AppendEntryHeader(out, name, EntryType::File, 0, 0);
        Header extended;
        ASSERT_EQ(HeaderResult::Ok, ReadHeader(Bytes(out), extended));
        Records records;
        ASSERT_TRUE(ReadRecords(out.substr(kBlockSize, extended.size), records)) << length;
        ASSERT_EQ(name, records.path);
    }
    const char* const malformed[] = {
        "12 path=abcX",  // no line break
        "13 path=abc\n", // length too long
        "99 path=a length far past the end of a long record\n",
        "11 path=abc\n",  // length too short
        "x path=abc\n",   // no length
        "10 pathab\n",    // no "="
        "7 =abc\n",       // no key
        "13 size=12a4\n", // not a number
        "30 size=99999999999999999999\n",
        "0 \n",
    };
    Records records;
    for (const char* body : malformed)
        EXPECT_FALSE(ReadRecords(body, records)) << body;
    records = Records();
    ASSERT_TRUE(ReadRecords("16 size=1234567\n15 linkpath=/x\n22 GNU.sparse.major=1\n"
                            "14 mtime=1.25\n8 path=\n",
                            records));
    EXPECT_TRUE(records.gnuSparse);
    EXPECT_FALSE(records.path); // an empty value cancels the key
}

// Bad checksums, missing magic and zero blocks: see DirPackerTest's damaged streams.
TEST(PaxFormat, HeaderChecksAreStrictButReadGnuHeaders) {
    std::string nonOctalSize = RawHeader("x", '0', 1);
    nonOctalSize[124] = '9';
    WriteChecksum(nonOctalSize);
    Header header;
    EXPECT_EQ(HeaderResult::BadNumber, ReadHeader(Bytes(nonOctalSize), header));

    // GNU's magic, a base-256 size of 2^40, a high byte in the name, a signed checksum.
    std::string gnu = RawHeader(std::string(99, 'n') + "\xE9", '0', 0);
    std::memcpy(&gnu[257], "ustar  \0", 8);
    std::memset(&gnu[124], 0, 12);
    gnu[124] = static_cast<char>(0x80);
    gnu[130] = 1;
    WriteChecksum(gnu, true);
    ASSERT_EQ(HeaderResult::Ok, ReadHeader(Bytes(gnu), header));
    EXPECT_EQ(1ULL << 40, header.size);
    EXPECT_EQ(100u, header.name.size());
}

} // namespace
