#include "runtime/fatal.h"

#include <atomic>
#include <cstdio>

#include "runtime/exit.h"

namespace zorv {
namespace {

std::atomic<FatalErrorHandler> installedHandler{nullptr};
std::atomic<LocationDescriber> installedDescriber{nullptr};
std::atomic<int> errorCount{0};

// A fatal error raised while the same thread reports one (an allocation
// failing while the text is built, say) ends the process at once instead of
// recursing.
thread_local bool reportingFatalError = false;

class ReportingScope {
public:
    ReportingScope() { reportingFatalError = true; }
    ~ReportingScope() { reportingFatalError = false; }
    ReportingScope(const ReportingScope&) = delete;
    ReportingScope& operator=(const ReportingScope&) = delete;
};

constexpr std::string_view kErrorTable[] = {
    "数组成员引用下标超出定义范围",
    "未得到所需要的数值型数据",
    "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
    "数组成员引用下标必须大于等于1",
    "数据或数组类型不匹配",
    "调用DLL命令后发现堆栈错误",
    "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
    "被比较数据只能使用等于或不等于命令比较",
    "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
    "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
    "所提供参数的数据类型不符合要求",
};

[[noreturn]] void RaiseFatalError(int number, const std::string& message, int word1, int word2) {
    if (reportingFatalError) ExitProgram(-1);
    std::string location;
    {
        ReportingScope scope;
        errorCount.fetch_add(1);
        location = BuildLocationText(word1, word2);
        FatalErrorHandler handler = installedHandler.load();
        if (handler == nullptr || !handler(message, location)) {
            ShowFatalErrorBox(BuildFatalErrorText(number, message, location));
        }
    }
    ExitProgram(-1);
}

}  // namespace

void SetFatalErrorHandler(FatalErrorHandler handler) { installedHandler.store(handler); }
void SetLocationDescriber(LocationDescriber describer) { installedDescriber.store(describer); }
int FatalErrorCount() { return errorCount.load(); }

std::string_view RuntimeErrorMessage(int number) {
    if (number < 1 || number > static_cast<int>(std::size(kErrorTable))) return {};
    return kErrorTable[number - 1];
}

std::string BuildLocationText(int locationWord1, int locationWord2) {
    char words[32];
    std::snprintf(words, sizeof words, "%d, %d", locationWord1, locationWord2);
    std::string text = "\r\n";
    text += words;
    LocationDescriber describer = installedDescriber.load();
    LocationNames names = describer ? describer(locationWord1, locationWord2) : LocationNames{};
    if (names.isWindowUnit) {
        if (names.windowName) {
            text += "\r\n\"" + *names.windowName + "\"";
            text += names.unitName ? "\r\n\"" + *names.unitName + "\"" : std::string("\r\n未找到所指定的窗口组件");
        } else {
            text += "\r\n未找到所指定的窗口";
        }
    }
    text += "\r\n";
    return text;
}

std::string BuildFatalErrorText(int number, std::string_view message, std::string_view location) {
    std::string text = "运行时出错!\r\n";
    if (number != 0) {
        text += "\r\n错误代码：";
        text += std::to_string(number);
        text += "\r\n";
    }
    if (!message.empty()) {
        text += "\r\n错误信息：";
        text += message;
        text += "\r\n";
    }
    text += location;
    return text;
}

void FatalRuntimeError(const std::string& message) { RaiseFatalError(0, message, 0, 0); }

void FatalRuntimeError(const std::string& message, int locationWord1, int locationWord2) {
    RaiseFatalError(0, message, locationWord1, locationWord2);
}

void ReportRuntimeError(int number, int locationWord1, int locationWord2) {
    RaiseFatalError(number, std::string(RuntimeErrorMessage(number)), locationWord1, locationWord2);
}

// The size in full: "%lu" of an unsigned long would cut a 64-bit size_t on
// Windows, where long has 32 bits.
void FatalAllocationFailure(std::size_t size) {
    FatalRuntimeError("分配 " + std::to_string(size) + " 字节内存失败!");
}

}  // namespace zorv
