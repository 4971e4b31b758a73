#pragma once
// The serial exchanges a run makes with the instrument, on the configured port.
// The run engine talks to the instrument only through this, so the link layer's
// port procedures plug in for the program and a scripted port plugs in for tests.
#include <string>

namespace acquisition {

class InstrumentIo {
 public:
  virtual ~InstrumentIo() = default;
  // Purges both queues of the port.
  virtual void Flush() = 0;
  // Sends bytes as one write; the byte count written, -1 on failure.
  virtual int Write(const std::string& bytes) = 0;
  // Reads up to `count` bytes into `data` within the port's time-outs; bytes received.
  virtual int Read(std::string& data, int count) = 0;
  // One command frame FF mode register value F0, no reply read; true when it failed.
  virtual bool DeviceWrite(int reg, int value, int mode) = 0;
  // One command frame and the first byte of its 2-byte reply; -1 when nothing came.
  virtual int DeviceQuery(int reg, int value, int mode) = 0;
};

// The priming pass before a real poll: every group request of the plate (groups 0..63
// in steps of `step`) sent once with its reply discarded, then a 50 ms pause, so the
// instrument's channel multiplexer has settled when the samples that count are read.
void PrimeGroupRequests(InstrumentIo& io, int step);

}  // namespace acquisition
