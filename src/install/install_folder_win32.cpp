// The install folder on disk: made with the access of a program folder,
// and never reached through a link.
#include <windows.h>

#include <aclapi.h>
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
    PACL Dacl() const {
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        if (!descriptor_ || !GetSecurityDescriptorDacl(descriptor_, &present, &dacl, &defaulted) || !present)
            return nullptr;
        return dacl;
    }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

// The folder opened as itself (a link there is opened as the link), with
// the rights to change its owner and access; no one may delete or rename
// it while the handle is open.
UniqueFile OpenFolderToClaim(const std::string& folder) {
    return UniqueFile(CreateFileW(WideFromGbk(folder).c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// An existing folder may have been made by anyone who could write where it
// lies (a drive's root lets every signed-in user): whoever owns a folder
// may change its access, so the folder is given to the administrators and
// its access replaced, through the handle that will be held.  A link, or a
// folder that cannot be claimed, is no install folder.
UniqueFile ClaimFolder(const std::string& folder, ProgramFolderDescriptor& access) {
    UniqueFile handle = OpenFolderToClaim(folder);
    if (!handle) {
        LogResult("open folder " + folder + " to claim it", GetLastError());
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.get(), &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        Log("refused: " + folder + " is no folder of its own (a link, or not a folder)");
        return {};
    }
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    PACL dacl = access.Dacl();
    DWORD result = ERROR_INVALID_SECURITY_DESCR;
    if (dacl && CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize))
        result = SetSecurityInfo(handle.get(), SE_FILE_OBJECT,
                                 OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                     PROTECTED_DACL_SECURITY_INFORMATION,
                                 administrators, nullptr, dacl, nullptr);
    LogResult("claim folder " + folder + " (owner Administrators, the access of a program folder)", result);
    if (result != ERROR_SUCCESS) return {};
    return handle;
}

}  // namespace

std::string LinkOnInstallPath(std::string_view folder) {
    for (const std::string& step : FolderPathSteps(folder)) {
        DWORD attributes = Attributes(step);
        if (attributes == INVALID_FILE_ATTRIBUTES) return {};  // from here on the install makes the folders
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return step;
    }
    return {};
}

UniqueFile CreateInstallFolder(std::string_view folder) {
    ProgramFolderDescriptor access;
    std::vector<std::string> steps = FolderPathSteps(folder);
    for (const std::string& step : steps) {
        if (IsFolder(Attributes(step))) continue;
        bool made = CreateDirectoryW(WideFromGbk(step).c_str(), access.get()) != FALSE;
        LogResult("make folder " + step + " (SYSTEM and Administrators full control, Users read and execute)",
                  made ? 0 : GetLastError());
    }
    if (steps.empty() || !IsFolder(Attributes(steps.back()))) return {};
    return ClaimFolder(steps.back(), access);
}

}  // namespace zorv::install
