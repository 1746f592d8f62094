#include <windows.h>

#include "runtime/codepage_win32.h"
#include "runtime/fatal.h"

namespace zorv {

void ShowFatalErrorBox(const std::string& text) {
    MessageBoxW(nullptr, WideFromGbk(text).c_str(), WideFromGbk(kFatalErrorCaption).c_str(), MB_ICONERROR | MB_OK);
}

}  // namespace zorv
