#pragma once
// The signal-to-noise factor typed in the SNR box. Every caller reads the text with
// this one parser and applies its own floor.
#include <string_view>

namespace acquisition {

// The leading number of the text, a "," read as the decimal point ("1,5" -> 1.5).
double ParseSnrText(std::string_view text);

// The factor a run start hands to calibration, auto-zero and detection: below 1.3
// it becomes 1.8, except for the Drosophila method (3), whose factors lie below 1.
double RunStartSnr(std::string_view text, int dsp_method);

}  // namespace acquisition
