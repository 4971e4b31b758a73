#include "service/compact_instrument.h"

#include <algorithm>
#include <string>

#include "acquisition/verified_write.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/waiting.h"

namespace service {

namespace {

constexpr int kStation = 0;
constexpr int kReadTries = 3;
constexpr int kSetAllPauseMs = 10;
constexpr int kBlockRetryPauseMs = 200;
constexpr int kLiveGroupStep = 8;
constexpr int kLiveLastGroup = 56;
constexpr int kBanks = 3;
constexpr int kWordsPerBank = 8;

}  // namespace

std::optional<int> RegisterOfChannel(int channel) {
  if (channel < 0 || channel >= 2 * kCompactRegisters || channel % 2 != 0) return std::nullopt;
  return channel / 2;
}

std::string BlockReadErrorText(int block) {
  return "Ops...Data Sending ERROR reg(" + std::to_string(block) + ")... Try again";
}

int AnswerWatch::Write(const std::string& bytes) {
  Asked();
  return io_.Write(bytes);
}

int AnswerWatch::DeviceQuery(int reg, int value, int mode) {
  int received = 0;
  return QueryReply(reg, value, mode, received);
}

int AnswerWatch::QueryReply(int reg, int value, int mode, int& received) {
  Asked();
  const int reply = io_.QueryReply(reg, value, mode, received);
  if (received >= devlink::kShortReplySize) Answered();
  return reply;
}

void AnswerWatch::Asked() {
  if (asked_since_ < 0) asked_since_ = platform::MonotonicMs();
}

int64_t AnswerWatch::SilentMs() const {
  return asked_since_ < 0 ? 0 : platform::MonotonicMs() - asked_since_;
}

AnswerWatch::SetAside AnswerWatch::Suspend() {
  const SetAside set_aside{asked_since_, platform::MonotonicMs()};
  asked_since_ = -1;
  return set_aside;
}

void AnswerWatch::Resume(const SetAside& set_aside) {
  asked_since_ = set_aside.asked_since;
  Excuse(platform::MonotonicMs() - set_aside.at);
}

int16_t CompactInstrument::WriteChannelSetting(int reg, int power, int gain) {
  acquisition::WritePasses passes = acquisition::kServiceWritePasses;
  passes.wait = [](int ms) { platform::Wait(ms); };
  passes.keep_going = &platform::KeepWaiting;
  return acquisition::WriteRegisterChecked(io_, reg, devlink::ChannelSetting(gain, power),
                                           devlink::ModeWrite | kStation, passes, reg, kStation);
}

int16_t CompactInstrument::SetAllChannels(int power, int gain) {
  const int value = devlink::ChannelSetting(gain, power);
  int reply = io_.DeviceQuery(devlink::RegSetAll, value, kStation);
  platform::Wait(kSetAllPauseMs);
  if (reply == -1 && !platform::WaitStopped()) {
    reply = io_.DeviceQuery(devlink::RegSetAll, value, kStation);
    platform::Wait(kSetAllPauseMs);
  }
  return reply == -1 ? int16_t{-1} : int16_t{0};
}

bool CompactInstrument::SendSetting(int reg, int value, const std::function<void(int)>& shown) {
  bool answered = false;
  for (int i = 0; i < acquisition::kSendsPerPass && platform::KeepWaiting(); ++i) {
    int received = 0;
    const int reply = io_.QueryReply(reg, value, devlink::ModeWrite | kStation, received);
    answered |= received >= devlink::kShortReplySize;
    shown(reply);
  }
  return answered;
}

int16_t CompactInstrument::ReadBack(int reg) {
  for (int t = 0; t < kReadTries && platform::KeepWaiting(); ++t) {
    int received = 0;
    const int reply = io_.QueryReply(devlink::RegReadBack, reg, kStation, received);
    if (received >= devlink::kShortReplySize) return static_cast<int16_t>(reply);
  }
  return -1;
}

int16_t CompactInstrument::ReadLevelBlock(int block, ChannelTraces& traces) {
  for (int blk : kLevelBlocks) {
    int16_t reply = -1;
    for (int t = 0; t < kReadTries && reply == -1; ++t) {
      if (!platform::KeepWaiting()) return -1;
      io_.Asked();
      reply = devlink::DeviceReadChannels(devlink::RegLevels, blk, kStation);
      if (reply == -1) platform::Wait(kBlockRetryPauseMs);
    }
    if (platform::WaitStopped()) return -1;
    if (reply == -1) {
      platform::GetDialogs().MsgBox(BlockReadErrorText(blk));
      return -1;
    }
    io_.Answered();
    if (blk != block) continue;
    for (int w = 0; w < devlink::kBlockWords; ++w) {
      traces.Level(devlink::BlockWordChannel(blk, w), 0) = static_cast<int16_t>(
          std::max<int32_t>(0, devlink::Level_Block[static_cast<size_t>(w)]));
    }
  }
  return 0;
}

bool CompactInstrument::ReadLiveSample(ChannelTraces& traces) {
  const int s = traces.sample_index;
  std::string reply;
  for (int g = 0; g <= kLiveLastGroup; g += kLiveGroupStep) {
    if (platform::WaitStopped()) return false;
    std::fill_n(devlink::Level_Block.begin(), devlink::kBlockWords, -1);
    io_.DiscardInput(0);
    io_.Write(devlink::DeviceFrame(devlink::RegLevels, g, devlink::ModeCommand));
    reply.clear();
    io_.Read(reply, devlink::kGroupReplySize);
    if (reply.size() != static_cast<size_t>(devlink::kGroupReplySize)) continue;
    std::array<int32_t, devlink::kGroupWords> words{};
    bool good = devlink::DecodeGroupReply(reply, words);
    // Bytes right behind a whole reply mean that stray bytes went ahead of it: its
    // words belong to other channels, even where their parity passes.
    if (io_.DiscardInput(acquisition::kStrayListenUs) > 0) good = false;
    for (int m = 0; m < kWordsPerBank; ++m) {
      for (int b = 0; b < kBanks; ++b) {
        devlink::Level_Block[static_cast<size_t>(6 * m + b)] = words[static_cast<size_t>(3 * m + b)];
        devlink::Level_Block[static_cast<size_t>(6 * m + 3 + b)] = 0;
      }
    }
    if (!good) continue;
    io_.Answered();
    for (int w = 0; w < devlink::kGroupWords; ++w) {
      const int ch = devlink::GroupWordChannel(g, w);
      traces.Level(ch, s) = static_cast<int16_t>(std::max<int32_t>(0, words[static_cast<size_t>(w)]));
      traces.Level(ch + 1, s) = 0;
    }
  }
  return !platform::WaitStopped();
}

}  // namespace service
