#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <stdexcept>

#include "platform/Sha256.h"

namespace olvo {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

namespace {

void Check(NTSTATUS status) {
    if (status < 0) throw std::runtime_error("SHA-256 failed");
}

}  // namespace

Sha256::Sha256() : m_state(std::make_unique<State>()) {
    Check(::BCryptOpenAlgorithmProvider(&m_state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    Check(::BCryptCreateHash(m_state->algorithm, &m_state->hash, nullptr, 0, nullptr, 0, 0));
}

Sha256::~Sha256() {
    if (m_state->hash) ::BCryptDestroyHash(m_state->hash);
    if (m_state->algorithm) ::BCryptCloseAlgorithmProvider(m_state->algorithm, 0);
}

void Sha256::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const UCHAR*>(data);
    while (size > 0) {
        const ULONG step = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        Check(::BCryptHashData(m_state->hash, const_cast<PUCHAR>(bytes), step, 0));
        bytes += step;
        size -= step;
    }
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    Check(::BCryptFinishHash(m_state->hash, digest.data(), 32, 0));
    ::BCryptDestroyHash(m_state->hash);
    m_state->hash = nullptr;
    Check(::BCryptCreateHash(m_state->algorithm, &m_state->hash, nullptr, 0, nullptr, 0, 0));
    return digest;
}

}  // namespace olvo
