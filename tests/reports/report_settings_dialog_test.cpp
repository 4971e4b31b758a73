// The report settings dialog: Apply and Back to Default through repoconf.dat's bytes,
// the main window's check mark, and what the next report window shows.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "reports/report_window_rules.h"
#include "support/typing.h"
#include "ui/events.h"
#include "window_fixture.h"

namespace reports_test {
namespace {

using reports::frm_report;
using reports::frm_reportset;

std::string Text(const QString& s) { return s.toStdString(); }

using ReportSettingsDialog = ReportWindowTest;

// Bin 45, "Text [.txt]", ";", "List", only Std Dev, "Export Raw".
void Fill(frm_reportset& d) {
  d.Cmb_binsize->setCurrentText("45");
  d.Option_report[1]->setChecked(true);
  d.txt_customspacer->setText(";");
  d.Option_output[1]->setChecked(true);
  d.Chk_statistic[2]->setChecked(false);
  d.Chk_statistic[3]->setChecked(true);
  d.Chk_statistic[4]->setChecked(false);
  d.Chk_rawexport->setChecked(true);
}

TEST_F(ReportSettingsDialog, ApplyStoresTheSettingsAndChecksTheMenu) {
  // Organism, method and threshold are not the dialog's: they are stored unchanged.
  StoreSettings("0,30,0,\",\",1,0,1,0,2,2,25,0", false);
  auto& d = ui::Default<frm_reportset>();
  d.Show();
  Fill(d);
  dialogs.ExpectOk();
  d.Cmd_generate_Click();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"User Configuration Applied"});
  EXPECT_EQ(StoredSettings(), ConfigFile("1,45,1,\";\",0,1,0,1,2,2,25,1"));
  EXPECT_TRUE(Main().mn_userbin->isChecked());
  EXPECT_FALSE(d.isVisible());
  EXPECT_TRUE(Main().isVisible());

  auto& w = ui::Default<frm_report>();
  EXPECT_EQ(Text(w.Cmb_binsize->currentText()), "45");
  EXPECT_TRUE(w.Option_report[1]->isChecked());
  EXPECT_EQ(Text(w.txt_customspacer->text()), ";");
  EXPECT_TRUE(w.Option_output[1]->isChecked());
  EXPECT_FALSE(w.Chk_statistic[2]->isChecked());
  EXPECT_TRUE(w.Chk_statistic[3]->isChecked());
  EXPECT_FALSE(w.Chk_statistic[4]->isChecked());
  EXPECT_TRUE(w.Chk_rawexport->isChecked());
  EXPECT_EQ(Text(w.frmtxt_threshold->text()), "2.5");
}

// A bin typed into either window's box is the bin, never the first entry that starts
// with it ("1" is not "15", "6" not "60").
TEST_F(ReportSettingsDialog, TypedBinsAreTakenAsTyped) {
  auto& w = ui::Default<frm_report>();
  w.Show();
  testsupport::TypeIntoList(*w.Cmb_binsize, "1");
  EXPECT_EQ(Text(w.Cmb_binsize->currentText()), "1");
  auto& d = ui::Default<frm_reportset>();
  d.Show();
  Fill(d);
  testsupport::TypeIntoList(*d.Cmb_binsize, "6");
  dialogs.ExpectOk();
  d.Cmd_generate_Click();
  EXPECT_EQ(storage::Shared().Bin, 6);
}

TEST_F(ReportSettingsDialog, BackToDefaultUnchecksAndTheNextReportWindowShowsDefaults) {
  StoreSettings("1,45,1,\";\",0,1,0,1,0,1,18,1", true);
  auto& d = ui::Default<frm_reportset>();
  d.Show();
  dialogs.ExpectOk();
  d.Cmd_cancel_Click();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Default Report Configuration Applied"});
  EXPECT_FALSE(Main().mn_userbin->isChecked());
  EXPECT_EQ(StoredSettings(),
            ConfigFile("0,30,0,\"" + storage::Shared().List_Separator + "\",1,0,1,0,0,1,18,0"));
  EXPECT_FALSE(d.isVisible());
  // The dialog keeps what it showed; the report window loads the defaults.
  d.Show();
  EXPECT_EQ(Text(d.Cmb_binsize->currentText()), "45");
  EXPECT_TRUE(d.Chk_rawexport->isChecked());
  auto& w = ui::Default<frm_report>();
  EXPECT_EQ(Text(w.Cmb_binsize->currentText()), "30");
  EXPECT_TRUE(w.Option_report[0]->isChecked());
  EXPECT_FALSE(w.Chk_rawexport->isChecked());
}

TEST_F(ReportSettingsDialog, ApplyRefusesABadBinOrSeparatorAndStoresNothing) {
  StoreSettings("1,60,0,\",\",1,0,1,0,0,1,18,0", true);
  const std::string stored = StoredSettings();
  auto& d = ui::Default<frm_reportset>();
  d.Show();
  const struct {
    const char* bin;
    const char* spacer;
    const char* message;
  } cases[] = {
      {"abc", ";", reports::kBadBinMessage},         {"1441", ";", reports::kBadBinMessage},
      {"0x1E", ";", reports::kBadBinMessage},        {"1e2", ";", reports::kBadBinMessage},
      {"45", "a\"b", reports::kBadSeparatorMessage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bin);
    Fill(d);
    d.Cmb_binsize->setCurrentText(c.bin);
    d.txt_customspacer->setText(c.spacer);
    testsupport::ScriptedDialogs boxes;
    boxes.ExpectOk();
    d.Cmd_generate_Click();
    EXPECT_EQ(boxes.log(), std::vector<std::string>{c.message});
    EXPECT_EQ(StoredSettings(), stored);
    EXPECT_EQ(storage::Shared().Bin, 60);
    EXPECT_EQ(storage::Shared().rawexport, 0);
    EXPECT_TRUE(Main().mn_userbin->isChecked());
    EXPECT_TRUE(d.isVisible());
  }
}

TEST_F(ReportSettingsDialog, LoadShowsTheStoredBinAndLeavesRawExportUnticked) {
  StoreSettings("1,45,1,\"\t\",1,1,1,3,0,1,18,0", true);
  auto& d = ui::Default<frm_reportset>();
  EXPECT_EQ(Text(d.Cmb_binsize->itemText(d.Cmb_binsize->count() - 1)), "45");
  EXPECT_EQ(d.Cmb_binsize->count(), 12);
  EXPECT_TRUE(d.Option_report[1]->isChecked());
  EXPECT_EQ(Text(d.txt_customspacer->text()), "\t");
  EXPECT_TRUE(d.Option_output[3]->isChecked());
  EXPECT_TRUE(d.Chk_statistic[3]->isChecked());
  EXPECT_FALSE(d.Chk_rawexport->isChecked());
  EXPECT_EQ(storage::Shared().rawexport, 0);
  EXPECT_EQ(d.height(), ui::TwipsToPixels(frm_reportset::kHeight));
}

}  // namespace
}  // namespace reports_test
