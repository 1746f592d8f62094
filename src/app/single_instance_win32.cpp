#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <mutex>
#include <vector>

#include "app/app_win32.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/setup_log_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv::app {
namespace {

// The first instance's mappings stay open until the process ends: their
// existence is what tells a later instance that this one runs.
std::mutex keptLock;
std::vector<UniqueHandle> keptMappings;

std::string ProgramFullPath() { return GbkFromWide(OwnProgramPathWide()); }

// Only administrators (and the system) may open the instance's objects.
constexpr wchar_t kAdministratorsOnly[] = L"O:BAD:(A;;GA;;;BA)(A;;GA;;;SY)";
constexpr wchar_t kNamespaceName[] = L"zorv-setup";

// A security descriptor made from its text form, owned.
class Descriptor {
public:
    explicit Descriptor(const wchar_t* text) {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor_, nullptr);
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
    }
    ~Descriptor() { LocalFree(descriptor_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

// The private namespace whose boundary requires the Administrators group
// (Vista and later): a process without administrator rights can neither
// make nor open it, so nobody else can take the instance's name first.
// Its functions are looked up at run time; where the system lacks them
// (Wine has none) the name stays global and an existing mapping counts
// only when an administrator owns it.
struct NamespaceFunctions {
    using CreateBoundary = HANDLE(WINAPI*)(LPCWSTR, ULONG);
    using AddSid = BOOL(WINAPI*)(HANDLE*, PSID);
    using CreateSpace = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
    using OpenSpace = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
    CreateBoundary createBoundary = Bind<CreateBoundary>("CreateBoundaryDescriptorW");
    AddSid addSid = Bind<AddSid>("AddSIDToBoundaryDescriptor");
    CreateSpace create = Bind<CreateSpace>("CreatePrivateNamespaceW");
    OpenSpace open = Bind<OpenSpace>("OpenPrivateNamespaceW");
    template <typename Function>
    static Function Bind(const char* name) {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
    }
    bool complete() const { return createBoundary && addSid && create && open; }
};

// "zorv-setup\" when the namespace is there (kept open for the process's
// life), else empty.
std::wstring NamespacePrefix() {
    static const std::wstring prefix = [] {
        NamespaceFunctions functions;
        if (!functions.complete()) return std::wstring();
        HANDLE boundary = functions.createBoundary(kNamespaceName, 0);
        if (!boundary) return std::wstring();
        BYTE administrators[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof administrators;
        if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
            !functions.addSid(&boundary, administrators))
            return std::wstring();
        Descriptor access(kAdministratorsOnly);
        HANDLE space = functions.create(access.get(), boundary, kNamespaceName);
        if (!space && GetLastError() == ERROR_ALREADY_EXISTS) space = functions.open(boundary, kNamespaceName);
        if (!space) return std::wstring();
        return std::wstring(kNamespaceName) + L"\\";
    }();
    return prefix;
}

// Whether the existing mapping was made by an administrator (or the
// system): one made by anybody else was put there to keep the installer
// from running, and is no running instance.
bool OwnedByAdministrator(HANDLE mapping) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(mapping, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    bool trusted = owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid));
    LocalFree(descriptor);
    return trusted;
}

uint32_t* SlotOf(const UniqueMappedView& view) { return static_cast<uint32_t*>(view.get()); }

void BringRunningInstanceForward(HANDLE mapping) {
    UniqueMappedView view(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (!view) return;
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(*SlotOf(view)));
    if (window && IsWindow(window)) BringWindowToFront(window);
}

// Another instance runs: it is brought forward, and this one either ends
// at once or is told so.
bool YieldToRunningInstance(HANDLE mapping, bool exitIfRunning) {
    BringRunningInstanceForward(mapping);
    // Nothing of this instance may run any more: no exit routine, no
    // window, no message.
    if (exitIfRunning) TerminateProcess(GetCurrentProcess(), 0);
    return true;
}

}  // namespace

std::string InstanceKeyFor(std::string_view instanceName) {
    std::string name = instanceName.empty() ? ProgramFullPath() : std::string(instanceName);
    return InstanceKeyFromDigestHex(Md5Hex(name));
}

bool EnsureSingleInstance(uint32_t windowHandle, bool exitIfRunning, std::string_view instanceName) {
    std::wstring prefix = NamespacePrefix();
    std::wstring key = prefix + WideFromGbk(InstanceKeyFor(instanceName));
    // In the private namespace only administrators reach the name at all;
    // under the global name the owner tells.
    auto isInstance = [&prefix](HANDLE mapping) {
        if (!prefix.empty() || OwnedByAdministrator(mapping)) return true;
        Log("a mapping of the instance's name that no administrator made is ignored");
        return false;
    };
    UniqueHandle running(OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, TRUE, key.c_str()));
    if (running && isInstance(running.get())) return YieldToRunningInstance(running.get(), exitIfRunning);
    if (running) return false;
    // Two starts at the same moment may both find nothing to open; the
    // creation itself decides, as only one of them creates the mapping.
    Descriptor access(kAdministratorsOnly);
    UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, access.get(), PAGE_READWRITE, 0, 4, key.c_str()));
    if (!mapping) return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return isInstance(mapping.get()) ? YieldToRunningInstance(mapping.get(), exitIfRunning) : false;
    {
        UniqueMappedView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
        if (!view) return false;  // the mapping is closed again
        *SlotOf(view) = windowHandle;
    }
    std::lock_guard lock(keptLock);
    keptMappings.push_back(std::move(mapping));
    return false;
}

HWND BringWindowToFront(HWND window) {
    HWND previous = GetForegroundWindow();
    ShowWindow(window, SW_RESTORE);
    Sleep(2);
    DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
    DWORD ownThread = GetCurrentThreadId();
    AttachThreadInput(windowThread, ownThread, TRUE);
    SetActiveWindow(window);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_ASYNCWINDOWPOS | SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window);
    AttachThreadInput(windowThread, ownThread, FALSE);
    Sleep(2);
    return GetForegroundWindow() == window ? previous : nullptr;
}

}  // namespace zorv::app
