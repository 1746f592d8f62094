#include <objbase.h>
#include <ole2.h>
#include <windows.h>

#include <atomic>
#include <mutex>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "runtime/runtime.h"

namespace zorv {

void LinkAllocationFunctions();  // new_win32.cpp

namespace {

constexpr wchar_t kOwnerWindowClass[] = L"ZorvRuntimeOwner";

std::once_flag pathOnce;
ProgramPath programPath;
std::wstring programPathWide;
std::wstring runDirectoryWide;

std::once_flag initOnce;
std::atomic<HWND> ownerWindow{nullptr};

std::wstring ModuleFileName() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

void DetermineProgramPath() {
    std::wstring full = ModuleFileName();
    programPathWide = full;
    programPath = SplitProgramPath(GbkFromWide(full));
    std::size_t slash = full.rfind(L'\\');
    runDirectoryWide = slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
}

LRESULT CALLBACK OwnerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // An exit request from a worker thread; that worker ends the process
    // itself unless the exit had begun, so the request only matters when
    // nobody has started exiting yet.
    if (message == kExitRequestMessage) {
        if (!IsExiting()) ExitProgram(static_cast<int>(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateOwnerWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnerWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kOwnerWindowClass;
    RegisterClassW(&windowClass);
    // A hidden top-level window can own the program's windows; without a
    // desktop (no display) a message-only window still carries exit requests.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr) {
        window = CreateWindowExW(0, kOwnerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
    }
    return window;
}

void SetCurrentDirectoryToRunDirectory() {
    if (runDirectoryWide.empty()) return;
    std::wstring directory = runDirectoryWide;
    // "C:" alone would mean the drive's own current directory.
    if (directory.back() == L':') directory += L'\\';
    SetCurrentDirectoryW(directory.c_str());
}

}  // namespace

void InitRuntime() {
    std::call_once(initOnce, [] {
        LinkAllocationFunctions();
        MarkUiThread();
        // The process keeps OLE until it ends: ExitProcess follows the exit
        // routines directly, so there is no matching OleUninitialize.
        OleInitialize(nullptr);
        std::call_once(pathOnce, DetermineProgramPath);
        SetCurrentDirectoryToRunDirectory();
        ownerWindow = CreateOwnerWindow();
    });
}

std::string GetRunDirectory() {
    std::call_once(pathOnce, DetermineProgramPath);
    return programPath.directory;
}

std::string GetExeFileName() {
    std::call_once(pathOnce, DetermineProgramPath);
    return programPath.fileName;
}

const std::wstring& OwnProgramPathWide() {
    std::call_once(pathOnce, DetermineProgramPath);
    return programPathWide;
}

const std::wstring& RunDirectoryWide() {
    std::call_once(pathOnce, DetermineProgramPath);
    return runDirectoryWide;
}

HWND RuntimeOwnerWindow() { return ownerWindow.load(); }

}  // namespace zorv
