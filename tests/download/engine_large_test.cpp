// Files past the 2 GiB and 4 GiB marks, where an offset, a length or a count
// kept in 32 bits would cut or wrap: a made body of such a length (every
// aligned 8-byte word holds its own offset, so a block written at the wrong
// place shows), fetched into a file on disk, stopped and continued past the
// marks, and compared with the body byte for byte.
#include <cstring>
#include <fstream>
#include <set>

#include "download/segments.h"
#include "engine_harness.h"

namespace zorv::download::testing {
namespace {

using zorv::testing::MadeBody;

constexpr int64_t kMiB = int64_t(1) << 20;
constexpr int64_t kGiB = int64_t(1) << 30;
constexpr int64_t kLength = 4 * kGiB + 48 * kMiB + 4321;
// Waits on a task of this size are guards against a hang, not speed goals.
constexpr int kTaskWaitMs = 900000;

// Every 8-byte word at an offset divisible by 8 holds that offset.
void OffsetWords(int64_t offset, char* out, size_t size) {
    for (size_t i = 0; i < size;) {
        uint64_t at = static_cast<uint64_t>(offset) + i;
        uint64_t word = at & ~uint64_t(7);
        size_t inWord = static_cast<size_t>(at - word);
        if (inWord == 0 && size - i >= 8) {
            std::memcpy(out + i, &word, 8);
            i += 8;
            continue;
        }
        unsigned char bytes[8];
        std::memcpy(bytes, &word, 8);
        out[i++] = static_cast<char>(bytes[inWord]);
    }
}

// Offset of the first byte of the file that differs from the body; -1 when
// the file is the body.
int64_t FirstDifference(const std::string& path, int64_t length) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> got(static_cast<size_t>(kMiB)), wanted(static_cast<size_t>(kMiB));
    for (int64_t at = 0; at < length; at += kMiB) {
        size_t size = static_cast<size_t>(std::min(kMiB, length - at));
        in.read(got.data(), static_cast<std::streamsize>(size));
        if (static_cast<size_t>(in.gcount()) != size) return at + in.gcount();
        OffsetWords(at, wanted.data(), size);
        if (std::memcmp(got.data(), wanted.data(), size) != 0) {
            size_t i = 0;
            while (got[i] == wanted[i]) ++i;
            return at + static_cast<int64_t>(i);
        }
    }
    return in.peek() == std::char_traits<char>::eof() ? -1 : length;
}

class EngineLargeFile : public EngineTest {};

// One connection is stopped past 2 GiB and past 4 GiB and continued each
// time; four connections (whose last segment lies beyond 4 GiB) once, past
// 2 GiB.  Each stop's resume data is of the 64-bit form and continues from
// where the bytes were written.  Under Wine only the first, the build's
// size_t being 32-bit there.
TEST_F(EngineLargeFile, StoppedAndContinuedPastTwoAndFourGiBToTheIdenticalFile) {
#ifdef _WIN32
    const std::vector<int> counts = {1};
#else
    const std::vector<int> counts = {1, 4};
#endif
    HttpTestServer server;
    server.Route("/large.bin", MadeBody(kLength, OffsetWords));
    for (int connections : counts) {
        ScratchFolder folder;
        const std::string target = folder.File("large.bin");
        const std::vector<int64_t> marks =
            connections == 1 ? std::vector<int64_t>{2 * kGiB, 4 * kGiB} : std::vector<int64_t>{2 * kGiB};
        Download download;
        std::string resume;
        std::set<int64_t> continuedFrom;
        int64_t done = 0;
        for (size_t stage = 0; stage <= marks.size(); ++stage) {
            Recorder recorder;
            TaskParam param = ParamFor(stage == 0 ? server.Url("/large.bin") : "", target, recorder);
            param.ConnectionCount = connections;
            ASSERT_TRUE(stage == 0 ? StartTask(download, param) : StartTaskFromResume(download, param, resume));
            if (stage == marks.size()) {
                ASSERT_TRUE(recorder.WaitFinished(kTaskWaitMs));
                EXPECT_EQ(recorder.Last(EV_TASK_FINISHED).value1, kLength);
                EXPECT_EQ(done + recorder.BytesReported(), kLength);  // every byte counted once
                EXPECT_EQ(recorder.Count(EV_CONNECTION_FAILED), 0);
                break;
            }
            // A little past the mark, since the bytes are written in whole buffers.
            ASSERT_TRUE(recorder.WaitForBytes(marks[stage] + 3 * kMiB - done, kTaskWaitMs));
            ASSERT_TRUE(StopTaskKeepResume(download, resume));
            ASSERT_TRUE(recorder.WaitFinished(kTaskWaitMs));
            EXPECT_EQ(recorder.Last(EV_FILE_LENGTH).value1, kLength);
            EXPECT_EQ(resume.substr(8, 8), std::string("\xFF\xFF\xFF\xFF", 4) + "ZR64");  // the 64-bit form
            std::optional<ResumeRecord> record = ReadResumeData(resume);
            ASSERT_TRUE(record);
            ASSERT_EQ(record->totalLength, kLength);
            done = DoneSum(record->table);
            ASSERT_GT(done, marks[stage]);
            for (int32_t i = 0; i < record->table.count; ++i) {
                const Segment& segment = record->table.segments[static_cast<size_t>(i)];
                if (!segment.Finished()) continuedFrom.insert(segment.start + segment.done);
            }
        }
        // Each continued segment asked for its rest from where it stopped.
        std::set<int64_t> asked;
        for (const Request& request : server.Requests()) {
            std::string range = request.Header("Range");
            if (!range.empty()) asked.insert(std::stoll(range.substr(6)));
        }
        for (int64_t position : continuedFrom) {
            EXPECT_EQ(asked.count(position), 1u) << position;
        }
        if (connections == 1) {
            EXPECT_GT(*continuedFrom.rbegin(), 4 * kGiB);
        }
        EXPECT_EQ(os::ExistingFileSize(target), kLength);
        EXPECT_EQ(FirstDifference(target, kLength), -1) << connections << " connection(s)";
    }
}

}  // namespace
}  // namespace zorv::download::testing
