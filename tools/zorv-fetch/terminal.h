#pragma once
// The console side of zorv-fetch.
#include <string>

namespace zorv::fetch {

// True when standard output is a terminal (progress lines are shown only then).
bool StdoutIsTerminal();

// A GBK text of the engine as the terminal shows it: UTF-8 natively (bytes
// that are no GBK pass through as "?"), the GBK bytes unchanged in the
// Windows build, where the console decodes them itself.
std::string TerminalText(const std::string& gbk);

}  // namespace zorv::fetch
