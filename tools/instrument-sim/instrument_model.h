#pragma once
// What the simulated instrument knows and how it answers one frame. No I/O and no
// clock of its own: the caller passes the time, so the model is tested directly.
//
// It answers identification, temperature, the factory record (200-207), channel
// setting writes with their echo, read-back, set-all, the auto-adjust with its
// progress bytes, and level requests as 48-byte group replies (parity in bit 7 of
// each hi byte) or 192-byte block replies. The temperature/light state and the
// plate type are stored without a reply. Animals cross the beams, so each channel's
// level dips now and then, more often in some wells than in others.
//
// Faults of the instrument itself, for the service tools: beams that stay dark,
// read bright whatever their setting, or give a fraction of their light; and a
// temperature sensor with its own response, so a factory record corrects it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "instrument-sim/compact_model.h"

namespace sim {

// Which reply a level request (register 0x30) gets. The frame is the same for a
// group and a block. kAuto tells them apart by the program's order of requests: its
// block reads always ask 0, 32, 64, 96 in turn and its group polls 0, 8, ... 56 or
// 0, 16, 32, 48. So a value above 63 is a block, 32 is a block right after 0 and a
// group otherwise, other values up to 63 are groups, and 0 takes the kind of the
// level request before it, except that it is a block right after an identification
// (the device test identifies first, then reads blocks) or right after another 0 (a
// block read tried again). Where a 0 meant as a group gets a block (the first poll
// after a connection or a block read) the program's priming requests, whose replies
// it drops, absorb it.
enum class ReplyMode { kGroup, kBlock, kAuto };

// A piece of the reply, sent `delay_ms` after the previous piece went out.
struct ReplyPiece {
  int delay_ms = 0;
  std::string bytes;
};

inline constexpr int kSimChannels = 384;

// How one beam misbehaves.
enum class BeamFault {
  kNone,
  kDark,         // never lights: a low level whatever its setting
  kStuckBright,  // full scale (4095) whatever its setting, also when switched off
  kWeak,         // gives kWeakPercent of the light its setting should give
};
inline constexpr int kDarkLevel = 30;
inline constexpr int kWeakPercent = 30;

// Channels as "37,100-103": numbers and inclusive ranges 0..383, comma-separated.
// False (and `channels` unspecified) for anything else.
bool ParseChannelList(const std::string& text, std::vector<int>& channels);

class InstrumentModel {
 public:
  InstrumentModel();

  // Answers a 5-byte frame received at `now_ms`; empty when the frame has no reply.
  std::vector<ReplyPiece> HandleFrame(const std::array<uint8_t, 5>& frame, int64_t now_ms);

  void SetReplyMode(ReplyMode mode) { reply_mode_ = mode; }
  ReplyMode reply_mode() const { return reply_mode_; }

  // Identification: answered as the bytes sn / 255, sn mod 255.
  void SetSerialNumber(int serial_number) { serial_number_ = serial_number; }
  int serial_number() const { return serial_number_; }

  // The eight bytes at addresses 200..207.
  void SetFactoryRecord(const std::array<uint8_t, 8>& record) { factory_ = record; }
  const std::array<uint8_t, 8>& factory_record() const { return factory_; }
  // A record as the factory window writes it for this offset and slope.
  static std::array<uint8_t, 8> EncodeFactoryRecord(double offset, double slope, int month,
                                                    int year);

  // Temperature in degrees C; it drifts towards the heater's goal over time.
  void SetTemperature(double celsius, int64_t now_ms);
  double Temperature(int64_t now_ms);
  // The raw byte the temperature register answers (through the sensor's own record).
  int RawTemperature(int64_t now_ms);

  int temp_light_code() const { return temp_light_code_; }
  int plate_type() const { return plate_type_; }
  int channel_setting(int channel) const;
  void set_channel_setting(int channel, int value);
  // Milliseconds between two progress bytes of the auto-adjust.
  void SetProgressInterval(int ms) { progress_interval_ms_ = ms; }
  // The next `count` channel-setting writes are answered with the complement of
  // the register instead of its echo and not taken; -1 for every write until set back to 0.
  void SetWriteEchoFailures(int count) { write_echo_failures_ = count; }
  // Without animals every beam stays at its lit level (small noise only): no plate
  // in the slot, as the device test asks for.
  void SetAnimalsPresent(bool present) { animals_ = present; }
  void SetBeamFault(int channel, BeamFault fault);
  BeamFault beam_fault(int channel) const;

  // The sensor's own response: raw = round((T - offset) / slope), whatever record
  // the instrument holds. Until it is set, the raw reading follows the record, so
  // the program shows the instrument's true temperature.
  void SetSensor(double offset, double slope);

  // The level of a channel's beam at a moment, 0..4095 (0 for a channel beyond 383).
  int Level(int channel, int64_t now_ms) const;
  // The level of the lit beam, with no animal in it.
  int BaseLevel(int channel) const;
  // Interruptions per 1000 slots of 50 ms: 0 for an empty well.
  int ActivityPerMille(int channel) const;

  // The compact instrument model (compact_model.h) in place of 384 channel settings.
  void SetCompact(bool on) { compact_on_ = on; }
  bool compact_on() const { return compact_on_; }
  CompactModel& compact() { return compact_; }

 private:
  // The frames the compact model answers its own way; false leaves them to HandleFrame.
  bool HandleCompactFrame(const std::array<uint8_t, 5>& frame, std::vector<ReplyPiece>& reply);
  // The auto-adjust's progress bytes, 0 up to 191.
  std::vector<ReplyPiece> ProgressBytes() const;
  // Whether a level request for `value` gets a block; `previous_level` is the value
  // of the level request right before it, -1 when another frame came between.
  bool BlockWanted(int value, int previous_level) const;
  std::string GroupReply(int group, int64_t now_ms) const;
  std::string BlockReply(int start, int64_t now_ms) const;
  std::vector<ReplyPiece> AutoAdjust(int target);
  void Drift(int64_t now_ms);

  ReplyMode reply_mode_ = ReplyMode::kAuto;
  int last_level_value_ = -1;      // the last frame's level request, -1 for another frame
  bool last_level_block_ = false;  // the last level request got a block
  int serial_number_ = 77;
  std::array<uint8_t, 8> factory_{};
  std::array<uint8_t, kSimChannels> settings_{};
  int temp_light_code_ = 0;
  int plate_type_ = 0;
  double temperature_ = 24.0;
  int64_t temperature_ms_ = 0;
  int progress_interval_ms_ = 40;
  int write_echo_failures_ = 0;
  bool animals_ = true;
  std::array<BeamFault, kSimChannels> faults_{};
  bool sensor_set_ = false;
  double sensor_offset_ = 0.0;
  double sensor_slope_ = 0.219;
  bool compact_on_ = false;
  CompactModel compact_;
};

}  // namespace sim
