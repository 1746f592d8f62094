#include "runtime/runtime.h"

#include "runtime/gbk.h"

namespace zorv {

ProgramPath SplitProgramPath(std::string_view fullPath) {
    std::size_t slash = FindLastGbkChar(fullPath, '\\');
    if (slash == std::string_view::npos) return {std::string(), std::string(fullPath)};
    return {std::string(fullPath.substr(0, slash)), std::string(fullPath.substr(slash + 1))};
}

}  // namespace zorv
