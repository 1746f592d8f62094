#include "runtime/exit.h"
#include "runtime/runtime.h"

namespace zorv {

void InitRuntime() { MarkUiThread(); }

}  // namespace zorv
