#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <optional>

#include "browser_fixture.h"
#include "storage/run_description.h"
#include "support/read_only_folder.h"

namespace offline_test {
namespace {

class Manage : public BrowserTest {
 protected:
  Manage() { WriteTestPlate(); }

  // Project 7: runs A (with a histogram file), B and B's station 2; project 8: run D.
  void MakeProjects() {
    project_ = MakeProject(7, "Dose response");
    run_a_ = MakeRun(project_, "20240315_0930", "Dose 1", {{0, {{0, 4}}}});
    testsupport::WriteBytes(run_a_ / "histo0000.bin", "");
    run_b_ = MakeRun(project_, "20240316_0930", "Dose 2", {{0, {{0, 5}}}});
    run_s2_ = MakeRun(project_, "20240316_0930_s2", "Station", {{0, {{0, 6}}}});
    other_ = MakeProject(8, "Other");
    run_d_ = MakeRun(other_, "20240401_0800", "Elsewhere", {{0, {{0, 7}}}});
  }
  std::string Line(const fs::path& folder) {
    return W().Listpj->item(LineOf(folder))->data(Qt::UserRole).toString().toStdString();
  }
  void Select(const std::vector<fs::path>& folders) {
    W().Listpj->clearSelection();
    for (const fs::path& f : folders) W().Listpj->item(LineOf(f))->setSelected(true);
  }

  fs::path project_, run_a_, run_b_, run_s2_, other_, run_d_;
};

TEST_F(Manage, RenameOffersTheStoredNamesAndCleansTheAnswer) {
  MakeProjects();
  testsupport::WriteBytes(project_ / "tags_id.dat", "20240315_0930 [K1] [K2]\r\n");
  LoadRun(run_a_);
  Choose(LineOf(run_a_));
  const int line = W().Listpj->currentRow();
  dialogs_.AnswerInput("Dose \"one\"\t");
  W().lst_rename_Click();
  EXPECT_EQ(dialogs_.log().back(), "Enter Name of acquisition");
  EXPECT_EQ(dialogs_.input_titles().back(), "Rename");
  EXPECT_EQ(dialogs_.input_defaults().back(), "Dose 1");  // no tag taken into the name
  EXPECT_EQ(storage::ReadSubprojectName(run_a_.string()), "Dose one");
  EXPECT_EQ(Line(run_a_), "  > 2024.0315\t ACQ09:30 \"Dose one\"\t\t[K1] [K2]");
  EXPECT_EQ(W().Listpj->currentRow(), line);
  EXPECT_EQ(W().Run_List_Folder, project_);

  dialogs_.CancelInput().AnswerInput("");
  W().lst_rename_Click();
  W().lst_rename_Click();
  EXPECT_EQ(storage::ReadSubprojectName(run_a_.string()), "Dose one");

  Choose(LineOf(project_));
  dialogs_.AnswerInput("Dose curve");
  W().lst_rename_Click();
  EXPECT_EQ(dialogs_.log().back(), "Enter Name of project");
  EXPECT_EQ(dialogs_.input_defaults().back(), "Dose response");
  EXPECT_EQ(Line(project_), "+ 2024.0315\tp00007_Dose curve");

  // A run folder gone behind the list's back: the rename fails and makes nothing.
  fs::remove_all(run_b_);
  Choose(LineOf(run_b_));
  dialogs_.AnswerInput("x");
  W().lst_rename_Click();
  EXPECT_EQ(LastBox(), "Error Renaming");
  EXPECT_FALSE(fs::exists(run_b_));
}

TEST_F(Manage, TagsOfSelectedRunsGoToEachRunsOwnProject) {
  MakeProjects();
  DoubleClickFolder(other_);
  Choose(LineOf(run_d_));
  W().tagjk_Click(1);
  EXPECT_EQ(LastBox(), "Tags Apply only to Subprojects (acquisitions)");
  W().Listpj_MouseDown(2);
  EXPECT_FALSE(W().mntag_jk->menuAction()->isVisible());
  W().mnrename->hide();

  LoadRun(run_a_);
  W().Listpj_MouseDown(2);
  EXPECT_TRUE(W().mntag_jk->menuAction()->isVisible());
  W().mnrename->hide();
  Select({run_d_, run_b_, run_a_});
  W().tagjk_Click(2);
  EXPECT_EQ(testsupport::ReadBytes(project_ / "tags_id.dat"),
            "20240316_0930 [K2]\r\n20240315_0930 [K2]\r\n");
  EXPECT_EQ(testsupport::ReadBytes(other_ / "tags_id.dat"), "20240401_0800 [K2]\r\n");
  EXPECT_EQ(Line(run_s2_), "  > 2024.0316_s2\t ACQ09:30 \"Station\"\t\t");

  LoadRun(run_a_);
  Select({run_a_, run_s2_});
  W().tagjk_Click(0);
  EXPECT_EQ(testsupport::ReadBytes(project_ / "tags_id.dat"),
            "20240316_0930 [K2]\r\n20240315_0930\r\n");
  W().tagjr_Click(3);
  EXPECT_EQ(W().tagjr[3]->text(), "");
}

TEST_F(Manage, TagsThatCannotBeKeptAreRefusedAndSaySo) {
  MakeProjects();
  const fs::path copy = MakeRun(project_, "20240315_0930 copy", "Copy", {{0, {{0, 4}}}});
  const fs::path file = project_ / "tags_id.dat";
  std::string full;
  for (int i = 0; i < 1000; ++i) full += "20230101_" + std::to_string(1000 + i) + " [K1]\r\n";
  // The runs selected, tags_id.dat before ("": none, in a read-only folder) and the box.
  // The first refusal ends the tagging: run A, listed after the copy, keeps its line.
  const std::tuple<std::vector<fs::path>, std::string, std::string> cases[] = {
      {{copy, run_a_}, "20240315_0930 [K2]\r\n",
       "Tags cannot be kept for a run whose folder name holds a blank:\r\n" + copy.string()},
      {{run_b_}, full,
       "The tag file is full (1000 lines): no run can be added to it:\r\n" + file.string()},
      {{run_b_}, "", "The tags could not be written to:\r\n" + file.string()},
  };
  for (const auto& [runs, before, box] : cases) {
    LoadRun(run_a_);
    fs::remove(file);
    if (!before.empty()) testsupport::WriteBytes(file, before);
    Select(runs);
    {
      std::optional<testsupport::ReadOnlyFolder> read_only;
      if (before.empty() && !read_only.emplace(project_).works()) GTEST_SKIP() << "no read-only";
      W().tagjk_Click(1);
    }
    EXPECT_EQ(LastBox(), box);
    EXPECT_EQ(testsupport::ReadBytes(file), before);
  }
}

TEST_F(Manage, ArchivingAsksTwiceAndTheRunLeavesTheList) {
  MakeProjects();
  LoadRun(run_b_);
  Choose(LineOf(project_));
  W().lst_delete_Click();
  EXPECT_EQ(LastBox(), "Remove function only available for subprojects");

  Choose(LineOf(run_b_));
  dialogs_.AnswerNo();
  W().lst_delete_Click();
  dialogs_.AnswerYes().AnswerCancel();
  W().lst_delete_Click();
  EXPECT_EQ(LastBox(), "Files are going to be archived!");
  storage::Shared().Acq_State = 2;
  storage::Shared().Run_Folder_Path = run_b_.string();
  W().lst_delete_Click();
  EXPECT_EQ(LastBox(), "This run is being recorded: it cannot be archived.");
  storage::Shared().Acq_State = 0;
  EXPECT_TRUE(fs::exists(run_b_));

  dialogs_.AnswerYes().AnswerOk();
  W().lst_delete_Click();
  EXPECT_EQ(LineOf(run_b_), -1);
  EXPECT_TRUE(fs::exists(project_ / "20240316_0930removed202405021431" / "counts.bin"));
  EXPECT_GE(LineOf(run_a_), 0);

  fs::remove_all(run_s2_);
  Choose(LineOf(run_s2_));
  dialogs_.AnswerYes().AnswerOk();
  W().lst_delete_Click();
  EXPECT_EQ(LastBox(), "Error");
  EXPECT_TRUE(dialogs_.Exhausted());
}

TEST_F(Manage, AfterAnArchiveThePlotsActOnlyOnARunThatIsThere) {
  MakeProjects();
  const auto blank = [this] {
    const QImage& shown = W().Picreal->Image();
    QImage empty(shown.size(), shown.format());
    empty.fill(shown.pixel(0, 0));
    return shown == empty;
  };
  using Plot = void (offline::Frm_offline::*)();
  const std::pair<const char*, Plot> plots[] = {
      {"grid", &offline::Frm_offline::Cmd_gridplot_Click},
      {"bars", &offline::Frm_offline::Cmd_barplot_Click},
      {"lines", &offline::Frm_offline::Cmd_lineplot_Click}};
  // The loaded run archived, another one found in its folder: the plots have no run,
  // and no box after the archive's two questions.
  LoadRun(run_b_);
  const size_t boxes = dialogs_.log().size();
  dialogs_.AnswerYes().AnswerOk();
  W().lst_delete_Click();
  EXPECT_FALSE(W().RunLoaded());
  Choose(LineOf(run_a_));
  W().lst_explorefind_Click();
  for (const auto& [name, plot] : plots) {
    (W().*plot)();
    EXPECT_EQ(dialogs_.log().size(), boxes + 2) << name << ": " << LastBox();
    EXPECT_TRUE(blank()) << name;
  }

  // Another run archived: the list highlights the loaded run again.
  LoadRun(run_a_);
  Choose(LineOf(run_s2_));
  dialogs_.AnswerYes().AnswerOk();
  W().lst_delete_Click();
  EXPECT_EQ(W().Listpj->currentRow(), LineOf(run_a_));

  // Its counts.bin gone behind the list's back: no plate of empty wells, and no bars
  // from the line plot's bins.
  W().Cmd_lineplot_Click();
  fs::remove(run_a_ / "counts.bin");
  for (const auto& [name, plot] : {plots[0], plots[1]}) {
    (W().*plot)();
    EXPECT_EQ(LastBox(), "Activity file not Found") << name;
    EXPECT_TRUE(blank()) << name;
  }
}

TEST_F(Manage, FindInFolderThenTheOrderToggleListsThatProjectsRuns) {
  MakeProjects();
  LoadRun(run_a_);
  Choose(LineOf(run_b_));
  W().lst_explorefind_Click();
  EXPECT_EQ(launcher_.calls.back(), "shell: explorer /select," + run_b_.string());
  Choose(LineOf(project_));
  W().lst_explorefind_Click();
  EXPECT_EQ(launcher_.calls.back(), "shell: explorer /select," + project_.string() + "/");
  EXPECT_EQ(W().Run_List_Folder, project_);

  W().lbl_date_Click();
  ASSERT_EQ(W().Listpj->count(), 3);
  EXPECT_EQ(W().Listpj->item(1)->text(), "20240316_0930 Dose 2");
  DoubleClick(1);
  EXPECT_EQ(W().Run().Chosen_Run_Path, run_b_);
  EXPECT_TRUE(W().Run_List_Folder.empty());
  launcher_.refuse = true;  // nothing can show the folder: the box says where it is
  Choose(LineOf(run_b_));
  W().lst_explorefind_Click();
  EXPECT_EQ(LastBox(), "No program could show the folder:\r\n" + run_b_.string());
}

TEST_F(Manage, ReportHandOffFillsTheReportWindowForTheLoadedRun) {
  MakeProjects();
  LoadRun(run_a_);
  // Another run tagged, searched for and renamed: the report stays on run A.
  Choose(LineOf(run_b_));
  W().tagjk_Click(1);
  W().txt_search->setText("dose");
  W().cmd_lupa_Click();
  Choose(LineOf(run_b_));
  dialogs_.AnswerInput("Renamed");
  W().lst_rename_Click();
  W().View_Mode = 4;
  W().Cmd_report_Click();
  auto& report = ui::Default<reports::frm_report>();
  EXPECT_TRUE(report.isVisible());
  EXPECT_EQ(W().View_Mode, 0);
  EXPECT_EQ(report.Txt_inputfile->text().toStdString(), run_a_.string());
  EXPECT_EQ(Entries(report.cmbbasal),
            (std::vector<std::string>{"-", "20240316_0930", "20240316_0930", "20240315_0930"}));
  EXPECT_EQ(report.cmbbasal->currentIndex(), 0);
  EXPECT_EQ(report.frm_report_frame->title(), W().lbl_subpj_title->text());
  EXPECT_FALSE(report.Option_output[4]->isHidden());
  EXPECT_TRUE(report.Option_output[4]->isChecked());

  report.hide();
  LoadRun(run_b_);
  W().Cmd_report_Click();
  EXPECT_TRUE(report.Option_output[4]->isHidden());
  EXPECT_TRUE(report.Option_output[0]->isChecked());
  EXPECT_EQ(report.frm_report_frame->title().toStdString(),
            " 2024.0316\t ACQ09:30 \"Renamed\"\t\t[K1]");

  report.hide();
  fs::remove(run_b_ / "counts.bin");
  W().mnadvanced_Click();
  EXPECT_EQ(LastBox(), "Activity file not Found");
  EXPECT_FALSE(report.isVisible());
}

TEST_F(Manage, DescriptionClickAndTheWatchedFolderTitle) {
  MakeProjects();
  LoadRun(run_a_);
  // A click into the box (to place the cursor) after typing keeps what was typed.
  W().Txt_description->setPlainText("typed");
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(W().Txt_description->viewport(), &press);
  EXPECT_TRUE(W().Description_Edited);
  W().Txt_description_LostFocus();
  EXPECT_EQ(storage::ReadSubprojectComments(run_a_.string()), "typed");

  dialogs_.AnswerInput(project_.string());
  W().Txtfolder_Click(0);
  EXPECT_EQ(dialogs_.input_titles().back(), "Folder");
}

// Counts the paints a widget makes while it is shown.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

TEST_F(Manage, KineticsShowProgressPerRunAndSayWhatIsMissing) {
  MakeProjects();
  fs::remove(run_s2_ / "counts.bin");
  std::string tags = "20240315_0930 [K1] [K2]\r\n20240316_0930 [K1]\r\n20240316_0930_s2 [K1]\r\n";
  for (int k = 0; k < 100; ++k) {
    const std::string id = "20240201_" + std::to_string(10 + k / 60) + (k % 60 < 10 ? "0" : "") +
                           std::to_string(k % 60);
    fs::create_directories(project_ / id);
    tags += id + " [K2]\r\n";
  }
  testsupport::WriteBytes(project_ / "tags_id.dat", tags);
  LoadRun(run_a_);
  offline::Frm_offline& w = W();
  w.show();
  QCoreApplication::processEvents();
  PaintCounter counter;
  w.Picreal->installEventFilter(&counter);
  w.List_tags->setCurrentRow(0);
  w.List_tags_DblClick();
  EXPECT_EQ(counter.paints, 3);
  EXPECT_EQ(LastBox(), "Activity file not Found into " + run_s2_.string());
  EXPECT_EQ(w.Tables().Bin_Count, 3);

  w.List_tags->setCurrentRow(1);
  w.List_tags_DblClick();
  EXPECT_EQ(LastBox(), "To many Tagged Sub_Projects! (max=99)");

  // Relativised kinetics of runs that are all gone draw nothing.
  w.List_tags->setCurrentRow(0);
  w.List_tags_DblClick();
  const QImage shown = w.Picreal->Image();
  for (const fs::path& run : {run_a_, run_b_, run_s2_}) fs::remove_all(run);
  w.mnrel0->setChecked(true);
  w.mnrel0_Click();
  EXPECT_EQ(LastBox(), "Tagged runs not found in " + project_.string() +
                           ": 20240315_0930 20240316_0930 20240316_0930_s2");
  EXPECT_EQ(w.Tables().Bin_Count, 0);
  EXPECT_TRUE(w.Picreal->Image() == shown);
}

}  // namespace
}  // namespace offline_test
