#pragma once
// The decisions of the start-up checks, free of any system call.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/conversion.h"

namespace zorv::app {

// Text that names the single-instance mapping before it is hashed.
inline constexpr char kInstanceName[] = "zorv_install";

// A program file whose name contains "卸载" runs the uninstall mode.  Only
// whole characters match: the bytes of the word straddling two other
// double-byte characters do not count.
bool IsUninstallFileName(std::string_view fileName);

// The mapping name from the hex text of an MD5 digest: lowered, characters 9
// to 24 (the digest bytes 4 to 11).  Empty for an empty digest text.
std::string InstanceKeyFromDigestHex(std::string_view digestHex);

// The update settings file next to the program.
std::wstring UpIniPath(std::wstring_view runDirectory);
inline constexpr char kUpIniSection[] = "更新信息";
inline constexpr char kUpIniKey[] = "下载地址";

// The product address: a configured address (surrounding blanks removed)
// replaces the built-in one; a missing or blank value leaves the built-in.
std::string ChooseProductUrl(std::string_view configured, std::string_view builtIn);

// What the shell is asked to start when the program lacks administrator
// rights: its own file again, through "runas", with the arguments it was
// given, in its own directory, shown normally.  Wide: the program's path
// comes from the system and may hold characters code page 936 lacks.
struct ShellRequest {
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    std::wstring directory;
    int show = 0;
    // A run without a window waits for the relaunched program, whose exit
    // code is the one its caller gets.
    bool waitForExit = false;
};
ShellRequest ElevatedRelaunchRequest(std::wstring_view programPath, std::wstring_view runDirectory,
                                     std::wstring_view arguments = {});

}  // namespace zorv::app
