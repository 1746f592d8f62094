#pragma once
// The process's DPI awareness and the DPI of a monitor.
#include <windows.h>

namespace zorv::ui {

enum class DpiAwareness { Unaware, System, PerMonitor, PerMonitorV2 };

// Declares the best awareness the system has, before any window exists:
// per-monitor version 2 (Windows 10 1703 and later), else per-monitor
// (Windows 8.1), else system-wide (Vista).  The program's manifest declares
// the same list; where it did, the system keeps the manifest's choice and
// refuses the calls.  The functions are looked up at run time (user32 is
// loaded already; shcore comes from the system folder).  Returns the
// awareness in effect afterwards.
DpiAwareness DeclareDpiAwareness();

// The awareness in effect for the calling thread.
DpiAwareness CurrentDpiAwareness();

// The DPI of the monitor as the process sees it: the monitor's own where the
// process is per-monitor aware, the system's otherwise.
int MonitorDpi(HMONITOR monitor);

}  // namespace zorv::ui
