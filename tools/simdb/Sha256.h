// SHA-256 through the Windows cryptography API (CNG).
#pragma once

#include <cstddef>
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
    void* algorithm_;
    void* hash_;
};

// The digest of bytes, 32 raw bytes.
std::string Sha256Of(const std::string& bytes);
// Lower-case hexadecimal text of raw bytes.
std::string ToHex(const std::string& bytes);

} // namespace simoracle
