// The report window: what its load shows, the rules between its controls, Generate on
// a run recorded against the simulator, and the automatic report chain.
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>

#include "storage/run_files.h"
#include "reports/raw_data_tools.h"
#include "reports/report_window_rules.h"
#include "storage/report_settings.h"
#include "ui/events.h"
#include "window_fixture.h"

namespace reports_test {
namespace {

namespace fs = std::filesystem;
using reports::frm_report;

std::string Text(const QString& s) { return s.toStdString(); }

// The default settings as written, with the locale's separator.
std::string Defaults(int user_defined) {
  return std::to_string(user_defined) + ",30,0,\"" + storage::Shared().List_Separator +
         "\",1,0,1,0,0,1,18,0";
}

// Remembers what the window asked the raw-data tools for.
class RecordingTools final : public reports::RawDataTools {
 public:
  std::unique_ptr<reports::ReanalysisJob> StartReanalysis(reports::ReanalysisRequest& request,
                                                          reports::ReportChoices&) override {
    requests.push_back(request);
    return nullptr;
  }
  reports::ToolOutcome ExportCircadian(reports::CircadianRequest&) override {
    return reports::ToolOutcome::kDone;
  }
  std::vector<reports::ReanalysisRequest> requests;
};

using ReportWindow = ReportWindowTest;

TEST_F(ReportWindow, UserBinOffLoadRewritesTheDefaults) {
  StoreSettings("1,45,1,\";\",0,1,0,2,3,1,9,1", false);
  auto& w = ui::Default<frm_report>();
  EXPECT_EQ(StoredSettings(), ConfigFile(Defaults(0)));
  ASSERT_EQ(w.Cmb_binsize->count(), 12);
  EXPECT_EQ(Text(w.Cmb_binsize->itemText(2)), "30");
  EXPECT_EQ(Text(w.Cmb_binsize->itemText(11)), "30");
  EXPECT_EQ(Text(w.Cmb_binsize->currentText()), "30");
  EXPECT_TRUE(w.Option_report[0]->isChecked());
  EXPECT_EQ(Text(w.txt_customspacer->text()), storage::Shared().List_Separator);
  EXPECT_TRUE(w.Option_output[0]->isChecked());
  EXPECT_TRUE(w.Chk_statistic[2]->isChecked());
  EXPECT_FALSE(w.Chk_statistic[3]->isChecked());
  EXPECT_TRUE(w.Chk_statistic[4]->isChecked());
  EXPECT_EQ(w.Cmb_organism->currentIndex(), 0);
  EXPECT_EQ(w.Cmb_dspmethod->currentIndex(), 1);
  EXPECT_EQ(Text(w.frmtxt_threshold->text()), "1.8");
  EXPECT_FALSE(w.Chk_rawexport->isChecked());
  EXPECT_EQ(w.height(), ui::TwipsToPixels(frm_report::kLoadedHeight));
  EXPECT_GE(w.Frame_run->y(), w.height());  // the raw-data frame stays out of sight
  EXPECT_TRUE(dialogs.log().empty());
}

TEST_F(ReportWindow, UserBinOnLoadShowsTheStoredSettings) {
  // Text, ";", no Std Error, Std Dev, no N, W.Array, Drosophila with method 1,
  // threshold 0.9, raw export.
  StoreSettings("1,45,1,\";\",0,1,0,2,3,1,9,1", true);
  const std::string stored = StoredSettings();
  auto& w = ui::Default<frm_report>();
  EXPECT_EQ(StoredSettings(), stored);
  EXPECT_EQ(Text(w.Cmb_binsize->itemText(w.Cmb_binsize->count() - 1)), "45");
  EXPECT_EQ(Text(w.Cmb_binsize->currentText()), "45");
  EXPECT_TRUE(w.Option_report[1]->isChecked());
  EXPECT_EQ(Text(w.txt_customspacer->text()), ";");  // after the file type's own blank
  EXPECT_TRUE(w.Option_output[2]->isChecked());
  EXPECT_FALSE(w.Chk_statistic[2]->isChecked());
  EXPECT_TRUE(w.Chk_statistic[3]->isChecked());
  EXPECT_FALSE(w.Chk_statistic[4]->isChecked());
  // Drosophila forces its method; the stored threshold replaces its default.
  EXPECT_EQ(w.Cmb_organism->currentIndex(), 3);
  EXPECT_EQ(w.Cmb_dspmethod->currentIndex(), 3);
  EXPECT_EQ(Text(w.frmtxt_threshold->text()), "0.9");
  EXPECT_TRUE(w.Chk_rawexport->isChecked());
  EXPECT_FALSE(w.Chk_replacedata->isChecked());
  EXPECT_EQ(Text(w.frmtxt_datalapse->text()), "533");
}

TEST_F(ReportWindow, OrganismSetsItsThresholdAndForcesItsMethod) {
  auto& w = ui::Default<frm_report>();
  const struct {
    int organism, method_before;
    const char* threshold;
    int method_after;
  } cases[] = {{1, 0, "2.8", 0}, {2, 0, "1.8", 2}, {3, 1, "0.8", 3}, {0, 2, "1.8", 2}};
  for (const auto& c : cases) {
    w.Cmb_organism->setCurrentIndex(-1);
    w.Cmb_dspmethod->setCurrentIndex(c.method_before);
    w.frmtxt_threshold->setText("5.5");
    w.Cmb_organism->setCurrentIndex(c.organism);
    EXPECT_EQ(Text(w.frmtxt_threshold->text()), c.threshold) << c.organism;
    EXPECT_EQ(w.Cmb_dspmethod->currentIndex(), c.method_after) << c.organism;
  }
}

TEST_F(ReportWindow, ThresholdIsCheckedWhenItLosesTheFocus) {
  auto& w = ui::Default<frm_report>();
  const struct {
    int organism;
    const char* typed;
    const char* shown;
  } cases[] = {{3, "0,9", "0,9"},  {3, "1.05", "0.8"}, {3, "0.5", "0.5"},  {3, "0.49", "0.8"},
               {3, "abc", "0.8"},  {0, "6.0", "6.0"},  {0, "6.01", "1.8"}, {0, "1.1", "1.1"},
               {0, "1.09", "1.8"}, {1, "2.9", "2.9"},  {1, "7", "1.8"},    {2, "", "1.8"}};
  for (const auto& c : cases) {
    w.Cmb_organism->setCurrentIndex(c.organism);
    w.frmtxt_threshold->setText(c.typed);
    QFocusEvent out(QEvent::FocusOut);
    QCoreApplication::sendEvent(w.frmtxt_threshold, &out);
    EXPECT_EQ(Text(w.frmtxt_threshold->text()), c.shown) << c.typed;
  }
}

TEST_F(ReportWindow, FileTypeClicksSwitchTheSeparator) {
  auto& w = ui::Default<frm_report>();
  const std::string list = storage::Shared().List_Separator;
  w.txt_customspacer->setText("|");
  const struct {
    int type;
    std::string separator;
  } clicks[] = {{1, " "}, {0, list}, {2, " "}, {0, list}};
  for (const auto& c : clicks) {
    w.Option_report[c.type]->click();
    EXPECT_EQ(Text(w.txt_customspacer->text()), c.separator) << c.type;
  }
}

TEST_F(ReportWindow, ExportRawUnticksReplaceAndCoversTheLongestRun) {
  auto& w = ui::Default<frm_report>();
  w.Chk_replacedata->setChecked(true);
  EXPECT_FALSE(w.frmtxt_datalapse->isEnabled());
  w.Chk_rawexport->setChecked(true);
  EXPECT_FALSE(w.Chk_replacedata->isChecked());
  EXPECT_TRUE(w.frmtxt_datalapse->isEnabled());
  EXPECT_EQ(Text(w.frmtxt_datalapse->text()), "533");
  // Unticking it changes nothing else.
  w.frmtxt_datalapse->setText("2");
  w.Chk_rawexport->setChecked(false);
  EXPECT_EQ(Text(w.frmtxt_datalapse->text()), "2");
  EXPECT_FALSE(w.Chk_replacedata->isChecked());
}

TEST_F(ReportWindow, GenerateWritesEachTypeOfARecordedRunAndOpensIt) {
  const fs::path run = RecordSimulatedRun(home(), 2, false);
  ASSERT_FALSE(run.empty());
  auto& w = OpenOn(run, "30");
  const std::string csv = (run / "report.csv").string();
  const std::string workbook = (run / "report_20261206103000.xlsx").string();
  const struct {
    int type;
    const char* report;
    std::string opened;
  } cases[] = {{0, "report.csv", "shell: explorer " + csv},
               {1, "report.txt", "shell: notepad " + (run / "report.txt").string()},
               {2, "report.csv", "shell: explorer " + workbook}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.report);
    fs::remove(run / "report.csv");
    launcher_.calls.clear();
    w.Option_report[c.type]->click();
    w.Cmb_binsize->setCurrentText("30");
    w.Cmd_generate_Click();
    EXPECT_TRUE(dialogs.log().empty()) << dialogs.log().front();
    const std::string text = testsupport::ReadBytes(run / c.report);
    EXPECT_NE(text.find("SETTING:"), std::string::npos);
    EXPECT_TRUE(fs::exists(run / ("Autorun_project" + fs::path(c.report).extension().string())));
    EXPECT_EQ(launcher_.calls, std::vector<std::string>{c.opened});
    // The bin longer than the two-minute run is clamped, and shown.
    EXPECT_EQ(Text(w.Cmb_binsize->currentText()), "2");
  }
  EXPECT_EQ(testsupport::ReadBytes(workbook).substr(0, 2), "PK");
}

TEST_F(ReportWindow, BadInputShowsItsMessageAndPresentsNoReport) {
  RecordRun();
  const fs::path unwritable = home() / "p00001" / "20261206_1100";
  WriteRunTexts(unwritable, texts_);
  fs::copy_file(run_ / "counts.bin", unwritable / "counts.bin");
  // Every name the report could take is held by a folder.
  fs::create_directories(unwritable / "report.csv");
  for (int k = 1; k <= reports::kMaxReportNames; ++k)
    fs::create_directories(unwritable / ("report_" + std::to_string(k) + ".csv"));
  const struct {
    const char* what;
    fs::path folder;
    const char* bin;
    const char* message;
  } cases[] = {
      {"bin not a number", run_, "abc", "Report Error"},
      {"no counts.bin", home() / "p00001", "30", "Activity file not Found"},
      {"no report can be created", unwritable, "30", "Report Error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto& w = OpenOn(c.folder, c.bin);
    testsupport::ScriptedDialogs boxes;
    boxes.ExpectOk();
    w.Cmd_generate_Click();
    EXPECT_EQ(boxes.log(), std::vector<std::string>{c.message});
    EXPECT_FALSE(fs::is_regular_file(c.folder / "report.csv"));
    EXPECT_FALSE(fs::exists(c.folder / "Day_1.csv"));
  }
  EXPECT_TRUE(launcher_.calls.empty());
}

TEST_F(ReportWindow, TheChosenBasalRunNormalisesTheReport) {
  RecordRun();
  const fs::path basal = home() / "p00001" / "20261206_0900";
  WriteRunTexts(basal, texts_);
  fs::copy_file(run_ / "counts.bin", basal / "counts.bin");
  auto& w = OpenOn(run_, "60");
  // As the offline browser fills it.
  w.cmbbasal->addItems({"-", "20261206_0900 Day 0"});
  w.cmbbasal->setCurrentIndex(1);
  dialogs.ExpectOk();
  w.Cmd_generate_Click();
  const std::string folder = run_.string();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Using Groups Selected in Experiment: " +
                                                    folder.substr(folder.size() - 20)});
  const std::string report = testsupport::ReadBytes(run_ / "report.csv");
  EXPECT_NE(report.find("\"TIME0(BASAL MEASSURE):\",\"20261206_0900 Day 0\""), std::string::npos);
}

TEST_F(ReportWindow, CancelHidesAndShortensUnloadHandsTheBinBack) {
  auto& w = ui::Default<frm_report>();
  w.cmbbasal->addItems({"-", "20261206_0900"});
  w.Show();
  w.Cmd_cancel_Click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.cmbbasal->count(), 0);
  EXPECT_EQ(w.height(), ui::TwipsToPixels(frm_report::kCancelledHeight));
  // Shown again it is the same window: no new load.
  w.Cmb_binsize->addItem("999");
  w.Show();
  EXPECT_EQ(Text(w.Cmb_binsize->itemText(w.Cmb_binsize->count() - 1)), "999");
  storage::Shared().Bin = 45;
  ui::Unload<frm_report>();
  EXPECT_EQ(Text(Main().combo_minutes->currentText()), "45");
}

// ---- The automatic report ----

class AutoReport : public ReportWindowTest {
 protected:
  // Opens the window on the run with "Autoreport" ticked, as the end of a run does.
  frm_report& Activate(const fs::path& run) {
    auto& w = OpenOn(run);
    spy_ = std::make_unique<QSignalSpy>(&w, &frm_report::AutoReportDone);
    w.chk_autoreport->setChecked(true);
    w.Show();
    return w;
  }
  // Runs the chain's next step; the wait it armed first.
  void Step(frm_report& w, int armed_ms) {
    ASSERT_TRUE(w.Timerchain.isActive());
    EXPECT_EQ(w.Timerchain.interval(), armed_ms);
    w.Timerchain_Timer();
  }
  void ExpectEnded(frm_report& w) {
    EXPECT_FALSE(w.Timerchain.isActive());
    EXPECT_FALSE(w.chk_autoreport->isChecked());
    EXPECT_TRUE(w.frm_report_frame->isEnabled());
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.AutoReportRunning());
    EXPECT_EQ(spy_->count(), 1);
  }
  std::unique_ptr<QSignalSpy> spy_;
};

TEST_F(AutoReport, WithoutRawExportOneReportAndTheMessage) {
  StoreSettings("1,30,0,\",\",1,0,1,0,0,1,18,0", true);
  RecordRun();
  auto& w = Activate(run_);
  // The report is written at the activation; the window waits with its frame disabled.
  EXPECT_TRUE(fs::exists(run_ / "report.csv"));
  EXPECT_FALSE(w.frm_report_frame->isEnabled());
  EXPECT_TRUE(w.AutoReportRunning());
  EXPECT_TRUE(dialogs.log().empty());
  dialogs.ExpectOk();
  Step(w, 1500);
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Report File AutoGenerated"});
  ExpectEnded(w);
  EXPECT_TRUE(launcher_.calls.empty());
  // Unticked, a later activation makes no report.
  fs::remove(run_ / "report.csv");
  w.Show();
  EXPECT_FALSE(fs::exists(run_ / "report.csv"));
}

TEST_F(AutoReport, RawExportWithoutRawBlocksKeepsTheFirstReportSilently) {
  StoreSettings("1,30,0,\",\",1,0,1,0,0,1,18,1", true);
  RecordRun();
  RecordingTools tools;
  reports::SetRawDataTools(&tools);
  auto& w = Activate(run_);
  const std::string first = testsupport::ReadBytes(run_ / "report.csv");
  ASSERT_FALSE(first.empty());
  dialogs.ExpectOk();
  Step(w, 1500);
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Report File AutoGenerated"});
  ExpectEnded(w);
  EXPECT_TRUE(tools.requests.empty());
  EXPECT_EQ(testsupport::ReadBytes(run_ / "report.csv"), first);
  for (const auto& e : fs::directory_iterator(run_)) EXPECT_NE(e.path().extension(), ".raw");
}

TEST_F(AutoReport, RawPassUsesTheRunsOwnSettingsOnlyOnCompleteBlocks) {
  StoreSettings("1,30,0,\",\",1,0,1,0,0,1,18,1", true);
  RecordRun();
  const struct {
    const char* what;
    int organism, method, snr_x10;  // the run's own
    int blocks;
    bool tools_installed;
    const char* threshold;  // asked of the re-analysis; nullptr: none asked
  } cases[] = {
      {"complete", 3, 3, 8, 60, true, "0.8"},
      {"an SNR of the run's own", 2, 2, 25, 60, true, "2.5"},
      {"C. elegans counted with the SNR its run recorded", 0, 1, 25, 60, true, "2.5"},
      {"a block short", 3, 3, 8, 59, true, nullptr},
      {"the program's own tools", 3, 3, 8, 60, false, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ui::Unload<frm_report>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    texts_.organism = c.organism;
    texts_.method = c.method;
    texts_.snr_x10 = c.snr_x10;
    WriteRunTexts(run_, texts_);
    WriteRawBlocks(c.blocks);
    RecordingTools tools;
    reports::SetRawDataTools(c.tools_installed ? &tools : nullptr);
    auto& w = Activate(run_);
    testsupport::ScriptedDialogs boxes;
    boxes.AllowAnyOk();
    Step(w, 1500);
    if (c.blocks == 60) {
      EXPECT_TRUE(boxes.log().empty());  // the raw data frame opens
      EXPECT_EQ(w.height(), ui::TwipsToPixels(frm_report::kRawFrameHeight));
      EXPECT_LT(w.Frame_run->geometry().bottom(), w.height());  // and shows whole
      Step(w, 1000);
      // The program's own re-analysis runs on: the chain waits for its end.
      EXPECT_EQ(w.ReanalysisRunning(), !c.tools_installed);
      FinishReanalysis(w);
      Step(w, 500);
    }
    EXPECT_EQ(boxes.log(), std::vector<std::string>{"Report File AutoGenerated"});
    ExpectEnded(w);
    EXPECT_EQ(fs::exists(run_ / "ch0.raw"), c.blocks == 60 && !c.tools_installed);
    ASSERT_EQ(tools.requests.size(), c.threshold && c.tools_installed ? 1u : 0u);
    if (tools.requests.empty()) continue;
    const reports::ReanalysisRequest& r = tools.requests[0];
    EXPECT_EQ(r.run_folder, run_.string());
    EXPECT_EQ(r.organism, c.organism);
    EXPECT_EQ(r.method, c.method);
    EXPECT_EQ(r.threshold_text, c.threshold);
    EXPECT_EQ(r.lapse_text, "533");
    EXPECT_TRUE(r.raw_export);
    EXPECT_FALSE(r.replace_data);
  }
}

TEST_F(AutoReport, AFailedReportIsNotAnnouncedAsGenerated) {
  StoreSettings("1,30,0,\",\",1,0,1,0,0,1,18,1", true);
  fs::create_directories(run_);
  dialogs.ExpectOk();
  auto& w = Activate(run_);
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Activity file not Found"});
  Step(w, 1500);
  EXPECT_EQ(dialogs.log().size(), 1u);
  ExpectEnded(w);
}

}  // namespace
}  // namespace reports_test
