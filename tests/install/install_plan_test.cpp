#include "install/install_plan.h"

#include <gtest/gtest.h>

namespace zorv::install {
namespace {

TEST(InstallPlan, EachAttemptAddsABackslashTheLinksKeepTheFolder) {
    InstallPlan plan = MakeInstallPlan("C:\\Program Files (x86)\\zorv", true, false, "http://host/zorv.exe");
    EXPECT_EQ(plan.attempt, 0);
    BeginNextAttempt(plan);
    EXPECT_EQ(plan.attempt, 1);
    EXPECT_EQ(plan.folder, "C:\\Program Files (x86)\\zorv\\");
    EXPECT_EQ(plan.productPath, "C:\\Program Files (x86)\\zorv\\zorv.exe");
    EXPECT_EQ(plan.downloadPath, "C:\\Program Files (x86)\\zorv\\zorv.exe.download");
    EXPECT_EQ(plan.uninstallerPath, "C:\\Program Files (x86)\\zorv\\卸载.exe");
    // The retry's paths carry the second backslash, as they are registered.
    BeginNextAttempt(plan);
    EXPECT_EQ(plan.productPath, "C:\\Program Files (x86)\\zorv\\\\zorv.exe");
    EXPECT_EQ(plan.uninstallerPath, "C:\\Program Files (x86)\\zorv\\\\卸载.exe");
    EXPECT_EQ(plan.linkTarget, "C:\\Program Files (x86)\\zorv\\zorv.exe");
    EXPECT_TRUE(plan.desktopLink);
    EXPECT_FALSE(plan.startMenuLink);
    EXPECT_EQ(plan.productUrl, "http://host/zorv.exe");
}

TEST(AfterADownload, InstallOnlyWhatArrivedWholeRetryOnceThenFail) {
    const DownloadOutcome whole{1000, 1000}, cut{999, 1000}, noLength{1000, 0};
    DownloadOutcome notStarted{0, 0};
    notStarted.started = false;
    DownloadOutcome stopped = whole;
    stopped.stoppedByQuit = true;
    EXPECT_EQ(JudgeDownload(whole, 1), AfterDownload::Install);
    EXPECT_EQ(JudgeDownload(whole, 2), AfterDownload::Install);
    for (const DownloadOutcome& missing : {cut, noLength, notStarted}) {
        EXPECT_EQ(JudgeDownload(missing, 1), AfterDownload::Retry);
        EXPECT_EQ(JudgeDownload(missing, 2), AfterDownload::Fail);
    }
    // A download the quit stopped leads nowhere, whatever it brought.
    EXPECT_EQ(JudgeDownload(stopped, 1), AfterDownload::Stop);
    // Lengths beyond 32 bits count whole.
    EXPECT_EQ(JudgeDownload({int64_t{5} << 32, int64_t{5} << 32}, 1), AfterDownload::Install);
    EXPECT_EQ(JudgeDownload({(int64_t{5} << 32) - 1, int64_t{5} << 32}, 1), AfterDownload::Retry);
}

}  // namespace
}  // namespace zorv::install
