#include "instrument-sim/compact_model.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "instrument-sim/instrument_model.h"

namespace sim {

namespace {

constexpr int kSettingSteps = 8;

std::string Bytes(int a, int b) {
  return std::string{static_cast<char>(a & 0xFF), static_cast<char>(b & 0xFF)};
}

bool IsRegister(int reg) { return reg >= 0 && reg < kCompactRegisters; }

}  // namespace

CompactModel::CompactModel() { settings_.fill(static_cast<uint8_t>(3 * 32 + 2)); }

int CompactModel::setting(int reg) const {
  return IsRegister(reg) ? settings_[static_cast<size_t>(reg)] : 0;
}

bool CompactModel::Write(int reg, int value) {
  if (!IsRegister(reg)) return false;
  settings_[static_cast<size_t>(reg)] = static_cast<uint8_t>(value);
  return true;
}

void CompactModel::SetAll(int value) { settings_.fill(static_cast<uint8_t>(value)); }

void CompactModel::SetLevels(int reg, const CompactLevelTable& table) {
  if (IsRegister(reg)) tables_[reg] = table;
}

int CompactModel::BaseLevel(int reg) const {
  if (!IsRegister(reg)) return 0;
  const int s = setting(reg);
  const int gain = std::min(s >> 5, kSettingSteps - 1);
  const int power = std::min(s & 31, kSettingSteps - 1);
  if (auto t = tables_.find(reg); t != tables_.end())
    return t->second[static_cast<size_t>(power * kSettingSteps + gain)];
  // From about 80 (all off) to about 4000 (all on), a little different per register.
  const int per_step = 55 + (reg * 37) % 11;
  return std::min(4095, per_step * (power * kSettingSteps + gain + 1));
}

int CompactModel::RegisterOf(int channel) {
  if (channel < 0 || channel >= 2 * kCompactRegisters || channel % 2 != 0) return -1;
  return channel / 2;
}

bool CompactModel::ExactLevel(int channel, int& level) const {
  const int reg = RegisterOf(channel);
  if (reg < 0) {
    level = 0;
    return true;
  }
  if (!tables_.count(reg)) return false;
  level = BaseLevel(reg);
  return true;
}

int CompactModel::ChannelBaseLevel(int channel) const {
  const int reg = RegisterOf(channel);
  return reg < 0 ? 0 : BaseLevel(reg);
}

void CompactModel::AutoAdjust(int target) {
  const int goal = target * 16;
  for (int reg = 0; reg < kCompactRegisters; ++reg) {
    int best = setting(reg);
    int best_error = 1 << 30;
    for (int power = 0; power < kSettingSteps; ++power) {
      for (int gain = 0; gain < kSettingSteps; ++gain) {
        Write(reg, gain * 32 + power);
        const int error = std::abs(BaseLevel(reg) - goal);
        if (error < best_error) {
          best_error = error;
          best = gain * 32 + power;
        }
      }
    }
    Write(reg, best);
  }
}

bool InstrumentModel::HandleCompactFrame(const std::array<uint8_t, 5>& frame,
                                         std::vector<ReplyPiece>& reply) {
  const int mode = frame[1];
  const int reg = frame[2];
  const int value = frame[3];
  if (mode & 0x80) {
    if (reg >= 200 && reg <= 207 && mode == 0x80) return false;  // the factory record
    if (write_echo_failures_ != 0) return false;
    const bool stored = mode == 0x80 && compact_.Write(reg, value);
    reply = {{0, stored ? Bytes(reg, value) : Bytes(reg ^ 0xFF, 0)}};
    return true;
  }
  switch (reg) {
    case 0x11:
      compact_.SetAll(value);
      reply = {{0, Bytes(value, 0)}};
      return true;
    case 0x20:
      if (value >= 200 && value <= 207) return false;
      reply = {{0, Bytes(compact_.setting(value), 0)}};
      return true;
    case 0x40:
      compact_.AutoAdjust(value);
      reply = ProgressBytes();
      return true;
    default:
      return false;
  }
}

}  // namespace sim
