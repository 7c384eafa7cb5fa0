// SHA-256 from the system's maintained library (OpenSSL's libcrypto on Linux, CNG on Windows),
// which uses the processor's SHA instructions where it has them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessarel {

using Digest = std::array<uint8_t, 32>;

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;

    void Update(const uint8_t* data, size_t size);
    // The digest of everything given so far; the object starts afresh afterwards.
    Digest Finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// 64 lower-case hexadecimal digits.
std::string HexOf(const Digest& digest);

// The digests other tools' checksum lists give (md5sum, sha256sum, sha512sum), from the same
// library: for a list that is not Tessarel's own.
class ListHash {
  public:
    enum class Kind { kMd5, kSha256, kSha512 };
    explicit ListHash(Kind kind);
    ~ListHash();
    ListHash(ListHash&&) noexcept;
    ListHash& operator=(ListHash&&) noexcept;
    void Update(const uint8_t* data, size_t size);
    std::vector<uint8_t> Finish();
    // The digest's length in bytes: 16, 32, 64.
    static size_t LengthOf(Kind kind);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tessarel
