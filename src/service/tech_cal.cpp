#include "service/tech_cal.h"

#include <algorithm>

#include "acquisition/verified_write.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
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

TechCal::TechCal(acquisition::InstrumentIo& io, TechCalView& view)
    : io_(io), view_(view), instrument_(io) {}

bool TechCal::RefusedDuringRun() {
  if (storage::Shared().Acq_State == 0) return false;
  platform::GetDialogs().MsgBox(storage::kRunningRefusal);
  return true;
}

void TechCal::StopMachines() {
  if (active_ == Machine::kScan) EndScan();
  active_ = Machine::kNone;
  online_ = false;
}

// ---- Live view ----

bool TechCal::Cmd_online_Click(double scan_width, double scan_height) {
  if (active_ == Machine::kStepping || active_ == Machine::kScan) return false;
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
  active_ = Machine::kLive;
  view_.ShowState();
  return true;
}

void TechCal::Cmd_offline_Click() {
  scan_running_ = false;
  online_ = false;
  progress_visible_ = false;
  online_enabled_ = true;
  view_.ShowState();
}

void TechCal::StopLiveView() {
  if (active_ == Machine::kLive) active_ = Machine::kNone;
  if (!online_) return;
  online_ = false;
  online_enabled_ = active_ == Machine::kNone;
  view_.ShowState();
}

void TechCal::ReadAllLevels() {
  const auto& s = storage::Shared();
  if (!s.Offline_Mode) instrument_.ReadLiveSample(traces_);
  traces_.UpdateThresholdTrace(s);
  view_.DrawLevels();
  traces_.Advance();
}

int TechCal::LiveStep() {
  // The flag is looked at only between sweeps: OFFLINE lets the current one finish.
  if (!live_.sweeping) {
    if (!online_) return -1;
    live_.sweeping = true;
    live_.x = 0;
  }
  const int grey = std::clamp(view_.ScanBrightness(), 0, 255);
  const int size = view_.ScanDotSize();
  const auto points = ScanPoints(live_.cell_width, live_.cell_height, live_.x, live_.y);
  view_.DrawScanPoints(points, grey, size);
  ReadAllLevels();
  view_.DrawScanPoints(points, 0, size);
  if (++live_.x > live_.cell_width) {
    live_.sweeping = false;
    // The offset wraps at the cell's width, as the scan display always did.
    if (++live_.y >= live_.cell_width) live_.y = 0;
  }
  return 0;
}

int TechCal::Step() {
  if (active_ == Machine::kNone) return -1;
  if (storage::Shared().Acq_State != 0) {
    StopMachines();
    Cmd_offline_Click();
    platform::GetDialogs().MsgBox(storage::kRunningRefusal);
    return -1;
  }
  int next = -1;
  switch (active_) {
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
  if (next < 0) active_ = Machine::kNone;
  view_.ShowState();
  return next;
}

// ---- The selected channel ----

std::optional<ReadSetting> TechCal::ReadBackSetting(int channel) {
  const std::optional<int> reg = RegisterOfChannel(channel);
  if (!online_ || !reg || RefusedDuringRun()) return std::nullopt;
  const int reply = instrument_.ReadBack(*reg);
  view_.ShowOut(reply);
  if (reply == -1) return std::nullopt;
  return DecodeSetting(reply);
}

void TechCal::WriteSelectedSetting(int channel, const std::string& gain_text,
                                   const std::string& power_text) {
  const std::optional<int> reg = RegisterOfChannel(channel);
  if (!online_ || !reg || RefusedDuringRun()) return;
  const int value = SettingBox(gain_text) * 32 + SettingBox(power_text);
  instrument_.SendSetting(*reg, value, [this](int reply) { view_.ShowOut(reply); });
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
  if (!online_ || RefusedDuringRun()) return;
  const int value = SettingBox(gain_text) * 32 + SettingBox(power_text);
  for (int reg = 0; reg < kCompactRegisters; ++reg) {
    // A silent instrument would hold the window for half an hour: the first register
    // that gets no answer at all ends it.
    if (!instrument_.SendSetting(reg, value, [this](int reply) { view_.ShowOut(reply); })) {
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
  if (RefusedDuringRun()) return boxes;
  for (int reg = 0; reg < kCompactRegisters; ++reg) {
    if (instrument_.WriteChannelSetting(reg, power, gain) == -1) {
      platform::GetDialogs().MsgBox(kSetFailedMessage);
      break;
    }
    view_.DrawFanLine(ChannelOfRegister(reg));
  }
  return boxes;
}

}  // namespace service
