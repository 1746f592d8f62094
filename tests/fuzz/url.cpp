// Texts that name what to fetch and where to put it: the URL (from the
// command line or a redirect) split into scheme, host, port and path; the
// dotted-address test of a host; the proxy's host and port; the request
// built for the URL; and the local file name taken from the request path,
// with the numbered names that avoid an existing file.
//
// Input: the text.
#include <cstdint>
#include <string>

#include "download/http.h"
#include "download/target_name.h"
#include "download/texts.h"
#include "download/url.h"
#include "fuzz_support.h"

using namespace zorv::download;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool SameNoCase(const std::string& text, const char* lower) {
    for (size_t i = 0; i < text.size(); ++i)
        if (lower[i] == '\0' || (text[i] >= 'A' && text[i] <= 'Z' ? text[i] - 'A' + 'a' : text[i]) != lower[i])
            return false;
    return lower[text.size()] == '\0';
}

void CheckSplit(const std::string& url) {
    const SplitUrlResult split = SplitUrl(url);
    FUZZ_CHECK(split.protocol >= kNoProtocol && split.protocol <= kHttps);
    // HTTPS only by its whole scheme, in any case.
    FUZZ_CHECK((split.protocol == kHttps) == (url.size() >= 8 && SameNoCase(url.substr(0, 8), "https://")));
    if (split.host.empty()) {
        FUZZ_CHECK(split.path.empty());
        return;
    }
    // Host and path are the URL's own bytes, the path right after the host.
    FUZZ_CHECK(split.protocol != kNoProtocol);
    FUZZ_CHECK(!split.path.empty() && split.path[0] == '/');
    FUZZ_CHECK(url.size() > split.host.size() + split.path.size());
    FUZZ_CHECK(url.compare(url.size() - split.path.size(), split.path.size(), split.path) == 0);
    FUZZ_CHECK(url.compare(url.size() - split.path.size() - split.host.size(), split.host.size(), split.host) == 0);
    FUZZ_CHECK(split.host.find('/') == std::string::npos);
    if (split.protocol != kHttp && split.protocol != kHttps) return;

    // What StartTask makes of it: the request of the first connection, and
    // for HTTPS through a proxy the tunnel asked for first.
    const std::string stripped = StripLineBreaks(url);
    const SplitUrlResult http = SplitUrl(stripped);
    if ((http.protocol != kHttp && http.protocol != kHttps) || http.host.empty()) return;
    for (const char* proxy : {"", "proxy.example:3128"}) {
        RequestData data = InitialRequestData(stripped, http, proxy, "");
        FUZZ_CHECK(data.secure == (http.protocol == kHttps));
        std::optional<std::string> request = BuildRequest(data, "");
        if (request) {
            FUZZ_CHECK(request->size() < kRequestLimit);
            FUZZ_CHECK(request->find("\r\n\r\n") == request->size() - 4);
            FUZZ_CHECK(request->find('\n') > request->find(" HTTP/1.1\r\n"));
            // Only plain HTTP through a proxy names the whole URL.
            FUZZ_CHECK((request->rfind("GET /", 0) == 0) == (data.secure || *proxy == '\0'));
        }
        if (!data.secure || *proxy == '\0') continue;
        if (std::optional<std::string> tunnel = BuildConnectRequest(data)) {
            FUZZ_CHECK(tunnel->rfind("CONNECT " + HostNameOf(data.host) + ":", 0) == 0);
            FUZZ_CHECK(tunnel->find("\r\n\r\n") == tunnel->size() - 4);
            FUZZ_CHECK(tunnel->find('\n') > tunnel->find(" HTTP/1.1\r\n"));
        }
    }
}

void CheckDotted(const std::string& text) {
    if (!IsDottedAddress(text)) return;
    int dots = 0, digitsInPart = 0, value = 0;
    for (char c : text) {
        if (c == '.') {
            FUZZ_CHECK(digitsInPart > 0);
            ++dots;
            digitsInPart = value = 0;
            continue;
        }
        FUZZ_CHECK(IsDigit(c));
        value = value * 10 + (c - '0');
        FUZZ_CHECK(++digitsInPart <= 3 && value <= 255);
    }
    FUZZ_CHECK(dots == 3 && digitsInPart > 0);
}

void CheckProxy(const std::string& text) {
    const HostPort proxy = SplitProxy(text);
    FUZZ_CHECK(proxy.port > 0);
    FUZZ_CHECK(text.compare(0, proxy.host.size(), proxy.host) == 0);
}

// The name that a folder target gets is a plain name inside the folder.
void CheckFileNames(const std::string& text) {
    FUZZ_CHECK(EncodeSpaces(text).size() <= 1023);
    FUZZ_CHECK(EncodeSpaces(text).find(' ') == std::string::npos);
    FUZZ_CHECK(PercentDecode(text).size() <= std::min<size_t>(text.size(), 1023));

    const std::string name = NameFromRequestPath(text);
    FUZZ_CHECK(IsSafeFileName(name));
    FUZZ_CHECK(name.find_first_of("\\/:") == std::string::npos && name.find("..") == std::string::npos);
    // A server's name is its bytes taken as text (UTF-8 becomes GBK).
    const std::string server = UsableServerName(text);
    FUZZ_CHECK(server.empty() || (server == ServerNameText(text) && IsSafeFileName(server)));

    // A numbered name keeps the folder and stays a plain name in it.
    const std::string path = "C:\\dl\\" + name;
    if (std::optional<std::string> next = NextAutoName(path)) {
        FUZZ_CHECK(*next != path);
        FUZZ_CHECK(next->rfind("C:\\dl\\", 0) == 0);
        FUZZ_CHECK(next->find_first_of("\\/", 6) == std::string::npos);
    }
    if (std::optional<std::string> next = NextAutoName(text)) FUZZ_CHECK(*next != text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckSplit(text);
    CheckDotted(text);
    CheckProxy(text);
    CheckFileNames(text);
    return 0;
}
