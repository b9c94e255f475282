// SHA-256 (FIPS 180-4), computed here rather than by a platform library, whose speed varies (Wine's
// bcrypt digests slower than Recovery Manager writes a backup). Uses the processor's SHA
// extensions where it has them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace VIRid {

class Sha256 {
public:
    using Digest = std::array<unsigned char, 32>;

    Sha256();
    void Update(const unsigned char* data, size_t size);
    // The digest of everything given since the last Finish (or construction); starts afresh after
    // it.
    Digest Finish();

private:
    void Restart();

    std::array<uint32_t, 8> state_;
    std::array<unsigned char, 64> pending_; // the start of a block not yet complete
    size_t pendingSize_ = 0;
    uint64_t totalSize_ = 0;
};

// The digest of bytes.
Sha256::Digest Sha256Of(const unsigned char* data, size_t size);

// The digest as 64 lower-case hexadecimal digits.
std::string ToHex(const Sha256::Digest& digest);

} // namespace VIRid
