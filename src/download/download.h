#pragma once
// The download object and its commands.  A Download is a handle cell that is
// either idle or holds the one running task; the task copies one URL into one
// local file on threads of its own and reports through the callbacks of its
// TaskParam.  No command blocks on the network, except that a stop waits up to
// StopWaitMs for the connections to end.
#include <cstdint>
#include <memory>
#include <string>

#include "download/task_param.h"

namespace zorv {

// Codes passed as the first argument of EventCallback.
enum : int32_t {
    EV_FTP_OPTIONS = 2,
    EV_FILE_LENGTH = 3,          // value1 = total length; once, before the first bytes
    EV_TASK_FINISHED = 4,        // value1 = bytes received (stopped) or total length; last call
    EV_CONNECTION_STARTED = 5,
    EV_SEGMENT_STARTED = 6,      // value1 = position, value2 = segment end
    EV_SEGMENT_CONTINUED = 7,    // value1 = position, value2 = segment end
    EV_CONNECTION_ENDED = 8,     // value1 = position reached
    EV_CONNECTION_FAILED = 9,    // value1 = position reached
    EV_BYTES_RECEIVED = 16,      // value1 = bytes received and written into the file since the last one
    EV_BYTES_SENT = 17,
    EV_TARGET_EXISTS = 18,       // value1 = existing size, value2 = total length; result 0/1/2
};

// Levels passed to StatusCallback.
enum : int32_t {
    LEVEL_INFO = 0,
    LEVEL_SENT = 1,
    LEVEL_RECEIVED = 2,
    LEVEL_ERROR = 3,
};

namespace download {
class DownloadTask;
struct TaskCell;
}  // namespace download

class Download {
public:
    Download();
    // Stops a running task (its resume data is discarded) and waits until the
    // master thread and the connection threads of every task it started have
    // ended; destroyed from a callback of its own task, it leaves that task's
    // master thread to end by itself right after the callback.  A host name
    // lookup still under way is not waited for: it runs on a detached helper
    // thread that shares nothing with the object or its tasks and ends when
    // the system's resolver answers.
    ~Download();
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    // The cell shared with the running task, which clears it when it ends.
    download::TaskCell& Cell() { return *cell_; }
    std::shared_ptr<download::TaskCell> CellPointer() const { return cell_; }

private:
    std::shared_ptr<download::TaskCell> cell_;
};

// Starts a task; false when one is already held, when the URL has no known
// scheme or no host, when the scheme is neither HTTP nor HTTPS (the FTP, MMS
// and RTSP transfers are not carried), or when the master thread cannot be
// created.
bool StartTask(Download& download, const TaskParam& param);

// Continues the task recorded in resumeData (written by GetResumeData or
// StopTaskKeepResume) into param.TargetPath, which must exist with exactly
// the recorded total length.  The request data (host, path, Referer, Cookie
// line, address and port, the scheme and a proxy's tunnel) come from
// resumeData; param gives the callbacks, limits, time-outs and the target
// path (its URL and proxy are not used).
// Every unfinished segment gets a connection that asks for the rest of it
// with a range request; the bytes already done count as received.  False
// when a task is held, the data is refused, or the file cannot be opened at
// that length (the reason then goes to param.StatusCallback at once, on the
// caller's thread, with task 0).
bool StartTaskFromResume(Download& download, const TaskParam& param, const std::string& resumeData);

// Bytes received so far by the running task; 0 when there is none.
int64_t GetDownloadedLength(Download& download);

// Replaces resumeData with the running task's current resume data; false when
// no task is running.
bool GetResumeData(Download& download, std::string& resumeData);

// Stops the running task, stores its resume data and clears the cell; false
// when no task is running.  `unused` has no effect.
bool StopTaskKeepResume(Download& download, std::string& resumeData, int32_t unused = 2);

// Stops the running task, if any, discarding its resume data.
void StopTask(Download& download);

}  // namespace zorv
