#pragma once
// The window icon is stored as ICO file bytes.  This reads its directory
// with every bound checked and turns it into the in-memory group-directory
// form that the system's icon lookup takes.  Portable.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zorv::ui {

struct IconEntry {
    int width = 0, height = 0;  // 0 in the file means 256
    uint16_t planes = 0, bitCount = 0;
    uint32_t offset = 0, size = 0;  // of the image bytes inside the file
};

// The directory of an ICO file whose every image lies inside the bytes;
// nothing for anything else (wrong type, no images, an image out of bounds).
std::optional<std::vector<IconEntry>> ReadIconDirectory(std::span<const uint8_t> ico);

// The group directory (6-byte header, 14-byte entries whose identifier is the
// entry's index + 1) for the entries.
std::vector<uint8_t> MakeGroupIconDirectory(const std::vector<IconEntry>& entries);

}  // namespace zorv::ui
