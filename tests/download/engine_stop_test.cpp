// The engine's commands and the task's life: refused starts, file names and
// name conflicts, stopping, resume data and the object's destruction.
#include <memory>

#include "download/segments.h"
#include "engine_harness.h"

namespace zorv::download::testing {
namespace {

class EngineCommands : public EngineTest {};

TEST_F(EngineCommands, StartIsRefusedForOtherSchemesMissingHostsAndWhileATaskRuns) {
    Recorder recorder;
    Download download;
    for (const char* url :
         {"ftp://h/f.exe", "mms://h/f", "rtsp://h/f", "gopher://h/f", "http://nohost", "https://nohost", "http:///x", ""})
        EXPECT_FALSE(StartTask(download, ParamFor(url, "x", recorder))) << url;
    EXPECT_TRUE(recorder.Events().empty());

    HttpTestServer server;
    server.Route("/slow.bin", Trickle(Pattern(400000)));
    ScratchFolder folder;
    ASSERT_TRUE(StartTask(download, ParamFor(server.Url("/slow.bin"), folder.File("slow.bin"), recorder)));
    Recorder second;
    EXPECT_FALSE(StartTask(download, ParamFor(server.Url("/slow.bin"), folder.File("other.bin"), second)));
    ASSERT_TRUE(recorder.WaitForBytes(1));
    EXPECT_GT(GetDownloadedLength(download), 0);
    StopTask(download);
    ASSERT_TRUE(recorder.WaitFinished());
    EXPECT_TRUE(second.Events().empty());
    EXPECT_EQ(server.RequestCount(), 1u);
}

TEST_F(EngineCommands, StopEndsTheTaskOnceWithTheBytesWrittenAndKeepsResumeData) {
    HttpTestServer server;
    server.Route("/slow.bin", Trickle(Pattern(400000)));
    ScratchFolder folder;
    Recorder recorder;
    Recorder next;  // outlives the object, whose threads call it
    Download download;
    ASSERT_TRUE(StartTask(download, ParamFor(server.Url("/slow.bin"), folder.File("slow.bin"), recorder)));
    ASSERT_TRUE(recorder.WaitForBytes(30000));
    std::string resume;
    ASSERT_TRUE(StopTaskKeepResume(download, resume, 2));
    EXPECT_EQ(GetDownloadedLength(download), 0);
    std::string again;
    EXPECT_FALSE(StopTaskKeepResume(download, again, 2));
    EXPECT_FALSE(GetResumeData(download, again));
    ASSERT_TRUE(recorder.WaitFinished());

    EventRecord finished = recorder.Last(EV_TASK_FINISHED);
    std::optional<ResumeRecord> record = ReadResumeData(resume);
    ASSERT_TRUE(record);
    EXPECT_EQ(DoneSum(record->table), finished.value1);
    EXPECT_EQ(record->totalLength, 400000);
    EXPECT_EQ(record->path, "/slow.bin");
    EXPECT_EQ(record->dotted, "127.0.0.1");
    EXPECT_EQ(record->port, server.Port());
    EXPECT_GE(finished.value1, 20480);
    EXPECT_LT(finished.value1, 400000);
    std::string file = ReadWhole(folder.File("slow.bin"));
    ASSERT_EQ(file.size(), 400000u);
    EXPECT_TRUE(SameBytes(file.substr(0, static_cast<size_t>(finished.value1)),
                          Pattern(400000).substr(0, static_cast<size_t>(finished.value1))));
    // Stopped connections end normally, and only once.
    EXPECT_EQ(recorder.Count(EV_CONNECTION_ENDED), 1);
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
    EXPECT_EQ(recorder.Count(EV_TASK_FINISHED), 1);
    // The object is idle again and takes the next task.
    server.Route("/small.bin", Body("next"));
    ASSERT_TRUE(StartTask(download, ParamFor(server.Url("/small.bin"), folder.File("small.bin"), next)));
    ASSERT_TRUE(next.WaitFinished());
    EXPECT_EQ(ReadWhole(folder.File("small.bin")), "next");
}

TEST_F(EngineCommands, FinishHandlerCanStartTheNextTask) {
    HttpTestServer server;
    server.Route("/first.bin", Body("first"));
    server.Route("/second.bin", Body("second"));
    ScratchFolder folder;
    Recorder second;
    std::atomic<int> restarted{0};
    {
        Download download;
        TaskParam param;
        param.Url = server.Url("/first.bin");
        param.TargetPath = folder.File("first.bin");
        param.EventCallback = [&](int32_t code, int32_t, int64_t, int64_t, int32_t) {
            if (code == EV_TASK_FINISHED)
                restarted = StartTask(download, ParamFor(server.Url("/second.bin"), folder.File("second.bin"), second))
                                ? 1
                                : -1;
            return 0;
        };
        ASSERT_TRUE(StartTask(download, param));
        ASSERT_TRUE(second.WaitFinished());
    }
    EXPECT_EQ(restarted.load(), 1);
    EXPECT_EQ(ReadWhole(folder.File("second.bin")), "second");
}

TEST_F(EngineCommands, ConnectionThatDoesNotReactIsEndedByTheEngineAndTheTaskStillEndsOnce) {
    HttpTestServer server;
    server.Route("/busy.exe", Body(Pattern(40000)));
    ScratchFolder folder;
    WriteWhole(folder.File("busy.exe"), "old");
    Recorder recorder;
    // The worker is held inside EV_TARGET_EXISTS until the stop has given up on it.
    std::mutex gate;
    std::condition_variable opened;
    bool release = false;
    std::atomic<bool> inside{false};
    recorder.onExists = [&](int32_t) {
        inside = true;
        std::unique_lock<std::mutex> guard(gate);
        opened.wait(guard, [&] { return release; });
    };
    {
        Download download;
        TaskParam param = ParamFor(server.Url("/busy.exe"), folder.File("busy.exe"), recorder);
        param.StopWaitMs = 100;
        ASSERT_TRUE(StartTask(download, param));
        while (!inside) std::this_thread::yield();
        StopTask(download);
        ASSERT_TRUE(recorder.WaitFor(EV_CONNECTION_ENDED));
        {
            std::lock_guard<std::mutex> guard(gate);
            release = true;
        }
        opened.notify_all();
        ASSERT_TRUE(recorder.WaitFinished());
    }
    EXPECT_EQ(recorder.Count(EV_TASK_FINISHED), 1);
    EXPECT_EQ(recorder.Count(EV_CONNECTION_ENDED), 1);
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
    EXPECT_EQ(recorder.Last(EV_TASK_FINISHED).value1, 0);
    // Given up before any file was made: the old file is untouched.
    EXPECT_EQ(ReadWhole(folder.File("busy.exe")), "old");
    EXPECT_FALSE(std::filesystem::exists(folder.File("busy(1).exe")));
}

TEST_F(EngineCommands, DestroyingTheObjectMidTaskEndsEveryThread) {
    HttpTestServer server;
    server.SetSilentConnections(true);
    ScratchFolder folder;
    Recorder recorder;
    auto download = std::make_unique<Download>();
    TaskParam param = ParamFor(server.Url("/never.bin"), folder.File("never.bin"), recorder);
    param.StopWaitMs = 200;
    ASSERT_TRUE(StartTask(*download, param));
    ASSERT_TRUE(recorder.WaitFor(EV_CONNECTION_STARTED));
    download.reset();
    EXPECT_EQ(LiveTaskCount(), 0);
    EXPECT_EQ(recorder.Count(EV_TASK_FINISHED), 1);
}

TEST_F(EngineCommands, ExistingTargetIsRenamedAutomatically) {
    HttpTestServer server;
    server.Route("/zorv.exe", Body("fresh"));
    server.Route("/a.b.exe", Body("dotted"));
    ScratchFolder folder;
    WriteWhole(folder.File("zorv.exe"), "one");
    WriteWhole(folder.File("zorv(1).exe"), "two");
    WriteWhole(folder.File("a.b.exe"), "three");
    {
        Recorder recorder;
        ASSERT_TRUE(RunTask(recorder, server.Url("/zorv.exe"), folder.File("zorv.exe")));
        EXPECT_EQ(ReadWhole(folder.File("zorv(2).exe")), "fresh");
        EXPECT_EQ(ReadWhole(folder.File("zorv.exe")), "one");
        EXPECT_TRUE(recorder.HasStatus("发现同名文件, 系统自动更名为" + folder.File("zorv(2).exe"), LEVEL_INFO));
        EventRecord exists = recorder.Last(EV_TARGET_EXISTS);
        EXPECT_EQ(exists.value1, 3);
        EXPECT_EQ(exists.value2, 5);
        // Every event but this one comes from the task's master thread; this
        // one from the connection's worker.
        std::thread::id master = recorder.Last(EV_TASK_FINISHED).thread;
        EXPECT_NE(master, std::this_thread::get_id());
        EXPECT_NE(exists.thread, master);
        for (const EventRecord& event : recorder.Events()) {
            if (event.code != EV_TARGET_EXISTS) {
                EXPECT_EQ(event.thread, master) << event.code;
            }
        }
    }
    {
        Recorder recorder;
        ASSERT_TRUE(RunTask(recorder, server.Url("/a.b.exe"), folder.File("a.b.exe")));
        EXPECT_EQ(ReadWhole(folder.File("a(1).b.exe")), "dotted");
    }
}

TEST_F(EngineCommands, CallbackCanGiveUpOrRenameTheTargetItself) {
    HttpTestServer server;
    server.Route("/zorv.exe", Body("fresh"));
    ScratchFolder folder;
    WriteWhole(folder.File("zorv.exe"), "old");
    {
        Recorder recorder;
        recorder.existsAnswer = 1;
        ASSERT_TRUE(RunTask(recorder, server.Url("/zorv.exe"), folder.File("zorv.exe")));
        EXPECT_TRUE(recorder.HasStatus("发现同名文件, 用户选择放弃下载", LEVEL_INFO));
        EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 1);
        EXPECT_FALSE(std::filesystem::exists(folder.File("zorv(1).exe")));
    }
    {
        Recorder recorder;
        recorder.existsAnswer = 2;
        std::string chosen = folder.File("chosen.exe");
        recorder.onExists = [&](int32_t task) { EXPECT_TRUE(ChangeTargetPath(task, chosen)); };
        ASSERT_TRUE(RunTask(recorder, server.Url("/zorv.exe"), folder.File("zorv.exe")));
        EXPECT_TRUE(recorder.HasStatus("发现同名文件, 用户更名为" + chosen, LEVEL_INFO));
        EXPECT_EQ(ReadWhole(chosen), "fresh");
    }
}

TEST_F(EngineCommands, FolderTargetTakesASafeServerNameOrThePathName) {
    HttpTestServer server;
    Reply named = Body("named");
    named.headers = {"Content-Disposition: attachment; filename=\"setup.exe\""};
    server.Route("/get/1", named);
    Reply evil = Body("evil");
    evil.headers = {"Content-Disposition: attachment; filename=\"..\\..\\evil.exe\""};
    server.Route("/get/plain.exe", evil);
    server.Route("/get/%2E%2E%5Cup.exe", Body("encoded"));
    ScratchFolder folder;
    struct Case {
        const char* path;
        const char* name;
        const char* content;
    } cases[] = {
        {"/get/1", "setup.exe", "named"},
        {"/get/plain.exe", "plain.exe", "evil"},
        {"/get/%2E%2E%5Cup.exe", "download.bin", "encoded"},
    };
    for (const Case& c : cases) {
        Recorder recorder;
        ASSERT_TRUE(RunTask(recorder, server.Url(c.path), folder.Folder()));
        EXPECT_EQ(ReadWhole(folder.File(c.name)), c.content) << c.path;
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder.Folder()).parent_path().parent_path() / "evil.exe"));
}

// A name percent-encoded in UTF-8 in the URL is the text it encodes, in the
// engine's GBK; a character that GBK does not have gives the fallback name.
TEST_F(EngineCommands, FolderTargetTakesAUtf8NameFromTheUrlAsText) {
    HttpTestServer server;
    const std::string named = "/dl/%E6%B5%8B%E8%AF%95%20%E6%96%87%E4%BB%B6%20%E5%90%8D.bin";
    server.Route(named, Body("named in UTF-8"));
    server.Route("/dl/%F0%9F%98%80.bin", Body("emoji"));
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url(named), folder.Folder()));
    EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
    EXPECT_EQ(os::ExistingFileSize(folder.Folder() + "测试 文件 名.bin"), 14);
    Recorder emoji;
    ASSERT_TRUE(RunTask(emoji, server.Url("/dl/%F0%9F%98%80.bin"), folder.Folder()));
    EXPECT_EQ(os::ExistingFileSize(folder.Folder() + "download.bin"), 5);
}

TEST_F(EngineCommands, OverlongRequestAndTargetPathFailCleanly) {
    HttpTestServer server;
    server.Route("/ok.bin", Body("ok"));
    ScratchFolder folder;
    {
        Recorder recorder;
        ASSERT_TRUE(RunTask(recorder, server.Url("/" + std::string(1100, 'p')), folder.File("p")));
        EXPECT_TRUE(recorder.HasStatus("HTTP请求信息过长", LEVEL_ERROR));
        EXPECT_EQ(server.RequestCount(), 0u);
        EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 1);
    }
    {
        Recorder recorder;
        ASSERT_TRUE(RunTask(recorder, server.Url("/ok.bin"), folder.File(std::string(300, 't'))));
        EXPECT_TRUE(recorder.HasStatus("目标文件路径过长", LEVEL_ERROR));
        EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 1);
    }
}

TEST_F(EngineCommands, ResumeDataTooLongIsRefusedWithAStatusText) {
    HttpTestServer proxy;
    std::string url = "http://dl.example.invalid/" + std::string(500, 'u') + ".bin";
    proxy.Route(url, Trickle(Pattern(400000)));
    ScratchFolder folder;
    Recorder recorder;
    Download download;
    TaskParam param = ParamFor(url, folder.File("long.bin"), recorder);
    param.Proxy = proxy.HostPort();
    param.Referer = std::string(1500, 'r');  // not sent through a proxy, but recorded
    ASSERT_TRUE(StartTask(download, param));
    ASSERT_TRUE(recorder.WaitForBytes(1));
    std::string resume = "untouched";
    EXPECT_FALSE(GetResumeData(download, resume));
    EXPECT_EQ(resume, "untouched");
    EXPECT_TRUE(StopTaskKeepResume(download, resume, 2));
    EXPECT_EQ(resume, "");
    ASSERT_TRUE(recorder.WaitFinished());
    EXPECT_TRUE(recorder.HasStatus("断点续传数据过长，没有保存", LEVEL_ERROR));
}

TEST_F(EngineCommands, ResumeDataOfARunningTaskReadsBack) {
    HttpTestServer server;
    server.Route("/slow.bin", Trickle(Pattern(400000)));
    ScratchFolder folder;
    Recorder recorder;
    Download download;
    ASSERT_TRUE(StartTask(download, ParamFor(server.Url("/slow.bin"), folder.File("slow.bin"), recorder)));
    std::string resume;
    ASSERT_TRUE(GetResumeData(download, resume));
    ASSERT_TRUE(recorder.WaitForBytes(1));
    ASSERT_TRUE(GetResumeData(download, resume));
    std::optional<ResumeRecord> record = ReadResumeData(resume);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->host, server.HostPort());
    EXPECT_EQ(record->referer, "http://" + server.HostPort());
    EXPECT_EQ(record->table.count, 1);
    StopTask(download);
    ASSERT_TRUE(recorder.WaitFinished());
}

TEST_F(EngineCommands, ModeWithoutThreadsStartsNothingAndStopsQuietly) {
    Recorder recorder;
    Download download;
    TaskParam param = ParamFor("http://127.0.0.1:9/x.exe", "x.exe", recorder);
    param.Flags = 0x2000;
    ASSERT_TRUE(StartTask(download, param));
    EXPECT_FALSE(StartTask(download, param));
    EXPECT_EQ(GetDownloadedLength(download), 0);
    StopTask(download);
    EXPECT_TRUE(recorder.Events().empty());
    EXPECT_TRUE(StartTask(download, param));
}

}  // namespace
}  // namespace zorv::download::testing
