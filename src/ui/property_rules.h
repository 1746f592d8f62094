#pragma once
// Value rules of the numbered properties that hold for every window and
// control, whatever the platform.
#include <cstdint>

namespace zorv::ui {

constexpr int32_t kPositionLimit = 32627;  // left and top lie in -32627 … 32627
constexpr int32_t kSizeLimit = 32627;      // width and height lie in 0 … 32627

// The value that a write of a common geometry property (0 left, 1 top,
// 2 width, 3 height) stores; other properties pass through unchanged.
int64_t ClampCommonProperty(int property, int64_t value);

// Colour values as properties carry them: the low 32 bits of the written
// value (0xFF000000 = not set).
constexpr uint32_t ColorFromProperty(int64_t value) { return static_cast<uint32_t>(value); }

}  // namespace zorv::ui
