// Many short tasks, several at a time, half of them stopped at once: every
// task ends once, and every thread and descriptor that a task opened is gone
// once the objects and the server are.
#include <filesystem>
#include <iterator>

#include "engine_harness.h"

namespace zorv::download::testing {
namespace {

class EngineStress : public EngineTest {};

// The iterator's own descriptor is among the entries each time.
std::ptrdiff_t EntriesOf(const char* folder) {
    return std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator());
}

constexpr int kTasks = 10000;
constexpr int kAtOnce = 8;

// One object's share of the tasks: each is started, every second one is
// stopped at once, and the next starts after the last callback of this one.
void RunShare(const HttpTestServer& server, const ScratchFolder& folder, std::atomic<int>& next,
              std::atomic<int>& ended) {
    Download download;
    for (int i = next++; i < kTasks; i = next++) {
        std::string target = folder.File("t" + std::to_string(i) + ".bin");
        Recorder recorder;
        TaskParam param = ParamFor(server.Url("/short.bin"), target, recorder);
        param.StatusCallback = nullptr;
        if (!StartTask(download, param)) continue;
        if (i % 2 == 1) StopTask(download);
        if (!recorder.WaitFinished()) continue;
        ended += recorder.Count(EV_TASK_FINISHED);
        std::error_code ignored;
        std::filesystem::remove(target, ignored);
    }
}

TEST_F(EngineStress, TenThousandShortTasksLeaveNoThreadNorDescriptorBehind) {
    // ThreadSanitizer starts a helper thread of its own with the first thread
    // the program creates: the count starts after one.
    std::thread([] {}).join();
    const std::ptrdiff_t threads = EntriesOf("/proc/self/task");
    const std::ptrdiff_t descriptors = EntriesOf("/proc/self/fd");
    std::atomic<int> ended{0};
    {
        HttpTestServer server;
        server.Route("/short.bin", Body(Pattern(3000)));
        ScratchFolder folder;
        std::atomic<int> next{0};
        std::vector<std::thread> shares;
        for (int i = 0; i < kAtOnce; ++i)
            shares.emplace_back([&] { RunShare(server, folder, next, ended); });
        for (std::thread& share : shares) share.join();
    }
    EXPECT_EQ(ended.load(), kTasks);
    EXPECT_EQ(LiveTaskCount(), 0);
    EXPECT_EQ(EntriesOf("/proc/self/task"), threads);
    EXPECT_EQ(EntriesOf("/proc/self/fd"), descriptors);
}

}  // namespace
}  // namespace zorv::download::testing
