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

// The file that the child writes beside itself in its "instructions" mode;
// check-instructions.cmake looks for it on the Linux side under its UTF-8
// name and expects exactly these GBK bytes in it.
inline constexpr char kChildInstructionsName[] = "卸载说明.txt";
inline constexpr char kChildInstructionsText[] = "运行“卸载.exe”即可卸载 Zorvane。\r\n";

}  // namespace zorv::testing
