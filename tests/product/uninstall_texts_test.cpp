#include "product/uninstall_texts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::product {
namespace {

// Expected bytes are written as hex so that they do not go through the
// compiler's own conversion of literals to GBK.
std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return bytes;
}

uint32_t Crc32(std::string_view bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The lines between CR LF pairs; fails the test on a CR or LF that is not
// part of a pair.
std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (true) {
        std::size_t end = text.find("\r\n", begin);
        std::string_view line = text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string_view::npos) << "lone CR or LF in line " << lines.size() + 1;
        lines.emplace_back(line);
        if (end == std::string_view::npos) break;
        begin = end + 2;
    }
    return lines;
}

void ExpectWellFormed(std::string_view text, std::size_t lineCount) {
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(text.find('\0'), std::string_view::npos);
    EXPECT_EQ(text.find('\t'), std::string_view::npos);
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
    EXPECT_EQ(Lines(text).size(), lineCount);
    // Every byte from 0x80 on is one half of a well-formed GBK character.
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) continue;
        ASSERT_TRUE(lead >= 0x81 && lead <= 0xFE) << "offset " << i;
        ASSERT_LT(i + 1, text.size());
        auto trail = static_cast<unsigned char>(text[++i]);
        EXPECT_TRUE(trail >= 0x40 && trail <= 0xFE && trail != 0x7F) << "offset " << i;
    }
}

TEST(UninstallScript, IsTheExactGbkTextWithCrLfBetweenLines) {
    std::string_view text = UninstallScriptText();
    ExpectWellFormed(text, 144);
    // Length and CRC-32 of the script as GBK with CR LF between its lines.
    EXPECT_EQ(text.size(), 4417u);
    EXPECT_EQ(Crc32(text), 0x31030211u);

    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 144u);
    EXPECT_EQ(lines.front(), "@echo off");
    EXPECT_EQ(lines[1], "title zorv Uninstaller");
    EXPECT_EQ(lines[3], FromHex("6563686f202020207a6f727620d0b6d4d8b3ccd0f2"));  // echo    zorv 卸载程序
    EXPECT_EQ(lines[10], FromHex("202020206563686f20a1beb4edcef3a1bfc7ebd3d2bcfcb5e3bbf7b4cbbd"
                                 "c5b1bea3acd1a1d4f122d2d4b9dcc0edd4b1c9edb7ddd4cbd0d022a1a3"));
    EXPECT_EQ(lines.back(), "exit");
    // The folder the script deletes is quoted where it is echoed (inside a
    // parenthesised block a ")" of the folder, as in "(x86)", would end the
    // block, and an "&" would start a command) and reaches PowerShell
    // through the environment, as a literal path: no name of a folder can
    // become code.
    EXPECT_EQ(lines[113], FromHex("6563686f20202020d5fdd4dac9beb3fdc4bfc2bc3a202225554e494e5354414c4c5f4449522522"));
    EXPECT_EQ(lines[122],
              "    powershell -NoProfile -Command \"Start-Sleep -Milliseconds 500; Remove-Item -LiteralPath "
              "$env:UNINSTALL_DIR -Recurse -Force\" 2>nul");
    EXPECT_EQ(lines[127], FromHex("202020206563686f20202020a1beb4edcef3a1bfcedeb7a8cdeac8abc9beb3fdb3ccd0f2c4bfc2bc"
                                  "a1a3c7ebcad6b6afc9beb3fd3a202225554e494e5354414c4c5f4449522522"));
    EXPECT_EQ(lines[112], "set \"UNINSTALL_DIR=%~dp0\"");
}

TEST(UninstallInstructions, IsTheExactGbkTextWithCrLfBetweenLines) {
    std::string_view text = UninstallInstructionsText();
    ExpectWellFormed(text, 16);
    EXPECT_EQ(text.size(), 375u);
    EXPECT_EQ(Crc32(text), 0xCE40EE90u);

    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines.front(), FromHex("d0b6d4d8b7bdb7a8c8e7cfc2a3ba"));  // 卸载方法如下：
    EXPECT_EQ(lines.back(), std::string(43, '='));
    EXPECT_EQ(lines[6], std::string(43, '='));
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "");
}

TEST(UninstallFiles, NamesAreGbk) {
    EXPECT_EQ(std::string(kUninstallScriptName), "Uninstall.bat");
    EXPECT_EQ(std::string(kUninstallInstructionsName), FromHex("d0b6d4d8cbb5c3f72e747874"));
}

}  // namespace
}  // namespace zorv::product
