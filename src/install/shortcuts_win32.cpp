// The shortcut step: when the progress panel's animation ends, the ticked
// links of the running install are made on the UI thread, and the install
// sequence, which waits for it before it registers the product, is told.
#include <windows.h>

#include <mutex>

#include "install/install_steps_win32.h"
#include "install/install_win32.h"
#include "product/product_files.h"
#include "runtime/codepage_win32.h"
#include "runtime/commands_win32.h"
#include "runtime/setup_log_win32.h"
#include "ui/form_ids.h"
#include "ui/waits_win32.h"
#include "ui/window_commands_win32.h"

namespace zorv::install {
namespace {

constexpr uint32_t kPauseBeforeLinksMs = 1000;

struct ShortcutStepState {
    std::mutex lock;
    bool prepared = false;
    std::string target;
    bool desktopLink = false, startMenuLink = false;
    // Without a window there is no animation to end: the step is due when
    // the install first waits for it, which is after an older version's
    // removal (whose script deletes the links of that name).
    bool dueWhenWaitedFor = false;
    bool due = false;
    ShortcutOutcome outcome;
};
ShortcutStepState step;

// Set once the step has run; made once and never closed.
HANDLE StepDone() {
    static HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

// The link in the folder of that kind; false when it was ticked and could
// not be made.
// The link's file in the folder of that kind, as the system names the
// folder (a user's folders may hold characters code page 936 lacks);
// empty when the system names none.
std::wstring LinkFile(int32_t folderKind) {
    std::wstring folder = GetSpecialFolderWide(folderKind);
    return folder.empty() ? folder : folder + WideFromGbk(product::kLinkName);
}

bool MakeLink(bool ticked, int32_t folderKind, const std::string& target, bool& made) {
    if (!ticked) return true;
    std::wstring link = LinkFile(folderKind);
    made = !link.empty() && CreateShortcut(link, WideFromGbk(target));
    Log(L"link " + link + L" to " + WideFromGbk(target) + (made ? L": ok" : L": failed"));
    return made;
}

void RemoveLink(bool made, int32_t folderKind) {
    if (!made) return;
    std::wstring link = LinkFile(folderKind);
    if (!link.empty()) DeleteFileW(link.c_str());
}

}  // namespace

void PrepareShortcutStep(const InstallPlan& plan) {
    std::lock_guard guard(step.lock);
    step.prepared = true;
    step.target = plan.linkTarget;
    step.desktopLink = plan.desktopLink;
    step.startMenuLink = plan.startMenuLink;
    step.dueWhenWaitedFor = plan.silent;
    step.due = false;
    step.outcome = {};
    ResetEvent(StepDone());
}

void RunShortcutStep(int a, int b) {
    if (a == 1 && b == 1) RecolourProgressShadow();
    ui::PumpingWait(kPauseBeforeLinksMs);
    std::lock_guard guard(step.lock);
    if (step.prepared) {
        ShortcutOutcome& outcome = step.outcome;
        bool desktop = MakeLink(step.desktopLink, kDesktopFolder, step.target, outcome.desktopMade);
        bool startMenu = MakeLink(step.startMenuLink, kStartMenuFolder, step.target, outcome.startMenuMade);
        outcome.failed = !desktop || !startMenu;
        step.prepared = false;
    }
    SetEvent(StepDone());
}

ShortcutOutcome WaitForShortcutStep() {
    {
        std::lock_guard guard(step.lock);
        if (step.dueWhenWaitedFor && !step.due) {
            step.due = true;
            ui::PostWindowEvent(ui::ids::ProgressPanel, ui::ids::InstallNotifier, 0, 0, false);
        }
    }
    ui::WaitPumping(StepDone());
    std::lock_guard guard(step.lock);
    return step.outcome;
}

ShortcutOutcome EndShortcutStep() {
    {
        std::lock_guard guard(step.lock);
        if (step.dueWhenWaitedFor && !step.due) {
            step.prepared = false;
            return {};
        }
    }
    return WaitForShortcutStep();
}

void RemoveMadeLinks(const ShortcutOutcome& made) {
    RemoveLink(made.desktopMade, kDesktopFolder);
    RemoveLink(made.startMenuMade, kStartMenuFolder);
}

}  // namespace zorv::install
