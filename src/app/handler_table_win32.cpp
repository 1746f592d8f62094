#include "app/app_win32.h"

namespace zorv::app {

// The one place where the program's functions meet the template's handler
// indices; an empty entry leaves its event without effect.
void InstallHandlerTable() {
    using ui::Handler;
    static ui::EventHandler table[ui::kHandlerCount] = {};
    auto set = [](Handler handler, ui::EventHandler function) { table[static_cast<uint32_t>(handler)] = function; };
    set(Handler::MainWindowCreated, OnMainWindowCreated);
    set(Handler::MainWindowClosing, OnMainWindowClosing);
    set(Handler::CloseClicked, OnCloseClicked);
    set(Handler::OptionsPanelShown, OnOptionsPanelShown);
    set(Handler::OptionsPanelHidden, OnOptionsPanelHidden);
    set(Handler::ProgressPanelShown, OnProgressPanelShown);
    set(Handler::ProgressPanelHidden, OnProgressPanelHidden);
    ui::SetHandlerTable(table);
}

}  // namespace zorv::app
