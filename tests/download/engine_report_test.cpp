// EV_BYTES_RECEIVED without a speed limit: several receive passes may share
// one event, but every byte is reported once, each connection's reports lie
// between its segment event and its end, and no event grows without bound.
#include <map>

#include "engine_harness.h"

namespace zorv::download::testing {
namespace {

// One event holds at most a mebibyte gathered plus the pass that reached it
// (and, the first one, what came with the head).
constexpr int32_t kLargestReport = (1 << 20) + BUFFER_SIZE + static_cast<int32_t>(kHeadLimit);

class EngineReports : public EngineTest {};

// The reports of each connection: none before its first segment event,
// none after its end, and their sum.
std::map<int32_t, int64_t> CheckedSums(const std::vector<EventRecord>& events) {
    std::map<int32_t, int64_t> sums;
    std::map<int32_t, int> phase;  // 0 nothing yet, 1 in a segment, 2 ended
    for (const EventRecord& event : events) {
        int& state = phase[event.connection];
        switch (event.code) {
            case EV_SEGMENT_STARTED:
            case EV_SEGMENT_CONTINUED:
                EXPECT_NE(state, 2) << "segment event after the end of #" << event.connection;
                state = 1;
                break;
            case EV_BYTES_RECEIVED:
                EXPECT_EQ(state, 1) << "bytes outside a segment of #" << event.connection;
                EXPECT_GT(event.value1, 0);
                EXPECT_LE(event.value1, kLargestReport);
                sums[event.connection] += event.value1;
                break;
            case EV_CONNECTION_ENDED:
            case EV_CONNECTION_FAILED:
                state = 2;
                break;
            default:
                break;
        }
    }
    return sums;
}

TEST_F(EngineReports, OneConnectionReportsEveryByteOnceBeforeItEnds) {
    HttpTestServer server;
    std::string body = Pattern(3 * 1000 * 1000 + 7);
    server.Route("/large.bin", Body(body));
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url("/large.bin"), folder.File("large.bin")));
    EXPECT_TRUE(SameBytes(ReadWhole(folder.File("large.bin")), body));

    std::vector<EventRecord> events = recorder.Events();
    std::map<int32_t, int64_t> sums = CheckedSums(events);
    ASSERT_EQ(sums.size(), 1u);
    EXPECT_EQ(sums.begin()->second, static_cast<int64_t>(body.size()));
    std::vector<int32_t> codes = recorder.Codes();
    ASSERT_GE(codes.size(), 6u);
    EXPECT_EQ(codes[2], EV_FILE_LENGTH);
    EXPECT_EQ(codes[3], EV_BYTES_RECEIVED);
    EXPECT_EQ(codes[codes.size() - 3], EV_BYTES_RECEIVED);  // the rest of the segment, before its end
    EXPECT_EQ(codes[codes.size() - 2], EV_CONNECTION_ENDED);
    EXPECT_EQ(recorder.Last(EV_CONNECTION_ENDED).value1, static_cast<int32_t>(body.size()));
    EXPECT_EQ(recorder.Last(EV_TASK_FINISHED).value1, static_cast<int32_t>(body.size()));
}

TEST_F(EngineReports, SeveralConnectionsReportTheirOwnBytesAndTogetherTheWholeFile) {
    HttpTestServer server;
    std::string body = Pattern(4 * 1000 * 1000 + 3);
    server.Route("/large.bin", Body(body));
    ScratchFolder folder;
    Recorder recorder;
    ASSERT_TRUE(RunTask(recorder, server.Url("/large.bin"), folder.File("large.bin"), [&](TaskParam& p) {
        p.ConnectionCount = 4;
    }));
    EXPECT_TRUE(SameBytes(ReadWhole(folder.File("large.bin")), body));

    std::map<int32_t, int64_t> sums = CheckedSums(recorder.Events());
    int64_t total = 0;
    for (const auto& [connection, bytes] : sums) total += bytes;
    EXPECT_EQ(total, static_cast<int64_t>(body.size()));
    EXPECT_GE(sums.size(), 1u);
    EXPECT_LE(sums.size(), 4u);
    EXPECT_EQ(recorder.Last(EV_TASK_FINISHED).value1, static_cast<int32_t>(body.size()));
}

}  // namespace
}  // namespace zorv::download::testing
