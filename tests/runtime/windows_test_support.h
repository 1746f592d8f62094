#pragma once
// Helpers of the Windows runtime tests: scratch folders, file contents, and
// the child program (runtime_child_win32.cpp) run with its output captured.
#include <windows.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "runtime/codepage_win32.h"

namespace zorv::testing {

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool Exists(std::string_view gbkPath) { return Exists(WideFromGbk(gbkPath)); }

inline std::string ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(unreadable)";
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}
inline std::string ReadWholeFile(std::string_view gbkPath) { return ReadWholeFile(WideFromGbk(gbkPath)); }

inline bool PutFile(const std::wstring& path, std::string_view bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    return CloseHandle(file) && ok;
}
inline bool PutFile(std::string_view gbkPath, std::string_view bytes) { return PutFile(WideFromGbk(gbkPath), bytes); }

// Deletes a tree whatever its attributes (the cleanup of the tests, which
// must not depend on the command under test).
inline void ForceDelete(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") ForceDelete(path + L"\\" + name);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

// A fresh empty folder below the temporary folder, deleted afterwards.  The
// name holds Chinese characters, so every test also runs on non-ASCII paths.
class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view gbkName) {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        wide_ = std::wstring(temp) + WideFromGbk(gbkName) + L"-" + std::to_wstring(GetCurrentProcessId());
        ForceDelete(wide_);
        CreateDirectoryW(wide_.c_str(), nullptr);
        gbk_ = GbkFromWide(wide_);
    }
    ~ScratchFolder() { ForceDelete(wide_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return gbk_; }
    const std::wstring& wide() const { return wide_; }
    // A GBK path inside the folder.
    std::string operator/(std::string_view name) const { return gbk_ + "\\" + std::string(name); }

private:
    std::wstring wide_;
    std::string gbk_;
};

// The build passes the host path of the child program; Wine sees the host
// root as drive Z:.
inline std::wstring ChildProgramPath() {
    std::wstring path = L"Z:";
    for (char c : std::string(ZORV_RUNTIME_CHILD)) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return path;
}

struct ChildResult {
    bool started = false;
    DWORD exitCode = STILL_ACTIVE;
    std::string output;  // standard output, GBK bytes
};

// Runs the program with the command line arguments, collects its standard
// output and waits for its end (up to waitMs).  While it runs, watcher (when
// given) is called every 50 ms with the process id until it returns true.
template <typename Watcher>
ChildResult RunChildProgram(const std::wstring& exe, const std::wstring& arguments, DWORD waitMs, Watcher watcher) {
    ChildResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = nullptr;
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    result.started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                    &startup, &process) != 0;
    CloseHandle(writeEnd);
    if (!result.started) {
        CloseHandle(readEnd);
        return result;
    }
    // The output is read on a thread of its own so that a full pipe never
    // blocks the child while the watcher runs.
    std::string output;
    std::thread reader([&] {
        char buffer[1024];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
    });
    bool watching = true;
    for (DWORD waited = 0; waited < waitMs; waited += 50) {
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
        if (watching && watcher(process.dwProcessId)) watching = false;
    }
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    // Every write end is closed once the child has ended.
    reader.join();
    CloseHandle(readEnd);
    result.output = output;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

inline ChildResult RunChild(const std::wstring& arguments, DWORD waitMs = 30000) {
    return RunChildProgram(ChildProgramPath(), arguments, waitMs, [](DWORD) { return true; });
}

// -1 as the process sees it.
inline constexpr DWORD kFatalExitCode = static_cast<DWORD>(-1);

}  // namespace zorv::testing
