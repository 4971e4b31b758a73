#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/controls.h"
#include "mainwindow/frm_init.h"
#include "ui/program_end.h"
#include "browser_fixture.h"
#include "offline/forms/frm_offline.h"
#include "reports/forms/frm_report.h"
#include "storage/run_description.h"
#include "ui/caption_fit.h"
#include "ui/frame.h"

namespace offline_test {
namespace {

using offline::Frm_offline;

class Browser : public BrowserTest {
 protected:
  Browser() { WriteTestPlate(); }

  std::string Line(int i) {
    return W().Listpj->item(i)->data(Qt::UserRole).toString().toStdString();
  }
  std::vector<std::string> Boxes() const { return dialogs_.log(); }

  // Project 7 with two runs: A (groups Control on channels 0 and 1, Drug on 16) and B.
  void MakeDoseProject() {
    project_ = MakeProject(7, "Dose response");
    run_a_ = MakeRun(project_, "20240315_0930", "Dose 1",
                     {{0, {{0, 30}, {1, 40}, {16, 20}}}, {1, {{0, 10}, {1, 20}, {16, 10}}}},
                     {"wtest", 45, 2, 1, 0});
    WriteGroups(run_a_, {"Control", "Drug"}, {{0, 0}, {1, 0}, {16, 1}});
    testsupport::WriteBytes(run_a_ / "subproj.dat",
                            "\"Dose 1\"\r\n\"first line\r\nsecond line\"\r\n");
    run_b_ = MakeRun(project_, "20240316_0930", "Dose 2", {{0, {{0, 5}}}});
  }

  fs::path project_, run_a_, run_b_;
};

TEST_F(Browser, OpensFromTheStartWindowWithTheProjectsCollapsed) {
  MakeDoseProject();
  ui::Default<mainwindow::Frm_Init>().cmd_option3_Click();
  Frm_offline& w = W();
  EXPECT_TRUE(w.isVisible());
  ASSERT_EQ(w.Listpj->count(), 1);
  EXPECT_EQ(Line(0), "+ 2024.0315\tp00007_Dose response");
  EXPECT_EQ(w.lbl_orden->text(), "^");
  EXPECT_EQ(w.cmb_modeanalisis->count(), 2);
  EXPECT_EQ(w.frmtxt_threshold->text(), "1.8");
  EXPECT_FALSE(w.Txt_description->isVisible());
  w.Cmd_main_Click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(ui::Default<mainwindow::Frm_Init>().isVisible());
}

TEST_F(Browser, ARunLineLoadsTheRunAndDrawsItsBars) {
  MakeDoseProject();
  DoubleClick(0);  // expands
  ASSERT_EQ(W().Listpj->count(), 3);
  EXPECT_FALSE(W().RunLoaded());
  DoubleClickFolder(run_a_);
  Frm_offline& w = W();
  ASSERT_TRUE(w.RunLoaded());
  EXPECT_EQ(w.Run().Chosen_Run_Path, run_a_);
  EXPECT_EQ(w.lbl_pj_title->text(), "p00007_Dose response");
  EXPECT_EQ(w.lbl_subpj_title->text(), " 2024.0315\t ACQ09:30 \"Dose 1\"");
  EXPECT_EQ(
      w.txt_pj_details->toPlainText().toStdString(),
      "***** CONFIG ******\nMicroplate format: [wtest]\nAcquisition Lapse = 45min\nSetting: Mode2\n"
      "[Zebrafish SNR=1.8]\n");
  EXPECT_EQ(w.Txt_description->toPlainText(), "first line\nsecond line");
  EXPECT_FALSE(w.Description_Edited);
  auto& report = ui::Default<reports::frm_report>();
  EXPECT_FALSE(report.isVisible());
  EXPECT_EQ(report.Cmb_organism->currentIndex(), 1);
  EXPECT_EQ(report.Cmb_dspmethod->currentIndex(), 2);
  EXPECT_EQ(report.frmtxt_threshold->text(), "1.8");
  EXPECT_EQ(w.lstgrup_plot->count(), 2);
  EXPECT_EQ(w.lstgrup_plot->item(0)->text(), "000_Control");
  EXPECT_EQ(w.View_Mode, 0);
  // Control: (30 + 40 + 10 + 20) / 2 = 50; the first bar is the selected one.
  EXPECT_EQ(w.Tables().At(1, 0), 50);
  EXPECT_EQ(w.Picreal->ScaleTop(), 52.5);
  EXPECT_EQ(w.Picreal->Point(16, 25), ui::RGB(200, 200, 200));
  EXPECT_EQ(w.Picreal->Point(26, 10), ui::RGB(220, 220, 220));
  EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

TEST_F(Browser, AFailedLoadSaysWhyAndKeepsThePreviousRun) {
  MakeDoseProject();
  const fs::path bad = MakeRun(project_, "20240317_0930", "No plate", {{0, {}}}, {"wnone"});
  DoubleClick(0);
  DoubleClickFolder(run_a_);
  DoubleClickFolder(bad);
  EXPECT_EQ(Boxes().back(), "Multiwell Configuration File wnone.dat or .bak not found");
  EXPECT_EQ(W().Run().Chosen_Run_Path, run_a_);
  EXPECT_EQ(W().lbl_pj_title->text(), "p00007_Dose response");
}

TEST_F(Browser, DescriptionIsSavedOnlyFromTypingAndOnlyToTheLoadedRun) {
  MakeDoseProject();
  const fs::path other = MakeProject(8, "Other");
  MakeRun(other, "20240401_0800", "x", {{0, {}}});
  DoubleClickFolder(project_);
  DoubleClickFolder(run_b_);  // no comments: the placeholder
  Frm_offline& w = W();
  EXPECT_EQ(w.Txt_description->toPlainText(), "Protocol Comments:");
  w.Txt_description_LostFocus();
  w.Txt_description->setPlainText("Protocol Comments:");  // typed back to the placeholder
  w.Txt_description_LostFocus();
  EXPECT_EQ(testsupport::ReadBytes(run_b_ / "subproj.dat"), "\"Dose 2\"\r\n\"\"\r\n");

  w.Txt_description->setPlainText("Vehicle\nday 2");
  EXPECT_TRUE(w.Description_Edited);
  // Listing another project and searching change nothing of where it is saved.
  DoubleClickFolder(other);
  w.txt_search->setText("other");
  w.cmd_lupa_Click();
  w.Txt_description_LostFocus();
  EXPECT_FALSE(w.Description_Edited);
  EXPECT_EQ(storage::ReadSubprojectComments(run_b_.string()), "Vehicle\r\nday 2");
  EXPECT_EQ(storage::ReadSubprojectName(run_b_.string()), "Dose 2");
  EXPECT_EQ(storage::ReadSubprojectComments((other / "20240401_0800").string()), "");
}

TEST_F(Browser, SearchSelectsMatchesAndAnEmptySearchCollapses) {
  MakeDoseProject();
  MakeProject(9, "Unrelated");
  Frm_offline& w = W();
  DoubleClick(1);  // p00007 (last first) expanded
  ASSERT_EQ(w.Listpj->count(), 4);
  w.txt_search->setText("\"dose 2\"");
  w.cmd_lupa_Click();
  EXPECT_EQ(w.Search_Text, "\"dose 2\"");
  EXPECT_TRUE(w.txt_search->text().isEmpty());
  std::vector<int> selected;
  for (int i = 0; i < w.Listpj->count(); ++i)
    if (w.Listpj->item(i)->isSelected()) selected.push_back(i);
  EXPECT_EQ(selected, (std::vector<int>{1, 2}));  // the project line and run B
  w.cmd_lupa_Click();
  EXPECT_EQ(w.Listpj->count(), 2);
  EXPECT_TRUE(w.Search_Text.empty());
}

TEST_F(Browser, OrderToggleAndTheProjectCountCheck) {
  MakeDoseProject();
  MakeProject(9, "Nine");
  Frm_offline& w = W();
  EXPECT_EQ(Line(0), "+         \tp00009_Nine");
  w.lbl_date_Click();
  EXPECT_EQ(w.lbl_orden->text(), "v");
  EXPECT_EQ(Line(0), "+ 2024.0315\tp00007_Dose response");
  // Projects made behind the list's back: the double click says so and collapses.
  MakeProject(10, "Ten");
  MakeProject(11, "Eleven");
  DoubleClick(0);
  EXPECT_EQ(Boxes().back(), "ERROR:#pj4>2");
  EXPECT_EQ(w.Listpj->count(), 4);
}

TEST_F(Browser, WatchedFoldersHoverAndTags) {
  MakeDoseProject();
  Frm_offline& w = W();
  dialogs_.AnswerInput(project_.string()).AnswerInput("/no/such/folder");
  w.Txtfolder_Click(1);
  w.Txtfolder_Click(2);
  EXPECT_EQ(w.Txtfolder[1]->text().toStdString(), project_.string());
  EXPECT_EQ(w.Txtfolder[2]->text(), "_folder3");
  EXPECT_EQ(testsupport::ReadBytes(Home() / "foldview.dat"),
            "_folder1\r\n" + project_.string() + "\r\n_folder3\r\n_folder4\r\n_folder5\r\n");

  w.lbl_date_MouseMove();
  EXPECT_EQ(w.lbl_date->palette().color(QPalette::WindowText), QColor(0, 255, 0));
  EXPECT_TRUE(w.Timer_button.isActive());
  w.Timer_button_Timer();
  EXPECT_EQ(w.lbl_date->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_EQ(w.lblproject->palette().color(QPalette::WindowText), QColor(0, 0, 255));

  testsupport::WriteBytes(project_ / "tags_id.dat", "20240315_0930 [K1] [K3]\r\n");
  DoubleClick(0);
  DoubleClickFolder(run_a_);
  ASSERT_EQ(w.List_tags->count(), 2);
  EXPECT_EQ(w.List_tags->item(1)->text(), "[K3]");
  EXPECT_FALSE(w.List_tags->isHidden());
}

TEST_F(Browser, LinesKineticsAndTheJointReport) {
  MakeDoseProject();
  testsupport::WriteBytes(project_ / "tags_id.dat",
                          "20240315_0930 [K1]\r\n20240316_0930 [K1]\r\n../p00001 [K1]\r\n");
  Frm_offline& w = W();
  DoubleClick(0);
  DoubleClickFolder(run_a_);
  w.Cmd_lineplot_Click();
  EXPECT_EQ(w.View_Mode, 4);
  EXPECT_EQ(w.txt_binsize->text(), "5");  // a 45-minute run
  EXPECT_FALSE(w.Frame_bisize->isHidden());

  w.List_tags->setCurrentRow(0);
  w.List_tags_DblClick();
  EXPECT_TRUE(w.Tag_Mode);
  EXPECT_EQ(w.Tag_List, "20240315_0930 20240316_0930 ../p00001");
  EXPECT_EQ(Boxes().back(), "Tagged runs not found in " + project_.string() + ": ../p00001");
  EXPECT_EQ(w.Tables().Bin_Count, 2);

  ui::Default<reports::frm_report>().txt_customspacer->setText("");
  w.mn_jointexport_Click();
  const fs::path report = project_ / "joint_report20240502140731.csv";
  ASSERT_EQ(launcher_.calls.back(), "shell: explorer " + report.string());
  EXPECT_EQ(testsupport::ReadBytes(report),
            "Joint Report [2024-05-02 14:07.31]\r\nAcq:;20240315_0930;20240316_0930\r\n\r\n"
            "Group/Time[min];0;1440\r\n[#000_Control];50;2\r\n[#001_Drug];30;0\r\n\r\n");
  launcher_.refuse = true;  // from here nothing can open what is written: the box says where
  w.mn_jointexport_Click();
  EXPECT_EQ(Boxes().back(),
            "No program could open the joint report. It is saved as:\r\n" + report.string());

  // A report that cannot be written says so.
  fs::remove(report);
  fs::create_directories(report / "in the way");
  const size_t launches = launcher_.calls.size();
  w.mn_jointexport_Click();
  EXPECT_EQ(Boxes().back(), "The joint report could not be written: " + report.string());
  EXPECT_EQ(launcher_.calls.size(), launches);

  w.mn_jointbmp_Click();
  EXPECT_TRUE(fs::exists(Home() / "image1.bmp"));
  EXPECT_EQ(launcher_.calls.back(), "shell: mspaint " + (Home() / "image1.bmp").string());
  EXPECT_EQ(Boxes().back(), "No program could open the picture. It is saved as:\r\n" +
                                (Home() / "image1.bmp").string());
}

TEST_F(Browser, DamagedRunsAndTinyWindowsDoNotBreakIt) {
  MakeDoseProject();
  // Short and wild counts.bin records, a group file with huge numbers, no threshld.dat.
  const fs::path wild =
      MakeRun(project_, "20240320_0930", "wild", {{2000000000, {{0, 32767}}}, {-5, {{1, -3}}}});
  testsupport::WriteBytes(wild / "counts.bin", testsupport::ReadBytes(wild / "counts.bin") + "xyz");
  testsupport::WriteBytes(wild / "chgroup.dat", Crlf({"\"h\"", "0,40000", "1,abc"}));
  Frm_offline& w = W();
  DoubleClick(0);
  DoubleClickFolder(wild);
  ASSERT_EQ(w.Run().Chosen_Run_Path, wild);
  w.Cmd_gridplot_Click();
  w.Cmd_lineplot_Click();
  w.cmd_plus_Click();
  w.cmd_minus_Click();
  w.Cmd_barplot_Click();
  EXPECT_LE(w.Tables().Bin_Count, offline::kMaxBins);
  // A run whose counts.bin went away: the message, nothing drawn from elsewhere.
  fs::remove(run_b_ / "counts.bin");
  DoubleClickFolder(run_b_);
  EXPECT_EQ(Boxes().back(), "Activity file not Found");
  w.showNormal();
  for (const QSize size : {QSize(12, 9), QSize(1024, 720)}) {
    w.resize(size);
    QCoreApplication::processEvents();
    w.ArrangeControls();
  }
  EXPECT_GT(w.Picreal->width(), 400);
  // The picture check box's caption shows whole within the plot buttons' frame.
  EXPECT_LE(ui::CaptionWidth(*w.chk_bmp), w.chk_bmp->width());
  EXPECT_TRUE(w.frame_plotbutton->rect().contains(w.chk_bmp->geometry()));
}

}  // namespace
}  // namespace offline_test
