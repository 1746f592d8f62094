#pragma once
// Libraries of the system, loaded from the system folder only.  The program
// runs elevated and often from a folder that others can write to (a
// browser's download folder): a DLL looked up by bare name would be taken
// from there first.
#include <windows.h>

namespace zorv {

// The system DLL of that file name ("version.dll"), loaded from System32
// only; null when it cannot be loaded or when name is not a bare file name
// (a path would name a folder of the caller's choosing).  Systems without
// the search flags (Windows 7 before its 2011 loader update) load it by its
// full System32 path instead.  The module stays loaded for the rest of the
// process.
HMODULE LoadSystemLibrary(const wchar_t* name);

// How System32 is named to the loader; LoadSystemLibrary takes the first
// where the system knows the search flags, the second elsewhere.  Both are
// open to the tests, which run where the flags exist.
enum class SystemFolderRoute { kSearchFlag, kFullPath };
HMODULE LoadSystemLibrary(const wchar_t* name, SystemFolderRoute route);

// An exported function of a system DLL, or null.
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
    HMODULE module = LoadSystemLibrary(library);
    if (!module) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// First thing at start, before any window, COM or shell call: the DLLs the
// process loads from then on come from System32 only, and the program's
// own folder is taken out of the search.  True when the system took the
// restriction (false on a Windows 7 without its loader update, where only
// LoadSystemLibrary's full paths protect the program's own loads).
bool RestrictDllSearchToSystem32();

}  // namespace zorv
