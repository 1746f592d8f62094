#include "ui/png_image_win32.h"

#include <cstring>
#include <utility>

#include "ui/image_resample.h"

namespace zorv::ui {

namespace {

// A top-down 32-bit section holding the premultiplied pixels.
UniqueGdi<HBITMAP> SectionOf(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return UniqueGdi<HBITMAP>(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

}  // namespace

std::optional<DibImage> DibImage::FromPng(const PngBytes& png) {
    if (png.empty()) return std::nullopt;
    std::optional<RgbaImage> image = DecodePng(png);
    if (!image) return std::nullopt;
    return FromRgba(*image);
}

std::optional<DibImage> DibImage::FromRgba(const RgbaImage& image) {
    void* bits = nullptr;
    UniqueGdi<HBITMAP> bitmap = SectionOf(image.width, image.height, &bits);
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
    dib.bits_ = static_cast<const uint8_t*>(bits);
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

const DibImage* DibImage::ResampledTo(int width, int height, std::optional<COLORREF> transparent) const {
    if (resampled_ && resampled_->width_ == width && resampled_->height_ == height && resampledKey_ == transparent)
        return resampled_.get();
    resampled_.reset();
    if (!bits_ || width <= 0 || height <= 0) return nullptr;
    PremultipliedImage source{width_, height_, std::vector<uint8_t>(bits_, bits_ + std::size_t(width_) * height_ * 4)};
    if (transparent) {
        const uint8_t key[3] = {GetBValue(*transparent), GetGValue(*transparent), GetRValue(*transparent)};
        for (std::size_t i = 0; i < source.pixels.size(); i += 4)
            if (std::memcmp(&source.pixels[i], key, 3) == 0) std::memset(&source.pixels[i], 0, 4);
    }
    PremultipliedImage scaled = ResampleImage(source, width, height);
    void* bits = nullptr;
    UniqueGdi<HBITMAP> bitmap = SectionOf(width, height, &bits);
    if (scaled.pixels.empty() || !bitmap || !bits) return nullptr;
    std::memcpy(bits, scaled.pixels.data(), scaled.pixels.size());
    GdiFlush();
    auto copy = std::make_unique<DibImage>();
    copy->bitmap_ = std::move(bitmap);
    copy->bits_ = static_cast<const uint8_t*>(bits);
    copy->width_ = width;
    copy->height_ = height;
    copy->hasTransparency_ = true;  // drawn blended: its edges may hold partial alpha now
    copy->topLeft_ = topLeft_;
    resampled_ = std::move(copy);
    resampledKey_ = transparent;
    return resampled_.get();
}

void DibImage::DrawScaled(HDC dc, int x, int y, int width, int height, bool resample,
                          std::optional<COLORREF> transparent) const {
    if (!resample || (width == width_ && height == height_)) {
        if (transparent) DrawKeyed(dc, x, y, *transparent);
        else Draw(dc, x, y, width, height);
        return;
    }
    if (const DibImage* scaled = ResampledTo(width, height, transparent)) scaled->Draw(dc, x, y, width, height);
    else Draw(dc, x, y, width, height);
}

}  // namespace zorv::ui
