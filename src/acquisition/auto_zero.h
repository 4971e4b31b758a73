#pragma once
// The auto-zero: a short series of group polls of every channel, turned into each
// channel's starting detection threshold, element (0, channel) of `Threshold`, with
// the formula the bin end uses: t = 1 + S / L x 100 x SNR (S the mean swing between
// the last peak and trough, L the mean level), at least 1.8.
//
// Samples go to columns 0..N-1 of the run's raw ring (N = 30 when the run start also
// calibrates, 100 otherwise); the work yields every tenth sample and gives up, with
// no threshold changed, when the run was stopped or went back to sampling meanwhile,
// or when the instrument stays silent for two whole passes.
#include <cstdint>
#include <span>
#include <string>

#include "acquisition/calibration.h"
#include "acquisition/instrument_io.h"

namespace acquisition {

class RunEngine;

inline constexpr double kAutoZeroFloor = 1.8;
inline constexpr int kAutoZeroFirstSample = 10;

// Number of samples the auto-zero takes.
inline int AutoZeroSamples(bool auto_calibration, bool auto_zero) {
  return auto_calibration && auto_zero ? 30 : 100;
}

// The threshold of one channel from its samples R(0..N-1): peak and trough start
// at R(10), samples 11..N-2 are summed. `samples` must hold at least 13 values;
// fewer give the floor.
double AutoZeroThreshold(std::span<const int16_t> samples, double snr);

class AutoZero {
 public:
  AutoZero(InstrumentIo& io, RunEngine& engine, CalibrationView& view);

  // RunAutoZero: also the run-start hook.
  void RunAutoZero();
  // "Fast ZERO": refused while the tick polls; frame shown, SNR factor from the
  // SNR box's text, RunAutoZero, frame hidden.
  void Cmd_autozero_Click(const std::string& snr_text);

 private:
  // One sample into column p; false when no group brought a single byte.
  bool SamplePass(int p);

  InstrumentIo& io_;
  RunEngine& engine_;
  CalibrationView& view_;
};

}  // namespace acquisition
