#pragma once
// A decoded PNG as a 32-bit top-down DIB section with premultiplied alpha,
// ready for AlphaBlend.
#include <windows.h>
// FormTemplate::FindWindow is a method, not the system's FindWindowW.
#undef FindWindow

#include <memory>
#include <optional>

#include "runtime/unique_handle_win32.h"
#include "ui/form_template.h"
#include "ui/png_image.h"

namespace zorv::ui {

class DibImage {
public:
    DibImage() = default;

    // Nothing for data that does not decode as an 8-bit RGBA PNG.
    static std::optional<DibImage> FromPng(const PngBytes& png);
    static std::optional<DibImage> FromRgba(const RgbaImage& image);

    bool valid() const { return bool(bitmap_); }
    int width() const { return width_; }
    int height() const { return height_; }
    bool hasTransparency() const { return hasTransparency_; }
    // Top-left pixel as COLORREF (the default transparent colour).
    COLORREF topLeftColor() const { return topLeft_; }
    HBITMAP bitmap() const { return bitmap_.get(); }

    // Draws the whole image stretched into the box, blended by its alpha.
    void Draw(HDC dc, int x, int y, int width, int height) const;
    // Draws it with one colour treated as transparent (for images without
    // alpha below 255).
    void DrawKeyed(HDC dc, int x, int y, COLORREF transparent) const;

    // For a scaled form (resample): the image resampled to the box's size
    // with good quality, made once for that size and kept, then drawn as it
    // is; otherwise exactly as Draw.  With a transparent colour (an opaque
    // image drawn keyed) that colour becomes transparent before resampling,
    // so its edges blend instead of fringing.
    void DrawScaled(HDC dc, int x, int y, int width, int height, bool resample,
                    std::optional<COLORREF> transparent = std::nullopt) const;

private:
    const DibImage* ResampledTo(int width, int height, std::optional<COLORREF> transparent) const;

    UniqueGdi<HBITMAP> bitmap_;
    const uint8_t* bits_ = nullptr;  // the section's premultiplied BGRA pixels, top-down
    int width_ = 0, height_ = 0;
    bool hasTransparency_ = false;
    COLORREF topLeft_ = 0;
    // The last resampled copy and what it was made for.
    mutable std::unique_ptr<DibImage> resampled_;
    mutable std::optional<COLORREF> resampledKey_;
};

}  // namespace zorv::ui
