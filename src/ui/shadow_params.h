#pragma once
// The records that the drop shadows are driven by: one ShadowParams per
// target window and the process-wide ShadowState of the shadow window class.
// Portable, so that the program globals can hold them; the Windows side is in
// shadow_win32.h and shadow_class_win32.h.
#include <cstdint>

#include "ui/shadow_render.h"

namespace zorv::ui {

// One target window's shadow.  The caller fills the first four fields before
// attaching; shadowWindow is written by the shadow window itself when it is
// created and cleared when it is destroyed.
struct ShadowParams {
    uint32_t color = 0;          // ARGB: alpha 24-31, red 16-23, green 8-15, blue 0-7
    float size = 0.0f;           // blur extent in pixels; values below 1 are raised to 1 and stored back
    int32_t offsetX = 0;         // displacement of the shadow relative to the window
    int32_t offsetY = 0;
    uint32_t accelerated = 0;    // always 0: the shadow is drawn in software
    void* shadowWindow = nullptr;  // the shadow window (an HWND) while it exists
};

constexpr ShadowParams MakeShadowParams(int32_t red, int32_t green, int32_t blue, int32_t alpha, float size,
                                        int32_t offsetX = 1, int32_t offsetY = 1) {
    ShadowParams params;
    params.color = ComposeColor(red, green, blue, alpha);
    params.size = size;
    params.offsetX = offsetX;
    params.offsetY = offsetY;
    return params;
}

// Copies colour, size and offsets of look into params; accelerated and the
// shadow window stay as they are.
constexpr void SetShadowLook(ShadowParams& params, const ShadowParams& look) {
    params.color = look.color;
    params.size = look.size;
    params.offsetX = look.offsetX;
    params.offsetY = look.offsetY;
}

// The looks of the program's shadows.
constexpr ShadowParams kMainWindowShadow = MakeShadowParams(0, 0, 0, 50, 30.0f);
constexpr ShadowParams kOptionsPanelShadow = MakeShadowParams(0, 0, 0, 30, 20.0f);
constexpr ShadowParams kProgressPanelShadow = MakeShadowParams(239, 240, 255, 255, 50.0f);
// The progress panel's glow once the placeholder animation has ended.
constexpr ShadowParams kProgressPanelFinishedShadow = MakeShadowParams(254, 241, 248, 255, 50.0f);

// What the shadow window class registration records: eleven values, of which
// this program uses the instance and the class atom.  The hardware drawing
// objects (d3d11 / d2d1 modules, their entry points, the factory and the
// three drawing objects) are never created and stay 0.
struct ShadowState {
    uintptr_t instance = 0;          // module instance given to the registration
    uintptr_t classAtom = 0;         // atom of the registered class, 16 bits; 0 = not registered
    uintptr_t graphicsFlags = 0;     // non-zero would select the hardware path; never set
    uintptr_t d3d11Module = 0;
    uintptr_t d2d1Module = 0;
    uintptr_t deviceFactoryEntry = 0;
    uintptr_t factoryEntry = 0;
    uintptr_t factory = 0;
    uintptr_t hardwareObjects[3] = {0, 0, 0};
};

// The program's shadow records: the main window's, filled at start-up, and
// the two panels', filled each time the panel shows.  The shadow windows
// hold their addresses while they exist, so the records live as long as the
// process and never move.
struct ProgramShadowRecords {
    ShadowParams MainShadowParams;
    ShadowParams OptionsShadowParams;
    ShadowParams ProgressShadowParams;
    ui::ShadowState ShadowState;  // the shadow window class, zero until registered
};
inline ProgramShadowRecords& ProgramShadows() {
    static ProgramShadowRecords records;
    return records;
}

}  // namespace zorv::ui
