#pragma once
// Where the installer's windows and controls lie (in client pixels of their
// window, at the form's own scale), for the Wine tests that drive the real
// program with the mouse: one place for every click position and size.
#include <windows.h>

#include "support/program_child_win32.h"

namespace zorv::testing::layout {

struct Spot {
    int x, y;
};

// Window sizes, which also find the windows among a process's top-levels.
inline constexpr int kMainWidth = 1365, kMainHeight = 902;
inline constexpr int kOptionsWidth = 1365, kOptionsHeight = 250;
inline constexpr int kProgressWidth = 964, kProgressHeight = 700;
inline constexpr int kStatusWidth = 1365, kStatusHeight = 66;

// Centres of the controls, in their own window.
inline constexpr Spot kInstallButton{626 + 66, 574 + 26};  // also the uninstall button, beneath it
inline constexpr Spot kOptionsLink{64 + 41, 848 + 16};
inline constexpr Spot kOptionsBackLink{54 + 41, 16 + 16};  // options panel
inline constexpr Spot kDesktopShortcutCheck{24 + 76, 192 + 20};
inline constexpr Spot kStartMenuCheck{184 + 84, 192 + 20};
inline constexpr Spot kConfirmButton{1112 + 131, 142 + 52};
inline constexpr Spot kBrowseIcon{1294 + 12, 87 + 12};
inline constexpr Spot kStatusClose{1319 + 16, 17 + 16};  // status strip

// Top-left corners and heights that find a control with ControlAt.
inline constexpr int kFolderBoxLeft = 44, kFolderBoxTop = 78, kFolderBoxHeight = 42;  // options panel
inline constexpr int kStatusTextLeft = 183, kStatusTextTop = 18, kStatusTextHeight = 32;

inline void Click(HWND window, Spot spot) { ClickAt(window, spot.x, spot.y); }

}  // namespace zorv::testing::layout
