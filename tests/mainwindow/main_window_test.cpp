// The main window without a start-up: option controls, layout, menus, the report
// switch and exit.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "ui/controls.h"
#include "mainwindow_fixture.h"

namespace mainwindow_test {
namespace {

using ui::CheckValue;
using mainwindow::Frm_Main;
using ui::SetCheckValue;

class MainWindow : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    w = std::make_unique<Frm_Main>();
    w->Cmb_organism->addItems(
        {"C elegans(>L4)", "Zebrafish(Larvae)", "Echinococcus", "Drosophila"});
    w->Cmb_organism->setCurrentIndex(-1);
  }
  void TearDown() override {
    w.reset();
    ProgramTest::TearDown();
  }
  double Snr() { return w->engine().state.SNR_Threshold; }
  std::unique_ptr<Frm_Main> w;
};

TEST_F(MainWindow, BodyBendsModeOnlyOnTheW96uPlate) {
  for (const char* plate : {"w96", "W96U"}) {
    w->txt_wellformat->setText(plate);
    w->chk_bodybends->show();
    ui::SetCheckValue(*w->chk_bodybends, 1);
    EXPECT_EQ(storage::Shared().Body_Bends, 0) << plate;
    EXPECT_EQ(ui::CheckValue(*w->chk_bodybends), 0) << plate;
    EXPECT_TRUE(w->chk_bodybends->isHidden()) << plate;
    EXPECT_TRUE(w->Cmd_histoplot->isHidden()) << plate;
  }
  EXPECT_TRUE(dialogs.log().empty());

  w->txt_wellformat->setText("w96u");
  w->chk_bodybends->show();
  dialogs.ExpectOk();
  ui::SetCheckValue(*w->chk_bodybends, 1);
  EXPECT_EQ(dialogs.log(),
            std::vector<std::string>{"WARNING!\r\nExperimental functionality! Beta testing.\r\n"
                                     "Contact us for more information"});
  EXPECT_EQ(storage::Shared().Body_Bends, 1);
  EXPECT_FALSE(w->Cmd_histoplot->isHidden());
  ui::SetCheckValue(*w->chk_bodybends, 0);
  EXPECT_EQ(storage::Shared().Body_Bends, 0);
  EXPECT_TRUE(w->Cmd_histoplot->isHidden());
  EXPECT_FALSE(w->chk_bodybends->isHidden());
}

TEST_F(MainWindow, OrganismSetsTheThresholdRow) {
  auto& s = storage::Shared();
  w->Cmb_organism->setCurrentIndex(0);
  EXPECT_EQ(s.MnAt(1, 0), 0);
  EXPECT_DOUBLE_EQ(Snr(), 1.8);
  EXPECT_EQ(w->txt_snr_umbral->text(), "1.8");
  EXPECT_TRUE(w->txt_snr_umbral->isHidden());
  EXPECT_EQ(w->lbl_umbral->text(), ">>>>");
  w->Cmb_organism->setCurrentIndex(1);
  EXPECT_DOUBLE_EQ(Snr(), 2.8);
  EXPECT_EQ(w->txt_snr_umbral->text(), "2.8");

  // Echinococcus takes the box's own value, raised to 1.8 at or below 1.4.
  const std::pair<const char*, double> cases[] = {
      {"1.2", 1.8}, {"1.4", 1.8}, {"1.5", 1.5}, {"", 1.8}};
  for (const auto& [text, expected] : cases) {
    w->Cmb_organism->setCurrentIndex(0);
    w->txt_snr_umbral->setText(text);
    w->Cmb_organism->setCurrentIndex(2);
    EXPECT_DOUBLE_EQ(Snr(), expected) << text;
    EXPECT_EQ(w->lbl_umbral->text(), "> Zero SNR:");
    EXPECT_FALSE(w->txt_snr_umbral->isHidden());
  }

  // Drosophila changes neither box nor label, but a low threshold is still raised.
  w->txt_snr_umbral->setText("0.7");
  w->engine().state.SNR_Threshold = 1.2;
  w->Cmb_organism->setCurrentIndex(3);
  EXPECT_EQ(s.MnAt(1, 0), 3);
  EXPECT_DOUBLE_EQ(Snr(), 1.8);
  EXPECT_EQ(w->txt_snr_umbral->text(), "1.8");
  EXPECT_EQ(w->lbl_umbral->text(), "> Zero SNR:");
}

TEST_F(MainWindow, LightTemperatureAndZeroBoxesCopyTheirState) {
  auto& s = storage::Shared();
  ui::SetCheckValue(*w->Chk_lenabled, 1);
  EXPECT_TRUE(w->engine().controls.Light_Enabled);
  EXPECT_EQ(s.MnAt(2, 0), 1);
  ui::SetCheckValue(*w->Chk_lenabled, 2);  // greyed counts as not ticked
  EXPECT_FALSE(w->engine().controls.Light_Enabled);
  EXPECT_EQ(s.MnAt(2, 0), 0);
  ui::SetCheckValue(*w->Chk_tenabled, 1);
  EXPECT_TRUE(w->engine().controls.Temp_Enabled);
  EXPECT_EQ(s.MnAt(3, 0), 1);
  ui::SetCheckValue(*w->mnZero, 1);
  EXPECT_TRUE(w->engine().controls.Auto_Zero);
  EXPECT_EQ(s.MnAt(1, 2), 1);
  EXPECT_TRUE(w->Cmd_autozero->isHidden());
  ui::SetCheckValue(*w->mnZero, 0);
  EXPECT_FALSE(w->engine().controls.Auto_Zero);
  EXPECT_FALSE(w->Cmd_autozero->isHidden());

  w->lbl_umbral_Click();
  EXPECT_EQ(w->lbl_umbral->text(), "> Zero SNR:");
  EXPECT_FALSE(w->txt_snr_umbral->isHidden());
  w->lbl_umbral_Click();
  EXPECT_EQ(w->lbl_umbral->text(), ">>>>");
  EXPECT_TRUE(w->txt_snr_umbral->isHidden());
}

// The controls one sees at the same time must not cover each other.
void ExpectApart(const std::vector<QWidget*>& widgets, const std::string& where) {
  for (size_t i = 0; i < widgets.size(); ++i) {
    EXPECT_FALSE(widgets[i]->geometry().isEmpty()) << where << " " << i;
    for (size_t j = i + 1; j < widgets.size(); ++j) {
      EXPECT_FALSE(widgets[i]->geometry().intersects(widgets[j]->geometry()))
          << where << ": " << i << " overlaps " << j;
    }
  }
}

TEST_F(MainWindow, LayoutScalesWithTheWindowWithoutOverlaps) {
  // 1200 x 800 pixels = 18000 x 12000 twips: MX 900, MY 300, CU 2700, RU 525.
  w->resize(1200, 800);
  w->LayoutMainWindow();
  EXPECT_EQ(w->PicPanel1->geometry(), QRect(30, 20, 738, 682));
  // The right panel starts at 4 CU + MX and leaves a gap after the left one.
  EXPECT_EQ(w->PicPanel2->x(), 780);
  EXPECT_EQ(w->PicPanel2->width(), 369);
  EXPECT_TRUE(w->frame_config->isHidden());
  EXPECT_TRUE(w->lbl_station->isHidden());
  EXPECT_TRUE(w->Label3->isHidden());
  EXPECT_FALSE(w->Frame_setup->isHidden());
  // The real-time view spans RT_Buffer + 20 samples.
  EXPECT_DOUBLE_EQ(w->Picreal->ScaleWidth(), 520);

  for (const QSize size : {QSize(1200, 800), QSize(640, 480)}) {
    w->resize(size);
    w->LayoutMainWindow();
    const std::string where = std::to_string(size.width()) + "x" + std::to_string(size.height());
    ExpectApart({w->PicPanel1, w->PicPanel2}, where);
    ExpectApart(
        {w->Cmd_barplot, w->Cmd_gridplot, w->Cmd_histoplot, w->Picact, w->Picreal, w->picturetime},
        where + " left");
    ExpectApart({w->Frame_setup, w->cmd_connect, w->Cmd_disconnect, w->CmdPause, w->CmdPlay,
                 w->CmdStop, w->Cmdreport, w->Cmdoffline},
                where + " right");
    for (QWidget* c : std::vector<QWidget*>{w->Picact, w->Picreal, w->picturetime}) {
      EXPECT_TRUE(w->PicPanel1->rect().contains(c->geometry())) << where;
    }
    for (QWidget* c : std::vector<QWidget*>{w->Frame_setup, w->CmdPlay, w->CmdStop, w->Cmdreport,
                                            w->Cmdoffline}) {
      EXPECT_TRUE(w->PicPanel2->rect().contains(c->geometry())) << where;
    }
  }
  // A window of a few pixels gives controls of no size, and no crash.
  w->resize(3, 3);
  w->LayoutMainWindow();
  EXPECT_EQ(w->CmdPlay->width(), 0);
}

TEST_F(MainWindow, RunParameterBoxesAreCheckedWhenLeft) {
  w->txt_pulsetimes->setText("3");
  w->RunParamLostFocus(acquisition::RunParamBox::txt_pulsetimes, w->txt_pulsetimes);
  EXPECT_EQ(storage::Shared().MnAt(2, 3), 3);
  EXPECT_FALSE(w->txt_lon->isEnabled());
  EXPECT_FALSE(w->txt_loff->isEnabled());
  w->txt_pulsetimes->setText("0");
  w->RunParamLostFocus(acquisition::RunParamBox::txt_pulsetimes, w->txt_pulsetimes);
  EXPECT_TRUE(w->txt_lon->isEnabled());
  // A refused SNR shows the message, puts the default back and selects organism 2.
  dialogs.ExpectOk();
  w->txt_snr_umbral->setText("abc");
  w->RunParamLostFocus(acquisition::RunParamBox::txt_snr_umbral, w->txt_snr_umbral);
  ASSERT_EQ(dialogs.log().size(), 1u);
  EXPECT_EQ(dialogs.log()[0].rfind("Invalid value: ", 0), 0u) << dialogs.log()[0];
  EXPECT_EQ(w->txt_snr_umbral->text().toStdString(),
            acquisition::RuleOf(acquisition::RunParamBox::txt_snr_umbral).default_text);
  EXPECT_EQ(w->Cmb_organism->currentIndex(), 2);
  EXPECT_EQ(w->lbl_umbral->text(), "> Zero SNR:");
}

TEST_F(MainWindow, ComMenuKeepsOneCheckMarkAndSavesThePort) {
  w->CheckComMenu(3);
  w->mncom1_Click(7);
  for (int n = 1; n <= 15; ++n) EXPECT_EQ(w->mncom1[n]->isChecked(), n == 7) << n;
  EXPECT_EQ(storage::Shared().Serial_COM, 7);
  EXPECT_EQ(testsupport::ReadBytes(folder / "config.dat"), ConfigBytes(1, 1, 7));
}

TEST_F(MainWindow, FactoryWindowOnlyOnlineAndStopped) {
  auto& s = storage::Shared();
  dialogs.ExpectOk().ExpectOk();
  s.Acq_State = 2;
  w->mn_factory_Click();
  s.Acq_State = 0;
  s.Offline_Mode = true;
  w->mn_factory_Click();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>(
                               2, "Only possible to access in: ONLINE mode and STOP experiment"));
  EXPECT_FALSE(ui::IsLoaded<service::Frm_Factory>());
  s.Offline_Mode = false;
  w->show();
  w->mn_factory_Click();
  ASSERT_TRUE(ui::IsLoaded<service::Frm_Factory>());
  EXPECT_TRUE(ui::Default<service::Frm_Factory>().isVisible());
  EXPECT_TRUE(ui::Default<service::Frm_Factory>().Timer_temp.isActive());
  EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindow, TechnicalMenuAsksForTheExactPassword) {
  dialogs.AnswerInput("fenix8306").ExpectOk().AnswerInput("").ExpectOk().CancelInput().ExpectOk();
  for (int i = 0; i < 3; ++i) w->mn_technical_Click();
  EXPECT_EQ(dialogs.log(),
            (std::vector<std::string>{"Enter Password", "Wrong Password", "Enter Password",
                                      "Wrong Password", "Enter Password", "Wrong Password"}));
  EXPECT_FALSE(ui::IsLoaded<service::Frm_Tech_cal>());
  dialogs.AnswerInput("Fenix8306");
  w->mn_technical_Click();
  ASSERT_TRUE(ui::IsLoaded<service::Frm_Tech_cal>());
  EXPECT_TRUE(ui::Default<service::Frm_Tech_cal>().isVisible());
}

TEST_F(MainWindow, ToolFramesAnnounceTheHardwareOnlyWhenShown) {
  auto& s = storage::Shared();
  w->Frame_light->hide();
  dialogs.ExpectOk();
  w->lght_ctl_Click();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Only available in some hardware versions"});
  EXPECT_FALSE(w->Frame_light->isHidden());
  EXPECT_EQ(s.Menu2, 1);
  w->lght_ctl_Click();
  EXPECT_TRUE(w->Frame_light->isHidden());
  EXPECT_EQ(s.Menu2, 0);
  w->Frame_temp->hide();
  dialogs.ExpectOk();
  w->temp_ctl_Click();
  EXPECT_EQ(s.Menu3, 1);
  EXPECT_EQ(dialogs.log().size(), 2u);
}

TEST_F(MainWindow, UserBinOffResetsTheReportSettings) {
  auto& s = storage::Shared();
  s.Bin = 45;
  w->mn_userbin->setChecked(false);
  w->mn_userbin_Click();
  EXPECT_EQ(s.Bin, 30);
  EXPECT_FALSE(testsupport::ReadBytes(folder / "repoconf.dat").empty());
  ASSERT_TRUE(ui::IsLoaded<reports::frm_reportset>());
  EXPECT_TRUE(ui::Default<reports::frm_reportset>().isVisible());
}

TEST_F(MainWindow, ShowMyReportFindsTheRunFiles) {
  auto& s = storage::Shared();
  s.Project_Path = folder.path().string();
  w->combo_minutes->setCurrentText("60");
  // Before any run: nothing visible.
  w->Cmdreport_Click();
  auto& report = ui::Default<reports::frm_report>();
  EXPECT_EQ(report.Cmb_binsize->currentText(), "60");
  EXPECT_FALSE(report.isVisible());
  // The recordings list open: the click only closes it.
  w->engine().state.Run_Folder = "20260101_1200";
  w->show();
  w->lst_report_export->show();
  w->Cmdreport_Click();
  EXPECT_TRUE(w->lst_report_export->isHidden());
  EXPECT_FALSE(report.isVisible());
  // No counts.bin.
  std::filesystem::create_directories(folder / "20260101_1200");
  dialogs.ExpectOk();
  w->Cmdreport_Click();
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Activity file not Found"});
  // A run without histograms, then one with them.
  testsupport::WriteBytes(folder / "20260101_1200" / "counts.bin", std::string(774, '\0'));
  w->Cmdreport_Click();
  EXPECT_TRUE(report.isVisible());
  EXPECT_EQ(report.Txt_inputfile->text().toStdString(), (folder / "20260101_1200").string());
  EXPECT_TRUE(report.Option_output[4]->isHidden());
  EXPECT_TRUE(report.Option_output[0]->isChecked());
  testsupport::WriteBytes(folder / "20260101_1200" / "histo0001.bin", "x");
  w->Cmdreport_Click();
  EXPECT_FALSE(report.Option_output[4]->isHidden());
  EXPECT_TRUE(report.Option_output[4]->isChecked());
}

TEST_F(MainWindow, AboutOpensCentredOverTheMainWindow) {
  w->show();
  w->setGeometry(40, 30, 700, 500);
  w->mnabout_Click();
  auto& about = ui::Default<mainwindow::Frm_About>();
  EXPECT_TRUE(about.isVisible());
  EXPECT_EQ(about.windowTitle(), "");
  EXPECT_EQ(about.frameGeometry().center(), w->frameGeometry().center());
}

TEST_F(MainWindow, HelpOpensItsFileAsADocumentNotAsACommand) {
  w->mncontent_Click();
  EXPECT_EQ(launcher.calls, std::vector<std::string>{"open: qnl_help.pdf"});
}

TEST_F(MainWindow, ViewAndStationButtonsCarryTheirCaptions) {
  EXPECT_EQ(w->Cmd_barplot->text(), "Bar Plot");
  EXPECT_EQ(w->Cmd_gridplot->text(), "Heatmap PLOT");
  EXPECT_EQ(w->Cmd_histoplot->text(), "BodyBends Histogram PLOT");
  EXPECT_EQ(w->cmd_stack_pos[0]->text(), "STATION1");
  EXPECT_EQ(w->cmd_stack_pos[3]->text(), "STATION4");
  EXPECT_EQ(w->lbl_station->text(), "STATION 1");
}

TEST_F(MainWindow, ExitAsksToSaveAndYesWritesTheProject) {
  auto& s = storage::Shared();
  const auto project = folder / "p00012";
  std::filesystem::create_directories(project);
  s.Project_Path = project.string();
  s.Actual_Project_Number = 12;
  s.Project_Name = "Larvae";
  s.Aq_lapse = 77;
  dialogs.AnswerNo();
  w->mnexit_Click();
  EXPECT_EQ(dialogs.log(),
            std::vector<std::string>{"Update values to project 12_Larvae before Exit?"});
  EXPECT_TRUE(ui::ProgramEnded());
  EXPECT_FALSE(std::filesystem::exists(project / "setup.dat"));

  ui::ResetProgramEnd();
  dialogs.AnswerYes();
  w->Form_Unload();
  EXPECT_TRUE(ui::ProgramEnded());
  const std::string setup = testsupport::ReadBytes(project / "setup.dat");
  EXPECT_NE(setup.find("12,\"Larvae\","), std::string::npos);
  EXPECT_NE(setup.find("\r\n1,77,"), std::string::npos);
  for (const char* file : {"status.dat", "threshld.dat", "groups.dat", "chgroup.dat"}) {
    EXPECT_TRUE(std::filesystem::exists(project / file)) << file;
  }

  // Offline: no question, nothing saved.
  ui::ResetProgramEnd();
  s.Offline_Mode = true;
  w->Form_Unload();
  EXPECT_TRUE(ui::ProgramEnded());
  EXPECT_EQ(dialogs.log().size(), 2u);
}

}  // namespace
}  // namespace mainwindow_test
