#include "ui/shadow_class_win32.h"

#include "runtime/codepage_win32.h"
#include "ui/shadow_win32.h"

namespace zorv::ui {

namespace {

ShadowState* registeredState = nullptr;

}  // namespace

bool RegisterShadowClass(ShadowState& state, std::string* className, HINSTANCE instance) {
    std::string name = className && !className->empty() ? *className : std::string(kShadowClassName);
    if (className && className->empty()) *className = name;
    // The system keeps its own copy of the name; this one only has to last
    // for the call.
    const std::wstring wideName = WideFromGbk(name);
    WNDCLASSEXW description{};
    description.cbSize = sizeof(description);
    description.style = 0;
    description.lpfnWndProc = ShadowWindowProc;
    // A class of a null instance belongs to the program's own module; the
    // windows are created with the same module (ShadowModule).
    description.hInstance = instance ? instance : GetModuleHandleW(nullptr);
    description.lpszClassName = wideName.c_str();
    const uintptr_t atom = RegisterClassExW(&description) & 0xFFFFu;
    state.graphicsFlags = 0;
    if (atom == 0) {
        // Keeping the atom of an earlier registration leaves its shadows
        // working; overwriting it with 0 would make every later attach fail.
        return false;
    }
    state.classAtom = atom;
    state.instance = reinterpret_cast<uintptr_t>(instance);
    // The graphics probe of the hardware drawing path is not carried out:
    // the shadows are always drawn in software, so its module and entry
    // fields stay 0.
    registeredState = &state;
    return true;
}

ShadowState* RegisteredShadowState() { return registeredState; }

}  // namespace zorv::ui
