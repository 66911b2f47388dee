// The one-shot SHA-256 functions of libcrypto: the same assembly (with the processor's SHA
// instructions) as the EVP interface, without the provider machinery that EVP sets up on first
// use, which costs about 2 MiB of memory.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <stdexcept>

#include "platform/Sha256.h"

namespace olvo {

struct Sha256::State {
    SHA256_CTX context;
};

Sha256::Sha256() : m_state(std::make_unique<State>()) {
    if (SHA256_Init(&m_state->context) != 1) throw std::runtime_error("SHA-256 is not available");
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* data, std::size_t size) {
    if (size > 0 && SHA256_Update(&m_state->context, data, size) != 1)
        throw std::runtime_error("SHA-256 failed");
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    if (SHA256_Final(digest.data(), &m_state->context) != 1 || SHA256_Init(&m_state->context) != 1)
        throw std::runtime_error("SHA-256 failed");
    return digest;
}

}  // namespace olvo
