#pragma once
// SHA-256 from the system's cryptographic library (OpenSSL's libcrypto on POSIX, CNG on Windows),
// which uses the processor's SHA instructions where it has them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace olvo {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t size);
    // The digest of everything given since construction or the last Finish; starts anew.
    Sha256Digest Finish();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// 64 lower-case hexadecimal digits.
std::string HexDigest(const Sha256Digest& digest);

}  // namespace olvo
