#include "acquisition/temp_light.h"

#include <cctype>

#include "platform/numeric.h"

namespace acquisition {

int TempLightCode(const TempLightFlags& f) {
  return (f.Light_On ? 4 : 0) + (f.Heat_Mode ? 2 : 0) + (f.Temp_Power ? 1 : 0);
}

void RegulateTemperature(double t, double s, bool enabled, TempLightFlags& f) {
  if (t <= 10.0 || t >= 38.0 || !enabled) {
    f.Heat_Mode = false;
    f.Temp_Power = false;
    return;
  }
  if (s - 0.5 < t && t < s + 0.5) f.Temp_Power = false;
  if (t >= s + 0.5) {
    f.Heat_Mode = false;
    f.Temp_Power = t >= s + 0.6;
  }
  if (t <= s - 0.5) {
    f.Heat_Mode = true;
    f.Temp_Power = t <= s - 0.6;
  }
}

bool LightForHour(int h, int on, int off) {
  if (on < off) return on <= h && h < off;
  if (off < on) return !(off <= h && h < on);
  return false;
}

bool ParseWholeNumber(const std::string& text, int& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const std::size_t digits_from = i;
  long v = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && v < 100000)
    v = v * 10 + (text[i++] - '0');
  if (i == digits_from) return false;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size()) return false;
  value = static_cast<int>(negative ? -v : v);
  return true;
}

bool ApplyLightHours(int hour, const std::string& on_text, const std::string& off_text,
                     TempLightFlags& f) {
  int on = 0, off = 0;
  if (!ParseWholeNumber(on_text, on) || !ParseWholeNumber(off_text, off)) return false;
  if (hour == on) f.Light_On = true;
  if (hour == off) f.Light_On = false;
  return true;
}

void ApplyLightPulses(double m, int count, int on_tenths, int off_tenths, TempLightFlags& f) {
  const double on = on_tenths / 10.0;
  const double period = off_tenths / 10.0 + on;
  if (m - count * period < 0) {
    const double r = m - platform::Int(m / period) * period;
    f.Light_On = r < on;
  }
}

}  // namespace acquisition
