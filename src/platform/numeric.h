#pragma once
// The number conventions every subsystem shares: rounding half to even, floor as
// the integer part, the leading-number parse of typed text, and fixed formats with ".".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Round to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double x);
// RoundHalfEven as a 32-bit integer; values beyond the range saturate.
int32_t RoundToInt(double x);
// RoundToInt for many values at once (the rounding mode is looked at once).
void RoundToInts(const double* x, int32_t* out, std::size_t count);
// Int(): the largest whole number not above x.
double Int(double x);

// Val(): the leading decimal number of a text ("2.5abc" -> 2.5, "x" -> 0). Leading
// blanks are skipped, a sign and one "." are accepted, an exponent E/e with digits too.
double Val(std::string_view text);

// "0.0" style: fixed decimals with "." whatever the locale.
std::string FormatFixed(double x, int decimals);
// "00" / "000" style: at least `digits` digits, zero padded, after rounding half to even.
std::string FormatZeroPadded(double x, int digits);

// True when v fits a signed 16-bit field.
inline bool FitsInt16(long long v) { return v >= -32768 && v <= 32767; }

}  // namespace platform
