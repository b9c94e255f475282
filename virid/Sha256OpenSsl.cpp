#include "virid/Sha256.h"

#include <openssl/evp.h>

namespace VIRid {

namespace {

class OpenSslSha256 : public Sha256 {
public:
    explicit OpenSslSha256(EVP_MD_CTX* context) : context_(context) {}
    ~OpenSslSha256() override { EVP_MD_CTX_free(context_); }
    OpenSslSha256(const OpenSslSha256&) = delete;
    OpenSslSha256& operator=(const OpenSslSha256&) = delete;

    bool Start() { return EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) == 1; }

    bool Update(const unsigned char* data, size_t size) override {
        return EVP_DigestUpdate(context_, data, size) == 1;
    }

    bool Finish(Digest& digest) override {
        unsigned int length = 0;
        return EVP_DigestFinal_ex(context_, digest.data(), &length) == 1 &&
               length == digest.size() && Start();
    }

private:
    EVP_MD_CTX* context_;
};

} // namespace

std::unique_ptr<Sha256> Sha256::Create() {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context == nullptr)
        return nullptr;
    auto digest = std::make_unique<OpenSslSha256>(context);
    if (!digest->Start())
        return nullptr;
    return digest;
}

} // namespace VIRid
