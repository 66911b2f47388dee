#include <algorithm>
#include <array>

#include "core/recovery/Checksums.h"

namespace olvo {
namespace {
constexpr std::array<std::uint8_t, 4096> kZeros{};
}

void Md5::UpdateZeros(std::uint64_t count) {
    while (count > 0) {
        const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(count, 4096));
        Update(kZeros.data(), part);
        count -= part;
    }
}

Md5Digest Md5Of(const void* data, std::size_t size) {
    Md5 md5;
    md5.Update(data, size);
    return md5.Finish();
}

std::uint32_t Crc32Zeros(std::uint32_t crc, std::uint64_t count) {
    while (count > 0) {
        const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(count, 4096));
        crc = Crc32(crc, kZeros.data(), part);
        count -= part;
    }
    return crc;
}

}  // namespace olvo
