#include "install/install_state.h"

#include <gtest/gtest.h>

namespace zorv::install {
namespace {

TEST(ProgramGlobalsStart, TaskDefaultsHoldTheTwentyStartUpValues) {
    InitGlobals();
    ASSERT_TRUE(GlobalsCreated());
    ASSERT_NE(ProductDownload().TheDownload, nullptr);
    EXPECT_EQ(GetDownloadedLength(*ProductDownload().TheDownload), 0);  // idle: no task
    const TaskParam& p = *ProductDownload().TaskDefaults;
    EXPECT_EQ(p.Flags, 1);
    EXPECT_EQ(p.Url, "");
    EXPECT_EQ(p.TargetPath, "");
    EXPECT_EQ(p.FtpUser, "anonymous");
    EXPECT_FALSE(p.FtpPassword.empty());
    EXPECT_NE(p.FtpPassword.find('@'), std::string::npos);  // e-mail style
    EXPECT_EQ(p.ConnectionCount, 1);
    EXPECT_EQ(p.SpeedLimit, 0);
    EXPECT_EQ(p.ConnectTimeoutMs, 20000);
    EXPECT_EQ(p.SendTimeoutMs, 20000);
    EXPECT_EQ(p.ReceiveTimeoutMs, 20000);
    EXPECT_EQ(p.StopWaitMs, 1000);
    EXPECT_EQ(p.BlockSize, 20480);
    EXPECT_EQ(p.UploadBlockSize, 1024);
    EXPECT_FALSE(p.StatusCallback);
    EXPECT_FALSE(p.EventCallback);
    EXPECT_EQ(p.FtpText, "");
    EXPECT_EQ(p.FtpTransferType, 1);
    EXPECT_EQ(p.BinaryExtensions, ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm");
    EXPECT_TRUE(!p.Proxy || p.Proxy->empty());
    EXPECT_TRUE(!p.Referer || p.Referer->empty());
    ReleaseGlobals();
}

TEST(ProgramGlobalsStart, ASecondStartResetsWhatTheProgramChanged) {
    InitGlobals();
    ProductDownloadState& g = ProductDownload();
    g.TaskDefaults->Flags = 0x1000;
    g.TaskDefaults->StopWaitMs = 15000;
    g.ResumeBuffer = "resume";
    Settings().ProductUrl = "http://elsewhere/zorv.exe";
    ReleaseGlobals();
    EXPECT_FALSE(GlobalsCreated());
    EXPECT_EQ(g.TaskDefaults, nullptr);
    EXPECT_EQ(g.TheDownload, nullptr);
    EXPECT_TRUE(g.ResumeBuffer.empty());
    InitGlobals();
    EXPECT_EQ(g.TaskDefaults->Flags, 1);
    EXPECT_EQ(g.TaskDefaults->StopWaitMs, 1000);
    EXPECT_EQ(Settings().ProductUrl, kBuiltInProductUrl);
    ReleaseGlobals();
}

TEST(ProgramGlobalsStart, ReleaseWithoutStartDoesNothing) {
    ReleaseGlobals();
    EXPECT_FALSE(GlobalsCreated());
    ReleaseGlobals();
    EXPECT_FALSE(GlobalsCreated());
}

}  // namespace
}  // namespace zorv::install
