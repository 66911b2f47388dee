#pragma once
// Arithmetic in GF(2^16) with the generator polynomial 0x1100B: the field of the recovery data.
// Addition is XOR. Data regions are read as 16-bit little-endian words.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace olvo {

using GfWord = std::uint16_t;

GfWord GfMultiply(GfWord a, GfWord b);
// a raised to the power n; 0^0 is 1.
GfWord GfPower(GfWord a, std::uint32_t n);
// The multiplicative inverse; a must not be 0.
GfWord GfInverse(GfWord a);

// dst += factor * src, word by word, over bytes bytes (even). src and dst do not overlap and are
// best aligned to 64 bytes. Runs on the fastest code the build has (gf-complete's SIMD regions on
// POSIX, the table code below elsewhere); safe to call from several threads at once.
void GfMultiplyAdd(const void* src, void* dst, GfWord factor, std::size_t bytes);

// The same, word by word from the log tables: the reference the fast code is held against.
void GfMultiplyAddPortable(const void* src, void* dst, GfWord factor, std::size_t bytes);

// A square matrix of field elements, row by row.
struct GfMatrix {
    std::size_t size = 0;
    std::vector<GfWord> cells;  // size * size

    GfWord& At(std::size_t row, std::size_t column) { return cells[row * size + column]; }
    GfWord At(std::size_t row, std::size_t column) const { return cells[row * size + column]; }
};

// The inverse of matrix by Gaussian elimination, or nothing when it is singular.
std::optional<GfMatrix> GfInvert(GfMatrix matrix);

// The constant of input slice index (0-based) in the recovery code: 2^n for the index-th
// exponent n that is not a multiple of 3, 5, 17 or 257. There are kMaxInputSlices of them.
inline constexpr std::uint32_t kMaxInputSlices = 32768;
std::vector<GfWord> InputSliceConstants(std::uint32_t count);

}  // namespace olvo
