#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_win32.h"
#include "install/globals.h"

namespace zorv::app {
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
}

TEST(SystemInfo, InitSystemInfoRecordsCodePageAndVersion) {
    InitGlobals();
    InitSystemInfo();
    EXPECT_EQ(Globals().TextCodePage, 936);
    EXPECT_EQ(Globals().WindowsVersion, 0x0601);
    ReleaseGlobals();
}

}  // namespace
}  // namespace zorv::app
