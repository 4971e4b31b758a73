#pragma once
// The simulated instrument on COM4 of a temporary program folder, the port opened as
// a connection opens it, a manual clock (pauses cost nothing), scripted boxes and a
// launcher recorder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "acquisition/link_io.h"
#include "link/comm_port.h"
#include "link/device_frame.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/sim_harness.h"
#include "support/temp_folder.h"

namespace servicetest {

inline std::string Frame(int reg, int value, int mode) {
  return devlink::DeviceFrame(reg, value, mode);
}
inline std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class SimFixture : public ::testing::Test {
 protected:
  SimFixture() : clock_({2026, 3, 14, 10, 5, 0}) {}

  void SetUp() override {
    storage::ResetSharedState();
    platform::SetClock(&clock_);
    platform::SetLauncher(&launcher_);
    sim_ = std::make_unique<testsupport::SimHarness>(4, folder_.path());
    ASSERT_EQ(devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings), 0);
    devlink::SetInstrumentPort(4);
    storage::Shared().Serial_COM = 4;
  }
  void TearDown() override {
    devlink::CommClose(4);
    devlink::SetInstrumentPort(0);
    sim_.reset();
    platform::SetClock(nullptr);
    platform::SetLauncher(nullptr);
    storage::ResetSharedState();
  }

  sim::SimServer& Sim() { return sim_->server(); }
  template <class F>
  void Model(F f) {
    Sim().WithModel([&](sim::InstrumentModel& m) { f(m); });
  }
  int Count(const std::string& frame) const {
    const std::string wire = sim_->server().Received();
    int n = 0;
    for (auto p = wire.find(frame); p != std::string::npos; p = wire.find(frame, p + 1)) ++n;
    return n;
  }

  testsupport::TempProgramFolder folder_;
  platform::ManualClock clock_;
  testsupport::ScriptedDialogs dialogs_;
  platform::RecordingLauncher launcher_;
  std::unique_ptr<testsupport::SimHarness> sim_;
  acquisition::LinkIo io_;
};

}  // namespace servicetest
