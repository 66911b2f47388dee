#pragma once
// Decoding of JPEG pictures (libjpeg) into plain RGB pixels, for the pictures the windows show.
// Made to face any bytes: a damaged, cut-off or hostile file is refused, never half shown.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace olvo {

struct RgbImage {
    int width = 0;
    int height = 0;
    // width * height pixels of three bytes (red, green, blue), rows from the top, no padding.
    std::vector<std::uint8_t> rgb;
};

// Pictures larger than this are refused before any pixel memory is taken: no picture the program
// shows comes near them, and a header is all it takes to ask for gigabytes.
inline constexpr int kMaxJpegSide = 8192;
inline constexpr std::int64_t kMaxJpegPixels = 4 * 1024 * 1024;
// Progressive pictures are refused after this many scans; a few dozen is already unusual.
inline constexpr int kMaxJpegScans = 256;

// The pixels of the JPEG picture in bytes, in RGB whatever its colour space (grey pictures are
// widened). Nothing when libjpeg reports an error or even a warning (a cut-off file among them:
// libjpeg would fill the missing rows with grey), when the colour space cannot be turned into RGB
// (CMYK), or when the picture exceeds the limits above. Prints nothing, never raises, never ends
// the process.
std::optional<RgbImage> DecodeJpeg(std::span<const std::uint8_t> bytes);

}  // namespace olvo
