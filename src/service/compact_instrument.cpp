#include "service/compact_instrument.h"

#include <algorithm>
#include <string>

#include "acquisition/verified_write.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/dialogs.h"

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

int16_t CompactInstrument::WriteChannelSetting(int reg, int power, int gain) {
  return acquisition::WriteRegisterChecked(io_, reg, devlink::ChannelSetting(gain, power),
                                           devlink::ModeWrite | kStation,
                                           acquisition::kServiceWritePasses, reg, kStation);
}

int16_t CompactInstrument::SetAllChannels(int power, int gain) {
  const int value = devlink::ChannelSetting(gain, power);
  int reply = io_.DeviceQuery(devlink::RegSetAll, value, kStation);
  platform::Sleep(kSetAllPauseMs);
  if (reply == -1) {
    reply = io_.DeviceQuery(devlink::RegSetAll, value, kStation);
    platform::Sleep(kSetAllPauseMs);
  }
  return reply == -1 ? int16_t{-1} : int16_t{0};
}

bool CompactInstrument::SendSetting(int reg, int value, const std::function<void(int)>& shown) {
  bool answered = false;
  for (int i = 0; i < acquisition::kSendsPerPass; ++i) {
    const int reply = io_.DeviceQuery(reg, value, devlink::ModeWrite | kStation);
    answered |= reply != -1;
    shown(reply);
  }
  return answered;
}

int16_t CompactInstrument::ReadBack(int reg) {
  int reply = -1;
  for (int t = 0; t < kReadTries && reply == -1; ++t) {
    reply = io_.DeviceQuery(devlink::RegReadBack, reg, kStation);
  }
  return static_cast<int16_t>(reply);
}

int16_t CompactInstrument::ReadLevelBlock(int block, ChannelTraces& traces) {
  for (int blk : kLevelBlocks) {
    int16_t reply = -1;
    for (int t = 0; t < kReadTries && reply == -1; ++t) {
      reply = devlink::DeviceReadChannels(devlink::RegLevels, blk, kStation);
      if (reply == -1) platform::Sleep(kBlockRetryPauseMs);
    }
    if (reply == -1) {
      platform::GetDialogs().MsgBox(BlockReadErrorText(blk));
      return -1;
    }
    if (blk != block) continue;
    for (int w = 0; w < devlink::kBlockWords; ++w) {
      traces.Level(devlink::BlockWordChannel(blk, w), 0) = static_cast<int16_t>(
          std::max<int32_t>(0, devlink::Level_Block[static_cast<size_t>(w)]));
    }
  }
  return 0;
}

void CompactInstrument::ReadLiveSample(ChannelTraces& traces) {
  const int s = traces.sample_index;
  std::string reply;
  for (int g = 0; g <= kLiveLastGroup; g += kLiveGroupStep) {
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
    for (int w = 0; w < devlink::kGroupWords; ++w) {
      const int ch = devlink::GroupWordChannel(g, w);
      traces.Level(ch, s) = static_cast<int16_t>(std::max<int32_t>(0, words[static_cast<size_t>(w)]));
      traces.Level(ch + 1, s) = 0;
    }
  }
}

}  // namespace service
