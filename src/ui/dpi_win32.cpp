#include "ui/dpi_win32.h"

#include "runtime/system_library_win32.h"

namespace zorv::ui {

namespace {

// The values of the system's DPI_AWARENESS_CONTEXT handles and of
// PROCESS_DPI_AWARENESS / MONITOR_DPI_TYPE, which the build's headers may
// not know.
const auto kContextSystemAware = reinterpret_cast<HANDLE>(intptr_t(-2));
const auto kContextPerMonitorAware = reinterpret_cast<HANDLE>(intptr_t(-3));
const auto kContextPerMonitorAwareV2 = reinterpret_cast<HANDLE>(intptr_t(-4));
constexpr int kProcessPerMonitorDpiAware = 2;
constexpr int kEffectiveDpi = 0;

using SetContextFunction = BOOL(WINAPI*)(HANDLE);
using GetThreadContextFunction = HANDLE(WINAPI*)();
using AwarenessFromContextFunction = int(WINAPI*)(HANDLE);
using SetProcessAwarenessFunction = HRESULT(WINAPI*)(int);
using GetProcessAwarenessFunction = HRESULT(WINAPI*)(HANDLE, int*);
using DpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

HMODULE User32() { return GetModuleHandleW(L"user32.dll"); }

// shcore.dll (Windows 8.1 and later), loaded once for the program's life.
HMODULE Shcore() {
    static HMODULE shcore = LoadSystemLibrary(L"shcore.dll");
    return shcore;
}

}  // namespace

DpiAwareness DeclareDpiAwareness() {
    if (auto setContext = Lookup<SetContextFunction>(User32(), "SetProcessDpiAwarenessContext")) {
        if (!setContext(kContextPerMonitorAwareV2)) setContext(kContextPerMonitorAware);
    } else if (auto setAwareness = Lookup<SetProcessAwarenessFunction>(Shcore(), "SetProcessDpiAwareness")) {
        setAwareness(kProcessPerMonitorDpiAware);
    } else {
        SetProcessDPIAware();
    }
    return CurrentDpiAwareness();
}

DpiAwareness CurrentDpiAwareness() {
    auto threadContext = Lookup<GetThreadContextFunction>(User32(), "GetThreadDpiAwarenessContext");
    auto fromContext = Lookup<AwarenessFromContextFunction>(User32(), "GetAwarenessFromDpiAwarenessContext");
    auto sameContext = Lookup<BOOL(WINAPI*)(HANDLE, HANDLE)>(User32(), "AreDpiAwarenessContextsEqual");
    if (threadContext && fromContext) {
        HANDLE context = threadContext();
        if (sameContext && sameContext(context, kContextPerMonitorAwareV2)) return DpiAwareness::PerMonitorV2;
        switch (fromContext(context)) {
            case 2: return DpiAwareness::PerMonitor;
            case 1: return DpiAwareness::System;
            default: return DpiAwareness::Unaware;
        }
    }
    if (auto processAwareness = Lookup<GetProcessAwarenessFunction>(Shcore(), "GetProcessDpiAwareness")) {
        int value = 0;
        if (processAwareness(nullptr, &value) == S_OK)
            return value == 2 ? DpiAwareness::PerMonitor : value == 1 ? DpiAwareness::System : DpiAwareness::Unaware;
    }
    return IsProcessDPIAware() ? DpiAwareness::System : DpiAwareness::Unaware;
}

int MonitorDpi(HMONITOR monitor) {
    if (auto forMonitor = Lookup<DpiForMonitorFunction>(Shcore(), "GetDpiForMonitor")) {
        UINT x = 0, y = 0;
        if (monitor && forMonitor(monitor, kEffectiveDpi, &x, &y) == S_OK && y > 0) return int(y);
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace zorv::ui
