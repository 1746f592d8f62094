// The system-folder loader against a DLL planted beside the test program
// (the build puts zorv_planted.dll there) and a DLL of the system's own, by
// both routes (Wine knows the search flags, so the full-path route of a
// Windows 7 without its loader update is only reached when asked for).
#include "runtime/system_library_win32.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

namespace zorv {
namespace {

constexpr SystemFolderRoute kRoutes[] = {SystemFolderRoute::kSearchFlag, SystemFolderRoute::kFullPath};

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length);
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length);
}

TEST(SystemLibrary, NeverTakesADllFromTheProgramsFolder) {
    // A bare name finds the planted copy: that is what the loader must not do.
    HMODULE planted = LoadLibraryW(L"zorv_planted.dll");
    ASSERT_NE(planted, nullptr) << "zorv_planted.dll should lie beside the test program";
    FreeLibrary(planted);
    EXPECT_EQ(LoadSystemLibrary(L"zorv_planted.dll"), nullptr);
    for (SystemFolderRoute route : kRoutes) {
        HMODULE module = LoadSystemLibrary(L"zorv_planted.dll", route);
        EXPECT_EQ(module, nullptr) << "route " << static_cast<int>(route) << ": " << Lower(ModulePath(module)).c_str();
    }
}

TEST(SystemLibrary, LoadsTheSystemsOwnDllFromTheSystemFolderByEitherRoute) {
    const std::wstring folder = Lower(SystemFolder()) + L"\\";
    for (SystemFolderRoute route : kRoutes) {
        HMODULE module = LoadSystemLibrary(L"secur32.dll", route);
        ASSERT_NE(module, nullptr) << "route " << static_cast<int>(route) << ": error " << GetLastError();
        EXPECT_EQ(Lower(ModulePath(module)), folder + L"secur32.dll");
    }
    EXPECT_NE(SystemFunction<void (*)()>(L"secur32.dll", "InitSecurityInterfaceW"), nullptr);
    // Only bare names: a path would name a folder of the caller's choosing.
    EXPECT_EQ(LoadSystemLibrary((folder + L"secur32.dll").c_str()), nullptr);
    EXPECT_EQ(LoadSystemLibrary(L"..\\secur32.dll"), nullptr);
    EXPECT_EQ(LoadSystemLibrary(L""), nullptr);
}

}  // namespace
}  // namespace zorv
