#pragma once
// The run parameter boxes of the main window, checked when they lose the focus: a
// good value goes into its `Mn` entry and is shown again in the box's format; an
// empty, non-numeric or out-of-range text shows "Invalid value: " with the range and
// puts the box's fixed default back (text and stored value).
//
// What is stored is what is shown: decimals keep one place, the tenth rounded half
// up on the typed digits ("2.25" shows 2.3, stores 23), whole numbers round half to
// even ("22.5" shows 22, stores 22), and the range is checked on both the typed
// value and the value kept, so nothing outside the stated range is ever stored.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace acquisition {

enum class RunParamBox {
  txt_lon,         // lights-on hour
  txt_loff,        // lights-off hour
  txt_pulsetimes,  // number of light pulses
  txt_pulseon,     // pulse on time, minutes
  txt_pulseoff,    // pulse off time, minutes
  txt_snr_umbral,  // SNR threshold
  txttemp,         // temperature set-point, degrees C
};

struct RunParamRule {
  RunParamBox box;
  int mn_row, mn_col;  // the Mn entry
  double low;
  bool low_excluded;  // the range is low < v instead of low <= v
  double high;
  bool tenths;  // stored x 10, shown "0.0"
  int digits;   // whole numbers: at least this many digits shown ("00")
  const char* message;
  const char* default_text;
  int16_t default_value;
};

const RunParamRule& RuleOf(RunParamBox box);

struct RunParamResult {
  bool accepted = false;
  std::string text;    // what the box shows afterwards
  int16_t stored = 0;  // what went into Mn
};

// The check alone: no box, no store.
RunParamResult CheckRunParam(RunParamBox box, std::string_view text);

// The focus-loss handler: checks, shows the refusal message, stores into Mn.
RunParamResult ValidateRunParam(RunParamBox box, std::string_view text);

// After txt_pulsetimes: the hour boxes stay enabled only without pulses (Mn(2,3) <= 0).
bool LightHourBoxesEnabled();

// The text is a plain decimal number: blanks around it, a sign, digits with at most
// one ".", an exponent. Thousands separators, a "," as decimal point, hex: not numbers.
std::optional<double> ParseNumber(std::string_view text);

// txtsub_LostFocus: the beam box of the well selector. `txtsub` is limited to
// Max_Beam; the channel at the chosen column, row letter and beam becomes
// Selected_Channel. A well or beam outside the plate map leaves the selection alone.
struct BeamSelection {
  std::string txtsub;              // what the beam box shows afterwards
  std::optional<int16_t> channel;  // the selected channel, shown on lblcanal
};
BeamSelection SelectBeam(std::string_view txtsub, std::string_view combocol,
                         std::string_view combofila);

}  // namespace acquisition
