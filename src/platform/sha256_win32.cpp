// SHA-256 from Windows' own cryptography (CNG), which uses the processor's SHA instructions.
#include <windows.h>

#include <bcrypt.h>

#include <new>

#include "platform/sha256.h"

namespace tessarel {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    State() {
        if (::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
            throw std::bad_alloc();
        }
    }
    ~State() {
        if (hash) {
            ::BCryptDestroyHash(hash);
        }
        ::BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    void Start() {
        if (hash) {
            ::BCryptDestroyHash(hash);
            hash = nullptr;
        }
        if (::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0) {
            throw std::bad_alloc();
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
    // The call takes at most 4 GiB at a time.
    while (size > 0) {
        const ULONG n = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
        ::BCryptHashData(state_->hash, const_cast<PUCHAR>(data), n, 0);
        data += n;
        size -= n;
    }
}

Digest Sha256::Finish() {
    Digest digest{};
    ::BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    state_->Start();
    return digest;
}

struct ListHash::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    size_t length = 0;
    explicit State(LPCWSTR name) {
        if (::BCryptOpenAlgorithmProvider(&algorithm, name, nullptr, 0) != 0) {
            throw std::bad_alloc();
        }
    }
    ~State() {
        if (hash) {
            ::BCryptDestroyHash(hash);
        }
        ::BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    void Start() {
        if (hash) {
            ::BCryptDestroyHash(hash);
            hash = nullptr;
        }
        if (::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0) {
            throw std::bad_alloc();
        }
    }
};

ListHash::ListHash(Kind kind)
    : state_(std::make_unique<State>(kind == Kind::kMd5      ? BCRYPT_MD5_ALGORITHM
                                     : kind == Kind::kSha512 ? BCRYPT_SHA512_ALGORITHM
                                                             : BCRYPT_SHA256_ALGORITHM)) {
    state_->length = LengthOf(kind);
    state_->Start();
}

ListHash::~ListHash() = default;
ListHash::ListHash(ListHash&&) noexcept = default;
ListHash& ListHash::operator=(ListHash&&) noexcept = default;

void ListHash::Update(const uint8_t* data, size_t size) {
    while (size > 0) {
        const ULONG n = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
        ::BCryptHashData(state_->hash, const_cast<PUCHAR>(data), n, 0);
        data += n;
        size -= n;
    }
}

std::vector<uint8_t> ListHash::Finish() {
    std::vector<uint8_t> digest(state_->length);
    ::BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    state_->Start();
    return digest;
}

}  // namespace tessarel
