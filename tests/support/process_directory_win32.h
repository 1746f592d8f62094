#pragma once
// The current directories of running processes of one image name, read from
// their process parameters, so a test can see where a script was started.
#include <windows.h>

#include <tlhelp32.h>
#include <winternl.h>

#include <set>
#include <string>

namespace zorv::testing {

// The process's current directory, or empty when it cannot be read.
inline std::wstring CurrentDirectoryOf(DWORD processId) {
    using QueryFunction = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process || !query) return {};
    std::wstring directory;
    PROCESS_BASIC_INFORMATION basic{};
    // Offsets of the process parameters in the environment block and of the
    // current directory's DOS path in them, at this program's own width.
    constexpr size_t kParametersAt = sizeof(void*) == 8 ? 0x20 : 0x10;
    constexpr size_t kDirectoryAt = sizeof(void*) == 8 ? 0x38 : 0x24;
    void* parameters = nullptr;
    UNICODE_STRING path{};
    if (query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) == 0 &&
        ReadProcessMemory(process, static_cast<char*>(static_cast<void*>(basic.PebBaseAddress)) + kParametersAt,
                          &parameters, sizeof(parameters), nullptr) &&
        ReadProcessMemory(process, static_cast<char*>(parameters) + kDirectoryAt, &path, sizeof(path), nullptr) &&
        path.Length > 0 && path.Length < 2048) {
        directory.resize(path.Length / sizeof(wchar_t));
        if (!ReadProcessMemory(process, path.Buffer, directory.data(), path.Length, nullptr)) directory.clear();
    }
    CloseHandle(process);
    return directory;
}

// Watches for ms and collects the current directories of every process of
// that image name (case-insensitive) seen meanwhile.
inline std::set<std::wstring> DirectoriesOfProcessesNamed(const wchar_t* image, DWORD ms) {
    std::set<std::wstring> seen;
    for (DWORD waited = 0; waited < ms; waited += 20) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
            if (_wcsicmp(entry.szExeFile, image) != 0) continue;
            std::wstring directory = CurrentDirectoryOf(entry.th32ProcessID);
            if (!directory.empty()) seen.insert(directory);
        }
        CloseHandle(snapshot);
        Sleep(20);
    }
    return seen;
}

}  // namespace zorv::testing
