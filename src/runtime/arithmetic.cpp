#include "runtime/arithmetic.h"

#include <cmath>

#include "runtime/fatal.h"

namespace zorv {

double Remainder(double dividend, std::initializer_list<double> divisors) {
    double result = dividend;
    for (double divisor : divisors) {
        if (divisor == 0.0) FatalRuntimeError("不能求余数于零");
        result = std::fmod(result, divisor);
    }
    return result;
}

int32_t BitAnd(std::initializer_list<int32_t> values) {
    int32_t result = -1;
    for (int32_t value : values) result &= value;
    return values.size() == 0 ? 0 : result;
}

int32_t BitOr(std::initializer_list<int32_t> values) {
    int32_t result = 0;
    for (int32_t value : values) result |= value;
    return result;
}

int32_t ShiftRight(int32_t value, int32_t n) { return value >> (n & 31); }

int32_t MakeRgb(int32_t red, int32_t green, int32_t blue) {
    return static_cast<int32_t>((static_cast<uint32_t>(blue & 0xFF) << 16) |
                                (static_cast<uint32_t>(green & 0xFF) << 8) | static_cast<uint32_t>(red & 0xFF));
}

double RoundTo(double value, int places) {
    if (value == 0.0 || !std::isfinite(value)) return value;
    double sign = value < 0 ? -1.0 : 1.0;
    double magnitude = std::fabs(value);
    double scale = std::pow(10.0, std::abs(places));
    double scaled = places > 0 ? magnitude * scale : places < 0 ? magnitude / scale : magnitude;
    // From 2^52 on every double is a whole number: nothing to round, and
    // undoing an infinite scale would give NaN.
    if (!std::isfinite(scaled) || scaled >= 4503599627370496.0) return value;
    double shifted = scaled + 1e-12;
    double whole = std::trunc(shifted);
    if (shifted - whole >= 0.5) whole += 1.0;
    if (whole == 0.0) return 0.0;  // no negative zero, which would print as "-0"
    double unscaled = places > 0 ? whole / scale : places < 0 ? whole * scale : whole;
    return sign * unscaled;
}

double Exp(double x) { return std::exp(x); }

}  // namespace zorv
