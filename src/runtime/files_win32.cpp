#include <windows.h>

#include <algorithm>

#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/unique_handle_win32.h"

namespace zorv {
namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "C:", "C:\" or "C:/".
bool IsBareDriveRoot(std::string_view path) {
    if (path.size() < 2 || path.size() > 3 || !IsDriveLetter(path[0]) || path[1] != ':') return false;
    return path.size() == 2 || path[2] == '\\' || path[2] == '/';
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The absolute, normalised form of a path ("." and ".." resolved, "/" made
// "\", trailing blanks and dots of the last name dropped), without the
// long-path prefix "\\?\"; empty when it cannot be formed.
std::wstring FullPath(std::wstring path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        path.erase(0, 8);
        path.insert(0, L"\\\\");
    } else if (path.rfind(L"\\\\?\\", 0) == 0) {
        path.erase(0, 4);
    }
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) return {};
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length + 1);
    }
}

// A drive root ("C:\") or the root of a network share ("\\server\share"),
// given as a full path.
bool IsRootPath(const std::wstring& full) {
    std::size_t end = full.size();
    while (end > 0 && IsSeparator(full[end - 1])) --end;
    if (end <= 2 && end >= 1 && full[end - 1] == L':') return true;
    if (end == 0) return true;
    if (full.size() >= 2 && IsSeparator(full[0]) && IsSeparator(full[1])) {
        // Server, then share: a root when nothing but separators follows.
        std::size_t server = full.find_first_of(L"\\/", 2);
        if (server == std::wstring::npos || server >= end) return true;
        std::size_t share = full.find_first_of(L"\\/", server + 1);
        return share == std::wstring::npos || share >= end;
    }
    return false;
}

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Deletes everything below directory (a wide path without trailing
// separator), depth first.  Failures are left for the final removal of the
// directory to report.
void DeleteContents(const std::wstring& directory) {
    WIN32_FIND_DATAW entry;
    UniqueFind find(FindFirstFileW((directory + L"\\*").c_str(), &entry));
    if (!find) return;
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        std::wstring child = directory + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A junction or directory symlink is removed as a link: following
            // it would delete the contents of a folder elsewhere.
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) DeleteContents(child);
            RemoveDirectoryW(child.c_str());
        } else {
            DeleteFileW(child.c_str());
        }
    } while (FindNextFileW(find.get(), &entry));
}

bool WriteAll(HANDLE file, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes = bytes.subspan(written);
    }
    return true;
}

bool WriteWideFile(const std::wstring& path, std::initializer_list<std::span<const uint8_t>> parts) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    for (std::span<const uint8_t> part : parts) {
        if (!WriteAll(file.get(), part)) return false;
    }
    return CloseHandle(file.release()) != 0;
}

}  // namespace

bool MakeDirectory(std::string_view path) { return CreateDirectoryW(WideFromGbk(path).c_str(), nullptr) != 0; }

bool RemoveDirectoryTree(std::string_view path) {
    std::size_t first = path.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    path.remove_prefix(first);
    if (IsBareDriveRoot(path)) return false;
    // Any other spelling of a root ("C:\\", "C:\.", "C:\x\..", "\\?\C:\") is
    // refused as well: the deletion works on the normalised path, and a root
    // there would be a whole drive (under Wine, Z:\ is the host's root).
    // Device paths ("\\.\") name no folder.
    std::wstring wide = WideFromGbk(path);
    if (wide.rfind(L"\\\\.\\", 0) == 0) return false;
    std::wstring directory = FullPath(wide);
    if (directory.empty() || IsRootPath(directory)) return false;
    while (!directory.empty() && IsSeparator(directory.back())) directory.pop_back();
    DWORD attributes = GetFileAttributesW(directory.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) DeleteContents(directory);
    return RemoveDirectoryW(directory.c_str()) != 0;
}

bool CopyFileOver(std::string_view source, std::string_view target) {
    return CopyFileW(WideFromGbk(source).c_str(), WideFromGbk(target).c_str(), FALSE) != 0;
}

bool WriteBytesToFile(std::string_view path, std::initializer_list<std::span<const uint8_t>> parts) {
    return WriteWideFile(WideFromGbk(path), parts);
}

bool WriteBytesToFile(const std::wstring& path, std::span<const uint8_t> bytes) { return WriteWideFile(path, {bytes}); }

bool WriteBytesToFile(std::string_view path, std::span<const uint8_t> bytes) {
    return WriteBytesToFile(path, {bytes});
}

}  // namespace zorv
