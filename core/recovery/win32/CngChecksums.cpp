// MD5 from the system's CNG provider; CRC-32 from a table (the Windows build has no zlib).

#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <array>
#include <stdexcept>

#include "core/recovery/Checksums.h"

namespace olvo {
namespace {

BCRYPT_ALG_HANDLE Md5Provider() {
    static BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (BCryptOpenAlgorithmProvider(&handle, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0)
            throw std::runtime_error("MD5 is not available");
        return handle;
    }();
    return provider;
}

std::array<std::uint32_t, 256> CrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

}  // namespace

struct Md5::State {
    BCRYPT_HASH_HANDLE hash = nullptr;
    State() {
        if (BCryptCreateHash(Md5Provider(), &hash, nullptr, 0, nullptr, 0, 0) != 0)
            throw std::runtime_error("MD5 is not available");
    }
    State(const State& other) {
        if (BCryptDuplicateHash(other.hash, &hash, nullptr, 0, 0) != 0)
            throw std::runtime_error("MD5 is not available");
    }
    ~State() {
        if (hash) BCryptDestroyHash(hash);
    }
};

Md5::Md5() : m_state(std::make_unique<State>()) {}
Md5::~Md5() = default;
Md5::Md5(const Md5& other) : m_state(std::make_unique<State>(*other.m_state)) {}
Md5& Md5::operator=(const Md5& other) {
    if (this != &other) m_state = std::make_unique<State>(*other.m_state);
    return *this;
}

void Md5::Update(const void* data, std::size_t size) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
        const ULONG part = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        BCryptHashData(m_state->hash, bytes, part, 0);
        bytes += part;
        size -= part;
    }
}

Md5Digest Md5::Finish() {
    Md5Digest digest{};
    BCryptFinishHash(m_state->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    return digest;
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = CrcTable();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

}  // namespace olvo
