// The packer's view of this machine: UTF-8 texts to GBK, files under the
// assets directory only.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "ui/form_description_posix.h"

namespace zorv::ui {
namespace {

TEST(FormTemplateSources, ConvertsUtf8ToTheGbkOfTheProgramsLiterals) {
    // u8 literals stay UTF-8; plain literals are compiled to GBK.
    EXPECT_EQ(GbkFromUtf8(reinterpret_cast<const char*>(u8"卸载")), "卸载");
    EXPECT_EQ(GbkFromUtf8(reinterpret_cast<const char*>(u8"当前安装路径 C:\\Program Files (x86)\\zorv")),
              "当前安装路径 C:\\Program Files (x86)\\zorv");
    EXPECT_EQ(GbkFromUtf8(""), "");
    EXPECT_FALSE(GbkFromUtf8("\xC3"));                  // cut-off UTF-8 sequence
    EXPECT_FALSE(GbkFromUtf8("\xF0\x9F\x98\x80"));      // a character GBK lacks
}

TEST(FormTemplateSources, ReadsOnlyBelowTheAssetsDirectory) {
    const std::string pattern = (std::filesystem::temp_directory_path() / "form-sources-XXXXXX").string();
    std::vector<char> dirTemplate(pattern.begin(), pattern.end());
    dirTemplate.push_back('\0');
    ASSERT_NE(mkdtemp(dirTemplate.data()), nullptr);
    const std::string dir = dirTemplate.data();
    std::ofstream(dir + "/a.bin", std::ios::binary) << "abc";
    const FormDescriptionSource source = AssetDirectorySource(dir);
    EXPECT_EQ(source.readFile("a.bin"), (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_FALSE(source.readFile("missing.bin"));
    EXPECT_FALSE(source.readFile("../a.bin"));
    EXPECT_FALSE(source.readFile(dir + "/a.bin"));
    std::remove((dir + "/a.bin").c_str());
    std::remove(dir.c_str());
}

}  // namespace
}  // namespace zorv::ui
