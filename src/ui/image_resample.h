#pragma once
// Good-quality resizing of the template's images for a scaled form, done
// once per size rather than on every paint.  Portable.
#include <cstdint>
#include <vector>

namespace zorv::ui {

// A picture of 4-byte pixels with premultiplied alpha (any channel order;
// the four channels are treated alike), rows top-down without padding.
struct PremultipliedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

// The image at width × height: each axis is shrunk by area averaging (every
// source pixel counts by how much of it a target pixel covers) or enlarged
// by linear interpolation between the nearest source pixels.  Working on
// premultiplied pixels keeps transparent pixels from darkening the edges,
// and no channel ever exceeds the alpha it came with.  Integer weights, so
// every build computes the same bytes.  Empty for an empty source or size.
PremultipliedImage ResampleImage(const PremultipliedImage& source, int width, int height);

}  // namespace zorv::ui
