#pragma once
// Small text helpers of the engine: parameter texts without line breaks,
// printf-style status texts and the time stamp of a status message.
#include <string>

#include "download/os_file.h"

namespace zorv::download {

// The text with every carriage return and line feed removed.
std::string StripLineBreaks(const std::string& text);

// printf-style formatting into a string of any length.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "%d年%d月%d日" followed by "%d时%d分%d秒", "%d时%d分" or "%d时", dropping
// the trailing parts that are 0.
std::string TimeStampText(const os::LocalTime& time);

}  // namespace zorv::download
