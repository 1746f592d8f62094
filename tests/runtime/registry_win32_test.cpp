// WriteRegistryValue against the real registry, read back with the wide
// functions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"

namespace zorv {
namespace {

struct StoredValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

StoredValue ReadBack(HKEY root, const std::wstring& key, const std::wstring& name) {
    StoredValue value;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExW(opened, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.found = RegQueryValueExW(opened, name.c_str(), nullptr, &value.type, value.data.data(), &size) ==
                      ERROR_SUCCESS;
        value.data.resize(size);
    }
    RegCloseKey(opened);
    return value;
}

std::vector<BYTE> WideBytesWithTerminator(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)};
}

std::vector<BYTE> DwordBytes(DWORD value) {
    std::vector<BYTE> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// A test key of its own under a root, deleted with everything below it.
class RegistryTest : public ::testing::Test {
protected:
    const std::string key_ = "Software\\ZorvRuntimeTest-" + std::to_string(GetCurrentProcessId());
    const std::wstring wideKey_ = WideFromGbk(key_);

    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, wideKey_.c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, wideKey_.c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, wideKey_.c_str());
        RegDeleteTreeW(HKEY_USERS, (L".DEFAULT\\" + wideKey_).c_str());
    }
};

TEST_F(RegistryTest, TextIsRegSzWithItsTerminatorCounted) {
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\名称", "Zorvane安装"));
    StoredValue value = ReadBack(HKEY_CURRENT_USER, wideKey_, L"\u540d\u79f0");
    ASSERT_TRUE(value.found);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data.size(), (9u + 1u) * sizeof(wchar_t));
    EXPECT_EQ(value.data, WideBytesWithTerminator(L"Zorvane\u5b89\u88c5"));

    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\空", std::string()));
    value = ReadBack(HKEY_CURRENT_USER, wideKey_, L"\u7a7a");
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, WideBytesWithTerminator(L""));
}

TEST_F(RegistryTest, LocalMachineKeyOfTheUninstallEntryKind) {
    // The program's own registration: root 4, a nested key created on the way,
    // Chinese text with a path in it.
    std::string path = key_ + "\\WOW6432Node\\Uninstall\\zorv\\UninstallString";
    ASSERT_TRUE(WriteRegistryValue(kLocalMachine, path, "C:\\Program Files (x86)\\zorv\\卸载.exe"));
    StoredValue value = ReadBack(HKEY_LOCAL_MACHINE, wideKey_ + L"\\WOW6432Node\\Uninstall\\zorv", L"UninstallString");
    ASSERT_TRUE(value.found);
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(value.data, WideBytesWithTerminator(L"C:\\Program Files (x86)\\zorv\\\u5378\u8f7d.exe"));
}

TEST_F(RegistryTest, NumbersAreDwords) {
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\NoModify", int32_t{1}));
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\Negative", int32_t{-2}));
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\Long", int64_t{0x1234567890}));
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\Double", 2.9));
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\NegativeDouble", -2.9));
    struct Expected {
        const wchar_t* name;
        DWORD value;
    };
    for (Expected expected : {Expected{L"NoModify", 1}, Expected{L"Negative", 0xFFFFFFFE},
                              Expected{L"Long", 0x34567890}, Expected{L"Double", 2},
                              Expected{L"NegativeDouble", 0xFFFFFFFE}}) {
        StoredValue value = ReadBack(HKEY_CURRENT_USER, wideKey_, expected.name);
        ASSERT_TRUE(value.found) << expected.name;
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD)) << expected.name;
        EXPECT_EQ(value.data, DwordBytes(expected.value)) << expected.name;
    }
}

TEST_F(RegistryTest, ByteSetIsBinaryAndOverwritesAnExistingValue) {
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\Data", int32_t{5}));
    ByteSet bytes = {0x00, 0xFF, 0x10, 0x00};
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\Data", bytes));
    StoredValue value = ReadBack(HKEY_CURRENT_USER, wideKey_, L"Data");
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(value.data, std::vector<BYTE>(bytes.begin(), bytes.end()));
    // The other values of an existing key stay.
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\Other", "x"));
    EXPECT_TRUE(ReadBack(HKEY_CURRENT_USER, wideKey_, L"Data").found);
}

TEST_F(RegistryTest, RootsByNumber) {
    ASSERT_TRUE(WriteRegistryValue(kClassesRoot, key_ + "\\v", int32_t{1}));
    EXPECT_TRUE(ReadBack(HKEY_CLASSES_ROOT, wideKey_, L"v").found);
    ASSERT_TRUE(WriteRegistryValue(kUsers, ".DEFAULT\\" + key_ + "\\v", int32_t{5}));
    EXPECT_EQ(ReadBack(HKEY_USERS, L".DEFAULT\\" + wideKey_, L"v").data, DwordBytes(5));
    // Any other number is HKEY_CURRENT_USER.
    ASSERT_TRUE(WriteRegistryValue(0, key_ + "\\zero", int32_t{0}));
    ASSERT_TRUE(WriteRegistryValue(99, key_ + "\\ninety-nine", int32_t{99}));
    EXPECT_EQ(ReadBack(HKEY_CURRENT_USER, wideKey_, L"zero").data, DwordBytes(0));
    EXPECT_EQ(ReadBack(HKEY_CURRENT_USER, wideKey_, L"ninety-nine").data, DwordBytes(99));
}

TEST_F(RegistryTest, PathWithoutBackslashNamesAValueUnderTheRoot) {
    std::string name = "ZorvRuntimeTopValue-" + std::to_string(GetCurrentProcessId());
    std::wstring wideName = WideFromGbk(name);
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, name, "顶层"));
    StoredValue value = ReadBack(HKEY_CURRENT_USER, L"", wideName);
    RegDeleteValueW(HKEY_CURRENT_USER, wideName.c_str());
    EXPECT_EQ(value.data, WideBytesWithTerminator(L"\u9876\u5c42"));
}

TEST_F(RegistryTest, KeyWithABackslashTrailByteInItsName) {
    // "癨" (B0 5C) holds a backslash byte; the split point is the last real
    // backslash, so the value is "癨" in the key, not "\" + garbage.
    ASSERT_TRUE(WriteRegistryValue(kCurrentUser, key_ + "\\\xB0\x5C", int32_t{3}));
    EXPECT_EQ(ReadBack(HKEY_CURRENT_USER, wideKey_, WideFromGbk("\xB0\x5C")).data, DwordBytes(3));
}

}  // namespace
}  // namespace zorv
