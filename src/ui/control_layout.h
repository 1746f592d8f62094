#pragma once
// Geometry of the controls' drawing, kept apart from the Windows calls so
// that it can be checked anywhere.
#include <cstdint>
#include <vector>

namespace zorv::ui {

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const Box&) const = default;
};

// Picture box image display modes.
enum class ImageMode : int32_t { Natural = 0, Tiled = 1, Centred = 2 };

// Where copies of a width × height image go inside a box of boxWidth ×
// boxHeight.  Natural: one copy at the top-left corner at its own size.
// Tiled: copies from the top-left corner until the box is covered.  Centred:
// one copy in the middle, first scaled down by min(box width ÷ image width,
// box height ÷ image height) when it is wider or taller than the box, sizes
// truncated to whole pixels.  An unknown mode draws like Natural.  Nothing
// for an empty image or box.
std::vector<Box> PlaceImage(int32_t mode, int imageWidth, int imageHeight, int boxWidth, int boxHeight);

}  // namespace zorv::ui
