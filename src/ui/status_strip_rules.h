#pragma once
// The arithmetic of the status strip's countdown, free of any window.
#include <cstdint>
#include <string>

namespace zorv::ui {

// The strip's counter for a countdown value in hundredths of a second: the
// seconds rounded half up to one decimal, always shown with one decimal
// (250 -> "2.5", 9999 -> "100.0", 0 -> "0.0").
std::string CountdownText(int32_t hundredths);
// The strip's opacity for a countdown value: full (255) above 180, then
// value + 75, never below 0.
int FadeOpacity(int32_t value);
// How much a tick takes off the value: 3 in the fade (at or below 180),
// else 1, so that a new message shown during a fade counts down at the
// normal pace again.
int CountdownStepFor(int32_t value);

}  // namespace zorv::ui
