#include "download/target_name.h"

#include <cctype>

#include "download/os_file.h"
#include "download/url.h"

namespace zorv::download {

const char kFallbackFileName[] = "download.bin";

namespace {

size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

bool IsAscii(const std::string& bytes) {
    for (unsigned char c : bytes)
        if (c >= 0x80) return false;
    return true;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                          : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        unsigned char second = length > 1 ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

// Single bytes below 0x80, or a lead byte 0x81-0xFE with a trail byte
// 0x40-0xFE other than 0x7F.
bool IsGbk(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) continue;
        if (c == 0x80 || c == 0xFF || i + 1 >= bytes.size()) return false;
        unsigned char trail = static_cast<unsigned char>(bytes[++i]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> ServerNameText(const std::string& bytes) {
    if (IsAscii(bytes)) return bytes;
    // Tried first: GBK bytes rarely form valid UTF-8, while the UTF-8 bytes
    // of Chinese text often pass as GBK pairs of other characters.
    if (IsUtf8(bytes)) return os::GbkFromUtf8(bytes);
    if (IsGbk(bytes)) return bytes;
    return std::nullopt;
}

bool NamesFolder(const std::string& path) { return !path.empty() && IsPathSeparator(path.back()); }

std::string UsableServerName(const std::string& name) {
    std::optional<std::string> text = ServerNameText(name);
    return text && IsSafeFileName(*text) ? *text : std::string();
}

std::string NameFromRequestPath(const std::string& requestPath) {
    size_t slash = requestPath.rfind('/');
    // Cut first, decode after: an encoded "/" or "\" then shows in the name
    // and makes it unsafe instead of moving the cut.
    std::optional<std::string> name =
        ServerNameText(PercentDecode(slash == std::string::npos ? requestPath : requestPath.substr(slash + 1)));
    return name && IsSafeFileName(*name) ? *name : std::string(kFallbackFileName);
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
