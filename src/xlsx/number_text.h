#pragma once
// Numbers in the user's locale: the test that decides whether a CSV field is a number,
// its conversion to a double, and the text form written into the workbook ("." always).
#include <optional>
#include <string>
#include <string_view>

namespace xlsx {

struct NumberLocale {
  char decimal_point = '.';
  char group_separator = ',';
};

// The user's decimal point and digit grouping, as the report writer uses them.
NumberLocale UserNumberLocale();

// The locale-aware numeric test and conversion in one, so they cannot disagree.
// Accepted: an optional sign, digits (grouped in threes by the group separator, or not
// grouped), an optional decimal point with digits, an optional exponent E/e with digits.
// Everything else stays text: blanks, hex, "inf", "nan", and numbers beyond a double.
std::optional<double> ParseLocaleNumber(std::string_view text, const NumberLocale& locale);

// The shortest text with "." that reads back as the same double; -0 is written as 0.
// `out` must hold kMaxNumberText characters; returns the length written.
inline constexpr size_t kMaxNumberText = 32;
size_t FormatNumber(double value, char* out);
std::string NormalizeNumberText(double value);

// True when `text`, trimmed of spaces, is longer than one character, starts with "0"
// and its second character is neither "," nor "." (007 is a code, not seven).
bool HasLeadingZero(std::string_view text);

// `text` without leading and trailing space characters (only the space, 32).
std::string_view TrimSpaces(std::string_view text);

}  // namespace xlsx
