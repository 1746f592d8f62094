#include "install/install_plan.h"

#include "install/install_rules.h"
#include "product/product_files.h"

namespace zorv::install {

InstallPlan MakeInstallPlan(std::string_view completedFolder, bool desktopLink, bool startMenuLink,
                            std::string_view productUrl) {
    InstallPlan plan;
    plan.folder = std::string(completedFolder);
    plan.linkTarget = product::FileInFolder(completedFolder, product::kProductFile);
    plan.desktopLink = desktopLink;
    plan.startMenuLink = startMenuLink;
    plan.productUrl = std::string(productUrl);
    return plan;
}

void BeginNextAttempt(InstallPlan& plan) {
    plan.folder += '\\';
    plan.productPath = plan.folder + product::kProductFile;
    plan.downloadPath = plan.folder + product::kProductDownloadFile;
    plan.uninstallerPath = plan.folder + product::kUninstallerFile;
    ++plan.attempt;
}

AfterDownload JudgeDownload(const DownloadOutcome& outcome, int attempt) {
    if (outcome.stoppedByQuit) return AfterDownload::Stop;
    if (outcome.started && IsDownloadComplete(outcome.received, outcome.fileLength)) return AfterDownload::Install;
    return attempt < kDownloadAttempts ? AfterDownload::Retry : AfterDownload::Fail;
}

}  // namespace zorv::install
