#include "virid/Sha256.h"

#include "virid/Sha256Blocks.h"

#include <algorithm>
#include <cstring>

namespace VIRid {

namespace sha256 {

const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

namespace {

constexpr uint32_t RotateRight(uint32_t value, int bits) {
    return (value >> bits) | (value << (32 - bits));
}

uint32_t LoadBigEndian(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | static_cast<uint32_t>(bytes[3]);
}

CompressFunction ChosenCompress() {
    static const CompressFunction chosen = [] {
        const CompressFunction extensions = ShaExtensionsCompress();
        return extensions ? extensions : &CompressPortable;
    }();
    return chosen;
}

} // namespace

void CompressPortable(uint32_t state[8], const unsigned char* blocks, size_t count) {
    for (; count > 0; --count, blocks += 64) {
        uint32_t schedule[64];
        for (size_t i = 0; i < 16; ++i)
            schedule[i] = LoadBigEndian(blocks + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = RotateRight(schedule[i - 15], 7) ^
                                RotateRight(schedule[i - 15], 18) ^ (schedule[i - 15] >> 3);
            const uint32_t s1 = RotateRight(schedule[i - 2], 17) ^
                                RotateRight(schedule[i - 2], 19) ^ (schedule[i - 2] >> 10);
            schedule[i] = schedule[i - 16] + s0 + schedule[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t sum1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
            const uint32_t choice = (e & f) ^ (~e & g);
            const uint32_t t1 = h + sum1 + choice + kRoundConstants[i] + schedule[i];
            const uint32_t sum0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
            const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + sum0 + majority;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

} // namespace sha256

Sha256::Sha256() {
    Restart();
}

void Sha256::Restart() {
    state_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    pendingSize_ = 0;
    totalSize_ = 0;
}

void Sha256::Update(const unsigned char* data, size_t size) {
    totalSize_ += size;
    if (pendingSize_ > 0) {
        const size_t taken = std::min(size, pending_.size() - pendingSize_);
        std::memcpy(pending_.data() + pendingSize_, data, taken);
        pendingSize_ += taken;
        data += taken;
        size -= taken;
        if (pendingSize_ < pending_.size())
            return;
        sha256::ChosenCompress()(state_.data(), pending_.data(), 1);
        pendingSize_ = 0;
    }
    const size_t wholeBlocks = size / 64;
    if (wholeBlocks > 0)
        sha256::ChosenCompress()(state_.data(), data, wholeBlocks);
    pendingSize_ = size % 64;
    if (pendingSize_ > 0)
        std::memcpy(pending_.data(), data + wholeBlocks * 64, pendingSize_);
}

Sha256::Digest Sha256::Finish() {
    const uint64_t bits = totalSize_ * 8;
    // The padding: one 1 bit, zeros up to 8 bytes short of a block boundary, the length in bits.
    unsigned char padding[72] = {0x80};
    const size_t zerosAndMark = (pendingSize_ < 56 ? 56 : 120) - pendingSize_;
    for (int i = 0; i < 8; ++i)
        padding[zerosAndMark + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    Update(padding, zerosAndMark + 8);
    Digest digest;
    for (size_t i = 0; i < state_.size(); ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<unsigned char>(state_[i] >> (24 - 8 * j));
    Restart();
    return digest;
}

Sha256::Digest Sha256Of(const unsigned char* data, size_t size) {
    Sha256 hash;
    hash.Update(data, size);
    return hash.Finish();
}

std::string ToHex(const Sha256::Digest& digest) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (unsigned char byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

} // namespace VIRid
