#include "runtime/codepage_win32.h"

#include <windows.h>

namespace zorv {

std::wstring WideFromGbk(std::string_view gbk) {
    if (gbk.empty()) return {};
    int length = MultiByteToWideChar(kTextCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(kTextCodePage, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), length);
    return wide;
}

std::string GbkFromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    int length = WideCharToMultiByte(kTextCodePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string gbk(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(kTextCodePage, 0, wide.data(), static_cast<int>(wide.size()), gbk.data(), length, nullptr,
                        nullptr);
    return gbk;
}

}  // namespace zorv
