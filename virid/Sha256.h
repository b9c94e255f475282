// SHA-256 digests computed by the platform's own library: Windows CNG (bcrypt) in the Windows
// build, OpenSSL's libcrypto in the native build.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace VIRid {

class Sha256 {
public:
    using Digest = std::array<unsigned char, 32>;

    // A new digest in progress; null when the platform's library cannot provide one.
    static std::unique_ptr<Sha256> Create();

    virtual ~Sha256() = default;
    // False when the library failed; the digest is then unusable.
    [[nodiscard]] virtual bool Update(const unsigned char* data, size_t size) = 0;
    // The digest of everything given since the last Finish (or Create); starts afresh after it.
    [[nodiscard]] virtual bool Finish(Digest& digest) = 0;
};

// The digest as 64 lower-case hexadecimal digits.
std::string ToHex(const Sha256::Digest& digest);

} // namespace VIRid
