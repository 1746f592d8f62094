// A program that takes the installer's way to administrator rights: the
// first start is told it has none and starts itself again through the
// shell's "runas" with the installer's own relaunch; the second start finds
// the rights and writes "came-up.txt" beside itself with its own path and
// its command line (UTF-16), so that a test sees the relaunch arrive.  With
// "/S" (a run without a window) the first start waits for the second and
// ends with its exit code, which the second makes 42.
#include <windows.h>

#include <string>

#include "app/app_win32.h"
#include "runtime/commands_win32.h"

namespace {

std::wstring Beside(const wchar_t* name) { return zorv::RunDirectoryWide() + L"\\" + name; }

// No rights the first time (which leaves a mark), rights afterwards.
bool AdministratorOnceMarked() {
    std::wstring mark = Beside(L"relaunched.mark");
    if (GetFileAttributesW(mark.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    HANDLE file = CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    zorv::app::SetPrivilegeProbe({AdministratorOnceMarked, nullptr});
    bool windowless = std::wstring(GetCommandLineW()).find(L" /S") != std::wstring::npos;
    int relaunched = 0;
    if (!zorv::app::EnsureElevated(windowless, &relaunched)) return windowless ? relaunched : 0;
    std::wstring report = zorv::OwnProgramPathWide() + L"\n" + GetCommandLineW();
    HANDLE file = CreateFileW(Beside(L"came-up.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, report.data(), DWORD(report.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return windowless ? 42 : 0;
}
