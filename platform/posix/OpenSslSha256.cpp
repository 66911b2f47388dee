#include <openssl/evp.h>

#include <stdexcept>

#include "platform/Sha256.h"

namespace olvo {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
};

namespace {

void Begin(EVP_MD_CTX* context) {
    if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
}

}  // namespace

Sha256::Sha256() : m_state(std::make_unique<State>()) {
    m_state->context = EVP_MD_CTX_new();
    if (m_state->context == nullptr) throw std::bad_alloc();
    Begin(m_state->context);
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(m_state->context);
}

void Sha256::Update(const void* data, std::size_t size) {
    if (size > 0 && EVP_DigestUpdate(m_state->context, data, size) != 1)
        throw std::runtime_error("SHA-256 failed");
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_state->context, digest.data(), &length) != 1 || length != 32)
        throw std::runtime_error("SHA-256 failed");
    Begin(m_state->context);
    return digest;
}

}  // namespace olvo
