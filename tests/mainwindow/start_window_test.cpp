// The start window's choices after a real start-up, and the unattended start against
// the simulated instrument.
#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "mainwindow_fixture.h"
#include "platform/clock.h"
#include "support/sim_harness.h"

namespace mainwindow_test {
namespace {

using mainwindow::Frm_Init;
using mainwindow::Frm_Main;

class StartWindow : public ProgramTest {
 protected:
  // A project that runs without calibration at its start.
  void Prepare(int com = 4) {
    MakeProject(1, "Worms", "w96", [](storage::SharedState& s) {
      s.MnAt(1, 1) = 0;
      s.MnAt(1, 2) = 0;
      s.Aq_lapse = 1;
    });
    WriteConfig(1, com);
    WriteReportConfig(0, 30);
  }
};

TEST_F(StartWindow, QuitAskedNoKeepsRunningYesEnds) {
  Prepare();
  Start();
  ASSERT_FALSE(ui::ProgramEnded());
  auto& init = ui::Default<Frm_Init>();
  dialogs.AnswerNo();
  init.cmd_option4->click();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Sure to Quit?"});
  EXPECT_FALSE(ui::ProgramEnded());
  EXPECT_TRUE(init.isVisible());
  dialogs.AnswerYes();
  init.cmd_option4->click();
  EXPECT_TRUE(ui::ProgramEnded());
  EXPECT_EQ(ui::ProgramExitCode(), 0);
  // The main window's exit question is not asked on this way out.
  EXPECT_EQ(dialogs.log().size(), 2u);
}

TEST_F(StartWindow, QuitAndSetupAreRefusedDuringARun) {
  Prepare();
  Start();
  auto& init = ui::Default<Frm_Init>();
  storage::Shared().Acq_State = 1;
  dialogs.ExpectOk().ExpectOk().ExpectOk();
  init.cmd_option4->click();
  init.cmd_option1->click();
  // Connecting again would close the port the run polls.
  ui::Default<mainwindow::Frm_Main>().cmd_connect_Click();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>(3, mainwindow::kRunningRefusal));
  EXPECT_FALSE(ui::ProgramEnded());
  EXPECT_FALSE(ui::IsLoaded<setup::Frm_setup>() &&
               ui::Default<setup::Frm_setup>().isVisible());
  storage::Shared().Acq_State = 0;
}

TEST_F(StartWindow, AWindowSystemCloseLeavesTheStartWindowLoaded) {
  Prepare();
  Start();
  auto& init = ui::Default<Frm_Init>();
  storage::Shared().Connected = true;
  EXPECT_FALSE(init.close());
  EXPECT_TRUE(ui::IsLoaded<Frm_Init>());
  EXPECT_TRUE(init.isVisible());
  // A fresh start window would have forgotten the connection.
  EXPECT_TRUE(storage::Shared().Connected);
  EXPECT_TRUE(dialogs.log().empty());
}

TEST_F(StartWindow, SetupOfflineAndBackChoices) {
  Prepare();
  Frm_Main& w = Start();
  auto& init = ui::Default<Frm_Init>();
  init.cmd_option1->click();
  EXPECT_FALSE(init.isVisible());
  EXPECT_TRUE(ui::Default<setup::Frm_setup>().isVisible());
  ui::Default<setup::Frm_setup>().hide();
  init.Show();
  init.cmd_option3->click();
  EXPECT_FALSE(init.isVisible());
  EXPECT_TRUE(ui::Default<offline::Frm_offline>().isVisible());
  // "< Back" from the main window returns to the start window with the description.
  w.Show();
  w.Txt_description->setPlainText("dose 3");
  w.Cmdoffline_Click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(init.isVisible());
  EXPECT_EQ(ui::Default<setup::Frm_setup>().Txt_description->toPlainText(), "dose 3");
  // ">Edit" opens the setup window without its annotation panel.
  w.Show();
  w.Cmdsetup_Click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(ui::Default<setup::Frm_setup>().isVisible());
  EXPECT_TRUE(ui::Default<setup::Frm_setup>().frm_advance->isHidden());
  EXPECT_TRUE(dialogs.log().empty());
}

TEST_F(StartWindow, RunLatestProjectConnectsOnce) {
  Prepare(3);
  testsupport::SimHarness sim(3);
  Frm_Main& w = Start();
  auto& init = ui::Default<Frm_Init>();
  init.cmd_option2->click();
  EXPECT_TRUE(dialogs.log().empty()) << dialogs.log()[0];
  EXPECT_TRUE(storage::Shared().Connected);
  EXPECT_FALSE(storage::Shared().Offline_Mode);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(init.isVisible());
  EXPECT_TRUE(w.mncom1[3]->isChecked());
  EXPECT_TRUE(w.frm_autotext->isHidden());
  // Back to the start window: the status line shows the port; a second choice of
  // the main window does not connect again.
  w.Cmdoffline_Click();
  EXPECT_EQ(init.LblNews->text(), "status: Connected in COM3");
  const auto sent = sim->Received().size();
  init.cmd_option2->click();
  EXPECT_EQ(sim->Received().size(), sent);
  EXPECT_TRUE(w.isVisible());
}

// After a connection that held, one that fails leaves no "Connected" on the start window.
TEST_F(StartWindow, AFailedConnectionTakesBackTheConnectedStatus) {
  Prepare(3);
  testsupport::SimHarness sim(3);
  Frm_Main& w = Start();
  auto& init = ui::Default<Frm_Init>();
  init.cmd_option2->click();
  w.Cmdoffline_Click();
  ASSERT_EQ(init.LblNews->text(), "status: Connected in COM3");
  sim->SetFault(sim::Fault::kVanish);  // unplugged: the search is over at once
  w.Show();
  dialogs.CancelInput().ExpectOk();
  w.cmd_connect_Click();
  EXPECT_EQ(dialogs.log().back(), "PORT NOT FOUND");
  EXPECT_FALSE(storage::Shared().Connected);
  EXPECT_TRUE(init.isVisible());
  EXPECT_EQ(init.LblNews->text(), "status = not connected yet");
}

// The setup window is loaded by the start-up, so "< Back" only hides the main window:
// the pulse settings stay closed and the project's threshold stays its own.
TEST_F(StartWindow, BackAndRunLatestLeaveThePulseFrameAndThresholdAlone) {
  MakeProject(1, "Flies", "w96", [](storage::SharedState& s) {
    s.MnAt(1, 1) = 0;
    s.MnAt(1, 2) = 0;
    s.Menu2 = 1;
    s.MnAt(2, 0) = 1;
    s.MnAt(1, 0) = 3;
    s.MnAt(1, 3) = 12;
  });
  WriteConfig(1, 3);
  WriteReportConfig(0, 30);
  testsupport::SimHarness sim(3);
  Frm_Main& w = Start();
  auto& init = ui::Default<Frm_Init>();
  init.cmd_option2->click();
  ASSERT_TRUE(w.isVisible());
  ASSERT_TRUE(w.frm_pulse->isHidden());
  w.Cmdoffline_Click();
  init.cmd_option2->click();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.frm_pulse->isHidden());
  EXPECT_EQ(storage::Shared().MnAt(1, 3), 12);
  EXPECT_TRUE(dialogs.log().empty()) << dialogs.log()[0];
}

TEST_F(StartWindow, SlashRunConnectsAndStartsTheRun) {
  Prepare(4);
  testsupport::SimHarness sim(4);
  mainwindow::Frm_Main::SetCommandLine(" /run ");
  Frm_Main& w = Start();
  ASSERT_FALSE(ui::ProgramEnded());
  EXPECT_TRUE(w.Auto_Run());
  EXPECT_EQ(w.Start_Step, 5);
  ASSERT_TRUE(RunUntil([] { return storage::Shared().Acq_State == 1; }, 15000))
      << (dialogs.log().empty() ? "" : dialogs.log()[0]);
  EXPECT_EQ(w.Start_Step, 6);
  EXPECT_TRUE(storage::Shared().Connected);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(ui::Default<Frm_Init>().isVisible());
  EXPECT_EQ(w.txt_subproject->text(), "Autorun project");
  EXPECT_TRUE(w.Timeradq.isActive());
  EXPECT_EQ(w.Timeradq.timerType(), Qt::PreciseTimer);
  EXPECT_FALSE(w.CmdPlay->isEnabled());
  EXPECT_TRUE(w.CmdPause->isEnabled());
  const auto run = folder / "p00001" / w.engine().state.Run_Folder;
  EXPECT_TRUE(std::filesystem::exists(run / "setup.dat"));
  EXPECT_TRUE(std::filesystem::exists(run / "subproj.dat"));
  // The tick runs from the window's timer.
  ASSERT_TRUE(RunUntil([&] { return w.engine().state.Tick_Count > 3; }, 5000));
  // Exit during a run stops it first: outputs off, nothing more recorded.
  dialogs.AnswerNo();
  w.mnexit_Click();
  EXPECT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_FALSE(w.Timeradq.isActive());
  EXPECT_TRUE(ui::ProgramEnded());
  EXPECT_EQ(dialogs.log().back(), "Update values to project 1_Worms before Exit?");
}

TEST_F(StartWindow, WithoutAScreenTheUnattendedRunEndsTheProgram) {
  platform::ManualClock clock;
  platform::SetClock(&clock);
  struct RestoreClock {
    ~RestoreClock() { platform::SetClock(nullptr); }
  } restore;
  Prepare(4);
  testsupport::SimHarness sim(4);
  Frm_Main::SetCommandLine("/run");
  Frm_Main& w = Start();
  w.SetExitWhenRunEnds(true);
  ASSERT_TRUE(RunUntil([] { return storage::Shared().Acq_State == 1; }, 15000))
      << (dialogs.log().empty() ? "" : dialogs.log()[0]);
  // Paused with the time counter on, the lapse ends the run at the next tick; nothing
  // was recorded yet, so the report finds no activity file.
  dialogs.AnswerNo().ExpectOk().ExpectOk().AnswerNo();
  w.CmdPause_Click();
  clock.Advance(61 * 1000);
  ASSERT_TRUE(RunUntil([] { return ui::ProgramEnded(); }, 5000));
  EXPECT_EQ(ui::ProgramExitCode(), 0);
  EXPECT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_FALSE(w.Timeradq.isActive());
  EXPECT_EQ(dialogs.log(), (std::vector<std::string>{
                               "Pause Time Counter?", "Activity file not Found",
                               "Acquisition finished",
                               "Update values to project 1_Worms before Exit?"}));
}

// The report configuration is the case: the report window, or the automatic report
// (repoconf.dat's user-defined flag at 1, as the demo has it).
class UnattendedLoss : public StartWindow, public ::testing::WithParamInterface<int> {};

TEST_P(UnattendedLoss, WithoutAScreenARunThatLostBinsSaysSoAndEndsWithAFailure) {
  platform::ManualClock clock;
  platform::SetClock(&clock);
  struct RestoreClock {
    ~RestoreClock() { platform::SetClock(nullptr); }
  } restore;
  Prepare(4);
  WriteReportConfig(GetParam(), 30);
  testsupport::SimHarness sim(4);
  Frm_Main::SetCommandLine("/run");
  Frm_Main& w = Start();
  w.SetExitWhenRunEnds(true);
  ASSERT_TRUE(RunUntil([] { return storage::Shared().Acq_State == 1; }, 15000));
  // The run folder goes away: no bin of the run can be recorded.
  w.Timeradq.stop();
  std::filesystem::remove_all(folder / "p00001" / w.engine().state.Run_Folder);
  dialogs.AllowAnyOk().AnswerNo();
  for (int i = 0; i < 5000 && w.engine().TimerEnabled(); ++i) {
    clock.Advance(30);
    w.Timeradq_Timer();
  }
  ASSERT_TRUE(RunUntil([] { return ui::ProgramEnded(); }, 5000));
  EXPECT_EQ(ui::ProgramExitCode(), 3);
  const auto& log = dialogs.log();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& line) {
                            return line.find("4 of 4 bins could not be recorded: check the disk") !=
                                   std::string::npos;
                          }),
            1);
}

INSTANTIATE_TEST_SUITE_P(ReportConfiguration, UnattendedLoss, ::testing::Values(0, 1));

}  // namespace
}  // namespace mainwindow_test
