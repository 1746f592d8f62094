#pragma once
// The private window class of the shadow windows.
#include <windows.h>

#include <string>

#include "ui/shadow_params.h"

namespace zorv::ui {

// The class name used when the caller names none (GBK, plain ASCII here).
inline constexpr char kShadowClassName[] = "q4417Shadow";

// Registers the shadow window class (style 0, ShadowWindowProc, no extra
// bytes, no icon, cursor, brush or menu) and records its atom in state; the
// shadow windows are then created from that state's atom.  className: null
// or an empty text means kShadowClassName, which is then also stored into a
// given empty text.  instance: the module recorded in state (null stands for
// the program's own module when the class is registered).  True when the
// class was registered now.  A failed registration (a second one of the
// same name, for instance) returns false and keeps an atom that state
// already holds, so the shadows of the first registration still work.
bool RegisterShadowClass(ShadowState& state, std::string* className = nullptr, HINSTANCE instance = nullptr);

// The state of the last successful registration, or null before one.
ShadowState* RegisteredShadowState();

}  // namespace zorv::ui
