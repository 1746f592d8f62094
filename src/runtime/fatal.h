#pragma once
// Fatal runtime errors: conditions the program cannot handle end here with a
// message box and exit code -1.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zorv {

// An installed handler receives the message and the location text; returning
// true suppresses the message box.  The program installs none; tests use one
// (which may throw to get control back) to capture the message.
using FatalErrorHandler = bool (*)(const std::string& message, const std::string& location);
void SetFatalErrorHandler(FatalErrorHandler handler);

// Fatal error with a message and no error code.
[[noreturn]] void FatalRuntimeError(const std::string& message);
// The same with the two location words of the place that failed.
[[noreturn]] void FatalRuntimeError(const std::string& message, int locationWord1, int locationWord2);

// Fatal error number 1..11 of the runtime error table, with two location words.
[[noreturn]] void ReportRuntimeError(int number, int locationWord1, int locationWord2);

// Fatal error "分配 N 字节内存失败!" for an allocation of size bytes that failed.
[[noreturn]] void FatalAllocationFailure(std::size_t size);

// The message of runtime error 1..11; empty for any other number.
std::string_view RuntimeErrorMessage(int number);

// What the window layer knows about a location: whether its first word
// names a window unit, and the names it found for the window and the unit.
struct LocationNames {
    bool isWindowUnit = false;
    std::optional<std::string> windowName;
    std::optional<std::string> unitName;
};
using LocationDescriber = LocationNames (*)(int locationWord1, int locationWord2);
// Installed by the window layer so that a location inside a window names it.
void SetLocationDescriber(LocationDescriber describer);

// CR LF, the words as "%d, %d", the window and unit names when the words
// name a window unit, CR LF.
std::string BuildLocationText(int locationWord1, int locationWord2);

// The text of the error box: "运行时出错!\r\n", the code and the message
// when present, then the location text.
std::string BuildFatalErrorText(int number, std::string_view message, std::string_view location);

// Caption of the error box.
inline constexpr std::string_view kFatalErrorCaption = "错误";

// How many fatal errors this process has raised (handled ones included).
int FatalErrorCount();

// Shows the finished error text to the user: a message box on Windows, the
// standard error stream elsewhere.  Defined per platform.
void ShowFatalErrorBox(const std::string& text);

}  // namespace zorv
