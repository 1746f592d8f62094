#include <windows.h>

#include "runtime/commands_win32.h"
#include "runtime/runtime.h"

namespace zorv {

OsVersion ReadPebVersion() {
    // The OS version fields follow the documented part of the block; their
    // offsets are fixed since Windows NT 4 (32-bit) and XP x64 (64-bit).
    // (Read directly: GCC's segment-read intrinsics trip a false
    // array-bounds warning.)
#if defined(_WIN64)
    constexpr size_t kMajorOffset = 0x118, kMinorOffset = 0x11C;
    // GS:[0x60] holds the block's address in a 64-bit process.
    uintptr_t pebAddress = 0;
    asm volatile("movq %%gs:0x60, %0" : "=r"(pebAddress));
#else
    constexpr size_t kMajorOffset = 0xA4, kMinorOffset = 0xA8;
    // FS:[0x30] holds the block's address in a 32-bit process.
    uintptr_t pebAddress = 0;
    asm volatile("movl %%fs:0x30, %0" : "=r"(pebAddress));
#endif
    auto* peb = reinterpret_cast<const uint8_t*>(pebAddress);
    OsVersion version;
    version.major = *reinterpret_cast<const ULONG*>(peb + kMajorOffset);
    version.minor = *reinterpret_cast<const ULONG*>(peb + kMinorOffset);
    return version;
}

int32_t RunningWindowsVersion() {
    static const int32_t version = [] {
        OsVersion read = ReadPebVersion();
        return ComposeWindowsVersion(read.major, read.minor);
    }();
    return version;
}

}  // namespace zorv
