#pragma once
// Start of the runtime.
#include <cstdint>
#include <string>
#include <string_view>

namespace zorv {

// Called once, first thing, on the UI thread.  Records the UI thread; on
// Windows also initialises OLE for that thread, determines the program's run
// directory and file name and makes the run directory the current
// directory, and creates the runtime's hidden owner window.  Later calls do
// nothing.
void InitRuntime();

// A full program path split at its last backslash: the directory without the
// trailing backslash (empty without a backslash; a bare drive such as "C:"
// for a file in a drive root) and the file name.
struct ProgramPath {
    std::string directory;
    std::string fileName;
};
ProgramPath SplitProgramPath(std::string_view fullPath);

// (major << 8) | minor, each cut to its low byte.
int32_t ComposeWindowsVersion(uint32_t major, uint32_t minor);

}  // namespace zorv
