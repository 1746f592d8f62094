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

}  // namespace

bool MakeDirectory(std::string_view path) { return CreateDirectoryW(WideFromGbk(path).c_str(), nullptr) != 0; }

bool RemoveDirectoryTree(std::string_view path) {
    std::size_t first = path.find_first_not_of(' ');
    if (first == std::string_view::npos) return false;
    path.remove_prefix(first);
    if (IsBareDriveRoot(path)) return false;
    std::wstring directory = WideFromGbk(path);
    while (directory.size() > 1 && (directory.back() == L'\\' || directory.back() == L'/')) directory.pop_back();
    if (directory.empty() || directory == L"\\" || directory == L"/") return false;
    DWORD attributes = GetFileAttributesW(directory.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) DeleteContents(directory);
    return RemoveDirectoryW(directory.c_str()) != 0;
}

bool CopyFileOver(std::string_view source, std::string_view target) {
    return CopyFileW(WideFromGbk(source).c_str(), WideFromGbk(target).c_str(), FALSE) != 0;
}

bool WriteBytesToFile(std::string_view path, std::initializer_list<std::span<const uint8_t>> parts) {
    UniqueFile file(CreateFileW(WideFromGbk(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    for (std::span<const uint8_t> part : parts) {
        if (!WriteAll(file.get(), part)) return false;
    }
    return CloseHandle(file.release()) != 0;
}

bool WriteBytesToFile(std::string_view path, std::span<const uint8_t> bytes) {
    return WriteBytesToFile(path, {bytes});
}

}  // namespace zorv
