#include <windows.h>

#include "app/app_win32.h"
#include <shellapi.h>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/fatal.h"
#include "runtime/setup_log_win32.h"
#include "runtime/unique_handle_win32.h"
#include "runtime/system_library_win32.h"
#include "install/install_rules.h"

namespace zorv::app {
namespace {

// Bound by name at the first call, so a system without the export fails
// with the runtime's error for a missing library function instead of at
// load time.
bool SystemIsAdministrator() {
    using IsUserAnAdminFunction = BOOL(WINAPI*)();
    static IsUserAnAdminFunction function = [] {
        auto found = SystemFunction<IsUserAnAdminFunction>(L"shell32.dll", "IsUserAnAdmin");
        if (!found) FatalRuntimeError("无法找到指定DLL库文件“shell32.dll”中的输出命令“IsUserAnAdmin”");
        return found;
    }();
    return function() != FALSE;
}

int SystemLaunch(const ShellRequest& request) {
    // The numbered verbs of ShellRun have no "runas": ask the shell directly.
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOASYNC | (request.waitForExit ? SEE_MASK_NOCLOSEPROCESS : 0);
    start.lpVerb = request.verb.c_str();
    start.lpFile = request.file.c_str();
    start.lpParameters = request.parameters.c_str();
    start.lpDirectory = request.directory.c_str();
    start.nShow = request.show;
    if (!ShellExecuteExW(&start)) return -1;
    if (!request.waitForExit || !start.hProcess) return 0;
    UniqueHandle process(start.hProcess);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    return GetExitCodeProcess(process.get(), &code) ? int(code) : -1;
}

PrivilegeProbe activeProbe{SystemIsAdministrator, SystemLaunch};

}  // namespace

PrivilegeProbe SetPrivilegeProbe(const PrivilegeProbe& probe) {
    PrivilegeProbe previous = activeProbe;
    activeProbe.isAdministrator = probe.isAdministrator ? probe.isAdministrator : SystemIsAdministrator;
    activeProbe.launch = probe.launch ? probe.launch : SystemLaunch;
    return previous;
}

bool EnsureElevated(bool waitForExit, int* exitCode) {
    if (activeProbe.isAdministrator()) return true;
    ShellRequest request =
        ElevatedRelaunchRequest(OwnProgramPathWide(), RunDirectoryWide(), install::ArgumentsOf(GetCommandLineW()));
    request.waitForExit = waitForExit;
    int ended = activeProbe.launch(request);
    Log(ended < 0 ? "not administrator; the relaunch through runas did not start"
                  : "not administrator; relaunched through runas, exit code " + std::to_string(ended));
    if (exitCode) *exitCode = ended < 0 ? install::kExitNotAdministrator : ended;
    return false;
}

}  // namespace zorv::app
