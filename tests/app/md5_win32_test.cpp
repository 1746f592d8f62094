#include <gtest/gtest.h>

#include "app/app_win32.h"
#include "runtime/text_commands.h"

namespace zorv::app {
namespace {

TEST(Md5HexCrypto, DigestsOfKnownTexts) {
    EXPECT_EQ(TextToLower(Md5Hex("zorv_install")), "ccb8b80df8dd58ce17e576833fe474a4");
    EXPECT_EQ(Md5Hex(""), "D41D8CD98F00B204E9800998ECF8427E");
    // GBK bytes are hashed as they are: "卸载" is D0 B6 D4 D8.
    EXPECT_EQ(Md5Hex("卸载"), Md5Hex(std::string_view("\xD0\xB6\xD4\xD8", 4)));
    EXPECT_NE(Md5Hex("卸载"), Md5Hex("zorv_install"));
}

TEST(Md5HexCrypto, FailuresGiveTheEmptyText) {
    EXPECT_EQ(Md5Hex("x", 0x1234, 16), "");  // no such algorithm
    EXPECT_EQ(Md5Hex("x", 0x8003, 8), "");   // digest does not fit
}

TEST(Md5HexCrypto, InstanceKeyOfTheProgram) {
    EXPECT_EQ(InstanceKeyFor(kInstanceName), "f8dd58ce17e57683");
}

}  // namespace
}  // namespace zorv::app
