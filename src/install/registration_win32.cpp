// The product's entry in the system's list of installed programs: one key
// in the 32-bit view of the machine's uninstall list (on 64-bit Windows
// that is the WOW6432Node key the list reads for 32-bit programs, on 32-bit
// Windows the list's own key).
#include <windows.h>

#include <string>

#include "install/install_steps_win32.h"
#include "product/product_files.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/setup_log_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::install {
namespace {

constexpr REGSAM kView = KEY_WOW64_32KEY;

class UninstallKeyWriter {
public:
    UninstallKeyWriter() {
        HKEY key = nullptr;
        error_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, WideFromGbk(product::kUninstallKey).c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | kView, nullptr, &key, nullptr);
        LogResult(std::string("registry key HKLM\\") + product::kUninstallKey + " (32-bit view)", uint32_t(error_));
        if (error_ == ERROR_SUCCESS) key_.reset(key);
    }
    // Each write after a failure is skipped: the first failure is the one
    // reported.
    void Text(const wchar_t* name, std::string_view value) {
        std::wstring wide = WideFromGbk(value);
        Set(name, REG_SZ, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    }
    void Number(const wchar_t* name, DWORD value) { Set(name, REG_DWORD, &value, sizeof value); }
    uint32_t error() const { return error_; }

private:
    void Set(const wchar_t* name, DWORD type, const void* data, std::size_t size) {
        if (error_ != ERROR_SUCCESS) return;
        error_ = RegSetValueExW(key_.get(), name, 0, type, static_cast<const BYTE*>(data), DWORD(size));
        LogResult("registry value " + GbkFromWide(name), uint32_t(error_));
    }
    UniqueRegistryKey key_;
    LONG error_ = ERROR_SUCCESS;
};

std::string ProductVersion(const std::string& productPath) {
    FileVersionInfo info;
    if (ReadFileVersionInfo(productPath, info) && !info.fileVersion.empty()) return info.fileVersion;
    return "1.0.0.0";
}

}  // namespace

uint32_t RegisterUninstall(const InstallPlan& plan) {
    const std::string& uninstaller = plan.uninstallerPath;
    UninstallKeyWriter key;
    key.Text(L"DisplayName", product::kDisplayName);
    key.Text(L"DisplayVersion", ProductVersion(plan.productPath));
    key.Text(L"Publisher", product::kShortName);
    key.Text(L"DisplayIcon", plan.productPath);
    key.Text(L"InstallLocation", product::DirectoryOf(plan.productPath));
    key.Text(L"UninstallString", "\"" + uninstaller + "\"");
    key.Text(L"QuietUninstallString", "\"" + uninstaller + "\" /S");
    key.Number(L"NoModify", 1);
    key.Number(L"NoRepair", 1);
    return key.error();
}

void RemoveUninstallRegistration() {
    HKEY list = nullptr;
    std::wstring path = WideFromGbk(product::kUninstallKey);
    std::size_t last = path.rfind(L'\\');
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.substr(0, last).c_str(), 0, KEY_ALL_ACCESS | kView, &list) !=
        ERROR_SUCCESS)
        return;
    UniqueRegistryKey owned(list);
    RegDeleteTreeW(list, path.substr(last + 1).c_str());
}

}  // namespace zorv::install
