// The SHA-256 compression function over whole 64-byte blocks, in the two forms the digest picks
// from. Exposed for the tests, which hold the two forms against each other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace VIRid::sha256 {

// The constants of the 64 rounds (FIPS 180-4, 4.2.2).
extern const uint32_t kRoundConstants[64];

// Mixes count blocks (64 bytes each, starting at blocks) into state.
using CompressFunction = void (*)(uint32_t state[8], const unsigned char* blocks, size_t count);

void CompressPortable(uint32_t state[8], const unsigned char* blocks, size_t count);

// The form using the x86 SHA extensions; null when this build or this processor has none.
CompressFunction ShaExtensionsCompress();

} // namespace VIRid::sha256
