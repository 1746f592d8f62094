#include <windows.h>
#include <winver.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/gbk.h"
#include "runtime/system_library_win32.h"

namespace zorv {
namespace {

// The fields kept 256-byte texts: cut at 255 bytes, never inside a
// double-byte character.
constexpr std::size_t kVersionTextLimit = 255;

struct Translation {
    WORD language;
    WORD codePage;
};

// The version library is no DLL the system always takes from System32:
// its functions are bound from there at the first use.
struct VersionFunctions {
    using SizeFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    SizeFunction infoSize = SystemFunction<SizeFunction>(L"version.dll", "GetFileVersionInfoSizeW");
    InfoFunction info = SystemFunction<InfoFunction>(L"version.dll", "GetFileVersionInfoW");
    QueryFunction query = SystemFunction<QueryFunction>(L"version.dll", "VerQueryValueW");
    bool complete() const { return infoSize && info && query; }
};

const VersionFunctions& Version() {
    static const VersionFunctions functions;
    return functions;
}

std::string QueryString(const std::vector<BYTE>& block, const wchar_t* table, const wchar_t* name) {
    std::wstring subBlock = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!Version().query(block.data(), subBlock.c_str(), &value, &length) || value == nullptr || length == 0) return {};
    const auto* text = static_cast<const wchar_t*>(value);
    return CutGbkText(GbkFromWide(std::wstring_view(text, wcsnlen(text, length))), kVersionTextLimit);
}

std::string LanguageNames(const Translation* translations, std::size_t count) {
    std::string names;
    for (std::size_t i = 0; i < count; ++i) {
        wchar_t name[256] = {};
        DWORD length = VerLanguageNameW(translations[i].language, name, 256);
        if (!names.empty()) names += ", ";
        // Some systems count the terminating zero in the result: the name
        // ends at the first zero either way.
        names += GbkFromWide(std::wstring_view(name, wcsnlen(name, std::min<DWORD>(length, 255))));
    }
    return CutGbkText(names, kVersionTextLimit);
}

}  // namespace

bool ReadFileVersionInfo(std::string_view path, FileVersionInfo& info) {
    const VersionFunctions& version = Version();
    if (!version.complete()) return false;
    std::wstring widePath = WideFromGbk(path);
    DWORD ignored = 0;
    DWORD size = version.infoSize(widePath.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<BYTE> block(size);
    if (!version.info(widePath.c_str(), 0, size, block.data())) return false;

    void* table = nullptr;
    UINT tableBytes = 0;
    const Translation* translations = nullptr;
    std::size_t translationCount = 0;
    if (version.query(block.data(), L"\\VarFileInfo\\Translation", &table, &tableBytes) && table != nullptr) {
        translations = static_cast<const Translation*>(table);
        translationCount = tableBytes / sizeof(Translation);
    }
    wchar_t stringTable[9] = L"040904E4";
    if (translationCount > 0) {
        swprintf(stringTable, 9, L"%04X%04X", translations[0].language, translations[0].codePage);
    }
    info.fileVersion = QueryString(block, stringTable, L"FileVersion");
    info.fileDescription = QueryString(block, stringTable, L"FileDescription");
    info.internalName = QueryString(block, stringTable, L"InternalName");
    info.companyName = QueryString(block, stringTable, L"CompanyName");
    info.legalCopyright = QueryString(block, stringTable, L"LegalCopyright");
    info.legalTrademarks = QueryString(block, stringTable, L"LegalTrademarks");
    info.originalFilename = QueryString(block, stringTable, L"OriginalFilename");
    info.productName = QueryString(block, stringTable, L"ProductName");
    info.productVersion = QueryString(block, stringTable, L"ProductVersion");
    info.languageNames = LanguageNames(translations, translationCount);
    info.comments = QueryString(block, stringTable, L"Comments");
    return true;
}

}  // namespace zorv
