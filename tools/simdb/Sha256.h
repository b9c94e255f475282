// SHA-256 of the simulated database's files, on the plug-in's own digest (the platform's library).
#pragma once

#include "virid/Sha256.h"

#include <cstddef>
#include <memory>
#include <string>

namespace simoracle {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, size_t size);
    void Update(const std::string& bytes) { Update(bytes.data(), bytes.size()); }
    // The 32-byte digest of everything given so far; the object is spent afterwards.
    std::string Finish();

private:
    std::unique_ptr<VIRid::Sha256> hash_; // null when the library failed
};

// The digest of bytes, 32 raw bytes.
std::string Sha256Of(const std::string& bytes);
// Lower-case hexadecimal text of raw bytes.
std::string ToHex(const std::string& bytes);

} // namespace simoracle
