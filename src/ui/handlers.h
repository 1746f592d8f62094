#pragma once
// The program's handler table.  The form template binds an event of a unit
// to a handler by its index in this table; the program supplies the
// functions at start (SetHandlerTable), the window layer calls them on the UI
// thread when a bound event occurs.
#include <cstdint>
#include <string_view>

namespace zorv::ui {

enum class Handler : uint32_t {
    MainWindowCreated,     // start-up checks, load the other windows, attach the main shadow
    MainWindowClosing,     // end the program
    MainWindowMoved,       // dock the other windows to the main window
    DragMainWindow,        // left button on the background or a drag handle
    CloseClicked,          // end the program
    InstallClicked,        // validate the folder and start installation
    UninstallClicked,      // uninstall
    ShowOptions,           // OptionsLink clicked, OptionsIcon / InstallPathLabel pressed
    OptionsPanelCreated,   // make the panel layered with opacity 230
    OptionsPanelShown,     // attach its shadow
    OptionsPanelHidden,    // detach its shadow
    HideOptions,           // OptionsBackLink clicked, OptionsBackIcon pressed
    BrowseFolder,          // folder picker
    PathEditFocusGained,   // set PathFrame Checked
    PathEditFocusLost,     // clear PathFrame Checked
    PathFrameClicked,      // focus to PathEdit
    ConfirmClicked,        // validate the folder and start installation
    HideStatusBar,         // StatusClose pressed
    ProgressPanelShown,    // attach its shadow
    ProgressPanelHidden,   // detach its shadow
    InstallNotified,       // recolour the panel shadow, then create the chosen shortcuts
    PathEditKeyDown,       // Enter confirms, Escape closes the panel
    Count
};

constexpr uint32_t kHandlerCount = static_cast<uint32_t>(Handler::Count);

// Names as the template description spells them (same order as the enum).
constexpr std::string_view kHandlerNames[kHandlerCount] = {
    "MainWindowCreated", "MainWindowClosing",   "MainWindowMoved",     "DragMainWindow",
    "CloseClicked",      "InstallClicked",      "UninstallClicked",    "ShowOptions",
    "OptionsPanelCreated", "OptionsPanelShown", "OptionsPanelHidden",  "HideOptions",
    "BrowseFolder",      "PathEditFocusGained", "PathEditFocusLost",   "PathFrameClicked",
    "ConfirmClicked",    "HideStatusBar",       "ProgressPanelShown",  "ProgressPanelHidden",
    "InstallNotified",   "PathEditKeyDown",
};

// What a handler receives.  Mouse events: a = x, b = y (client pixels),
// c = Ctrl / Shift / Alt as bits 1 / 2 / 4.  Key events: a = key code, c as
// above.  A label's notification: a and b as posted.
struct EventArgs {
    uint32_t windowId = 0;
    uint32_t unitId = 0;
    int32_t event = 0;
    int32_t a = 0, b = 0, c = 0;
};

using EventHandler = int (*)(const EventArgs& args);

// Installs the functions for every Handler value (index = enum value); an
// entry may be null (the event is then ignored).
void SetHandlerTable(const EventHandler (&table)[kHandlerCount]);

}  // namespace zorv::ui
