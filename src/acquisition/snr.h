#pragma once
// The signal-to-noise factor typed in the SNR box. Every caller reads the text with
// this one parser and applies its own floor. The organism's own factors are here too.
#include <optional>
#include <string_view>

namespace acquisition {

// The leading number of the text, a "," read as the decimal point ("1,5" -> 1.5).
double ParseSnrText(std::string_view text);

// The factor a run start hands to calibration, auto-zero and detection: below 1.3
// it becomes 1.8, except for the Drosophila method (3), whose factors lie below 1.
double RunStartSnr(std::string_view text, int dsp_method);

// The factor the main window's organism fixes whatever the SNR box holds: 1.8 for
// C. elegans (0), 2.8 for zebrafish (1); nullopt for the others, which count with the box.
std::optional<double> OrganismSnr(int organism);

// The factor a run counts with, from its organism and the SNR box's value as start-up
// leaves them: the organism's own factor, else the box's, which becomes 1.8 at or below
// 1.4 for the organisms below Drosophila (3).
double CountingSnr(int organism, double box_value);

}  // namespace acquisition
