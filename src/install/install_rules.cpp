#include "install/install_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "runtime/arithmetic.h"
#include "runtime/conversion.h"
#include "runtime/gbk.h"
#include "runtime/text_commands.h"

namespace zorv::install {
namespace {

constexpr std::string_view kProductSuffix = "\\zorv";
constexpr std::string_view kAltProductSuffix = "/zorv";

// True when offset lies on a character boundary of text.
bool IsCharBoundary(std::string_view text, std::size_t offset) {
    std::size_t index = 0;
    while (index < offset) index += GbkCharLength(text, index);
    return index == offset;
}

template <typename Char>
constexpr Char AsciiLower(Char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
bool EqualsIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) { return AsciiLower(x) == AsciiLower(y); });
}

template <typename Char>
bool StartsWithIgnoringAsciiCase(std::basic_string_view<Char> text, std::basic_string_view<Char> prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

template <typename Char>
constexpr bool IsBlank(Char c) {
    return c == ' ' || c == '\t';
}

// Offset just after the program path: a quoted path ends with its closing
// quote, an unquoted one at the first blank.  Quotes and blanks are below
// 0x40 and so never the trail byte of a double-byte character.
template <typename Char>
std::size_t ProgramPathEnd(std::basic_string_view<Char> commandLine) {
    std::size_t pos = 0;
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    if (pos < commandLine.size() && commandLine[pos] == '"') {
        std::size_t close = commandLine.find(Char('"'), pos + 1);
        return close == std::basic_string_view<Char>::npos ? commandLine.size() : close + 1;
    }
    while (pos < commandLine.size() && !IsBlank(commandLine[pos])) ++pos;
    return pos;
}

template <typename Char>
std::basic_string_view<Char> ArgumentsPart(std::basic_string_view<Char> commandLine) {
    std::size_t pos = ProgramPathEnd(commandLine);
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    return commandLine.substr(pos);
}

// The arguments split at blanks outside quotes.  A quote toggles quoting and
// is dropped; 2n backslashes before a quote stand for n backslashes, 2n + 1
// for n backslashes and a literal quote; other backslashes are literal.
template <typename Char>
std::vector<std::basic_string<Char>> SplitArguments(std::basic_string_view<Char> arguments) {
    std::vector<std::basic_string<Char>> result;
    std::size_t pos = 0;
    while (true) {
        while (pos < arguments.size() && IsBlank(arguments[pos])) ++pos;
        if (pos >= arguments.size()) break;
        std::basic_string<Char> argument;
        bool quoted = false;
        while (pos < arguments.size() && (quoted || !IsBlank(arguments[pos]))) {
            Char c = arguments[pos];
            if (c == '\\') {
                std::size_t run = 0;
                while (pos < arguments.size() && arguments[pos] == '\\') ++run, ++pos;
                if (pos < arguments.size() && arguments[pos] == '"') {
                    argument.append(run / 2, Char('\\'));
                    if (run % 2 == 1) {
                        argument += Char('"');
                        ++pos;
                    }
                } else {
                    argument.append(run, Char('\\'));
                }
            } else if (c == '"') {
                quoted = !quoted;
                ++pos;
            } else {
                argument += c;
                ++pos;
            }
        }
        result.push_back(std::move(argument));
    }
    return result;
}

template <typename Char>
std::vector<std::basic_string<Char>> ArgumentList(std::basic_string_view<Char> commandLine) {
    return SplitArguments(ArgumentsPart(commandLine));
}

}  // namespace

std::string CompleteInstallFolder(std::string_view folder) {
    if (folder.empty()) return {};
    if (folder.size() >= kProductSuffix.size()) {
        std::size_t offset = folder.size() - kProductSuffix.size();
        std::string_view tail = folder.substr(offset);
        if ((tail == kProductSuffix || tail == kAltProductSuffix) && IsCharBoundary(folder, offset)) {
            return std::string(folder);
        }
    }
    return std::string(folder) + std::string(kProductSuffix);
}

std::string FolderFromPicker(std::string_view picked) {
    if (picked.empty()) return kDefaultInstallFolder;
    return std::string(picked) + std::string(kProductSuffix);
}

std::string InstallPathCaption(std::string_view folder) { return "当前安装路径 " + std::string(folder); }

std::vector<std::string> ExtractAllBetween(std::string_view text, std::string_view left, std::string_view right,
                                           bool caseSensitive, int start, bool includeLeft, bool includeRight,
                                           std::string_view prefix, std::string_view suffix, std::size_t maxLength) {
    std::vector<std::string> found;
    const std::string leftMarker = TextReplace(left, "#引号", "\"");
    const std::string rightMarker = TextReplace(right, "#引号", "\"");
    // An empty left marker would be found again and again at the same place.
    if (leftMarker.empty()) return found;
    const bool ignoreCase = !caseSensitive;
    int pos = start;
    while (true) {
        int leftPos = TextFind(text, leftMarker, pos, ignoreCase);
        if (leftPos < 0) break;
        int middleStart = leftPos + static_cast<int>(leftMarker.size());
        int rightPos = TextFind(text, rightMarker, middleStart, ignoreCase);
        if (rightPos < 0) break;
        std::string entry(prefix);
        entry += text.substr(static_cast<std::size_t>(middleStart) - 1, static_cast<std::size_t>(rightPos - middleStart));
        entry += suffix;
        if (!entry.empty()) {
            if (includeLeft) entry.insert(0, leftMarker);
            if (includeRight) entry += rightMarker;
            if (maxLength == 0 || entry.size() < maxLength) found.push_back(std::move(entry));
        }
        // The right marker lies after the left one, so the search moves on.
        pos = rightPos;
    }
    return found;
}

std::vector<std::string> FolderPathSteps(std::string_view path) {
    const std::string text = TextReplace(path, "/", "\\");
    std::string current = TextLeft(text, 2);
    std::vector<std::string> steps;
    for (const std::string& part : ExtractAllBetween(text, "\\", "\\")) {
        current += '\\';
        current += part;
        steps.push_back(current);
    }
    return steps;
}

std::string ProgressPercentText(int64_t received, int64_t total) {
    if (total <= 0) return {};
    double percent = static_cast<double>(received) / static_cast<double>(total) * 100.0;
    return ToText(RoundTo(percent, 0));
}

std::string ProgressMessage(std::string_view percentText) {
    return "正在下载新版本，进度：" + std::string(percentText) + " %";
}

bool IsDownloadComplete(int64_t received, int64_t fileLength) { return fileLength > 0 && received == fileLength; }

int32_t EaseStep(int32_t current, int32_t target) {
    double next = static_cast<double>(current) - 0.1 * (static_cast<double>(current) - static_cast<double>(target));
    return static_cast<int32_t>(std::trunc(next));
}

Point CentredPanelPosition(int32_t mainLeft, int32_t mainTop, int32_t mainWidth, int32_t mainHeight,
                           int32_t panelWidth, int32_t panelHeight, int32_t extraTop) {
    double left = static_cast<double>(mainLeft) + (static_cast<double>(mainWidth) - panelWidth) / 2.0;
    double top = static_cast<double>(mainTop) + (static_cast<double>(mainHeight) - panelHeight) / 2.0 + extraTop;
    return {static_cast<int32_t>(std::trunc(left)), static_cast<int32_t>(std::trunc(top))};
}

std::string ProductUrlFromCommandLine(std::string_view commandLine) {
    constexpr std::string_view kOption = "/URL=";
    for (const std::string& argument : ArgumentList(commandLine)) {
        std::string_view text = argument;
        if (!StartsWithIgnoringAsciiCase(text, kOption)) continue;
        std::string_view value = text.substr(kOption.size());
        for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")})
            if (value.size() > scheme.size() && StartsWithIgnoringAsciiCase(value, scheme)) return std::string(value);
        return {};
    }
    return {};
}

bool IsQuietUninstall(std::string_view commandLine) {
    int quiet = 0;
    for (const std::string& argument : ArgumentList(commandLine)) {
        std::string_view text = argument;
        if (EqualsIgnoringAsciiCase(text, std::string_view("/S"))) ++quiet;
        else if (!StartsWithIgnoringAsciiCase(text, std::string_view("/LOG="))) return false;
    }
    return quiet == 1;
}

std::wstring LogFileFromCommandLine(std::wstring_view commandLine) {
    constexpr std::wstring_view kOption = L"/LOG=";
    for (const std::wstring& argument : ArgumentList(commandLine)) {
        std::wstring_view text = argument;
        if (StartsWithIgnoringAsciiCase(text, kOption)) return std::wstring(text.substr(kOption.size()));
    }
    return {};
}

SilentInstallOptions SilentInstallOptionsOf(std::wstring_view commandLine) {
    constexpr std::wstring_view kFolder = L"/DIR=";
    SilentInstallOptions options;
    for (const std::wstring& argument : ArgumentList(commandLine)) {
        std::wstring_view text = argument;
        if (EqualsIgnoringAsciiCase(text, std::wstring_view(L"/S"))) {
            options.silent = true;
        } else if (EqualsIgnoringAsciiCase(text, std::wstring_view(L"/NOSHORTCUTS"))) {
            options.noShortcuts = true;
        } else if (EqualsIgnoringAsciiCase(text, std::wstring_view(L"/START"))) {
            options.start = true;
        } else if (StartsWithIgnoringAsciiCase(text, kFolder)) {
            options.folderGiven = true;
            options.folder = std::wstring(text.substr(kFolder.size()));
        }
    }
    return options;
}

std::string ArgumentsOf(std::string_view commandLine) { return std::string(ArgumentsPart(commandLine)); }

std::wstring ArgumentsOf(std::wstring_view commandLine) { return std::wstring(ArgumentsPart(commandLine)); }

}  // namespace zorv::install
