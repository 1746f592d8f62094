#pragma once
// Code-page-936 (GBK) text helpers.  Every text of the program is a GBK byte
// string; positions are 1-based byte positions, and a double-byte character
// is always stepped over as one unit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zorv {

// True for the first byte of a double-byte GBK character.
constexpr bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Length in bytes of the character that starts at text[index]: 2 for a lead
// byte followed by another byte, otherwise 1.
inline std::size_t GbkCharLength(std::string_view text, std::size_t index) {
    return IsGbkLeadByte(static_cast<unsigned char>(text[index])) && index + 1 < text.size() ? 2 : 1;
}

// Offset of the last single-byte character c, or npos.  A backslash can be
// the trail byte of a double-byte character, so a plain byte search would cut
// such a character in two.
inline std::size_t FindLastGbkChar(std::string_view text, char c) {
    std::size_t found = std::string_view::npos;
    for (std::size_t index = 0; index < text.size(); index += GbkCharLength(text, index)) {
        if (text[index] == c) found = index;
    }
    return found;
}

// Offset of the first single-byte character c, or npos; a trail byte equal
// to c is no match.
inline std::size_t FindFirstGbkChar(std::string_view text, char c) {
    for (std::size_t index = 0; index < text.size(); index += GbkCharLength(text, index)) {
        if (text[index] == c) return index;
    }
    return std::string_view::npos;
}

// The first at most limit bytes of text, never half a double-byte character.
inline std::string CutGbkText(std::string_view text, std::size_t limit) {
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t step = GbkCharLength(text, end);
        if (end + step > limit) break;
        end += step;
    }
    return std::string(text.substr(0, end));
}

}  // namespace zorv
