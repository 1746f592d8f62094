#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/commands_win32.h"

namespace zorv {
namespace {

TEST(SystemInfo, EnvironmentBlockGivesThePrefixVersion) {
    // The test prefix reports Windows 7 (6.1).
    OsVersion version = ReadPebVersion();
    EXPECT_EQ(version.major, 6u);
    EXPECT_EQ(version.minor, 1u);
    OSVERSIONINFOW reported{};
    reported.dwOSVersionInfoSize = sizeof(reported);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExW(&reported));
#pragma GCC diagnostic pop
    EXPECT_EQ(version.major, reported.dwMajorVersion);
    EXPECT_EQ(version.minor, reported.dwMinorVersion);
    EXPECT_EQ(RunningWindowsVersion(), 0x0601);
}

}  // namespace
}  // namespace zorv
