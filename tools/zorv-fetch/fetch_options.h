#pragma once
// Command line of zorv-fetch and what it sets in the engine's parameters.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download/task_param.h"

namespace zorv::fetch {

struct FetchOptions {
    int32_t connections = 1;
    std::optional<std::string> proxy;       // "host" or "host:port"
    int32_t speedLimit = 0;                 // bytes per second, 0 unlimited
    std::optional<int32_t> timeoutMs;       // connect, send and receive time-outs
    std::optional<int32_t> stopAfterMs;     // stop the task after this long
    std::string resumeOut;                  // where a stop writes the resume data
    std::string resumeIn;                   // resume data of a stopped task to continue
    bool quiet = false;                     // only the last line
    std::string url;                        // empty with resumeIn: the data names the source
    std::string target;
};

struct ParseResult {
    bool ok = false;
    bool help = false;      // -h/--help: print the usage and end with success
    std::string error;      // why the arguments were refused
    FetchOptions options;
};

// Parses the arguments after the program name.  Options come before the two
// operands (URL and TARGET; TARGET alone with --resume-in); "--" ends the options; values are separate words or joined with
// "=" for the long options ("--timeout=500").
ParseResult ParseFetchArguments(const std::vector<std::string>& arguments);

std::string UsageText();

// Copies the options into a task's parameters (callbacks are left alone).
void ApplyOptions(const FetchOptions& options, TaskParam& param);

}  // namespace zorv::fetch
