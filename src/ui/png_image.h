#pragma once
// Decoding of the template's embedded PNG images (8-bit RGBA) into plain
// pixel rows.  Portable: no Windows header.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zorv::ui {

// Non-premultiplied RGBA, 4 bytes a pixel, rows top-down without padding.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    // True when some pixel has an alpha below 255.
    bool HasTransparency() const;
};

enum class PngError {
    None,
    NotPng,           // the signature is missing
    Corrupt,          // libpng reported an error (truncated or damaged data)
    UnsupportedFormat,  // not 8-bit RGBA
    TooLarge,         // wider or taller than kMaxPngSide
};

constexpr int kMaxPngSide = 8192;

// Decodes an in-memory PNG that holds 8-bit RGBA pixels; anything else is
// refused with the reason in *error (when given).
std::optional<RgbaImage> DecodePng(std::span<const uint8_t> bytes, PngError* error = nullptr);

}  // namespace zorv::ui
