#pragma once
// Rounding helpers for the detection's hot loops. They give exactly what
// platform::RoundHalfEven gives in the default rounding mode, without a library call
// per sample (a bin rounds a few hundred thousand values).
#include <cmath>
#include <cstdint>
#include <limits>

namespace detection::internal {

// Nearest whole number, halves to even. Values of 2^51 and beyond are already whole;
// NaN and infinities pass through.
inline double RoundEven(double x) {
  constexpr double kLimit = 2251799813685248.0;  // 2^51
  constexpr double kMagic = 6755399441055744.0;  // 1.5 * 2^52: its ulp is 1
  if (!(std::fabs(x) < kLimit)) return x;
  // Exact without -ffast-math, which this project never uses.
  return (x + kMagic) - kMagic;
}

// RoundEven for values known to lie within +-2^51 (no test, so loops vectorise).
inline double RoundEvenSmall(double x) {
  constexpr double kMagic = 6755399441055744.0;
  return (x + kMagic) - kMagic;
}

// Stored into a 16-bit slot: saturated, NaN as 0.
inline int16_t SaturateInt16(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 32767.0) return std::numeric_limits<int16_t>::max();
  if (v <= -32768.0) return std::numeric_limits<int16_t>::min();
  return static_cast<int16_t>(v);
}

}  // namespace detection::internal
