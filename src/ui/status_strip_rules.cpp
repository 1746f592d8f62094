#include "ui/status_strip_rules.h"

#include <algorithm>
#include <cstdio>

#include "runtime/arithmetic.h"

namespace zorv::ui {

std::string CountdownText(int32_t hundredths) {
    double seconds = RoundTo(static_cast<double>(hundredths) / 100.0, 1);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", seconds);
    return buffer;
}

int FadeOpacity(int32_t value) {
    if (value > 180) return 255;
    return std::clamp(value + 75, 0, 255);
}

int CountdownStepFor(int32_t value) { return value <= 180 ? 3 : 1; }

}  // namespace zorv::ui
