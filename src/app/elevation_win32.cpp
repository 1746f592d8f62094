#include <windows.h>

#include "app/app_win32.h"
#include <shellapi.h>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/fatal.h"
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

void SystemLaunch(const ShellRequest& request) {
    // The numbered verbs of ShellRun have no "runas": ask the shell directly.
    ShellExecuteW(nullptr, request.verb.c_str(), request.file.c_str(), request.parameters.c_str(),
                  request.directory.c_str(), request.show);
}

PrivilegeProbe activeProbe{SystemIsAdministrator, SystemLaunch};

}  // namespace

PrivilegeProbe SetPrivilegeProbe(const PrivilegeProbe& probe) {
    PrivilegeProbe previous = activeProbe;
    activeProbe.isAdministrator = probe.isAdministrator ? probe.isAdministrator : SystemIsAdministrator;
    activeProbe.launch = probe.launch ? probe.launch : SystemLaunch;
    return previous;
}

bool EnsureElevated() {
    if (activeProbe.isAdministrator()) return true;
    activeProbe.launch(
        ElevatedRelaunchRequest(OwnProgramPathWide(), RunDirectoryWide(), install::ArgumentsOf(GetCommandLineW())));
    return false;
}

}  // namespace zorv::app
