#pragma once
// The stepping rule of the window's automatic calibration: one channel's power and
// gain moved a step at a time, writing the setting and measuring the level after
// each step, until the level lies in a band around the target or the settings run
// out. Power and gain are 0..7; the setting byte is gain x 32 + power.
#include <cstdint>
#include <optional>

namespace service {

// The band for a target in percent of a full scale of 2048: (T -/+ 5) x 20.48, each
// rounded half to even (T = 90: 1741..1946).
struct LevelBand {
  int16_t lower = 0;
  int16_t upper = 0;
};
LevelBand BandForTarget(double target);

// Every calibration starts a channel at power 3, gain 7 (setting byte 227).
inline constexpr int16_t kStartPower = 3;
inline constexpr int16_t kStartGain = 7;

// Where the rule writes and measures.
class LevelSource {
 public:
  virtual ~LevelSource() = default;
  virtual void Write(int16_t power, int16_t gain) = 0;
  // The level after the last write; nullopt when it could not be read or the write
  // failed (the rule stops).
  virtual std::optional<int> Measure() = 0;
};

// Measures the channel, then: too dark, more power at gain 7; too bright, gain 0 and
// less power down to 2, then gain from 7 down; still dark at gain 0 and power 3, a
// second chance at power 2 kept only when it is not darker. `power` and `gain` hold
// the channel's setting before and after. False when a measure failed.
bool StepChannelToBand(LevelSource& source, LevelBand band, int16_t& power, int16_t& gain);

}  // namespace service
