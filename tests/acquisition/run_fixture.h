#pragma once
// A project folder, a manual clock, scripted boxes, a launcher recorder and a view
// recorder around one run engine, the engine on the simulated instrument, and a
// stand-in for a full disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/calibration.h"
#include "acquisition/connection.h"
#include "acquisition/link_io.h"
#include "acquisition/run_engine.h"
#include "link/comm_port.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "storage/shared_state.h"
#include "support/file_size_limit.h"
#include "support/scripted_dialogs.h"
#include "support/sim_harness.h"
#include "support/temp_folder.h"

namespace acqtest {

using testsupport::FileSizeLimit;

// What the main window would show, as one log: "status:", "detail:" and "progress:"
// lines, "frame" / "hide" for the panel, window hand-offs; yields run `on_yield`.
class RecordingView final : public acquisition::RunView,
                            public acquisition::CalibrationView,
                            public acquisition::ConnectionView {
 public:
  // The run.
  void DrawActivityPlot(int16_t) override { ++activity_plots; }
  void ShowStatus(const std::string& h) override { log.push_back("status:" + h); }
  void SetStatusDetail(const std::string& d) override { log.push_back("detail:" + d); }
  void HideStatus() override { log.push_back("hide"); }
  void OpenReport(bool automatic) override {
    log.push_back(automatic ? "report:auto" : "report");
    if (on_report) on_report();
  }
  void OpenSetup() override { log.push_back("setup"); }
  void ShowTempLightState(bool l, bool h, bool p) override {
    panel = std::string(l ? "ON" : "OFF") + "/" + (h ? "HEAT" : "COOL") + "/" + (p ? "ON" : "OFF");
  }
  void ProcessEvents() override {
    ++yields;
    if (on_yield) on_yield(yields);
  }
  // Calibration and connection share the panel's progress label.
  void ShowFrame() override { log.push_back("frame"); }
  void HideFrame() override { log.push_back("hide"); }
  void SetProgressText(const std::string& t) override { log.push_back("progress:" + t); }
  void ScaleProgressBar(double r, double b) override {
    scale = std::to_string(int(r)) + "x" + std::to_string(int(b));
  }
  void ShowProgressFrame() override { log.push_back("frame"); }
  void SetHeading(const std::string& t) override { log.push_back("heading:" + t); }
  void SetProgress(const std::string& t) override { log.push_back("progress:" + t); }
  void HideProgressFrame() override { log.push_back("hide"); }
  void SetStartWindowStatus(const std::string& t) override { log.push_back("news:" + t); }
  void CheckComMenu(int port) override { log.push_back("menu:" + std::to_string(port)); }
  void ShowStartWindow() override { log.push_back("start-window"); }
  void ArmUnattendedStart() override { log.push_back("arm"); }
  void DoEvents() override { ProcessEvents(); }

  bool Logged(const std::string& entry) const {
    return std::find(log.begin(), log.end(), entry) != log.end();
  }
  // The entries that start with `prefix`, without it.
  std::vector<std::string> With(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : log)
      if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
    return out;
  }

  std::vector<std::string> log;
  std::string panel, scale;
  int activity_plots = 0, yields = 0;
  std::function<void(int)> on_yield;
  std::function<void()> on_report;
};

template <typename Io>
class RunFixture : public ::testing::Test {
 protected:
  RunFixture() : clock_({2026, 3, 14, 10, 5, 0}) {}

  void SetUp() override {
    storage::ResetSharedState();
    platform::SetClock(&clock_);
    platform::SetLauncher(&launcher_);
    auto& sh = storage::Shared();
    project_ = folder_ / "p00001";
    std::filesystem::create_directories(project_);
    sh.Project_Path = project_.string();
    sh.Actual_Project_Number = 1;
    sh.Plate_format = "w384";
    sh.Aq_lapse = 30;
    sh.Save_real = 1;
    for (int ch = 0; ch < storage::kChannelCount; ++ch) sh.Channel_Well[ch] = int16_t(ch / 2);
    engine_.EndProcess = [this] { ++process_ends_; };
    engine_.controls.Auto_Run = true;  // no name prompt unless a test asks for one
  }
  void TearDown() override {
    platform::SetClock(nullptr);
    platform::SetLauncher(nullptr);
  }

  // One timer event every `ms` of manual time.
  void Ticks(int n, int ms = 30) {
    for (int i = 0; i < n && engine_.TimerEnabled(); ++i) {
      clock_.Advance(ms);
      engine_.Tick();
    }
  }
  void Start() { ASSERT_EQ(engine_.Start(), acquisition::StartResult::kStarted); }
  std::filesystem::path RunFolder() const { return engine_.RunFolderPath(); }

  testsupport::TempProgramFolder folder_;
  platform::ManualClock clock_;
  testsupport::ScriptedDialogs dialogs_;
  platform::RecordingLauncher launcher_;
  Io io_;
  RecordingView view_;
  acquisition::RunEngine engine_{io_, view_};
  std::filesystem::path project_;
  int process_ends_ = 0;
};

// The run engine talking to the simulated instrument on COM4 over a pseudo-terminal.
class SimRunFixture : public RunFixture<acquisition::LinkIo> {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    sim_ = std::make_unique<testsupport::SimHarness>(4, folder_.path());
    ASSERT_EQ(devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings), 0);
    devlink::SetInstrumentPort(4);
  }
  void TearDown() override {
    devlink::CommClose(4);
    devlink::SetInstrumentPort(0);
    sim_.reset();
    RunFixture::TearDown();
  }
  int ModelSetting(int ch) {
    int v = 0;
    (*sim_)->WithModel([&](sim::InstrumentModel& m) { v = m.channel_setting(ch); });
    return v;
  }
  int ModelLevel(int ch) {
    int v = 0;
    (*sim_)->WithModel([&](sim::InstrumentModel& m) { v = m.BaseLevel(ch); });
    return v;
  }
  // How often `frame` went over the wire.
  int OnWire(const std::string& frame) const {
    const std::string wire = (*sim_)->Received();
    int n = 0;
    for (auto p = wire.find(frame); p != std::string::npos; p = wire.find(frame, p + 1)) ++n;
    return n;
  }

  std::unique_ptr<testsupport::SimHarness> sim_;
};

}  // namespace acqtest
