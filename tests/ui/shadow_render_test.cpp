#include "ui/shadow_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <tuple>
#include <vector>

namespace zorv::ui {
namespace {

constexpr uint32_t kMainColor = ComposeColor(0, 0, 0, 50);
constexpr uint32_t kLightColor = ComposeColor(239, 240, 255, 255);

struct Shadow {
  ShadowLayout layout;
  std::vector<uint32_t> pixels;

  // Pixel at column x, row y counted from the top of the picture.
  uint32_t At(int x, int y) const {
    return pixels[static_cast<size_t>(layout.width) * (layout.height - 1 - y) + x];
  }
};

Shadow Render(int width, int height, float size, uint32_t color, int offset = 1) {
  Shadow shadow;
  const std::optional<ShadowLayout> layout = LayoutShadow(100, 50, 100 + width, 50 + height, size, offset, offset);
  EXPECT_TRUE(layout.has_value());
  if (!layout) return shadow;
  shadow.layout = *layout;
  shadow.pixels.assign(layout->PixelCount(), 0xDEADBEEFu);
  EXPECT_TRUE(RenderShadowPixels(*layout, color, shadow.pixels));
  return shadow;
}

int Channel(uint32_t pixel, int shift) { return static_cast<int>(pixel >> shift & 0xFF); }

// Coverage of a pixel by the target's box [c − 1, c − 1 + length) blurred
// with the Gaussian whose erf scale is s, sampled at the pixel's centre.
double ReferenceCoverage(int pixel, int extent, int length) {
  const double scale = extent * 0.5316457492366224;
  const double centre = pixel + 0.5;
  const double start = extent - 1.0;
  return (std::erf((centre - start) / scale) - std::erf((centre - start - length) / scale)) / 2;
}

// Number of pixels outside the inner rectangle whose channels differ by more
// than one step from the reference blur.
int CountReferenceMismatches(const Shadow& shadow, uint32_t color) {
  const ShadowLayout& l = shadow.layout;
  std::vector<double> columns(l.width), rows(l.height);
  for (int x = 0; x < l.width; ++x) columns[x] = ReferenceCoverage(x, l.extent, l.targetWidth);
  for (int y = 0; y < l.height; ++y) rows[y] = ReferenceCoverage(y, l.extent, l.targetHeight);
  int mismatches = 0;
  for (int y = 0; y < l.height; ++y) {
    for (int x = 0; x < l.width; ++x) {
      const bool inner = x >= 2 * l.extent && x < l.width - 2 * l.extent && y >= 2 * l.extent &&
                         y < l.height - 2 * l.extent;
      if (inner) continue;
      for (int shift : {0, 8, 16, 24}) {
        const double expected = Channel(color, shift) * columns[x] * rows[y];
        if (std::abs(Channel(shadow.At(x, y), shift) - expected) > 1.0) ++mismatches;
      }
    }
  }
  return mismatches;
}

// Every pixel evaluated one by one from the two profiles, without the
// renderer's shortcuts (plain-colour runs, repeated rims).
std::vector<uint32_t> RenderPixelByPixel(const ShadowLayout& l, uint32_t color) {
  const float scale = static_cast<float>(l.extent) * 0.5316457492366224f;
  auto profile = [&](int k, int length) {
    return (1.0f + ErrorFunction((static_cast<float>(k - l.extent - length) + 1.5f) / scale)) * 0.5f;
  };
  std::vector<uint32_t> pixels(l.PixelCount());
  for (int y = 0; y < l.height; ++y) {
    const float rowFactor = profile(y + l.targetHeight, l.targetHeight) - profile(y, l.targetHeight);
    for (int x = 0; x < l.width; ++x) {
      const bool inner = x >= 2 * l.extent && x < l.width - 2 * l.extent && y >= 2 * l.extent &&
                         y < l.height - 2 * l.extent;
      const float v = (profile(x + l.targetWidth, l.targetWidth) - profile(x, l.targetWidth)) * rowFactor;
      const uint32_t pixel =
          inner ? color
                : ComposeColor(static_cast<int32_t>(Channel(color, 16) * v), static_cast<int32_t>(Channel(color, 8) * v),
                               static_cast<int32_t>(Channel(color, 0) * v), static_cast<int32_t>(Channel(color, 24) * v));
      pixels[static_cast<size_t>(l.width) * (l.height - 1 - y) + x] = pixel;
    }
  }
  return pixels;
}

TEST(ShadowLayout, BitmapsOfTheThreeWindows) {
  float mainSize = 30, optionsSize = 20, progressSize = 50;
  const auto main = LayoutShadow(0, 0, 1365, 902, mainSize, 1, 1);
  const auto options = LayoutShadow(0, 0, 1365, 250, optionsSize, 1, 1);
  const auto progress = LayoutShadow(0, 0, 964, 700, progressSize, 1, 1);
  ASSERT_TRUE(main && options && progress);
  EXPECT_EQ(main->width, 1425);
  EXPECT_EQ(main->height, 962);
  EXPECT_EQ(options->width, 1405);
  EXPECT_EQ(options->height, 290);
  EXPECT_EQ(progress->width, 1064);
  EXPECT_EQ(progress->height, 800);
}

TEST(ShadowLayout, PlacesBitmapAroundTheTarget) {
  float size = 30;
  const auto layout = LayoutShadow(200, 120, 1565, 1022, size, 1, 1);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->screenX, 200 - 29);
  EXPECT_EQ(layout->screenY, 120 - 29);
  EXPECT_EQ(layout->targetX, 29);
  EXPECT_EQ(layout->targetY, 29);

  float shifted = 20;
  const auto other = LayoutShadow(-50, 10, 50, 60, shifted, -3, 7);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->screenX, -50 - 3 - 20);
  EXPECT_EQ(other->screenY, 10 + 7 - 20);
  EXPECT_EQ(other->targetX, 23);
  EXPECT_EQ(other->targetY, 13);
}

TEST(ShadowLayout, SizeIsTruncatedAndRaisedToOne) {
  float small = 0.4f;
  const auto raised = LayoutShadow(0, 0, 100, 80, small, 1, 1);
  ASSERT_TRUE(raised);
  EXPECT_EQ(small, 1.0f);
  EXPECT_EQ(raised->extent, 1);
  EXPECT_EQ(raised->width, 102);
  EXPECT_EQ(raised->height, 82);

  float negative = -12.0f;
  EXPECT_EQ(ShadowExtent(negative), 1);
  EXPECT_EQ(negative, 1.0f);
  float notANumber = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(ShadowExtent(notANumber), 1);
  EXPECT_EQ(notANumber, 1.0f);

  // A whole-number part is used as it is and the size is left alone.
  float fractional = 30.75f;
  EXPECT_EQ(ShadowExtent(fractional), 30);
  EXPECT_EQ(fractional, 30.75f);
}

TEST(ShadowLayout, RefusesWhatCannotBeDrawn) {
  float size = 30;
  EXPECT_FALSE(LayoutShadow(10, 0, 9, 100, size, 1, 1));  // inverted horizontally
  EXPECT_FALSE(LayoutShadow(0, 10, 100, 9, size, 1, 1));  // inverted vertically
  float huge = 1e30f;
  EXPECT_FALSE(LayoutShadow(0, 0, 100, 100, huge, 1, 1));
  float infinite = std::numeric_limits<float>::infinity();
  EXPECT_FALSE(LayoutShadow(0, 0, 100, 100, infinite, 1, 1));
  float big = 14000;  // a 29365 × 28902 bitmap: more than 2 GB
  EXPECT_FALSE(LayoutShadow(0, 0, 1365, 902, big, 1, 1));
  // An empty target still has its blurred rim.
  float normal = 5;
  const auto empty = LayoutShadow(7, 7, 7, 7, normal, 1, 1);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->width, 10);
  EXPECT_EQ(empty->height, 10);
}

TEST(ShadowPixels, InnerRectangleIsThePlainColour) {
  for (const auto& [color, size] : {std::pair{kMainColor, 30.0f}, std::pair{kLightColor, 50.0f}}) {
    const Shadow shadow = Render(1365, 902, size, color);
    const int c = shadow.layout.extent;
    int wrong = 0;
    for (int y = 2 * c; y < shadow.layout.height - 2 * c; ++y) {
      for (int x = 2 * c; x < shadow.layout.width - 2 * c; ++x) wrong += shadow.At(x, y) != color;
    }
    EXPECT_EQ(wrong, 0) << std::hex << color;
  }
}

TEST(ShadowPixels, FadesToNothingAtTheOuterEdge) {
  const Shadow shadow = Render(1365, 902, 30, kLightColor);
  const int right = shadow.layout.width - 1;
  const int bottom = shadow.layout.height - 1;
  const int midX = shadow.layout.width / 2;
  const int midY = shadow.layout.height / 2;
  // Under 1 % of the colour's alpha on every side, and nothing at all in the
  // corners, where both profiles are small.
  for (const auto& [x, y] : {std::pair{0, midY}, std::pair{right, midY}, std::pair{midX, 0}, std::pair{midX, bottom}}) {
    EXPECT_LE(Channel(shadow.At(x, y), 24), 2) << x << "," << y;
  }
  for (const auto& [x, y] : {std::pair{0, 0}, std::pair{right, 0}, std::pair{0, bottom}, std::pair{right, bottom}}) {
    EXPECT_EQ(shadow.At(x, y), 0u) << x << "," << y;
  }
}

TEST(ShadowPixels, HalfTheColourJustOutsideTheTarget) {
  const Shadow shadow = Render(1365, 902, 30, kLightColor);
  const ShadowLayout& l = shadow.layout;
  const int midX = l.width / 2;
  const int midY = l.height / 2;
  const std::pair<int, int> beside[] = {{l.targetX - 1, midY},
                                        {l.targetX + l.targetWidth, midY},
                                        {midX, l.targetY - 1},
                                        {midX, l.targetY + l.targetHeight}};
  for (const auto& [x, y] : beside) {
    const uint32_t pixel = shadow.At(x, y);
    for (int shift : {0, 8, 16, 24}) {
      const int half = Channel(kLightColor, shift) / 2;
      EXPECT_NEAR(Channel(pixel, shift), half, half * 0.1) << x << "," << y << " shift " << shift;
    }
  }
  // Further out the shadow is lighter, further in (under the target) darker.
  EXPECT_LT(Channel(shadow.At(l.targetX - 10, midY), 24), Channel(shadow.At(l.targetX - 1, midY), 24));
  EXPECT_GT(Channel(shadow.At(l.targetX + 10, midY), 24), Channel(shadow.At(l.targetX - 1, midY), 24));
}

TEST(ShadowPixels, MatchesTheBlurredTargetRectangle) {
  // A small extent makes the edges steep, so a pixel taken from the wrong row
  // or column is far from its reference.
  const Shadow small = Render(40, 20, 3, kLightColor);
  EXPECT_EQ(CountReferenceMismatches(small, kLightColor), 0);
  const Shadow thin = Render(5, 3, 4, kLightColor);  // no inner rectangle at all
  EXPECT_EQ(CountReferenceMismatches(thin, kLightColor), 0);
  const Shadow main = Render(1365, 902, 30, kMainColor);
  EXPECT_EQ(CountReferenceMismatches(main, kMainColor), 0);
}

TEST(ShadowPixels, ShortcutsGiveTheSamePixelsAsEvaluatingEachOne) {
  for (const auto& [width, height, size] : {std::tuple{1365, 902, 30.0f}, std::tuple{964, 700, 50.0f},
                                            std::tuple{60, 9, 2.0f}, std::tuple{3, 200, 6.0f}}) {
    const Shadow shadow = Render(width, height, size, kLightColor);
    const std::vector<uint32_t> expected = RenderPixelByPixel(shadow.layout, kLightColor);
    size_t differing = 0;
    for (size_t i = 0; i < expected.size(); ++i) differing += shadow.pixels[i] != expected[i];
    EXPECT_EQ(differing, 0u) << width << "x" << height << " size " << size;
  }
}

TEST(ShadowPixels, SizeBelowOneRendersWithExtentOne) {
  const Shadow shadow = Render(30, 20, 0.4f, kLightColor);
  EXPECT_EQ(shadow.layout.extent, 1);
  EXPECT_EQ(shadow.pixels.size(), 32u * 22u);
  EXPECT_EQ(CountReferenceMismatches(shadow, kLightColor), 0);
  EXPECT_EQ(shadow.At(2, 2), kLightColor);
}

TEST(ShadowPixels, RowsAreStoredBottomUp) {
  // With offset 1 the blurred box starts one row above the picture's middle
  // line, so the top row is darker than the bottom one.
  const Shadow shadow = Render(40, 20, 3, kLightColor);
  const int x = shadow.layout.width / 2;
  const uint32_t firstStored = shadow.pixels[x];
  const uint32_t lastStored = shadow.pixels[static_cast<size_t>(shadow.layout.width) * (shadow.layout.height - 1) + x];
  EXPECT_LT(Channel(firstStored, 24), Channel(lastStored, 24));
  EXPECT_EQ(lastStored, shadow.At(x, 0));
}

TEST(ShadowPixels, RefusesABufferOfTheWrongSize) {
  float size = 3;
  const auto layout = LayoutShadow(0, 0, 10, 10, size, 1, 1);
  ASSERT_TRUE(layout);
  std::vector<uint32_t> pixels(layout->PixelCount() - 1, 7u);
  EXPECT_FALSE(RenderShadowPixels(*layout, kLightColor, pixels));
  EXPECT_EQ(pixels.front(), 7u);
  ShadowLayout inconsistent = *layout;
  inconsistent.width += 1;
  std::vector<uint32_t> wider(inconsistent.PixelCount(), 7u);
  EXPECT_FALSE(RenderShadowPixels(inconsistent, kLightColor, wider));
}

TEST(ShadowColor, ComposesChannels) {
  EXPECT_EQ(ComposeColor(0, 0, 0, 50), 0x32000000u);
  EXPECT_EQ(ComposeColor(239, 240, 255, 255), 0xFFEFF0FFu);
  EXPECT_EQ(ComposeColor(254, 241, 248, 255), 0xFFFEF1F8u);
  // Wider values never spill into the channels above them.
  EXPECT_EQ(ComposeColor(0x1AB, 0x1CD, 0x1EF, 0x12), 0x12ABCDEFu);
}

TEST(ShadowErrorFunction, WithinTheApproximationBound) {
  double worst = 0;
  float worstAt = 0;
  for (int i = -60000; i <= 60000; ++i) {
    const float x = static_cast<float>(i) * 1e-4f;
    const float value = ErrorFunction(x);
    // The approximation's bound, plus half a float step for the rounding of
    // the result.
    const double allowed = 1.5e-7 + std::fabs(std::nextafter(value, 2.0f) - value) / 2;
    const double error = std::fabs(value - std::erf(static_cast<double>(x)));
    if (error - allowed > worst) {
      worst = error - allowed;
      worstAt = x;
    }
  }
  EXPECT_EQ(worst, 0.0) << "at " << worstAt;
  EXPECT_EQ(ErrorFunction(0.0f), 0.0f);
  EXPECT_EQ(ErrorFunction(5e-8f), 0.0f);
  EXPECT_EQ(ErrorFunction(-3.0f), -ErrorFunction(3.0f));
  EXPECT_EQ(ErrorFunction(40.0f), 1.0f);
  EXPECT_EQ(ErrorFunction(-std::numeric_limits<float>::infinity()), -1.0f);
}

}  // namespace
}  // namespace zorv::ui
