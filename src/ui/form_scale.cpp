#include "ui/form_scale.h"

#include <algorithm>

namespace zorv::ui {

namespace {

// numerator / denominator rounded to the nearest, halves away from zero;
// the denominator is positive.
int RoundedQuotient(int64_t numerator, int64_t denominator) {
    int64_t half = denominator / 2;
    int64_t quotient = numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
    return int(std::clamp<int64_t>(quotient, INT32_MIN, INT32_MAX));
}

}  // namespace

int ScaleLength(int templatePixels, int dpi) {
    if (dpi == kTemplateDpi) return templatePixels;
    return RoundedQuotient(int64_t(templatePixels) * dpi, kTemplateDpi);
}

int UnscaleLength(int physicalPixels, int dpi) {
    if (dpi == kTemplateDpi || dpi <= 0) return physicalPixels;
    return RoundedQuotient(int64_t(physicalPixels) * kTemplateDpi, dpi);
}

Span ScaleSpan(Span templateSpan, int dpi) {
    int start = ScaleLength(templateSpan.start, dpi);
    int end = ScaleLength(templateSpan.start + templateSpan.length, dpi);
    return Span{start, end - start};
}

int FitFormDpi(int monitorDpi, int workWidth, int workHeight, int formWidth, int formHeight, int borderPixels) {
    int dpi = std::clamp(monitorDpi, kMinFormDpi, kMaxFormDpi);
    int outerWidth = formWidth + 2 * borderPixels, outerHeight = formHeight + 2 * borderPixels;
    for (; dpi > kMinFormDpi; --dpi)
        if (ScaleLength(outerWidth, dpi) <= workWidth && ScaleLength(outerHeight, dpi) <= workHeight) break;
    return dpi;
}

}  // namespace zorv::ui
