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

}  // namespace zorv
