// The install folder: the options panel, the confirmation that starts the
// installation, and the system's folder dialog.
#include <windows.h>

#include <shobjidl.h>

#include <atomic>

#include "install/install_plan.h"
#include "install/install_rules.h"
#include "install/install_state.h"
#include "install/install_win32.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/setup_log_win32.h"
#include "runtime/unique_handle_win32.h"
#include "ui/form_ids.h"
#include "ui/window_commands_win32.h"

namespace zorv::install {

namespace ids = ui::ids;

namespace {

constexpr char kPickerTitle[] = "选择安装路径";
constexpr int32_t kProgressPanelDrop = 35;  // the panel first shows this much below the centre

// Set by the first install of the run: a second confirmation (the folder
// box's Enter, the install button under the progress panel) starts nothing.
std::atomic<bool> installBegun{false};

void SetVisible(uint32_t windowId, uint32_t unitId, bool visible) {
    ui::WriteProperty(windowId, unitId, ids::prop::Visible, visible ? 1 : 0);
}

int32_t Property(uint32_t windowId, int property) { return int32_t(ui::ReadProperty(windowId, 0, property)); }

void ShowProgressPanelCentred() {
    namespace p = ids::prop;
    Point at = CentredPanelPosition(Property(ids::MainWindow, p::Left), Property(ids::MainWindow, p::Top),
                                        Property(ids::MainWindow, p::Width), Property(ids::MainWindow, p::Height),
                                        Property(ids::ProgressPanel, p::Width),
                                        Property(ids::ProgressPanel, p::Height), kProgressPanelDrop);
    ui::WriteProperty(ids::ProgressPanel, 0, p::Left, at.x);
    ui::WriteProperty(ids::ProgressPanel, 0, p::Top, at.y);
    SetVisible(ids::ProgressPanel, 0, true);
}

// The folder dialog's result as a wide path, or empty.
std::wstring ShowFolderDialog(const std::wstring& title, HWND owner) {
    ComRef<IFileOpenDialog> dialog;
    if (CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                         dialog.out()) != S_OK ||
        !dialog)
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS);
    if (!title.empty()) dialog->SetTitle(title.c_str());
    dialog->Show(owner);  // a cancelled dialog leaves no result
    ComRef<IShellItem> item;
    if (FAILED(dialog->GetResult(reinterpret_cast<IShellItem**>(item.out()))) || !item) return {};
    PWSTR path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return {};
    std::wstring result(path);
    CoTaskMemFree(path);
    return result;
}

bool Ticked(uint32_t unit) { return ui::ReadProperty(ids::OptionsPanel, unit, ids::prop::Checked) == 1; }

}  // namespace

void SetOptionsPanel(bool open, bool lockLinks) {
    SetVisible(ids::OptionsPanel, 0, open);
    bool links = lockLinks ? open : !open;
    for (uint32_t unit : {ids::OptionsLink, ids::OptionsIcon, ids::InstallPathLabel}) SetVisible(ids::MainWindow, unit, links);
    if (lockLinks) return;
    std::string folder = ui::ReadTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption);
    ui::WriteTextProperty(ids::MainWindow, ids::InstallPathLabel, ids::prop::Caption, InstallPathCaption(folder));
}

void BeginInstall() {
    std::string folder = ui::ReadTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption);
    if (folder.empty()) {
        SetOptionsPanel(true, false);
        return;
    }
    if (installBegun.exchange(true)) return;
    std::string completed = CompleteInstallFolder(folder);
    if (completed != folder) ui::WriteTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption, completed);
    InstallPlan plan = MakeInstallPlan(completed, Ticked(ids::DesktopShortcutCheck), Ticked(ids::StartMenuCheck),
                                       Settings().ProductUrl);
    SetOptionsPanel(false, true);
    ShowProgressPanelCentred();
    // Ready before either thread runs: a download that fails at once still
    // waits for the shortcut step.
    PrepareShortcutStep(plan);
    // Without its animation the shortcut step is due at once: the install
    // waits for it.
    if (!StartThread(RunPlaceholderAnimation)) ui::PostWindowEvent(ids::ProgressPanel, ids::InstallNotifier, 1, 1, false);
    StartThread([plan] {
        // A failed install leaves the installer open; a finished one ends it.
        if (RunInstall(plan) == kExitInstalled) QuitProgram();
    });
}

void BeginSilentInstall(const SilentInstallOptions& options) {
    std::string folder = ui::ReadTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption);
    if (options.folderGiven) {
        // The folder is kept as code-page-936 text like a typed one: a name
        // that text cannot hold would name another folder.
        folder = GbkFromWide(options.folder);
        if (options.folder.empty() || WideFromGbk(folder) != options.folder) {
            Log(L"refused: the folder \"" + options.folder + L"\" cannot be used");
            QuitProgram(kExitFolderRefused);
        }
    }
    installBegun.store(true);
    std::string completed = CompleteInstallFolder(folder);
    ui::WriteTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption, completed);
    InstallPlan plan = MakeInstallPlan(completed, !options.noShortcuts, !options.noShortcuts, Settings().ProductUrl);
    plan.silent = true;
    plan.startProduct = options.start;
    Log("install without a window into " + completed + (options.noShortcuts ? ", no links" : "") +
        (options.start ? ", the product started afterwards" : ""));
    // No animation: the shortcut step is due once the install waits for it.
    PrepareShortcutStep(plan);
    if (!StartThread([plan] { QuitProgram(RunInstall(plan)); })) QuitProgram(kExitStepFailed);
}

std::string PickFolder(std::string_view title, HWND owner) {
    if (RunningWindowsVersion() < 0x0600) return {};
    HRESULT initialised = CoInitialize(nullptr);
    std::wstring path = ShowFolderDialog(WideFromGbk(title), owner);
    if (SUCCEEDED(initialised)) CoUninitialize();
    return GbkFromWide(path);
}

void BrowseForFolder() {
    // Modal to the options panel, and the main window (whose install button
    // lies above the panel) is held off as well: no install can start while
    // the dialog is open, so its answer never lands in a running install.
    HWND panel = ui::GetWindowHandle(ids::OptionsPanel), main = ui::GetWindowHandle(ids::MainWindow);
    EnableWindow(main, FALSE);
    std::string picked = PickFolder(kPickerTitle, panel);
    EnableWindow(main, TRUE);
    ui::WriteTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption, FolderFromPicker(picked));
}

bool HandleFolderBoxKey(uint32_t virtualKey) {
    if (virtualKey == VK_RETURN) {
        BeginInstall();
        return true;
    }
    if (virtualKey == VK_ESCAPE) {
        SetOptionsPanel(false, false);
        return true;
    }
    return false;
}

}  // namespace zorv::install
