#include "core/recovery/Gf16.h"

#include <array>
#include <cstring>
#include <stdexcept>

namespace olvo {
namespace {

constexpr std::uint32_t kGenerator = 0x1100B;
constexpr std::uint32_t kOrder = 65535;

struct Tables {
    std::array<GfWord, kOrder> antilog{};
    std::array<std::uint32_t, 65536> log{};

    Tables() {
        std::uint32_t value = 1;
        for (std::uint32_t n = 0; n < kOrder; ++n) {
            antilog[n] = static_cast<GfWord>(value);
            log[value] = n;
            value <<= 1;
            if (value & 0x10000) value ^= kGenerator;
        }
    }
};

const Tables& FieldTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

GfWord GfMultiply(GfWord a, GfWord b) {
    if (a == 0 || b == 0) return 0;
    const Tables& t = FieldTables();
    return t.antilog[(t.log[a] + t.log[b]) % kOrder];
}

GfWord GfPower(GfWord a, std::uint32_t n) {
    if (n == 0) return 1;
    if (a == 0) return 0;
    const Tables& t = FieldTables();
    return t.antilog[(static_cast<std::uint64_t>(t.log[a]) * n) % kOrder];
}

GfWord GfInverse(GfWord a) {
    if (a == 0) throw std::domain_error("GF(2^16): 0 has no inverse");
    const Tables& t = FieldTables();
    return t.antilog[(kOrder - t.log[a]) % kOrder];
}

void GfMultiplyAddPortable(const void* src, void* dst, GfWord factor, std::size_t bytes) {
    if (factor == 0) return;
    const Tables& t = FieldTables();
    const std::uint32_t logFactor = t.log[factor];
    const auto* in = static_cast<const std::uint8_t*>(src);
    auto* out = static_cast<std::uint8_t*>(dst);
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const GfWord word = static_cast<GfWord>(in[i] | in[i + 1] << 8);
        if (word == 0) continue;
        const GfWord product = t.antilog[(t.log[word] + logFactor) % kOrder];
        out[i] ^= static_cast<std::uint8_t>(product);
        out[i + 1] ^= static_cast<std::uint8_t>(product >> 8);
    }
}

std::optional<GfMatrix> GfInvert(GfMatrix m) {
    const std::size_t n = m.size;
    GfMatrix inverse{n, std::vector<GfWord>(n * n, 0)};
    for (std::size_t i = 0; i < n; ++i) inverse.At(i, i) = 1;
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        while (pivot < n && m.At(pivot, col) == 0) ++pivot;
        if (pivot == n) return std::nullopt;
        for (std::size_t k = 0; k < n; ++k) {
            std::swap(m.At(col, k), m.At(pivot, k));
            std::swap(inverse.At(col, k), inverse.At(pivot, k));
        }
        const GfWord scale = GfInverse(m.At(col, col));
        for (std::size_t k = 0; k < n; ++k) {
            m.At(col, k) = GfMultiply(m.At(col, k), scale);
            inverse.At(col, k) = GfMultiply(inverse.At(col, k), scale);
        }
        for (std::size_t row = 0; row < n; ++row) {
            const GfWord factor = m.At(row, col);
            if (row == col || factor == 0) continue;
            for (std::size_t k = 0; k < n; ++k) {
                m.At(row, k) ^= GfMultiply(factor, m.At(col, k));
                inverse.At(row, k) ^= GfMultiply(factor, inverse.At(col, k));
            }
        }
    }
    return inverse;
}

std::vector<GfWord> InputSliceConstants(std::uint32_t count) {
    if (count > kMaxInputSlices) throw std::length_error("too many input slices");
    std::vector<GfWord> constants;
    constants.reserve(count);
    for (std::uint32_t n = 1; constants.size() < count; ++n) {
        if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0)
            constants.push_back(GfPower(2, n));
    }
    return constants;
}

}  // namespace olvo
