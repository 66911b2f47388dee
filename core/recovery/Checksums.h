#pragma once
// The checksums of the recovery files: MD5 (OpenSSL's libcrypto on POSIX, CNG on Windows) and
// the common CRC-32 (zlib's on POSIX).

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace olvo {

using Md5Digest = std::array<std::uint8_t, 16>;

class Md5 {
  public:
    Md5();
    ~Md5();
    // A copy carries on from the same state: a file's digest and its zero-padded slice's digest
    // come from one pass over its bytes.
    Md5(const Md5& other);
    Md5& operator=(const Md5& other);

    void Update(const void* data, std::size_t size);
    // Feeds count zero bytes.
    void UpdateZeros(std::uint64_t count);
    // The digest of everything given; the object is spent until assigned again.
    Md5Digest Finish();

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

Md5Digest Md5Of(const void* data, std::size_t size);

// The CRC-32 of data continuing from crc (0 to begin).
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);
// The CRC-32 continued over count zero bytes.
std::uint32_t Crc32Zeros(std::uint32_t crc, std::uint64_t count);

}  // namespace olvo
