#include "runtime/codepage_win32.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(CodePage, GbkAndUtf16RoundTrip) {
    std::wstring wide = WideFromGbk("卸载说明.txt");
    EXPECT_EQ(wide, std::wstring(L"\u5378\u8f7d\u8bf4\u660e.txt"));
    EXPECT_EQ(GbkFromWide(wide), std::string("卸载说明.txt"));
    EXPECT_EQ(WideFromGbk(""), std::wstring());
}

}  // namespace
}  // namespace zorv
