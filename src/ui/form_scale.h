#pragma once
// The form's scale: the template is laid out in pixels of a 96-DPI screen,
// and each show of the form draws it at one scale, written as the DPI it
// stands for (96 = the template's own size, 192 = twice as large).  Portable
// arithmetic only; the window layer applies it at the system boundary.
#include <cstdint>

namespace zorv::ui {

constexpr int kTemplateDpi = 96;
// The smallest scale the form is ever drawn at (half size), however small
// the screen, and the largest DPI taken from a monitor.
constexpr int kMinFormDpi = 48;
constexpr int kMaxFormDpi = 960;

// A length or a distance from a grid origin in template pixels, in physical
// pixels at the DPI: rounded to the nearest pixel, halves away from zero
// (the rounding of the system's MulDiv).  The identity at 96.
int ScaleLength(int templatePixels, int dpi);
// The other way: physical pixels back to template pixels, same rounding.
int UnscaleLength(int physicalPixels, int dpi);

// One axis of a unit placed on a grid: its start and its length in template
// pixels, counted from the grid's origin.  The physical start and length are
// taken from the scaled edges, not from the scaled length, so units that
// meet in template pixels meet in physical pixels too (no gap, no overlap),
// whatever the DPI.
struct Span {
    int start = 0, length = 0;
    bool operator==(const Span&) const = default;
};
Span ScaleSpan(Span templateSpan, int dpi);

// The DPI the form is drawn at on a monitor of monitorDpi whose work area is
// workWidth × workHeight physical pixels: the monitor's own DPI, made smaller
// where needed so that the form's window (formWidth × formHeight template
// pixels) with a border of borderPixels template pixels on every side fits
// the work area; never larger than the monitor asks and never below
// kMinFormDpi.
int FitFormDpi(int monitorDpi, int workWidth, int workHeight, int formWidth, int formHeight, int borderPixels);

}  // namespace zorv::ui
