#include "runtime/system_library_win32.h"

#include <cwchar>
#include <string>

namespace zorv {
namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// kernel32 is always mapped into the process, so asking it for an export
// loads nothing.
SetDefaultDllDirectoriesFunction SetDefaultDllDirectoriesEntry() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return nullptr;
    return reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
}

std::wstring SystemFolderPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::wstring path(folder, length);
    if (path.back() != L'\\') path += L'\\';
    return path + name;
}

}  // namespace

HMODULE LoadSystemLibrary(const wchar_t* name) {
    // The search flags exist where SetDefaultDllDirectories does; elsewhere
    // LoadLibraryExW refuses them with ERROR_INVALID_PARAMETER.
    return LoadSystemLibrary(name, SetDefaultDllDirectoriesEntry() ? SystemFolderRoute::kSearchFlag
                                                                   : SystemFolderRoute::kFullPath);
}

HMODULE LoadSystemLibrary(const wchar_t* name, SystemFolderRoute route) {
    if (name == nullptr || *name == L'\0' || std::wcspbrk(name, L"\\/:") != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (route == SystemFolderRoute::kSearchFlag) return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    std::wstring path = SystemFolderPath(name);
    if (path.empty()) return nullptr;
    // With a full path the loader looks nowhere else; the altered search
    // order makes the DLL's own imports come from its folder, System32.
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool RestrictDllSearchToSystem32() {
    // The current directory and the program's folder stay out of the search
    // of every later load, on every system that knows the call.
    SetDllDirectoryW(L"");
    SetDefaultDllDirectoriesFunction restrict = SetDefaultDllDirectoriesEntry();
    return restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

}  // namespace zorv
