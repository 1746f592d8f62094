#pragma once
// Pixels of a window's drop shadow, computed without any window system so
// that they can be checked natively.  The shadow is the target rectangle
// blurred by a Gaussian, evaluated analytically: one error-function profile
// per axis, multiplied per pixel.  The Windows side (shadow_win32.h) cuts the
// target's own shape out of the result and hands it to the layered window.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zorv::ui {

// Abramowitz-Stegun 7.1.26 approximation of erf with a single-precision
// result: within 1.5e-7 of erf plus the rounding of that result to float.
float ErrorFunction(float x);

// color = alpha << 24 | red << 16 | green << 8 | blue, each channel masked
// to its own byte except alpha, which takes the top byte as it comes.
constexpr uint32_t ComposeColor(int32_t red, int32_t green, int32_t blue, int32_t alpha) {
  return static_cast<uint32_t>(alpha) << 24 | (static_cast<uint32_t>(red) << 16 & 0xFFFFFFu) |
         (static_cast<uint32_t>(green) << 8 & 0xFFFFu) | (static_cast<uint32_t>(blue) & 0xFFu);
}

// Largest blur extent drawn; a greater size gives no picture.
constexpr int kMaxShadowExtent = 1 << 20;
// Largest bitmap, in bytes, that is ever asked for (what a 32-bit process can
// hope to map); anything beyond it gives no picture.
constexpr uint64_t kMaxShadowBitmapBytes = 0x7FFFFFFF;

// The blur extent c for a shadow size: the size truncated to a whole number,
// raised to 1 when below 1, in which case 1.0 is also written back into size.
// A size that is not a number counts as below 1.  Empty when the size is
// above kMaxShadowExtent.
std::optional<int> ShadowExtent(float& size);

// Where a shadow bitmap lies for a target at (left, top) of width × height
// (all screen pixels): its own size, its screen position, and where the
// target's top-left lies inside it.
struct ShadowLayout {
  int extent = 0;         // c
  int targetWidth = 0;    // w
  int targetHeight = 0;   // h
  int width = 0;          // W = w + 2c
  int height = 0;         // H = h + 2c
  int screenX = 0;        // left + offsetX - c
  int screenY = 0;        // top + offsetY - c
  int targetX = 0;        // c - offsetX
  int targetY = 0;        // c - offsetY

  size_t PixelCount() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
};

// Layout for a target rectangle (right/bottom exclusive).  Empty when the
// rectangle is inverted (right < left or bottom < top), the size gives no
// extent, or the bitmap would exceed kMaxShadowBitmapBytes.  The size is
// raised to 1 and written back as ShadowExtent does.
std::optional<ShadowLayout> LayoutShadow(int left, int top, int right, int bottom, float& size,
                                         int offsetX, int offsetY);

// Fills pixels (layout.PixelCount() entries, premultiplied BGRA as 32-bit
// values 0xAARRGGBB) with the blurred rectangle in colour `color`.  Rows are
// stored bottom-up: the pixel at column x, row y from the top is element
// width × (height − 1 − y) + x.  Pixels of the inner rectangle
// 2c ≤ x < W − 2c, 2c ≤ y < H − 2c are `color` itself; every other pixel has
// each channel of `color` scaled by the blur's coverage v and truncated.
// False (pixels untouched) when the buffer does not match the layout.
bool RenderShadowPixels(const ShadowLayout& layout, uint32_t color, std::span<uint32_t> pixels);

}  // namespace zorv::ui
