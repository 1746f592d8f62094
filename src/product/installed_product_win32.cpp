#include "product/installed_product_win32.h"

#include <windows.h>

#include <vector>

#include "product/product_files.h"
#include "runtime/codepage_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::product {
namespace {

std::wstring FullFolderPath(const std::wstring& folder) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetFullPathNameW(folder.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (length == 0) {
            full = folder;
            break;
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length + 1);
    }
    while (!full.empty() && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    return full;
}

}  // namespace

std::optional<std::wstring> RegisteredInstallLocation() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideFromGbk(kUninstallKey).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                      &key) != ERROR_SUCCESS)
        return std::nullopt;
    UniqueRegistryKey owned(key);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, L"InstallLocation", nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::wstring();
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return std::wstring(text.data());
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    if (a.empty() || b.empty()) return false;
    std::wstring fullA = FullFolderPath(a), fullB = FullFolderPath(b);
    return CompareStringOrdinal(fullA.c_str(), int(fullA.size()), fullB.c_str(), int(fullB.size()), TRUE) == CSTR_EQUAL;
}

bool HoldsProductFile(const std::wstring& folder) {
    std::wstring path = FullFolderPath(folder) + L"\\" + WideFromGbk(kProductFile);
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace zorv::product
