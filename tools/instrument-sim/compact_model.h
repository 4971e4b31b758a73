#pragma once
// The compact instrument model: 192 channel registers, three banks of 64. The beam
// of register r sits where window channel 2r is (r = g + m + 64b answers word 3m + b
// of group g); odd window channels have no beam and read 0. Writes FF 80 r V F0 reach
// registers 0..191 only; any other address (but the factory record's) is refused
// with a reply that is not its echo.
//
// Each register's level follows its setting byte (gain x 32 + power); a register may
// be given a level table of its own, read exactly (no animals, no noise), so tests
// know which level each setting gives.
#include <array>
#include <cstdint>
#include <map>

namespace sim {

inline constexpr int kCompactRegisters = 192;

// Levels by setting: entry power x 8 + gain, power and gain 0..7.
using CompactLevelTable = std::array<int, 64>;

class CompactModel {
 public:
  CompactModel();

  int setting(int reg) const;
  // False (nothing stored) for an address that is not a register.
  bool Write(int reg, int value);
  void SetAll(int value);

  void SetLevels(int reg, const CompactLevelTable& table);
  void ClearLevels() { tables_.clear(); }

  // The register's lit level at its setting, before animals and noise.
  int BaseLevel(int reg) const;
  // The register of a window channel, -1 for an odd channel or one past the model.
  static int RegisterOf(int channel);
  // A window channel's level when its register has a table: the exact value.
  bool ExactLevel(int channel, int& level) const;
  // A window channel's lit level (0 without a beam).
  int ChannelBaseLevel(int channel) const;

  // The instrument's own adjustment: each register gets the setting whose lit level
  // comes nearest target x 16.
  void AutoAdjust(int target);

 private:
  std::array<uint8_t, kCompactRegisters> settings_{};
  std::map<int, CompactLevelTable> tables_;
};

}  // namespace sim
