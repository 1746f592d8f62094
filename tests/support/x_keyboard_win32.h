#pragma once
// The X keyboard of the test's display, driven from a Windows test: Wine
// starts the host's xdotool like any program, so the keys arrive through
// the X server exactly as a user's would.  Without a window manager nobody
// hands the keyboard to a new window, so a test first gives the program's
// window the X input focus (FocusXWindow), as a window manager would.
#include <windows.h>

#include <fstream>
#include <string>

#include "support/program_child_win32.h"

namespace zorv::testing {

inline constexpr wchar_t kXdotool[] = L"Z:\\usr\\bin\\xdotool";

inline bool HaveXdotool() { return GetFileAttributesW(kXdotool) != INVALID_FILE_ATTRIBUTES; }

// Runs xdotool with the arguments (no double quotes in them; quote with
// single quotes) and returns its exit code, or -1 when it did not end in
// 10 s.  Wine starts a host program without a process handle to wait on, so
// a shell runs it and leaves its exit code in a file under /tmp.
inline int Xdotool(const std::wstring& arguments) {
    static int runs = 0;
    std::wstring name = L"/tmp/zorv-xdotool-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++runs);
    std::wstring result = L"Z:" + name;
    for (wchar_t& c : result)
        if (c == L'/') c = L'\\';
    DeleteFileW(result.c_str());
    std::wstring command = L"Z:\\bin\\sh -c \"/usr/bin/xdotool " + arguments + L"; echo $? > " + name + L".part && mv " +
                           name + L".part " + name + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
    for (int waited = 0; waited < 10000; waited += 20) {
        std::ifstream in(result.c_str());
        int code = -1;
        if (in >> code) {
            in.close();
            DeleteFileW(result.c_str());
            return code;
        }
        Sleep(20);
    }
    return -1;
}

// Gives the X input focus to the X window titled so.  xdotool's search
// reads every window's properties and gives up when one goes away meanwhile
// (a window of Wine's that lives a moment while a program starts): a few
// tries.
inline bool FocusXWindow(const wchar_t* title) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (Xdotool(std::wstring(L"search --name '") + title + L"' windowfocus --sync %1") == 0) return true;
        Sleep(300);
    }
    return false;
}

// Presses keys by their X names ("Tab", "shift+Tab", "Return", "space").
inline bool PressKeys(const std::wstring& keys) {
    bool pressed = Xdotool(L"key --delay 150 " + keys) == 0;
    Sleep(300);
    return pressed;
}

// Types the text as key presses.
inline bool TypeText(const std::wstring& text) {
    bool typed = Xdotool(L"type --delay 80 '" + text + L"'") == 0;
    Sleep(300);
    return typed;
}

// The window that has the keyboard focus in the thread of that window.
inline HWND FocusOfThread(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

}  // namespace zorv::testing
