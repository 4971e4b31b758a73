// The end of a run as the user finds it: the report window in front of the main
// window, or, when the report writes itself, the news in the main window's status panel.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWindow>
#include <algorithm>

#include "run_window_fixture.h"
#include "ui/window_place.h"

namespace mainwindow_test {
namespace {

using mainwindow::Frm_Main;

class EndOfRun : public RunWindowTest {
 protected:
  // The run with its first bin recorded.
  Frm_Main& RunOneBin(bool user_bin) {
    Frm_Main& w = StartRun("w96", user_bin, [](Frm_Main&) {});
    Ticks(w, 501);  // a bin closes at the tick after its last sample
    return w;
  }
};

TEST_F(EndOfRun, TheReportOpensInFrontOfTheMainWindow) {
  Frm_Main& w = RunOneBin(false);
  ASSERT_EQ(storage::Shared().Acq_State, 1) << FirstBox();
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
  ASSERT_EQ(storage::Shared().Acq_State, 1) << FirstBox();
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

TEST_F(EndOfRun, ARefusedAutomaticReportLeavesNoTickBehind) {
  Frm_Main& w = StartRun("w96", true, [](Frm_Main&) {});
  ASSERT_EQ(storage::Shared().Acq_State, 1) << FirstBox();
  // Paused with the time running, the run ends before its first bin.
  dialogs.AnswerNo();
  w.CmdPause_Click();
  clock.Advance(60 * 1000);
  dialogs.ExpectOk();
  Ticks(w, 2);
  ASSERT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_EQ(dialogs.log().back(), "Activity file not Found");
  auto& report = ui::Default<reports::frm_report>();
  EXPECT_FALSE(report.chk_autoreport->isChecked());
  // The user's next opening shows the window and makes no report by itself.
  report.Show();
  EXPECT_FALSE(report.AutoReportRunning());
  EXPECT_TRUE(report.isVisible());
}

// With the report window, or with the automatic report: the case is the report kind.
class LostBins : public EndOfRun, public ::testing::WithParamInterface<bool> {};

TEST_P(LostBins, AreToldWhateverTheReport) {
  const bool user_bin = GetParam();
  const std::string lost = "2 of 2 bins could not be recorded: check the disk";
  // The box, or the note of the automatic report that shows no box.
  const std::string logged = user_bin ? lost : "Acquisition finished\r\n" + lost;
  Frm_Main& w = StartRun("w96", user_bin, [](Frm_Main&) {});
  ASSERT_EQ(storage::Shared().Acq_State, 1) << FirstBox();
  const auto run = folder / "p00001" / w.engine().state.Run_Folder;
  std::filesystem::remove_all(run);
  dialogs.AllowAnyOk();
  Ticks(w, 501);
  clock.Advance(60 * 1000);
  Ticks(w, 501);
  ASSERT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_NE(std::find(dialogs.log().begin(), dialogs.log().end(), logged), dialogs.log().end());
  EXPECT_FALSE(w.frm_autotext->isHidden());
  EXPECT_EQ(w.lbl_autotext->text(), "Acquisition finished");
  EXPECT_EQ(w.lbl_autochannel->text().toStdString(), lost + "\nFiles: " + run.string());
  EXPECT_GE(w.lbl_autochannel->height(), 2 * w.lbl_autotext->height());
  EXPECT_TRUE(w.picturecal->isHidden());
  // The next run's news has one line again, over the progress bar.
  clock.Advance(60 * 1000);
  dialogs.AllowAnyOk(false);
  dialogs.AnswerInput("r2").AnswerYes();
  w.CmdPlay_Click();
  w.Timeradq.stop();
  w.CmdPause_Click();
  EXPECT_EQ(w.lbl_autotext->text(), "<< PAUSED >>");
  EXPECT_EQ(w.lbl_autochannel->height(), w.lbl_autotext->height());
  EXPECT_FALSE(w.picturecal->isHidden());
}

INSTANTIATE_TEST_SUITE_P(Report, LostBins, ::testing::Bool());

TEST_F(EndOfRun, LostBinsAreToldWhenTheRunIsStoppedByHand) {
  Frm_Main& w = StartRun("w96", false, [](Frm_Main&) {});
  ASSERT_EQ(storage::Shared().Acq_State, 1) << FirstBox();
  const auto run = folder / "p00001" / w.engine().state.Run_Folder;
  std::filesystem::remove_all(run);
  dialogs.AllowAnyOk();
  Ticks(w, 502);
  w.CmdStop_Click();
  ASSERT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_FALSE(w.frm_autotext->isHidden());
  EXPECT_EQ(w.lbl_autochannel->text().toStdString(),
            "1 of 1 bins could not be recorded: check the disk\nFiles: " + run.string());
}

}  // namespace
}  // namespace mainwindow_test
