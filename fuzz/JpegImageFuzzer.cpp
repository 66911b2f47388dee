// The JPEG decoding of the About window's pictures on any bytes: the pictures are files that can
// be damaged or replaced. A picture comes out whole and within the limits, or not at all.

#include <cstdint>
#include <span>

#include "FuzzCheck.h"
#include "core/version/JpegImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace olvo;
    const auto image = DecodeJpeg(std::span<const std::uint8_t>(data, size));
    if (!image) return 0;
    FUZZ_CHECK(image->width > 0 && image->width <= kMaxJpegSide);
    FUZZ_CHECK(image->height > 0 && image->height <= kMaxJpegSide);
    FUZZ_CHECK(std::int64_t{image->width} * image->height <= kMaxJpegPixels);
    FUZZ_CHECK(image->rgb.size() == static_cast<std::size_t>(image->width) * image->height * 3);
    return 0;
}
