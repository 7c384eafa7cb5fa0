#include <openssl/evp.h>

#include <new>

#include "platform/sha256.h"

namespace tessarel {

struct Sha256::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~State() { EVP_MD_CTX_free(context); }
    void Start() {
        if (!context || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
            throw std::bad_alloc();  // the library could not make its state: out of memory
        }
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->Start();
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(const uint8_t* data, size_t size) {
    EVP_DigestUpdate(state_->context, data, size);
}

Digest Sha256::Finish() {
    Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->context, digest.data(), &length);
    state_->Start();
    return digest;
}

struct ListHash::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const EVP_MD* kind = nullptr;
    ~State() { EVP_MD_CTX_free(context); }
    void Start() {
        if (!context || EVP_DigestInit_ex(context, kind, nullptr) != 1) {
            throw std::bad_alloc();
        }
    }
};

ListHash::ListHash(Kind kind) : state_(std::make_unique<State>()) {
    state_->kind = kind == Kind::kMd5      ? EVP_md5()
                   : kind == Kind::kSha512 ? EVP_sha512()
                                           : EVP_sha256();
    state_->Start();
}

ListHash::~ListHash() = default;
ListHash::ListHash(ListHash&&) noexcept = default;
ListHash& ListHash::operator=(ListHash&&) noexcept = default;

void ListHash::Update(const uint8_t* data, size_t size) {
    EVP_DigestUpdate(state_->context, data, size);
}

std::vector<uint8_t> ListHash::Finish() {
    std::vector<uint8_t> digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->context, digest.data(), &length);
    digest.resize(length);
    state_->Start();
    return digest;
}

}  // namespace tessarel
