#include "runtime/system_library_win32.h"

#include <string>

namespace zorv {

UniqueModule LoadSystemLibrary(const wchar_t* fileName) {
    if (HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return UniqueModule(module);
    // A loader without the search flags (Windows 7 before KB2533623) refuses
    // it with ERROR_INVALID_PARAMETER: then the full path in the system
    // folder, whose own imports the altered search order looks for there.
    wchar_t folder[MAX_PATH];
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return UniqueModule();
    std::wstring path = std::wstring(folder, length) + L"\\" + fileName;
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

}  // namespace zorv
