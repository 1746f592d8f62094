// The bytes a server answers, as a connection takes them: where the head
// lies among the received bytes (at most one head buffer), what the head
// says, the file name it offers, and the redirect with the next request
// built from it.
//
// Input: one byte of options (bit 0: through a proxy; bit 1: the URL names
// a port; bit 2: the file lies in the server's root; bit 3: the URL is
// https://), then the received bytes.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

#include "download/http.h"
#include "download/target_name.h"
#include "download/url.h"
#include "fuzz_support.h"

using namespace zorv::download;

namespace {

bool SameRequestData(const RequestData& a, const RequestData& b) {
    return a.proxy == b.proxy && a.path == b.path && a.host == b.host && a.referer == b.referer &&
           a.userAgent == b.userAgent && a.extra == b.extra && a.port == b.port && a.secure == b.secure;
}

// Every line of the request ends with CR LF, no CR or LF stands alone, and
// the only empty line is the one that ends it: a server reads the same
// lines as the engine wrote.
void CheckRequest(const std::string& request, const RequestData& data) {
    FUZZ_CHECK(request.size() < kRequestLimit);
    FUZZ_CHECK(request.rfind("GET ", 0) == 0);
    FUZZ_CHECK(request.size() >= 4 && request.compare(request.size() - 4, 4, "\r\n\r\n") == 0);
    FUZZ_CHECK(request.find("\r\n\r\n") == request.size() - 4);
    for (size_t i = 0; i < request.size(); ++i) {
        if (request[i] == '\r') FUZZ_CHECK(i + 1 < request.size() && request[i + 1] == '\n');
        if (request[i] == '\n') FUZZ_CHECK(i > 0 && request[i - 1] == '\r');
    }
    FUZZ_CHECK(request.find("\r\nHost: " + data.host + "\r\n") != std::string::npos);
    // The whole URL goes only to a proxy, and only for plain HTTP: a secure
    // request is read by the server at the end of the tunnel.
    const bool proxyForm = !data.proxy.empty() && !data.secure;
    FUZZ_CHECK((request.rfind("GET /", 0) == 0) == !proxyForm);
}

void CheckHead(const std::string& head, const HttpResponseInfo& info) {
    FUZZ_CHECK(info.status >= 0 && info.status <= 999);
    FUZZ_CHECK(info.contentLength >= -1);
    FUZZ_CHECK(!info.lengthTooLong || info.contentLength == -1);
    FUZZ_CHECK(info.rangeStart >= -1);
    FUZZ_CHECK(!info.hasLocation || !info.location.empty());
    // A value runs to the end of its line and never beyond the head.
    for (const std::string* value : {&info.setCookie, &info.contentType, &info.location, &info.server,
                                     &info.connection, &info.acceptRanges, &info.lastModified, &info.via,
                                     &info.disposition}) {
        FUZZ_CHECK(value->find("\r\n") == std::string::npos);
        FUZZ_CHECK(value->size() < head.size());
    }
}

// The name joined to a folder target stays a plain name inside that folder.
void CheckServerName(const HttpResponseInfo& info) {
    std::string name = UsableServerName(DispositionFileName(info.disposition));
    if (name.empty()) return;
    FUZZ_CHECK(IsSafeFileName(name));
    FUZZ_CHECK(name.find_first_of("\\/:") == std::string::npos && name.find("..") == std::string::npos);
}

void CheckRedirect(uint8_t options, const HttpResponseInfo& info) {
    std::string url = options & 8 ? "https://" : "http://";
    url += options & 2 ? "download.zorvane.com:8080" : "download.zorvane.com";
    url += options & 4 ? "/zorv.exe" : "/dir/zorv.exe";
    std::string proxy = options & 1 ? "127.0.0.1:3128" : "";
    RequestData data = InitialRequestData(url, SplitUrl(url), proxy, "");
    const RequestData before = data;
    if (!ApplyRedirect(data, info)) {
        FUZZ_CHECK(SameRequestData(data, before));
        return;
    }
    FUZZ_CHECK(!data.host.empty());
    FUZZ_CHECK(data.proxy == before.proxy);
    // An absolute Location chooses the scheme, any other keeps it.
    std::string scheme = info.location.substr(0, 8);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme == "https://")
        FUZZ_CHECK(data.secure);
    else if (scheme.rfind("http://", 0) == 0)
        FUZZ_CHECK(!data.secure);
    else
        FUZZ_CHECK(data.secure == before.secure);
    if (data.secure && !data.proxy.empty()) {
        std::optional<std::string> tunnel = BuildConnectRequest(data);
        if (tunnel) FUZZ_CHECK(tunnel->find("\r\n\r\n") == tunnel->size() - 4);
    }
    // The next request, and a range request of a later connection.
    if (std::optional<std::string> request = BuildRequest(data, data.extra)) CheckRequest(*request, data);
    if (std::optional<std::string> request = BuildRequest(data, RangeLine(20480))) CheckRequest(*request, data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t options = data[0];
    const char* received = reinterpret_cast<const char*>(data + 1);
    const size_t got = std::min(size - 1, kHeadLimit);
    std::optional<HeadSpan> span = FindHead(received, got);
    if (!span) return 0;
    FUZZ_CHECK(span->begin < span->end && span->end <= got);
    const std::string head(received + span->begin, span->end - span->begin);
    FUZZ_CHECK(head.rfind("HTTP/1.", 0) == 0);
    FUZZ_CHECK(head.find("\r\n\r\n") == head.size() - 4);

    const HttpResponseInfo info = ParseHead(head);
    CheckHead(head, info);
    CheckServerName(info);
    if (IsRedirectStatus(info.status) && info.hasLocation) CheckRedirect(options, info);
    return 0;
}
