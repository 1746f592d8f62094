#include "runtime/gbk.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

TEST(GbkText, LiteralsAreCodePage936Bytes) {
    // "卸载" in code page 936 is D0 B6 D4 D8; the build must not leave UTF-8 here.
    EXPECT_EQ(std::string("卸载"), std::string("\xD0\xB6\xD4\xD8"));
    EXPECT_EQ(std::string("真").size(), 2u);
}

TEST(GbkText, CharLengthStepsOverDoubleByteCharacters) {
    std::string text = "a卸b";
    EXPECT_EQ(GbkCharLength(text, 0), 1u);
    EXPECT_EQ(GbkCharLength(text, 1), 2u);
    EXPECT_EQ(GbkCharLength(text, 3), 1u);
    // A lead byte at the very end has no trail byte and counts as one.
    std::string cut = "a\xD0";
    EXPECT_EQ(GbkCharLength(cut, 1), 1u);
}

}  // namespace
}  // namespace zorv
