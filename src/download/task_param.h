#pragma once
// Parameters of one download task.  The program keeps one record of this kind
// (filled with the start-up values below) and changes the fields it needs
// before it starts a task; the engine copies everything out of it at the start,
// so later changes do not affect a running task.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zorv {

// Called with (code, connection, value1, value2, task); the codes are the EV_*
// constants of download.h.  Connection and task are small identifiers of the
// engine (0 for "none"), never addresses.  The values are 64-bit: lengths
// and positions of files of up to 2^63 - 1 bytes come whole, never cut to
// 32 bits.  Runs on the task's master thread, except EV_TARGET_EXISTS, which
// runs on the first connection's worker thread and whose result decides
// what happens to an existing target file.
using EventCallback = std::function<int32_t(int32_t code, int32_t connection, int64_t value1,
                                            int64_t value2, int32_t task)>;

// Called with (connection, time stamp text, message text, level, task) on the
// task's master thread.  Texts are GBK byte strings; levels are the LEVEL_*
// constants of download.h.  The result is ignored.
using StatusCallback = std::function<int32_t(int32_t connection, const std::string& timeStamp,
                                             const std::string& text, int32_t level, int32_t task)>;

struct TaskParam {
    int32_t Flags = 1;                           // bits 8-15 mode; StartTask adds 0x1000
    std::string Url;                             // source URL
    std::string TargetPath;                      // local file; a trailing "\" names a folder
    std::string FtpUser = "anonymous";           // FTP only
    std::string FtpPassword = "anonymous@zorv.invalid";  // FTP only
    int32_t ConnectionCount = 1;                 // parallel connections wanted
    int32_t SpeedLimit = 0;                      // bytes per second for the task; 0 unlimited
    int32_t ConnectTimeoutMs = 20000;            // TCP connect
    int32_t SendTimeoutMs = 20000;               // socket writable before a request
    int32_t ReceiveTimeoutMs = 20000;            // longest silence while receiving
    int32_t StopWaitMs = 1000;                   // how long a stop waits for connections
    int32_t BlockSize = 20480;                   // kept for the record; a pass without a speed limit
                                                 // asks for all the room of the connection's buffer
    int32_t UploadBlockSize = 1024;              // upload mode only
    zorv::StatusCallback StatusCallback;         // none: status texts are discarded
    zorv::EventCallback EventCallback;           // none: events are discarded
    std::string FtpText;                         // FTP only
    int32_t FtpTransferType = 1;                 // FTP only: 1 binary, 2 text, 3 by extension
    std::string BinaryExtensions = ".exe|.rar|.zip|.gif|.jpg|.mp3|.rm";  // FTP only
    std::optional<std::string> Proxy;            // "host" or "host:port"; absent or empty = direct
    std::optional<std::string> Referer;          // absent or empty = derived from the URL
};

}  // namespace zorv
