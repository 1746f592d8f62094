#include <io.h>
#include <cstdio>

#include "terminal.h"

namespace zorv::fetch {

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

std::string TerminalText(const std::string& gbk) { return gbk; }

}  // namespace zorv::fetch
