#pragma once
// The one verified register write of the program. A write frame FF mode reg value F0
// is sent nine times in a row through DeviceQuery and judged by the reply to the
// ninth send alone, which must echo `reg` (the instrument may still be answering an
// earlier frame when the first replies arrive). Each further pass first brings the
// link back in step: a pause, the temperature read FF station 21 00 F0 with its reply
// ignored, a pause; then nine sends, each followed by a pause.
//
// Callers differ only in their passes and pauses (a preset below) and in the number
// their failure message names.
#include <cstdint>
#include <string>

#include "acquisition/instrument_io.h"

namespace acquisition {

struct WritePasses {
  int retry_passes = 0;            // passes after the first, back-to-back one
  int resync_pause_ms = 0;         // before and after the resynchronising read
  int send_pause_ms = 0;           // after each send of a retry pass
  bool flush_before_last = false;  // both queues purged before the last retry pass
  // Waits out each pause; a window passes one that also lets itself repaint. A plain
  // sleep when unset.
  void (*wait)(int ms) = nullptr;
  // Asked before each frame when set: false ends the write unconfirmed at once (the
  // work it belongs to was stopped), with nothing more sent.
  bool (*keep_going)() = nullptr;
};

inline constexpr int kSendsPerPass = 9;

// Channel settings written from the main window (run-start and manual calibration,
// device test): four passes, 150 ms around the resync, 100 ms after each send, the
// port purged before the last pass.
inline constexpr WritePasses kChannelWritePasses{3, 150, 100, true};
// The service windows (factory record, channel-calibration window): three passes,
// 100 ms around the resync, 50 ms after each send.
inline constexpr WritePasses kServiceWritePasses{2, 100, 50, false};

// True when the instrument echoed the write in some pass. Shows nothing. A register,
// value or mode that is not a byte makes every query fail without sending, so the
// passes run out (their resync frames are still sent).
bool WriteVerified(InstrumentIo& io, int reg, int value, int mode, const WritePasses& passes,
                   int station = 0);

// "Ops...Data Writing ERROR: reg(<number>)... Check COM and Try again"
std::string WriteErrorText(int number);

// WriteVerified; when every pass failed, the error box naming `shown_number` (the
// channel or register the caller speaks of). 1 when confirmed, -1 after the box, 0
// without one when the work it belongs to was stopped (platform/waiting.h).
int16_t WriteRegisterChecked(InstrumentIo& io, int reg, int value, int mode,
                             const WritePasses& passes, int shown_number, int station = 0);

}  // namespace acquisition
