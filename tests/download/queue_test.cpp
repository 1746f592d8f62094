#include <gtest/gtest.h>

#include <thread>

#include "download/task.h"

namespace zorv::download {
namespace {

TEST(TaskQueue, FirstInFirstOutAndIdleWhenEmpty) {
    EventQueue queue;
    EXPECT_TRUE(queue.Post(Message(MSG_CALLBACK, 1)));
    EXPECT_TRUE(queue.Post(Message(MSG_CALLBACK, 2)));
    EXPECT_EQ(queue.Take(0).a, 1);
    EXPECT_EQ(queue.Take(0).a, 2);
    EXPECT_EQ(queue.Take(0).code, MSG_IDLE);
}

TEST(TaskQueue, ShutdownDiscardsPendingLeavesOnlyQuitAndRefusesPosts) {
    EventQueue queue;
    queue.Post(Message(MSG_CALLBACK, 1));
    queue.Post(Message(MSG_START_CONNECTION));
    queue.Shutdown();
    EXPECT_FALSE(queue.Post(Message(MSG_CALLBACK, 3)));
    EXPECT_EQ(queue.Pending(), 1u);
    EXPECT_EQ(queue.Take(0).code, MSG_QUIT);
    queue.Stop();
    EXPECT_FALSE(queue.Post(Message(MSG_CALLBACK, 4)));
}

TEST(TaskQueue, PostsFromManyThreadsAllArriveInEachThreadsOrder) {
    EventQueue queue;
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([&queue, t] {
            for (int i = 0; i < kEach; ++i) queue.Post(Message(MSG_CALLBACK, t, i));
        });
    std::vector<int> next(kThreads, 0);
    int taken = 0;
    while (taken < kThreads * kEach) {
        TaskEvent event = queue.Take(100);
        if (event.code == MSG_IDLE) continue;
        EXPECT_EQ(event.b, next[static_cast<size_t>(event.a)]);
        ++next[static_cast<size_t>(event.a)];
        ++taken;
    }
    for (std::thread& poster : posters) poster.join();
    EXPECT_EQ(queue.Take(0).code, MSG_IDLE);
}

}  // namespace
}  // namespace zorv::download
