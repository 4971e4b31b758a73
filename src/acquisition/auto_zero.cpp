#include "acquisition/auto_zero.h"

#include <array>
#include <vector>

#include "acquisition/run_engine.h"
#include "acquisition/snr.h"
#include "link/device_frame.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "storage/shared_state.h"

namespace acquisition {

namespace {
constexpr int kSampleGroupStep = 8;  // every sample pass asks for all eight groups
constexpr int kYieldEvery = 10;
constexpr int kSilentPassesToGiveUp = 2;
}  // namespace

double AutoZeroThreshold(std::span<const int16_t> samples, double snr) {
  const int n = static_cast<int>(samples.size());
  if (n < kAutoZeroFirstSample + 3) return kAutoZeroFloor;
  int16_t peak = samples[kAutoZeroFirstSample];
  int16_t trough = samples[kAutoZeroFirstSample];
  int32_t swing_sum = 0, level_sum = 0, count = 0;
  for (int i = kAutoZeroFirstSample + 1; i <= n - 2; ++i) {
    const int16_t r = samples[i];
    if (r < samples[i - 1] && r < samples[i + 1]) trough = r;
    if (r > samples[i - 1] && r > samples[i + 1]) peak = r;
    swing_sum += peak - trough;
    level_sum += r;
    ++count;
  }
  const int32_t s = platform::RoundToInt(double(swing_sum) / count);
  const int32_t l = platform::RoundToInt(double(level_sum) / count);
  const double x = l > 0 ? (1.0 - double(l - s) / l) * 100.0 * snr : 0.0;
  const double t = x + 1.0;
  return t < kAutoZeroFloor ? kAutoZeroFloor : t;
}

AutoZero::AutoZero(InstrumentIo& io, RunEngine& engine, CalibrationView& view)
    : io_(io), engine_(engine), view_(view) {}

bool AutoZero::SamplePass(int p) {
  RunState& rs = engine_.state;
  GroupPoll poll;
  PollGroups(io_, kSampleGroupStep, poll);
  for (int i = 0; i < poll.groups; ++i) {
    // A short, damaged or shifted reply writes nothing: its channels keep what column p held.
    if (!poll.good[i] || poll.misaligned) continue;
    for (int w = 0; w < devlink::kGroupWords; ++w) {
      const int ch = devlink::GroupWordChannel(poll.group[i], w);
      rs.RawAt(ch, p) = static_cast<int16_t>(poll.levels[i][w]);
      rs.RawAt(ch + 1, p) = 0;
    }
  }
  return poll.heard;
}

void AutoZero::RunAutoZero() {
  auto& sh = storage::Shared();
  RunState& rs = engine_.state;
  view_.SetProgressText("AutoZero Calculation .... <000>");
  view_.ClearProgressBar();
  const int step = rs.Plate_96 ? 16 : 8;
  const int n = AutoZeroSamples(engine_.controls.Auto_Calibration, engine_.controls.Auto_Zero);
  view_.ScaleProgressBar(n, 10);

  if (!sh.Offline_Mode) PrimeGroupRequests(io_, step);
  int silent_passes = 0;
  for (int p = 0; p < n; ++p) {
    if (!sh.Offline_Mode) {
      silent_passes = SamplePass(p) ? 0 : silent_passes + 1;
      // Every read of a silent instrument waits out its time-outs: a hundred passes
      // would hold the run start for many minutes. Nothing is computed then.
      if (silent_passes >= kSilentPassesToGiveUp) return;
    }
    view_.SetProgressText("AutoZero... <" + std::to_string(p) + ">");
    view_.DrawProgressBar(p);
    if (p % kYieldEvery == 0) {
      view_.ProcessEvents();
      // Stopped, or resumed so that the tick writes the same columns: no result.
      if (sh.Acq_State == 0 || RunIsSampling(engine_)) return;
    }
  }

  std::vector<int16_t> series(static_cast<std::size_t>(n));
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    for (int i = 0; i < n; ++i) series[static_cast<std::size_t>(i)] = rs.RawAt(ch, i);
    sh.ThresholdAt(0, ch) = AutoZeroThreshold(series, rs.SNR_Threshold);
  }
}

void AutoZero::Cmd_autozero_Click(const std::string& snr_text) {
  if (RunIsSampling(engine_)) {
    platform::GetDialogs().MsgBox(kCalibrationWhileSampling);
    return;
  }
  view_.ShowFrame();
  engine_.state.SNR_Threshold = ParseSnrText(snr_text);
  RunAutoZero();
  view_.HideFrame();
}

}  // namespace acquisition
