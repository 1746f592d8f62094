#include <cstdio>

#include "runtime/fatal.h"

namespace zorv {

// Without a desktop the box becomes the caption and the text on stderr.
void ShowFatalErrorBox(const std::string& text) {
    std::fwrite(kFatalErrorCaption.data(), 1, kFatalErrorCaption.size(), stderr);
    std::fputs(": ", stderr);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace zorv
