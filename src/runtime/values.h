#pragma once
// The program's value types: GBK texts are std::string, byte sets are byte
// vectors, date-times hold the OLE automation date (days since 1899-12-30,
// the fraction of a day as time of day).
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace zorv {

using ByteSet = std::vector<uint8_t>;

struct DateTime {
    double oleDate = 0.0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// A 32-bit code address as stored in a byte set.
struct SubprogramAddress {
    uint32_t address = 0;
    friend bool operator==(const SubprogramAddress&, const SubprogramAddress&) = default;
};

// One value of any basic type, as ByteSetReadValue produces it.
using Value = std::variant<uint8_t, int16_t, int32_t, int64_t, float, double, bool, DateTime, SubprogramAddress,
                           std::string>;

}  // namespace zorv
