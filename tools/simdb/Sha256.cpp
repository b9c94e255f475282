#include "tools/simdb/Sha256.h"

namespace simoracle {

Sha256::Sha256() : hash_(VIRid::Sha256::Create()) {}

Sha256::~Sha256() {}

void Sha256::Update(const void* data, size_t size) {
    if (hash_ && !hash_->Update(static_cast<const unsigned char*>(data), size))
        hash_.reset();
}

std::string Sha256::Finish() {
    VIRid::Sha256::Digest digest;
    if (!hash_ || !hash_->Finish(digest))
        return std::string();
    hash_.reset();
    return std::string(digest.begin(), digest.end());
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
