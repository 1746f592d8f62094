#include "runtime/setup_log.h"

#include <cstdio>

namespace zorv {

std::string FormatLogLine(const LogTime& time, std::string_view utf8Text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", time.year, time.month, time.day,
                  time.hour, time.minute, time.second, time.millisecond);
    std::string line(stamp);
    for (char c : utf8Text) line += (c == '\r' || c == '\n') ? ' ' : c;
    line += "\r\n";
    return line;
}

std::string LoggableUrl(std::string_view url) {
    std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return std::string(url);
    std::size_t hostStart = scheme + 3;
    std::size_t hostEnd = url.find_first_of("/?#", hostStart);
    std::string_view authority = url.substr(hostStart, hostEnd == std::string_view::npos ? std::string_view::npos
                                                                                          : hostEnd - hostStart);
    std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos) return std::string(url);
    return std::string(url.substr(0, hostStart)) + std::string(url.substr(hostStart + at + 1));
}

}  // namespace zorv
