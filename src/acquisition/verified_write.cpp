#include "acquisition/verified_write.h"

#include "link/device_frame.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/waiting.h"

namespace acquisition {

bool WriteVerified(InstrumentIo& io, int reg, int value, int mode, const WritePasses& passes,
                   int station) {
  const auto wait = [&](int ms) {
    if (passes.wait)
      passes.wait(ms);
    else
      platform::Sleep(ms);
  };
  const auto stopped = [&] { return passes.keep_going && !passes.keep_going(); };
  auto pass = [&](int pause_ms) {
    int reply = -1;
    for (int i = 0; i < kSendsPerPass; ++i) {
      if (stopped()) return false;
      reply = io.DeviceQuery(reg, value, mode);
      if (pause_ms > 0) wait(pause_ms);
    }
    return reply != -1 && reply == reg;
  };
  if (pass(0)) return true;
  for (int p = 0; p < passes.retry_passes; ++p) {
    if (passes.flush_before_last && p == passes.retry_passes - 1) io.Flush();
    wait(passes.resync_pause_ms);
    if (stopped()) return false;
    io.DeviceQuery(devlink::RegTemperature, 0, station);
    wait(passes.resync_pause_ms);
    if (pass(passes.send_pause_ms)) return true;
  }
  return false;
}

std::string WriteErrorText(int number) {
  return "Ops...Data Writing ERROR: reg(" + std::to_string(number) + ")... Check COM and Try again";
}

int16_t WriteRegisterChecked(InstrumentIo& io, int reg, int value, int mode,
                             const WritePasses& passes, int shown_number, int station) {
  if (WriteVerified(io, reg, value, mode, passes, station)) return 1;
  // Ended by the work it belongs to, not refused by the instrument: no box.
  if (platform::WaitStopped()) return 0;
  platform::GetDialogs().MsgBox(WriteErrorText(shown_number));
  return -1;
}

}  // namespace acquisition
