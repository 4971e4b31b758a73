#include "link/device_io.h"

#include <string>

#include "link/comm_port.h"
#include "link/device_frame.h"
#include "platform/clock.h"
#include "storage/shared_state.h"

namespace devlink {

std::array<int32_t, kLevelBlockSize> Level_Block = [] {
  std::array<int32_t, kLevelBlockSize> a{};
  a.fill(-1);
  return a;
}();

namespace {
int g_instrument_port = 0;
constexpr int64_t kBlockDeadlineMs = 2000;

bool IsByte(int v) { return v >= 0 && v <= 255; }
}  // namespace

int InstrumentPort() {
  return g_instrument_port != 0 ? g_instrument_port : storage::Shared().Serial_COM;
}

void SetInstrumentPort(int port) { g_instrument_port = port; }

bool DeviceWrite(int reg, int value, int mode) {
  if (!IsByte(reg) || !IsByte(value) || !IsByte(mode)) return true;
  const int port = InstrumentPort();
  const bool failed = CommWrite(port, DeviceFrame(reg, value, mode)) != kFrameSize;
  // A later purge must not drop a frame that nothing answers.
  CommDrain(port);
  return failed;
}

int16_t DeviceQuery(int reg, int value, int mode, int* received) {
  if (received) *received = 0;
  if (!IsByte(reg) || !IsByte(value) || !IsByte(mode)) return -1;
  int port = InstrumentPort();
  CommDiscardInput(port, 0);
  CommWrite(port, DeviceFrame(reg, value, mode));
  std::string reply;
  const int32_t got = CommRead(port, reply, kShortReplySize);
  if (received) *received = got;
  if (got < 1) return -1;
  return static_cast<int16_t>(static_cast<uint8_t>(reply[0]));
}

int16_t DeviceReadChannels(int reg, int value, int mode) {
  Level_Block.fill(-1);
  if (!IsByte(reg) || !IsByte(value) || !IsByte(mode)) return -1;
  int port = InstrumentPort();
  CommDiscardInput(port, 0);
  CommWrite(port, DeviceFrame(reg, value, mode));

  std::string reply;
  const int64_t deadline = platform::MonotonicMs() + kBlockDeadlineMs;
  while (reply.size() < static_cast<size_t>(kBlockReplySize)) {
    std::string part;
    if (CommRead(port, part, kBlockReplySize - static_cast<int32_t>(reply.size())) == 0) break;
    reply += part;
    if (platform::MonotonicMs() >= deadline) break;
  }
  if (reply.size() != static_cast<size_t>(kBlockReplySize)) return -1;

  for (size_t i = 0; i + 1 < reply.size(); i += 2) {
    LevelWord w =
        DecodeBlockWord(static_cast<uint8_t>(reply[i]), static_cast<uint8_t>(reply[i + 1]));
    if (!w.good) return -1;
    Level_Block[i / 2] = w.level;
  }
  return 0;
}

}  // namespace devlink
