// Resizing the template's images for a scaled form.
#include "ui/image_resample.h"

#include <gtest/gtest.h>

namespace zorv::ui {
namespace {

PremultipliedImage Row(std::vector<uint8_t> pixels) {
    return PremultipliedImage{int(pixels.size() / 4), 1, std::move(pixels)};
}

PremultipliedImage Plain(int width, int height, const uint8_t (&pixel)[4]) {
    PremultipliedImage image{width, height, {}};
    for (int i = 0; i < width * height; ++i) image.pixels.insert(image.pixels.end(), pixel, pixel + 4);
    return image;
}

TEST(ImageResample, APlainColourStaysExactlyThatColourAtAnySize) {
    const uint8_t colour[4] = {50, 100, 200, 255};
    PremultipliedImage source = Plain(48, 48, colour);
    for (auto [width, height] : {std::pair{64, 64}, {32, 32}, {31, 17}, {100, 3}, {1, 1}}) {
        PremultipliedImage scaled = ResampleImage(source, width, height);
        ASSERT_EQ(scaled.pixels.size(), std::size_t(width) * height * 4);
        for (std::size_t i = 0; i < scaled.pixels.size(); ++i)
            ASSERT_EQ(scaled.pixels[i], colour[i % 4]) << width << "x" << height << " byte " << i;
    }
    EXPECT_TRUE(ResampleImage(source, 0, 10).pixels.empty());
}

TEST(ImageResample, ShrinkingAveragesAndEnlargingInterpolates) {
    // Two source pixels to one: their mean, halves rounded up.
    PremultipliedImage half = ResampleImage(Row({0, 0, 0, 0, 255, 255, 255, 255, 100, 10, 0, 255, 50, 20, 0, 255}), 2, 1);
    EXPECT_EQ(half.pixels, (std::vector<uint8_t>{128, 128, 128, 128, 75, 15, 0, 255}));
    // One to two: each target pixel's centre a quarter of the way between.
    PremultipliedImage twice = ResampleImage(Row({0, 0, 0, 255, 255, 0, 0, 255}), 4, 1);
    EXPECT_EQ(twice.pixels, (std::vector<uint8_t>{0, 0, 0, 255, 64, 0, 0, 255, 191, 0, 0, 255, 255, 0, 0, 255}));
}

TEST(ImageResample, TransparentPixelsDoNotDarkenTheEdgeOfAColour) {
    // Transparent, transparent, red, red (premultiplied BGRA): wherever the
    // edge blends, red stays red at lower alpha, never a darker red.
    PremultipliedImage edge = Row({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 255, 255});
    for (int width : {3, 7, 9}) {
        PremultipliedImage scaled = ResampleImage(edge, width, 1);
        bool partial = false;
        for (std::size_t i = 0; i < scaled.pixels.size(); i += 4) {
            EXPECT_EQ(scaled.pixels[i], 0);
            EXPECT_EQ(scaled.pixels[i + 1], 0);
            EXPECT_EQ(scaled.pixels[i + 2], scaled.pixels[i + 3]) << "red at alpha " << int(scaled.pixels[i + 3]);
            partial = partial || (scaled.pixels[i + 3] > 0 && scaled.pixels[i + 3] < 255);
        }
        EXPECT_TRUE(partial) << width;
    }
}

}  // namespace
}  // namespace zorv::ui
