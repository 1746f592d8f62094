#include "download/target_name.h"

#include <cctype>

#include "download/url.h"

namespace zorv::download {

const char kFallbackFileName[] = "download.bin";

namespace {

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

}  // namespace

bool NamesFolder(const std::string& path) { return !path.empty() && IsPathSeparator(path.back()); }

std::string UsableServerName(const std::string& name) { return IsSafeFileName(name) ? name : std::string(); }

std::string NameFromRequestPath(const std::string& requestPath) {
    size_t slash = requestPath.rfind('/');
    // Cut first, decode after: an encoded "/" or "\" then shows in the name
    // and makes it unsafe instead of moving the cut.
    std::string name = PercentDecode(slash == std::string::npos ? requestPath : requestPath.substr(slash + 1));
    return IsSafeFileName(name) ? name : std::string(kFallbackFileName);
}

std::optional<std::string> NextAutoName(const std::string& path) {
    size_t separator = LastSeparator(path);
    std::string folder = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    size_t dot = name.find('.');
    std::string stem = name.substr(0, dot);
    std::string rest = dot == std::string::npos ? std::string() : name.substr(dot);
    int number = 1;
    size_t open = stem.rfind('(');
    if (!stem.empty() && stem.back() == ')' && open != std::string::npos) {
        size_t digits = stem.size() - open - 2;
        bool numbered = digits >= 1 && digits <= 2;
        for (size_t i = open + 1; numbered && i + 1 < stem.size(); ++i)
            numbered = std::isdigit(static_cast<unsigned char>(stem[i])) != 0;
        if (numbered) {
            number = LeadingNumber(stem, open + 1) + 1;
            stem.resize(open);
        }
    }
    if (number >= 100) return std::nullopt;
    return folder + stem + "(" + std::to_string(number) + ")" + rest;
}

}  // namespace zorv::download
