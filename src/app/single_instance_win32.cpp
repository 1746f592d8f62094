#include <windows.h>

#include <mutex>
#include <vector>

#include "app/app_win32.h"
#include "runtime/codepage_win32.h"

namespace zorv::app {
namespace {

// Owns one mapping handle.
class MappingHandle {
public:
    explicit MappingHandle(HANDLE handle = nullptr) : handle_(handle) {}
    ~MappingHandle() {
        if (handle_) CloseHandle(handle_);
    }
    MappingHandle(MappingHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    MappingHandle(const MappingHandle&) = delete;
    MappingHandle& operator=(const MappingHandle&) = delete;
    MappingHandle& operator=(MappingHandle&&) = delete;
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};

// The first instance's mappings stay open until the process ends: their
// existence is what tells a later instance that this one runs.
std::mutex keptLock;
std::vector<MappingHandle> keptMappings;

std::string ProgramFullPath() {
    wchar_t buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return GbkFromWide(std::wstring_view(buffer, length < MAX_PATH ? length : MAX_PATH));
}

class MappedView {
public:
    MappedView(HANDLE mapping, DWORD access) : view_(MapViewOfFile(mapping, access, 0, 0, 0)) {}
    ~MappedView() {
        if (view_) UnmapViewOfFile(view_);
    }
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    uint32_t* slot() const { return static_cast<uint32_t*>(view_); }

private:
    void* view_;
};

void BringRunningInstanceForward(HANDLE mapping) {
    MappedView view(mapping, FILE_MAP_READ);
    if (!view.slot()) return;
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(*view.slot()));
    if (window && IsWindow(window)) BringWindowToFront(window);
}

}  // namespace

std::string InstanceKeyFor(std::string_view instanceName) {
    std::string name = instanceName.empty() ? ProgramFullPath() : std::string(instanceName);
    return InstanceKeyFromDigestHex(Md5Hex(name));
}

bool EnsureSingleInstance(uint32_t windowHandle, bool exitIfRunning, std::string_view instanceName) {
    std::wstring key = WideFromGbk(InstanceKeyFor(instanceName));
    MappingHandle running(OpenFileMappingW(FILE_MAP_READ, TRUE, key.c_str()));
    if (running) {
        BringRunningInstanceForward(running.get());
        // Nothing of this instance may run any more: no exit routine, no
        // window, no message.
        if (exitIfRunning) TerminateProcess(GetCurrentProcess(), 0);
        return true;
    }
    MappingHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, key.c_str()));
    if (!mapping) return false;
    {
        MappedView view(mapping.get(), FILE_MAP_WRITE);
        if (!view.slot()) return false;  // the mapping is closed again
        *view.slot() = windowHandle;
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
