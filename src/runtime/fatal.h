#pragma once
// Fatal runtime errors: conditions the program cannot handle end here with a
// message box and exit code -1.
#include <string>

namespace zorv {

// An installed handler receives the message and the location text; returning
// true suppresses the message box.  The program installs none; tests use one
// (which may throw to get control back) to capture the message.
using FatalErrorHandler = bool (*)(const std::string& message, const std::string& location);
void SetFatalErrorHandler(FatalErrorHandler handler);

// Fatal error with a message and no error code.
[[noreturn]] void FatalRuntimeError(const std::string& message);

// Fatal error number 1..11 of the runtime error table, with two location words.
[[noreturn]] void ReportRuntimeError(int number, int locationWord1, int locationWord2);

}  // namespace zorv
