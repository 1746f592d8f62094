// The install folder on disk: made with the access of a program folder,
// and never reached through a link.
#include <windows.h>

#include <sddl.h>

#include "install/install_rules.h"
#include "install/install_steps_win32.h"
#include "runtime/codepage_win32.h"
#include "runtime/setup_log_win32.h"

namespace zorv::install {
namespace {

// SYSTEM and Administrators full control, Users read and execute, passed
// on to everything below; nothing inherited from the folder above, whose
// access (a drive root lets every signed-in user change what it holds) is
// no program folder's.
constexpr wchar_t kProgramFolderAccess[] = L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

DWORD Attributes(const std::string& folder) { return GetFileAttributesW(WideFromGbk(folder).c_str()); }

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Owns the descriptor that ConvertStringSecurityDescriptorToSecurityDescriptorW made.
class ProgramFolderDescriptor {
public:
    ProgramFolderDescriptor() {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(kProgramFolderAccess, SDDL_REVISION_1, &descriptor_,
                                                             nullptr);
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
    }
    ~ProgramFolderDescriptor() { LocalFree(descriptor_); }
    ProgramFolderDescriptor(const ProgramFolderDescriptor&) = delete;
    ProgramFolderDescriptor& operator=(const ProgramFolderDescriptor&) = delete;
    SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

std::string LinkOnInstallPath(std::string_view folder) {
    for (const std::string& step : FolderPathSteps(folder)) {
        DWORD attributes = Attributes(step);
        if (attributes == INVALID_FILE_ATTRIBUTES) return {};  // from here on the install makes the folders
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return step;
    }
    return {};
}

bool CreateInstallFolder(std::string_view folder) {
    ProgramFolderDescriptor access;
    std::vector<std::string> steps = FolderPathSteps(folder);
    for (const std::string& step : steps) {
        if (IsFolder(Attributes(step))) continue;
        bool made = CreateDirectoryW(WideFromGbk(step).c_str(), access.get()) != FALSE;
        LogResult("make folder " + step + " (SYSTEM and Administrators full control, Users read and execute)",
                  made ? 0 : GetLastError());
    }
    return !steps.empty() && IsFolder(Attributes(steps.back()));
}

}  // namespace zorv::install
