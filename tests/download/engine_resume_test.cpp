// Continuing a stopped task from its resume data: range requests from the
// done positions, finished segments skipped, the file completed in place, and
// the data or target files that are refused.
#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "download/segments.h"
#include "download/texts.h"
#include "engine_harness.h"

namespace zorv::download::testing {
namespace {

class EngineResume : public EngineTest {};

// Answers held back until the test opens the gate.  Shared with the
// server's threads, so a late request never finds it gone.
class Gate {
public:
    zorv::testing::Handler Holding(const std::string& body) {
        std::shared_ptr<State> state = state_;
        return [state, body](const Request&) {
            std::unique_lock<std::mutex> guard(state->lock);
            state->changed.wait(guard, [&] { return state->open; });
            return Body(body);
        };
    }
    void Open() {
        {
            std::lock_guard<std::mutex> guard(state_->lock);
            state_->open = true;
        }
        state_->changed.notify_all();
    }
    ~Gate() { Open(); }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        bool open = false;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Positions asked for by the requests from index `from` on ("bytes=P-").
std::multiset<int64_t> RangeStarts(const std::vector<Request>& requests, size_t from) {
    std::multiset<int64_t> starts;
    for (size_t i = from; i < requests.size(); ++i) {
        std::string range = requests[i].Header("Range");
        EXPECT_EQ(range.rfind("bytes=", 0), 0u) << "request without a range: " << requests[i].raw;
        EXPECT_EQ(range.back(), '-') << range;
        starts.insert(std::stoll(range.substr(6)));
    }
    return starts;
}

std::multiset<int64_t> UnfinishedPositions(const SegmentTable& table) {
    std::multiset<int64_t> positions;
    for (int32_t i = 0; i < table.count; ++i) {
        const Segment& segment = table.segments[static_cast<size_t>(i)];
        if (!segment.Finished()) positions.insert(static_cast<int64_t>(segment.start) + segment.done);
    }
    return positions;
}

// A record of a task on the given server, as a stopped task writes it.
ResumeRecord RecordFor(const HttpTestServer& server, const std::string& path, int32_t total, int32_t segments) {
    ResumeRecord record;
    record.table = BuildSegmentTable(total, 0, segments);
    record.host = server.HostPort();
    record.path = path;
    record.referer = "http://" + server.HostPort();
    record.dotted = "127.0.0.1";
    record.port = server.Port();
    record.totalLength = total;
    return record;
}

// The file as the stopped task left it: the done part of every segment
// written, zero bytes elsewhere.
std::string PartialFile(const std::string& body, const SegmentTable& table) {
    std::string file(body.size(), '\0');
    for (int32_t i = 0; i < table.count; ++i) {
        const Segment& segment = table.segments[static_cast<size_t>(i)];
        file.replace(static_cast<size_t>(segment.start), static_cast<size_t>(segment.done),
                     body.substr(static_cast<size_t>(segment.start), static_cast<size_t>(segment.done)));
    }
    return file;
}

class StoppedTransfer : public EngineResume, public ::testing::WithParamInterface<int> {};

TEST_P(StoppedTransfer, ContinuesFromTheDonePositionsToTheIdenticalFile) {
    const std::string body = Pattern(300000);
    HttpTestServer server;
    server.Route("/big.bin", Trickle(body));
    ScratchFolder folder;
    std::string target = folder.File("big.bin");
    Recorder first;
    Recorder second;
    Download download;

    TaskParam param = ParamFor(server.Url("/big.bin"), target, first);
    param.ConnectionCount = GetParam();
    ASSERT_TRUE(StartTask(download, param));
    ASSERT_TRUE(first.WaitForBytes(60000));
    std::string resume;
    ASSERT_TRUE(StopTaskKeepResume(download, resume, 2));
    ASSERT_TRUE(first.WaitFinished());
    std::optional<ResumeRecord> record = ReadResumeData(resume);
    ASSERT_TRUE(record);
    const int64_t done = DoneSum(record->table);
    ASSERT_GT(done, 0);
    ASSERT_LT(done, 300000);
    const std::multiset<int64_t> positions = UnfinishedPositions(record->table);
    ASSERT_FALSE(positions.empty());
    const Request original = server.Requests().front();

    // The continued answers wait until the test has seen the count the task
    // starts from and every segment has asked for its rest (so no connection
    // finishes early and takes over another's segment).
    Gate gate;
    server.Route("/big.bin", gate.Holding(body));
    size_t before = server.RequestCount();
    TaskParam again = ParamFor("", target, second);  // no URL: everything comes from the data
    ASSERT_TRUE(StartTaskFromResume(download, again, resume));
    EXPECT_EQ(GetDownloadedLength(download), done);
    EXPECT_FALSE(StartTaskFromResume(download, again, resume));  // a task is held
    EXPECT_FALSE(StartTask(download, ParamFor(server.Url("/big.bin"), folder.File("other.bin"), second)));
    EXPECT_TRUE(server.WaitForRequests(before + positions.size(), 30000));
    gate.Open();
    ASSERT_TRUE(second.WaitFinished());

    EXPECT_TRUE(SameBytes(ReadWhole(target), body));
    std::vector<Request> requests = server.Requests();
    EXPECT_EQ(RangeStarts(requests, before), positions);
    for (size_t i = before; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].path, "/big.bin");
        EXPECT_EQ(requests[i].Header("Host"), original.Header("Host"));
        EXPECT_EQ(requests[i].Header("Referer"), original.Header("Referer"));
    }
    // Only the missing bytes are fetched and counted; the length is the
    // recorded one and comes before any bytes.
    EXPECT_EQ(second.BytesReported(), 300000 - done);
    std::vector<int32_t> codes = second.Codes();
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), EV_FILE_LENGTH);
    EXPECT_EQ(second.Last(EV_FILE_LENGTH).value1, 300000);
    EXPECT_EQ(second.Count(EV_FILE_LENGTH), 1);
    EXPECT_EQ(second.Count(EV_TASK_FINISHED), 1);
    EXPECT_EQ(second.Last(EV_TASK_FINISHED).value1, 300000);
    EXPECT_EQ(second.Count(EV_CONNECTION_FAILED), 0);
    EXPECT_EQ(second.Count(EV_SEGMENT_STARTED), static_cast<int>(positions.size()));
    EXPECT_EQ(GetDownloadedLength(download), 0);
}

INSTANTIATE_TEST_SUITE_P(Connections, StoppedTransfer, ::testing::Values(1, 3));

TEST_F(EngineResume, FinishedSegmentsAreSkippedAndTheDoneBytesAreLeftAlone) {
    const std::string body = Pattern(150000);
    HttpTestServer server;
    Gate gate;
    server.Route("/parts.bin", gate.Holding(body));
    ResumeRecord record = RecordFor(server, "/parts.bin", 150000, 3);
    record.table.segments[0].done = 1000;
    record.table.segments[1].done = record.table.segments[1].length;  // finished
    record.table.segments[2].done = 0;
    std::optional<std::string> resume = WriteResumeData(record);
    ASSERT_TRUE(resume);
    ScratchFolder folder;
    std::string target = folder.File("parts.bin");
    // The done bytes are marked: a fetch that rewrote them would show.
    std::string partial = PartialFile(body, record.table);
    partial[10] = 'X';
    partial[60000] = 'Y';
    WriteWhole(target, partial);

    Recorder recorder;
    Download download;
    ASSERT_TRUE(StartTaskFromResume(download, ParamFor("", target, recorder), *resume));
    EXPECT_EQ(GetDownloadedLength(download), 1000 + 50000);
    EXPECT_TRUE(server.WaitForRequests(2, 30000));
    gate.Open();
    ASSERT_TRUE(recorder.WaitFinished());
    std::string expected = body;
    expected[10] = 'X';
    expected[60000] = 'Y';
    EXPECT_TRUE(SameBytes(ReadWhole(target), expected));
    EXPECT_EQ(RangeStarts(server.Requests(), 0), (std::multiset<int64_t>{1000, 100000}));
    EXPECT_EQ(recorder.BytesReported(), 150000 - 1000 - 50000);
    EXPECT_EQ(recorder.Last(EV_TASK_FINISHED).value1, 150000);
}

TEST_F(EngineResume, ACompleteRecordFinishesAtOnceWithoutARequest) {
    const std::string body = Pattern(60000);
    HttpTestServer server;
    ResumeRecord record = RecordFor(server, "/done.bin", 60000, 2);
    for (int32_t i = 0; i < record.table.count; ++i)
        record.table.segments[static_cast<size_t>(i)].done = record.table.segments[static_cast<size_t>(i)].length;
    std::optional<std::string> resume = WriteResumeData(record);
    ASSERT_TRUE(resume);
    ScratchFolder folder;
    std::string target = folder.File("done.bin");
    WriteWhole(target, body);

    Recorder recorder;
    Recorder next;
    Download download;
    ASSERT_TRUE(StartTaskFromResume(download, ParamFor("", target, recorder), *resume));
    ASSERT_TRUE(recorder.WaitFinished());
    EXPECT_EQ(recorder.Codes(), (std::vector<int32_t>{EV_FILE_LENGTH, EV_TASK_FINISHED}));
    EXPECT_EQ(recorder.Last(EV_TASK_FINISHED).value1, 60000);
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_TRUE(SameBytes(ReadWhole(target), body));
    // Idle again: the next task starts.
    server.Route("/small.bin", Body("next"));
    ASSERT_TRUE(StartTask(download, ParamFor(server.Url("/small.bin"), folder.File("small.bin"), next)));
    ASSERT_TRUE(next.WaitFinished());
}

TEST_F(EngineResume, ChangedOrIncompleteDataIsRefused) {
    HttpTestServer server;
    ScratchFolder folder;
    std::string target = folder.File("f.bin");
    WriteWhole(target, std::string(100000, '\0'));
    ResumeRecord record = RecordFor(server, "/f.bin", 100000, 2);
    record.table.segments[0].done = 5000;
    std::optional<std::string> resume = WriteResumeData(record);
    ASSERT_TRUE(resume);

    Recorder recorder;
    Download download;
    std::string changed = *resume;
    changed[16 + 20] ^= 0x01;  // the first segment's done count
    EXPECT_FALSE(StartTaskFromResume(download, ParamFor("", target, recorder), changed));
    EXPECT_FALSE(StartTaskFromResume(download, ParamFor("", target, recorder), resume->substr(0, resume->size() - 1)));
    EXPECT_FALSE(StartTaskFromResume(download, ParamFor("", target, recorder), ""));

    // Well-formed data that no connection could continue from.
    ResumeRecord noTable = record;  // stopped before the length was known
    noTable.table = SegmentTable{};
    ResumeRecord noAddress = record;  // stopped before the name was resolved
    noAddress.dotted.clear();
    ResumeRecord otherLength = record;  // the table does not cover the recorded file
    otherLength.totalLength = 90000;
    for (const ResumeRecord& bad : {noTable, noAddress, otherLength}) {
        std::optional<std::string> data = WriteResumeData(bad);
        ASSERT_TRUE(data);
        EXPECT_FALSE(StartTaskFromResume(download, ParamFor("", target, recorder), *data));
    }
    EXPECT_TRUE(recorder.Events().empty());
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_TRUE(SameBytes(ReadWhole(target), std::string(100000, '\0')));

    // The object stays idle and takes the unchanged data.
    server.Route("/f.bin", Body(Pattern(100000)));
    ASSERT_TRUE(StartTaskFromResume(download, ParamFor("", target, recorder), *resume));
    ASSERT_TRUE(recorder.WaitFinished());
    EXPECT_TRUE(SameBytes(ReadWhole(target).substr(5000), Pattern(100000).substr(5000)));
}

TEST_F(EngineResume, AMissingTargetFailsWithItsStatusTextAndIsNotCreated) {
    HttpTestServer server;
    ScratchFolder folder;
    std::string target = folder.File("gone.bin");
    std::optional<std::string> resume = WriteResumeData(RecordFor(server, "/gone.bin", 50000, 1));
    ASSERT_TRUE(resume);
    Recorder recorder;
    Download download;
    EXPECT_FALSE(StartTaskFromResume(download, ParamFor("", target, recorder), *resume));
    EXPECT_TRUE(recorder.HasStatus(FormatText("打开文件失败，请检查磁盘是否存在 %s 这个文件", target.c_str()), LEVEL_ERROR));
    EXPECT_FALSE(std::filesystem::exists(target));
    // A folder of that name is no file to continue either.
    std::filesystem::create_directory(target);
    EXPECT_FALSE(StartTaskFromResume(download, ParamFor("", target, recorder), *resume));
    EXPECT_TRUE(recorder.Events().empty());
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(EngineResume, ATargetOfAnotherSizeIsRefusedAndLeftAsItWas) {
    HttpTestServer server;
    server.Route("/f.bin", Body(Pattern(50000)));
    ScratchFolder folder;
    std::string target = folder.File("f.bin");
    std::optional<std::string> resume = WriteResumeData(RecordFor(server, "/f.bin", 50000, 1));
    ASSERT_TRUE(resume);
    Recorder recorder;
    Download download;
    for (size_t size : {size_t{0}, size_t{49999}, size_t{50001}}) {
        std::string content(size, 'k');
        WriteWhole(target, content);
        EXPECT_FALSE(StartTaskFromResume(download, ParamFor("", target, recorder), *resume)) << size;
        EXPECT_TRUE(SameBytes(ReadWhole(target), content)) << "never truncated nor extended";
        EXPECT_TRUE(recorder.HasStatus(FormatText("文件 %s 的大小与断点续传数据不符", target.c_str()), LEVEL_ERROR));
    }
    EXPECT_TRUE(recorder.Events().empty());
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(EngineResume, StatusCallbackOfARefusedTargetCanCallTheObjectsCommands) {
    HttpTestServer server;
    ScratchFolder folder;
    std::optional<std::string> resume = WriteResumeData(RecordFor(server, "/f.bin", 50000, 1));
    ASSERT_TRUE(resume);
    std::string resized = folder.File("resized.bin");
    WriteWhole(resized, "short");
    for (const std::string& target : {folder.File("missing.bin"), resized}) {
        // The start runs on a thread of its own, which owns everything it
        // touches: a start stuck in its callback fails the test instead of
        // hanging it.
        struct Shared {
            Download download;
            std::atomic<int> calls{0};
            std::atomic<int32_t> length{-1};
            std::promise<bool> started;
        };
        auto shared = std::make_shared<Shared>();
        TaskParam param;
        param.TargetPath = target;
        param.StatusCallback = [raw = shared.get()](int32_t, const std::string&, const std::string&, int32_t,
                                                    int32_t) {
            raw->length = GetDownloadedLength(raw->download);
            ++raw->calls;
            return 0;
        };
        std::future<bool> result = shared->started.get_future();
        std::thread starter([shared, param, data = *resume] {
            shared->started.set_value(StartTaskFromResume(shared->download, param, data));
        });
        if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            starter.detach();
            FAIL() << "StartTaskFromResume did not return while its status callback called a command: " << target;
        }
        starter.join();
        EXPECT_FALSE(result.get()) << target;
        EXPECT_EQ(shared->calls.load(), 1) << target;
        EXPECT_EQ(shared->length.load(), 0) << target;
    }
    EXPECT_EQ(ReadWhole(resized), "short");
    EXPECT_EQ(server.RequestCount(), 0u);
}

}  // namespace
}  // namespace zorv::download::testing
