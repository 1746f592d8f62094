#include <windows.h>

#include <mutex>
#include <vector>

#include "app/app_win32.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::app {
namespace {

// The first instance's mappings stay open until the process ends: their
// existence is what tells a later instance that this one runs.
std::mutex keptLock;
std::vector<UniqueHandle> keptMappings;

std::string ProgramFullPath() { return GbkFromWide(OwnProgramPathWide()); }

uint32_t* SlotOf(const UniqueMappedView& view) { return static_cast<uint32_t*>(view.get()); }

void BringRunningInstanceForward(HANDLE mapping) {
    UniqueMappedView view(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (!view) return;
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(*SlotOf(view)));
    if (window && IsWindow(window)) BringWindowToFront(window);
}

// Another instance runs: it is brought forward, and this one either ends
// at once or is told so.
bool YieldToRunningInstance(HANDLE mapping, bool exitIfRunning) {
    BringRunningInstanceForward(mapping);
    // Nothing of this instance may run any more: no exit routine, no
    // window, no message.
    if (exitIfRunning) TerminateProcess(GetCurrentProcess(), 0);
    return true;
}

}  // namespace

std::string InstanceKeyFor(std::string_view instanceName) {
    std::string name = instanceName.empty() ? ProgramFullPath() : std::string(instanceName);
    return InstanceKeyFromDigestHex(Md5Hex(name));
}

bool EnsureSingleInstance(uint32_t windowHandle, bool exitIfRunning, std::string_view instanceName) {
    std::wstring key = WideFromGbk(InstanceKeyFor(instanceName));
    UniqueHandle running(OpenFileMappingW(FILE_MAP_READ, TRUE, key.c_str()));
    if (running) return YieldToRunningInstance(running.get(), exitIfRunning);
    // Two starts at the same moment may both find nothing to open; the
    // creation itself decides, as only one of them creates the mapping.
    UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, key.c_str()));
    if (!mapping) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) return YieldToRunningInstance(mapping.get(), exitIfRunning);
    {
        UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
        if (!view) return false;  // the mapping is closed again
        *SlotOf(view) = windowHandle;
    }
    std::lock_guard lock(keptLock);
    keptMappings.push_back(std::move(mapping));
    return false;
}

HWND BringWindowToFront(HWND window) {
    HWND previous = GetForegroundWindow();
    ShowWindow(window, SW_RESTORE);
    Sleep(2);
    DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    DWORD ownThread = GetCurrentThreadId();
    AttachThreadInput(windowThread, ownThread, TRUE);
    SetActiveWindow(window);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_ASYNCWINDOWPOS | SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
    AttachThreadInput(windowThread, ownThread, FALSE);
    Sleep(2);
    return GetForegroundWindow() == window ? previous : nullptr;
}

}  // namespace zorv::app
