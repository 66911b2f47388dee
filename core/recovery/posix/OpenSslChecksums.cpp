// MD5 from libcrypto's digest interface, CRC-32 from zlib.

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "core/recovery/Checksums.h"

namespace olvo {

struct Md5::State {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    State() {
        if (!context || !EVP_DigestInit_ex(context, EVP_md5(), nullptr))
            throw std::runtime_error("MD5 is not available");
    }
    State(const State& other) {
        if (!context || !EVP_MD_CTX_copy_ex(context, other.context))
            throw std::runtime_error("MD5 is not available");
    }
    ~State() { EVP_MD_CTX_free(context); }
};

Md5::Md5() : m_state(std::make_unique<State>()) {}
Md5::~Md5() = default;
Md5::Md5(const Md5& other) : m_state(std::make_unique<State>(*other.m_state)) {}
Md5& Md5::operator=(const Md5& other) {
    if (this != &other) m_state = std::make_unique<State>(*other.m_state);
    return *this;
}

void Md5::Update(const void* data, std::size_t size) {
    EVP_DigestUpdate(m_state->context, data, size);
}

Md5Digest Md5::Finish() {
    Md5Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_state->context, digest.data(), &length);
    return digest;
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const Bytef*>(data);
    while (size > 0) {
        const auto part = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
        crc = static_cast<std::uint32_t>(crc32(crc, bytes, part));
        bytes += part;
        size -= part;
    }
    return crc;
}

}  // namespace olvo
