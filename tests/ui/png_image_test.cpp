#include "ui/png_image.h"

#include "png_test_encoder.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <vector>

namespace zorv::ui {
namespace {

// Encodes a width × height image of the colour type and bit depth; pixel
// (x, y) of an 8-bit RGBA image is (x, y, 7, alpha), other images are zero.
std::vector<uint8_t> EncodePng(int width, int height, int colorType, int bitDepth, uint8_t alpha = 255) {
    bool rgba8 = colorType == PNG_COLOR_TYPE_RGBA && bitDepth == 8;
    return test::EncodePngRows(width, height, colorType, bitDepth, [&](int y, uint8_t* row) {
        for (int x = 0; x < width && rgba8; ++x) {
            row[x * 4] = uint8_t(x);
            row[x * 4 + 1] = uint8_t(y);
            row[x * 4 + 2] = 7;
            row[x * 4 + 3] = alpha;
        }
    });
}

TEST(PngImage, DecodesRgbaPixelsTopDown) {
    std::vector<uint8_t> file = EncodePng(5, 3, PNG_COLOR_TYPE_RGBA, 8, 200);
    PngError error = PngError::Corrupt;
    std::optional<RgbaImage> image = DecodePng(file, &error);
    ASSERT_TRUE(image);
    EXPECT_EQ(error, PngError::None);
    EXPECT_EQ(image->width, 5);
    EXPECT_EQ(image->height, 3);
    ASSERT_EQ(image->pixels.size(), 5u * 3 * 4);
    const uint8_t* pixel = &image->pixels[(2 * 5 + 4) * 4];  // x 4, y 2
    EXPECT_EQ(pixel[0], 4);
    EXPECT_EQ(pixel[1], 2);
    EXPECT_EQ(pixel[2], 7);
    EXPECT_EQ(pixel[3], 200);
    EXPECT_TRUE(image->HasTransparency());
    EXPECT_FALSE(DecodePng(EncodePng(2, 2, PNG_COLOR_TYPE_RGBA, 8, 255))->HasTransparency());
}

TEST(PngImage, RefusesDamagedOrForeignData) {
    std::vector<uint8_t> good = EncodePng(16, 16, PNG_COLOR_TYPE_RGBA, 8);
    PngError error = PngError::None;

    for (std::size_t cut : {std::size_t(8), std::size_t(30), good.size() / 2, good.size() - 13}) {
        std::vector<uint8_t> truncated(good.begin(), good.begin() + cut);
        EXPECT_FALSE(DecodePng(truncated, &error)) << "cut at " << cut;
        EXPECT_EQ(error, PngError::Corrupt) << "cut at " << cut;
    }

    std::vector<uint8_t> damaged = good;
    damaged[good.size() / 2] ^= 0xFF;  // inside the compressed pixels: CRC and inflate fail
    EXPECT_FALSE(DecodePng(damaged, &error));
    EXPECT_EQ(error, PngError::Corrupt);

    const std::vector<uint8_t> text = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(DecodePng(text, &error));
    EXPECT_EQ(error, PngError::NotPng);
    EXPECT_FALSE(DecodePng({}, &error));
    EXPECT_EQ(error, PngError::NotPng);
}

TEST(PngImage, RefusesOtherPixelFormats) {
    PngError error = PngError::None;
    EXPECT_FALSE(DecodePng(EncodePng(4, 4, PNG_COLOR_TYPE_RGBA, 16), &error));
    EXPECT_EQ(error, PngError::UnsupportedFormat);
    EXPECT_FALSE(DecodePng(EncodePng(4, 4, PNG_COLOR_TYPE_RGB, 8), &error));
    EXPECT_EQ(error, PngError::UnsupportedFormat);
    EXPECT_FALSE(DecodePng(EncodePng(4, 4, PNG_COLOR_TYPE_GRAY, 8), &error));
    EXPECT_EQ(error, PngError::UnsupportedFormat);
}

TEST(PngImage, RefusesOversizedImagesBeforeAllocating) {
    std::vector<uint8_t> file = EncodePng(1, 1, PNG_COLOR_TYPE_RGBA, 8);
    // Rewrite the header's width to 100000 and fix the header's CRC.
    file[16] = 0x00, file[17] = 0x01, file[18] = 0x86, file[19] = 0xA0;
    uint32_t crc = uint32_t(png_uint_32(crc32(0, file.data() + 12, 17)));
    file[29] = uint8_t(crc >> 24), file[30] = uint8_t(crc >> 16), file[31] = uint8_t(crc >> 8), file[32] = uint8_t(crc);
    PngError error = PngError::None;
    EXPECT_FALSE(DecodePng(file, &error));
    EXPECT_EQ(error, PngError::TooLarge);
}

}  // namespace
}  // namespace zorv::ui
