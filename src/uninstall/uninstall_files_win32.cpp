#include "uninstall/uninstall_files_win32.h"

#include <windows.h>

#include <atomic>
#include <span>

#include "install/install_rules.h"
#include "install/install_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "ui/form_ids.h"
#include "ui/window_commands_win32.h"
#include "uninstall/uninstall_texts.h"

namespace zorv::uninstall {

namespace ids = ui::ids;

namespace {

bool WriteText(std::string_view path, std::string_view text) {
    return WriteBytesToFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

// The system's own answer, asked of the advanced-package library first and
// of the shell when that library has no such function.
bool SystemIsAdministrator() {
    using IsNTAdminFunction = BOOL(WINAPI*)(DWORD, DWORD*);
    using IsUserAnAdminFunction = BOOL(WINAPI*)();
    if (HMODULE advpack = LoadLibraryW(L"advpack.dll")) {
        auto function = reinterpret_cast<IsNTAdminFunction>(reinterpret_cast<void*>(GetProcAddress(advpack, "IsNTAdmin")));
        if (function) return function(0, nullptr) != FALSE;
    }
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    auto function = shell ? reinterpret_cast<IsUserAnAdminFunction>(
                                reinterpret_cast<void*>(GetProcAddress(shell, "IsUserAnAdmin")))
                          : nullptr;
    return function && function() != FALSE;
}

std::atomic<AdministratorCheck> administratorCheck{SystemIsAdministrator};

std::string WithoutTrailingSeparators(std::string_view folder) {
    std::string trimmed(folder);
    while (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
    return trimmed;
}

// The folder whose script the last exit routine starts.
std::string scriptFolder;

// Started as late as the program can: the script deletes the folder this
// program's own file stands in, which cannot go while the program runs.
void StartScriptOnExit() { StartUninstallScript(scriptFolder); }

void StartScriptAndEnd(const std::string& folder) {
    scriptFolder = folder;
    AddExitRoutine(StartScriptOnExit);
}

void CoverUninstallButton() {
    ui::WriteProperty(ids::MainWindow, ids::DragHandleHidden, ids::prop::Visible, 1);
    ui::WriteProperty(ids::MainWindow, ids::DragHandleHidden, ids::prop::Left, 592);
    ui::WriteProperty(ids::MainWindow, ids::DragHandleHidden, ids::prop::Top, 560);
}

}  // namespace

std::string FileInFolder(std::string_view folder, std::string_view name) {
    return WithoutTrailingSeparators(folder) + "\\" + std::string(name);
}

bool WriteUninstallScript(std::string_view folder) {
    return WriteText(FileInFolder(folder, kUninstallScriptName), UninstallScriptText());
}

bool WriteUninstallInstructions(std::string_view folder) {
    return WriteText(FileInFolder(folder, kUninstallInstructionsName), UninstallInstructionsText());
}

void StartUninstallScript(std::string_view folder) {
    std::string parent = install::DirectoryOf(WithoutTrailingSeparators(folder));
    if (parent.empty()) parent = GetSpecialFolder(kTempFolder);
    ShellRun(4, FileInFolder(folder, kUninstallScriptName), std::string_view(), parent, 1);
}

AdministratorCheck SetAdministratorCheck(AdministratorCheck check) {
    return administratorCheck.exchange(check ? check : SystemIsAdministrator);
}

void UninstallClick() {
    if (!administratorCheck.load()()) {
        install::ShowStatus("请以管理员身份运行此程序", install::kStatusNotice, 10);
        return;
    }
    std::string folder = GetRunDirectory();
    if (!install::IsProductFolder(folder)) {
        install::ShowStatus("请把卸载程序放在安装目录下，例如 C:\\XXXX\\zorv", install::kStatusNotice, 10);
        return;
    }
    install::ShowStatus("正在卸载", install::kStatusNotice, 100);
    CoverUninstallButton();
    install::PumpingWait(1000);
    WriteUninstallScript(folder);
    StartScriptAndEnd(folder);
    install::QuitProgram();
}

void QuietUninstall() {
    if (!administratorCheck.load()()) ExitProgram(1);
    std::string folder = GetRunDirectory();
    if (!install::IsProductFolder(folder)) ExitProgram(2);
    WriteUninstallScript(folder);
    StartScriptAndEnd(folder);
    ExitProgram(0);
}

}  // namespace zorv::uninstall
