#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "install/atomic_counter.h"

namespace zorv::install {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 20000;

template <typename Body>
void RunOnThreads(Body body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(body, t);
    for (std::thread& thread : threads) thread.join();
}

TEST(AtomicCounterThreads, NoUpdateIsLostBetweenThreads) {
    AtomicCounter counter;
    RunOnThreads([&](int t) {
        for (int i = 0; i < kRounds; ++i) {
            if (t % 2 == 0) {
                counter.Increment();
                counter.Add(2);
            } else {
                counter.Add(4);
                counter.Decrement();
            }
        }
    });
    EXPECT_EQ(counter.Get(), kThreads * kRounds * 3);
}

TEST(AtomicCounterThreads, CompareExchangeHandsEachValueToExactlyOneThread) {
    // Every thread claims values by moving the counter from v to v + 1; each
    // value must be claimed once, so the claims add up to the final count.
    AtomicCounter counter;
    std::vector<int> claimed(kThreads, 0);
    RunOnThreads([&](int t) {
        int mine = 0;
        for (int i = 0; i < kRounds; ++i) {
            int32_t seen = counter.Get();
            if (counter.CompareExchange(seen, seen + 1) == seen) ++mine;
        }
        claimed[t] = mine;
    });
    int total = 0;
    for (int c : claimed) total += c;
    EXPECT_EQ(counter.Get(), total);
    EXPECT_GT(total, 0);
}

TEST(AtomicCounterThreads, ExchangeNeverLosesAToken) {
    // Tokens are passed by Exchange: each thread swaps its own value in and
    // keeps what it got.  The multiset of values is preserved.
    AtomicCounter slot(1000);
    std::vector<int32_t> held(kThreads);
    RunOnThreads([&](int t) {
        int32_t mine = t;
        for (int i = 0; i < kRounds; ++i) mine = slot.Exchange(mine);
        held[t] = mine;
    });
    int64_t sum = slot.Get();
    for (int32_t v : held) sum += v;
    EXPECT_EQ(sum, 1000 + 0 + 1 + 2 + 3);
}

}  // namespace
}  // namespace zorv::install
