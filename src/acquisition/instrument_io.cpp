#include "acquisition/instrument_io.h"

#include "link/device_frame.h"
#include "platform/clock.h"

namespace acquisition {

void PrimeGroupRequests(InstrumentIo& io, int step) {
  constexpr int kLastGroup = 63;
  constexpr int kPrimePauseMs = 50;
  std::string discard;
  for (int g = 0; g <= kLastGroup; g += step) {
    io.Flush();
    io.Write(devlink::DeviceFrame(devlink::RegLevels, g, devlink::ModeCommand));
    io.Read(discard, devlink::kGroupReplySize);
  }
  platform::Sleep(kPrimePauseMs);
}

}  // namespace acquisition
