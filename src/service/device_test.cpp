#include "service/device_test.h"

#include <algorithm>
#include <fstream>

#include "acquisition/calibration.h"
#include "acquisition/connection.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/program_folder.h"
#include "storage/file_io.h"
#include "storage/shared_state.h"

namespace service {

namespace {

constexpr int kBlockStarts[] = {0, 32, 64, 96};
constexpr int kReadPauseMs = 100;
constexpr double kProgressPerStep = 0.83;

}  // namespace

void DeviceTest::mnstatustest_Click() {
  const auto& s = storage::Shared();
  auto& dialogs = platform::GetDialogs();
  if (s.Acq_State != 0) {
    dialogs.MsgBox(kTestDuringRun);
    return;
  }
  if (s.Offline_Mode) {
    dialogs.MsgBox(kTestOffline);
    return;
  }
  view_.EnableTestTimer(false);
  if (!dialogs.AskOkCancel(kTestPrompt)) {
    running_ = false;
    step_ = 0;
    TidyPicture();
    view_.ShowDoorHint(false);
    RestoreAfterEarlyStop();
    return;
  }
  view_.DrawTestPlateGrid();
  view_.ClearTestProgress();
  running_ = true;
  step_ = 0;
  view_.ShowDoorHint(true);
  const int32_t serial = acquisition::ReadDeviceId(devlink::InstrumentPort());
  view_.SetTestLabel("SN" + std::to_string(serial));
  StartFile(serial);
  view_.EnableTestTimer(running_);
}

void DeviceTest::Stop() {
  if (!running_) return;
  running_ = false;
  view_.EnableTestTimer(false);
  view_.ShowDoorHint(false);
  RestoreAfterEarlyStop();
}

void DeviceTest::Tick() {
  if (!running_) return;
  // Off for the whole tick: no tick may run under one of its boxes.
  view_.EnableTestTimer(false);
  if (step_ <= kTestFailedStep - 1) {
    bool failed = false;
    ReadLevels(failed);
    platform::Sleep(kReadPauseMs);
    ReadLevels(failed);
    if (failed) {
      running_ = false;
      platform::GetDialogs().MsgBox("COM Error");
      RestoreAfterEarlyStop();
      return;
    }
    view_.DrawTestChannelLevels(levels_);
    view_.DrawTestProgress(step_ * kProgressPerStep);
    RunStep(DeviceTestStep(step_));
    ++step_;
    if (!running_) {  // No at "OK to proceed?"
      RestoreAfterEarlyStop();
      return;
    }
  }
  if (step_ > kTestLastStep) {
    Finish();
    return;
  }
  view_.EnableTestTimer(running_);
}

void DeviceTest::ReadLevels(bool& failed) {
  if (storage::Shared().Offline_Mode) return;
  for (int n : kBlockStarts) {
    io_.Flush();
    io_.Write(devlink::DeviceFrame(devlink::RegLevels, n, devlink::ModeCommand));
    std::string reply;
    io_.Read(reply, devlink::kBlockReplySize);
    if (reply.size() != static_cast<size_t>(devlink::kBlockReplySize)) {
      failed = true;
      continue;
    }
    for (int w = 0; w < devlink::kBlockWords; ++w) {
      devlink::Level_Block[static_cast<size_t>(w)] =
          devlink::DecodeBlockWord(static_cast<uint8_t>(reply[2 * w]),
                                   static_cast<uint8_t>(reply[2 * w + 1]))
              .level;
    }
    if (failed) continue;
    for (int w = 0; w < devlink::kBlockWords; ++w) {
      levels_[static_cast<size_t>(devlink::BlockWordChannel(n, w))] =
          static_cast<int16_t>(std::max<int32_t>(0, devlink::Level_Block[static_cast<size_t>(w)]));
    }
  }
}

void DeviceTest::RunStep(const TestStep& t) {
  auto& dialogs = platform::GetDialogs();
  if (!t.label.empty()) view_.SetTestLabel(t.label);
  if (!t.message.empty()) dialogs.MsgBox(t.message);
  if (t.ask_proceed && !dialogs.AskYesNo("OK to proceed?")) {
    running_ = false;
    return;
  }
  if (!t.file_header.empty()) AppendLines({"", t.file_header});
  switch (t.judge) {
    case TestJudge::kAllOn:
    case TestJudge::kAllOff: {
      const AllJudgement j = JudgeAll(levels_, t.judge == TestJudge::kAllOn);
      view_.SetTestLabel(j.label);
      AppendLines(j.lines);
      break;
    }
    case TestJudge::kColumn:
    case TestJudge::kRow: {
      const PatternJudgement j = t.judge == TestJudge::kColumn ? JudgeTestColumn(levels_, t.judged)
                                                               : JudgeTestRow(levels_, t.judged);
      view_.SetTestLabel(j.label);
      AppendLines({j.line});
      break;
    }
    case TestJudge::kNone:
      break;
  }
  for (const ChannelSwitch& w : t.writes) {
    if (!(w.setting == kGainPower2)) switched_ = true;
    if (acquisition::WriteCalRegister(io_, w.channel, w.setting.pinhole, w.setting.gain) == -1) {
      step_ = kTestFailedStep;
      return;
    }
  }
  // After the last gain/power 2 step every channel is back where it should stay.
  if (step_ == kLastSwitchStep) switched_ = false;
  if (t.level_lines) AppendLines(GainPower2Lines(levels_));
  if (t.open_file && storage::FileExists(file_))
    platform::ShellOrSay("explorer " + file_,
                         "No program could open the test file. It is saved as:\r\n" + file_);
  platform::Sleep(t.pause_ms);
}

void DeviceTest::Finish() {
  running_ = false;
  view_.SetTestLabel(kFinishedLabel);
  view_.EnableTestTimer(false);
  view_.ShowDoorHint(false);
  TidyPicture();
}

void DeviceTest::TidyPicture() { view_.RestoreActivityPicture(); }

void DeviceTest::RestoreAfterEarlyStop() {
  if (!switched_ || storage::Shared().Offline_Mode) return;
  // One read tells whether the instrument still answers before 384 verified writes.
  if (io_.DeviceQuery(devlink::RegTemperature, 0, devlink::ModeCommand) == -1) return;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    if (acquisition::WriteCalRegister(io_, ch, kGainPower2.pinhole, kGainPower2.gain) == -1) return;
  }
  switched_ = false;
}

void DeviceTest::StartFile(int32_t serial) {
  file_ = (platform::ProgramFolder() / ("testdev" + std::to_string(serial) + ".txt")).string();
  file_error_shown_ = false;
  WriteFile(TestFileFirstLine(serial, platform::Now()) + "\r\n", false);
}

void DeviceTest::AppendLines(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& l : lines) bytes += l + "\r\n";
  WriteFile(bytes, true);
}

bool DeviceTest::WriteFile(const std::string& bytes, bool append) {
  std::ofstream out(file_, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out && out.flush()) return true;
  // One message a test: the test goes on without its file.
  if (!file_error_shown_) {
    file_error_shown_ = true;
    platform::GetDialogs().MsgBox("The test file could not be written: " + file_);
  }
  return false;
}

}  // namespace service
