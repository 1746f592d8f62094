#pragma once
// The status strip over the main window's top edge: every message the
// install and uninstall flows give the user goes there, with a colour and
// a display time that counts down and fades the strip out.  Texts are GBK.
#include <string_view>

namespace zorv::ui {

// Colour kinds of the strip: 0 green, 1 red, anything else orange.
enum StatusKind : int { kStatusSuccess = 0, kStatusWorking = 1, kStatusNotice = 2, kStatusFailure = 3 };

// Shows the message for the seconds (0 means 3), counting down and fading
// out at the end.  Any thread; dropped while the main window is hidden.
// One countdown runs at a time, however many messages race.
void ShowStatus(std::string_view text, int kind, int seconds);

}  // namespace zorv::ui
