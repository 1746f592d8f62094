#include "ui/png_image.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <vector>

namespace zorv::ui {
namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// Encodes a width × height image of the colour type and bit depth; pixel
// (x, y) of an RGBA image is (x, y, 7, alpha).
std::vector<uint8_t> EncodePng(int width, int height, int colorType, int bitDepth, uint8_t alpha = 255) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    int channels = colorType == PNG_COLOR_TYPE_RGBA ? 4 : colorType == PNG_COLOR_TYPE_RGB ? 3 : 1;
    std::vector<uint8_t> row(std::size_t(width) * channels * (bitDepth / 8 ? bitDepth / 8 : 1) + 8);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width && channels == 4 && bitDepth == 8; ++x) {
            row[x * 4] = uint8_t(x);
            row[x * 4 + 1] = uint8_t(y);
            row[x * 4 + 2] = 7;
            row[x * 4 + 3] = alpha;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
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
