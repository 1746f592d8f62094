#include <cstdlib>
#include <filesystem>
#include <string>

#include "small_drive.h"

namespace zorv::download::testing {

SmallDrive::SmallDrive(Kind kind) {
    const char* name = kind == kReadOnly ? "ZORV_READONLY_DRIVE" : "ZORV_TINY_DRIVE";
    const char* letter = std::getenv(name);
    if (letter == nullptr || *letter == '\0') {
        why_ = std::string(name) + " is not set: only small-drives-run maps that drive";
        return;
    }
    std::string folder = std::string(letter) + "\\";
    if (!std::filesystem::is_directory(folder)) {
        why_ = std::string(name) + " names " + letter + ", which is no usable drive";
        return;
    }
    folder_ = folder;
}

// The drive outlives the object (the wrapper maps it for the whole run):
// what a test wrote is removed, so the next one finds the room again.
SmallDrive::~SmallDrive() {
    if (folder_.empty()) return;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

}  // namespace zorv::download::testing
