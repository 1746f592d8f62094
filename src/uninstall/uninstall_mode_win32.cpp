#include "uninstall/uninstall_mode_win32.h"

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

#include "product/installed_product_win32.h"
#include "product/product_files.h"
#include "product/uninstall_files_win32.h"
#include "product/uninstall_texts.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "runtime/setup_log_win32.h"
#include "runtime/system_library_win32.h"
#include "ui/form_ids.h"
#include "ui/status_strip_win32.h"
#include "ui/waits_win32.h"
#include "ui/window_commands_win32.h"

namespace zorv::uninstall {

namespace ids = ui::ids;

namespace {

constexpr char kNotAdministrator[] = "请以管理员身份运行此程序";
constexpr char kNotInProductFolder[] = "请把卸载程序放在安装目录下，例如 C:\\XXXX\\zorv";
constexpr char kScriptFailed[] = "卸载失败，无法写入或启动卸载脚本，请检查安装目录后重试";

// The system's own answer, asked of the advanced-package library first and
// of the shell when that library has no such function.
bool SystemIsAdministrator() {
    using IsNTAdminFunction = BOOL(WINAPI*)(DWORD, DWORD*);
    using IsUserAnAdminFunction = BOOL(WINAPI*)();
    if (auto isNtAdmin = SystemFunction<IsNTAdminFunction>(L"advpack.dll", "IsNTAdmin")) {
        DWORD reserved = 0;
        return isNtAdmin(0, &reserved) != FALSE;
    }
    auto isUserAnAdmin = SystemFunction<IsUserAnAdminFunction>(L"shell32.dll", "IsUserAnAdmin");
    return isUserAnAdmin && isUserAnAdmin() != FALSE;
}

std::atomic<AdministratorCheck> administratorCheck{SystemIsAdministrator};

// The script made ready, let run by the last exit routine: it deletes the
// folder this program's own file stands in, which cannot go while the
// program runs.
std::optional<product::StartedScript> readyScript;

void LetScriptRunOnExit() {
    if (readyScript) readyScript->Resume();
}

// The script written and made (suspended); false when either failed.
bool PrepareScript(const std::wstring& folder) {
    uint32_t error = product::WriteUninstallScript(folder);
    LogResult("write " + product::FileInFolder(GbkFromWide(folder), product::kUninstallScriptName), error);
    if (error != 0) return false;
    readyScript = product::StartUninstallScript(folder, product::kStartSuspended, &error);
    LogResult("start the uninstall script", readyScript ? 0 : error);
    if (!readyScript) return false;
    AddExitRoutine(LetScriptRunOnExit);
    return true;
}

void CoverUninstallButton(bool cover) {
    ui::WriteProperty(ids::MainWindow, ids::DragHandleHidden, ids::prop::Visible, cover ? 1 : 0);
    if (!cover) return;
    ui::WriteProperty(ids::MainWindow, ids::DragHandleHidden, ids::prop::Left, 592);
    ui::WriteProperty(ids::MainWindow, ids::DragHandleHidden, ids::prop::Top, 560);
}

// Whether the folder is the installation this uninstaller may remove: the
// registered one, or where nothing is registered, a folder named "zorv"
// that holds the product (a copy of the uninstaller in any other folder of
// that name, unpacked from an archive say, must not delete that folder).
bool IsOwnInstallation(const std::wstring& folder) {
    if (std::optional<std::wstring> registered = product::RegisteredInstallLocation())
        return product::SameFolder(*registered, folder);
    return product::IsProductFolder(GbkFromWide(folder)) && product::HoldsProductFile(folder);
}

// The checks of both ways to uninstall: the refusal's message, or null.
const char* Refusal(const std::wstring& folder) {
    if (!administratorCheck.load()()) return kNotAdministrator;
    if (!IsOwnInstallation(folder)) return kNotInProductFolder;
    return nullptr;
}

}  // namespace

AdministratorCheck SetAdministratorCheck(AdministratorCheck check) {
    return administratorCheck.exchange(check ? check : SystemIsAdministrator);
}

void UninstallClick() {
    const std::wstring& folder = RunDirectoryWide();
    if (const char* refusal = Refusal(folder)) {
        Log(std::string("uninstall refused: ") + refusal);
        ui::ShowStatus(refusal, ui::kStatusNotice, 10);
        return;
    }
    ui::ShowStatus("正在卸载", ui::kStatusNotice, 100);
    CoverUninstallButton(true);
    ui::PumpingWait(1000);
    if (!PrepareScript(folder)) {
        ui::ShowStatus(kScriptFailed, ui::kStatusFailure, 10);
        CoverUninstallButton(false);
        return;
    }
    // Nothing of the install runs in this mode: no download to stop.
    ExitProgram(0);
}

void QuietUninstall() {
    const std::wstring& folder = RunDirectoryWide();
    if (const char* refusal = Refusal(folder)) {
        Log(std::string("uninstall refused: ") + refusal);
        ExitProgram(refusal == kNotAdministrator ? kUninstallNotAdministrator : kUninstallNotInProductFolder);
    }
    if (!PrepareScript(folder)) ExitProgram(kUninstallScriptFailed);
    ExitProgram(kUninstallStarted);
}

}  // namespace zorv::uninstall
