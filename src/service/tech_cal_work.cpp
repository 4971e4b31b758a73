// The window's long work: the stepping calibration, the instrument's auto-adjust
// and the scan test.
#include <string>

#include "link/device_frame.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "platform/program_folder.h"
#include "platform/waiting.h"
#include "service/factory_calibration.h"
#include "service/tech_cal.h"
#include "storage/shared_state.h"

namespace service {

namespace {

constexpr int kMeasurePauseMs = 100;
constexpr int kAutoTargetLow = 30;
constexpr int kAutoTargetHigh = 220;
constexpr int kAutoTargetDefault = 110;
constexpr int kAutoEmptyReads = 10;
// Longest wait for the instrument's own adjustment, whatever it keeps sending.
constexpr int64_t kAutoAdjustLimitMs = 60000;
constexpr int kScanPauseMs = 10;
constexpr int kScanDiscarded = 2;
constexpr int kSettingSteps = 8;

// A register's level as the calibration sees it: written with the verified write,
// read from the block that holds its window channel.
class RegisterLevels final : public LevelSource {
 public:
  RegisterLevels(CompactInstrument& instrument, ChannelTraces& traces, int reg)
      : instrument_(instrument), traces_(traces), reg_(reg) {}
  void Write(int16_t power, int16_t gain) override {
    write_failed_ = instrument_.WriteChannelSetting(reg_, power, gain) != 1;
  }
  std::optional<int> Measure() override {
    // A write that failed every pass has shown its message: a link that fails would
    // otherwise show one for every step of every register.
    if (write_failed_ || !platform::Wait(kMeasurePauseMs)) return std::nullopt;
    const int channel = ChannelOfRegister(reg_);
    if (instrument_.ReadLevelBlock(LevelBlockOf(channel), traces_) == -1) return std::nullopt;
    return traces_.Level(channel, 0);
  }

 private:
  CompactInstrument& instrument_;
  ChannelTraces& traces_;
  int reg_;
  bool write_failed_ = false;
};

}  // namespace

// ---- Stepping calibration ----

void TechCal::Cmdcalibrar_Click(const std::string& target_text, const std::string& mode_text) {
  if (PortTaken() || RefusedDuringRun()) return;
  StopMachines();
  Cmd_offline_Click();
  online_enabled_ = false;
  stepping_ = {};
  stepping_.band = BandForTarget(platform::Val(target_text));
  if (mode_text != kMaxGainMode) {
    progress_visible_ = false;
    view_.ShowState();
    return;
  }
  progress_text_ = "starting";
  progress_visible_ = true;
  active_ = Machine::kStepping;
  instrument_.io().Answered();
  view_.ShowState();
}

int TechCal::SteppingStep() {
  auto& st = stepping_;
  // OFFLINE hides the progress label: the calibration ends before the next register.
  if (!progress_visible_) {
    online_enabled_ = true;
    return -1;
  }
  const size_t r = static_cast<size_t>(st.reg);
  if (st.initial) {
    st.power[r] = kStartPower;
    st.gain[r] = kStartGain;
    // An instrument that does not take the start setting would fail every write of
    // the pass, each after half a minute and a message: the first one ends it.
    if (instrument_.WriteChannelSetting(st.reg, kStartPower, kStartGain) != 1) return -1;
    if (++st.reg == kCompactRegisters) {
      st.initial = false;
      st.reg = 0;
    }
    return 0;
  }
  progress_text_ = "Calibrating CH" + std::to_string(ChannelOfRegister(st.reg));
  view_.ShowState();
  RegisterLevels source(instrument_, traces_, st.reg);
  // A failed block read or write has shown its message; the label stays until OFFLINE.
  if (!StepChannelToBand(source, st.band, st.power[r], st.gain[r])) return -1;
  if (++st.reg == kCompactRegisters) {
    progress_visible_ = false;
    return -1;
  }
  return 0;
}

// ---- The instrument's auto-adjust ----

std::string TechCal::cmd_autocalibra_Click(const std::string& target_text) {
  if (PortTaken() || RefusedDuringRun()) return target_text;
  std::string shown = target_text;
  int target = platform::RoundToInt(platform::Val(target_text));
  if (target > kAutoTargetHigh || target < kAutoTargetLow) {
    target = kAutoTargetDefault;
    shown = std::to_string(kAutoTargetDefault);
  }
  Work work(*this, Machine::kNone, true, true);
  AnswerWatch& io = instrument_.io();
  io.Write(devlink::DeviceFrame(devlink::RegAutoAdjust, target, devlink::ModeCommand));
  int empty = 0;
  int last = 0;
  const int64_t deadline = platform::MonotonicMs() + kAutoAdjustLimitMs;
  std::string byte;
  while (empty < kAutoEmptyReads && last < devlink::kAutoAdjustDone &&
         platform::MonotonicMs() < deadline && !work.Stopped()) {
    if (io.Read(byte, 1) < 1) {
      if (!platform::Wait(1)) break;
      ++empty;
    } else {
      // Each byte answers; the wait for the next one starts.
      io.Answered();
      io.Asked();
      last = static_cast<uint8_t>(byte[0]);
      view_.ShowAutoProgress(last);
    }
  }
  if (work.Stopped()) ReportStop(WhyStop(), {kInstrumentSilentText});
  return shown;
}

// ---- Scan test ----

void TechCal::cmdTEST_Click() {
  if (PortTaken() || RefusedDuringRun()) return;
  StopMachines();
  DeleteScanFiles(platform::ProgramFolder());
  test_text_ = "Gain=0;Pinhole=0";
  scan_running_ = true;
  progress_text_.clear();
  progress_visible_ = true;
  online_enabled_ = false;
  test_enabled_ = false;
  scan_ = {};
  active_ = Machine::kScan;
  instrument_.io().Answered();
  view_.ShowState();
}

void TechCal::EndScan() {
  scan_running_ = false;
  test_enabled_ = true;
  online_enabled_ = true;
}

int TechCal::ScanStep() {
  // OFFLINE clears the flag: the test ends here, before any line of this step.
  if (!scan_running_) {
    EndScan();
    return -1;
  }
  auto& sc = scan_;
  const int power = sc.step / kSettingSteps;
  const int gain = sc.step % kSettingSteps;
  const int tick = sc.tick++;
  if (tick == 0) {
    view_.ClearFan();
    instrument_.SetAllChannels(power, gain);
    test_text_ = "Gain=" + std::to_string(gain) + ";Pinhole=" + std::to_string(power);
    return 0;
  }
  if (tick == 1) {
    view_.DrawFanLine(sc.previous_readings);
    return kScanPauseMs;
  }
  const int reading = tick - 2 - kScanDiscarded;
  if (reading < 0) return ReadAllLevels() ? 0 : -1;
  if (reading == 0) traces_.sample_index = 0;
  progress_text_ = "Reading" + std::string(static_cast<size_t>(reading), '.');
  view_.ShowState();
  // A reading cut short by a stop writes nothing.
  if (!ReadAllLevels()) return -1;
  auto& row = sc.readings[static_cast<size_t>(reading)];
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    row[static_cast<size_t>(ch)] = traces_.Level(ch, reading);
  }
  if (reading < kScanReadings - 1) return 0;
  if (!FinishScanStep(power, gain)) {
    progress_visible_ = false;
    EndScan();
    return -1;
  }
  sc.previous_readings = kScanReadings;
  sc.tick = 0;
  if (++sc.step < kScanSteps) return 0;
  progress_visible_ = false;
  EndScan();
  return -1;
}

bool TechCal::FinishScanStep(int power, int gain) {
  const auto folder = platform::ProgramFolder();
  const ScanStats stats = ComputeScanStats(scan_.readings);
  const std::pair<const char*, std::string> parts[] = {
      {kScanFiles[0], ScanRawLines(power, gain, scan_.readings)},
      {kScanFiles[1], ScanMeanLine(power, gain, stats)},
      {kScanFiles[2], ScanDeviationLine(power, gain, stats)},
  };
  for (const auto& [name, text] : parts) {
    if (!AppendScanFile(folder / name, text)) {
      platform::GetDialogs().MsgBox("The test file could not be written: " + (folder / name).string());
      return false;
    }
  }
  return true;
}

}  // namespace service
