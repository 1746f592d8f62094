#pragma once
// Watches the test's X server for mapped windows of a program, from a
// Windows test: a shell on the host asks xdotool every 50 ms for the visible
// windows whose class names match, and writes what it finds to a file.
// This is the X server's own list, not the program's view of its windows.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "support/x_keyboard_win32.h"

namespace zorv::testing {

class XWindowWatch {
public:
    // pattern: an extended regular expression for the windows' class names
    // (xdotool --classname); no quotes in it.
    explicit XWindowWatch(const std::wstring& pattern) {
        std::wstring base = L"/tmp/zorv-xwatch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetTickCount64());
        seen_ = base + L".seen";
        stop_ = base + L".stop";
        done_ = base + L".done";
        std::wstring command = L"Z:\\bin\\sh -c \"while [ ! -e " + stop_ + L" ]; do /usr/bin/xdotool search --onlyvisible "
                               L"--classname '" + pattern + L"' >> " + seen_ + L" 2>/dev/null; sleep 0.05; done; touch " +
                               done_ + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
        Sleep(300);  // the first look happens before the watched program starts
    }
    ~XWindowWatch() { Stop(); }
    XWindowWatch(const XWindowWatch&) = delete;
    XWindowWatch& operator=(const XWindowWatch&) = delete;

    bool started() const { return started_; }
    // Ends the watch; the X window ids seen meanwhile, one per line.
    std::string Stop() {
        if (!stopped_) {
            stopped_ = true;
            std::ofstream(Windows(stop_).c_str()) << "stop";
            for (int waited = 0; waited < 5000 && GetFileAttributesW(Windows(done_).c_str()) == INVALID_FILE_ATTRIBUTES;
                 waited += 50)
                Sleep(50);
            std::ifstream in(Windows(seen_).c_str());
            seen_text_ = std::string(std::istreambuf_iterator<char>(in), {});
            in.close();
            for (const std::wstring& file : {seen_, stop_, done_}) DeleteFileW(Windows(file).c_str());
        }
        return seen_text_;
    }
    // Whether the watch ran to its end (the host's shell and xdotool work).
    bool Watched() const { return stopped_; }

private:
    static std::wstring Windows(std::wstring path) {
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        return L"Z:" + path;
    }
    std::wstring seen_, stop_, done_;
    bool started_ = false, stopped_ = false;
    std::string seen_text_;
};

}  // namespace zorv::testing
