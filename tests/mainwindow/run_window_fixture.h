#pragma once
// The program started against the simulated instrument on COM4, on a manual clock,
// with a run driven tick by tick (the window's own timer stopped).
#include <QPushButton>

#include "mainwindow_fixture.h"
#include "platform/clock.h"
#include "support/sim_harness.h"

namespace mainwindow_test {

class RunWindowTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    platform::SetClock(&clock);
  }
  void TearDown() override {
    ProgramTest::TearDown();
    platform::SetClock(nullptr);
  }

  // A one-minute recorded run of project 1 on `plate`, named "r1", connected through
  // "Run Latest Project"; `before_start` may tick boxes first.
  template <class BeforeStart>
  mainwindow::Frm_Main& StartRun(const std::string& plate, bool user_bin,
                                 BeforeStart before_start) {
    MakeProject(1, "Worms", plate, [](storage::SharedState& s) {
      s.MnAt(1, 1) = 0;
      s.MnAt(1, 2) = 0;
      s.Aq_lapse = 1;
      s.Save_real = 0;
    });
    WriteConfig(1, 4);
    WriteReportConfig(user_bin ? 1 : 0, 45);
    mainwindow::Frm_Main& w = Start();
    ui::Default<mainwindow::Frm_Init>().cmd_option2->click();
    before_start(w);
    dialogs.AnswerInput("r1");
    w.CmdPlay_Click();
    w.Timeradq.stop();
    return w;
  }

  // Acquisition ticks 30 ms apart, while the run goes on.
  void Ticks(mainwindow::Frm_Main& w, int count) {
    for (int i = 0; i < count && w.engine().TimerEnabled(); ++i) {
      w.Timeradq_Timer();
      clock.Advance(30);
    }
  }

  std::string FirstBox() const { return dialogs.log().empty() ? "" : dialogs.log()[0]; }

  platform::ManualClock clock;
  testsupport::SimHarness sim{4};
};

}  // namespace mainwindow_test
