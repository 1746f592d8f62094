#pragma once
// A 32-bit signed counter that the UI thread and worker threads share
// without a lock: every operation is one interlocked (locked read-modify-
// write) operation on the value.
#include <atomic>
#include <cstdint>

namespace zorv::install {

class AtomicCounter {
public:
    AtomicCounter() = default;
    explicit AtomicCounter(int32_t value) : value_(value) {}
    // A copy is a new, independent counter holding the same value.
    AtomicCounter(const AtomicCounter& other) : value_(other.Get()) {}
    AtomicCounter& operator=(const AtomicCounter& other) {
        Exchange(other.Get());
        return *this;
    }
    ~AtomicCounter() = default;

    // value := v; returns the previous value.
    int32_t Exchange(int32_t v) { return value_.exchange(v); }
    // value += 1; returns the new value.
    int32_t Increment() { return Wrapped(value_.fetch_add(1), 1); }
    // value -= 1; returns the new value.
    int32_t Decrement() { return Wrapped(value_.fetch_sub(1), -1); }
    // value += v; returns the previous value.
    int32_t Add(int32_t v) { return value_.fetch_add(v); }
    // The current value, read as an interlocked add of 0 so that it is
    // ordered like every other operation.
    int32_t Get() const { return value_.fetch_add(0); }
    // value := v when value == comparand; returns the previous value.
    int32_t CompareExchange(int32_t comparand, int32_t v) {
        value_.compare_exchange_strong(comparand, v);
        return comparand;
    }

private:
    // previous + delta modulo 2^32, without signed overflow.
    static int32_t Wrapped(int32_t previous, int32_t delta) {
        return static_cast<int32_t>(static_cast<uint32_t>(previous) + static_cast<uint32_t>(delta));
    }

    // Wrap-around on overflow, as the interlocked instructions do: the
    // atomic operations of std::atomic<int32_t> are defined modulo 2^32.
    mutable std::atomic<int32_t> value_{0};
};

}  // namespace zorv::install
