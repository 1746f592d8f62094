// The update: an older installation removed, the product downloaded, the
// installation finished and the product started.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "download/download.h"
#include "download/task.h"
#include "install/globals.h"
#include "install/install_rules.h"
#include "install/install_win32.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/exit.h"
#include "runtime/unique_handle_win32.h"
#include "ui/form_ids.h"
#include "ui/window_commands_win32.h"
#include "uninstall/uninstall_files_win32.h"

namespace zorv::install {

namespace ids = ui::ids;

namespace {

constexpr char kProductFile[] = "zorv.exe";
constexpr char kUninstallerFile[] = "卸载.exe";
constexpr char kLinkName[] = "Zorvane.lnk";
constexpr int32_t kTaskFlags = 0x1000;
constexpr int32_t kStopWaitMs = 15000;
constexpr int kRemovalPolls = 10;
constexpr uint64_t kProgressIntervalMs = 1000;

std::atomic<int32_t> retryCount{-1}, retryWaitMs{0};

// Bytes of the running task, summed from its reports, its file's length as
// the engine reported it (64-bit: a length is never cut), and when progress
// was last shown.
std::atomic<int64_t> bytesReceived{0};
std::atomic<int64_t> fileLength{0};
std::atomic<uint64_t> lastProgressTick{0};
// The links the shortcut step made, removed again when the install fails.
std::atomic<bool> desktopLinkMade{false}, startMenuLinkMade{false};

std::string FolderBoxText() { return ui::ReadTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption); }

// A find-first-file search on the exact path: an entry of the wanted kind.
bool EntryExists(std::string_view path, bool directory) {
    WIN32_FIND_DATAW found;
    UniqueFind search(FindFirstFileW(WideFromGbk(path).c_str(), &found));
    if (!search) return false;
    return ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == directory;
}

// The older installation's script run, then the folder deleted; false when
// the product file is still there afterwards (the user is told and shown
// the folder).
bool RemoveOldVersion(const std::string& folder) {
    std::string product = folder + kProductFile;
    ShowStatus("正在卸载旧版本文件", kStatusNotice, 100);
    uninstall::WriteUninstallScript(folder);
    uninstall::StartUninstallScript(folder);
    for (int poll = 0; poll < kRemovalPolls && EntryExists(product, false); ++poll) PumpingWait(1000);
    RemoveDirectoryTree(folder);
    if (EntryExists(product, false)) {
        CopyFileOver(OwnProgramPath(), folder + kUninstallerFile);
        ShowStatus("卸载失败，已经为你打开安装程序目录，请运行卸载.exe", kStatusNotice, 10);
        ShellRun(2, folder);
        return false;
    }
    PumpingWait(2000);
    return true;
}

void StartProductDownload(const std::string& folder) {
    ProgramGlobals& g = Globals();
    std::lock_guard lock(g.DownloadLock);
    if (g.Quitting.load() || !g.TheDownload) return;
    g.ProductFileName = kProductFile;
    TaskParam& param = *g.TaskDefaults;
    param.Flags = kTaskFlags;
    param.Url = g.ProductUrl;
    param.StopWaitMs = kStopWaitMs;
    param.ConnectionCount = 1;
    param.TargetPath = folder + g.ProductFileName;
    param.EventCallback = OnDownloadEvent;
    fileLength.store(0);
    bytesReceived.store(0);
    lastProgressTick.store(0);
    if (retryCount.load() >= 0) download::SetRetryPolicy({retryCount.load(), retryWaitMs.load()});
    if (!StartTask(*g.TheDownload, param)) {
        // Nothing will report the end of a task that never started.
        StartThread(FinishInstall);
        return;
    }
    GetResumeData(*g.TheDownload, g.ResumeBuffer);
}

void ShowProgress() {
    uint64_t now = GetTickCount64();
    uint64_t last = lastProgressTick.load();
    if (last != 0 && now - last < kProgressIntervalMs) return;
    if (!lastProgressTick.compare_exchange_strong(last, now)) return;
    std::string percent = ProgressPercentText(bytesReceived.load(), fileLength.load());
    if (percent.empty() || percent == "100") return;
    ShowStatus(ProgressMessage(percent), kStatusNotice, 100);
}

void WaitForShortcutStep() {
    while (Globals().InstallUiBusy.load() != 0) PumpingWait(100);
}

void RemoveLink(std::atomic<bool>& made, int32_t folderKind) {
    if (!made.exchange(false)) return;
    DeleteFileW(WideFromGbk(GetSpecialFolder(folderKind) + kLinkName).c_str());
}

// The download did not bring the whole product: nothing of the install is
// left that looks installed, and the installer stays open.
void FailInstall() {
    ShowStatus("获取下载文件失败，请尝试重启软件解决问题", kStatusFailure, 10);
    {
        ProgramGlobals& g = Globals();
        std::lock_guard lock(g.DownloadLock);
        if (g.TheDownload) StopTaskKeepResume(*g.TheDownload, g.ResumeBuffer);
    }
    WaitForShortcutStep();
    RemoveLink(desktopLinkMade, kDesktopFolder);
    RemoveLink(startMenuLinkMade, kStartMenuFolder);
}

// Where the product was downloaded to; empty once the exit routine freed
// the task parameters.
std::string ProductTargetPath() {
    ProgramGlobals& g = Globals();
    std::lock_guard lock(g.DownloadLock);
    return g.TaskDefaults ? g.TaskDefaults->TargetPath : std::string();
}

void InstallDownloadedProduct(const std::string& folder) {
    ShowStatus("正在安装文件", kStatusWorking, 100);
    PumpingWait(1000);
    uninstall::WriteUninstallScript(folder);
    uninstall::WriteUninstallInstructions(folder);
    CopyFileOver(OwnProgramPath(), folder + kUninstallerFile);
    WaitForShortcutStep();
    RegisterUninstall();
    // The product starts as the message says so; the message stays up for
    // a second while it comes up.
    ShowStatus("安装成功，启动软件", kStatusSuccess, 100);
    ShellRun(4, ProductTargetPath());
    PumpingWait(1000);
    QuitProgram();
}

// The product's own folder for a link target: the folder box without the
// separators the update added, then "\zorv.exe".
std::string LinkTarget() {
    std::string folder = FolderBoxText();
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder + "\\" + kProductFile;
}

bool Ticked(uint32_t unit) { return ui::ReadProperty(ids::OptionsPanel, unit, ids::prop::Checked) == 1; }

void MakeLink(uint32_t option, int32_t folderKind, std::atomic<bool>& made) {
    if (!Ticked(option)) return;
    std::string folder = GetSpecialFolder(folderKind);
    if (folder.empty()) return;
    if (CreateShortcut(folder + kLinkName, LinkTarget())) made.store(true);
}

}  // namespace

void SetDownloadRetries(int32_t count, int32_t waitMs) {
    retryWaitMs.store(waitMs);
    retryCount.store(count);
}

std::string OwnProgramPath() { return GetRunDirectory() + "\\" + GetExeFileName(); }

void CreateFolderPath(std::string_view path) {
    for (const std::string& folder : FolderPathSteps(path))
        if (!EntryExists(folder, true)) MakeDirectory(folder);
}

void RunUpdate() {
    std::string folder = FolderBoxText() + "\\";
    ui::WriteTextProperty(ids::OptionsPanel, ids::PathEdit, ids::prop::Caption, folder);
    CreateFolderPath(folder);
    if (EntryExists(folder + kProductFile, false)) {
        if (!RemoveOldVersion(folder)) return;
        // The removal took the folder with it; the download needs it back.
        CreateFolderPath(folder);
    }
    ShowStatus("准备下载文件中", kStatusNotice, 100);
    StartProductDownload(folder);
}

int32_t OnDownloadEvent(int32_t code, int32_t, int64_t value1, int64_t, int32_t) {
    switch (code) {
        case EV_FILE_LENGTH: fileLength.store(value1); break;
        case EV_BYTES_RECEIVED:
            bytesReceived.fetch_add(value1);
            ShowProgress();
            break;
        case EV_TASK_FINISHED:
            // A task stopped by the quit path leads nowhere: the globals are
            // about to go.
            if (!Globals().Quitting.load()) StartThread(FinishInstall);
            break;
        default: break;  // EV_TARGET_EXISTS: 0 lets the engine pick a free name
    }
    return 0;
}

void FinishInstall() {
    ProgramGlobals& g = Globals();
    if (g.Quitting.load()) return;
    std::string folder = FolderBoxText();
    if (!IsDownloadComplete(bytesReceived.load(), fileLength.load())) {
        DeleteFileW(WideFromGbk(ProductTargetPath()).c_str());
        if (g.RetriedOnce.exchange(1) == 0) {
            StartThread(RunUpdate);
            return;
        }
        FailInstall();
        return;
    }
    InstallDownloadedProduct(folder);
}

void CreateShortcuts(int a, int b) {
    if (a == 1 && b == 1) RecolourProgressShadow();
    PumpingWait(1000);
    MakeLink(ids::DesktopShortcutCheck, kDesktopFolder, desktopLinkMade);
    MakeLink(ids::StartMenuCheck, kStartMenuFolder, startMenuLinkMade);
    Globals().InstallUiBusy.store(0);
}

void RegisterUninstall() {
    constexpr char kKey[] = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\zorv\\";
    std::string folder = FolderBoxText();
    std::string product = folder + kProductFile, uninstaller = folder + kUninstallerFile;
    FileVersionInfo info;
    std::string version = ReadFileVersionInfo(product, info) && !info.fileVersion.empty() ? info.fileVersion : "1.0.0.0";
    auto text = [&](const char* name, const std::string& value) {
        WriteRegistryValue(kLocalMachine, std::string(kKey) + name, value);
    };
    text("DisplayName", "Zorvane");
    text("DisplayVersion", version);
    text("Publisher", "zorv");
    text("DisplayIcon", product);
    text("InstallLocation", DirectoryOf(product));
    text("UninstallString", "\"" + uninstaller + "\"");
    text("QuietUninstallString", "\"" + uninstaller + "\" /S");
    WriteRegistryValue(kLocalMachine, std::string(kKey) + "NoModify", int32_t(1));
    WriteRegistryValue(kLocalMachine, std::string(kKey) + "NoRepair", int32_t(1));
}

void QuitProgram() {
    ProgramGlobals& g = Globals();
    g.Quitting.store(true);
    auto stop = [&g] {
        std::lock_guard lock(g.DownloadLock);
        if (g.TheDownload) StopTaskKeepResume(*g.TheDownload, g.ResumeBuffer, 2);
    };
    // A stop waits for the engine's threads, which may be writing to the
    // windows: the UI thread keeps carrying their writes out meanwhile.
    if (IsUiThread()) RunPumping(stop);
    else stop();
    ExitProgram(0);
}

}  // namespace zorv::install
