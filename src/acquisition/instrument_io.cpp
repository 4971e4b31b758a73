#include "acquisition/instrument_io.h"

#include "platform/clock.h"

namespace acquisition {

namespace {
constexpr int kLastGroup = 63;
}  // namespace

int InstrumentIo::QueryReply(int reg, int value, int mode, int& received) {
  const int reply = DeviceQuery(reg, value, mode);
  received = reply == -1 ? 0 : devlink::kShortReplySize;
  return reply;
}

int SendPrimingRequests(InstrumentIo& io, int step) {
  std::string discard;
  int found = 0;
  for (int g = 0; g <= kLastGroup; g += step) {
    found += io.DiscardInput(0);
    io.Write(devlink::DeviceFrame(devlink::RegLevels, g, devlink::ModeCommand));
    io.Read(discard, devlink::kGroupReplySize);
  }
  return found;
}

void PrimingPause(int64_t since) {
  constexpr int64_t kPrimePauseMs = 50;
  const int64_t left = kPrimePauseMs - (platform::MonotonicMs() - since);
  if (left > 0) platform::Sleep(left);
}

int PrimeGroupRequests(InstrumentIo& io, int step) {
  const int found = SendPrimingRequests(io, step);
  PrimingPause(platform::MonotonicMs());
  return found;
}

void PollGroups(InstrumentIo& io, int step, GroupPoll& poll) {
  poll.groups = 0;
  poll.stale = 0;
  poll.heard = false;
  poll.misaligned = false;
  std::string reply;
  for (int g = 0; g <= kLastGroup && poll.groups < kMaxPollGroups; g += step) {
    const int i = poll.groups++;
    // What waits before the first request is older than this poll; later, it is the
    // tail of a reply of this poll.
    const int leftover = io.DiscardInput(0);
    if (i == 0)
      poll.stale = leftover;
    else if (leftover > 0)
      poll.misaligned = true;
    io.Write(devlink::DeviceFrame(devlink::RegLevels, g, devlink::ModeCommand));
    reply.clear();
    poll.heard |= io.Read(reply, devlink::kGroupReplySize) > 0;
    poll.group[i] = g;
    poll.good[i] = devlink::DecodeGroupReply(reply, poll.levels[i]);
  }
  if (io.DiscardInput(kStrayListenUs) > 0) poll.misaligned = true;
}

}  // namespace acquisition
