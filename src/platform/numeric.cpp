#include "platform/numeric.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace platform {

double RoundHalfEven(double x) {
  // nearbyint follows the current rounding mode; force nearest-even locally.
  const int saved = std::fegetround();
  if (saved != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(x);
  if (saved != FE_TONEAREST) std::fesetround(saved);
  return r;
}

int32_t RoundToInt(double x) {
  if (std::isnan(x)) return 0;
  const double r = RoundHalfEven(x);
  if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

void RoundToInts(const double* x, int32_t* out, std::size_t count) {
  if (std::fegetround() != FE_TONEAREST) {
    for (std::size_t i = 0; i < count; ++i) out[i] = RoundToInt(x[i]);
    return;
  }
  // In the default mode, adding and taking away 1.5 x 2^52 rounds any value below 2^51,
  // halves to even; what lies beyond the 32-bit range (or is NaN) takes the long way.
  constexpr double kMagic = 6755399441055744.0;
  constexpr double kInside = 2147483647.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double v = x[i];
    out[i] = std::fabs(v) < kInside ? static_cast<int32_t>((v + kMagic) - kMagic) : RoundToInt(v);
  }
}

double Int(double x) { return std::floor(x); }

double Val(std::string_view text) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  std::string num;
  if (i < n && (text[i] == '+' || text[i] == '-')) num += text[i++];
  bool digits = false, dot = false;
  while (i < n) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      num += c;
      digits = true;
    } else if (c == '.' && !dot) {
      num += c;
      dot = true;
    } else {
      break;
    }
    ++i;
  }
  if (!digits) return 0.0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    std::string exp = "e";
    if (j < n && (text[j] == '+' || text[j] == '-')) exp += text[j++];
    bool exp_digits = false;
    while (j < n && text[j] >= '0' && text[j] <= '9') {
      exp += text[j++];
      exp_digits = true;
    }
    if (exp_digits) num += exp;
  }
  return std::strtod(num.c_str(), nullptr);
}

std::string FormatFixed(double x, int decimals) {
  if (decimals < 0) decimals = 0;
  const double scale = std::pow(10.0, decimals);
  double r = RoundHalfEven(x * scale) / scale;
  if (r == 0.0) r = 0.0;  // no "-0.0"
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, r);
  return buf;
}

std::string FormatZeroPadded(double x, int digits) {
  const long long v = static_cast<long long>(RoundHalfEven(x));
  char buf[64];
  if (v < 0)
    std::snprintf(buf, sizeof buf, "-%0*lld", digits, -v);
  else
    std::snprintf(buf, sizeof buf, "%0*lld", digits, v);
  return buf;
}

}  // namespace platform
