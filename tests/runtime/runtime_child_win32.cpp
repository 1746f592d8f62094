// A small program that the Windows runtime tests start as a child process:
// each mode drives one way the runtime ends a process (exit routines, exit
// requests from workers, fatal errors, failed allocations) or reports what
// the runtime saw at start.  What it has to say goes to standard output as
// GBK bytes; the exit code is the runtime's own.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "runtime/fatal.h"
#include "runtime/runtime.h"
#include "runtime_child_modes.h"

namespace {

using namespace zorv;
using namespace zorv::testing;

void Say(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string CurrentDirectory() {
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
    return GbkFromWide(std::wstring_view(buffer, length));
}

void TeardownRoutine() { Say("teardown;"); }
void FirstRoutine() { Say("first;"); }
void SecondRoutine() { Say("second;"); }

bool PrintFatalError(const std::string& message, const std::string& location) {
    Say(message + "|" + location);
    return true;
}

[[noreturn]] void PumpMessages() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    Say("message loop ended;");
    ExitProcess(100);
}

int Paths() {
    InitRuntime();
    Say(GetRunDirectory() + "\n" + GetExeFileName() + "\n" + CurrentDirectory() + "\n");
    return 0;
}

// A worker hands the UI thread an exit request; the UI thread, idle in its
// message loop, runs the exit sequence.
[[noreturn]] void ExitRequest() {
    InitRuntime();
    SetWindowTeardown(TeardownRoutine);
    AddExitRoutine(FirstRoutine);
    AddExitRoutine(SecondRoutine);
    AddExitRoutine(FirstRoutine);
    StartThread([] { ForwardExitRequest(kChildRequestedCode); });
    PumpMessages();
}

[[noreturn]] void WorkerExit() {
    InitRuntime();
    AddExitRoutine(FirstRoutine);
    StartThread([] { ExitProgram(kChildWorkerCode); });
    PumpMessages();
}

[[noreturn]] void FatalBox() {
    InitRuntime();
    ReportRuntimeError(5, 12, 34);
}

[[noreturn]] void FatalHook() {
    InitRuntime();
    SetFatalErrorHandler(PrintFatalError);
    AddExitRoutine(FirstRoutine);
    FatalRuntimeError("载入启动窗口失败", 7, -8);
}

[[noreturn]] void FatalOnWorker() {
    InitRuntime();
    SetFatalErrorHandler(PrintFatalError);
    StartThread([] { ReportRuntimeError(1, 3, 4); });
    PumpMessages();
}

// The global allocation functions take their blocks from the runtime; a
// request no heap can serve is a fatal error.
[[noreturn]] void FailedAllocation(bool withHook) {
    InitRuntime();
    if (withHook) SetFatalErrorHandler(PrintFatalError);
    volatile std::size_t size = kChildImpossibleAllocation;  // no compile-time size check
    void* volatile block = ::operator new(size);
    Say(block ? "allocated;" : "null;");
    ExitProcess(101);
}

// What the shell passed on: the show command, the arguments after the
// mode's own, and the current directory, written to the file named first.
int Startup(const std::vector<std::wstring>& arguments) {
    if (arguments.size() < 3) return 102;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    std::string report = std::to_string(show) + "\n";
    for (std::size_t i = 3; i < arguments.size(); ++i) report += GbkFromWide(arguments[i]) + ";";
    report += "\n" + CurrentDirectory() + "\n";
    // Written under a temporary name and renamed, so that the waiting test
    // never reads half a report.
    std::wstring target = arguments[2];
    std::wstring partial = target + L".part";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 103;
    DWORD written = 0;
    WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 104;
}

// A file with a Chinese name and Chinese content beside the program, written
// through the runtime's own file command.
int Instructions() {
    InitRuntime();
    std::string folder = GetRunDirectory();
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    const std::string text = kChildInstructionsText;
    auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    return WriteBytesToFile(folder + kChildInstructionsName, bytes) ? 0 : 105;
}

std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments(list, list + count);
    LocalFree(list);
    return arguments;
}

}  // namespace

int main() {
    std::vector<std::wstring> arguments = Arguments();
    if (arguments.size() < 2) return 110;
    const std::wstring& mode = arguments[1];
    if (mode == L"paths") return Paths();
    if (mode == L"exit-request") ExitRequest();
    if (mode == L"worker-exit") WorkerExit();
    if (mode == L"fatal-box") FatalBox();
    if (mode == L"fatal-hook") FatalHook();
    if (mode == L"fatal-worker") FatalOnWorker();
    if (mode == L"alloc-hook") FailedAllocation(true);
    if (mode == L"alloc-box") FailedAllocation(false);
    if (mode == L"startup") return Startup(arguments);
    if (mode == L"instructions") return Instructions();
    return 111;
}
