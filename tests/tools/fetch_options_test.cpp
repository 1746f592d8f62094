// zorv-fetch's command line: what is accepted, what is refused, and what
// reaches the engine's parameters.
#include <gtest/gtest.h>

#include "fetch_options.h"

namespace zorv::fetch {
namespace {

ParseResult Parse(std::vector<std::string> words) { return ParseFetchArguments(words); }

TEST(FetchOptions, OperandsOnlyKeepTheDefaults) {
    ParseResult result = Parse({"http://h/f.bin", "out.bin"});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_FALSE(result.help);
    EXPECT_EQ(result.options.url, "http://h/f.bin");
    EXPECT_EQ(result.options.target, "out.bin");
    EXPECT_EQ(result.options.connections, 1);
    EXPECT_FALSE(result.options.proxy.has_value());
    EXPECT_EQ(result.options.speedLimit, 0);
    EXPECT_FALSE(result.options.timeoutMs.has_value());
    EXPECT_FALSE(result.options.stopAfterMs.has_value());
    EXPECT_FALSE(result.options.quiet);

    TaskParam param;
    ApplyOptions(result.options, param);
    TaskParam defaults;
    EXPECT_EQ(param.Url, "http://h/f.bin");
    EXPECT_EQ(param.TargetPath, "out.bin");
    EXPECT_EQ(param.ConnectionCount, 1);
    EXPECT_EQ(param.ReceiveTimeoutMs, defaults.ReceiveTimeoutMs);
    EXPECT_FALSE(param.Proxy.has_value());
}

TEST(FetchOptions, EveryOptionInBothSpellings) {
    ParseResult separate = Parse({"-c", "4", "--proxy", "proxy.lan:3128", "--speed-limit", "65536", "--timeout",
                                  "750", "--stop-after", "300", "--resume-out", "r.bin", "-q", "http://h/x", "x"});
    ParseResult joined = Parse({"-c4", "--proxy=proxy.lan:3128", "--speed-limit=65536", "--timeout=750",
                                "--stop-after=300", "--resume-out=r.bin", "--quiet", "http://h/x", "x"});
    for (const ParseResult* result : {&separate, &joined}) {
        ASSERT_TRUE(result->ok) << result->error;
        const FetchOptions& options = result->options;
        EXPECT_EQ(options.connections, 4);
        EXPECT_EQ(options.proxy, std::optional<std::string>("proxy.lan:3128"));
        EXPECT_EQ(options.speedLimit, 65536);
        EXPECT_EQ(options.timeoutMs, std::optional<int32_t>(750));
        EXPECT_EQ(options.stopAfterMs, std::optional<int32_t>(300));
        EXPECT_EQ(options.resumeOut, "r.bin");
        EXPECT_TRUE(options.quiet);

        TaskParam param;
        ApplyOptions(options, param);
        EXPECT_EQ(param.ConnectionCount, 4);
        EXPECT_EQ(param.SpeedLimit, 65536);
        EXPECT_EQ(param.ConnectTimeoutMs, 750);
        EXPECT_EQ(param.SendTimeoutMs, 750);
        EXPECT_EQ(param.ReceiveTimeoutMs, 750);
        EXPECT_EQ(param.Proxy, std::optional<std::string>("proxy.lan:3128"));
    }
}

TEST(FetchOptions, OptionsAfterOperandsAndTheEndMarker) {
    ParseResult late = Parse({"http://h/x", "-c", "2", "x"});
    ASSERT_TRUE(late.ok) << late.error;
    EXPECT_EQ(late.options.connections, 2);
    EXPECT_EQ(late.options.target, "x");
    // After "--" a word that looks like an option is an operand.
    ParseResult marked = Parse({"--", "http://h/x", "-out"});
    ASSERT_TRUE(marked.ok) << marked.error;
    EXPECT_EQ(marked.options.target, "-out");
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"http://h/x", "-h"}).help);
}

TEST(FetchOptions, BadNumbersAreRefused) {
    for (std::vector<std::string> words : std::vector<std::vector<std::string>>{
             {"-c", "0", "u", "t"},
             {"-c", "65", "u", "t"},
             {"-c", "4x", "u", "t"},
             {"-c", "-1", "u", "t"},
             {"-c", " 4", "u", "t"},
             {"--timeout", "0", "u", "t"},
             {"--timeout", "99999999999", "u", "t"},
             {"--speed-limit", "1.5", "u", "t"},
             {"--speed-limit=", "u", "t"},
             {"--stop-after", "", "u", "t"},
         }) {
        ParseResult result = ParseFetchArguments(words);
        EXPECT_FALSE(result.ok) << words[0] << " " << words[1];
        EXPECT_FALSE(result.error.empty());
    }
    EXPECT_TRUE(Parse({"--stop-after", "0", "u", "t"}).ok);  // stop at once is allowed
    EXPECT_TRUE(Parse({"-c", "64", "u", "t"}).ok);
}

TEST(FetchOptions, BadProxiesAreRefused) {
    EXPECT_TRUE(Parse({"--proxy", "10.0.0.1", "u", "t"}).ok);
    EXPECT_TRUE(Parse({"--proxy", "p:8080", "u", "t"}).ok);
    EXPECT_FALSE(Parse({"--proxy", "", "u", "t"}).ok);
    EXPECT_FALSE(Parse({"--proxy", "p:", "u", "t"}).ok);
    EXPECT_FALSE(Parse({"--proxy", "p:0", "u", "t"}).ok);
    EXPECT_FALSE(Parse({"--proxy", "p:70000", "u", "t"}).ok);
    EXPECT_FALSE(Parse({"--proxy", ":80", "u", "t"}).ok);
    EXPECT_FALSE(Parse({"--proxy", "http://p:80/", "u", "t"}).ok);
}

TEST(FetchOptions, OperandsAndUnknownOptions) {
    ParseResult none = Parse({});
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, "URL and TARGET are required");
    EXPECT_FALSE(Parse({"http://h/x"}).ok);
    ParseResult three = Parse({"a", "b", "c"});
    EXPECT_FALSE(three.ok);
    EXPECT_EQ(three.error, "too many operands: c");
    ParseResult unknown = Parse({"--connexions", "2", "u", "t"});
    EXPECT_FALSE(unknown.ok);
    EXPECT_EQ(unknown.error, "unknown option --connexions");
    ParseResult missing = Parse({"u", "t", "--timeout"});
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "--timeout needs a value");
    // Resume data exists only for a stopped task.
    EXPECT_FALSE(Parse({"--resume-out", "r", "u", "t"}).ok);
}

TEST(FetchOptions, ContinuingTakesTheTargetAloneAndNoProxy) {
    ParseResult resumed = Parse({"--resume-in", "r.bin", "--timeout=900", "t.bin"});
    ASSERT_TRUE(resumed.ok) << resumed.error;
    EXPECT_EQ(resumed.options.resumeIn, "r.bin");
    EXPECT_EQ(resumed.options.target, "t.bin");
    EXPECT_TRUE(resumed.options.url.empty());
    ParseResult again = Parse({"--resume-in=r.bin", "--stop-after", "10", "--resume-out", "r2.bin", "t.bin"});
    ASSERT_TRUE(again.ok) << again.error;  // a continued task can be stopped again
    EXPECT_EQ(again.options.resumeOut, "r2.bin");

    ParseResult withUrl = Parse({"--resume-in", "r.bin", "http://h/x", "t.bin"});
    EXPECT_FALSE(withUrl.ok);
    EXPECT_EQ(withUrl.error, "with --resume-in only TARGET is given, not a URL");
    EXPECT_EQ(Parse({"--resume-in", "r.bin"}).error, "TARGET is required");
    EXPECT_EQ(Parse({"--resume-in", "r.bin", "--proxy", "p:8080", "t"}).error, "--proxy cannot be used with --resume-in");
    EXPECT_EQ(Parse({"--resume-in=", "t"}).error, "--resume-in wants a file name");
    // Without --resume-in a lone operand is still not enough.
    EXPECT_FALSE(Parse({"t.bin"}).ok);
}

}  // namespace
}  // namespace zorv::fetch
