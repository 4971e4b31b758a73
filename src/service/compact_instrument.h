#pragma once
// The channel-calibration window's exchanges with the compact instrument model, whose
// channel settings live in registers 0..191. The window shows 384 cells (channel =
// column x 16 + row) of which only the even ones have a beam: window channel 2r is
// register r. Odd channels are never written or read back; in the level replies
// they read 0.
//
// The setting byte is gain x 32 + power (power is the emitter setting the channel
// tables call PinHole). Every frame goes out with station 0.
#include <cstdint>
#include <functional>
#include <optional>

#include "acquisition/instrument_io.h"
#include "service/channel_traces.h"

namespace service {

inline constexpr int kCompactRegisters = 192;
// The starts of the four 192-byte level blocks that hold all 384 window channels.
inline constexpr int kLevelBlocks[] = {0, 32, 64, 96};

// The register of a window channel: channel / 2 for an even channel 0..382, none for
// an odd one or one outside the grid.
std::optional<int> RegisterOfChannel(int channel);
inline int ChannelOfRegister(int reg) { return 2 * reg; }
// The block holding a window channel: 32 x ((channel mod 128) \ 32).
inline int LevelBlockOf(int channel) { return 32 * ((channel % 128) / 32); }

// "Ops...Data Sending ERROR reg(<block>)... Try again"
std::string BlockReadErrorText(int block);

// The window's exchanges, watched for the instrument's answers. The silence is
// counted from the first exchange after the last good answer: a whole 2-byte reply
// to a query, or what the reader judged good (a group, a block, a progress byte).
class AnswerWatch final : public acquisition::InstrumentIo {
 public:
  explicit AnswerWatch(acquisition::InstrumentIo& io) : io_(io) {}
  void Flush() override { io_.Flush(); }
  int DiscardInput(int wait_us) override { return io_.DiscardInput(wait_us); }
  // A frame written expects an answer.
  int Write(const std::string& bytes) override;
  int Read(std::string& data, int count) override { return io_.Read(data, count); }
  bool DeviceWrite(int reg, int value, int mode) override {
    return io_.DeviceWrite(reg, value, mode);
  }
  int DeviceQuery(int reg, int value, int mode) override;
  int QueryReply(int reg, int value, int mode, int& received) override;

  void Asked();
  void Answered() { asked_since_ = -1; }
  // Milliseconds since the first unanswered exchange; 0 when none waits.
  int64_t SilentMs() const;

  // The silence of a work that another one interrupts is set aside, and taken up
  // again without the time the other work took: each work's limit counts its own
  // exchanges only.
  struct SetAside {
    int64_t asked_since;
    int64_t at;
  };
  SetAside Suspend();
  void Resume(const SetAside& set_aside);
  // Time the window spent on other things while the work waited (its events, a
  // question the user answered) is not the instrument's silence.
  void Excuse(int64_t ms) {
    if (asked_since_ >= 0 && ms > 0) asked_since_ += ms;
  }

 private:
  acquisition::InstrumentIo& io_;
  int64_t asked_since_ = -1;
};

// Once the work they belong to has been stopped (platform/waiting.h), the operations
// below end at their next wait without a message: a write gives 0, a read -1 (or false).
class CompactInstrument {
 public:
  explicit CompactInstrument(acquisition::InstrumentIo& io) : io_(io) {}

  AnswerWatch& io() { return io_; }
  const AnswerWatch& io() const { return io_; }

  // The service preset of the verified write (three passes): 1 when the instrument
  // echoed `reg`, -1 after "Ops...Data Writing ERROR: reg(<reg>)... Check COM and Try
  // again", 0 when its work was stopped.
  int16_t WriteChannelSetting(int reg, int power, int gain);
  // Every register at once (FF 00 11 v F0, sent once more when unanswered, 10 ms
  // after each send): 0 when the instrument answered, -1 when it did not.
  int16_t SetAllChannels(int power, int gain);
  // Nine sends of the write frame without echo check or pause; `shown` gets each
  // reply (-1 for none). False when not one of the nine got its whole reply: a lone
  // echo is no answer.
  bool SendSetting(int reg, int value, const std::function<void(int)>& shown);
  // Up to three read-back queries without pause, until one gets its whole reply:
  // the setting byte, or -1.
  int16_t ReadBack(int reg);

  // Reads blocks 0, 32, 64 and 96 in turn (each up to three tries, 200 ms after a
  // failed one; every try has its own deadline) and copies the one starting at `block`
  // into sample 0 of the traces (negative levels as 0). 0 when all four came; -1
  // after the message naming the block that did not.
  int16_t ReadLevelBlock(int block, ChannelTraces& traces);

  // One live sample of all channels into sample `traces.sample_index`: the eight
  // group requests 0, 8, .., 56, each decoded by the run's group decoder. A group
  // whose reply is not 48 good bytes, or is followed by more bytes (it was shifted),
  // keeps the sample of its 48 channels as it was. False when it was stopped.
  bool ReadLiveSample(ChannelTraces& traces);

 private:
  AnswerWatch io_;
};

}  // namespace service
