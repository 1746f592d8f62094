#include "product/product_files.h"

#include <algorithm>

#include "runtime/gbk.h"

namespace zorv::product {
namespace {

constexpr bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Offset just after the last character that is no separator; a trail byte
// equal to a separator belongs to its character.
std::size_t EndOfLastNonSeparator(std::string_view path) {
    std::size_t end = 0;
    for (std::size_t index = 0; index < path.size(); index += GbkCharLength(path, index)) {
        if (!IsSeparator(path[index])) end = index + GbkCharLength(path, index);
    }
    return end;
}

std::size_t LastSeparator(std::string_view path) {
    std::size_t backslash = FindLastGbkChar(path, '\\'), slash = FindLastGbkChar(path, '/');
    if (backslash == std::string_view::npos) return slash;
    if (slash == std::string_view::npos) return backslash;
    return std::max(backslash, slash);
}

}  // namespace

std::string WithoutTrailingSeparators(std::string_view path) {
    return std::string(path.substr(0, EndOfLastNonSeparator(path)));
}

std::string FileInFolder(std::string_view folder, std::string_view name) {
    return WithoutTrailingSeparators(folder) + "\\" + std::string(name);
}

std::string DirectoryOf(std::string_view path) {
    std::size_t last = FindLastGbkChar(path, '\\');
    if (last == std::string_view::npos) return {};
    return std::string(path.substr(0, last + 1));
}

std::string LastComponent(std::string_view path) {
    std::size_t separator = LastSeparator(path);
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

bool IsProductFolder(std::string_view runDirectory) {
    return LastSeparator(runDirectory) != std::string_view::npos && LastComponent(runDirectory) == kShortName;
}

}  // namespace zorv::product
