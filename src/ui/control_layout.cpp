#include "ui/control_layout.h"

#include <algorithm>

namespace zorv::ui {

namespace {

Box CentredScaledDown(int imageWidth, int imageHeight, int boxWidth, int boxHeight) {
    int width = imageWidth, height = imageHeight;
    if (imageWidth > boxWidth || imageHeight > boxHeight) {
        double scale = std::min(double(boxWidth) / imageWidth, double(boxHeight) / imageHeight);
        width = int(imageWidth * scale);
        height = int(imageHeight * scale);
    }
    return Box{(boxWidth - width) / 2, (boxHeight - height) / 2, width, height};
}

std::vector<Box> Tiles(int imageWidth, int imageHeight, int boxWidth, int boxHeight) {
    std::vector<Box> tiles;
    for (int y = 0; y < boxHeight; y += imageHeight)
        for (int x = 0; x < boxWidth; x += imageWidth) tiles.push_back(Box{x, y, imageWidth, imageHeight});
    return tiles;
}

}  // namespace

std::vector<Box> PlaceImage(int32_t mode, int imageWidth, int imageHeight, int boxWidth, int boxHeight) {
    if (imageWidth <= 0 || imageHeight <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
    switch (static_cast<ImageMode>(mode)) {
        case ImageMode::Tiled:
            return Tiles(imageWidth, imageHeight, boxWidth, boxHeight);
        case ImageMode::Centred: {
            Box placed = CentredScaledDown(imageWidth, imageHeight, boxWidth, boxHeight);
            if (placed.width <= 0 || placed.height <= 0) return {};
            return {placed};
        }
        default:
            return {Box{0, 0, imageWidth, imageHeight}};
    }
}

}  // namespace zorv::ui
