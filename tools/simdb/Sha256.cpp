#include "tools/simdb/Sha256.h"

namespace simoracle {

std::string Sha256::Finish() {
    const VIRid::Sha256::Digest digest = hash_.Finish();
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
