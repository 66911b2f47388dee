// The JPEG decoder on the About window's own pictures and on damaged and hostile data.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/version/AboutPictures.h"
#include "core/version/JpegImage.h"

namespace olvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Copy(std::span<const std::uint8_t> bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// The offset of the frame header's height field (SOF0 or SOF2), or 0.
std::size_t FrameSizeOffset(const Bytes& jpeg) {
    for (std::size_t i = 2; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) return i + 5;
    return 0;
}

void SetFrameSize(Bytes& jpeg, int width, int height) {
    const std::size_t at = FrameSizeOffset(jpeg);
    ASSERT_NE(at, 0u);
    jpeg[at] = static_cast<std::uint8_t>(height >> 8);
    jpeg[at + 1] = static_cast<std::uint8_t>(height);
    jpeg[at + 2] = static_cast<std::uint8_t>(width >> 8);
    jpeg[at + 3] = static_cast<std::uint8_t>(width);
}

struct Rgb {
    int r, g, b;
};
Rgb Pixel(const RgbImage& image, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * image.width + x) * 3;
    return {image.rgb[at], image.rgb[at + 1], image.rgb[at + 2]};
}

TEST(DecodeJpeg, OurPicturesAtTheirSizes) {
    const auto logo = DecodeJpeg(AboutLogoJpeg());
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->width, 136);
    EXPECT_EQ(logo->height, 40);
    EXPECT_EQ(logo->rgb.size(), 136u * 40 * 3);
    // A navy ground: blue well above red.
    const Rgb corner = Pixel(*logo, 134, 2);
    EXPECT_GT(corner.b, corner.r + 40);

    const auto donate = DecodeJpeg(AboutDonateJpeg());
    ASSERT_TRUE(donate);
    EXPECT_EQ(donate->width, 62);
    EXPECT_EQ(donate->height, 31);
    EXPECT_EQ(donate->rgb.size(), 62u * 31 * 3);
    // An amber button.
    const Rgb face = Pixel(*donate, 6, 22);
    EXPECT_GT(face.r, 200);
    EXPECT_LT(face.b, 150);
}

// libjpeg would pad a cut-off picture with grey rows and only warn; none of it may be shown.
TEST(DecodeJpeg, EveryCutOffPictureIsRefused) {
    const Bytes whole = Copy(AboutDonateJpeg());
    for (std::size_t size = 0; size < whole.size(); ++size)
        EXPECT_FALSE(DecodeJpeg(std::span(whole.data(), size))) << "cut after " << size;
    const Bytes logo = Copy(AboutLogoJpeg());
    EXPECT_FALSE(DecodeJpeg(std::span(logo.data(), logo.size() / 2)));
}

TEST(DecodeJpeg, GarbageIsRefused) {
    EXPECT_FALSE(DecodeJpeg({}));
    const Bytes soiOnly = {0xFF, 0xD8};
    EXPECT_FALSE(DecodeJpeg(soiOnly));
    const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
    EXPECT_FALSE(DecodeJpeg(text));

    std::mt19937 random(7);
    Bytes noise(4096);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    EXPECT_FALSE(DecodeJpeg(noise));
    noise[0] = 0xFF;
    noise[1] = 0xD8;
    EXPECT_FALSE(DecodeJpeg(noise));
}

TEST(DecodeJpeg, RandomDamageIsRefusedOrDecodedWhole) {
    const Bytes whole = Copy(AboutLogoJpeg());
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        Bytes damaged = whole;
        for (int i = 0; i < 4; ++i)
            damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
        const auto image = DecodeJpeg(damaged);
        if (image) {
            EXPECT_EQ(image->rgb.size(), std::size_t(image->width) * image->height * 3);
        }
    }
}

TEST(DecodeJpeg, AbsurdSizesAreRefusedBeforeDecoding) {
    Bytes huge = Copy(AboutDonateJpeg());
    SetFrameSize(huge, 65000, 65000);
    EXPECT_FALSE(DecodeJpeg(huge));
    Bytes wide = Copy(AboutDonateJpeg());
    SetFrameSize(wide, kMaxJpegSide + 1, 1);
    EXPECT_FALSE(DecodeJpeg(wide));
    Bytes many = Copy(AboutDonateJpeg());
    SetFrameSize(many, 4096, 4096);
    EXPECT_FALSE(DecodeJpeg(many));
    Bytes empty = Copy(AboutDonateJpeg());
    SetFrameSize(empty, 0, 31);
    EXPECT_FALSE(DecodeJpeg(empty));
}

TEST(DecodeJpeg, TrailingBytesAfterThePictureDoNotMatter) {
    Bytes padded = Copy(AboutDonateJpeg());
    padded.insert(padded.end(), {0x00, 0x11, 0x22});
    const auto image = DecodeJpeg(padded);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 62);
}

}  // namespace
}  // namespace olvo
