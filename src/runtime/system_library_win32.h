#pragma once
// DLLs of the system loaded from the system folder only.  A program that
// runs elevated must never take a DLL from its own folder (a browser's
// download folder holds whatever a page dropped there), from the current
// folder or from PATH, which a bare LoadLibrary name would search.
#include <windows.h>

#include "runtime/unique_handle_win32.h"

namespace zorv {

namespace detail {
struct ModuleTraits {
    using Handle = HMODULE;
    static HMODULE Empty() { return nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};
}  // namespace detail

// One reference to a loaded module; empty is null.
using UniqueModule = UniqueResource<detail::ModuleTraits>;

// Loads the DLL fileName (a bare name such as L"oleacc.dll") from the system
// folder only; empty when it is not there or cannot be loaded.
UniqueModule LoadSystemLibrary(const wchar_t* fileName);

}  // namespace zorv
