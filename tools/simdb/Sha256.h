// SHA-256 of the simulated database's files, on the plug-in's own digest.
#pragma once

#include "virid/Sha256.h"

#include <cstddef>
#include <string>

namespace simoracle {

class Sha256 {
public:
    void Update(const void* data, size_t size) {
        hash_.Update(static_cast<const unsigned char*>(data), size);
    }
    void Update(const std::string& bytes) { Update(bytes.data(), bytes.size()); }
    // The 32-byte digest of everything given so far; starts afresh after it.
    std::string Finish();

private:
    VIRid::Sha256 hash_;
};

// The digest of bytes, 32 raw bytes.
std::string Sha256Of(const std::string& bytes);
// Lower-case hexadecimal text of raw bytes.
std::string ToHex(const std::string& bytes);

} // namespace simoracle
