#include "service/tech_cal.h"

#include <algorithm>

#include "acquisition/verified_write.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "platform/waiting.h"
#include "service/factory_calibration.h"
#include "service/tech_cal_plots.h"
#include "storage/shared_state.h"

namespace service {

namespace {

constexpr int kSettingMax = 7;
constexpr int kSetPowerMax = 8;

// A gain or power box as the writes read it: the nearest whole number, held to 0..7
// so a typed value cannot spill into the other field of the setting byte.
int SettingBox(const std::string& text) {
  return std::clamp<int32_t>(platform::RoundToInt(platform::Val(text)), 0, kSettingMax);
}

}  // namespace

std::string CalibrationModeText(int cal_mode) {
  return cal_mode == 0 ? "0_" + std::string(kMaxGainMode) : std::string(kMaxGainMode);
}

ReadSetting DecodeSetting(int byte) {
  ReadSetting s;
  s.gain = byte / 32;
  s.power = std::min(byte - 32 * s.gain, kSettingMax);
  return s;
}

TechCal::Work::Work(TechCal& cal, Machine machine, bool fresh, bool writing)
    : cal_(cal), writing_(writing), fresh_(fresh), hook_([&cal] {
        const int64_t before = platform::MonotonicMs();
        cal.view_.LetEventsRun();
        cal.instrument_.io().Excuse(platform::MonotonicMs() - before);
        return cal.WhyStop() == Stop::kNone;
      }) {
  cal.busy_ = true;
  cal.work_ = machine;
  if (fresh) machine_silence_ = cal.instrument_.io().Suspend();
  if (writing) {
    cal.writing_ = true;
    cal.view_.ShowState();
  }
}

TechCal::Work::~Work() {
  cal_.busy_ = false;
  cal_.work_ = Machine::kNone;
  cal_.leaving_ = false;
  cal_.offline_asked_ = false;
  if (fresh_) cal_.instrument_.io().Resume(machine_silence_);
  if (writing_) {
    cal_.writing_ = false;
    cal_.view_.ShowState();
  }
}

TechCal::TechCal(acquisition::InstrumentIo& io, TechCalView& view)
    : view_(view), instrument_(io) {}

bool TechCal::RefusedDuringRun() {
  if (storage::Shared().Acq_State == 0) return false;
  platform::GetDialogs().MsgBox(storage::kRunningRefusal);
  return true;
}

bool TechCal::PortTaken() const { return busy_ || platform::PortHeld(); }

TechCal::Stop TechCal::WhyStop() const {
  if (leaving_) return Stop::kLeft;
  if (offline_asked_) return Stop::kUser;
  if (storage::Shared().Acq_State != 0) return Stop::kRun;
  if ((work_ == Machine::kLive && !online_) ||
      (work_ == Machine::kStepping && !progress_visible_) ||
      (work_ == Machine::kScan && !scan_running_))
    return Stop::kUser;
  if (instrument_.io().SilentMs() >= kNoAnswerMs) return Stop::kSilent;
  return Stop::kNone;
}

void TechCal::ReportStop(Stop why, const std::vector<std::string>& silent) {
  auto& dialogs = platform::GetDialogs();
  if (why == Stop::kRun) dialogs.MsgBox(storage::kRunningRefusal);
  if (why != Stop::kSilent) return;
  for (const std::string& text : silent) dialogs.MsgBox(text);
}

void TechCal::StopMachines() {
  if (active_ == Machine::kScan) EndScan();
  if (active_ == Machine::kLive) EraseLitDots();
  active_ = Machine::kNone;
  online_ = false;
}

// ---- Live view ----

bool TechCal::Cmd_online_Click(double scan_width, double scan_height) {
  if (PortTaken() || active_ == Machine::kStepping || active_ == Machine::kScan) return false;
  if (RefusedDuringRun()) return false;
  traces_.read_count = 0;
  const int width = platform::RoundToInt(scan_width);
  const int height = platform::RoundToInt(scan_height);
  view_.StartLiveDisplay(width, height);
  online_ = true;
  online_enabled_ = false;
  traces_.ClearLevels();
  live_ = {};
  live_.cell_width = platform::RoundToInt(width / static_cast<double>(kMapColumns));
  live_.cell_height = platform::RoundToInt(height / static_cast<double>(kMapRows));
  live_.connected = storage::Shared().Connected;
  active_ = Machine::kLive;
  instrument_.io().Answered();
  view_.ShowState();
  return true;
}

void TechCal::Cmd_offline_Click() {
  if (busy_) offline_asked_ = true;
  scan_running_ = false;
  online_ = false;
  progress_visible_ = false;
  online_enabled_ = true;
  view_.ShowState();
}

void TechCal::StopWork() {
  if (busy_) leaving_ = true;
  if (active_ == Machine::kNone && !online_) return;
  StopMachines();
  Cmd_offline_Click();
}

bool TechCal::ReadAllLevels() {
  const auto& s = storage::Shared();
  if (!s.Offline_Mode && !instrument_.ReadLiveSample(traces_)) return false;
  traces_.UpdateThresholdTrace(s);
  view_.DrawLevels();
  traces_.Advance();
  return true;
}

void TechCal::EraseLitDots() {
  if (!live_.lit) return;
  view_.DrawScanPoints(ScanPoints(live_.cell_width, live_.cell_height, live_.x, live_.y), 0,
                       live_.size);
  live_.lit = false;
}

int TechCal::LiveStep() {
  // OFFLINE ends the sweep at once.
  if (!online_) {
    EraseLitDots();
    return -1;
  }
  const auto points = ScanPoints(live_.cell_width, live_.cell_height, live_.x, live_.y);
  if (!live_.lit) {
    // The dots are lit in a step of their own, so that the window shows them while
    // the next step reads.
    live_.size = view_.ScanDotSize();
    view_.DrawScanPoints(points, std::clamp(view_.ScanBrightness(), 0, 255), live_.size);
    live_.lit = true;
    return 0;
  }
  const bool read = ReadAllLevels();
  EraseLitDots();
  if (!read) return -1;
  if (++live_.x > live_.cell_width) {
    live_.x = 0;
    // The offset wraps at the cell's width, as the scan display always did.
    if (++live_.y >= live_.cell_width) live_.y = 0;
  }
  return 0;
}

int TechCal::Step() {
  if (active_ == Machine::kNone) return -1;
  // Commands that waited for the port go first.
  if (PortTaken() || platform::PortTurnsWaiting()) return kBusyRetryMs;
  if (storage::Shared().Acq_State != 0) {
    StopMachines();
    Cmd_offline_Click();
    platform::GetDialogs().MsgBox(storage::kRunningRefusal);
    return -1;
  }
  const Machine machine = active_;
  // The program closed the port since ONLINE (Disconnect, or a connection that
  // failed): the view ends offline, with no word of an instrument that went silent.
  if (machine == Machine::kLive && live_.connected && !storage::Shared().Connected) {
    StopMachines();
    Cmd_offline_Click();
    return -1;
  }
  int next = -1;
  Stop why = Stop::kNone;
  {
    Work work(*this, machine, false);
    switch (machine) {
      case Machine::kLive:
        next = LiveStep();
        break;
      case Machine::kStepping:
        next = SteppingStep();
        break;
      case Machine::kScan:
        next = ScanStep();
        break;
      case Machine::kNone:
        break;
    }
    why = WhyStop();
  }
  if (active_ == machine && why != Stop::kNone) {
    StopMachines();
    if (why != Stop::kUser) Cmd_offline_Click();
  } else if (active_ == machine && next < 0) {
    active_ = Machine::kNone;
  }
  ReportStop(why, {kInstrumentSilentText});
  view_.ShowState();
  return active_ == Machine::kNone ? -1 : next;
}

// ---- The selected channel ----

std::optional<ReadSetting> TechCal::ReadBackSetting(int channel) {
  const std::optional<int> reg = RegisterOfChannel(channel);
  if (!online_ || !reg || PortTaken() || RefusedDuringRun()) return std::nullopt;
  Work work(*this, Machine::kNone, true);
  const int reply = instrument_.ReadBack(*reg);
  view_.ShowOut(reply);
  if (reply != -1) return DecodeSetting(reply);
  // An unanswered read-back says nothing of its own: -1 stands in lblout, the boxes
  // keep their values, and the live view, still reading, tells of a silent instrument.
  if (work.Stopped()) ReportStop(WhyStop(), {});
  return std::nullopt;
}

void TechCal::WriteSelectedSetting(int channel, const std::string& gain_text,
                                   const std::string& power_text) {
  const std::optional<int> reg = RegisterOfChannel(channel);
  if (!online_ || !reg || PortTaken() || RefusedDuringRun()) return;
  const int value = SettingBox(gain_text) * 32 + SettingBox(power_text);
  Work work(*this, Machine::kNone, true);
  const bool answered =
      instrument_.SendSetting(*reg, value, [this](int reply) { view_.ShowOut(reply); });
  if (work.Stopped())
    ReportStop(WhyStop(), {acquisition::WriteErrorText(*reg)});
  else if (!answered)
    platform::GetDialogs().MsgBox(acquisition::WriteErrorText(*reg));
}

std::string TechCal::ToggleEnabled(const std::string& channel_text,
                                   const std::string& label_text) {
  auto& s = storage::Shared();
  const int ch = std::clamp<int32_t>(platform::RoundToInt(platform::Val(channel_text)), 0,
                                     storage::kChannelCount - 1);
  const bool enable = label_text != kEnabledText;
  const std::string question =
      std::string(enable ? "Do you like to Enable Channel " : "Do you like to Disable Channel ") +
      channel_text + "?";
  if (platform::GetDialogs().AskYesNoCancel(question) != platform::Dialogs::Answer::kYes) {
    return label_text;
  }
  s.Enabled[static_cast<size_t>(ch)] = static_cast<int16_t>(enable ? -1 : 0);
  return enable ? kEnabledText : kDisabledText;
}

void TechCal::ZoomIn() {
  if (zoom_ < kZoomMax) ++zoom_;
  traces_.UpdatePeaks();
}

void TechCal::ZoomOut() {
  if (zoom_ > 0) --zoom_;
  if (zoom_ != 0) traces_.UpdatePeaks();
}

// ---- Writes ----

void TechCal::Cmd_setall_Click(const std::string& gain_text, const std::string& power_text) {
  if (!online_ || PortTaken() || RefusedDuringRun()) return;
  const int value = SettingBox(gain_text) * 32 + SettingBox(power_text);
  Work work(*this, Machine::kNone, true, true);
  for (int reg = 0; reg < kCompactRegisters; ++reg) {
    // A silent instrument would hold the work for half an hour: the first register
    // that gets no whole answer at all ends it.
    const bool answered =
        instrument_.SendSetting(reg, value, [this](int reply) { view_.ShowOut(reply); });
    if (work.Stopped()) {
      ReportStop(WhyStop(), {acquisition::WriteErrorText(reg)});
      return;
    }
    if (!answered) {
      platform::GetDialogs().MsgBox(acquisition::WriteErrorText(reg));
      return;
    }
  }
}

std::pair<std::string, std::string> TechCal::cmd_setcalibra_Click(const std::string& gain_text,
                                                                   const std::string& power_text) {
  std::pair<std::string, std::string> boxes{gain_text, power_text};
  view_.ClearFan();
  auto whole = [](const std::string& text) {
    return static_cast<int>(std::clamp(platform::Int(platform::Val(text)), -1e9, 1e9));
  };
  int gain = whole(gain_text);
  int power = whole(power_text);
  // Gain has three bits of the setting byte: 8 would not fit.
  if (gain < 0 || gain > kSettingMax) {
    gain = 0;
    boxes.first = "0";
  }
  if (power < 0 || power > kSetPowerMax) {
    power = 0;
    boxes.second = "0";
  }
  if (PortTaken() || RefusedDuringRun()) return boxes;
  Work work(*this, Machine::kNone, true, true);
  for (int reg = 0; reg < kCompactRegisters; ++reg) {
    const int16_t written = instrument_.WriteChannelSetting(reg, power, gain);
    if (written == 1) {
      view_.DrawFanLine(ChannelOfRegister(reg));
      continue;
    }
    if (written == -1)
      platform::GetDialogs().MsgBox(kSetFailedMessage);
    else
      ReportStop(WhyStop(), {acquisition::WriteErrorText(reg), kSetFailedMessage});
    break;
  }
  return boxes;
}

}  // namespace service
