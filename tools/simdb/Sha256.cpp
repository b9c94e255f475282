#include "tools/simdb/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace simoracle {

Sha256::Sha256() : algorithm_(nullptr), hash_(nullptr) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0) {
        algorithm_ = algorithm;
        hash_ = hash;
    } else if (algorithm != nullptr) {
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
}

Sha256::~Sha256() {
    if (hash_ != nullptr)
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(hash_));
    if (algorithm_ != nullptr)
        BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(algorithm_), 0);
}

void Sha256::Update(const void* data, size_t size) {
    if (hash_ == nullptr)
        return;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    // BCryptHashData takes a 32-bit length.
    while (size > 0) {
        const ULONG part = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(hash_), const_cast<PUCHAR>(bytes), part, 0);
        bytes += part;
        size -= part;
    }
}

std::string Sha256::Finish() {
    std::string digest(32, '\0');
    if (hash_ == nullptr || BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(hash_),
                                             reinterpret_cast<PUCHAR>(&digest[0]), 32, 0) != 0)
        return std::string();
    return digest;
}

std::string Sha256Of(const std::string& bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return hash.Finish();
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

} // namespace simoracle
