// zorv-fetch: fetches one URL into one file with the download engine and
// reports what the engine says while it works.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "download/download.h"
#include "download/segments.h"
#include "fetch_options.h"
#include "fetch_report.h"
#include "terminal.h"

namespace {

using namespace zorv::fetch;
using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Every line goes through here: the engine's master thread prints statuses
// and events while the main thread draws the progress line, which is erased
// before any other line so that the two never share a row.
class Printer {
public:
    Printer(bool quiet, bool terminal) : quiet_(quiet), terminal_(terminal) {}

    void Line(const std::string& text) {
        if (quiet_) return;
        std::lock_guard<std::mutex> lock(mutex_);
        ClearProgress();
        std::fputs(TerminalText(text).c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    void Progress(const std::string& text) {
        if (quiet_ || !terminal_) return;
        std::lock_guard<std::mutex> lock(mutex_);
        ClearProgress();
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        progressWidth_ = text.size();
    }
    void Final(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        ClearProgress();
        std::fputs(TerminalText(text).c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

private:
    void ClearProgress() {
        if (progressWidth_ == 0) return;
        std::fputc('\r', stdout);
        std::fputs(std::string(progressWidth_, ' ').c_str(), stdout);
        std::fputc('\r', stdout);
        progressWidth_ = 0;
    }

    std::mutex mutex_;
    bool quiet_;
    bool terminal_;
    size_t progressWidth_ = 0;
};

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    ParseResult parsed = ParseFetchArguments(arguments);
    if (parsed.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (!parsed.ok) {
        std::fprintf(stderr, "zorv-fetch: %s\n%s", parsed.error.c_str(), UsageText().c_str());
        return 2;
    }
    const FetchOptions& options = parsed.options;

    // Declared before the Download, so that they outlive any callback: the
    // Download's destructor stops a task that is still running.
    Printer printer(options.quiet, StdoutIsTerminal());
    TaskRecord record;
    zorv::Download download;

    zorv::TaskParam param;
    ApplyOptions(options, param);
    param.StatusCallback = [&](int32_t connection, const std::string&, const std::string& text, int32_t level,
                               int32_t) {
        printer.Line(record.OnStatus(connection, text, level));
        return 0;
    };
    param.EventCallback = [&](int32_t code, int32_t connection, int64_t value1, int64_t value2, int32_t) {
        // Printed before it is recorded: recording EV_TASK_FINISHED wakes the
        // main thread, whose verdict must be the last line.
        printer.Line(EventLine(code, connection, value1, value2));
        record.OnEvent(code, connection, value1, value2);
        // An existing target is never renamed nor overwritten: the task gives up.
        return code == zorv::EV_TARGET_EXISTS ? 1 : 0;
    };

    Clock::time_point start = Clock::now();
    if (!options.resumeIn.empty()) {
        // A continued task: the bytes already done count towards the length.
        std::string resumeData;
        std::optional<zorv::download::ResumeRecord> recorded;
        if (ReadWholeFile(options.resumeIn, resumeData)) recorded = zorv::download::ReadResumeData(resumeData);
        if (recorded) record.StartFrom(zorv::download::DoneSum(recorded->table));
        if (!recorded || !zorv::StartTaskFromResume(download, param, resumeData)) {
            record.MarkStartFailed(!recorded ? "no usable resume data in " + options.resumeIn
                                             : "resume data refused, or TARGET missing or not of the recorded size");
            printer.Final(record.Conclude(0).line);
            return 1;
        }
    } else if (!zorv::StartTask(download, param)) {
        record.MarkStartFailed();
        printer.Final(record.Conclude(0).line);
        return 1;
    }

    ProgressThrottle throttle(200);  // at most five progress lines a second
    bool stopRequested = false;
    while (!record.WaitFinished(50)) {
        int64_t elapsed = MsSince(start);
        if (options.stopAfterMs && !stopRequested && elapsed >= *options.stopAfterMs) {
            stopRequested = true;
            std::string resume;
            if (zorv::StopTaskKeepResume(download, resume)) {
                std::string note;
                if (!options.resumeOut.empty()) {
                    note = WriteFile(options.resumeOut, resume)
                               ? std::to_string(resume.size()) + " bytes of resume data in " + options.resumeOut
                               : "the resume data could not be written to " + options.resumeOut;
                }
                record.MarkStopped(elapsed, note);
            }
        }
        if (throttle.Due(elapsed)) {
            printer.Progress(ProgressLine(record.Bytes(), record.Length(), elapsed));
        }
    }
    Verdict verdict = record.Conclude(MsSince(start));
    printer.Final(verdict.line);
    return verdict.success ? 0 : 1;
}
