#include "service/channel_stepping.h"

#include "platform/numeric.h"

namespace service {

namespace {

constexpr double kFullScalePercent = 20.48;  // 2048 / 100
constexpr double kBandHalfWidth = 5;
constexpr int16_t kTopPower = 7;
constexpr int16_t kTopGain = 7;
constexpr int16_t kLowestPower = 2;
constexpr int16_t kSecondChancePower = 2;

int16_t Int16(double x) {
  const int32_t v = platform::RoundToInt(x);
  return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

}  // namespace

LevelBand BandForTarget(double target) {
  return {Int16((target - kBandHalfWidth) * kFullScalePercent),
          Int16((target + kBandHalfWidth) * kFullScalePercent)};
}

bool StepChannelToBand(LevelSource& source, LevelBand band, int16_t& power, int16_t& gain) {
  std::optional<int> level;
  auto step = [&] {
    source.Write(power, gain);
    level = source.Measure();
    return level.has_value();
  };
  level = source.Measure();
  if (!level) return false;
  auto dark = [&] { return *level < band.lower; };
  auto bright = [&] { return *level > band.upper; };

  while (dark() && power < kTopPower) {
    gain = kTopGain;
    ++power;
    if (!step()) return false;
  }

  if (bright()) {
    gain = 0;
    if (!step()) return false;
    while (bright() && power > kLowestPower) {
      --power;
      gain = kTopGain;
      if (!step()) return false;
      if (bright()) {
        gain = 0;
        if (!step()) return false;
      }
    }
    gain = kTopGain;
    if (!step()) return false;
    while (bright() && gain > 0) {
      --gain;
      if (!step()) return false;
    }
  }

  if (dark() && gain == 0 && power == kStartPower) {
    const int before = *level;
    gain = kTopGain;
    power = kSecondChancePower;
    if (!step()) return false;
    while (bright() && gain > 0) {
      --gain;
      if (!step()) return false;
    }
    if (before > *level) {
      gain = 0;
      power = kStartPower;
      if (!step()) return false;
    }
  }
  return true;
}

}  // namespace service
