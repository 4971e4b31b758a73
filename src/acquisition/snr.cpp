#include "acquisition/snr.h"

#include <string>

#include "platform/numeric.h"

namespace acquisition {

double ParseSnrText(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c == ',') c = '.';
  return platform::Val(s);
}

double RunStartSnr(std::string_view text, int dsp_method) {
  const double v = ParseSnrText(text);
  if (dsp_method != 3 && v < 1.3) return 1.8;
  return v;
}

std::optional<double> OrganismSnr(int organism) {
  if (organism == 0) return 1.8;
  if (organism == 1) return 2.8;
  return std::nullopt;
}

double CountingSnr(int organism, double box_value) {
  if (const auto fixed = OrganismSnr(organism)) return *fixed;
  if (organism < 3 && box_value <= 1.4) return 1.8;
  return box_value;
}

}  // namespace acquisition
