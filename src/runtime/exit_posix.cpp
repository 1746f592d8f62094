#include <unistd.h>

#include <cstdlib>

#include "runtime/exit.h"

namespace zorv {

void EndProcessNow(int code) { std::_Exit(code); }

// Natively there is no owner window: the calling thread ends the process.
void ForwardExitRequest(int) {}

void SleepForever() {
    for (;;) pause();
}

}  // namespace zorv
