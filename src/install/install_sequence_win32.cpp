// The install sequence: one worker runs the steps of one plan in order and
// acts on each step's result.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "download/download.h"
#include "install/install_rules.h"
#include "install/install_state.h"
#include "install/install_steps_win32.h"
#include "install/install_win32.h"
#include "install/signature_win32.h"
#include "product/product_files.h"
#include "product/uninstall_texts.h"
#include "product/uninstall_files_win32.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/setup_log.h"
#include "runtime/setup_log_win32.h"
#include "runtime/unique_handle_win32.h"
#include "ui/form_ids.h"
#include "ui/status_strip_win32.h"
#include "ui/waits_win32.h"
#include "ui/window_commands_win32.h"

namespace zorv::install {

namespace ids = ui::ids;

namespace {

// How long the older installation's script may take before what is left
// of it is ended.
constexpr uint32_t kOldScriptWaitMs = 10000;
constexpr uint32_t kInstallingPauseMs = 1000;
constexpr uint32_t kStartedPauseMs = 1000;
constexpr int kFailureSeconds = 10;

// A failed step: what the user is shown, and the exit code of an install
// without a window.
struct Failure {
    const char* message;
    InstallExitCode code;
};
constexpr Failure kDownloadFailed{"获取下载文件失败，请尝试重启软件解决问题", kExitDownloadFailed};
constexpr Failure kFolderFailed{"安装失败，无法写入安装目录中的文件，请检查安装目录后重试", kExitFolderRefused};
constexpr Failure kFilesFailed{"安装失败，无法写入安装目录中的文件，请检查安装目录后重试", kExitStepFailed};
constexpr Failure kLinksFailed{"安装失败，无法创建快捷方式", kExitStepFailed};
constexpr Failure kRegistrationFailed{"安装失败，无法写入系统的卸载信息", kExitStepFailed};
constexpr Failure kSignatureFailed{"安装失败，下载的文件未通过数字签名校验，已删除", kExitProductNotTrusted};
constexpr Failure kFolderIsLink{"安装失败，安装路径中有联接点或符号链接，请选择其他安装目录", kExitFolderRefused};
constexpr char kStartFailed[] = "安装完成，但软件未能启动，请从桌面或开始菜单启动";

#ifndef ZORV_PRODUCT_SIGNER
#define ZORV_PRODUCT_SIGNER ""
#endif

std::string HexResult(long result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// A find-first-file search on the exact path: an entry of the wanted kind.
bool EntryExists(std::string_view path, bool directory) {
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(WideFromGbk(path).c_str(), &found));
    if (!search) return false;
    return ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == directory;
}

uint32_t CopyInstallerTo(const std::string& target) {
    product::DeleteBeforeWriting(WideFromGbk(target));
    if (CopyFileW(OwnProgramPathWide().c_str(), WideFromGbk(target).c_str(), FALSE)) return 0;
    return GetLastError();
}

// A file written for the install, logged with its result.
bool Written(std::string_view path, uint32_t error) {
    LogResult("write " + std::string(path), error);
    return error == 0;
}

void OpenFolderWindow(const std::string& folder) { ShellRun(kShellExplore, folder); }

// A pause that lets the user read the strip; an install without a window
// has nothing to read.
void PauseFor(const InstallPlan& plan, uint32_t milliseconds) {
    if (!plan.silent) ui::PumpingWait(milliseconds);
}

// The older installation's own script run and waited for, then the folder
// deleted; false when the product file is still there afterwards (the user
// is told and shown the folder).
bool RemoveOldVersion(const InstallPlan& plan) {
    Log("older version found: " + plan.productPath);
    ui::ShowStatus("正在卸载旧版本文件", ui::kStatusNotice, 100);
    uint32_t written = product::WriteUninstallScript(WideFromGbk(plan.folder));
    LogResult("write its uninstall script", written);
    // The script ends with waits of its own and a late fallback removal of
    // its folder: it must be over before the folder is made again.  Only
    // the script just written is run: a script that could not be written
    // over is whatever lay in the folder, and the folder is removed here
    // without it.
    uint32_t error = 0;
    if (written != 0) {
        Log("its uninstall script is not run: the folder is removed without it");
    } else if (auto script =
                   product::StartUninstallScript(WideFromGbk(plan.folder), product::kEndWithInstaller, &error)) {
        bool ended = ui::WaitPumping(script->process.get(), kOldScriptWaitMs);
        Log(ended ? "its uninstall script ended" : "its uninstall script ended by the installer after 10 s");
        script->End();
    } else {
        LogResult("start its uninstall script", error);
    }
    RemoveDirectoryTree(plan.folder);
    if (!EntryExists(plan.productPath, false)) {
        Log("older version removed");
        return true;
    }
    Log("older version could not be removed: " + plan.productPath + " is still there");
    CopyInstallerTo(plan.uninstallerPath);
    ui::ShowStatus("卸载失败，已经为你打开安装程序目录，请运行卸载.exe", ui::kStatusNotice, 10);
    if (!plan.silent) OpenFolderWindow(plan.folder);
    return false;
}

// The files this install wrote into the folder, taken back when it fails.
class WrittenFiles {
public:
    void Add(std::string path) { paths_.push_back(std::move(path)); }
    void RemoveAll() {
        for (const std::string& path : paths_) DeleteFileW(WideFromGbk(path).c_str());
        paths_.clear();
    }

private:
    std::vector<std::string> paths_;
};

// The uninstall files and the uninstaller; false at the first that could
// not be written.
bool WriteUninstallFiles(const InstallPlan& plan, WrittenFiles& written) {
    std::string script = product::FileInFolder(plan.folder, product::kUninstallScriptName);
    if (!Written(script, product::WriteUninstallScript(WideFromGbk(plan.folder)))) return false;
    written.Add(script);
    std::string instructions = product::FileInFolder(plan.folder, product::kUninstallInstructionsName);
    if (!Written(instructions, product::WriteUninstallInstructions(WideFromGbk(plan.folder)))) return false;
    written.Add(instructions);
    if (!Written(plan.uninstallerPath, CopyInstallerTo(plan.uninstallerPath))) return false;
    written.Add(plan.uninstallerPath);
    return true;
}

void StopDownloadKeepingResume() {
    ProductDownloadState& d = ProductDownload();
    std::lock_guard lock(d.Lock);
    if (d.TheDownload) StopTaskKeepResume(*d.TheDownload, d.ResumeBuffer);
}

// Nothing of the install left that looks installed: the links once the
// shortcut step has run, the entry, the files it wrote.
void TakeBackInstall(WrittenFiles& written) {
    StopDownloadKeepingResume();
    RemoveMadeLinks(EndShortcutStep());
    RemoveUninstallRegistration();
    written.RemoveAll();
    Log("what the install made is taken back; the installer stays open");
}

// A step failed: its message, and the install taken back.
InstallExitCode FailInstall(const Failure& failure, WrittenFiles& written) {
    Log("install failed: " + std::string(failure.message));
    ui::ShowStatus(failure.message, ui::kStatusFailure, kFailureSeconds);
    TakeBackInstall(written);
    return failure.code;
}

void LogDownload(const DownloadOutcome& outcome, AfterDownload next) {
    if (!outcome.started) Log("download could not be started");
    else Log("download ended: " + std::to_string(outcome.received) + " bytes of " +
             (outcome.fileLength > 0 ? std::to_string(outcome.fileLength) : std::string("an unknown length")));
    switch (next) {
        case AfterDownload::Install: Log("download complete"); break;
        case AfterDownload::Retry: Log("download incomplete: trying once more"); break;
        case AfterDownload::Fail: Log("download incomplete after the last attempt"); break;
        case AfterDownload::Stop: Log("download stopped: the program is ending"); break;
    }
}

// The older version removed and the product downloaded, once more when
// something is missing; kExitInstalled when the install goes on.
// Nothing is written, deleted or made through a link: it would reach a
// folder elsewhere, which a user may have chosen for the installer to
// change.  The path is looked at before the folders are made and again
// once they all exist (one could have been put in place meanwhile); the
// claimed folder, held from then on, keeps the path as it was checked.
bool LinkRefused(const InstallPlan& plan) {
    std::string link = LinkOnInstallPath(plan.folder);
    if (!link.empty()) Log("refused: " + link + " is a link (a junction, a symbolic link or a mount point)");
    return !link.empty();
}

InstallExitCode MakeInstallFolder(const InstallPlan& plan, WrittenFiles& written, UniqueFile& held) {
    held.reset();
    bool linked = LinkRefused(plan);
    if (!linked) {
        held = CreateInstallFolder(plan.folder);
        linked = LinkRefused(plan);
    }
    if (linked) {
        held.reset();
        return FailInstall(kFolderIsLink, written);
    }
    if (!held) return FailInstall(kFolderFailed, written);
    return kExitInstalled;
}

InstallExitCode FetchProduct(InstallPlan& plan, WrittenFiles& written, UniqueFile& folder) {
    for (;;) {
        BeginNextAttempt(plan);
        Log("attempt " + std::to_string(plan.attempt) + ", install folder " + plan.folder);
        ui::WriteTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption, plan.folder);
        if (InstallExitCode made = MakeInstallFolder(plan, written, folder); made != kExitInstalled) return made;
        if (EntryExists(plan.productPath, false)) {
            // The removal deletes the folder itself: it is let go meanwhile.
            folder.reset();
            if (!RemoveOldVersion(plan)) {
                TakeBackInstall(written);
                return kExitOldVersionKept;
            }
            // The removal took the folder with it; the download needs it back.
            if (InstallExitCode made = MakeInstallFolder(plan, written, folder); made != kExitInstalled) return made;
        }
        ui::ShowStatus("准备下载文件中", ui::kStatusNotice, 100);
        // A partial file of an earlier run is no part of this download.
        DeleteFileW(WideFromGbk(plan.downloadPath).c_str());
        Log("download " + LoggableUrl(plan.productUrl) + " to " + plan.downloadPath);
        DownloadOutcome outcome = DownloadProduct(plan);
        AfterDownload next = JudgeDownload(outcome, plan.attempt);
        LogDownload(outcome, next);
        if (next == AfterDownload::Stop) return kExitDownloadFailed;
        if (next == AfterDownload::Install) return kExitInstalled;
        DeleteFileW(WideFromGbk(plan.downloadPath).c_str());
        if (next == AfterDownload::Fail) return FailInstall(kDownloadFailed, written);
    }
}

// The downloaded file, checked while nobody can write to it, moved over the
// product file; the handle stays with the caller until the product has
// started, so that the file started is the file checked.  A failure's code
// (with the install taken back) when it is refused or cannot be moved.
InstallExitCode PlaceVerifiedProduct(const InstallPlan& plan, WrittenFiles& written, UniqueFile& held) {
    std::wstring download = WideFromGbk(plan.downloadPath);
    held.reset(CreateFileW(download.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!held) {
        LogResult("open " + plan.downloadPath, GetLastError());
        return FailInstall(kFilesFailed, written);
    }
#ifdef ZORV_UNSAFE_NO_SIGNATURE_CHECK
    Log("signature: not checked (this installer was built with the unsafe setting that turns the check off)");
#else
    static const SignerPins pins = ParseSignerPins(ZORV_PRODUCT_SIGNER);
    SignatureVerdict verdict = CheckProductSignature(held.get(), download, pins);
    Log("signature of " + plan.downloadPath + ": " + verdict.reason +
        (verdict.signer.empty() ? std::string() : ", signer certificate SHA-256 " + verdict.signer));
    if (!verdict.trusted) {
        held.reset();
        DeleteFileW(download.c_str());
        return FailInstall(kSignatureFailed, written);
    }
#endif
    if (!MoveFileExW(download.c_str(), WideFromGbk(plan.productPath).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        LogResult("move it to " + plan.productPath, GetLastError());
        held.reset();
        DeleteFileW(download.c_str());
        return FailInstall(kFilesFailed, written);
    }
    LogResult("move it to " + plan.productPath, 0);
    written.Add(plan.productPath);
    return kExitInstalled;
}

// The product started as the message says so; the message stays up for a
// second while it comes up.
void StartProduct(const InstallPlan& plan) {
    ui::ShowStatus("安装成功，启动软件", ui::kStatusSuccess, 100);
    ProductStart start = StartProductAsUser(plan.productPath, plan.folder);
    switch (start.way) {
        case ProductStart::kThroughShell: Log("start " + plan.productPath + ": ok, through the desktop shell"); break;
        case ProductStart::kDirectly:
            Log("start " + plan.productPath + ": ok, directly (no desktop shell to ask: " + HexResult(start.shellResult) +
                "), with the installer's rights");
            break;
        case ProductStart::kFailed:
            Log("start " + plan.productPath + ": failed, shell " + HexResult(start.shellResult) + ", system error " +
                std::to_string(start.directResult));
            break;
    }
    if (start.way != ProductStart::kFailed) {
        PauseFor(plan, kStartedPauseMs);
        return;
    }
    // Installed and registered all the same: only the start is missing.
    ui::ShowStatus(kStartFailed, ui::kStatusFailure, kFailureSeconds);
    PauseFor(plan, kFailureSeconds * 1000);
}

}  // namespace

InstallExitCode RunInstall(InstallPlan plan) {
    WrittenFiles written;
    UniqueFile folder;
    if (InstallExitCode fetched = FetchProduct(plan, written, folder); fetched != kExitInstalled) return fetched;
    UniqueFile verified;
    if (InstallExitCode placed = PlaceVerifiedProduct(plan, written, verified); placed != kExitInstalled) return placed;
    ui::ShowStatus("正在安装文件", ui::kStatusWorking, 100);
    PauseFor(plan, kInstallingPauseMs);
    if (!WriteUninstallFiles(plan, written)) return FailInstall(kFilesFailed, written);
    if (WaitForShortcutStep().failed) return FailInstall(kLinksFailed, written);
    if (RegisterUninstall(plan) != 0) return FailInstall(kRegistrationFailed, written);
    Log("installed");
    if (plan.startProduct) StartProduct(plan);
    else Log("the product is not started (an install without a window starts it only with /START)");
    return kExitInstalled;
}

}  // namespace zorv::install
