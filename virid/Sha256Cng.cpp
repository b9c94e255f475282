#include "virid/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace VIRid {

namespace {

struct AlgorithmCloser {
    void operator()(void* algorithm) const { BCryptCloseAlgorithmProvider(algorithm, 0); }
};
struct HashDestroyer {
    void operator()(void* hash) const { BCryptDestroyHash(hash); }
};
using UniqueAlgorithm = std::unique_ptr<void, AlgorithmCloser>;
using UniqueHash = std::unique_ptr<void, HashDestroyer>;

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

class CngSha256 : public Sha256 {
public:
    explicit CngSha256(UniqueAlgorithm algorithm) : algorithm_(std::move(algorithm)) {}

    // CNG allocates the hash object itself when given no buffer (Windows 7 and later).
    bool Start() {
        BCRYPT_HASH_HANDLE hash = nullptr;
        if (!Succeeded(BCryptCreateHash(algorithm_.get(), &hash, nullptr, 0, nullptr, 0, 0)))
            return false;
        hash_.reset(hash);
        return true;
    }

    bool Update(const unsigned char* data, size_t size) override {
        // BCryptHashData takes at most 4 GiB - 1 at a time.
        while (size > 0) {
            const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
            if (!hash_ ||
                !Succeeded(BCryptHashData(hash_.get(), const_cast<PUCHAR>(data), piece, 0)))
                return false;
            data += piece;
            size -= piece;
        }
        return true;
    }

    bool Finish(Digest& digest) override {
        const bool finished =
            hash_ && Succeeded(BCryptFinishHash(hash_.get(), digest.data(),
                                                static_cast<ULONG>(digest.size()), 0));
        hash_.reset();
        return finished && Start();
    }

private:
    UniqueAlgorithm algorithm_;
    UniqueHash hash_;
};

} // namespace

std::unique_ptr<Sha256> Sha256::Create() {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return nullptr;
    auto digest = std::make_unique<CngSha256>(UniqueAlgorithm(algorithm));
    if (!digest->Start())
        return nullptr;
    return digest;
}

} // namespace VIRid
