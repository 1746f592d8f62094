#include "app/app_win32.h"
#include "install/install_win32.h"
#include "ui/form_ids.h"
#include "ui/window_commands_win32.h"
#include "uninstall/uninstall_mode_win32.h"

namespace zorv::app {

namespace {

namespace ids = ui::ids;
using ui::EventArgs;

int ShowOptions(const EventArgs&) {
    install::SetOptionsPanel(true, false);
    return 0;
}
int HideOptions(const EventArgs&) {
    install::SetOptionsPanel(false, false);
    return 0;
}
int Install(const EventArgs&) {
    install::BeginInstall();
    return 0;
}
int Uninstall(const EventArgs&) {
    uninstall::UninstallClick();
    return 0;
}
int Browse(const EventArgs&) {
    install::BrowseForFolder();
    return 0;
}
int FolderBoxKey(const EventArgs& args) {
    install::HandleFolderBoxKey(uint32_t(args.a));
    return 0;
}
int Moved(const EventArgs&) {
    install::DockSecondaryWindows();
    return 0;
}
int Drag(const EventArgs&) {
    install::DragMainWindow();
    return 0;
}
int OptionsCreated(const EventArgs&) {
    ui::SetWindowOpacity(ui::GetWindowHandle(ids::OptionsPanel), 230);
    return 0;
}
int FolderBoxFocused(const EventArgs&) {
    ui::WriteProperty(ids::OptionsPanel, ids::PathFrame, ids::prop::Checked, 1);
    return 0;
}
int FolderBoxLeft(const EventArgs&) {
    ui::WriteProperty(ids::OptionsPanel, ids::PathFrame, ids::prop::Checked, 0);
    return 0;
}
int FrameClicked(const EventArgs&) {
    ui::SetFocusTo(ids::OptionsPanel, ids::PathEdit);
    return 0;
}
int CloseStatus(const EventArgs&) {
    ui::WriteProperty(ids::StatusBar, 0, ids::prop::Visible, 0);
    return 0;
}
int Notified(const EventArgs& args) {
    install::RunShortcutStep(args.a, args.b);
    return 0;
}

}  // namespace

// The one place where the program's functions meet the template's handler
// indices; an empty entry leaves its event without effect.
void InstallHandlerTable() {
    using ui::Handler;
    static ui::EventHandler table[ui::kHandlerCount] = {};
    auto set = [](Handler handler, ui::EventHandler function) { table[static_cast<uint32_t>(handler)] = function; };
    set(Handler::MainWindowCreated, OnMainWindowCreated);
    set(Handler::MainWindowClosing, OnMainWindowClosing);
    set(Handler::MainWindowMoved, Moved);
    set(Handler::DragMainWindow, Drag);
    set(Handler::CloseClicked, OnCloseClicked);
    set(Handler::InstallClicked, Install);
    set(Handler::UninstallClicked, Uninstall);
    set(Handler::ShowOptions, ShowOptions);
    set(Handler::OptionsPanelCreated, OptionsCreated);
    set(Handler::OptionsPanelShown, OnOptionsPanelShown);
    set(Handler::OptionsPanelHidden, OnOptionsPanelHidden);
    set(Handler::HideOptions, HideOptions);
    set(Handler::BrowseFolder, Browse);
    set(Handler::PathEditFocusGained, FolderBoxFocused);
    set(Handler::PathEditFocusLost, FolderBoxLeft);
    set(Handler::PathFrameClicked, FrameClicked);
    set(Handler::ConfirmClicked, Install);
    set(Handler::HideStatusBar, CloseStatus);
    set(Handler::ProgressPanelShown, OnProgressPanelShown);
    set(Handler::ProgressPanelHidden, OnProgressPanelHidden);
    set(Handler::InstallNotified, Notified);
    set(Handler::PathEditKeyDown, FolderBoxKey);
    ui::SetHandlerTable(table);
    InstallKeyboardTable();
}

// The keyboard's way through the windows and the names screen readers read
// where the words are part of a picture.  The options icon, the back icon
// and the path caption repeat the links beside them and are left out.
void InstallKeyboardTable() {
    ui::SetKeyboardOrder(ids::MainWindow,
                         {ids::InstallButton, ids::UninstallButton, ids::OptionsLink, ids::CloseButton});
    ui::SetKeyboardOrder(ids::OptionsPanel, {ids::PathEdit, ids::BrowseIcon, ids::DesktopShortcutCheck,
                                             ids::StartMenuCheck, ids::ConfirmButton, ids::OptionsBackLink});
    ui::SetCancelControl(ids::OptionsPanel, ids::OptionsBackLink);
    ui::SetAccessibleName(ids::MainWindow, ids::InstallButton, "立即安装");
    ui::SetAccessibleName(ids::MainWindow, ids::UninstallButton, "立即卸载");
    ui::SetAccessibleName(ids::MainWindow, ids::CloseButton, "关闭");
    ui::SetAccessibleName(ids::OptionsPanel, ids::ConfirmButton, "立即安装");
    ui::SetAccessibleName(ids::OptionsPanel, ids::BrowseIcon, "选择安装路径");
    ui::SetAccessibleName(ids::OptionsPanel, ids::PathEdit, "安装路径");
}

}  // namespace zorv::app
