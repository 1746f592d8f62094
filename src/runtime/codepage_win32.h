#pragma once
// Conversion at the system boundary: the program's texts are code-page-936
// bytes, and every Windows call takes them as UTF-16 through the wide
// functions, so names come out right whatever the system's ANSI code page is.
#include <string>
#include <string_view>

namespace zorv {

constexpr unsigned kTextCodePage = 936;

std::wstring WideFromGbk(std::string_view gbk);
std::string GbkFromWide(std::wstring_view wide);

}  // namespace zorv
