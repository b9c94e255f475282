#include "virid/PaxFormat.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace VIRid::pax;

const unsigned char* Bytes(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

TEST(PaxFormat, PlainNamesGetOneUstarHeader) {
    std::string out;
    AppendEntryHeader(out, "folder/piece.bcp", EntryType::File, 1234, 1700000000);
    ASSERT_EQ(kBlockSize, out.size());
    Header header;
    ASSERT_EQ(HeaderResult::Ok, ReadHeader(Bytes(out), header));
    EXPECT_EQ('0', header.typeFlag);
    EXPECT_EQ("folder/piece.bcp", header.name);
    EXPECT_EQ(1234u, header.size);
    EXPECT_EQ(0, std::memcmp(out.data() + 257,
                             "ustar\0"
                             "00",
                             8));
    EXPECT_EQ(std::string("00000002322\0", 12), out.substr(124, 12)) << "octal size field";

    out.clear();
    AppendEntryHeader(out, "folder", EntryType::Folder, 0, 0);
    ASSERT_EQ(HeaderResult::Ok, ReadHeader(Bytes(out), header));
    EXPECT_EQ('5', header.typeFlag);
    EXPECT_EQ("folder/", header.name);
}

TEST(PaxFormat, LongNonAsciiNamesAndHugeSizesGoIntoPaxRecords) {
    const std::string name = std::string(120, 'n') + "/\xC3\xA9t\xC3\xA9";
    const uint64_t size = 9ULL << 30;
    std::string out;
    AppendEntryHeader(out, name, EntryType::File, size, 0);
    Header extended;
    ASSERT_EQ(HeaderResult::Ok, ReadHeader(Bytes(out), extended));
    EXPECT_EQ('x', extended.typeFlag);
    ASSERT_EQ(2 * kBlockSize + extended.size + PaddingAfter(extended.size), out.size());
    Records records;
    ASSERT_TRUE(ReadRecords(out.substr(kBlockSize, extended.size), records));
    EXPECT_EQ(name, records.path);
    EXPECT_EQ(size, records.size);
    Header header;
    const size_t last = out.size() - kBlockSize;
    ASSERT_EQ(HeaderResult::Ok, ReadHeader(Bytes(out) + last, header));
    EXPECT_EQ('0', header.typeFlag);
    EXPECT_EQ(0u, header.size);
    // Tools without pax support see a printable stand-in.
    EXPECT_EQ(std::string(100, 'n'), header.name);
}

TEST(PaxFormat, RecordLengthsCountTheirOwnDigits) {
    // Values whose record lengths sit around 9/10 and 99/100/101 bytes.
    for (size_t valueSize = 0; valueSize < 1100; ++valueSize) {
        std::string out;
        const std::string name = std::string(valueSize + 1, 'v');
        AppendEntryHeader(out, name, EntryType::File, 0, 0);
        if (name.size() <= 100)
            continue;
        Header extended;
        ASSERT_EQ(HeaderResult::Ok, ReadHeader(Bytes(out), extended));
        Records records;
        ASSERT_TRUE(ReadRecords(out.substr(kBlockSize, extended.size), records)) << valueSize;
        ASSERT_EQ(name, records.path);
    }
    Records records;
    EXPECT_TRUE(ReadRecords("8 path=\n", records)); // an empty value cancels the key
    EXPECT_FALSE(records.path);
}

TEST(PaxFormat, MalformedRecordsAreRefused) {
    const char* const bodies[] = {
        "12 path=abc",    // no line break
        "13 path=abc\n",  // length too long
        "11 path=abc\n",  // length too short
        "x path=abc\n",   // no length
        "10 pathab\n",    // no "="
        "7 =abc\n",       // no key
        "13 size=12a4\n", // not a number
        "30 size=99999999999999999999\n",
        "0 \n",
    };
    for (const char* body : bodies) {
        Records records;
        EXPECT_FALSE(ReadRecords(body, records)) << body;
    }
    Records records;
    ASSERT_TRUE(ReadRecords("16 size=1234567\n15 linkpath=/x\n22 GNU.sparse.major=1\n"
                            "14 mtime=1.25\n",
                            records));
    EXPECT_EQ(1234567u, records.size);
    EXPECT_TRUE(records.linkPath);
    EXPECT_TRUE(records.gnuSparse);
}

TEST(PaxFormat, HeaderChecksAreStrict) {
    std::string block;
    AppendEntryHeader(block, "x", EntryType::File, 1, 0);
    Header header;
    std::string zero(kBlockSize, '\0');
    EXPECT_EQ(HeaderResult::ZeroBlock, ReadHeader(Bytes(zero), header));

    std::string flipped = block;
    flipped[0] = 'y';
    EXPECT_EQ(HeaderResult::BadChecksum, ReadHeader(Bytes(flipped), header));

    std::string noMagic = block;
    noMagic[257] = 'U';
    EXPECT_EQ(HeaderResult::NotUstar, ReadHeader(Bytes(noMagic), header));

    // A size field that is not octal, with a checksum made to match.
    std::string badSize = block;
    badSize[124] = '9';
    std::memset(&badSize[148], ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : badSize)
        sum += c;
    std::snprintf(&badSize[148], 8, "%06o", sum);
    EXPECT_EQ(HeaderResult::BadNumber, ReadHeader(Bytes(badSize), header));
}

TEST(PaxFormat, GnuBase256SizesAndSignedChecksumsAreRead) {
    std::string block;
    AppendEntryHeader(block, "\xE9t\xE9", EntryType::File, 0, 0); // Latin-1 bytes: pax path
    block.erase(0, block.size() - kBlockSize);
    // GNU's magic, a base-256 size of 2^40, a high byte in the name, a signed checksum.
    std::memcpy(&block[257], "ustar  \0", 8);
    std::memset(&block[124], 0, 12);
    block[124] = static_cast<char>(0x80);
    block[130] = 1;
    std::memset(&block[0], 'n', 100);
    block[99] = static_cast<char>(0xE9);
    std::memset(&block[148], ' ', 8);
    long sum = 0;
    for (char c : block)
        sum += static_cast<signed char>(c);
    std::snprintf(&block[148], 8, "%06lo", static_cast<unsigned long>(sum));
    Header header;
    ASSERT_EQ(HeaderResult::Ok, ReadHeader(Bytes(block), header));
    EXPECT_EQ(1ULL << 40, header.size);
    EXPECT_EQ(100u, header.name.size());
}

} // namespace
