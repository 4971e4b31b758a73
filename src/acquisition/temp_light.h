#pragma once
// The instrument's temperature output and light: three flags, the byte that carries
// them, and the rules a run applies to them (on/off regulation around the set-point,
// the daily light hours, the light pulse train).
#include <string>

namespace acquisition {

struct TempLightFlags {
  bool Light_On = false;
  bool Heat_Mode = false;   // true = heat, false = cool
  bool Temp_Power = false;  // temperature output on
  bool State_Send_Pending = false;
};

// TempLightCode: Light_On x 4 + Heat_Mode x 2 + Temp_Power.
int TempLightCode(const TempLightFlags& f);

// On/off regulation at a bin end: off outside 10..38 C or when disabled; otherwise
// heat below and cool above the set-point, powered only 0.6 C or more away from it.
void RegulateTemperature(double temperature, double setpoint, bool enabled, TempLightFlags& f);

// Light at the start of a run from the hour and the on/off hours.
bool LightForHour(int hour, int on_hour, int off_hour);

// The daily light hours at a bin end: on within the lights-on hour, then off within
// the lights-off hour. False (nothing changed) when a box is not a whole number.
bool ApplyLightHours(int hour, const std::string& on_text, const std::string& off_text,
                     TempLightFlags& f);

// The pulse train: `count` periods of on then off (tenths of a minute) from the run
// start; after the train the light keeps its last state. `minutes` since the start.
void ApplyLightPulses(double minutes, int count, int on_tenths, int off_tenths,
                      TempLightFlags& f);

// A whole number 0..23 style box: digits only (with blanks around); false otherwise.
bool ParseWholeNumber(const std::string& text, int& value);

}  // namespace acquisition
