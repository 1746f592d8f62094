#include "ui/control_layout.h"

#include <gtest/gtest.h>

#include "ui/property_rules.h"
#include "ui/window_icon.h"

namespace zorv::ui {
namespace {

TEST(ImagePlacement, CentredModeScalesDownKeepingAspectAndTruncates) {
    // The 48 × 48 icons in 32 × 32 boxes, the folder glyph in 24 × 24.
    EXPECT_EQ(PlaceImage(2, 48, 48, 32, 32), std::vector<Box>{Box(0, 0, 32, 32)});
    EXPECT_EQ(PlaceImage(2, 32, 32, 24, 24), std::vector<Box>{Box(0, 0, 24, 24)});
    // Wider than the box: factor 50/100, height 30 → 15, centred vertically.
    EXPECT_EQ(PlaceImage(2, 100, 30, 50, 40), std::vector<Box>{Box(0, 12, 50, 15)});
    // Factor 23/70: 30 × 0.3286 = 9.86 truncates to 9.
    EXPECT_EQ(PlaceImage(2, 30, 70, 100, 23), std::vector<Box>{Box(45, 0, 9, 23)});
    // Smaller than the box: natural size in the middle, never scaled up.
    EXPECT_EQ(PlaceImage(2, 10, 6, 31, 20), std::vector<Box>{Box(10, 7, 10, 6)});
}

TEST(ImagePlacement, NaturalAndTiledModes) {
    EXPECT_EQ(PlaceImage(0, 40, 10, 20, 20), std::vector<Box>{Box(0, 0, 40, 10)});
    std::vector<Box> tiles = PlaceImage(1, 10, 8, 25, 16);
    ASSERT_EQ(tiles.size(), 6u);  // three across (the last cut by the box), two down
    EXPECT_EQ(tiles[0], Box(0, 0, 10, 8));
    EXPECT_EQ(tiles[2], Box(20, 0, 10, 8));
    EXPECT_EQ(tiles[5], Box(20, 8, 10, 8));
    // A full-box image tiles to exactly one copy.
    EXPECT_EQ(PlaceImage(1, 64, 32, 64, 32).size(), 1u);
    // Nothing to draw for an empty image or box, and an unknown mode is natural.
    EXPECT_TRUE(PlaceImage(1, 0, 8, 25, 16).empty());
    EXPECT_TRUE(PlaceImage(2, 8, 8, 0, 16).empty());
    EXPECT_EQ(PlaceImage(7, 4, 4, 20, 20), std::vector<Box>{Box(0, 0, 4, 4)});
}

TEST(CommonProperties, GeometryIsClampedOthersPassThrough) {
    EXPECT_EQ(ClampCommonProperty(0, -40000), -32627);
    EXPECT_EQ(ClampCommonProperty(1, 40000), 32627);
    EXPECT_EQ(ClampCommonProperty(0, -32627), -32627);
    EXPECT_EQ(ClampCommonProperty(2, -1), 0);
    EXPECT_EQ(ClampCommonProperty(3, 32628), 32627);
    EXPECT_EQ(ClampCommonProperty(3, 700), 700);
    EXPECT_EQ(ClampCommonProperty(2, int64_t(1) << 40), 32627);
    EXPECT_EQ(ClampCommonProperty(5, 40000), 40000);
    EXPECT_EQ(ClampCommonProperty(10, -5), -5);
}

std::vector<uint8_t> IcoWith(std::vector<std::pair<int, uint32_t>> sizes) {
    std::vector<uint8_t> ico = {0, 0, 1, 0, uint8_t(sizes.size()), 0};
    uint32_t offset = uint32_t(6 + 16 * sizes.size());
    for (auto [side, size] : sizes) {
        uint8_t entry[16] = {uint8_t(side == 256 ? 0 : side), uint8_t(side == 256 ? 0 : side), 0, 0, 1, 0, 32, 0};
        for (int i = 0; i < 4; ++i) entry[8 + i] = uint8_t(size >> (8 * i)), entry[12 + i] = uint8_t(offset >> (8 * i));
        ico.insert(ico.end(), entry, entry + 16);
        offset += size;
    }
    ico.resize(offset, 0xAB);
    return ico;
}

TEST(WindowIcon, DirectoryIsReadWithBoundsAndConverted) {
    std::vector<uint8_t> ico = IcoWith({{16, 100}, {256, 40}});
    auto entries = ReadIconDirectory(ico);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].width, 16);
    EXPECT_EQ((*entries)[0].offset, 38u);
    EXPECT_EQ((*entries)[1].width, 256);
    EXPECT_EQ((*entries)[1].offset, 138u);

    std::vector<uint8_t> group = MakeGroupIconDirectory(*entries);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(group[4], 2);
    EXPECT_EQ(group[6 + 14 + 0], 0);         // 256 stored as 0
    EXPECT_EQ(group[6 + 14 + 8], 40);        // image size
    EXPECT_EQ(group[6 + 14 + 12], 2);        // identifier = index + 1

    std::vector<uint8_t> cut(ico.begin(), ico.end() - 1);  // last image one byte short
    EXPECT_FALSE(ReadIconDirectory(cut));
    std::vector<uint8_t> cursor = ico;
    cursor[2] = 2;  // a cursor file, not an icon
    EXPECT_FALSE(ReadIconDirectory(cursor));
    EXPECT_FALSE(ReadIconDirectory(std::vector<uint8_t>{0, 0, 1, 0, 0, 0}));
    EXPECT_FALSE(ReadIconDirectory(std::vector<uint8_t>{0, 0, 1, 0, 3, 0, 16}));  // directory cut short
}

}  // namespace
}  // namespace zorv::ui
