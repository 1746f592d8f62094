#pragma once
// The single exit path of the program.

namespace zorv {

using ExitRoutine = void (*)();

// Appends a routine to the exit routines unless it is already there.
void AddExitRoutine(ExitRoutine routine);

// Set by the window layer: destroys every loaded window before the exit
// routines run.
void SetWindowTeardown(ExitRoutine teardown);

// Records the calling thread as the UI thread (InitRuntime does this).
// Before any thread is recorded, every thread counts as the UI thread.
void MarkUiThread();
bool IsUiThread();

// True once the exit sequence has begun on any thread.
bool IsExiting();

// Destroys the windows, runs the exit routines in order and ends the process
// with the code.  Called from a worker thread it is forwarded to the UI
// thread, which ends the process with the same code.
//
// On the UI thread: marks the program as exiting, runs the window teardown,
// then each exit routine once in registration order, and ends the process.
// A call made while that sequence runs (from a routine, say) carries on with
// the routines not yet run and ends the process with the first call's code.
// On another thread: sends the exit request (message kExitRequestMessage
// with the code) to the runtime's owner window and, unless the exit has
// already begun, ends the process at once with the code; otherwise it waits
// for the UI thread to end the process.
[[noreturn]] void ExitProgram(int code);

// The message that carries an exit request to the UI thread (wparam: code).
inline constexpr unsigned kExitRequestMessage = 0x83E7;

// Platform part: ends the process with the code at once (ExitProcess on
// Windows, _Exit elsewhere), hands an exit request to the UI thread, and
// blocks the calling thread for good.
[[noreturn]] void EndProcessNow(int code);
void ForwardExitRequest(int code);
[[noreturn]] void SleepForever();

}  // namespace zorv
