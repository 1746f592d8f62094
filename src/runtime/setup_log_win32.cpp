#include "runtime/setup_log_win32.h"

#include <windows.h>

#include <mutex>

#include "runtime/codepage_win32.h"
#include "runtime/setup_log.h"
#include "runtime/unique_handle_win32.h"

namespace zorv {
namespace {

std::mutex logLock;
UniqueFile logFile;

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) return {};
    int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(length > 0 ? length : 0), '\0');
    if (length > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), length, nullptr, nullptr);
    return utf8;
}

LogTime Now() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond, local.wMilliseconds};
}

void WriteLine(std::wstring_view text) {
    std::lock_guard guard(logLock);
    if (!logFile) return;
    std::string line = FormatLogLine(Now(), Utf8FromWide(text));
    DWORD written = 0;
    WriteFile(logFile.get(), line.data(), DWORD(line.size()), &written, nullptr);
}

}  // namespace

bool OpenSetupLog(const std::wstring& path) {
    // Appending only: every write lands at the end, also when another
    // program writes the same file.
    UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::lock_guard guard(logLock);
    logFile = std::move(file);
    return true;
}

bool SetupLogOpen() {
    std::lock_guard guard(logLock);
    return bool(logFile);
}

void Log(std::string_view text) { WriteLine(WideFromGbk(text)); }

void Log(std::wstring_view text) { WriteLine(text); }

void LogResult(std::string_view what, uint32_t systemError) {
    std::string text(what);
    text += systemError == 0 ? ": ok" : ": failed, system error " + std::to_string(systemError);
    Log(text);
}

}  // namespace zorv
