// The waits of the install flow: a pumping wait sleeps in the system while it
// still dispatches its thread's messages, and a UI thread that waits for a
// worker keeps carrying out the worker's window writes.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "ui/waits_win32.h"
#include "runtime/commands_win32.h"
#include "ui/form_ids.h"
#include "ui/form_template_resource_win32.h"
#include "ui/window_commands_win32.h"
#include "ui/window_win32.h"

namespace zorv::ui {
namespace {



double ThreadCpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    auto seconds = [](FILETIME time) {
        return double(uint64_t(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

std::atomic<int> received{0};

LRESULT CALLBACK CountingWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 7) ++received;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(PumpingWait, SleepsInTheSystemAndStillDispatchesItsMessages) {
    // A window of this thread: a posted message reaches it during the wait.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZorvPumpingTest";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    std::thread poster([window] {
        for (int i = 0; i < 5; ++i) {
            Sleep(1000);
            PostMessageW(window, WM_APP + 7, 0, 0);
        }
    });
    double cpuBefore = ThreadCpuSeconds();
    ULONGLONG before = GetTickCount64();
    PumpingWait(10000);
    double wall = double(GetTickCount64() - before) / 1000.0, cpu = ThreadCpuSeconds() - cpuBefore;
    poster.join();
    DestroyWindow(window);
    EXPECT_GE(wall, 9.9);
    EXPECT_LT(wall, 11.0);
    EXPECT_EQ(received.load(), 5);
    std::printf("pumping wait: %.4f s of CPU in %.2f s (%.3f %% of a core)\n", cpu, wall, 100.0 * cpu / wall);
    EXPECT_LT(cpu / wall, 0.01);
}

bool HaveDisplay() { return GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 0; }

// The program's status strip, loaded from the embedded template, written
// in a tight loop by a worker while the UI thread stops and joins it.
TEST(PumpingWait, TheUiThreadWaitingForAWriterKeepsItsWritesGoing) {
    if (!HaveDisplay()) GTEST_SKIP() << "needs a display (run under scripts/with-xvfb)";
    SetFormTemplate(&LoadFormTemplateFromResource());
    ASSERT_TRUE(LoadWindow(ids::StatusBar));
    for (int round = 0; round < 30; ++round) {
        std::atomic<bool> stop{false};
        std::atomic<int> writes{0};
        std::thread writer([&] {
            while (!stop.load()) {
                WriteProperty(ids::StatusBar, ids::StatusSpinner, ids::prop::Width, writes.load() % 500);
                ++writes;
            }
        });
        while (writes.load() < 20) PumpingWait(1);
        // Without the pumping join the writer would wait for this thread,
        // and this thread for the writer.
        RunPumping([&] {
            stop.store(true);
            writer.join();
        });
        EXPECT_GE(writes.load(), 20);
    }
    DestroyAllWindows();
}

}  // namespace
}  // namespace zorv::ui
