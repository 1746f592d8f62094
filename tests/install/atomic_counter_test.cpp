#include "install/atomic_counter.h"

#include <gtest/gtest.h>

#include <climits>

namespace zorv::install {
namespace {

TEST(AtomicCounter, EachOperationReturnsWhatItsContractSays) {
    AtomicCounter counter;
    EXPECT_EQ(counter.Get(), 0);
    EXPECT_EQ(counter.Exchange(7), 0);   // previous
    EXPECT_EQ(counter.Increment(), 8);   // new
    EXPECT_EQ(counter.Decrement(), 7);   // new
    EXPECT_EQ(counter.Add(5), 7);        // previous
    EXPECT_EQ(counter.Get(), 12);
    EXPECT_EQ(counter.Add(-20), 12);
    EXPECT_EQ(counter.Get(), -8);
}

TEST(AtomicCounter, CompareExchangeWritesOnlyOnAMatch) {
    AtomicCounter counter(3);
    EXPECT_EQ(counter.CompareExchange(4, 9), 3);  // no match: unchanged
    EXPECT_EQ(counter.Get(), 3);
    EXPECT_EQ(counter.CompareExchange(3, 9), 3);  // match: written
    EXPECT_EQ(counter.Get(), 9);
}

TEST(AtomicCounter, CopyIsAnIndependentCounterWithTheSameValue) {
    AtomicCounter original(41);
    AtomicCounter copy(original);
    EXPECT_EQ(copy.Get(), 41);
    copy.Increment();
    EXPECT_EQ(original.Get(), 41);
    EXPECT_EQ(copy.Get(), 42);
    AtomicCounter assigned;
    assigned = copy;
    original.Exchange(0);
    EXPECT_EQ(assigned.Get(), 42);
}

TEST(AtomicCounter, WrapsAroundLikeTheInterlockedInstructions) {
    AtomicCounter counter(INT32_MAX);
    EXPECT_EQ(counter.Increment(), INT32_MIN);
    EXPECT_EQ(counter.Decrement(), INT32_MAX);
}

}  // namespace
}  // namespace zorv::install
