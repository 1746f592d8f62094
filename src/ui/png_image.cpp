#include "ui/png_image.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace zorv::ui {

bool RgbaImage::HasTransparency() const {
    for (std::size_t i = 3; i < pixels.size(); i += 4)
        if (pixels[i] != 255) return true;
    return false;
}

namespace {

struct MemoryReader {
    std::span<const uint8_t> bytes;
    std::size_t position = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (count > reader->bytes.size() - reader->position) png_error(png, "read past the end of the data");
    std::memcpy(out, reader->bytes.data() + reader->position, count);
    reader->position += count;
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Owns libpng's read and info structures.
class PngReadHandle {
public:
    PngReadHandle() {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, IgnoreWarning);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngReadHandle() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    PngReadHandle(const PngReadHandle&) = delete;
    PngReadHandle& operator=(const PngReadHandle&) = delete;
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// The part of the decoding that may longjmp: it touches no object with a
// destructor that the jump would skip, apart from the image rows, which are
// owned by the caller's image.
PngError DecodeInto(PngReadHandle& handle, MemoryReader& reader, RgbaImage& image,
                    std::vector<png_bytep>& rows) {
    png_structp png = handle.png();
    png_infop info = handle.info();
    if (setjmp(png_jmpbuf(png))) return PngError::Corrupt;
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    if (bitDepth != 8 || colorType != PNG_COLOR_TYPE_RGBA) return PngError::UnsupportedFormat;
    if (width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide) return PngError::TooLarge;
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t(width) * 4) return PngError::UnsupportedFormat;
    image.width = int(width);
    image.height = int(height);
    image.pixels.resize(std::size_t(width) * height * 4);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = image.pixels.data() + std::size_t(y) * width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return PngError::None;
}

}  // namespace

std::optional<RgbaImage> DecodePng(std::span<const uint8_t> bytes, PngError* error) {
    auto fail = [error](PngError reason) -> std::optional<RgbaImage> {
        if (error) *error = reason;
        return std::nullopt;
    };
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) return fail(PngError::NotPng);
    PngReadHandle handle;
    if (!handle.png() || !handle.info()) return fail(PngError::Corrupt);
    MemoryReader reader{bytes};
    RgbaImage image;
    std::vector<png_bytep> rows;
    PngError result = DecodeInto(handle, reader, image, rows);
    if (result != PngError::None) return fail(result);
    if (error) *error = PngError::None;
    return image;
}

}  // namespace zorv::ui
