#pragma once
// Encodes test images as PNG files in memory, so the decoder and the controls
// are tested with real files made on the spot.
#include <png.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace zorv::ui::test {

inline void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// A width × height PNG of the colour type and bit depth; fillRow writes the
// stored bytes of row y into a buffer large enough for one row.  Empty when
// libpng refuses the parameters.
inline std::vector<uint8_t> EncodePngRows(int width, int height, int colorType, int bitDepth,
                                          const std::function<void(int y, uint8_t* row)>& fillRow) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendPngBytes, nullptr);
    png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // Four channels of up to 16 bits each bound every colour type's row.
    std::vector<uint8_t> row(std::size_t(width) * 8 + 8);
    for (int y = 0; y < height; ++y) {
        fillRow(y, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// An 8-bit RGBA PNG; pixel colours as 0xRRGGBBAA, row by row.
inline std::vector<uint8_t> EncodeRgbaPng(int width, int height, const std::vector<uint32_t>& rgba) {
    return EncodePngRows(width, height, PNG_COLOR_TYPE_RGBA, 8, [&](int y, uint8_t* row) {
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = rgba[std::size_t(y) * width + x];
            for (int i = 0; i < 4; ++i) row[x * 4 + i] = uint8_t(pixel >> (24 - 8 * i));
        }
    });
}

}  // namespace zorv::ui::test
