#pragma once
// What the installed product is on disk and in the system, for both the
// install and the uninstall flow: the names of its files, its links and
// its uninstall key, and how paths are joined from them.  Texts are GBK; a
// scan for a separator steps over a double-byte character as one unit, so
// a 0x5C trail byte is never taken for a backslash.
#include <string>
#include <string_view>

namespace zorv::product {

inline constexpr char kShortName[] = "zorv";             // the install folder's own name
inline constexpr char kDisplayName[] = "Zorvane";
inline constexpr char kProductFile[] = "zorv.exe";
inline constexpr char kProductDownloadFile[] = "zorv.exe.download";  // the product until it is verified
inline constexpr char kUninstallerFile[] = "卸载.exe";
inline constexpr char kLinkName[] = "Zorvane.lnk";
// The product's entry in the system's list of installed programs, under
// HKEY_LOCAL_MACHINE in the 32-bit view of the registry.
inline constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zorv";

// The text without the backslashes and slashes at its end.
std::string WithoutTrailingSeparators(std::string_view path);

// The folder joined with a file name, with exactly one backslash between
// (however many separators the folder ended with).
std::string FileInFolder(std::string_view folder, std::string_view name);

// The path up to and including its last backslash; empty without one.
std::string DirectoryOf(std::string_view path);

// The last component of a path (after its last "\" or "/"); the whole text
// without a separator.
std::string LastComponent(std::string_view path);

// Whether the uninstaller runs from an install folder: the last component of
// its run directory is exactly "zorv".  A run directory never ends with a
// separator; one without any separator is no install folder.
bool IsProductFolder(std::string_view runDirectory);

}  // namespace zorv::product
