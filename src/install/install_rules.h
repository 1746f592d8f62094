#pragma once
// The rules of the install flow that need no window and no system call: the
// install folder and its completion, the folders created along it, the
// texts of the progress messages, the easing arithmetic, the panel
// placement and the command-line options.  All texts
// are GBK byte strings; a scan for a single-byte character steps over a
// double-byte character as one unit, so a 0x5C trail byte is never taken
// for a backslash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorv::install {

// The install folder as the form template sets it, and as the folder picker
// leaves it when it yields nothing.
inline constexpr char kDefaultInstallFolder[] = "C:\\Program Files (x86)\\zorv";

// The folder with "\zorv" appended unless it already ends in "\zorv" or
// "/zorv" (exact bytes, case-sensitive; the suffix counts only when it
// starts on a character boundary).  A text shorter than five bytes never
// ends in the suffix.  The empty text stays empty.
std::string CompleteInstallFolder(std::string_view folder);

// What the folder picker puts into the folder box: the default folder when
// nothing was picked, else the picked folder followed by "\zorv", whatever
// it ends with.
std::string FolderFromPicker(std::string_view picked);

// "当前安装路径 " followed by the folder.
std::string InstallPathCaption(std::string_view folder);

// Every non-empty text between a left and a right marker, in order, each
// built as prefix + middle + suffix and, when asked, with the markers around
// it.  "#引号" in a marker stands for a double quote.  A right marker also
// serves as the next left marker.  start is a 1-based position (0: from the
// first byte).  With maxLength > 0 only entries shorter than maxLength bytes
// (markers included) are kept.  An empty left marker finds nothing.  Case
// folding, when caseSensitive is false, touches ASCII letters only.
std::vector<std::string> ExtractAllBetween(std::string_view text, std::string_view left, std::string_view right,
                                           bool caseSensitive = true, int start = 0, bool includeLeft = false,
                                           bool includeRight = false, std::string_view prefix = {},
                                           std::string_view suffix = {}, std::size_t maxLength = 0);

// The folders that have to exist for path, outermost first: "/" becomes
// "\", the first two bytes are the drive, and every non-empty part between
// two backslashes adds one level.  A last part without a backslash after it
// is no folder.  "D:\a/b\c\" gives D:\a, D:\a\b, D:\a\b\c.
std::vector<std::string> FolderPathSteps(std::string_view path);

// The download progress in percent: received / total × 100, rounded half up
// to a whole number (after adding 1e-12), as text without decimals.  Empty
// when total is not positive.  Values from 99.5 % on give "100".
std::string ProgressPercentText(int64_t received, int64_t total);
// "正在下载新版本，进度：" + percent + " %".
std::string ProgressMessage(std::string_view percentText);
// Complete only when the length is known (positive) and every byte arrived.
bool IsDownloadComplete(int64_t received, int64_t fileLength);

// One easing step of the progress panel animation:
// trunc(current − 0.1 × (current − target)).  It never passes the target;
// the animation writes the target itself at the end.
int32_t EaseStep(int32_t current, int32_t target);

struct Point {
    int32_t x, y;
};
// The progress panel centred over the main window and extraTop pixels lower;
// each coordinate computed in floating point and truncated toward zero.
Point CentredPanelPosition(int32_t mainLeft, int32_t mainTop, int32_t mainWidth, int32_t mainHeight,
                           int32_t panelWidth, int32_t panelHeight, int32_t extraTop);

// Command-line options.  commandLine is the whole command line as the
// system gives it: the program path first (quoted or not), then the
// arguments, split and unquoted by the usual Windows rules.
//
// The value of the first argument "/URL=..." (the option name in any case;
// the quotes may enclose the whole argument or only the value) when it is
// an http:// or https:// address (the scheme in any case), else the empty
// text.
std::string ProductUrlFromCommandLine(std::string_view commandLine);
// True when "/S" (any case) is the one argument besides a "/LOG=" option.
bool IsQuietUninstall(std::string_view commandLine);
// The file of the first "/LOG=..." argument (the option name in any case),
// as typed; empty when there is none.  The command line as the system gives
// it, so that a path in any script survives.
std::wstring LogFileFromCommandLine(std::wstring_view commandLine);

// The options of an install without a window: "/S", "/DIR=<folder>" (the
// rest of its argument, quoted or not), "/NOSHORTCUTS", "/START", names in
// any case, in any order, beside "/URL=" and "/LOG=".
struct SilentInstallOptions {
    bool silent = false;
    bool folderGiven = false;
    std::wstring folder;
    bool noShortcuts = false;
    bool start = false;
};
SilentInstallOptions SilentInstallOptionsOf(std::wstring_view commandLine);
// The arguments as they stand: the command line without the program path
// and the blanks after it.
std::string ArgumentsOf(std::string_view commandLine);
std::wstring ArgumentsOf(std::wstring_view commandLine);

}  // namespace zorv::install
