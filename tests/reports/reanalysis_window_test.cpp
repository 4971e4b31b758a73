// The report window while a re-analysis runs: only STOP can be used, the window stays,
// the label follows the job, STOP reaches it, and its report's SETTING line serves that
// report alone.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "reports/raw_data_tools.h"
#include "window_fixture.h"

namespace reports_test {
namespace {

namespace fs = std::filesystem;
using reports::frm_report;

// What the window did to the job it was given.
struct JobLog {
  size_t done = 0;
  bool analysed = false;
  bool stopped = false;
  bool finished = false;
  bool dropped = false;
};

class ScriptedJob final : public reports::ReanalysisJob {
 public:
  explicit ScriptedJob(JobLog& log) : log_(log) {}
  ~ScriptedJob() override { log_.dropped = true; }
  size_t BlocksDone() const override { return log_.done; }
  size_t BlockCount() const override { return 10; }
  bool Analysed() const override { return log_.analysed; }
  void Stop() override { log_.stopped = true; }
  reports::ToolOutcome Finish() override {
    log_.finished = true;
    return reports::ToolOutcome::kStopped;
  }

 private:
  JobLog& log_;
};

class ScriptedTools final : public reports::RawDataTools {
 public:
  std::unique_ptr<reports::ReanalysisJob> StartReanalysis(reports::ReanalysisRequest&,
                                                          reports::ReportChoices&) override {
    return std::make_unique<ScriptedJob>(log);
  }
  reports::ToolOutcome ExportCircadian(reports::CircadianRequest&) override {
    return reports::ToolOutcome::kDone;
  }
  JobLog log;
};

class ReanalysisWindow : public ReportWindowTest {
 protected:
  // RUN pressed on the synthetic run, the scripted job given to the window.
  frm_report& Running() {
    RecordRun();
    reports::SetRawDataTools(&tools);
    auto& w = OpenOn(run_);
    w.Show();
    w.cmd_runframe_Click();
    return w;
  }
  ScriptedTools tools;
};

TEST_F(ReanalysisWindow, WhileItRunsOnlyStopWorksAndTheWindowStays) {
  frm_report& w = Running();
  ASSERT_TRUE(w.ReanalysisRunning());
  EXPECT_TRUE(w.Timerreanalysis.isActive());
  EXPECT_EQ(w.frmlbl_status->text().toStdString(), "Block 0/10");
  const auto expect_usable = [&](bool usable) {
    for (QWidget* c : std::initializer_list<QWidget*>{w.frm_report_frame, w.cmd_runframe,
                                                      w.Chk_replacedata, w.frmtxt_threshold})
      EXPECT_EQ(c->isEnabled(), usable);
    EXPECT_EQ(w.mnadvance->isEnabled(), usable);
  };
  expect_usable(false);
  EXPECT_TRUE(w.cmd_stopframe->isEnabled());
  w.close();
  EXPECT_TRUE(w.isVisible());
  ASSERT_TRUE(ui::IsLoaded<frm_report>());

  tools.log.done = 3;
  w.Timerreanalysis_Timer();
  EXPECT_EQ(w.frmlbl_status->text().toStdString(), "Block 3/10");
  w.cmd_stopframe_Click();
  EXPECT_TRUE(tools.log.stopped);
  EXPECT_FALSE(tools.log.finished);
  tools.log.analysed = true;
  w.Timerreanalysis_Timer();
  EXPECT_TRUE(tools.log.finished);
  EXPECT_TRUE(tools.log.dropped);
  EXPECT_FALSE(w.ReanalysisRunning());
  EXPECT_FALSE(w.Timerreanalysis.isActive());
  expect_usable(true);
  EXPECT_TRUE(dialogs.log().empty());
}

TEST_F(ReanalysisWindow, UnloadedMidwayItFinishesNothing) {
  Running();
  ui::Unload<frm_report>();
  EXPECT_TRUE(tools.log.dropped);
  EXPECT_FALSE(tools.log.finished);
}

TEST_F(ReanalysisWindow, TheProgramsEndDropsItUnfinished) {
  Running();
  QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
  EXPECT_TRUE(tools.log.dropped);
  EXPECT_FALSE(tools.log.finished);
}

TEST_F(ReanalysisWindow, ItsSettingHeadsItsOwnReportOnly) {
  RecordRun();
  WriteRawBlocks(60);
  auto& w = OpenOn(run_);
  w.Show();
  w.Chk_replacedata->setChecked(false);
  w.frmtxt_datalapse->setText("533");
  w.cmd_runframe_Click();
  FinishReanalysis(w);
  EXPECT_NE(testsupport::ReadBytes(run_ / "report.csv")
                .find("\"SETTING:\",\"1_Threshold Avrg (Default.Agar&Liquid) C elegans(>L4) "
                      "[SNR=1.8]\""),
            std::string::npos);
  w.Cmd_generate_Click();
  EXPECT_NE(
      testsupport::ReadBytes(run_ / "report.csv").find("\"SETTING:\",\"Mode1 C.elegans[snr=1.8]\""),
      std::string::npos);
  EXPECT_TRUE(dialogs.log().empty());
}

}  // namespace
}  // namespace reports_test
