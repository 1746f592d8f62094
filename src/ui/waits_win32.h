#pragma once
// The waits of a thread that may own windows: it sleeps in the system and
// still dispatches its messages, so a window of that thread stays live and a
// worker that carries a request to it is never blocked by the wait.
#include <windows.h>

#include <cstdint>
#include <functional>

namespace zorv::ui {

// Sleeps for the milliseconds while it keeps dispatching the calling
// thread's messages.
void PumpingWait(uint32_t milliseconds);
// Waits up to the milliseconds (INFINITE: without end) for the object to be
// signalled, dispatching the thread's messages meanwhile; true when it was.
bool WaitPumping(HANDLE object, uint32_t milliseconds = INFINITE);
// Runs the work on a thread of its own and waits for it pumping.  On the UI
// thread the wait keeps carrying out other threads' window requests, so a
// worker that writes a property while the work waits for it cannot block
// either.
void RunPumping(const std::function<void()>& work);

}  // namespace zorv::ui
