#include "runtime/conversion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "runtime/arithmetic.h"
#include "runtime/gbk.h"

namespace zorv {
namespace {

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char buffer[64];
    int length = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

template <typename Unsigned>
ByteSet LittleEndianBytes(Unsigned bits) {
    ByteSet bytes(sizeof(Unsigned));
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    return bytes;
}

template <typename Unsigned, typename T>
Unsigned BitsOf(T value) {
    static_assert(sizeof(Unsigned) == sizeof(T));
    Unsigned bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Days since 1970-01-01 to the proleptic Gregorian calendar.
void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

int32_t ToInteger(int32_t value) { return value; }
int32_t ToInteger(int16_t value) { return value; }
int32_t ToInteger(uint8_t value) { return value; }
int32_t ToInteger(bool value) { return value ? 1 : 0; }
int32_t ToInteger(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }
int32_t ToInteger(float value) { return ToInteger(static_cast<double>(value)); }
int32_t ToInteger(SubprogramAddress value) { return static_cast<int32_t>(value.address); }

int32_t ToInteger(double value) {
    // Converting an out-of-range double is undefined in C++.
    if (!(value > -2147483649.0 && value < 2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

std::string HalfWidthText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t step = GbkCharLength(text, pos);
        auto lead = static_cast<unsigned char>(text[pos]);
        auto trail = step == 2 ? static_cast<unsigned char>(text[pos + 1]) : 0;
        if (step == 2 && lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
            result += static_cast<char>(trail - 0x80);
        } else if (step == 2 && lead == 0xA1 && trail == 0xA1) {
            result += ' ';
        } else {
            result += text.substr(pos, step);
        }
        pos += step;
    }
    return result;
}

int32_t ToInteger(std::string_view text) {
    std::string half = HalfWidthText(text);
    std::size_t pos = 0;
    while (pos < half.size() && IsCSpace(half[pos])) ++pos;
    bool negative = false;
    if (pos < half.size() && (half[pos] == '+' || half[pos] == '-')) negative = half[pos++] == '-';
    int64_t magnitude = 0;
    constexpr int64_t limit = int64_t{1} << 31;
    for (; pos < half.size() && half[pos] >= '0' && half[pos] <= '9'; ++pos) {
        magnitude = std::min(magnitude * 10 + (half[pos] - '0'), limit);
    }
    int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t ToInteger(const char* text) { return ToInteger(std::string_view(text ? text : "")); }

std::string ToText(std::string_view text) { return std::string(text); }
std::string ToText(const char* text) { return text ? std::string(text) : std::string(); }
std::string ToText(const std::string& text) { return text; }

std::string ToText(const ByteSet& bytes) {
    std::size_t end = 0;
    while (end < bytes.size() && bytes[end] != 0) ++end;
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
}

std::string ToText(uint8_t value) { return Format("%u", static_cast<unsigned>(value)); }
std::string ToText(int16_t value) { return Format("%d", static_cast<int>(value)); }
std::string ToText(int32_t value) { return Format("%d", static_cast<int>(value)); }
std::string ToText(int64_t value) { return Format("%lld", static_cast<long long>(value)); }

std::string ToText(float value) {
    double wide = value;
    if (std::isfinite(wide) && wide != 0.0) {
        int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(wide))));
        wide = RoundTo(wide, 5 - magnitude);
    }
    return Format("%.6g", wide);
}

std::string ToText(double value) { return Format("%.13g", value); }
std::string ToText(bool value) { return value ? "真" : "假"; }

CalendarTime CalendarFromOleDate(double oleDate) {
    CalendarTime result{1899, 12, 30, 0, 0, 0};
    if (!std::isfinite(oleDate) || std::fabs(oleDate) > 1e9) return result;
    // The integer part counts days from 1899-12-30 and the fraction, whatever
    // the sign of the date, is the time of that day.
    double wholeDays = std::trunc(oleDate);
    auto days = static_cast<int64_t>(wholeDays);
    auto seconds = static_cast<int64_t>(std::llround(std::fabs(oleDate - wholeDays) * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    CivilFromDays(days - 25569, result.year, result.month, result.day);
    result.hour = static_cast<int>(seconds / 3600);
    result.minute = static_cast<int>(seconds / 60 % 60);
    result.second = static_cast<int>(seconds % 60);
    return result;
}

std::string ToText(DateTime value) {
    CalendarTime time = CalendarFromOleDate(value.oleDate);
    std::string text = Format("%d年%d月%d日", time.year, time.month, time.day);
    if (time.second != 0) {
        text += Format("%d时%d分%d秒", time.hour, time.minute, time.second);
    } else if (time.minute != 0) {
        text += Format("%d时%d分", time.hour, time.minute);
    } else if (time.hour != 0) {
        text += Format("%d时", time.hour);
    }
    return text;
}

ByteSet ToByteSet(std::string_view text) { return ByteSet(text.begin(), text.end()); }
ByteSet ToByteSet(const char* text) { return ToByteSet(std::string_view(text ? text : "")); }
ByteSet ToByteSet(const std::string& text) { return ToByteSet(std::string_view(text)); }
ByteSet ToByteSet(const ByteSet& bytes) { return bytes; }
ByteSet ToByteSet(uint8_t value) { return LittleEndianBytes(value); }
ByteSet ToByteSet(int16_t value) { return LittleEndianBytes(static_cast<uint16_t>(value)); }
ByteSet ToByteSet(int32_t value) { return LittleEndianBytes(static_cast<uint32_t>(value)); }
ByteSet ToByteSet(int64_t value) { return LittleEndianBytes(static_cast<uint64_t>(value)); }
ByteSet ToByteSet(float value) { return LittleEndianBytes(BitsOf<uint32_t>(value)); }
ByteSet ToByteSet(double value) { return LittleEndianBytes(BitsOf<uint64_t>(value)); }
ByteSet ToByteSet(bool value) { return LittleEndianBytes(uint32_t{value ? 1u : 0u}); }
ByteSet ToByteSet(DateTime value) { return ToByteSet(value.oleDate); }

std::string HexDigest(std::span<const uint8_t> digest) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(digest.size() * 2);
    for (uint8_t byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 15]);
    }
    return hex;
}

}  // namespace zorv
