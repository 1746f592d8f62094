#include "ui/png_image_win32.h"

#include <cstring>
#include <utility>

namespace zorv::ui {

std::optional<DibImage> DibImage::FromPng(const PngBytes& png) {
    if (png.empty()) return std::nullopt;
    std::optional<RgbaImage> image = DecodePng(png);
    if (!image) return std::nullopt;
    return FromRgba(*image);
}

std::optional<DibImage> DibImage::FromRgba(const RgbaImage& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueGdi<HBITMAP> bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return std::nullopt;
    auto* out = static_cast<uint8_t*>(bits);
    const uint8_t* in = image.pixels.data();
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
        unsigned alpha = in[i + 3];
        out[i + 0] = uint8_t((in[i + 2] * alpha + 127) / 255);  // blue
        out[i + 1] = uint8_t((in[i + 1] * alpha + 127) / 255);
        out[i + 2] = uint8_t((in[i + 0] * alpha + 127) / 255);  // red
        out[i + 3] = uint8_t(alpha);
    }
    GdiFlush();
    DibImage dib;
    dib.bitmap_ = std::move(bitmap);
    dib.width_ = image.width;
    dib.height_ = image.height;
    dib.hasTransparency_ = image.HasTransparency();
    dib.topLeft_ = RGB(in[0], in[1], in[2]);
    return dib;
}

void DibImage::Draw(HDC dc, int x, int y, int width, int height) const {
    if (!bitmap_ || width <= 0 || height <= 0) return;
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    ScopedSelection selected(source.get(), bitmap_.get());
    if (!hasTransparency_ && width == width_ && height == height_) {
        BitBlt(dc, x, y, width, height, source.get(), 0, 0, SRCCOPY);  // opaque: a plain copy is the same and faster
    } else {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        GdiAlphaBlend(dc, x, y, width, height, source.get(), 0, 0, width_, height_, blend);
    }
}

void DibImage::DrawKeyed(HDC dc, int x, int y, COLORREF transparent) const {
    if (!bitmap_) return;
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    ScopedSelection selected(source.get(), bitmap_.get());
    GdiTransparentBlt(dc, x, y, width_, height_, source.get(), 0, 0, width_, height_, transparent);
}

}  // namespace zorv::ui
