#include "acquisition/validators.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "storage/shared_state.h"

namespace acquisition {

namespace {

using B = RunParamBox;

constexpr std::array<RunParamRule, 7> kRules = {{
    {B::txt_lon, 2, 1, 0, false, 23, false, 2, "Invalid value: 0 to 23", "9", 9},
    {B::txt_loff, 2, 2, 0, false, 23, false, 2, "Invalid value: 0 to 23", "21", 21},
    {B::txt_pulsetimes, 2, 3, 0, false, 99, false, 1, "Invalid value: 0-99", "0", 0},
    {B::txt_pulseon, 2, 4, 0, false, 1440, true, 0, "Invalid value: 0.0 to 1440.0", "0", 0},
    {B::txt_pulseoff, 2, 5, 0, false, 1440, true, 0, "Invalid value: 0.0 to 1440.0", "0", 0},
    {B::txt_snr_umbral, 1, 3, 1.0, true, 5.0, true, 0, "Invalid value: 1.1 to 5.0", "1.8", 18},
    {B::txttemp, 3, 1, 5.0, false, 50.0, true, 0, "Invalid value: 5.0 to 50.0", "20", 200},
}};

bool InRange(const RunParamRule& r, double v) {
  const bool low_ok = r.low_excluded ? v > r.low : v >= r.low;
  return low_ok && v <= r.high;
}

// Tenths of v rounded half up on its shortest decimal form, so the typed digits
// decide ("2.25" is 23, though 2.25 x 10 would round to even). Only called for
// values inside a range, far from the integer limits.
long long TenthsHalfUp(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed);
  const std::string s(buf, res.ptr);
  const std::size_t dot = s.find('.');
  long long whole = std::stoll(s.substr(0, dot));
  int tenth = 0, rest = 0;
  if (dot != std::string::npos) {
    if (dot + 1 < s.size()) tenth = s[dot + 1] - '0';
    if (dot + 2 < s.size()) rest = s[dot + 2] - '0';
  }
  long long t = whole * 10 + tenth + (rest >= 5 ? 1 : 0);
  return v < 0 ? -t : t;
}

std::string TenthsText(long long tenths) {
  const long long a = tenths < 0 ? -tenths : tenths;
  return std::string(tenths < 0 ? "-" : "") + std::to_string(a / 10) + "." + std::to_string(a % 10);
}

}  // namespace

const RunParamRule& RuleOf(RunParamBox box) {
  for (const auto& r : kRules)
    if (r.box == box) return r;
  return kRules[0];
}

std::optional<double> ParseNumber(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Only digits, one point and an exponent: from_chars alone would take "inf", "nan".
  std::size_t i = 0;
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  if (i < text.size()) {
    if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j == text.size()) return std::nullopt;
    for (; j < text.size(); ++j)
      if (text[j] < '0' || text[j] > '9') return std::nullopt;
  }
  double v = 0.0;
  const auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return negative ? -v : v;
}

RunParamResult CheckRunParam(RunParamBox box, std::string_view text) {
  const RunParamRule& r = RuleOf(box);
  RunParamResult refused{false, r.default_text, r.default_value};
  const std::optional<double> v = ParseNumber(text);
  if (!v || !InRange(r, *v)) return refused;
  if (r.tenths) {
    const long long t = TenthsHalfUp(*v);
    if (!InRange(r, t / 10.0)) return refused;
    return {true, TenthsText(t), static_cast<int16_t>(t)};
  }
  const long long w = platform::RoundToInt(*v);
  if (!InRange(r, double(w))) return refused;
  return {true, platform::FormatZeroPadded(double(w), r.digits), static_cast<int16_t>(w)};
}

RunParamResult ValidateRunParam(RunParamBox box, std::string_view text) {
  const RunParamRule& r = RuleOf(box);
  RunParamResult result = CheckRunParam(box, text);
  if (!result.accepted) platform::GetDialogs().MsgBox(r.message);
  storage::Shared().MnAt(r.mn_row, r.mn_col) = result.stored;
  return result;
}

bool LightHourBoxesEnabled() { return storage::Shared().MnAt(2, 3) <= 0; }

BeamSelection SelectBeam(std::string_view txtsub, std::string_view combocol,
                         std::string_view combofila) {
  auto& sh = storage::Shared();
  BeamSelection out{std::string(txtsub), std::nullopt};
  double beam_value = platform::Val(txtsub);
  if (beam_value > sh.Max_Beam) {
    out.txtsub = std::to_string(sh.Max_Beam);
    beam_value = sh.Max_Beam;
  }
  if (combofila.empty()) return out;
  const double column = platform::Val(combocol);
  const int row = static_cast<unsigned char>(combofila.front()) - 64;
  const double well = platform::RoundHalfEven((column - 1) * sh.Plate_Rows + (row - 1));
  const double beam = platform::RoundHalfEven(beam_value);
  if (well < 0 || well >= sh.Well_Grid_Wells || beam < 0 || beam >= sh.Well_Grid_Beams) return out;
  out.channel = sh.WellGridAt(static_cast<int>(well), static_cast<int>(beam));
  sh.Selected_Channel = *out.channel;
  return out;
}

}  // namespace acquisition
