#pragma once
// Folders on file systems of their own for the disk-fault tests: one with
// 256 KiB of room and one that cannot be written.  Natively the test mounts
// a tmpfs itself (which needs root); in the Windows build they are drive
// letters that small-drives-run mapped onto such mounts before the program
// started.
#include <string>

namespace zorv::download::testing {

class SmallDrive {
public:
    enum Kind { kTiny, kReadOnly };
    static constexpr int kTinyBytes = 256 * 1024;

    explicit SmallDrive(Kind kind);
    ~SmallDrive();
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;

    // False when no such drive can be had; Why() then says why.
    bool Ready() const { return !folder_.empty(); }
    const std::string& Why() const { return why_; }
    // A file in the drive's top folder.
    std::string File(const std::string& name) const { return folder_ + name; }

private:
    std::string folder_;  // with its trailing separator
    std::string why_;
    std::string mountPoint_;  // natively: the folder this object mounted
};

}  // namespace zorv::download::testing
