#include "download/texts.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace zorv::download {

std::string StripLineBreaks(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') result += c;
    return result;
}

std::string FormatText(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string result;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        result.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(again);
    return result;
}

std::string TimeStampText(const os::LocalTime& time) {
    std::string text = FormatText("%d年%d月%d日", time.year, time.month, time.day);
    if (time.second != 0)
        text += FormatText("%d时%d分%d秒", time.hour, time.minute, time.second);
    else if (time.minute != 0)
        text += FormatText("%d时%d分", time.hour, time.minute);
    else if (time.hour != 0)
        text += FormatText("%d时", time.hour);
    return text;
}

}  // namespace zorv::download
