#include <windows.h>

#include <optional>
#include <vector>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/conversion.h"
#include "runtime/gbk.h"
#include "runtime/ini_text.h"
#include "runtime/unique_handle_win32.h"

namespace zorv {
namespace {

constexpr DWORD kIniBufferLength = 10240;

std::string_view SkipLeadingControls(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) <= 0x20) ++first;
    return text.substr(first);
}

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[8192];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

// UTF-16 (either order) or UTF-8 with its mark.
bool HasByteOrderMark(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") || bytes.starts_with("\xEF\xBB\xBF");
}

std::string_view WithoutTrailingSpaces(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

HKEY RootKey(int32_t root) {
    switch (root) {
        case kClassesRoot: return HKEY_CLASSES_ROOT;
        case kCurrentConfig: return HKEY_CURRENT_CONFIG;
        case kLocalMachine: return HKEY_LOCAL_MACHINE;
        case kUsers: return HKEY_USERS;
        default: return HKEY_CURRENT_USER;
    }
}

// Opens the key that holds the value named by path (the part before the last
// backslash), creating it when it does not exist; the value name goes to
// valueName.
UniqueRegistryKey OpenValueKey(int32_t root, std::string_view path, std::wstring& valueName) {
    std::size_t slash = FindLastGbkChar(path, '\\');
    std::string_view keyPath = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    valueName = WideFromGbk(slash == std::string_view::npos ? path : path.substr(slash + 1));
    std::wstring wideKeyPath = WideFromGbk(keyPath);
    HKEY key = nullptr;
    if (RegOpenKeyExW(RootKey(root), wideKeyPath.c_str(), 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
        return UniqueRegistryKey(key);
    }
    if (RegCreateKeyW(RootKey(root), wideKeyPath.c_str(), &key) == ERROR_SUCCESS) return UniqueRegistryKey(key);
    return UniqueRegistryKey();
}

bool SetValue(int32_t root, std::string_view path, DWORD type, const void* data, std::size_t size) {
    std::wstring valueName;
    UniqueRegistryKey key = OpenValueKey(root, path, valueName);
    if (!key) return false;
    return RegSetValueExW(key.get(), valueName.c_str(), 0, type, static_cast<const BYTE*>(data),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

}  // namespace

std::string ReadIniValue(const std::wstring& wideFile, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
    section = SkipLeadingControls(section);
    key = SkipLeadingControls(key);
    if (wideFile.empty() || section.empty() || key.empty()) return {};
    std::optional<std::string> content = ReadFileBytes(wideFile);
    if (content && !HasByteOrderMark(*content)) {
        // Without a byte-order mark the file holds GBK text, like every text
        // of the program; the system would read it in its own ANSI code page,
        // which mangles Chinese names and values anywhere but code page 936.
        std::optional<std::string> value = FindIniValue(*content, section, key);
        return CutGbkText(value ? *value : WithoutTrailingSpaces(defaultValue), kIniBufferLength - 1);
    }
    // A Unicode file (or none at all): the system reads it exactly.
    std::vector<wchar_t> buffer(kIniBufferLength, L'\0');
    DWORD length = GetPrivateProfileStringW(WideFromGbk(section).c_str(), WideFromGbk(key).c_str(),
                                            WideFromGbk(defaultValue).c_str(), buffer.data(), kIniBufferLength,
                                            wideFile.c_str());
    return GbkFromWide(std::wstring_view(buffer.data(), length));
}

std::string ReadIniValue(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view defaultValue) {
    file = SkipLeadingControls(file);
    if (file.empty()) return {};
    return ReadIniValue(WideFromGbk(file), section, key, defaultValue);
}

bool WriteRegistryValue(int32_t root, std::string_view path, int32_t value) {
    auto data = static_cast<DWORD>(value);
    return SetValue(root, path, REG_DWORD, &data, sizeof data);
}

bool WriteRegistryValue(int32_t root, std::string_view path, int64_t value) {
    return WriteRegistryValue(root, path, ToInteger(value));
}

bool WriteRegistryValue(int32_t root, std::string_view path, double value) {
    return WriteRegistryValue(root, path, ToInteger(value));
}

// Written as UTF-16 through the wide function; the stored size counts the
// terminating zero, as REG_SZ readers expect.
bool WriteRegistryValue(int32_t root, std::string_view path, std::string_view text) {
    std::wstring wide = WideFromGbk(text);
    return SetValue(root, path, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
}

bool WriteRegistryValue(int32_t root, std::string_view path, const char* text) {
    return WriteRegistryValue(root, path, std::string_view(text ? text : ""));
}

bool WriteRegistryValue(int32_t root, std::string_view path, const std::string& text) {
    return WriteRegistryValue(root, path, std::string_view(text));
}

bool WriteRegistryValue(int32_t root, std::string_view path, const ByteSet& bytes) {
    return SetValue(root, path, REG_BINARY, bytes.data(), bytes.size());
}

}  // namespace zorv
