// A DLL planted beside the installer, built under the names of the system
// DLLs a program may look for in its own folder.  When loaded it leaves a
// marker named after itself in C:\zorv-planted-markers; its exports are the
// names those programs import from the real DLLs (stubs that fail), so that
// an installer that imports them still starts and shows whether it loaded
// them.
#include <windows.h>

#include <string>

namespace {

void LeaveMarker(HINSTANCE self) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(self, path, MAX_PATH);
    std::wstring name(path);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    CreateDirectoryW(L"C:\\zorv-planted-markers", nullptr);
    std::wstring marker = L"C:\\zorv-planted-markers\\" + name + L".loaded";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, path, DWORD(wcslen(path) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker(self);
    return TRUE;
}

// The system headers declare these as imports; here they are the DLL's own.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR, LPDWORD) { return 0; }
__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR, DWORD, DWORD, LPVOID) { return FALSE; }
__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID, LPCWSTR, LPVOID*, PUINT) { return FALSE; }
__declspec(dllexport) BOOL WINAPI AlphaBlend(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION) {
    return FALSE;
}
__declspec(dllexport) BOOL WINAPI TransparentBlt(HDC, int, int, int, int, HDC, int, int, int, int, UINT) {
    return FALSE;
}
__declspec(dllexport) LONG WINAPI WinVerifyTrust(HWND, GUID*, LPVOID) { return LONG(0x800B0100); }
__declspec(dllexport) BOOL WINAPI IsNTAdmin(DWORD, DWORD*) { return FALSE; }
#pragma GCC diagnostic pop

}
