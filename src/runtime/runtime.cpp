#include "runtime/runtime.h"

#include "runtime/gbk.h"

namespace zorv {

ProgramPath SplitProgramPath(std::string_view fullPath) {
    std::size_t slash = FindLastGbkChar(fullPath, '\\');
    if (slash == std::string_view::npos) return {std::string(), std::string(fullPath)};
    return {std::string(fullPath.substr(0, slash)), std::string(fullPath.substr(slash + 1))};
}

int32_t ComposeWindowsVersion(uint32_t major, uint32_t minor) {
    return static_cast<int32_t>(((major & 0xFF) << 8) | (minor & 0xFF));
}

}  // namespace zorv
