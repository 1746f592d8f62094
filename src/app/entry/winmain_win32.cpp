#include <windows.h>

#include "app/app_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return zorv::app::ProgramStart(); }
