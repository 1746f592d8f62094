#pragma once
// URL splitting and the small text rules of the HTTP path.
#include <cstdint>
#include <string>

namespace zorv::download {

enum Protocol : int32_t { kNoProtocol = 0, kHttp = 1, kFtp = 2, kMms = 3, kRtsp = 4, kHttps = 5 };

struct SplitUrlResult {
    int32_t protocol = kNoProtocol;
    uint16_t port = 0;
    std::string host;   // host part as written, port included; empty = no host
    std::string path;   // from the first "/" after the host to the end
};

// Recognises the scheme on a lower-cased copy; host and path keep their case.
// "https://" is taken as written (in any case) with port 443 by default.
SplitUrlResult SplitUrl(const std::string& url);

// A host part without the user information before its last "@": host and
// ":port" as written ("me:pw@dl.example.com:8443" gives
// "dl.example.com:8443").  What the Host header names; the user and the
// password never leave the machine in it.
std::string HostAndPortOf(const std::string& hostPart);

// The host of a host part: without the user information before an "@" and
// without the ":port" after the host ("me@dl.example.com:8443" gives
// "dl.example.com").  The name resolved and connected to, and the name a TLS
// certificate must carry.
std::string HostNameOf(const std::string& hostPart);

// The URL without its fragment (from the first "#" on), which names a place
// inside the resource for the client alone and is never sent.
std::string WithoutFragment(const std::string& url);

// Exactly four "."-separated parts of one to three digits, each at most 255.
bool IsDottedAddress(const std::string& text);

// Every space becomes %20; the result is cut at 1023 bytes.
std::string EncodeSpaces(const std::string& path);

// "%" with two hexadecimal digits becomes that byte, "+" a space; a "%"
// without two hexadecimal digits stays as it is.  Cut at 1023 bytes.
std::string PercentDecode(const std::string& text);

// True for "\" and "/".
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// A name that can safely be joined to a folder: not empty, no "\", "/", ":"
// and no "..", no control bytes, none of <>"|?* and no device name (CON,
// NUL, COM1, ...).
bool IsSafeFileName(const std::string& name);

// Integer value of the leading decimal digits (0 when none); never overflows.
int32_t LeadingNumber(const std::string& text, size_t from = 0);

}  // namespace zorv::download
