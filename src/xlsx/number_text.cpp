#include "xlsx/number_text.h"

#include <charconv>
#include <cmath>

#include "platform/system.h"

namespace xlsx {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

NumberLocale UserNumberLocale() {
  const platform::NumberConventions c = platform::UserNumberConventions();
  return {c.decimal_point, c.group_separator};
}

std::optional<double> ParseLocaleNumber(std::string_view text, const NumberLocale& locale) {
  const size_t n = text.size();
  if (n == 0 || n > 1000) return std::nullopt;
  // The canonical form ("-1234.5e6") is gathered here for std::from_chars, which ignores
  // the process locale.
  char local[128];
  std::string heap;
  char* buf = local;
  if (n + 1 > sizeof local) {
    heap.resize(n + 1);
    buf = heap.data();
  }
  size_t len = 0;
  size_t i = 0;
  if (text[0] == '+' || text[0] == '-') {
    if (text[0] == '-') buf[len++] = '-';
    ++i;
  }
  const char group = locale.group_separator != locale.decimal_point ? locale.group_separator : 0;
  size_t int_digits = 0, group_digits = 0;
  bool grouped = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      buf[len++] = c;
      ++int_digits;
      ++group_digits;
    } else if (group != 0 && c == group) {
      // A separator follows one to three leading digits, or exactly three after another.
      if (group_digits == 0 || group_digits > 3 || (grouped && group_digits != 3))
        return std::nullopt;
      grouped = true;
      group_digits = 0;
    } else {
      break;
    }
  }
  if (grouped && group_digits != 3) return std::nullopt;
  size_t frac_digits = 0;
  if (i < n && text[i] == locale.decimal_point) {
    buf[len++] = '.';
    for (++i; i < n && IsDigit(text[i]); ++i, ++frac_digits) buf[len++] = text[i];
  }
  if (int_digits + frac_digits == 0) return std::nullopt;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    buf[len++] = 'e';
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) buf[len++] = text[i++];
    size_t exp_digits = 0;
    for (; i < n && IsDigit(text[i]); ++i, ++exp_digits) buf[len++] = text[i];
    if (exp_digits == 0) return std::nullopt;
  }
  if (i != n) return std::nullopt;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(buf, buf + len, value);
  if (ec != std::errc() || end != buf + len || !std::isfinite(value)) return std::nullopt;
  return value;
}

size_t FormatNumber(double value, char* out) {
  if (value == 0.0) value = 0.0;  // no "-0"
  const auto result = std::to_chars(out, out + kMaxNumberText, value);
  return static_cast<size_t>(result.ptr - out);
}

std::string NormalizeNumberText(double value) {
  char buf[kMaxNumberText];
  return std::string(buf, FormatNumber(value, buf));
}

bool HasLeadingZero(std::string_view text) {
  const std::string_view t = TrimSpaces(text);
  return t.size() > 1 && t[0] == '0' && t[1] != ',' && t[1] != '.';
}

std::string_view TrimSpaces(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return text.substr(b, e - b);
}

}  // namespace xlsx
