#include "virid/Sha256.h"
#include "virid/Sha256Blocks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

const unsigned char* Bytes(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Digests from coreutils' sha256sum; the first four are the examples of FIPS 180-2. The lengths
// 55, 56 and 64 are the edges of the padding: the length still fits the last block, no longer
// fits it, and the message fills a block exactly.
TEST(Sha256, KnownDigestsWhetherGivenAtOnceOrInUnevenParts) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrl"
         "m"
         "nopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    VIRid::Sha256 reused; // each Finish starts afresh
    for (const Case& test : cases) {
        const std::string& message = test.message;
        EXPECT_EQ(test.digest, VIRid::ToHex(VIRid::Sha256Of(Bytes(message), message.size())))
            << message.size() << " bytes at once";
        const size_t partSizes[] = {1, 63, 64, 65, 7, 130};
        size_t offset = 0;
        for (size_t part = 0; offset < message.size(); ++part) {
            const size_t size = std::min(partSizes[part % 6], message.size() - offset);
            reused.Update(Bytes(message) + offset, size);
            offset += size;
        }
        EXPECT_EQ(test.digest, VIRid::ToHex(reused.Finish()))
            << message.size() << " bytes in parts";
    }
}

TEST(Sha256, ProcessorInstructionsAgreeWithThePortableForm) {
    const VIRid::sha256::CompressFunction extensions = VIRid::sha256::ShaExtensionsCompress();
    if (extensions == nullptr)
        GTEST_SKIP() << "this processor has no SHA instructions";
    std::mt19937 random(20261207);
    for (size_t blocks = 1; blocks <= 9; ++blocks) {
        std::vector<unsigned char> data(64 * blocks);
        for (unsigned char& byte : data)
            byte = static_cast<unsigned char>(random());
        uint32_t portable[8], instructions[8];
        for (int i = 0; i < 8; ++i)
            portable[i] = instructions[i] = static_cast<uint32_t>(random());
        VIRid::sha256::CompressPortable(portable, data.data(), blocks);
        extensions(instructions, data.data(), blocks);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(portable[i], instructions[i]) << blocks << " blocks, word " << i;
    }
}

} // namespace
