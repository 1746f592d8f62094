#pragma once
// Runtime commands that reach the system: files, configuration, registry,
// shell, version resources, threads.  Texts are GBK; every call goes through
// the wide Windows functions, so names are right whatever the system's ANSI
// code page.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "runtime/values.h"

namespace zorv {

// Directory of the program file without trailing backslash ("C:" for a
// program in a drive root), and its file name.
std::string GetRunDirectory();
std::string GetExeFileName();
// The program file's full path and its folder (without a trailing
// backslash) as the system gives them: they may hold characters that code
// page 936 does not have, so they stay wide up to the system call.
const std::wstring& OwnProgramPathWide();
const std::wstring& RunDirectoryWide();
// Major and minor version of the running Windows as the process
// environment block records them (not the compatibility-shimmed answers of
// the version functions).
struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};
OsVersion ReadPebVersion();
// The same as (major << 8) | minor, read once.
int32_t RunningWindowsVersion();
// The runtime's hidden owner window (null before InitRuntime or when it
// could not be created).
HWND RuntimeOwnerWindow();

// Creates one directory level.
bool MakeDirectory(std::string_view path);
// Deletes the directory with every file and subdirectory below it, depth
// first.  Leading blanks are skipped; an empty path, a bare drive root
// ("C:", "C:\") and every other spelling of a drive or share root ("C:\.",
// "C:\x\..", "\\?\C:\") are refused.  Attributes are left alone, so read-only files
// stay (with their directories).  Directory links are removed as links, never
// followed.  The result is that of removing the directory itself.
bool RemoveDirectoryTree(std::string_view path);
// Copies the file, replacing an existing target.
bool CopyFileOver(std::string_view source, std::string_view target);
// Creates or truncates the file (no sharing) and writes the byte sets in
// order; true only when everything was written and the file closed.
bool WriteBytesToFile(std::string_view path, std::initializer_list<std::span<const uint8_t>> parts);
bool WriteBytesToFile(std::string_view path, std::span<const uint8_t> bytes);
// The same for a path as the system gives it.
bool WriteBytesToFile(const std::wstring& path, std::span<const uint8_t> bytes);

// A value of the ini file, up to 10239 bytes; the default when the file,
// the section or the key is missing.  Leading characters up to 0x20 of file,
// section and key are skipped; if one of them is then empty the result is
// empty.  A file without a byte-order mark is read as GBK text whatever the
// system's ANSI code page; a Unicode file is read by the system.
std::string ReadIniValue(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view defaultValue = {});
// The same for a file path as the system gives it.
std::string ReadIniValue(const std::wstring& file, std::string_view section, std::string_view key,
                         std::string_view defaultValue = {});

// Registry roots by number.
enum RegistryRoot : int32_t {
    kClassesRoot = 1, kCurrentConfig = 2, kCurrentUser = 3, kLocalMachine = 4, kUsers = 5,
};
// Writes the value named by the part of path after its last "\" into the key
// named by the part before it (opened, or created when missing) under the
// root (1 ... 5, anything else HKEY_CURRENT_USER).  An int becomes REG_DWORD,
// another number is converted to int first, a text becomes REG_SZ with its
// terminator, a byte set REG_BINARY.  True when the value was written.
bool WriteRegistryValue(int32_t root, std::string_view path, int32_t value);
bool WriteRegistryValue(int32_t root, std::string_view path, int64_t value);
bool WriteRegistryValue(int32_t root, std::string_view path, double value);
bool WriteRegistryValue(int32_t root, std::string_view path, std::string_view text);
bool WriteRegistryValue(int32_t root, std::string_view path, const char* text);
bool WriteRegistryValue(int32_t root, std::string_view path, const std::string& text);
bool WriteRegistryValue(int32_t root, std::string_view path, const ByteSet& bytes);

// The verbs and show codes of ShellRun by name.
enum ShellVerb : int { kShellEdit = 1, kShellExplore = 2, kShellFind = 3, kShellOpen = 4, kShellPrint = 5 };
enum ShellShow : int {
    kShowHidden = 1, kShowNormal = 2, kShowMinimised = 3, kShowMaximised = 4, kShowInactive = 5, kShowMinimise = 6,
};
// ShellExecute with no owner.  Verb 1 "edit", 2 "explore", 3 "find", 4 "open",
// 5 "print", other or absent: the default verb.  Show 1 hidden, 2 normal,
// 3 minimised, 4 maximised, 5 shown without activation, 6 minimise; other
// or absent: normal.  The result is ShellExecute's (> 32 on success).
int ShellRun(std::optional<int> verb, std::string_view file, std::optional<std::string_view> parameters = {},
             std::optional<std::string_view> directory = {}, std::optional<int> show = {});

// Saves a shell link to target (shown with SW_SHOW).  ".lnk" is appended to
// the link file name when the name contains no "." at all.  COM errors give
// false.
bool CreateShortcut(std::string_view linkFile, std::string_view target,
                    std::optional<std::string_view> description = {}, std::optional<std::string_view> arguments = {},
                    std::optional<std::string_view> workingDirectory = {});

// A link at the path (as the system gives it) to the target, shown with
// SW_SHOW; false on COM errors.
bool CreateShortcut(const std::wstring& linkFile, const std::wstring& target);

// Kinds of folder GetSpecialFolder answers.
enum SpecialFolder : int32_t {
    kDocumentsFolder = 1, kFavoritesFolder = 2, kDesktopFolder = 3, kFontsFolder = 4, kStartMenuFolder = 5,
    kProgramsFolder = 6, kStartupFolder = 7, kAppDataFolder = 8, kWindowsFolder = 9, kSystemFolder = 10,
    kTempFolder = 11,
};
// The folder's path with a trailing "\"; empty for another kind or a failure.
std::string GetSpecialFolder(int32_t kind);
// The same as the system gives it: a user's folders may hold characters
// that code page 936 does not have.
std::wstring GetSpecialFolderWide(int32_t kind);

// The version texts of a file.
struct FileVersionInfo {
    std::string fileVersion;
    std::string fileDescription;
    std::string internalName;
    std::string companyName;
    std::string legalCopyright;
    std::string legalTrademarks;
    std::string originalFilename;
    std::string productName;
    std::string productVersion;
    std::string languageNames;  // every translation's language, joined with ", "
    std::string comments;
};
// False, with the record untouched, when the file has no version resource.
// The strings come from the first translation (or 040904E4 without a
// translation table); each is cut to 255 bytes; a missing one is empty.
bool ReadFileVersionInfo(std::string_view path, FileVersionInfo& info);

// Starts a thread running routine(parameter).  The thread handle goes to
// *handle when given, else it is closed at once.
bool StartThread(LPTHREAD_START_ROUTINE routine, void* parameter = nullptr, HANDLE* handle = nullptr);
// The same for any callable.
bool StartThread(std::function<void()> body, HANDLE* handle = nullptr);

}  // namespace zorv
