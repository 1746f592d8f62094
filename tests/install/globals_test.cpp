#include "install/globals.h"

#include <gtest/gtest.h>

namespace zorv::install {
namespace {

TEST(ProgramGlobalsStart, EveryGlobalHoldsItsStartValue) {
    InitGlobals();
    ProgramGlobals& g = Globals();
    ASSERT_TRUE(GlobalsCreated());
    ASSERT_NE(g.TheDownload, nullptr);
    EXPECT_EQ(GetDownloadedLength(*g.TheDownload), 0);  // idle: no task
    EXPECT_TRUE(g.ResumeBuffer.empty());
    EXPECT_EQ(g.InstallUiBusy.load(), 0);
    EXPECT_TRUE(g.ProductFileName.empty());
    EXPECT_EQ(g.CountdownStep.load(), 0);
    EXPECT_EQ(g.FileLength.Get(), 0);
    EXPECT_EQ(g.RetriedOnce.load(), 0);
    EXPECT_EQ(g.ProductUrl, kBuiltInProductUrl);
    ReleaseGlobals();
}

TEST(ProgramGlobalsStart, TaskDefaultsHoldTheTwentyStartUpValues) {
    InitGlobals();
    const TaskParam& p = *Globals().TaskDefaults;
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
    ProgramGlobals& g = Globals();
    g.TaskDefaults->Flags = 0x1000;
    g.TaskDefaults->StopWaitMs = 15000;
    g.FileLength.Exchange(1234);
    g.InstallUiBusy.store(1);
    g.ResumeBuffer = "resume";
    g.ProductUrl = "http://elsewhere/zorv.exe";
    ReleaseGlobals();
    EXPECT_FALSE(GlobalsCreated());
    EXPECT_EQ(g.TaskDefaults, nullptr);
    EXPECT_EQ(g.TheDownload, nullptr);
    EXPECT_TRUE(g.ResumeBuffer.empty());
    InitGlobals();
    EXPECT_EQ(g.TaskDefaults->Flags, 1);
    EXPECT_EQ(g.TaskDefaults->StopWaitMs, 1000);
    EXPECT_EQ(g.FileLength.Get(), 0);
    EXPECT_EQ(g.InstallUiBusy.load(), 0);
    EXPECT_EQ(g.ProductUrl, kBuiltInProductUrl);
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
