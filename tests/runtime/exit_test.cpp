#include "runtime/exit.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "runtime/runtime.h"

namespace zorv {
namespace {

void Say(const char* text) { std::fputs(text, stderr); }
void Teardown() { Say("teardown;"); }
void RoutineOne() { Say("one;"); }
void RoutineTwo() { Say("two;"); }
void RoutineExitingAgain() {
    Say("again;");
    ExitProgram(9);
}
// Exit routines must not run when a worker ends the process.
void RoutineThatMustNotRun() { EndProcessNow(99); }

void StartLateWorker() {
    std::thread([] { ExitProgram(5); }).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Say("late;");
}

class ExitDeathTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ExitDeathTest, TeardownThenRoutinesInOrderOnce) {
    EXPECT_EXIT(
        {
            AddExitRoutine(RoutineOne);
            AddExitRoutine(RoutineTwo);
            AddExitRoutine(RoutineOne);
            SetWindowTeardown(Teardown);
            ExitProgram(3);
        },
        ::testing::ExitedWithCode(3), "^teardown;one;two;$");
}

TEST_F(ExitDeathTest, CallFromARoutineCarriesOnWithTheFirstCode) {
    EXPECT_EXIT(
        {
            AddExitRoutine(RoutineExitingAgain);
            AddExitRoutine(RoutineTwo);
            ExitProgram(3);
        },
        ::testing::ExitedWithCode(3), "^again;two;$");
}

TEST_F(ExitDeathTest, WorkerEndsTheProcessWhileTheUiThreadIsBusy) {
    EXPECT_EXIT(
        {
            InitRuntime();
            AddExitRoutine(RoutineThatMustNotRun);
            std::thread([] { ExitProgram(7); }).detach();
            for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        },
        ::testing::ExitedWithCode(7), "");
}

TEST_F(ExitDeathTest, WorkerWaitsOnceTheUiThreadIsExiting) {
    EXPECT_EXIT(
        {
            InitRuntime();
            AddExitRoutine(StartLateWorker);
            ExitProgram(3);
        },
        ::testing::ExitedWithCode(3), "late;");
}

TEST(UiThread, EveryThreadCountsUntilOneIsMarked) {
    // This process never marks a UI thread outside the death tests' children.
    bool workerCounts = false;
    std::thread([&] { workerCounts = IsUiThread(); }).join();
    EXPECT_TRUE(workerCounts);
    EXPECT_FALSE(IsExiting());
}

}  // namespace
}  // namespace zorv
