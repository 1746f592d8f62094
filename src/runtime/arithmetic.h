#pragma once
// Arithmetic and bit commands.
#include <cstdint>
#include <initializer_list>

namespace zorv {

// ((a mod b) mod c) ..., the C fmod rule (the result has the dividend's
// sign).  A zero divisor is a fatal runtime error ("不能求余数于零").
double Remainder(double dividend, std::initializer_list<double> divisors);
inline double Remainder(double dividend, double divisor) { return Remainder(dividend, {divisor}); }

int32_t BitAnd(std::initializer_list<int32_t> values);
inline int32_t BitAnd(int32_t a, int32_t b) { return BitAnd({a, b}); }
int32_t BitOr(std::initializer_list<int32_t> values);
inline int32_t BitOr(int32_t a, int32_t b) { return BitOr({a, b}); }

// Arithmetic shift right by n & 31.
int32_t ShiftRight(int32_t value, int32_t n);

// The Windows COLORREF layout: 0x00BBGGRR.
int32_t MakeRgb(int32_t red, int32_t green, int32_t blue);

// Rounds to the given number of decimal places (negative: tens, hundreds,
// ...), half away from zero.
double RoundTo(double value, int places = 0);

double Exp(double x);

}  // namespace zorv
