#pragma once
// The program on project 1 with the simulated instrument on COM4 and a manual clock:
// the service windows as the main window's menus open them.
#include <memory>

#include "link/comm_port.h"
#include "link/device_io.h"
#include "mainwindow/mainwindow_fixture.h"
#include "platform/clock.h"
#include "support/sim_harness.h"

namespace servicetest {

class ServiceWindowTest : public mainwindow_test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    platform::SetClock(&clock_);
    MakeProject(1, "Beams", "w96");
    WriteConfig(1);
    WriteReportConfig(0, 30);
    sim_ = std::make_unique<testsupport::SimHarness>(4, folder.path());
    ASSERT_EQ(devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings), 0);
    devlink::SetInstrumentPort(4);
  }
  void TearDown() override {
    devlink::CommClose(4);
    devlink::SetInstrumentPort(0);
    ProgramTest::TearDown();
    sim_.reset();
    platform::SetClock(nullptr);
  }

  platform::ManualClock clock_{{2026, 3, 14, 10, 5, 0}};
  std::unique_ptr<testsupport::SimHarness> sim_;
};

}  // namespace servicetest
