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

}  // namespace acquisition
