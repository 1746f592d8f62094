#include <windows.h>

#include "app/app_win32.h"
#include "runtime/system_library_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before any window, COM or shell call loads a DLL: the program's own
    // folder (often a browser's download folder) is no place to take one
    // from.
    zorv::RestrictDllSearchToSystem32();
    return zorv::app::ProgramStart();
}
