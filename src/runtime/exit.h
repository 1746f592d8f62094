#pragma once
// The single exit path of the program.

namespace zorv {

using ExitRoutine = void (*)();

// Appends a routine to the exit routines unless it is already there.
void AddExitRoutine(ExitRoutine routine);

// Set by the window layer: destroys every loaded window before the exit
// routines run.
void SetWindowTeardown(ExitRoutine teardown);

// Destroys the windows, runs the exit routines in order and ends the process
// with the code.  Called from a worker thread it is forwarded to the UI
// thread, which ends the process with the same code.
[[noreturn]] void ExitProgram(int code);

}  // namespace zorv
