// zorv-fetch as a program, against the scripted loopback server: the exit
// code and the last line must tell a complete file from every kind of
// incomplete one.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/http_test_server.h"

namespace zorv::testing {
namespace {

struct FetchRun {
    int exitCode = -1;
    std::string output;
    std::string lastLine;
};

std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

FetchRun Fetch(const std::vector<std::string>& arguments) {
    std::string command = Quoted(ZORV_FETCH_EXE);
    for (const auto& argument : arguments) command += " " + Quoted(argument);
    command += " 2>&1";
    FetchRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, count);
    int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::string trimmed = run.output;
    while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
    run.lastLine = trimmed.substr(trimmed.rfind('\n') == std::string::npos ? 0 : trimmed.rfind('\n') + 1);
    return run;
}

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string Numbers(size_t length) {
    std::string text;
    for (size_t i = 0; text.size() < length; ++i) text += std::to_string(i * 7919) + ";";
    text.resize(length);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class FetchCli : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zorv-fetch-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + Quoted(dir_)).c_str()); }
    std::string Target(const std::string& name) const { return dir_ + "/" + name; }

    HttpTestServer server_;
    std::string dir_;
};

TEST_F(FetchCli, CompleteFileOverFourConnections) {
    std::string body = Numbers(300001);
    server_.Route("/data.bin", Body(body));
    FetchRun run = Fetch({"-c", "4", server_.Url("/data.bin"), Target("data.bin")});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.lastLine.rfind("done 300001 bytes in ", 0), 0u) << run.lastLine;
    EXPECT_EQ(ReadFile(Target("data.bin")), body);
    // Every status text and event was printed, the request heads among them.
    EXPECT_NE(run.output.find("status sent #1:\n  GET /data.bin HTTP/1.1\n"), std::string::npos);
    EXPECT_NE(run.output.find("event FILE_LENGTH #1 value1=300001"), std::string::npos);
    EXPECT_NE(run.output.find("\n  Range: bytes="), std::string::npos);
    EXPECT_EQ(run.output.find('\r'), std::string::npos);  // no progress line when not on a terminal
    EXPECT_GE(server_.RequestCount(), 2u);
}

TEST_F(FetchCli, QuietPrintsOnlyTheVerdict) {
    server_.Route("/q", Body(Numbers(5000)));
    FetchRun run = Fetch({"-q", server_.Url("/q"), Target("q")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
    EXPECT_EQ(run.lastLine.rfind("done 5000 bytes in ", 0), 0u);
}

TEST_F(FetchCli, ErrorStatusFails) {
    server_.Route("/missing", Status(404));
    FetchRun run = Fetch({server_.Url("/missing"), Target("missing")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.lastLine.rfind("failed: ", 0), 0u) << run.lastLine;
    // The engine's own text, shown in UTF-8 on the terminal.
    EXPECT_NE(run.output.find("status error #1: " + Utf8(u8"出现错误")), std::string::npos) << run.output;
}

TEST_F(FetchCli, CloseInTheMiddleThenWholeFileIsReadFromTheStart) {
    // The first answer breaks off after 90000 bytes; the reconnect's range
    // request is answered with the whole file, which is read from byte 0:
    // its first 90000 bytes are dropped, the rest completes the file.
    std::string body = Numbers(200000);
    Reply cut = Body(body);
    cut.closeAtBodyByte = 90000;
    server_.RouteOnce("/cut", cut);
    Reply whole = Body(body);
    whole.ignoreRange = true;
    server_.Route("/cut", whole);
    FetchRun run = Fetch({"--timeout", "2000", server_.Url("/cut"), Target("cut")});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.lastLine.rfind("done 200000 bytes in ", 0), 0u) << run.lastLine;
    ASSERT_EQ(server_.RequestCount(), 2u);
    EXPECT_EQ(server_.Requests()[1].Header("Range"), "bytes=90000-");
    EXPECT_EQ(ReadFile(Target("cut")), body);
}

TEST_F(FetchCli, IgnoredRangesStillGiveTheWholeFile) {
    std::string body = Numbers(400000);
    Reply reply = Body(body);
    reply.ignoreRange = true;
    server_.Route("/whole", reply);
    FetchRun run = Fetch({"-c", "4", server_.Url("/whole"), Target("whole")});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.lastLine.rfind("done 400000 bytes in ", 0), 0u) << run.lastLine;
    EXPECT_EQ(ReadFile(Target("whole")), body);
}

TEST_F(FetchCli, ExistingTargetIsLeftAlone) {
    server_.Route("/f", Body(Numbers(3000)));
    {
        std::ofstream existing(Target("f"), std::ios::binary);
        existing << "old";
    }
    FetchRun run = Fetch({server_.Url("/f"), Target("f")});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(run.lastLine, "failed: the target exists already (3 bytes); not overwritten");
    EXPECT_EQ(ReadFile(Target("f")), "old");
    EXPECT_NE(run.output.find("event TARGET_EXISTS #1 value1=3 value2=3000"), std::string::npos) << run.output;
}

TEST_F(FetchCli, StopAfterWritesResumeData) {
    Reply slow = Body(Numbers(100000));
    slow.trickleBytes = 100;
    slow.trickleGapMs = 20;  // about 20 s for the whole body
    server_.Route("/slow", slow);
    FetchRun run = Fetch({"--stop-after", "300", "--resume-out", Target("resume"), server_.Url("/slow"), Target("slow")});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_EQ(run.lastLine.rfind("failed: stopped after ", 0), 0u) << run.lastLine;
    EXPECT_NE(run.lastLine.find(" of 100000 bytes; "), std::string::npos) << run.lastLine;
    std::string resume = ReadFile(Target("resume"));
    EXPECT_FALSE(resume.empty());
    EXPECT_NE(run.lastLine.find(std::to_string(resume.size()) + " bytes of resume data in "), std::string::npos);
}

TEST_F(FetchCli, AStoppedFetchIsContinuedToTheIdenticalFile) {
    std::string body = Numbers(100000);
    Reply slow = Body(body);
    slow.trickleBytes = 1000;
    slow.trickleGapMs = 20;  // about 2 s for the whole body
    server_.Route("/cont", slow);
    FetchRun stopped =
        Fetch({"--stop-after", "300", "--resume-out", Target("resume"), server_.Url("/cont"), Target("cont")});
    ASSERT_EQ(stopped.lastLine.rfind("failed: stopped after ", 0), 0u) << stopped.output;
    std::string partial = ReadFile(Target("cont"));
    ASSERT_EQ(partial.size(), body.size());
    ASSERT_NE(partial, body);
    size_t before = server_.RequestCount();

    server_.Route("/cont", Body(body));
    FetchRun resumed = Fetch({"--resume-in", Target("resume"), Target("cont")});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.output;
    EXPECT_EQ(resumed.lastLine.rfind("done 100000 bytes in ", 0), 0u) << resumed.lastLine;
    EXPECT_EQ(ReadFile(Target("cont")), body);
    // One range request, from where the stopped fetch left off (its bytes
    // are a prefix of the body, so the first difference is that position).
    std::vector<Request> requests = server_.Requests();
    ASSERT_EQ(requests.size(), before + 1);
    size_t done = 0;
    while (done < body.size() && partial[done] == body[done]) ++done;
    ASSERT_GT(done, 0u);
    EXPECT_EQ(requests.back().Header("Range"), "bytes=" + std::to_string(done) + "-");
    EXPECT_EQ(requests.back().path, "/cont");
}

TEST_F(FetchCli, ContinuingNeedsTheTargetAndUsableData) {
    std::string body = Numbers(60000);
    Reply slow = Body(body);
    slow.trickleBytes = 1000;
    slow.trickleGapMs = 20;
    server_.Route("/c", slow);
    FetchRun stopped = Fetch({"--stop-after", "200", "--resume-out", Target("resume"), server_.Url("/c"), Target("c")});
    ASSERT_EQ(stopped.lastLine.rfind("failed: stopped after ", 0), 0u) << stopped.output;
    size_t before = server_.RequestCount();

    FetchRun missing = Fetch({"--resume-in", Target("resume"), Target("elsewhere")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.lastLine.rfind("failed: the task did not start (resume data refused, or TARGET", 0), 0u)
        << missing.lastLine;
    EXPECT_NE(missing.output.find(Utf8(u8"打开文件失败，请检查磁盘是否存在 ") + Target("elsewhere") + Utf8(u8" 这个文件")),
              std::string::npos)
        << missing.output;
    EXPECT_FALSE(std::ifstream(Target("elsewhere")).good());

    {
        std::ofstream broken(Target("broken"), std::ios::binary);
        broken << "not resume data";
    }
    FetchRun refused = Fetch({"--resume-in", Target("broken"), Target("c")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.lastLine, "failed: the task did not start (no usable resume data in " + Target("broken") + ")");
    FetchRun absent = Fetch({"--resume-in", Target("no-such-file"), Target("c")});
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_EQ(server_.RequestCount(), before);
}

TEST_F(FetchCli, ThroughAProxy) {
    std::string body = Numbers(7000);
    server_.Route("/via/p.bin", Body(body));
    FetchRun run = Fetch({"--proxy", server_.HostPort(), "http://origin.invalid/via/p.bin", Target("p.bin")});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(ReadFile(Target("p.bin")), body);
    std::vector<Request> requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "http://origin.invalid/via/p.bin");
    EXPECT_EQ(requests[0].Header("Host"), "origin.invalid");
}

TEST_F(FetchCli, RefusedUrlAndArguments) {
    FetchRun ftp = Fetch({"ftp://h/x", Target("x")});
    EXPECT_EQ(ftp.exitCode, 1);
    EXPECT_EQ(ftp.lastLine.rfind("failed: the task did not start", 0), 0u) << ftp.lastLine;
    FetchRun bad = Fetch({"-c", "many", "http://h/x", Target("x")});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.output.rfind("zorv-fetch: -c wants 1 to 64 connections", 0), 0u) << bad.output;
}

}  // namespace
}  // namespace zorv::testing
