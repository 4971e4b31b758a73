#pragma once
// Channel settings: the write-with-verify of one setting byte, the instrument's own
// auto-adjust at run start with the read-back of every channel, and the manual
// step calibration of the "Fast CALIB" button.
//
// Setting byte of a channel: Gain x 32 + PinHole (Gain bits 5..7, PinHole bits 0..4).
// Channels 0..127 are written with mode 0x80 and register = channel, the others with
// mode 0x81 and register = channel - 128; the instrument echoes the register byte.
//
// Everything runs on the window thread. Long work yields through the view at fixed
// points; after a yield it ends early when the run was stopped meanwhile, or when
// the run went back to sampling (the tick would share the raw ring with it).
#include <cstdint>
#include <string>

#include "acquisition/instrument_io.h"
#include "acquisition/verified_write.h"

namespace acquisition {

class RunEngine;

// The calibration panel frm_autotext of the main window. Every method has a default
// that shows nothing, so a test implements only what it watches.
class CalibrationView {
 public:
  virtual ~CalibrationView() = default;
  // frm_autotext shown / hidden (the button handlers).
  virtual void ShowFrame() {}
  virtual void HideFrame() {}
  // lbl_autochannel, repainted at once.
  virtual void SetProgressText(const std::string& /*text*/) {}
  // picturecal's user scale: x 0..right, y 0..bottom.
  virtual void ScaleProgressBar(double /*right*/, double /*bottom*/) {}
  // A filled bar on picturecal from (0, 0) to (x, 10).
  virtual void DrawProgressBar(double /*x*/) {}
  virtual void ClearProgressBar() {}
  // Lets pending window events run once (ui::DoEvents).
  virtual void ProcessEvents() {}
};

// Level window of the step calibration on the 12-bit scale (80 % and 90 % of 2048).
inline constexpr int kCalWindowLow = 1638;
inline constexpr int kCalWindowHigh = 1843;
// Target value the instrument's auto-adjust is started with.
inline constexpr int kAutoAdjustTarget = 0x6E;
// Channels the run-start read-back covers.
inline constexpr int kReadBackChannels = 255;
// Refusal of the buttons while the acquisition tick polls.
inline constexpr const char* kCalibrationWhileSampling =
    "Not possible while the acquisition is running: pause it first";

// The write-with-verify of one channel's setting (kChannelWritePasses): 1 when the
// instrument echoed it,
// -1 after "Ops...Data Writing ERROR: reg(<channel>)... Check COM and Try again".
// A channel outside 0..383 or a setting that is not a byte is refused the same way
// without sending anything.
int16_t WriteCalRegister(InstrumentIo& io, int channel, int pinhole, int gain);

// Up to three read-back queries of `address`: the byte 0..255, or -1.
int16_t ReadCalRegister(InstrumentIo& io, int address, int mode);

// The read-back of these channels would return the factory calibration record
// (instrument addresses 200..207), not a channel setting.
inline bool ReadBackHitsFactoryRecord(int channel) { return channel >= 200 && channel <= 207; }

// One channel's working state in the step calibration.
struct StepState {
  bool done = false;
  int16_t direction = 0;  // 1 last step went up, -1 down, 0 none
};
// One pass of the step rules for a channel with level `level`: moves pinhole/gain
// (PinHole x 8 + Gain, one unit a step), updates `st`. True when the setting must be
// (re)written, that is when the channel is still not done. `in_window` is set when
// the level lies in the window.
bool StepChannel(int level, int16_t& pinhole, int16_t& gain, StepState& st, bool& in_window);

class ChannelCalibration {
 public:
  // `engine` gives the run's raw ring, controls and timer state; `io` is the
  // instrument port (LinkIo in the program). Both must outlive this object.
  ChannelCalibration(InstrumentIo& io, RunEngine& engine, CalibrationView& view);

  // The run-start hook: the caller's panel set-up (bar scaled to 383 x 10, cleared),
  // then RunAutoCalibration.
  void AutoCalibrationAtRunStart(const std::string& folder, int station);

  // The instrument's auto-adjust, then the read-back of channels 0..254 into PinHole
  // and Gain, calvalue.dat in the program folder rewritten and copied into `folder`
  // (the run folder). A failed read-back shows "COM Error" and stops the run with
  // nothing changed.
  void RunAutoCalibration(const std::string& folder, int station);

  // "Fast CALIB": the step calibration of every channel on the plate.
  void CalibrateChannels();
  // The button: refused while the tick polls; frame shown, SNR factor taken from
  // the SNR box's text, CalibrateChannels, frame hidden.
  void cmd_calibra_Click(const std::string& snr_text);

  // Longest wait for the instrument's adjustment to report its end.
  static constexpr int64_t kAutoAdjustLimitMs = 60000;
  // Longest the read-back of all channels may take (well under a second normally).
  static constexpr int64_t kReadBackLimitMs = 60000;

 private:
  // Yields, then true when the work must end: the run was stopped, or it resumed
  // sampling.
  bool YieldAndCheckStop();
  bool Sampling() const;
  // One 96-channel block into column 0 of the raw ring, as the instrument sends it.
  void ReadLevelBlock(int start, bool keep);

  InstrumentIo& io_;
  RunEngine& engine_;
  CalibrationView& view_;
};

// True while the acquisition tick polls: the buttons refuse to run then.
bool RunIsSampling(const RunEngine& engine);

}  // namespace acquisition
