#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/app_win32.h"
#include "runtime/codepage_win32.h"

namespace zorv::app {
namespace {

TEST(SingleInstance, FirstClaimWinsAndLaterOnesSeeIt) {
    const std::string name = "zorv_single_instance_test_a";
    std::wstring key = WideFromGbk(InstanceKeyFor(name));
    ASSERT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, key.c_str()), nullptr);
    EXPECT_FALSE(EnsureSingleInstance(0, false, name));
    // The first claim keeps a 4-byte mapping under the key.
    HANDLE seen = OpenFileMappingW(FILE_MAP_READ, FALSE, key.c_str());
    ASSERT_NE(seen, nullptr);
    CloseHandle(seen);
    EXPECT_TRUE(EnsureSingleInstance(0, false, name));
    EXPECT_TRUE(EnsureSingleInstance(0, false, name));
}

// Two claims at the same moment: both may find nothing to open, and exactly
// one of them may win all the same.
TEST(SingleInstance, OfTwoSimultaneousClaimsExactlyOneWins) {
    for (int round = 0; round < 100; ++round) {
        const std::string name = "zorv_single_instance_race_" + std::to_string(round);
        std::atomic<int> ready{0};
        bool seen[2] = {};
        auto claim = [&](int who) {
            ++ready;
            while (ready.load() < 2) {
            }
            seen[who] = EnsureSingleInstance(0, false, name);
        };
        std::thread first(claim, 0), second(claim, 1);
        first.join();
        second.join();
        EXPECT_NE(seen[0], seen[1]) << "round " << round;
    }
}

TEST(SingleInstance, TheSlotHoldsTheGivenWindowHandle) {
    const std::string name = "zorv_single_instance_test_b";
    EXPECT_FALSE(EnsureSingleInstance(0x1234, false, name));
    std::wstring key = WideFromGbk(InstanceKeyFor(name));
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, key.c_str());
    ASSERT_NE(mapping, nullptr);
    auto* slot = static_cast<const uint32_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(*slot, 0x1234u);
    UnmapViewOfFile(slot);
    CloseHandle(mapping);
}

TEST(SingleInstance, DifferentNamesDoNotMeet) {
    EXPECT_FALSE(EnsureSingleInstance(0, false, "zorv_single_instance_test_c"));
    EXPECT_FALSE(EnsureSingleInstance(0, false, "zorv_single_instance_test_d"));
    EXPECT_NE(InstanceKeyFor("zorv_single_instance_test_c"), InstanceKeyFor("zorv_single_instance_test_d"));
}

TEST(SingleInstance, AnEmptyNameStandsForTheProgramPath) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    EXPECT_EQ(InstanceKeyFor(""), InstanceKeyFor(GbkFromWide(std::wstring_view(path, length))));
    EXPECT_EQ(InstanceKeyFor("").size(), 16u);
}

}  // namespace
}  // namespace zorv::app
