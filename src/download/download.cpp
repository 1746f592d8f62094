#include "download/download.h"

// The Download object without its transfer engine: the cell never holds a
// task, so StartTask refuses every URL and the stop commands find nothing
// to stop.  The program's quit and exit paths work against it unchanged.

namespace zorv {
namespace download {
struct TaskCell {};
}  // namespace download

Download::Download() : cell_(std::make_shared<download::TaskCell>()) {}
Download::~Download() = default;

bool StartTask(Download&, const TaskParam&) { return false; }
int32_t GetDownloadedLength(Download&) { return 0; }
bool GetResumeData(Download&, std::string&) { return false; }
bool StopTaskKeepResume(Download&, std::string&, int32_t) { return false; }
void StopTask(Download&) {}

}  // namespace zorv
