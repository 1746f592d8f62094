// The text commands over GBK byte strings with any bytes (a lead byte alone
// at the end, trail bytes that look like ASCII) and any counts and positions
// (negative, past the end, huge).
//
// Input: three 32-bit numbers (a count, a position, a replacement count),
// one byte of flags (bit 0: ignore case), then the text, the needle and the
// replacement, separated by zero bytes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "runtime/gbk.h"
#include "runtime/text_commands.h"

using namespace zorv;

namespace {

// Whether offset is where a character starts when the text is read from
// `from` on (or its end).
bool IsBoundary(std::string_view text, size_t from, size_t offset) {
    size_t at = from;
    while (at < offset) at += GbkCharLength(text, at);
    return at == offset;
}

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool FoldedEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return Folded(x) == Folded(y);
           });
}

void CheckCuts(std::string_view text, int n, int pos) {
    const size_t size = text.size();
    const std::string left = TextLeft(text, n);
    FUZZ_CHECK(left == text.substr(0, n <= 0 ? 0 : std::min<size_t>(size, static_cast<size_t>(n))));
    const std::string right = TextRight(text, n);
    FUZZ_CHECK(right.size() == (n <= 0 ? 0 : std::min<size_t>(size, static_cast<size_t>(n))));
    FUZZ_CHECK(text.substr(size - right.size()) == right);
    const std::string mid = TextMid(text, pos, n);
    if (pos < 1 || n <= 0 || static_cast<size_t>(pos) > size)
        FUZZ_CHECK(mid.empty());
    else
        FUZZ_CHECK(mid == text.substr(static_cast<size_t>(pos) - 1, static_cast<size_t>(n)));

    const size_t limit = n < 0 ? 0 : static_cast<size_t>(n);
    const std::string cut = CutGbkText(text, limit);
    FUZZ_CHECK(cut.size() <= limit && text.substr(0, cut.size()) == cut);
    FUZZ_CHECK(cut.size() == size || cut.size() + 1 >= limit);
    FUZZ_CHECK(IsBoundary(text, 0, cut.size()));
}

void CheckFind(std::string_view text, std::string_view needle, int start, bool ignoreCase) {
    const int found = TextFind(text, needle, start, ignoreCase);
    if (found != -1) {
        const size_t from = start > 0 ? static_cast<size_t>(start) - 1 : 0;
        FUZZ_CHECK(found >= 1 && static_cast<size_t>(found) - 1 >= from);
        const size_t at = static_cast<size_t>(found) - 1;
        FUZZ_CHECK(at + needle.size() <= text.size());
        FUZZ_CHECK(IsBoundary(text, from, at));
        const std::string_view hit = text.substr(at, needle.size());
        FUZZ_CHECK(ignoreCase ? FoldedEqual(hit, needle) : hit == needle);
    }
    FUZZ_CHECK(TextFind(text, needle, std::nullopt, ignoreCase) == TextFind(text, needle, 1, ignoreCase));

    const int last = TextFindLast(text, needle, start, ignoreCase);
    if (last != -1) {
        const size_t region = start > 1 ? std::min<size_t>(text.size(), static_cast<size_t>(start) - 1) : text.size();
        FUZZ_CHECK(last >= 1);
        const size_t at = static_cast<size_t>(last) - 1;
        FUZZ_CHECK(at + needle.size() <= region);
        FUZZ_CHECK(IsBoundary(text, 0, at));
        const std::string_view hit = text.substr(at, needle.size());
        FUZZ_CHECK(ignoreCase ? FoldedEqual(hit, needle) : hit == needle);
    }
}

void CheckReplace(std::string_view text, std::string_view find, std::string_view replacement, int start,
                  int count, bool ignoreCase) {
    const std::string replaced = TextReplace(text, find, replacement, start, count, !ignoreCase);
    const size_t from = start > 1 ? std::min<size_t>(text.size(), static_cast<size_t>(start) - 1) : 0;
    FUZZ_CHECK(replaced.compare(0, from, text.substr(0, from)) == 0);
    FUZZ_CHECK(TextReplace(text, find, replacement, start, 0, !ignoreCase) == text);
    FUZZ_CHECK(TextReplace(text, find, find, start, count, true) == text);
    if (replacement == find && !ignoreCase) FUZZ_CHECK(replaced == text);
}

// Lowering touches single-byte capitals only; double-byte characters keep
// their bytes, even a trail byte in the range of the capitals.
void CheckLower(std::string_view text) {
    const std::string lower = TextToLower(text);
    FUZZ_CHECK(lower.size() == text.size());
    for (size_t at = 0; at < text.size(); at += GbkCharLength(text, at)) {
        if (GbkCharLength(text, at) == 2)
            FUZZ_CHECK(lower.compare(at, 2, text.substr(at, 2)) == 0);
        else
            FUZZ_CHECK(lower[at] == Folded(text[at]));
    }
}

void CheckCharSearch(std::string_view text, char c) {
    const size_t first = FindFirstGbkChar(text, c);
    const size_t last = FindLastGbkChar(text, c);
    FUZZ_CHECK((first == std::string_view::npos) == (last == std::string_view::npos));
    if (first == std::string_view::npos) return;
    FUZZ_CHECK(first <= last && text[first] == c && text[last] == c);
    FUZZ_CHECK(IsBoundary(text, 0, first) && IsBoundary(text, 0, last));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::InputParts input(data, size);
    const int n = input.Int32();
    const int pos = input.Int32();
    const int count = input.Int32();
    const bool ignoreCase = input.Byte() & 1;
    const std::string text = input.Text();
    const std::string needle = input.Text();
    const std::string replacement = input.Text();

    CheckCuts(text, n, pos);
    CheckFind(text, needle, pos, ignoreCase);
    CheckReplace(text, needle, replacement, pos, count, ignoreCase);
    CheckLower(text);
    for (char c : {'\\', '/', '=', ']', needle.empty() ? 'a' : needle[0]}) CheckCharSearch(text, c);
    FUZZ_CHECK(CharFromCode(n).size() <= 1);
    return 0;
}
