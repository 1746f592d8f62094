#include "download/url.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zorv::download {
namespace {

struct SchemeRow {
    char first;
    size_t summed;   // characters 2 .. summed + 1
    int sum;
    size_t prefix;
    int32_t protocol;
    uint16_t port;
};

// Rows in the order they are tried after the row of the first character.
constexpr SchemeRow kSchemes[] = {
    {'h', 6, 496, 7, kHttp, 80},   // ttp://
    {'f', 5, 380, 6, kFtp, 21},    // tp://
    {'m', 5, 376, 6, kMms, 1755},  // ms://
    {'m', 6, 492, 7, kMms, 1755},  // mst://
    {'r', 6, 495, 7, kRtsp, 554},  // tsp://
};

// HTTPS is recognised by its whole scheme, never by a sum of characters:
// "http://s..." sums like "https:/" and must stay plain HTTP.
constexpr SchemeRow kHttpsScheme = {'h', 0, 0, 8, kHttps, 443};

int SumOf(const std::string& lower, size_t count) {
    int sum = 0;
    for (size_t i = 1; i <= count && i < lower.size(); ++i) sum += static_cast<unsigned char>(lower[i]);
    return sum;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int32_t LeadingNumber(const std::string& text, size_t from) {
    int64_t value = 0;
    for (size_t i = from; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX) return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

SplitUrlResult SplitUrl(const std::string& url) {
    SplitUrlResult result;
    if (url.empty()) return result;
    std::string lower = url;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    size_t start = 0;
    while (start < std::size(kSchemes) && kSchemes[start].first != lower[0]) ++start;
    const SchemeRow* found = lower.compare(0, kHttpsScheme.prefix, "https://") == 0 ? &kHttpsScheme : nullptr;
    for (size_t row = start; row < std::size(kSchemes) && found == nullptr; ++row) {
        if (lower.size() > kSchemes[row].summed && SumOf(lower, kSchemes[row].summed) == kSchemes[row].sum) {
            found = &kSchemes[row];
            break;
        }
    }
    if (found == nullptr) return result;
    result.protocol = found->protocol;
    result.port = found->port;
    size_t slash = url.find('/', found->prefix);
    if (slash == std::string::npos || slash == found->prefix) return result;  // no host
    result.host = url.substr(found->prefix, slash - found->prefix);
    result.path = url.substr(slash);
    size_t colon = result.host.find(':');
    if (colon != std::string::npos) {
        size_t at = result.host.rfind('@');
        if (at != std::string::npos) {
            size_t portColon = result.host.find(':', at);
            // User information without a port: the FTP port, as before,
            // except for HTTPS, whose port is never another scheme's.
            uint16_t fallback = found->protocol == kHttps ? found->port : 21;
            result.port = portColon == std::string::npos
                              ? fallback
                              : static_cast<uint16_t>(LeadingNumber(result.host, portColon + 1));
        } else {
            result.port = static_cast<uint16_t>(LeadingNumber(result.host, colon + 1));
        }
    }
    return result;
}

std::string HostAndPortOf(const std::string& hostPart) {
    size_t at = hostPart.rfind('@');
    return at == std::string::npos ? hostPart : hostPart.substr(at + 1);
}

std::string HostNameOf(const std::string& hostPart) {
    std::string host = HostAndPortOf(hostPart);
    return host.substr(0, host.find(':'));
}

std::string WithoutFragment(const std::string& url) { return url.substr(0, url.find('#')); }

bool IsDottedAddress(const std::string& text) {
    int parts = 0;
    size_t begin = 0;
    while (true) {
        size_t end = text.find('.', begin);
        std::string part = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (part.empty() || part.size() > 3) return false;
        for (char c : part)
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        if (std::stoi(part) > 255) return false;
        ++parts;
        if (end == std::string::npos) break;
        begin = end + 1;
    }
    return parts == 4;
}

std::string EncodeSpaces(const std::string& path) {
    std::string encoded;
    for (char c : path) {
        if (c == ' ')
            encoded += "%20";
        else
            encoded += c;
    }
    if (encoded.size() > 1023) encoded.resize(1023);
    return encoded;
}

std::string PercentDecode(const std::string& text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else if (text[i] == '+') {
            decoded += ' ';
        } else {
            decoded += text[i];
        }
    }
    if (decoded.size() > 1023) decoded.resize(1023);
    return decoded;
}

bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name.find("..") != std::string::npos) return false;
    for (unsigned char c : name)
        if (c == '\\' || c == '/' || c == ':' || c < 0x20 || std::strchr("<>\"|?*", c) != nullptr) return false;
    // Device names open a device instead of a file on Windows, with any extension.
    std::string stem = name.substr(0, name.find('.'));
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const char* device : {"CON", "PRN", "AUX", "NUL"})
        if (stem == device) return false;
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
        stem[3] <= '9')
        return false;
    return true;
}

}  // namespace zorv::download
