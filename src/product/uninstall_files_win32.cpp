#include "product/uninstall_files_win32.h"

#include <span>
#include <string>

#include "product/product_files.h"
#include "product/uninstall_texts.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"

namespace zorv::product {
namespace {

uint32_t WriteText(const std::wstring& path, std::string_view text) {
    DeleteBeforeWriting(path);
    SetLastError(ERROR_SUCCESS);
    if (WriteBytesToFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()))) return 0;
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}

// The folder (as the system gives it, or as typed) joined with a file name.
std::wstring InFolder(const std::wstring& folder, const char* name) {
    std::wstring path = folder;
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path + L"\\" + WideFromGbk(name);
}

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH];
    UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// The interpreter by its full path, so that no cmd.exe elsewhere is taken;
// /d leaves out the AutoRun commands of the registry; /e:on and /v:off set
// what the registry could otherwise change (with delayed expansion on, a
// "!" of a folder's name would vanish from the folder the script deletes);
// /s with the outer quotes keeps the script's own quotes whatever its path
// holds (a "(x86)" would otherwise make the interpreter strip them).  The
// path itself reaches the interpreter through the variable kScriptVariable:
// a "%NAME%" in a folder's name would be expanded on a command line, and a
// variable's value is expanded no further.
constexpr wchar_t kScriptVariable[] = L"ZORV_UNINSTALL_SCRIPT";

std::wstring ScriptCommandLine(const std::wstring& interpreter) {
    return L"\"" + interpreter + L"\" /d /e:on /v:off /s /c \"\"%" + kScriptVariable + L"%\"\"";
}

// A job whose last handle's closing ends every process in it.
UniqueHandle NewEndingJob() {
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        job.reset();
    return job;
}

}  // namespace

void DeleteBeforeWriting(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

uint32_t WriteUninstallScript(const std::wstring& folder) {
    return WriteText(InFolder(folder, kUninstallScriptName), UninstallScriptText());
}

uint32_t WriteUninstallInstructions(const std::wstring& folder) {
    return WriteText(InFolder(folder, kUninstallInstructionsName), UninstallInstructionsText());
}

bool StartedScript::Resume() {
    if (!thread) return bool(process);
    bool resumed = ResumeThread(thread.get()) != DWORD(-1);
    thread.reset();
    return resumed;
}

void StartedScript::End() {
    if (job) TerminateJobObject(job.get(), 1);
    job.reset();
}

std::optional<StartedScript> StartUninstallScript(const std::wstring& folder, unsigned options, uint32_t* error) {
    auto fail = [error](DWORD code) -> std::optional<StartedScript> {
        if (error) *error = code;
        return std::nullopt;
    };
    std::wstring system = SystemFolder();
    if (system.empty()) return fail(GetLastError());
    std::wstring commandLine = ScriptCommandLine(system + L"\\cmd.exe");
    if (!SetEnvironmentVariableW(kScriptVariable, InFolder(folder, kUninstallScriptName).c_str()))
        return fail(GetLastError());
    // The interpreter looks for the commands the script names (net,
    // taskkill, reg, timeout, powershell) in its working folder first: that
    // is System32, not a folder a user may write to, and not the folder the
    // script deletes.
    const std::wstring& directory = system;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started{};
    // Suspended in any case: a contained script joins its job before it runs.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                        nullptr, directory.c_str(), &startup, &started))
        return fail(GetLastError());
    StartedScript script;
    script.process.reset(started.hProcess);
    script.thread.reset(started.hThread);
    if (options & kEndWithInstaller) {
        // Where the installer already runs in a job that allows no other
        // (Windows 7), the script runs uncontained and is only waited for.
        UniqueHandle job = NewEndingJob();
        if (job && AssignProcessToJobObject(job.get(), script.process.get())) script.job = std::move(job);
    }
    if (!(options & kStartSuspended) && !script.Resume()) {
        DWORD code = GetLastError();
        TerminateProcess(script.process.get(), 1);
        return fail(code);
    }
    return script;
}

}  // namespace zorv::product
