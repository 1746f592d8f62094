#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "small_drive.h"

namespace zorv::download::testing {

SmallDrive::SmallDrive(Kind kind) {
    std::string folder = (std::filesystem::temp_directory_path() / "zorv_drive_XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        why_ = std::string("no folder to mount on: ") + std::strerror(errno);
        return;
    }
    std::string options = "size=" + std::to_string(kTinyBytes) + ",mode=0755";
    unsigned long flags = kind == kReadOnly ? MS_RDONLY : 0;
    if (mount("tmpfs", folder.c_str(), "tmpfs", flags, options.c_str()) != 0) {
        why_ = std::string("a tmpfs of its own needs a process that may mount (root): ") + std::strerror(errno);
        std::filesystem::remove(folder);
        return;
    }
    mountPoint_ = folder;
    folder_ = folder + "/";
}

SmallDrive::~SmallDrive() {
    if (mountPoint_.empty()) return;
    umount2(mountPoint_.c_str(), MNT_DETACH);
    std::error_code ignored;
    std::filesystem::remove(mountPoint_, ignored);
}

}  // namespace zorv::download::testing
