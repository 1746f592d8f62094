#include "download/http.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace zorv::download {

const char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";

namespace {

// Text up to (not including) the last "/"; empty when there is none.
std::string UpToLastSlash(const std::string& text) {
    size_t slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

bool SameNameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Value of the first header line whose whole name is `name`, in any case
// (the blanks after the colon skipped), up to the end of its line; the
// status line is never a header.
std::optional<std::string> HeaderValue(const std::string& head, std::string_view name) {
    size_t line = head.find("\r\n");
    while (line != std::string::npos) {
        line += 2;
        size_t end = head.find("\r\n", line);
        std::string_view text(head.data() + line, (end == std::string::npos ? head.size() : end) - line);
        size_t colon = text.find(':');
        if (colon != std::string_view::npos && SameNameNoCase(text.substr(0, colon), name)) {
            size_t from = colon + 1;
            while (from < text.size() && (text[from] == ' ' || text[from] == '\t')) ++from;
            return std::string(text.substr(from));
        }
        line = end;
    }
    return std::nullopt;
}

std::string ValueOrEmpty(const std::string& head, std::string_view name) {
    return HeaderValue(head, name).value_or(std::string());
}

// The decimal number at `from`: nullopt when there is no digit there or the
// number exceeds 2^63 - 1 (tooLong is then set).
std::optional<int64_t> Decimal(const std::string& text, size_t from, bool* tooLong = nullptr) {
    int64_t value = 0;
    size_t at = from;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        int digit = text[at] - '0';
        if (value > (INT64_MAX - digit) / 10) {
            if (tooLong != nullptr) *tooLong = true;
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    if (at == from) return std::nullopt;
    return value;
}

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// A Content-Length is digits only, blanks after them allowed; anything else
// leaves the length unknown.  A body in a transfer coding (chunked, for
// one) has no length of its own, whatever Content-Length says.
void ReadContentLength(const std::string& head, HttpResponseInfo& info) {
    std::optional<std::string> coding = HeaderValue(head, "Transfer-Encoding");
    if (coding && !IsBlank(*coding) && !SameNameNoCase(*coding, "identity")) return;
    std::optional<std::string> value = HeaderValue(head, "Content-Length");
    if (!value) return;
    size_t digits = 0;
    while (digits < value->size() && std::isdigit(static_cast<unsigned char>((*value)[digits]))) ++digits;
    if (digits == 0 || !IsBlank(value->substr(digits))) return;
    info.contentLength = Decimal(*value, 0, &info.lengthTooLong).value_or(-1);
}

// "bytes <first>-<last>/<total>": the first byte is the first number before
// the "/" (some servers write "bytes=" instead of "bytes "); the total is the
// number right after it, unknown (-1) when it is "*" or missing.
void ReadContentRange(const std::string& range, HttpResponseInfo& info) {
    info.hasContentRange = true;
    size_t slash = range.find('/');
    size_t digit = range.find_first_of("0123456789");
    if (digit < slash) info.rangeStart = Decimal(range, digit).value_or(-1);
    if (slash != std::string::npos) info.rangeTotal = Decimal(range, slash + 1).value_or(-1);
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t length = std::strlen(prefix);
    if (text.size() < length) return false;
    for (size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// "scheme://" at the start: letters, digits, "+", "-" or "." before "://".
bool HasScheme(const std::string& location) {
    size_t mark = location.find("://");
    if (mark == std::string::npos || mark == 0) return false;
    for (size_t i = 0; i < mark; ++i) {
        unsigned char c = static_cast<unsigned char>(location[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

// The path part of a request path that may be a whole URL (proxy form).
std::string PathPartOf(const std::string& path) {
    if (!StartsWithNoCase(path, "http://")) return path;
    size_t slash = path.find('/', 7);
    return slash == std::string::npos ? std::string("/") : path.substr(slash);
}

const char* SchemeOf(const RequestData& data) { return data.secure ? "https://" : "http://"; }

// Only a plain HTTP request through a proxy names the whole URL; a secure
// one goes to the server itself, inside the tunnel.
bool ProxyForm(const RequestData& data) { return !data.proxy.empty() && !data.secure; }

}  // namespace

bool IsRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IdentityEncoded(const HttpResponseInfo& response) {
    std::string coding = response.contentEncoding;
    while (!coding.empty() && (coding.back() == ' ' || coding.back() == '\t')) coding.pop_back();
    return coding.empty() || SameNameNoCase(coding, "identity");
}

std::string DefaultReferer(const std::string& url) {
    size_t slash = url.rfind('/');
    if (slash == std::string::npos || slash > 1024) return std::string();
    return url.substr(0, slash);
}

RequestData InitialRequestData(const std::string& url, const SplitUrlResult& split, const std::string& proxy,
                               const std::string& referer) {
    RequestData data;
    data.proxy = proxy;
    data.host = split.host;
    data.secure = split.protocol == kHttps;
    data.path = ProxyForm(data) ? url : split.path;
    data.referer = referer.empty() ? DefaultReferer(url) : referer;
    data.port = split.port;
    return data;
}

std::string RangeLine(int64_t position) { return "Range: bytes=" + std::to_string(position) + "-\r\n"; }

std::optional<std::string> BuildRequest(const RequestData& data, const std::string& extra) {
    std::string path;
    for (char c : data.path) {
        if (c == ' ')
            path += "%20";
        else
            path += c;
    }
    // A path cut to fit would ask for another file: refuse it instead.
    if (path.size() >= kRequestLimit) return std::nullopt;
    const std::string& agent = data.userAgent ? *data.userAgent : std::string(kUserAgent);
    std::string request = "GET " + path + " HTTP/1.1\r\n";
    request += "Host: " + HostAndPortOf(data.host) + "\r\n";
    if (!ProxyForm(data)) {
        request += "Accept: */*\r\n";
        request += "Referer: " + data.referer + "\r\n";
        request += "User-Agent: " + agent + "\r\n";
        request += extra;
        request += "Pragma: no-cache\r\n";
        request += "Cache-Control: no-cache\r\n";
        request += "Connection: close\r\n\r\n";
    } else {
        request += "User-Agent: " + agent + "\r\n";
        // The extra line goes through the proxy too: without it every range
        // request is answered with the whole file and refused.
        request += extra;
        request += "Proxy-Connection: Keep-Alive\r\n\r\n";
    }
    if (request.size() >= kRequestLimit) return std::nullopt;
    return request;
}

std::optional<HeadSpan> FindHead(const char* data, size_t size) {
    std::string_view bytes(data, size);
    size_t first = bytes.find("HTTP/1.1");
    size_t other = bytes.find("HTTP/1.0");
    size_t begin = std::min(first, other);
    if (begin == std::string_view::npos) return std::nullopt;
    size_t blank = bytes.find("\r\n\r\n", begin);
    if (blank == std::string_view::npos) return std::nullopt;
    return HeadSpan{begin, blank + 4};
}

HttpResponseInfo ParseHead(const std::string& head) {
    HttpResponseInfo info;
    if (head.size() >= 12) {
        int status = 0;
        for (size_t i = 9; i < 12 && std::isdigit(static_cast<unsigned char>(head[i])); ++i)
            status = status * 10 + (head[i] - '0');
        info.status = status;
    }
    switch (info.status) {
        case 200:
            ReadContentLength(head, info);
            break;
        case 206:
            if (std::optional<std::string> range = HeaderValue(head, "Content-Range")) {
                ReadContentRange(*range, info);
                info.via = ValueOrEmpty(head, "Via");
            }
            break;
        case 301:
        case 302:
        case 303:
        case 307:
        case 308:
            ReadContentLength(head, info);
            info.location = ValueOrEmpty(head, "Location");
            info.hasLocation = !info.location.empty();
            break;
        default:
            return info;
    }
    info.acceptRanges = ValueOrEmpty(head, "Accept-Ranges");
    info.connection = ValueOrEmpty(head, "Connection");
    info.contentType = ValueOrEmpty(head, "Content-Type");
    info.setCookie = ValueOrEmpty(head, "Set-Cookie");
    info.lastModified = ValueOrEmpty(head, "Last-Modified");
    info.server = ValueOrEmpty(head, "Server");
    info.disposition = ValueOrEmpty(head, "Content-Disposition");
    info.contentEncoding = ValueOrEmpty(head, "Content-Encoding");
    return info;
}

std::string DispositionFileName(const std::string& disposition) {
    size_t at = disposition.find("filename=");
    if (at == std::string::npos) return std::string();
    std::string rest = disposition.substr(at + 9);
    size_t open = rest.find('"');
    size_t close = open == std::string::npos ? std::string::npos : rest.find('"', open + 1);
    if (close != std::string::npos) return rest.substr(open + 1, close - open - 1);
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
    return rest;
}

bool ApplyRedirect(RequestData& data, const HttpResponseInfo& response) {
    // A header value ends only at CR LF, so a lone CR or LF stays inside it;
    // copied into the next request it would end a line there and let the
    // answer write request lines of its own.
    constexpr const char* kLineBreaks = "\r\n";
    RequestData next = data;
    if (!response.setCookie.empty()) {
        std::string cookie = response.setCookie.substr(0, response.setCookie.find(';'));
        if (cookie.size() > kCookieLimit || cookie.find_first_of(kLineBreaks) != std::string::npos) return false;
        next.extra = "Cookie: " + cookie + "\r\n";
    }
    // The fragment names a place inside the resource for the client alone;
    // servers answer a request path that holds one with 400 or 404.
    std::string location = response.location.substr(0, response.location.find('#'));
    if (location.empty() || location.find_first_of(kLineBreaks) != std::string::npos) return false;
    // Same scheme, other host.
    if (location.compare(0, 2, "//") == 0) location = (data.secure ? "https:" : "http:") + location;
    const std::string scheme = SchemeOf(data);
    if (StartsWithNoCase(location, "http://") || StartsWithNoCase(location, "https://")) {
        SplitUrlResult split = SplitUrl(location);
        if ((split.protocol != kHttp && split.protocol != kHttps) || split.host.empty()) return false;
        next.secure = split.protocol == kHttps;
        next.host = split.host;
        next.port = split.port;  // the scheme's port unless the new host part names one
        next.path = ProxyForm(next) ? location : split.path;
        next.referer = UpToLastSlash(location);
    } else if (HasScheme(location)) {
        return false;  // ftp:// and every other scheme
    } else if (location[0] == '/') {
        // Relative to the host, not to the current folder.
        next.path = ProxyForm(next) ? scheme + next.host + location : location;
        next.referer = UpToLastSlash(scheme + next.host + location);
    } else {
        std::string current = PathPartOf(data.path);
        size_t slash = current.rfind('/');
        std::string folder = slash == std::string::npos ? std::string() : current.substr(0, slash + 1);
        if (ProxyForm(next))
            next.path = scheme + next.host + (folder.empty() ? std::string("/") : folder) + location;
        else
            next.path = folder + location;
        next.referer = UpToLastSlash(scheme + next.host + "/" + location);
    }
    data = next;
    return true;
}

HostPort SplitProxy(const std::string& proxy) {
    HostPort result;
    size_t colon = proxy.rfind(':');
    if (colon == std::string::npos) {
        result.host = proxy;
        return result;
    }
    result.host = proxy.substr(0, colon);
    int32_t port = LeadingNumber(proxy, colon + 1);
    result.port = port > 0 && port <= 65535 ? static_cast<uint16_t>(port) : 80;
    return result;
}

HostPort TunnelTarget(const RequestData& data) {
    HostPort target;
    target.host = HostNameOf(data.host);
    std::string hostAndPort = HostAndPortOf(data.host);
    size_t colon = hostAndPort.find(':');
    target.port = colon == std::string::npos ? (data.secure ? 443 : 80)
                                             : static_cast<uint16_t>(LeadingNumber(hostAndPort, colon + 1));
    return target;
}

std::optional<std::string> BuildConnectRequest(const RequestData& data) {
    HostPort target = TunnelTarget(data);
    if (target.host.empty()) return std::nullopt;
    for (unsigned char c : target.host)
        if (c <= ' ' || c == 0x7F) return std::nullopt;
    const std::string authority = target.host + ":" + std::to_string(target.port);
    const std::string& agent = data.userAgent ? *data.userAgent : std::string(kUserAgent);
    std::string request = "CONNECT " + authority + " HTTP/1.1\r\n";
    request += "Host: " + authority + "\r\n";
    request += "User-Agent: " + agent + "\r\n\r\n";
    if (request.size() >= kRequestLimit) return std::nullopt;
    return request;
}

}  // namespace zorv::download
