#pragma once
// The HTTP rules of a connection that need no socket: the request bytes, the
// response head (finding and parsing it) and redirects.  Kept apart from the
// threads so each rule can be checked byte for byte.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "download/url.h"

namespace zorv::download {

// The request is built in a buffer of this many bytes, terminator included.
constexpr size_t kRequestLimit = 1024;
// The response head is read into a buffer of this many bytes.
constexpr size_t kHeadLimit = 4096;
// Redirects followed in a row by one request; the next one fails it.
constexpr int kMaxRedirects = 10;
// A Set-Cookie value (cut at its first ";") longer than this fails a redirect.
constexpr size_t kCookieLimit = 4086;

extern const char kUserAgent[];

// What a task asks the server for; changed by redirects.
struct RequestData {
    std::string proxy;                     // empty: direct
    std::string path;                      // request path; the whole URL through a proxy (HTTP only)
    std::string host;                      // host part as written, port included
    std::string referer;
    std::optional<std::string> userAgent;  // none: kUserAgent
    std::string extra;                     // "Cookie: ...\r\n" after a redirect set one; else empty
    uint16_t port = 80;                    // port of the host part
    // HTTPS: the request goes inside a TLS session with the host, and
    // through a proxy inside a CONNECT tunnel, so it has the direct form
    // (the proxy never reads it).
    bool secure = false;
};

// The URL up to (not including) its last "/"; empty when that "/" lies
// beyond the first 1024 bytes or there is none.
std::string DefaultReferer(const std::string& url);

// Request data of a fresh task (url already split; proxy and referer may be
// empty).
RequestData InitialRequestData(const std::string& url, const SplitUrlResult& split, const std::string& proxy,
                               const std::string& referer);

// "Range: bytes=<position>-\r\n".
std::string RangeLine(int64_t position);

// The request bytes: the direct form, or the proxy form when data.proxy is
// set and the request is not secure.  `extra` is the extra header line (Range or Cookie, with its CR LF) or
// empty.  nullopt when the request (or the encoded path alone) would not fit
// into kRequestLimit bytes.
std::optional<std::string> BuildRequest(const RequestData& data, const std::string& extra);

// Where the head lies in the received bytes: from the earliest "HTTP/1.1" or
// "HTTP/1.0" to after the first "\r\n\r\n" behind it.
struct HeadSpan {
    size_t begin = 0;
    size_t end = 0;  // one past the empty line
};
std::optional<HeadSpan> FindHead(const char* data, size_t size);

// The redirects a request follows: 301, 302, 303, 307 and 308.  The engine
// only ever sends GET, so a 303 (answered with a GET) is followed like the
// others.
bool IsRedirectStatus(int status);

struct HttpResponseInfo {
    int status = 0;
    int64_t contentLength = -1;  // -1: not given, not a decimal number, or the body is framed otherwise
    bool lengthTooLong = false;  // a Content-Length above 2^63 - 1
    bool hasLocation = false;
    bool hasContentRange = false;
    int64_t rangeStart = -1;     // first byte of Content-Range, -1 when not given or unreadable
    int64_t rangeTotal = -1;     // length after its "/", -1 when not given, unreadable or "*"
    std::string setCookie, contentType, location, server, connection, acceptRanges, lastModified, via;
    std::string disposition;     // Content-Disposition value up to its line feed
    std::string contentEncoding; // Content-Encoding value; empty when not given
};

// Whether the body is the file's own bytes: no Content-Encoding, or
// "identity".  The engine asks for no encoding, and a compressed body saved
// as it came is not the file.
bool IdentityEncoded(const HttpResponseInfo& response);

HttpResponseInfo ParseHead(const std::string& head);

// The name after "filename=" in a Content-Disposition value: between the
// first two double quotes behind it, or else the rest without CR or LF.
// Empty when there is none.
std::string DispositionFileName(const std::string& disposition);

// Applies a redirect with a Location to the request data; a fragment
// ("#...") of the Location is never sent.  An http:// or https:// Location
// sets whether the next request is secure (either way, counted in the same
// redirects); a relative one keeps the scheme.  False when the redirect
// cannot be followed (cookie too long, a Location or cookie holding a CR or
// LF, a Location that is not an HTTP or HTTPS URL with a host, another
// scheme); data is then unchanged.
bool ApplyRedirect(RequestData& data, const HttpResponseInfo& response);

// "host" or "host:port" of a proxy, split at its last ":" (port 80 when none).
struct HostPort {
    std::string host;
    uint16_t port = 80;
};
HostPort SplitProxy(const std::string& proxy);

// The host name and port a CONNECT tunnel leads to: those of the host part
// without its user information (443 when it names no port).
HostPort TunnelTarget(const RequestData& data);

// "CONNECT host:port HTTP/1.1" with its Host and User-Agent lines, asked of
// the proxy before the TLS session of a secure request; nullopt when it
// would not fit into kRequestLimit bytes or the host holds a byte that has
// no place in a request line (a blank, a control byte).
std::optional<std::string> BuildConnectRequest(const RequestData& data);

}  // namespace zorv::download
