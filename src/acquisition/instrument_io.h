#pragma once
// The serial exchanges a run makes with the instrument, on the configured port.
// The run engine talks to the instrument only through this, so the link layer's
// port procedures plug in for the program and a scripted port plugs in for tests.
#include <array>
#include <cstdint>
#include <string>

#include "link/device_frame.h"

namespace acquisition {

class InstrumentIo {
 public:
  virtual ~InstrumentIo() = default;
  // Purges both queues of the port.
  virtual void Flush() = 0;
  // Purges the input only: drops what has arrived and what arrives within
  // `wait_us`; the number of bytes dropped.
  virtual int DiscardInput(int wait_us) = 0;
  // Sends bytes as one write; the byte count written, -1 on failure.
  virtual int Write(const std::string& bytes) = 0;
  // Reads up to `count` bytes into `data` within the port's time-outs; bytes received.
  virtual int Read(std::string& data, int count) = 0;
  // One command frame FF mode register value F0, no reply read; true when it failed.
  virtual bool DeviceWrite(int reg, int value, int mode) = 0;
  // One command frame and the first byte of its 2-byte reply; -1 when nothing came.
  virtual int DeviceQuery(int reg, int value, int mode) = 0;
  // DeviceQuery, also telling how many reply bytes came: fewer than two is a reply
  // the instrument did not finish, even when its first byte gives a value. A port
  // that cannot tell says two whenever a byte came.
  virtual int QueryReply(int reg, int value, int mode, int& received);
};

// The priming pass before a real poll: every group request of the plate (groups 0..63
// in steps of `step`) sent once with its reply discarded, then a 50 ms pause, so the
// instrument's channel multiplexer has settled when the samples that count are read.
// Returns the bytes its purges found waiting ahead of its requests.
int PrimeGroupRequests(InstrumentIo& io, int step);
// The same pass in two parts, for work that fits in the pause: the requests (the bytes
// found, as above), then the rest of the pause that began at `since` (monotonic ms).
int SendPrimingRequests(InstrumentIo& io, int step);
void PrimingPause(int64_t since);

// How long a USB adapter may hold the tail of a reply back: its latency timer, 16 ms
// at most, and some margin.
inline constexpr int kLateTailUs = 20000;

// How long a poll listens after its last reply for bytes that should not be there:
// about three byte times at 115200 baud, 1 % of the 30 ms tick.
inline constexpr int kStrayListenUs = 300;
inline constexpr int kMaxPollGroups = 8;

// One poll of the plate's groups (0..63 in steps of 8 or 16), each request preceded
// by a purge of the input and each 48-byte reply decoded.
//
// A reply read with extra bytes ahead of it leaves its own tail for the next read:
// its words shift to neighbouring channels and, with an even number of stray bytes,
// still pass parity. The tail then either waits in the input when the next request
// is about to go out, or shifts the next reply in turn and so on to the last one,
// whose tail arrives just after it. Any byte found at those moments marks the whole
// poll as misaligned. A USB adapter may hand the last tail on only milliseconds later:
// it then waits ahead of the next poll (`stale`) or shifts that poll's first reply.
struct GroupPoll {
  int groups = 0;
  int stale = 0;                            // bytes found before the first request
  std::array<int, kMaxPollGroups> group{};  // the group selector of each request
  std::array<std::array<int32_t, devlink::kGroupWords>, kMaxPollGroups> levels{};
  std::array<bool, kMaxPollGroups> good{};  // exactly 48 bytes, every word good
  bool heard = false;                       // any reply byte at all
  bool misaligned = false;
};
void PollGroups(InstrumentIo& io, int step, GroupPoll& poll);

}  // namespace acquisition
