#include "link/device_frame.h"

#include <bit>

namespace devlink {

std::string DeviceFrame(int reg, int value, int mode) {
  std::string frame(kFrameSize, '\0');
  frame[0] = static_cast<char>(0xFF);
  frame[1] = static_cast<char>(mode & 0xFF);
  frame[2] = static_cast<char>(reg & 0xFF);
  frame[3] = static_cast<char>(value & 0xFF);
  frame[4] = static_cast<char>(0xF0);
  return frame;
}

LevelWord DecodeGroupWord(uint8_t hi, uint8_t lo) {
  int ones =
      std::popcount(static_cast<unsigned>(hi & 0x0F)) + std::popcount(static_cast<unsigned>(lo));
  bool parity = (hi & 0x80) != 0;
  LevelWord w;
  w.good = parity == ((ones & 1) != 0);
  int h = hi & 0x7F;
  if (h > 15) {
    h = 15;
    w.good = false;
  }
  w.level = h * 256 + lo;
  return w;
}

LevelWord DecodeBlockWord(uint8_t hi, uint8_t lo) {
  LevelWord w;
  w.good = hi <= 15;
  w.level = (w.good ? hi : 15) * 256 + lo;
  return w;
}

bool DecodeGroupReply(std::string_view reply, std::array<int32_t, kGroupWords>& levels) {
  bool ok = reply.size() == static_cast<size_t>(kGroupReplySize);
  for (size_t i = 0; i + 1 < reply.size() && i / 2 < levels.size(); i += 2) {
    LevelWord w =
        DecodeGroupWord(static_cast<uint8_t>(reply[i]), static_cast<uint8_t>(reply[i + 1]));
    levels[i / 2] = w.level;
    if (!w.good) ok = false;
  }
  return ok;
}

int32_t IdentificationValue(std::string_view reply) {
  if (reply.empty()) return -1;
  int32_t b1 = static_cast<uint8_t>(reply[0]);
  int32_t b2 = reply.size() > 1 ? static_cast<uint8_t>(reply[1]) : 0;
  return b1 * 255 + b2;
}

SettingAddress ChannelSettingAddress(int channel) {
  if (channel >= 128) return {ModeWrite | 0x01, channel - 128};
  return {ModeWrite, channel};
}

}  // namespace devlink
