// Program start-up: the command line, the configuration check, the open project, the
// start-up steps and what the load puts into the main window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/controls.h"
#include "mainwindow_fixture.h"

namespace mainwindow_test {
namespace {

using mainwindow::Frm_Init;
using mainwindow::Frm_Main;

TEST(StartupLogic, OnlyThreeSpellingsOfRunStartUnattended) {
  for (const char* yes : {"/run", "/RUN", "  /Run  "})
    EXPECT_TRUE(mainwindow::IsAutoRunCommandLine(yes)) << yes;
  for (const char* no : {"/rUn", "-run", "/run now", "", "   "})
    EXPECT_FALSE(mainwindow::IsAutoRunCommandLine(no)) << no;
}

TEST(StartupLogic, OnlyAProjectFolderThatExistsIsOpened) {
  testsupport::TempProgramFolder folder;
  std::filesystem::create_directories(folder / "p00003");
  testsupport::WriteBytes(folder / "p00004", "x");  // a file named like a project folder
  const auto three = mainwindow::ChooseProject(folder.path(), 3);
  EXPECT_EQ(three.number, 3);
  EXPECT_EQ(three.path, folder / "p00003");
  for (int missing : {7, 4, -2}) {
    const auto chosen = mainwindow::ChooseProject(folder.path(), missing);
    EXPECT_EQ(chosen.number, 0) << missing;
    EXPECT_EQ(chosen.path, folder.path()) << missing;
  }
}

TEST(StartupLogic, OrganismTextsOfTheSizeCodes) {
  EXPECT_EQ(mainwindow::OrganismTextForCode(1), "Zebrafish(larvae)");
  EXPECT_EQ(mainwindow::OrganismTextForCode(9), "size >1mm");
  EXPECT_FALSE(mainwindow::OrganismTextForCode(5).has_value());
}

using Startup = ProgramTest;

TEST_F(Startup, WithoutConfigFileTheProgramEndsWithItsMessage) {
  dialogs.ExpectOk();
  Start();
  EXPECT_EQ(dialogs.log(),
            std::vector<std::string>{"Config file not found: Check correct software installation"});
  EXPECT_TRUE(ui::ProgramEnded());
  EXPECT_NE(ui::ProgramExitCode(), 0);
  EXPECT_FALSE(ui::IsLoaded<Frm_Init>());
}

TEST_F(Startup, LoadsTheProjectAndLeavesTheStartWindowWaiting) {
  MakeProject(5, "Larvae", "w96", [](storage::SharedState& s) {
    s.Aq_lapse = 45;
    s.MnAt(1, 0) = 2;   // Echinococcus: the SNR box shows
    s.MnAt(1, 3) = 12;  // 1.2 is raised to 1.8
    s.MnAt(1, 1) = 0;   // no automatic calibration
    s.MnAt(1, 2) = 1;
    s.MnAt(2, 0) = 1;
    s.MnAt(2, 1) = 0;
    s.MnAt(2, 2) = 0;
    s.MnAt(3, 1) = 600;
  });
  WriteConfig(5);
  WriteReportConfig(1, 45);
  Frm_Main& w = Start();
  ASSERT_FALSE(ui::ProgramEnded()) << (dialogs.log().empty() ? "" : dialogs.log()[0]);
  EXPECT_TRUE(dialogs.log().empty()) << dialogs.log()[0];
  const auto& s = storage::Shared();

  EXPECT_EQ(s.Actual_Project_Number, 5);
  EXPECT_EQ(s.Project_Path, (folder / "p00005").string());
  EXPECT_EQ(s.Load_Step, 9);
  EXPECT_EQ(w.Start_Step, 4);
  EXPECT_FALSE(w.Auto_Run());
  EXPECT_FALSE(w.Timerinicio.isActive());

  auto& init = ui::Default<Frm_Init>();
  EXPECT_TRUE(init.isVisible());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.txt_projecto->text(), "5_Larvae");
  EXPECT_FALSE(w.mnstatustest->isVisible());  // the device test entry stays hidden
  // Organism 2 with 1.2 in the box: the box shows, the threshold is raised.
  EXPECT_EQ(w.Cmb_organism->currentIndex(), 2);
  EXPECT_EQ(w.lbl_umbral->text(), "> Zero SNR:");
  EXPECT_EQ(w.txt_snr_umbral->text(), "1.8");
  EXPECT_DOUBLE_EQ(w.engine().state.SNR_Threshold, 1.8);
  // Calibration and zero switches.
  EXPECT_EQ(ui::CheckValue(*w.mnCalibra), 0);
  EXPECT_FALSE(w.cmd_calibra->isHidden());
  EXPECT_TRUE(w.Cmd_autozero->isHidden());
  EXPECT_TRUE(w.engine().controls.Auto_Zero);
  EXPECT_FALSE(w.engine().controls.Auto_Calibration);
  // Light hours 0 and 0 become 9 and 21; the set-point 600 becomes 20.0.
  EXPECT_EQ(w.txt_lon->text(), "9");
  EXPECT_EQ(w.txt_loff->text(), "21");
  EXPECT_TRUE(w.engine().controls.Light_Enabled);
  EXPECT_EQ(s.Menu2, 1);
  EXPECT_EQ(s.MnAt(3, 1), 200);
  EXPECT_EQ(w.txttemp->text(), "20.0");
  // The tool frames stay hidden whatever the project says.
  EXPECT_TRUE(w.Frame_light->isHidden());
  EXPECT_TRUE(w.Frame_temp->isHidden());
  // The user-defined report bin.
  EXPECT_TRUE(w.mn_userbin->isChecked());
  EXPECT_EQ(w.combo_minutes->currentText(), "45");
}

TEST_F(Startup, DefaultProjectWhenTheConfiguredFolderIsMissing) {
  WriteConfig(7);
  WriteReportConfig(0, 30);
  dialogs.AllowAnyOk();  // the Default project's files are missing: their loaders say so
  Frm_Main& w = Start();
  ASSERT_FALSE(ui::ProgramEnded());
  EXPECT_EQ(storage::Shared().Actual_Project_Number, 0);
  EXPECT_EQ(storage::Shared().Project_Path, folder.path().string());
  EXPECT_FALSE(w.mn_userbin->isChecked());
  EXPECT_EQ(w.combo_minutes->currentText(), "30");
  // Organism 0 by default: 1.8 and the box hidden.
  EXPECT_EQ(w.txt_snr_umbral->text(), "1.8");
  EXPECT_TRUE(w.txt_snr_umbral->isHidden());
}

TEST_F(Startup, GarbageConfigAndOutOfRangeProjectValuesDoNotEndStartUp) {
  MakeProject(1, "Sizes", "w96", [](storage::SharedState& s) {
    s.MnAt(1, 0) = 8;  // a size class: no entry of the organism list
    s.MnAt(1, 1) = 7;  // no check box value
    s.MnAt(2, 0) = -3;
  });
  testsupport::WriteBytes(folder / "config.dat", std::string("\x01\xff garbage,,\r\n", 14));
  WriteReportConfig(0, 30);
  dialogs.AllowAnyOk();
  Frm_Main& w = Start();
  ASSERT_FALSE(ui::ProgramEnded());
  // The damaged config.dat gives its defaults: project 1.
  EXPECT_EQ(storage::Shared().Actual_Project_Number, 1);
  EXPECT_EQ(w.Cmb_organism->currentIndex(), 0);
  EXPECT_EQ(storage::Shared().MnAt(1, 0), 0);
  EXPECT_EQ(ui::CheckValue(*w.mnCalibra), 1);
  EXPECT_EQ(ui::CheckValue(*w.Chk_lenabled), 0);
  EXPECT_FALSE(w.engine().controls.Light_Enabled);
}

TEST_F(Startup, EachStepWritesItsCaption) {
  MakeProject(1, "Steps", "w96");
  WriteConfig(1);
  WriteReportConfig(0, 30);
  Frm_Main& w = Start();
  ASSERT_FALSE(ui::ProgramEnded());
  auto& news = *ui::Default<Frm_Init>().LblNews;
  const std::pair<int, const char*> steps[] = {{0, "STARTING........... Reading Configuration..."},
                                               {1, "STARTING........... Configuration OK..."},
                                               {2, "status = not connected yet"},
                                               {3, "status = not connected yet"},
                                               {4, "status = not connected yet"}};
  for (const auto& [step, caption] : steps) {
    w.Start_Step = static_cast<int16_t>(step);
    w.Start_Step_Done = 0;
    w.Timerinicio.start();
    w.Timerinicio_Timer();
    EXPECT_FALSE(w.Timerinicio.isActive());
    EXPECT_EQ(w.Start_Step_Done, 1) << step;
    EXPECT_EQ(news.text(), caption) << step;
  }
  // Steps 5 and 6 without "/run", and a step that does not exist, only stop the timer.
  for (int step : {5, 6, 7, -1}) {
    w.Start_Step = static_cast<int16_t>(step);
    w.Start_Step_Done = 0;
    w.Timerinicio.start();
    w.Timerinicio_Timer();
    EXPECT_FALSE(w.Timerinicio.isActive());
    EXPECT_EQ(w.Start_Step_Done, 0) << step;
    EXPECT_FALSE(w.isVisible());
  }
  EXPECT_TRUE(dialogs.log().empty());
}

TEST_F(Startup, TheProjectsThresholdSurvivesTheLoadAndActivation) {
  // Drosophila with 1.2 in the box keeps 1.2: only organisms 0 to 2 raise it.
  MakeProject(3, "Flies", "w96", [](storage::SharedState& s) {
    s.MnAt(1, 0) = 3;
    s.MnAt(1, 3) = 12;
  });
  WriteConfig(3);
  WriteReportConfig(0, 30);
  Frm_Main& w = Start();
  ASSERT_FALSE(ui::ProgramEnded());
  EXPECT_DOUBLE_EQ(w.engine().state.SNR_Threshold, 1.2);
  // The window's scale and threshold are no run buffers: showing it keeps them.
  w.Cmb_organism->setCurrentIndex(1);
  ASSERT_DOUBLE_EQ(w.engine().state.SNR_Threshold, 2.8);
  w.engine().state.Plot_Scale = 2.5;
  w.Show();
  EXPECT_DOUBLE_EQ(w.engine().state.SNR_Threshold, 2.8);
  EXPECT_DOUBLE_EQ(w.engine().state.Plot_Scale, 2.5);
}

// The box's value is raised to 1.8 at 1.4 as below it, in the box and in the count.
TEST_F(Startup, AnEchinococcusBoxOfOnePointFourCountsAtOnePointEight) {
  MakeProject(2, "Cysts", "w96", [](storage::SharedState& s) {
    s.MnAt(1, 0) = 2;
    s.MnAt(1, 3) = 14;
  });
  WriteConfig(2);
  WriteReportConfig(0, 30);
  Frm_Main& w = Start();
  ASSERT_FALSE(ui::ProgramEnded());
  EXPECT_EQ(w.txt_snr_umbral->text(), "1.8");
  EXPECT_DOUBLE_EQ(w.engine().state.SNR_Threshold, 1.8);
}

TEST_F(Startup, ActivationRefreshesOnlyAStoppedWindow) {
  MakeProject(2, "Flies", "w96u");
  WriteConfig(2);
  WriteReportConfig(0, 30);
  Frm_Main& w = Start();
  ASSERT_FALSE(ui::ProgramEnded());
  auto& s = storage::Shared();

  s.Project_Name = "Renamed";
  s.Aq_lapse = 90;
  w.engine().state.Count_Total[5] = 7;
  w.engine().state.Run_Folder = "20260101_1200";
  w.Show();
  EXPECT_EQ(w.txt_projecto->text(), "2_Renamed");
  EXPECT_EQ(w.txt_acqlapse->text(), "90");
  EXPECT_EQ(w.txt_wellformat->text(), "w96u");
  EXPECT_EQ(w.engine().state.Count_Total[5], 0);
  EXPECT_EQ(w.engine().state.Run_Folder, "20260101_1200");
  // Body-bends mode is reachable on the "w96u" plate.
  EXPECT_TRUE(w.chk_bodybends->isVisible());
  EXPECT_TRUE(w.chk_bodybends->isEnabled());

  // A paused run keeps its totals; the description is unlocked in every case.
  s.Acq_State = 2;
  s.Project_Name = "Paused";
  w.engine().state.Count_Total[5] = 9;
  w.Txt_description->setReadOnly(true);
  w.Form_Activate();
  EXPECT_EQ(w.engine().state.Count_Total[5], 9);
  EXPECT_EQ(w.txt_projecto->text(), "2_Renamed");
  EXPECT_FALSE(w.Txt_description->isReadOnly());
  s.Acq_State = 0;

  // Another plate hides, unticks and disables the box.
  s.Plate_format = "w96";
  w.Form_Activate();
  EXPECT_TRUE(w.chk_bodybends->isHidden());
  EXPECT_FALSE(w.chk_bodybends->isEnabled());
  EXPECT_EQ(ui::CheckValue(*w.chk_bodybends), 0);
}

}  // namespace
}  // namespace mainwindow_test
