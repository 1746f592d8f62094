#include "runtime/text_commands.h"

#include <algorithm>

#include "runtime/gbk.h"

namespace zorv {
namespace {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares needle with the text at offset, which lies on a character
// boundary.  Ignoring case folds single-byte characters only: the trail byte
// of a double-byte character may fall in the ASCII letter range, and folding
// it would make two different characters equal.
bool MatchesAt(std::string_view text, std::size_t offset, std::string_view needle, bool ignoreCase) {
    if (text.size() - offset < needle.size()) return false;
    if (!ignoreCase) return text.compare(offset, needle.size(), needle) == 0;
    std::size_t i = 0;
    while (i < needle.size()) {
        std::size_t step = GbkCharLength(text, offset + i);
        if (step == 1) {
            if (AsciiLower(text[offset + i]) != AsciiLower(needle[i])) return false;
            ++i;
        } else {
            for (std::size_t k = 0; k < step && i < needle.size(); ++k, ++i) {
                if (text[offset + i] != needle[i]) return false;
            }
        }
    }
    return true;
}

}  // namespace

std::string TextLeft(std::string_view text, int n) {
    if (n <= 0) return {};
    return std::string(text.substr(0, static_cast<std::size_t>(n)));
}

std::string TextRight(std::string_view text, int n) {
    if (n <= 0) return {};
    std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
    return std::string(text.substr(text.size() - count));
}

std::string TextMid(std::string_view text, int pos, int n) {
    if (pos < 1 || n <= 0 || static_cast<std::size_t>(pos) > text.size()) return {};
    return std::string(text.substr(static_cast<std::size_t>(pos) - 1, static_cast<std::size_t>(n)));
}

int TextFind(std::string_view text, std::string_view needle, std::optional<int> start, bool ignoreCase) {
    std::size_t offset = 0;
    if (start && *start > 0) offset = static_cast<std::size_t>(*start) - 1;
    if (offset >= text.size()) return -1;
    // The empty text occurs right where the search begins.
    if (needle.empty()) return static_cast<int>(offset) + 1;
    for (std::size_t pos = offset; text.size() - pos >= needle.size(); pos += GbkCharLength(text, pos)) {
        if (MatchesAt(text, pos, needle, ignoreCase)) return static_cast<int>(pos) + 1;
    }
    return -1;
}

int TextFindLast(std::string_view text, std::string_view needle, std::optional<int> start, bool ignoreCase) {
    std::string_view region = text;
    if (start) {
        if (*start <= 1) return -1;
        region = text.substr(0, static_cast<std::size_t>(*start) - 1);
    }
    if (region.empty()) return -1;
    if (needle.empty()) return 1;
    int last = -1;
    for (std::size_t pos = 0; region.size() - pos >= needle.size(); pos += GbkCharLength(region, pos)) {
        if (MatchesAt(region, pos, needle, ignoreCase)) last = static_cast<int>(pos) + 1;
    }
    return last;
}

std::string TextReplace(std::string_view text, std::string_view find, std::string_view replacement, int start,
                        int count, bool caseSensitive) {
    std::size_t offset = start > 1 ? static_cast<std::size_t>(start) - 1 : 0;
    if (text.empty() || find.empty() || offset >= text.size()) return std::string(text);
    std::string result(text.substr(0, offset));
    std::size_t pos = offset;
    int remaining = count;
    while (remaining != 0 && text.size() - pos >= find.size()) {
        if (MatchesAt(text, pos, find, !caseSensitive)) {
            result += replacement;
            pos += find.size();
            if (remaining > 0) --remaining;
        } else {
            std::size_t step = GbkCharLength(text, pos);
            result += text.substr(pos, step);
            pos += step;
        }
    }
    result += text.substr(pos);
    return result;
}

std::string TextToLower(std::string_view text) {
    std::string result(text);
    for (std::size_t pos = 0; pos < result.size(); pos += GbkCharLength(result, pos)) {
        result[pos] = AsciiLower(result[pos]);
    }
    return result;
}

std::string CharFromCode(int code) {
    char byte = static_cast<char>(code & 0xFF);
    if (byte == 0) return {};
    return std::string(1, byte);
}

std::string SpaceText(int n) {
    if (n < 1) return {};
    return std::string(static_cast<std::size_t>(n), ' ');
}

}  // namespace zorv
