#pragma once
// The real program as a child process of a Windows test, driven from
// outside: started with arguments and a current directory, its windows
// found, clicked with the real mouse, and its end awaited.
#include <windows.h>

#include <string>

namespace zorv::testing {

inline constexpr wchar_t kMainWindowTitle[] = L"Zorvane安装卸载程序";

// A Linux path of the build (as the build passes it) as Wine sees it: the
// host root is drive Z:.
inline std::wstring WinePathOf(const char* hostPath) {
    std::wstring path = L"Z:";
    for (const char* c = hostPath; *c; ++c) path.push_back(*c == '/' ? L'\\' : static_cast<wchar_t>(*c));
    return path;
}

inline bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

class ChildProgram {
public:
    ChildProgram(const std::wstring& exe, const std::wstring& arguments = {}, const std::wstring& directory = {}) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        started_ = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  directory.empty() ? nullptr : directory.c_str(), &startup, &info_) != FALSE;
    }
    ~ChildProgram() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool started() const { return started_; }
    DWORD id() const { return info_.dwProcessId; }
    // The exit code once the process ended within the wait, else STILL_ACTIVE.
    DWORD WaitForExit(DWORD ms) const {
        WaitForSingleObject(info_.hProcess, ms);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }
    bool Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

    // The child's visible top-level window with the title, once it shows
    // (null when it did not within the wait or the child ended).
    HWND WaitForWindow(const wchar_t* title, DWORD ms) const {
        for (DWORD waited = 0; waited < ms; waited += 100) {
            HWND found = nullptr;
            while ((found = FindWindowExW(nullptr, found, nullptr, title)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if (owner == info_.dwProcessId && IsWindowVisible(found)) return found;
            }
            if (WaitForSingleObject(info_.hProcess, 100) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION info_{};
};

// A real click of the left button at the client point of the window.
inline void ClickAt(HWND window, int clientX, int clientY) {
    POINT point{clientX, clientY};
    ClientToScreen(window, &point);
    SetForegroundWindow(window);
    SetCursorPos(point.x, point.y);
    Sleep(100);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &inputs[0], sizeof(INPUT));
    Sleep(60);
    SendInput(1, &inputs[1], sizeof(INPUT));
}

// Polls the condition every 100 ms for up to ms; true once it held.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD ms) {
    for (DWORD waited = 0;; waited += 100) {
        if (condition()) return true;
        if (waited >= ms) return false;
        Sleep(100);
    }
}

}  // namespace zorv::testing
