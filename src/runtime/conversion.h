#pragma once
// Conversions between the basic value types: ToInteger, ToText, ToByteSet.
// Each type has its own overload; the const char* overloads keep a literal
// from being taken as a bool.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/values.h"

namespace zorv {

int32_t ToInteger(int32_t value);
int32_t ToInteger(int16_t value);
int32_t ToInteger(uint8_t value);
int32_t ToInteger(bool value);
// The low 32 bits.
int32_t ToInteger(int64_t value);
// Truncated toward zero; NaN and values outside the int range give
// INT32_MIN, the value the processor's own conversion yields for them.
int32_t ToInteger(double value);
int32_t ToInteger(float value);
// Full-width characters first become their half-width forms, then the C
// atoi rule: leading white space, an optional sign, decimal digits.  A
// value beyond the int range saturates at INT32_MAX / INT32_MIN.
int32_t ToInteger(std::string_view text);
int32_t ToInteger(const char* text);
int32_t ToInteger(SubprogramAddress value);

// GBK text with every full-width form (A3A1..A3FE, and the full-width blank
// A1A1) replaced by its ASCII counterpart.
std::string HalfWidthText(std::string_view text);

// Two upper-case hexadecimal digits per byte, high nibble first.
std::string HexDigest(std::span<const uint8_t> digest);

std::string ToText(std::string_view text);
std::string ToText(const char* text);
std::string ToText(const std::string& text);
// The bytes up to the first zero byte.
std::string ToText(const ByteSet& bytes);
std::string ToText(uint8_t value);
std::string ToText(int16_t value);
std::string ToText(int32_t value);
std::string ToText(int64_t value);
// Rounded to 6 significant digits, then "%.6g".
std::string ToText(float value);
// "%.13g".
std::string ToText(double value);
// "真" or "假".
std::string ToText(bool value);
// "2024年3月5日" followed by "14时5分9秒", "14时5分" or "14时" down to the last
// non-zero part of the time of day.
std::string ToText(DateTime value);

// Calendar fields of an OLE automation date, the time rounded to the second.
struct CalendarTime {
    int year, month, day, hour, minute, second;
};
CalendarTime CalendarFromOleDate(double oleDate);

ByteSet ToByteSet(std::string_view text);
ByteSet ToByteSet(const char* text);
ByteSet ToByteSet(const std::string& text);
ByteSet ToByteSet(const ByteSet& bytes);
// In-memory bytes, little-endian, the type's size (bool: 4 bytes).
ByteSet ToByteSet(uint8_t value);
ByteSet ToByteSet(int16_t value);
ByteSet ToByteSet(int32_t value);
ByteSet ToByteSet(int64_t value);
ByteSet ToByteSet(float value);
ByteSet ToByteSet(double value);
ByteSet ToByteSet(bool value);
ByteSet ToByteSet(DateTime value);

}  // namespace zorv
