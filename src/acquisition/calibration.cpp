#include "acquisition/calibration.h"

#include <algorithm>
#include <filesystem>

#include "acquisition/run_engine.h"
#include "acquisition/snr.h"
#include "link/device_frame.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "storage/calibration_values.h"
#include "storage/file_io.h"
#include "storage/shared_state.h"

namespace acquisition {

namespace {

constexpr int kReadTries = 3;
constexpr int kProgressFailures = 10;
constexpr int kWriteYieldEvery = 21;
constexpr int kReadBackYieldEvery = 16;
constexpr int kBlockHalf = 96;
constexpr int kBlockStarts[] = {0, 32, 64, 96};
constexpr int kPrimePauseMs = 50;
// Highest and lowest setting of the stepping, as PinHole x 8 + Gain.
constexpr int kTopPinHole = 7;
constexpr int kTopGain = 7;
constexpr int kBottomPinHole = 1;

std::string Percent(double part, double whole) {
  return std::to_string(static_cast<long long>(platform::Int(part * 100.0 / whole))) + "%";
}

}  // namespace

// ---- Write-with-verify and read-back ----

int16_t WriteCalRegister(InstrumentIo& io, int channel, int pinhole, int gain) {
  const int value = devlink::ChannelSetting(gain, pinhole);
  if (channel < 0 || channel >= storage::kChannelCount || value < 0 || value > 255) {
    platform::GetDialogs().MsgBox(WriteErrorText(channel));
    return -1;
  }
  const devlink::SettingAddress a = devlink::ChannelSettingAddress(channel);
  return WriteRegisterChecked(io, a.reg, value, a.mode, kChannelWritePasses, channel);
}

int16_t ReadCalRegister(InstrumentIo& io, int address, int mode) {
  for (int t = 0; t < kReadTries; ++t) {
    const int r = io.DeviceQuery(devlink::RegReadBack, address, mode);
    if (r != -1) return static_cast<int16_t>(r);
    platform::Sleep(1);
  }
  return -1;
}

// ---- Step rules ----

bool StepChannel(int level, int16_t& pinhole, int16_t& gain, StepState& st, bool& in_window) {
  in_window = level >= kCalWindowLow && level <= kCalWindowHigh;
  if (in_window) {
    st.done = true;
    st.direction = 0;
    return false;
  }
  const bool low = level < kCalWindowLow;
  const bool high = level > kCalWindowHigh;
  // Each rule sees what the earlier ones changed.
  if (low && st.direction != -1) {
    if (gain >= kTopGain) {
      if (pinhole >= kTopPinHole) {
        st.done = true;
        st.direction = 0;
      } else {
        gain = 0;
        ++pinhole;
        st.direction = 1;
      }
    } else {
      ++gain;
      st.direction = 1;
    }
  }
  if (high && st.direction != 1) {
    if (gain < 1) {
      if (pinhole < kBottomPinHole + 1) {
        st.done = true;
        st.direction = 0;
      } else {
        gain = kTopGain;
        --pinhole;
        st.direction = -1;
      }
    } else {
      --gain;
      st.direction = -1;
    }
  }
  if (low && st.direction == -1) {
    // Coming down, it passed below the window: it stays where it is.
    st.direction = 0;
    st.done = true;
  }
  if (high && st.direction == 1) st.direction = 0;  // turns; comes down next pass
  return !st.done;
}

// ---- ChannelCalibration ----

bool RunIsSampling(const RunEngine& engine) {
  return storage::Shared().Acq_State == 1 && engine.TimerEnabled();
}

ChannelCalibration::ChannelCalibration(InstrumentIo& io, RunEngine& engine, CalibrationView& view)
    : io_(io), engine_(engine), view_(view) {}

bool ChannelCalibration::Sampling() const { return RunIsSampling(engine_); }

bool ChannelCalibration::YieldAndCheckStop() {
  view_.ProcessEvents();
  return storage::Shared().Acq_State <= 0 || Sampling();
}

void ChannelCalibration::AutoCalibrationAtRunStart(const std::string& folder, int station) {
  view_.ScaleProgressBar(383, 10);
  view_.ClearProgressBar();
  RunAutoCalibration(folder, station);
}

void ChannelCalibration::RunAutoCalibration(const std::string& folder, int station) {
  auto& sh = storage::Shared();
  if (station > 3 || station < 0) station = 0;

  // The reply buffer is emptied before the request rather than after it: a purge
  // can also drop a request the port has not handed on yet.
  io_.Flush();
  io_.Write(devlink::DeviceFrame(devlink::RegAutoAdjust, kAutoAdjustTarget, station));
  int failures = 0;
  int progress = 0;
  const int64_t deadline = platform::MonotonicMs() + kAutoAdjustLimitMs;
  std::string byte;
  while (failures < kProgressFailures && progress < devlink::kAutoAdjustDone) {
    if (io_.Read(byte, 1) < 1) {
      platform::Sleep(1);
      ++failures;
    } else {
      progress = static_cast<uint8_t>(byte[0]);
      view_.SetProgressText("Calibrating..." + Percent(progress, devlink::kAutoAdjustDone));
      view_.DrawProgressBar(2.0 * progress);
    }
    io_.Flush();
    // Yield after failed reads too, so the stop button can end a silent wait.
    if (YieldAndCheckStop()) return;
    // An instrument that keeps sending progress below the end must not hold the
    // run start for ever: the read-back follows, as after ten silent reads.
    if (platform::MonotonicMs() >= deadline) break;
  }

  std::array<int16_t, kReadBackChannels> bytes{};
  const int64_t read_back_deadline = platform::MonotonicMs() + kReadBackLimitMs;
  for (int ch = 0; ch < kReadBackChannels; ++ch) {
    view_.SetProgressText("Saving Calibration values..." + Percent(ch, kReadBackChannels - 1));
    // A channel whose address is the factory record's keeps its setting.
    bytes[ch] = ReadBackHitsFactoryRecord(ch) ? int16_t(-1) : ReadCalRegister(io_, ch, station);
    // A line that answers only now and then would hold the run start for many
    // minutes: past the limit it counts as a failed read-back.
    const bool too_long = platform::MonotonicMs() > read_back_deadline;
    if ((bytes[ch] == -1 && !ReadBackHitsFactoryRecord(ch)) || too_long) {
      platform::GetDialogs().MsgBox("COM Error");
      engine_.Stop();
      return;
    }
    if (ch % kReadBackYieldEvery == kReadBackYieldEvery - 1 && YieldAndCheckStop()) return;
  }

  // Only after every read-back succeeded do the tables change. The file is rewritten
  // whole: the channels the read-back does not cover keep the settings stored there.
  storage::LoadCalValues();
  for (int ch = 0; ch < kReadBackChannels; ++ch) {
    if (bytes[ch] < 0) continue;
    sh.PinHole[ch] = static_cast<int16_t>(bytes[ch] % 32);
    sh.Gain[ch] = static_cast<int16_t>(bytes[ch] / 32);
  }
  const std::filesystem::path run_copy = std::filesystem::path(folder) / "calvalue.dat";
  if (storage::SaveCalValuesReadBack(storage::CalValuesPath(), storage::kChannelCount)) {
    storage::CopyFileChecked(storage::CalValuesPath().string(), run_copy.string());
  } else {
    // The run still records the settings it starts with.
    storage::SaveCalValuesReadBack(run_copy, storage::kChannelCount);
    platform::GetDialogs().MsgBox("Calibration values could not be saved in " +
                                  storage::CalValuesPath().string());
  }
}

void ChannelCalibration::ReadLevelBlock(int start, bool keep) {
  io_.Flush();
  io_.Write(devlink::DeviceFrame(devlink::RegLevels, start, devlink::ModeCommand));
  std::string reply, part;
  io_.Read(part, kBlockHalf);
  reply = part;
  io_.Read(part, kBlockHalf);
  reply += part;
  if (!keep || reply.size() < static_cast<std::size_t>(devlink::kBlockReplySize)) return;
  // No word is refused here: a level with a bad high byte is still a level to step on.
  for (int w = 0; w < devlink::kBlockWords; ++w) {
    const devlink::LevelWord lw = devlink::DecodeBlockWord(static_cast<uint8_t>(reply[2 * w]),
                                                           static_cast<uint8_t>(reply[2 * w + 1]));
    engine_.state.RawAt(devlink::BlockWordChannel(start, w), 0) =
        static_cast<int16_t>(std::max<int32_t>(0, lw.level));
  }
}

void ChannelCalibration::CalibrateChannels() {
  auto& sh = storage::Shared();
  auto& dialogs = platform::GetDialogs();
  if (sh.Offline_Mode) {
    dialogs.MsgBox("Operation not possible in OFFLINE mode");
    return;
  }
  std::array<StepState, storage::kTableSize> st{};

  if (storage::FileExists(storage::CalValuesPath())) {
    view_.SetProgressText("Writing Calibration...");
    storage::LoadCalValues();
  } else {
    view_.SetProgressText("Writing First Time Calibration...");
    storage::ResetCalValues();
  }
  view_.ScaleProgressBar(383, 10);

  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    if (sh.Channel_Well[ch] >= 0) {
      if (sh.PinHole[ch] == 0 && sh.Gain[ch] == 0) sh.PinHole[ch] = 2;
    } else {
      sh.PinHole[ch] = 0;
      sh.Gain[ch] = 0;
      st[ch].done = true;
    }
  }

  bool stopped = sh.Acq_State <= 0;
  for (int ch = 0; ch < storage::kChannelCount && !stopped; ++ch) {
    view_.SetProgressText("Writing calibration..." + std::to_string(ch));
    view_.DrawProgressBar(ch);
    if (ch > 0 && ch % kWriteYieldEvery == 0 && YieldAndCheckStop()) {
      stopped = true;
      break;
    }
    if (WriteCalRegister(io_, ch, sh.PinHole[ch], sh.Gain[ch]) == -1) {
      dialogs.MsgBox("Communication error. Check COM PORT and equipment connection.");
      return;
    }
  }

  RunState& rs = engine_.state;
  rs.Ring_Index = 0;
  int pending = 383;
  view_.ClearProgressBar();
  bool all_done = false;
  while (!stopped && !all_done && sh.Acq_State > 0) {
    view_.SetProgressText("Acquiring...");
    for (int n : kBlockStarts) ReadLevelBlock(n, false);
    platform::Sleep(kPrimePauseMs);
    for (int n : kBlockStarts) ReadLevelBlock(n, !sh.Offline_Mode);

    view_.SetProgressText("Calibrating... [" + std::to_string(pending) + "]");
    view_.DrawProgressBar(383 - pending);
    pending = 0;
    all_done = true;
    for (int ch = 0; ch < storage::kChannelCount; ++ch) {
      if (st[ch].done) continue;
      bool in_window = false;
      const bool write =
          StepChannel(rs.RawAt(ch, 0), sh.PinHole[ch], sh.Gain[ch], st[ch], in_window);
      if (!in_window) all_done = false;
      if (!write) continue;
      ++pending;
      if (WriteCalRegister(io_, ch, sh.PinHole[ch], sh.Gain[ch]) == -1) {
        engine_.Stop();
        view_.ProcessEvents();
        return;
      }
    }
    if (YieldAndCheckStop()) stopped = true;
  }
  view_.SetProgressText("Calibration OK");
  storage::SaveCalValues();
}

void ChannelCalibration::cmd_calibra_Click(const std::string& snr_text) {
  if (Sampling()) {
    platform::GetDialogs().MsgBox(kCalibrationWhileSampling);
    return;
  }
  view_.ShowFrame();
  engine_.state.SNR_Threshold = ParseSnrText(snr_text);
  CalibrateChannels();
  view_.HideFrame();
}

}  // namespace acquisition
