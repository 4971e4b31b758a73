#pragma once
// The instrument's wire protocol as pure functions on bytes: the 5-byte command
// frame, the registers, the level words with their parity, and which channel each
// word of a group or block reply belongs to.
//
// Frame: FF, mode, register, value, F0. Mode bit 7 marks a write (the register
// byte is then an address); the low bits carry a station where a command needs one.
// Replies have no header or checksum: 2 bytes for commands and register reads,
// 48 bytes for a group of levels (parity in bit 7 of each hi byte), 192 for a block.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace devlink {

inline constexpr int ModeCommand = 0x00;
inline constexpr int ModeWrite = 0x80;

inline constexpr int RegIdentify = 0x00;
inline constexpr int RegTempLight = 0x10;
inline constexpr int RegSetAll = 0x11;
inline constexpr int RegReadBack = 0x20;
inline constexpr int RegTemperature = 0x21;
inline constexpr int RegLevels = 0x30;
inline constexpr int RegAutoAdjust = 0x40;
inline constexpr int RegPlateType = 0x4A;

// The factory calibration record lives at these instrument addresses.
inline constexpr int kFactoryRecordFirst = 200;
inline constexpr int kFactoryRecordLast = 207;

inline constexpr int kFrameSize = 5;
inline constexpr int kShortReplySize = 2;
inline constexpr int kGroupWords = 24;
inline constexpr int kGroupReplySize = 48;
inline constexpr int kBlockWords = 96;
inline constexpr int kBlockReplySize = 192;
// The auto-adjust is over at the first progress byte of at least this value.
inline constexpr int kAutoAdjustDone = 191;

// The frame bytes; each argument must already be a byte 0..255.
std::string DeviceFrame(int reg, int value, int mode);

// One decoded level word. `level` is stored even for a bad word (hi limited to 15),
// since some readers keep it.
struct LevelWord {
  int32_t level = 0;
  bool good = false;
};
// A word of a group reply: bit 7 of hi is an even-parity bit over itself and the 12
// level bits; a hi above 15 once it is removed is limited to 15 and bad.
LevelWord DecodeGroupWord(uint8_t hi, uint8_t lo);
// A word of a block reply: no parity; a hi above 15 is limited to 15 and bad.
LevelWord DecodeBlockWord(uint8_t hi, uint8_t lo);

// Word 3m + b of the reply to group g is even channel 2g + 2m + 128b.
inline int GroupWordChannel(int group, int word) {
  return 2 * group + 2 * (word / 3) + 128 * (word % 3);
}
// Word 3k + b of the block starting at n is channel n + k + 128b.
inline int BlockWordChannel(int start, int word) { return start + word / 3 + 128 * (word % 3); }

// Decodes a group reply into its 24 levels. True only for exactly 48 bytes with
// every word good; the levels of the words present are stored either way.
bool DecodeGroupReply(std::string_view reply, std::array<int32_t, kGroupWords>& levels);

// Identification value b1 x 255 + b2 of the reply bytes (b2 as 0 when only one
// came), -1 when none came; computed wide, the caller checks the range.
int32_t IdentificationValue(std::string_view reply);
inline bool IsInstrumentId(int32_t value) { return value >= 10 && value <= 250; }

// One channel's setting byte and the address it is written to.
inline int ChannelSetting(int gain, int pinhole) { return gain * 32 + pinhole; }
struct SettingAddress {
  int mode = ModeWrite;
  int reg = 0;
};
// Channels 0..127 are written with mode 0x80 and register = channel, channels from
// 128 with mode 0x81 and register = channel - 128.
SettingAddress ChannelSettingAddress(int channel);

}  // namespace devlink
