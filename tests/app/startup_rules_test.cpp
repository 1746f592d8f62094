#include "app/startup_rules.h"

#include <gtest/gtest.h>

#include <array>

namespace zorv::app {
namespace {

TEST(ModeByFileName, TheWordAnywhereInTheNameSelectsUninstall) {
    EXPECT_TRUE(IsUninstallFileName("卸载.exe"));
    EXPECT_TRUE(IsUninstallFileName("zorv卸载程序.exe"));
    EXPECT_TRUE(IsUninstallFileName("Setup-卸载"));
    EXPECT_FALSE(IsUninstallFileName("zorv-setup.exe"));
    EXPECT_FALSE(IsUninstallFileName("卸.exe"));     // half the word
    EXPECT_FALSE(IsUninstallFileName("载卸.exe"));   // wrong order
    EXPECT_FALSE(IsUninstallFileName(""));
}

TEST(ModeByFileName, BytesOfTheWordAcrossCharacterBoundariesDoNotCount) {
    // "卸载" is D0 B6 D4 D8.  Here those four bytes occur at offset 1, made of
    // the trail of one character, a whole character B6 D4 and the lead of
    // another: no whole-character match exists.
    std::string straddling = "\xB0\xD0\xB6\xD4\xD8\xA1.exe";
    ASSERT_NE(straddling.find("卸载"), std::string::npos);
    EXPECT_FALSE(IsUninstallFileName(straddling));
    // The same word after a double-byte character does match.
    EXPECT_TRUE(IsUninstallFileName("\xB0\xA1卸载.exe"));
}

TEST(InstanceKey, UpperHexDigestLoweredAndCutToBytesFourToEleven) {
    // MD5("zorv_install") = ccb8b80d f8dd58ce 17e57683 3fe474a4.
    std::array<uint8_t, 16> digest = {0xcc, 0xb8, 0xb8, 0x0d, 0xf8, 0xdd, 0x58, 0xce,
                                      0x17, 0xe5, 0x76, 0x83, 0x3f, 0xe4, 0x74, 0xa4};
    std::string hex = HexDigest(digest);
    EXPECT_EQ(hex, "CCB8B80DF8DD58CE17E576833FE474A4");
    EXPECT_EQ(InstanceKeyFromDigestHex(hex), "f8dd58ce17e57683");
    // A failed hash gives no key at all.
    EXPECT_EQ(InstanceKeyFromDigestHex(""), "");
    std::array<uint8_t, 2> nibbles = {0x0F, 0xA0};
    EXPECT_EQ(HexDigest(nibbles), "0FA0");
}

TEST(UpdateSettings, ConfiguredAddressReplacesTheBuiltInOneUnlessBlank) {
    const std::string builtIn = "http://built.in/zorv.exe";
    EXPECT_EQ(ChooseProductUrl("http://mirror.example/zorv.exe", builtIn), "http://mirror.example/zorv.exe");
    EXPECT_EQ(ChooseProductUrl("  http://mirror.example/zorv.exe \t", builtIn), "http://mirror.example/zorv.exe");
    EXPECT_EQ(ChooseProductUrl("", builtIn), builtIn);
    EXPECT_EQ(ChooseProductUrl(" \t ", builtIn), builtIn);
    EXPECT_EQ(UpIniPath(L"C:\\Program Files (x86)\\zorv"), L"C:\\Program Files (x86)\\zorv/up.ini");
}

}  // namespace
}  // namespace zorv::app
