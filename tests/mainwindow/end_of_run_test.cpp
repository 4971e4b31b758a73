// The end of a run as the user finds it: the report window in front of the main
// window, or, when the report writes itself, the news in the main window's status panel.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWindow>
#include <algorithm>

#include "mainwindow_fixture.h"
#include "platform/clock.h"
#include "support/sim_harness.h"
#include "ui/window_place.h"

namespace mainwindow_test {
namespace {

using mainwindow::Frm_Main;

class EndOfRun : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    platform::SetClock(&clock);
  }
  void TearDown() override {
    ProgramTest::TearDown();
    platform::SetClock(nullptr);
  }

  // Connected, a one-minute run named "r1" started, its first bin recorded; the window's
  // own timer stopped, the ticks driven here 30 ms apart on the manual clock.
  Frm_Main& RunOneBin(bool user_bin) {
    MakeProject(1, "Worms", "w96", [](storage::SharedState& s) {
      s.MnAt(1, 1) = 0;
      s.MnAt(1, 2) = 0;
      s.Aq_lapse = 1;
      s.Save_real = 0;
    });
    WriteConfig(1, 4);
    WriteReportConfig(user_bin ? 1 : 0, 45);
    Frm_Main& w = Start();
    ui::Default<mainwindow::Frm_Init>().cmd_option2->click();
    dialogs.AnswerInput("r1");
    w.CmdPlay_Click();
    w.Timeradq.stop();
    Ticks(w, 500);
    return w;
  }
  void Ticks(Frm_Main& w, int count) {
    for (int i = 0; i < count && w.engine().TimerEnabled(); ++i) {
      w.Timeradq_Timer();
      clock.Advance(30);
    }
  }

  platform::ManualClock clock;
  testsupport::SimHarness sim{4};
};

TEST_F(EndOfRun, TheReportOpensInFrontOfTheMainWindow) {
  Frm_Main& w = RunOneBin(false);
  ASSERT_EQ(storage::Shared().Acq_State, 1) << (dialogs.log().empty() ? "" : dialogs.log()[0]);
  w.showMinimized();
  dialogs.ExpectOk();
  clock.Advance(60 * 1000);
  Ticks(w, 501);
  ASSERT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_EQ(dialogs.log().back(), "Acquisition finished");
  auto& report = ui::Default<reports::frm_report>();
  EXPECT_TRUE(report.isVisible());
  EXPECT_FALSE(w.isMinimized());
  ASSERT_NE(report.windowHandle(), nullptr);
  EXPECT_EQ(report.windowHandle()->transientParent(), w.windowHandle());
  // The box and anything after it open over the report.
  EXPECT_EQ(ui::FrontWindow(), &report);
  EXPECT_TRUE(w.frm_autotext->isHidden());
}

TEST_F(EndOfRun, AnAutomaticReportLeavesTheNewsInTheStatusPanel) {
  Frm_Main& w = RunOneBin(true);
  ASSERT_EQ(storage::Shared().Acq_State, 1) << (dialogs.log().empty() ? "" : dialogs.log()[0]);
  ASSERT_TRUE(w.mn_userbin->isChecked());
  const auto run = folder / "p00001" / w.engine().state.Run_Folder;
  ASSERT_TRUE(std::filesystem::exists(run / "counts.bin"));
  clock.Advance(60 * 1000);
  Ticks(w, 501);
  ASSERT_EQ(storage::Shared().Acq_State, 0);
  // No box tells of this end: the panel does, with the run's folder.
  EXPECT_EQ(std::count(dialogs.log().begin(), dialogs.log().end(), "Acquisition finished"), 0);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.frm_autotext->isHidden());
  EXPECT_EQ(w.lbl_autotext->text(), "Acquisition finished");
  EXPECT_EQ(w.lbl_autochannel->text().toStdString(), "Files: " + run.string());
  EXPECT_GE(w.lbl_autochannel->width(), w.lbl_autochannel->sizeHint().width());
  // The next run's start takes the news away.
  clock.Advance(60 * 1000);
  dialogs.AnswerInput("r2");
  w.CmdPlay_Click();
  w.Timeradq.stop();
  EXPECT_EQ(storage::Shared().Acq_State, 1);
  EXPECT_TRUE(w.frm_autotext->isHidden());
}

}  // namespace
}  // namespace mainwindow_test
