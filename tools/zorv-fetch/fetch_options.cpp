#include "fetch_options.h"

#include <cerrno>
#include <cstdlib>

namespace zorv::fetch {
namespace {

// A whole decimal number within [low, high]; nothing else is accepted (no
// sign, no spaces, no suffix), so a typo never becomes a silent default.
bool ParseNumber(const std::string& text, int64_t low, int64_t high, int32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    int64_t number = std::strtoll(text.c_str(), nullptr, 10);
    if (number < low || number > high) return false;
    value = static_cast<int32_t>(number);
    return true;
}

// A proxy is a host with an optional decimal port of 1..65535.
bool ValidProxy(const std::string& text) {
    if (text.empty() || text.find('/') != std::string::npos) return false;
    size_t colon = text.rfind(':');
    if (colon == std::string::npos) return true;
    if (colon == 0) return false;
    int32_t port = 0;
    return ParseNumber(text.substr(colon + 1), 1, 65535, port);
}

}  // namespace

std::string UsageText() {
    return "usage: zorv-fetch [-c CONNECTIONS] [--proxy HOST[:PORT]] [--speed-limit BYTES_PER_S]\n"
           "                  [--timeout MS] [--stop-after MS] [--resume-out FILE] [-q] URL TARGET\n"
           "       zorv-fetch --resume-in FILE [--speed-limit N] [--timeout MS] [--stop-after MS]\n"
           "                  [--resume-out FILE] [-q] TARGET\n"
           "  URL                   an http:// or https:// address (the server's certificate is checked)\n"
           "  -c CONNECTIONS        parallel connections, 1 to 64 (default 1)\n"
           "  --proxy HOST[:PORT]   fetch through an HTTP proxy (port 80 when omitted; https:// by CONNECT)\n"
           "  --speed-limit N       at most N bytes per second for the whole task (0 = none)\n"
           "  --timeout MS          connect, send and receive time-outs (default 20000)\n"
           "  --stop-after MS       stop the task after MS milliseconds\n"
           "  --resume-out FILE     with --stop-after: write the task's resume data to FILE\n"
           "  --resume-in FILE      continue the stopped task recorded in FILE into TARGET, which\n"
           "                        must be the file it left (same size); the source comes from FILE\n"
           "  -q, --quiet           print only the last line\n"
           "Prints every status text and event, a progress line on a terminal, and at the end\n"
           "\"done BYTES bytes in SECONDS s, MBPS MB/s\" (1 MB = 1000000 bytes) or \"failed: REASON\".\n"
           "Exit code 0 only when the bytes received equal the file length; 1 otherwise; 2 for bad arguments.\n";
}

ParseResult ParseFetchArguments(const std::vector<std::string>& arguments) {
    ParseResult result;
    FetchOptions& options = result.options;
    std::vector<std::string> operands;
    auto fail = [&](std::string why) {
        result.ok = false;
        result.error = std::move(why);
        return result;
    };

    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string word = arguments[i];
        if (optionsEnded || word.empty() || word[0] != '-' || word == "-") {
            operands.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word == "-h" || word == "--help") {
            result.ok = true;
            result.help = true;
            return result;
        }
        if (word == "-q" || word == "--quiet") {
            options.quiet = true;
            continue;
        }
        std::string name = word;
        std::optional<std::string> value;
        size_t equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
        } else if (word.size() > 2 && word[1] == 'c') {
            name = "-c";  // "-c4"
            value = word.substr(2);
        }
        bool known = name == "-c" || name == "--connections" || name == "--proxy" || name == "--speed-limit" ||
                     name == "--timeout" || name == "--stop-after" || name == "--resume-out" ||
                     name == "--resume-in";
        if (!known) return fail("unknown option " + word);
        if (!value) {
            if (i + 1 >= arguments.size()) return fail(name + " needs a value");
            value = arguments[++i];
        }
        if (name == "-c" || name == "--connections") {
            if (!ParseNumber(*value, 1, 64, options.connections)) return fail("-c wants 1 to 64 connections, not \"" + *value + "\"");
        } else if (name == "--proxy") {
            if (!ValidProxy(*value)) return fail("--proxy wants HOST or HOST:PORT, not \"" + *value + "\"");
            options.proxy = *value;
        } else if (name == "--speed-limit") {
            if (!ParseNumber(*value, 0, INT32_MAX, options.speedLimit)) return fail("--speed-limit wants bytes per second, not \"" + *value + "\"");
        } else if (name == "--timeout") {
            int32_t ms = 0;
            if (!ParseNumber(*value, 1, INT32_MAX, ms)) return fail("--timeout wants milliseconds above 0, not \"" + *value + "\"");
            options.timeoutMs = ms;
        } else if (name == "--stop-after") {
            int32_t ms = 0;
            if (!ParseNumber(*value, 0, INT32_MAX, ms)) return fail("--stop-after wants milliseconds, not \"" + *value + "\"");
            options.stopAfterMs = ms;
        } else if (name == "--resume-in") {
            if (value->empty()) return fail("--resume-in wants a file name");
            options.resumeIn = *value;
        } else {
            if (value->empty()) return fail("--resume-out wants a file name");
            options.resumeOut = *value;
        }
    }
    if (!options.resumeOut.empty() && !options.stopAfterMs) return fail("--resume-out needs --stop-after");
    if (!options.resumeIn.empty()) {
        // The resume data names the server, the path and the address.
        if (options.proxy) return fail("--proxy cannot be used with --resume-in");
        if (operands.size() != 1) {
            return fail(operands.empty() ? "TARGET is required" : "with --resume-in only TARGET is given, not a URL");
        }
        options.target = operands[0];
        result.ok = true;
        return result;
    }
    if (operands.size() != 2) {
        return fail(operands.size() < 2 ? "URL and TARGET are required" : "too many operands: " + operands[2]);
    }
    options.url = operands[0];
    options.target = operands[1];
    result.ok = true;
    return result;
}

void ApplyOptions(const FetchOptions& options, TaskParam& param) {
    param.Url = options.url;
    param.TargetPath = options.target;
    param.ConnectionCount = options.connections;
    param.SpeedLimit = options.speedLimit;
    if (options.timeoutMs) {
        param.ConnectTimeoutMs = *options.timeoutMs;
        param.SendTimeoutMs = *options.timeoutMs;
        param.ReceiveTimeoutMs = *options.timeoutMs;
    }
    param.Proxy = options.proxy;
}

}  // namespace zorv::fetch
