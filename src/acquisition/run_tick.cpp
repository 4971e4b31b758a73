// The acquisition tick: the group poll with its decoding, spreading and hold of
// failed groups, the serial error count and automatic restart, the envelope stage,
// the redraw cadence, then elapsed time, progress, light pulses and the pending
// temperature/light send.
//
// A reply shifted by stray bytes leaves its tail for later, and a USB adapter may hand
// the tail of a tick's last reply on only after that tick: each tick's sample can be
// taken back by the next tick's poll, and a bin is closed (with the end-of-run test)
// by the tick after its last sample, once that tick's poll has found nothing amiss.
#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <string>

#include "acquisition/run_engine.h"
#include "link/device_frame.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/numeric.h"
#include "platform/shutdown.h"
#include "storage/shared_state.h"

namespace acquisition {

namespace {

constexpr int kTailEvery = 25;

std::string ElapsedText(int64_t elapsed_ms) {
  if (elapsed_ms < 0) elapsed_ms = 0;
  const int64_t secs = elapsed_ms / 1000;
  const int64_t days = secs / 86400;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d [%lldd]", int((secs / 3600) % 24),
                int((secs / 60) % 60), int(secs % 60), static_cast<long long>(days));
  return buf;
}

}  // namespace

std::string LostBinsText(int lost_bins, int bins) {
  return std::to_string(lost_bins) + " of " + std::to_string(bins) +
         " bins could not be recorded: check the disk";
}

std::string FinishedText(int lost_bins, int bins) {
  std::string text = "Acquisition finished";
  if (lost_bins > 0) text += "\r\n" + LostBinsText(lost_bins, bins);
  return text;
}

int16_t Saturate16(double x) {
  const double r = platform::RoundHalfEven(x);
  if (r > 32767.0) return 32767;
  if (r < -32768.0) return -32768;
  return static_cast<int16_t>(r);
}

void RunEngine::Tick() {
  if (!timer_enabled_) return;
  // A failure inside one tick ends that tick only; the next starts afresh.
  try {
    if (storage::Shared().Acq_State == 1)
      RunningTick();
    else
      PausedTick();
  } catch (const std::exception&) {
  }
}

void RunEngine::RunningTick() {
  auto& sh = storage::Shared();
  RunState& s = state;
  const int step = s.Plate_96 ? 16 : 8;
  const int interval = DspInterval();

  bool polled = false;
  bool last_failed = false;
  bool previous_shifted = false;
  if (!sh.Offline_Mode) {
    int stale = 0;
    if (s.Ring_Index <= 1 || s.Sample_Count <= 1) {
      stale = SendPrimingRequests(io_, step);
      const int64_t primed = platform::MonotonicMs();
      if (bin_close_pending_) {
        // The instrument's pause after the priming requests leaves the bin's last sample
        // time to show a late tail, and the bin time to close without delaying the poll.
        stale += io_.DiscardInput(kLateTailUs);
        previous_shifted = undo_.valid && stale > 0;
        if (previous_shifted) RetractPreviousSample();
        undo_.valid = false;
        if (CloseBinAndEnd(interval)) return;
      }
      PrimingPause(primed);
    }
    PollGroups(io_, step, poll_);
    stale += poll_.stale;
    polled = true;
    // The previous tick's last reply may have been shifted with its tail coming late:
    // that tail waits ahead of this poll, or shifts this poll's first reply.
    if (undo_.valid && (stale > 0 || poll_.misaligned)) {
      previous_shifted = true;
      RetractPreviousSample();
    }
    last_failed =
        poll_.groups == 0 || !poll_.good[poll_.groups - 1] || poll_.misaligned || previous_shifted;
  }
  undo_.valid = false;
  // Without a poll (offline) nothing tests the bin's last sample.
  if (bin_close_pending_ && CloseBinAndEnd(interval)) return;
  if (polled) StoreSample();
  if (!CountSerialError(last_failed)) return;

  if (s.Sample_Count == interval) view_.WarmUpRefresh(controls.Station_Index);
  const int16_t r = s.Ring_Index;
  const bool envelope = s.Sample_Count > interval && r >= 2;
  if (polled) {
    undo_.valid = true;
    undo_.position = r;
    undo_.envelope = envelope;
    undo_.interval = interval;
    if (r >= 1)
      std::copy_n(&s.Raw_Ring[RunState::Cell(0, r - 1)], storage::kChannelSlots,
                  undo_.previous.begin());
    undo_.spread = s.Spread_Sums;
    undo_.level = s.Level_Sums;
    undo_.count = s.Sum_Count;
  }
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    if (sh.Channel_Well[ch] < 0) continue;
    if (envelope)
      EnvelopeStage(ch, r, interval, sh.ThresholdAt(0, ch));
    else
      ResetStage(ch, r);
  }
  if (s.Redraw_Count > 1) {
    view_.DrawRealtimeTraces(controls.Station_Index);
    view_.ShowTemperatureReading();
    s.Redraw_Count = 0;
  }
  ++s.Tick_Count;
  ++s.Ring_Index;
  if (s.Ring_Index >= kBinSamples) {
    bin_close_pending_ = true;
    BinEnd();
  }

  ElapsedAndEnd(false);
  if (s.Ring_Index % kTailEvery == 0) ProgressPulsesPending(true);
  AdvanceCounters(interval);
}

bool RunEngine::CloseBinAndEnd(int interval) {
  bin_close_pending_ = false;
  CloseBin();
  if (!ElapsedAndEnd(true)) return false;
  ProgressPulsesPending(false);
  AdvanceCounters(interval);
  return true;
}

void RunEngine::AdvanceCounters(int interval) {
  RunState& s = state;
  ++s.Redraw_Count;
  if (s.Interval_Step >= interval) {
    s.Interval_Step = 0;
    s.Trace_Toggle = s.Trace_Toggle == 0 ? 1 : 0;
  } else {
    ++s.Interval_Step;
  }
  ++s.Run_Ticks;
  ++s.Sample_Count;
}

void RunEngine::PausedTick() {
  undo_.valid = false;
  const bool ended = ElapsedAndEnd(true);
  ProgressPulsesPending(!ended);
}

void RunEngine::StoreSample() {
  RunState& s = state;
  const int r = s.Ring_Index;
  std::copy_n(&s.Raw_Ring[RunState::Cell(0, r)], storage::kChannelSlots, undo_.column.begin());
  const GroupPoll& poll = poll_;
  for (int i = 0; i < poll.groups; ++i) {
    const int g = poll.group[i];
    // A misaligned poll may have put any group's levels on a neighbour's channels.
    if (poll.good[i] && !poll.misaligned) {
      for (int w = 0; w < devlink::kGroupWords; ++w) {
        const int ch = devlink::GroupWordChannel(g, w);
        s.RawAt(ch, r) = static_cast<int16_t>(poll.levels[i][w]);
        s.RawAt(ch + 1, r) = 0;
      }
    } else {
      HoldGroup(g, r);
    }
  }
}

void RunEngine::HoldGroup(int g, int r) {
  if (r <= 1) return;
  RunState& s = state;
  for (int b = 0; b < 3; ++b)
    for (int j = 0; j < 16; ++j) {
      const int ch = 2 * g + j + 128 * b;
      s.RawAt(ch, r) = s.RawAt(ch, r - 1);
    }
}

void RunEngine::RetractPreviousSample() {
  auto& sh = storage::Shared();
  RunState& s = state;
  const SampleUndo& u = undo_;
  const int16_t p = u.position;
  ++retracted_samples_;
  // Back to what the ring and the sums held before that tick, then its sample as a
  // poll whose every group failed.
  if (p >= 1)
    std::copy(u.previous.begin(), u.previous.end(), &s.Raw_Ring[RunState::Cell(0, p - 1)]);
  std::copy(u.column.begin(), u.column.end(), &s.Raw_Ring[RunState::Cell(0, p)]);
  s.Spread_Sums = u.spread;
  s.Level_Sums = u.level;
  s.Sum_Count = u.count;
  // Every tick of a run polls the same groups.
  for (int i = 0; i < poll_.groups; ++i) HoldGroup(poll_.group[i], p);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    if (sh.Channel_Well[ch] < 0) continue;
    if (u.envelope)
      EnvelopeStage(ch, p, u.interval, sh.ThresholdAt(0, ch));
    else
      ResetStage(ch, p);
  }
}

void RunEngine::FinishPendingBin() {
  if (!bin_close_pending_) return;
  bin_close_pending_ = false;
  if (undo_.valid && !storage::Shared().Offline_Mode && io_.DiscardInput(kLateTailUs) > 0)
    RetractPreviousSample();
  undo_.valid = false;
  try {
    CloseBin();
  } catch (const std::exception&) {
  }
}

bool RunEngine::CountSerialError(bool last_failed) {
  RunState& s = state;
  if (!last_failed) {
    s.Com_Error_Count = 0;
    return true;
  }
  if (s.Com_Error_Count < kErrorsBeforeReport) {
    ++s.Com_Error_Count;
    return true;
  }
  view_.ShowStatus("<COM ERROR>");
  if (!controls.chk_zmonitor) {
    view_.SetStatusDetail("VERIFY COM PORT!");
    s.Com_Error_Count = kErrorsBeforeReport;
    return true;
  }
  view_.SetStatusDetail("Restarting COM.." +
                        std::to_string(kErrorsBeforeRestart - s.Com_Error_Count));
  if (s.Com_Error_Count < kErrorsBeforeRestart) {
    ++s.Com_Error_Count;
    return true;
  }
  // A termination asked for meanwhile ends the program instead: the new instance
  // would not know of it. A failed launch ends only this tick; the next failed tick
  // tries again.
  if (platform::ShutdownRequested()) return false;
  if (platform::GetLauncher().StartSelf("/run")) {
    timer_enabled_ = false;
    if (EndProcess) EndProcess();
  }
  return false;
}

// `r` is a ring position, 16 bits as Ring_Index: the range lets the compiler keep the
// window's index arithmetic narrow.
void RunEngine::EnvelopeStage(int ch, int16_t r, int interval, double thr) {
  RunState& s = state;
  // Column `ch` of each per-sample table, one row per sample position.
  int16_t* const R = s.Raw_Ring.data() + ch;
  int16_t* const U = s.Envelope.data() + ch;
  int16_t* const L = s.RT_Planes.data() + ch;
  int16_t* const P = s.Peak_Hold.data() + ch;
  int16_t* const T = s.Trough_Hold.data() + ch;
  const auto at = [](int p) { return std::size_t(p) * storage::kChannelSlots; };

  const int16_t r0 = R[at(r)], r2 = R[at(r - 2)];
  int16_t& r1 = R[at(r - 1)];
  if (r1 > U[at(r - 1)] && r1 > r2 && r1 > r0) r1 = Saturate16((int32_t(r0) + r2) / 2.0);
  P[at(r)] = P[at(r - 1)];
  T[at(r)] = T[at(r - 1)];
  if (r1 < r2 && r1 < r0) T[at(r)] = r1;
  if (r1 > r2 && r1 > r0) P[at(r)] = r1;
  s.Spread_Sums[ch] += int32_t(P[at(r)]) - T[at(r)];
  s.Level_Sums[ch] += r1;
  s.Sum_Count[ch] += 1;

  // The window reaches back into the end of the previous bin: position 0 is read at
  // the last one, -1 at the one before.
  int32_t m = 0;
  double sl = 0.0, su = 0.0;
  for (int i = interval; i >= 1; --i) {
    int p = r - i;
    if (p <= 0) p += kBinSamples - 1;
    m = std::max<int32_t>(m, R[at(p)]);
    if (i <= 3) {
      sl += L[at(p)];
      su += U[at(p)];
    }
  }
  L[at(r)] = Saturate16((sl + (100.0 - thr) * m / 100.0) / 4.0);
  U[at(r)] = Saturate16((su + (thr + 100.0) * m / 100.0) / 4.0);
}

void RunEngine::ResetStage(int ch, int16_t r) {
  RunState& s = state;
  const std::size_t at = RunState::Cell(ch, r);
  const double thr = storage::Shared().ThresholdAt(0, ch);
  s.Spread_Sums[ch] = s.Level_Sums[ch] = s.Sum_Count[ch] = 0;
  const int16_t raw = s.Raw_Ring[at];
  s.Peak_Hold[at] = raw;
  s.Trough_Hold[at] = raw;
  s.RT_Planes[at] = Saturate16((100.0 - thr) / 100.0 * raw);
  s.Envelope[at] = Saturate16((thr + 100.0) / 100.0 * raw);
}

double RunEngine::ElapsedDays() const {
  return double(platform::MonotonicMs() - run_start_ms_) / 86400000.0;
}

bool RunEngine::ElapsedAndEnd(bool may_end) {
  auto& sh = storage::Shared();
  RunState& s = state;
  const int64_t elapsed_ms = platform::MonotonicMs() - run_start_ms_;
  const double d = ElapsedDays();
  view_.SetElapsedText(ElapsedText(elapsed_ms));
  const double minutes = platform::Int(d * 1440.0);
  s.Elapsed_Minutes = int32_t(std::min(minutes, 32767.0));
  s.Elapsed_Minutes_Exact = platform::RoundHalfEven(d * 1440.0 * 100.0) / 100.0;
  if (may_end && s.Elapsed_Minutes >= sh.Aq_lapse) {
    EndOfRun();
    return true;
  }
  return false;
}

void RunEngine::EndOfRun() {
  // A complete bin still open must reach the files before the report reads them.
  FinishPendingBin();
  timer_enabled_ = false;
  flags.Temp_Power = false;
  flags.Light_On = false;
  SendTempLightState();
  view_.OpenReport(controls.mn_userbin);
  // The automatic report shows no box; a loss must still reach whoever reads the log.
  if (!controls.mn_userbin)
    platform::GetDialogs().MsgBox(FinishedText(lost_bins_, run_bins_));
  else if (lost_bins_ > 0)
    platform::GetDialogs().Note(LostBinsText(lost_bins_, run_bins_));
  Stop();
}

void RunEngine::ProgressPulsesPending(bool pulses) {
  auto& sh = storage::Shared();
  RunState& s = state;
  if (sh.Aq_lapse > 0) view_.DrawProgress(double(s.Elapsed_Minutes) / sh.Aq_lapse * 100.0);
  const int count = sh.MnAt(2, 3);
  if (pulses && controls.Light_Enabled && count > 0) {
    ApplyLightPulses(ElapsedDays() * 1440.0, count, sh.MnAt(2, 4), sh.MnAt(2, 5), flags);
    SendTempLightState();
  }
  if (flags.State_Send_Pending) {
    flags.State_Send_Pending = false;
    SendTempLightState();
  }
}

}  // namespace acquisition
