#include <cerrno>
#include <iconv.h>
#include <unistd.h>

#include "terminal.h"

namespace zorv::fetch {

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

std::string TerminalText(const std::string& gbk) {
    bool ascii = true;
    for (unsigned char c : gbk) ascii = ascii && c < 0x80;
    if (ascii) return gbk;
    iconv_t converter = iconv_open("UTF-8", "GBK");
    if (converter == reinterpret_cast<iconv_t>(-1)) return gbk;
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(gbk.data());
    size_t inLeft = gbk.size();
    while (inLeft > 0) {
        char* target = buffer;
        size_t targetLeft = sizeof buffer;
        size_t result = iconv(converter, &in, &inLeft, &target, &targetLeft);
        out.append(buffer, static_cast<size_t>(target - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            out += '?';  // an invalid or cut-off sequence: skip one byte
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return out;
}

}  // namespace zorv::fetch
