#pragma once
// Text commands over GBK byte strings.  Lengths and positions are in bytes,
// positions are 1-based, and every scan steps over a double-byte character as
// one unit, so a match is found only at a character boundary.
#include <optional>
#include <string>
#include <string_view>

namespace zorv {

// The first min(n, length) bytes; n <= 0 gives the empty text.
std::string TextLeft(std::string_view text, int n);
// The last min(n, length) bytes; n <= 0 gives the empty text.
std::string TextRight(std::string_view text, int n);
// n bytes from position pos, cut at the end; pos < 1, pos > length or n <= 0
// give the empty text.
std::string TextMid(std::string_view text, int pos, int n);

// Position of the first occurrence of needle at or after start (default 1),
// else -1.  ignoreCase folds ASCII letters only.
int TextFind(std::string_view text, std::string_view needle, std::optional<int> start = std::nullopt,
             bool ignoreCase = false);
// Position of the last occurrence lying wholly within the first start - 1
// bytes (default: the whole text), else -1.
int TextFindLast(std::string_view text, std::string_view needle, std::optional<int> start = std::nullopt,
                 bool ignoreCase = false);

// Replaces occurrences of find from position start on, at most count of them
// (count < 0: all).  Bytes before start are copied unchanged.
std::string TextReplace(std::string_view text, std::string_view find, std::string_view replacement = {},
                        int start = 1, int count = -1, bool caseSensitive = true);

// A-Z become a-z; double-byte characters are copied unchanged.
std::string TextToLower(std::string_view text);
// A one-byte text of the code's low byte; empty when that byte is 0.
std::string CharFromCode(int code);
// n blanks; n < 1 gives the empty text.
std::string SpaceText(int n);

}  // namespace zorv
