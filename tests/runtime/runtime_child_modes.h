#pragma once
// What the runtime tests and their child program (runtime_child_win32.cpp)
// agree on.
#include <cstddef>
#include <cstdint>

namespace zorv::testing {

// Exit code carried by the exit request that a worker hands the UI thread.
inline constexpr int kChildRequestedCode = 4;
// Exit code of ExitProgram called on a worker thread.
inline constexpr int kChildWorkerCode = 7;
// A request no heap can serve, on 32-bit and 64-bit Windows alike.
inline constexpr std::size_t kChildImpossibleAllocation = SIZE_MAX - 64;

}  // namespace zorv::testing
