#pragma once
// The About window's two pictures, as the JPEG bytes of resources/AboutLogo.jpg and
// resources/AboutDonate.jpg, embedded in the program when it is built (EmbedPictures.cmake).
// Decode them with DecodeJpeg (JpegImage.h).

#include <cstdint>
#include <span>

namespace olvo {

// The maker's logo, 136 x 40 pixels.
std::span<const std::uint8_t> AboutLogoJpeg();
// The donation button, 62 x 31 pixels.
std::span<const std::uint8_t> AboutDonateJpeg();

}  // namespace olvo
