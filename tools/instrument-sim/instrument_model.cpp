#include "instrument-sim/instrument_model.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace sim {

namespace {

constexpr int kSlotMs = 50;            // an animal stays in a beam for one slot
constexpr double kAmbient = 24.0;
constexpr double kHeatGoal = 45.0;
constexpr double kCoolGoal = 8.0;
constexpr double kTimeConstantS = 120.0;

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}
uint64_t Hash(uint64_t a, uint64_t b) { return Mix(Mix(a) ^ (b * 0xD6E8FEB86659FD93ull)); }

void AppendGroupWord(std::string& out, int level) {
  int hi = (level >> 8) & 0x0F;
  int lo = level & 0xFF;
  int ones = std::popcount(static_cast<unsigned>(hi)) + std::popcount(static_cast<unsigned>(lo));
  if (ones & 1) hi |= 0x80;
  out.push_back(static_cast<char>(hi));
  out.push_back(static_cast<char>(lo));
}

void AppendBlockWord(std::string& out, int level) {
  out.push_back(static_cast<char>((level >> 8) & 0x0F));
  out.push_back(static_cast<char>(level & 0xFF));
}

std::string Bytes(int a, int b) {
  return std::string{static_cast<char>(a & 0xFF), static_cast<char>(b & 0xFF)};
}

// The temperature conversion of a record, or the defaults when it does not check.
void DecodeRecord(const std::array<uint8_t, 8>& r, double& offset, double& slope) {
  offset = 0.0;
  slope = 0.219;
  if (r[0] != 0 || r[1] < 1 || r[1] > 12 || r[2] > 99 || r[3] > 1 || r[5] < 1) return;
  double o = r[4] / 10.0 * (r[3] == 1 ? -1 : 1);
  double s = (r[6] * 256 + r[5]) / 1000.0;
  if (o < -10.0 || o > 10.0 || s < 0.1 || s > 0.45) return;
  offset = o;
  slope = s;
}

}  // namespace

bool ParseChannelList(const std::string& text, std::vector<int>& channels) {
  channels.clear();
  size_t pos = 0;
  auto number = [&](int& out) {
    size_t start = pos;
    long v = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 4)
      v = v * 10 + (text[pos++] - '0');
    out = static_cast<int>(v);
    return pos > start && v < kSimChannels;
  };
  while (true) {
    int first = 0, last = 0;
    if (!number(first)) return false;
    last = first;
    if (pos < text.size() && text[pos] == '-') {
      ++pos;
      if (!number(last) || last < first) return false;
    }
    for (int ch = first; ch <= last; ++ch) channels.push_back(ch);
    if (pos == text.size()) return true;
    if (text[pos++] != ',') return false;
  }
}

InstrumentModel::InstrumentModel() {
  factory_ = EncodeFactoryRecord(0.5, 0.219, 6, 24);
  settings_.fill(static_cast<uint8_t>(3 * 32 + 2));  // gain 3, pinhole 2
}

std::array<uint8_t, 8> InstrumentModel::EncodeFactoryRecord(double offset, double slope,
                                                             int month, int year) {
  std::array<uint8_t, 8> r{};
  r[0] = 0;
  r[1] = static_cast<uint8_t>(month);
  r[2] = static_cast<uint8_t>(year);
  r[3] = offset >= 0 ? 0 : 1;
  r[4] = static_cast<uint8_t>(std::nearbyint(std::fabs(offset * 10)));
  int high = static_cast<int>(std::floor(slope * 1000 / 256));
  r[6] = static_cast<uint8_t>(high);
  r[5] = static_cast<uint8_t>(std::nearbyint(slope * 1000 - 256 * high));
  r[7] = 0;
  return r;
}

int InstrumentModel::channel_setting(int channel) const {
  if (channel < 0 || channel >= kSimChannels) return 0;
  return settings_[static_cast<size_t>(channel)];
}

void InstrumentModel::set_channel_setting(int channel, int value) {
  if (channel < 0 || channel >= kSimChannels) return;
  settings_[static_cast<size_t>(channel)] = static_cast<uint8_t>(value);
}

void InstrumentModel::Drift(int64_t now_ms) {
  if (now_ms <= temperature_ms_) return;
  double dt = (now_ms - temperature_ms_) / 1000.0;
  temperature_ms_ = now_ms;
  bool power = (temp_light_code_ & 1) != 0;
  bool heat = (temp_light_code_ & 2) != 0;
  double goal = !power ? kAmbient : (heat ? kHeatGoal : kCoolGoal);
  temperature_ += (goal - temperature_) * (1.0 - std::exp(-dt / kTimeConstantS));
}

void InstrumentModel::SetTemperature(double celsius, int64_t now_ms) {
  temperature_ = celsius;
  temperature_ms_ = std::max(temperature_ms_, now_ms);
}

double InstrumentModel::Temperature(int64_t now_ms) {
  Drift(now_ms);
  return temperature_;
}

void InstrumentModel::SetSensor(double offset, double slope) {
  if (!(slope > 0)) return;
  sensor_set_ = true;
  sensor_offset_ = offset;
  sensor_slope_ = slope;
}

int InstrumentModel::RawTemperature(int64_t now_ms) {
  double offset = sensor_offset_, slope = sensor_slope_;
  if (!sensor_set_) DecodeRecord(factory_, offset, slope);
  double raw = std::nearbyint((Temperature(now_ms) - offset) / slope);
  return static_cast<int>(std::clamp(raw, 0.0, 255.0));
}

int InstrumentModel::BaseLevel(int channel) const {
  if (compact_on_) return compact_.ChannelBaseLevel(channel);
  int s = channel_setting(channel);
  int gain = s >> 5;
  int pinhole = s & 31;
  int per_step = 40 + static_cast<int>(Hash(static_cast<uint64_t>(channel), 1) % 40);
  return std::min(4095, per_step * (pinhole * 8 + gain + 1));
}

int InstrumentModel::ActivityPerMille(int channel) const {
  // Beams of the same well share their animals: wells of 4 neighbouring rows.
  uint64_t well = static_cast<uint64_t>(channel / 4);
  uint64_t h = Hash(well, 2);
  if (h % 100 < 20) return 0;  // an empty well
  return 10 + static_cast<int>((h >> 8) % 90);
}

void InstrumentModel::SetBeamFault(int channel, BeamFault fault) {
  if (channel >= 0 && channel < kSimChannels) faults_[static_cast<size_t>(channel)] = fault;
}

BeamFault InstrumentModel::beam_fault(int channel) const {
  if (channel < 0 || channel >= kSimChannels) return BeamFault::kNone;
  return faults_[static_cast<size_t>(channel)];
}

int InstrumentModel::Level(int channel, int64_t now_ms) const {
  if (channel < 0 || channel >= kSimChannels) return 0;
  if (int exact = 0; compact_on_ && compact_.ExactLevel(channel, exact)) return exact;
  const BeamFault fault = faults_[static_cast<size_t>(channel)];
  if (fault == BeamFault::kDark) return kDarkLevel;
  if (fault == BeamFault::kStuckBright) return 4095;
  double level = BaseLevel(channel);
  if (fault == BeamFault::kWeak) level = level * kWeakPercent / 100.0;
  uint64_t slot = static_cast<uint64_t>(std::max<int64_t>(0, now_ms) / kSlotMs);
  uint64_t h = Hash(static_cast<uint64_t>(channel) * 7919 + 3, slot);
  if (animals_ && static_cast<int>(h % 1000) < ActivityPerMille(channel)) {
    double depth = 0.25 + static_cast<double>((h >> 12) % 40) / 100.0;
    level *= 1.0 - depth;
  }
  // A little noise, well inside any detection threshold.
  uint64_t n = Hash(static_cast<uint64_t>(channel), static_cast<uint64_t>(now_ms) + 11);
  level *= 1.0 + (static_cast<double>(n % 1001) - 500.0) / 100000.0;
  return std::clamp(static_cast<int>(level), 0, 4095);
}

std::string InstrumentModel::GroupReply(int group, int64_t now_ms) const {
  std::string out;
  for (int word = 0; word < 24; ++word) {
    int channel = 2 * group + 2 * (word / 3) + 128 * (word % 3);
    AppendGroupWord(out, Level(channel, now_ms));
  }
  return out;
}

std::string InstrumentModel::BlockReply(int start, int64_t now_ms) const {
  std::string out;
  for (int word = 0; word < 96; ++word) {
    int channel = start + word / 3 + 128 * (word % 3);
    AppendBlockWord(out, Level(channel, now_ms));
  }
  return out;
}

std::vector<ReplyPiece> InstrumentModel::AutoAdjust(int target) {
  // Each channel gets the setting whose lit level comes nearest target x 16.
  int goal = target * 16;
  for (int ch = 0; ch < kSimChannels; ++ch) {
    int best = channel_setting(ch);
    int best_error = 1 << 30;
    for (int pinhole = 0; pinhole <= 7; ++pinhole) {
      for (int gain = 0; gain <= 7; ++gain) {
        set_channel_setting(ch, gain * 32 + pinhole);
        int error = std::abs(BaseLevel(ch) - goal);
        if (error < best_error) {
          best_error = error;
          best = gain * 32 + pinhole;
        }
      }
    }
    set_channel_setting(ch, best);
  }
  return ProgressBytes();
}

std::vector<ReplyPiece> InstrumentModel::ProgressBytes() const {
  std::vector<ReplyPiece> pieces;
  for (int progress = 0; progress < 191; progress += 16)
    pieces.push_back({progress == 0 ? 0 : progress_interval_ms_, std::string(1, static_cast<char>(progress))});
  pieces.push_back({progress_interval_ms_, std::string(1, static_cast<char>(191))});
  return pieces;
}

bool InstrumentModel::BlockWanted(int value, int previous_level) const {
  switch (reply_mode_) {
    case ReplyMode::kGroup:
      return false;
    case ReplyMode::kBlock:
      return true;
    case ReplyMode::kAuto:
      break;
  }
  if (value > 63) return true;
  if (value == 32) return previous_level == 0;
  if (value == 0) return previous_level == 0 || last_level_block_;
  return false;
}

std::vector<ReplyPiece> InstrumentModel::HandleFrame(const std::array<uint8_t, 5>& frame,
                                                     int64_t now_ms) {
  const int mode = frame[1];
  const int reg = frame[2];
  const int value = frame[3];
  const int previous_level = last_level_value_;
  last_level_value_ = -1;
  Drift(now_ms);
  if (std::vector<ReplyPiece> reply; compact_on_ && HandleCompactFrame(frame, reply)) return reply;
  if (mode & 0x80) {
    const bool factory = reg >= 200 && reg <= 207 && (mode & 0x7F) == 0;
    if (!factory && write_echo_failures_ != 0) {
      if (write_echo_failures_ > 0) --write_echo_failures_;
      return {{0, Bytes(reg ^ 0xFF, 0)}};  // anything but the echo
    }
    if (factory) {
      factory_[static_cast<size_t>(reg - 200)] = static_cast<uint8_t>(value);
    } else {
      set_channel_setting(reg + 128 * (mode & 0x03), value);
    }
    return {{0, Bytes(reg, value)}};
  }
  switch (reg) {
    case 0x00:
      last_level_block_ = true;
      return {{0, Bytes(serial_number_ / 255, serial_number_ % 255)}};
    case 0x10:
      temp_light_code_ = value & 7;
      return {};
    case 0x11:
      settings_.fill(static_cast<uint8_t>(value));
      return {{0, Bytes(value, 0)}};
    case 0x20:
      if (value >= 200 && value <= 207) return {{0, Bytes(factory_[static_cast<size_t>(value - 200)], 0)}};
      return {{0, Bytes(channel_setting(value), 0)}};
    case 0x21:
      return {{0, Bytes(RawTemperature(now_ms), 0)}};
    case 0x30: {
      const bool block = BlockWanted(value, previous_level);
      last_level_value_ = value;
      last_level_block_ = block;
      return {{0, block ? BlockReply(value, now_ms) : GroupReply(value, now_ms)}};
    }
    case 0x40:
      return AutoAdjust(value);
    case 0x4A:
      plate_type_ = value;
      return {};
    default:
      return {};
  }
}

}  // namespace sim
