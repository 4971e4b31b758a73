#include "offline/group_editor.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <set>

#include "browser_fixture.h"
#include "support/folder_sync_fault.h"
#include "support/kill_at.h"
#include "ui/caption_fit.h"
#include "ui/fit_button.h"
#include "ui/frame.h"

namespace offline_test {
namespace {

using ui::OpKind;

// An 8 x 12 plate of pitch 2: well (row r, column c) has beam 0 on channel 32c + 2r and
// beam 1 on the next channel.
int Beam0(int r, int c) { return 32 * c + 2 * r; }

class Editor : public BrowserTest {
 protected:
  Editor() {
    std::vector<std::tuple<int, int, int>> channels;
    for (int c = 0; c < 12; ++c)
      for (int r = 0; r < 8; ++r) {
        channels.emplace_back(Beam0(r, c), 8 * c + r, 0);
        channels.emplace_back(Beam0(r, c) + 1, 8 * c + r, 1);
      }
    WritePlate("w8x12", 8, 12, channels, 2.0);
    WritePlate("w2x3", 2, 3,
               {{0, 0, 0}, {1, 1, 0}, {16, 2, 0}, {17, 3, 0}, {32, 4, 0}, {33, 5, 0}});
    project_ = MakeProject(3, "Plates");
    run_ = MakeRun(project_, "20240315_0930", "Plate run", {{0, {{0, 1}}}}, {"w8x12"});
    // Groups 0..5 on wells A1..F1; B1's beam 1 (channel 3) disabled, in group 5.
    WriteGroups(run_, {"Control", "Drug"},
                {{0, 0}, {1, 0}, {2, 1}, {3, 5}, {4, 2}, {6, 3}, {8, 4}, {10, 5}});
    std::string status = "\"<Channel>, <Enabled>\"\r\n";
    for (int ch = 0; ch < 384; ++ch) status += std::to_string(ch) + (ch == 3 ? ",0\r\n" : ",1\r\n");
    testsupport::WriteBytes(run_ / "status.dat", status);
    groups_before_ = testsupport::ReadBytes(run_ / "groups.dat");
    chgroup_before_ = testsupport::ReadBytes(run_ / "chgroup.dat");
  }

  void Open() {
    LoadRun(run_);
    Choose(LineOf(run_));
    W().lst_plateconfig_Click();
  }
  int GroupOf(int channel) { return W().Run().Run_Group[static_cast<size_t>(channel)]; }
  // Both beams of well (row r, column c) in `group`; channel 3 (B1's disabled beam 1)
  // is checked apart.
  void ExpectWellIn(int r, int c, int group) {
    EXPECT_EQ(GroupOf(Beam0(r, c)), group) << r << "," << c;
    if (Beam0(r, c) + 1 != 3) {
      EXPECT_EQ(GroupOf(Beam0(r, c) + 1), group) << r << "," << c;
    }
  }
  void ChooseGroup(int group) {
    for (int i = 0; i < W().combogrup2->count(); ++i)
      if (W().combogrup2->item(i)->data(Qt::UserRole).toInt() == group)
        W().combogrup2->setCurrentRow(i);
  }
  // A press at one point and a release at another, as the mouse makes them.
  void Drag(int button, double x1, double y1, double x2, double y2) {
    W().Picreal_MouseMove(0, 0, x1, y1);
    W().Picreal_MouseDown(button, 0, x1, y1);
    W().Picreal_MouseMove(button, 0, x2, y2);
    W().Picreal_MouseUp(button, 0, x2, y2);
  }
  // The middle of well cell (row, column).
  static double X(int c) { return 200.0 * c + 100; }
  static double Y(int r) { return 200.0 * r + 100; }

  fs::path project_, run_;
  std::string groups_before_, chgroup_before_;
};

TEST_F(Editor, OpensOnTheLoadedRunWithItsBlockSetsAndGroupList) {
  LoadRun(run_);
  Choose(LineOf(project_));
  W().Chosen_Line_Kind = 0;
  W().lst_plateconfig_Click();
  EXPECT_EQ(LastBox(), "Only possible for SubProjects");
  EXPECT_EQ(W().View_Mode, 0);

  Open();
  offline::Frm_offline& w = W();
  EXPECT_EQ(w.View_Mode, 3);
  EXPECT_EQ(w.Editor_Opened, 1);
  EXPECT_FALSE(w.Framegrup->isHidden());
  for (QWidget* off :
       std::initializer_list<QWidget*>{w.Listpj, w.Cmd_report, w.Cmd_main, w.frame_plotbutton})
    EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
  EXPECT_FALSE(w.mnadvanced->isEnabled());
  ASSERT_EQ(w.Combo_sets->count(), 24);
  EXPECT_EQ(w.Combo_sets->itemText(0), "01x01 [RowsxColumn]");
  EXPECT_EQ(w.Combo_sets->currentText(), "04x01 [RowsxColumn]");
  EXPECT_EQ(w.Combo_sets->itemText(23), "08x12 [RowsxColumn]");
  EXPECT_EQ(Entries(w.combogrup2),
            (std::vector<std::string>{"000_Control", "001_Drug", "002_Free", "003_Free", "004_Free",
                                      "005_Free", "006_Free"}));
  EXPECT_EQ(Entries(w.lstgrup2), (std::vector<std::string>{"A1"}));
  EXPECT_EQ(w.lstchgrup2->count(), 96 * 2 - 1 - 7);  // less disabled and grouped channels
  EXPECT_EQ(w.Picreal->ScaleLeft(), -50);
  EXPECT_EQ(w.Picreal->ScaleTop(), -50);
  EXPECT_EQ(w.Picreal->Point(200, 150), ui::RGB(255, 0, 0));  // a cell's edge
  // The names of groups used but still "Free" become their own from the next list on.
  w.FillEditorGroupCombo(3);
  EXPECT_EQ(w.combogrup2->currentItem()->text(), "003_Group3");
}

TEST_F(Editor, ASmallPlateHasFourBlockSetsAndNoGroupsOnlyGroupZero) {
  const fs::path small = MakeRun(project_, "20240316_0930", "Small", {{0, {}}}, {"w2x3"});
  WriteGroups(small, {}, {});
  LoadRun(small);
  W().mn_plateedit_Click();
  EXPECT_EQ(Entries(W().Combo_sets),
            (std::vector<std::string>{"01x01 [RowsxColumn]", "02x01 [RowsxColumn]",
                                      "01x03 [RowsxColumn]", "02x03 [RowsxColumn]"}));
  EXPECT_EQ(W().Combo_sets->currentIndex(), 2);
  EXPECT_EQ(Entries(W().combogrup2), (std::vector<std::string>{"000_Free"}));
  EXPECT_EQ(W().View_Mode, 3);
}

TEST_F(Editor, TheSetChooserShowsItsWidestSetWholeBesideTheLabelButtonAndList) {
  Open();
  offline::Frm_offline& w = W();
  w.showNormal();
  for (const QSize size : {QSize(1024, 720), QSize(1600, 1000)}) {
    w.resize(size);
    QCoreApplication::processEvents();
    w.ArrangeControls();
    const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
    EXPECT_LE(ui::CaptionWidth(*w.Combo_sets), w.Combo_sets->width()) << at;
    EXPECT_GE(w.Combo_sets->font().pointSizeF(), ui::kReadablePoints) << at;
    const std::vector<QWidget*> row{w.lblset, w.Combo_sets, w.cmd_goset, w.combogrup2};
    for (size_t i = 0; i < row.size(); ++i) {
      EXPECT_TRUE(w.Framegrup->rect().contains(row[i]->geometry())) << at << " " << i;
      for (size_t j = i + 1; j < row.size(); ++j)
        EXPECT_FALSE(row[i]->geometry().intersects(row[j]->geometry())) << at << " " << i << j;
    }
  }
}

TEST_F(Editor, BlockSetsTileTheWellsDownThenRight) {
  Open();
  W().cmd_goset_Click();
  for (int c = 0; c < 12; ++c)
    for (int r = 0; r < 8; ++r) ExpectWellIn(r, c, 2 * c + r / 4);
  EXPECT_EQ(GroupOf(3), -1);  // disabled: left free
  EXPECT_EQ(W().Run().Run_Group_Name[23], "Group23");
  EXPECT_EQ(W().Run().Run_Group_Name[24], "Free");
  EXPECT_EQ(W().combogrup2->count(), 25);
  EXPECT_EQ(Entries(W().lstgrup2), (std::vector<std::string>{"A1", "B1", "C1", "D1"}));
  EXPECT_EQ(Entries(W().lstchgrup2), (std::vector<std::string>{}));
}

TEST_F(Editor, ADragAssignsItsRectangleAndARightClickFreesEnabledChannels) {
  Open();
  ChooseGroup(1);
  Drag(1, X(2), Y(2), X(0), Y(0));  // C3 to A1
  for (int c = 0; c < 3; ++c)
    for (int r = 0; r < 3; ++r) ExpectWellIn(r, c, 1);
  EXPECT_EQ(GroupOf(3), 5);  // disabled: its group stays
  EXPECT_EQ(GroupOf(Beam0(3, 0)), 3);
  EXPECT_EQ(GroupOf(Beam0(0, 3)), -1);
  EXPECT_EQ(Entries(W().lstgrup2),
            (std::vector<std::string>{"A1", "B1", "C1", "A2", "B2", "C2", "A3", "B3", "C3"}));

  Drag(2, X(0), Y(1), X(0), Y(1));  // B1
  EXPECT_EQ(GroupOf(2), -1);
  EXPECT_EQ(GroupOf(3), 5);
  EXPECT_EQ(GroupOf(0), 1);

  // Presses and releases past the last column or row assign nothing.
  const storage::ChannelTable16 before = W().Run().Run_Group;
  Drag(1, 2449, Y(0), 2449, Y(0));
  Drag(1, X(0), 1649, X(0), 1649);
  Drag(1, X(5), Y(5), 2449, 1649);
  Drag(2, X(5), Y(5), 2449, Y(5));
  EXPECT_EQ(W().Run().Run_Group, before);
  EXPECT_FALSE(W().Run().Run_Group == storage::ChannelTable16{});
}

class EditorSave : public Editor {
 protected:
  // The bytes the group files must hold: names of groups 0.. (then "Free") and the
  // group of each channel.
  static std::string GroupsFile(const std::vector<std::string>& names) {
    std::string out = "\"<Group_Number>, <Group_Name>\"\r\n";
    for (int g = 0; g < 384; ++g)
      out += std::to_string(g) + ",\"" +
             (g < static_cast<int>(names.size()) ? names[static_cast<size_t>(g)] : "Free") +
             "\"\r\n";
    return out;
  }
  static std::string ChgroupFile(const std::function<int(int)>& group) {
    std::string out = "\"<Channel>, <Group: -1=Free>\"\r\n";
    for (int ch = 0; ch < 384; ++ch)
      out += std::to_string(ch) + "," + std::to_string(group(ch)) + "\r\n";
    return out;
  }
};

TEST_F(EditorSave, SavingWritesTheRunsOwnFilesWithTheirBackups) {
  const fs::path other = MakeRun(project_, "20240316_0930", "Other", {{0, {}}}, {"w8x12"});
  testsupport::WriteBytes(project_ / "groups.dat", "project's own");
  Open();
  W().Combo_sets->setCurrentIndex(0);  // 01x01: one group a well
  W().cmd_goset_Click();
  ChooseGroup(2);
  dialogs_.AnswerInput("Con\"trols");
  W().combogrup2_DblClick();
  EXPECT_EQ(W().combogrup2->currentItem()->text(), "002_Controls");
  dialogs_.AnswerYes();
  W().cmdcancelgrups_Click();
  EXPECT_EQ(LastBox(), "New Groups applied and saved");

  std::vector<std::string> names;
  for (int g = 0; g < 96; ++g) names.push_back(g == 2 ? "Controls" : "Group" + std::to_string(g));
  const std::string groups = testsupport::ReadBytes(run_ / "groups.dat");
  EXPECT_EQ(groups, GroupsFile(names));
  EXPECT_EQ(std::count(groups.begin(), groups.end(), '\n'), 385);
  EXPECT_NE(groups.find("\r\n2,\"Controls\"\r\n"), std::string::npos);
  EXPECT_EQ(testsupport::ReadBytes(run_ / "chgroup.dat"), ChgroupFile([](int ch) {
              // Channel 32c + 2r + b sits in well 8c + r.
              return ch == 3 || ch % 32 >= 16 ? -1 : ch / 32 * 8 + (ch % 32) / 2;
            }));
  for (const char* name : {"groups.bak", "groups202405021407.bak"})
    EXPECT_EQ(testsupport::ReadBytes(run_ / name), groups_before_) << name;
  for (const char* name : {"chgroup.bak", "chgroup202405021407.bak"})
    EXPECT_EQ(testsupport::ReadBytes(run_ / name), chgroup_before_) << name;
  EXPECT_EQ(testsupport::ReadBytes(project_ / "groups.dat"), "project's own");
  EXPECT_FALSE(fs::exists(other / "groups.dat"));

  // Closed: the run read again from what was written.
  offline::Frm_offline& w = W();
  EXPECT_EQ(w.View_Mode, 0);
  EXPECT_TRUE(w.Framegrup->isHidden());
  EXPECT_TRUE(w.Listpj->isEnabled());
  EXPECT_TRUE(w.frame_plotbutton->isEnabled());
  EXPECT_TRUE(w.mnadvanced->isEnabled());
  EXPECT_EQ(w.Run().Run_Group_Name[2], "Controls");
  EXPECT_EQ(w.lstgrup_plot->item(2)->text(), "002_Controls");

  // A second save in the same minute replaces the stamped copies.
  const auto files = [&] {
    return std::distance(fs::directory_iterator(run_), fs::directory_iterator());
  };
  const auto count = files();
  W().mn_plateedit_Click();
  dialogs_.AnswerYes();
  W().cmdcancelgrups_Click();
  EXPECT_EQ(files(), count);
  EXPECT_EQ(testsupport::ReadBytes(run_ / "groups202405021407.bak"), groups);
}

TEST_F(EditorSave, LeavingWithoutSavingRestoresTheGroups) {
  Open();
  dialogs_.AnswerYes();
  W().Cmd_clear_Click();
  EXPECT_EQ(GroupOf(0), -1);
  // The list no longer shows the run's line: its title stays.
  const QString title = W().lbl_subpj_title->text();
  W().lblproject_Click();
  ASSERT_EQ(LineOf(run_), -1);
  dialogs_.AnswerNo();
  W().cmdcancelgrups_Click();
  EXPECT_EQ(LastBox(), "Original groups restored");
  EXPECT_EQ(W().lbl_subpj_title->text(), title);
  EXPECT_FALSE(title.isEmpty());
  EXPECT_EQ(GroupOf(0), 0);
  EXPECT_EQ(testsupport::ReadBytes(run_ / "groups.dat"), groups_before_);
  EXPECT_FALSE(fs::exists(run_ / "groups.bak"));
}

TEST_F(EditorSave, MissingOriginalsAreWrittenAnewAndAGoneFolderGetsNothing) {
  fs::remove(run_ / "groups.dat");
  fs::remove(run_ / "chgroup.dat");
  Open();
  dialogs_.AnswerYes();
  W().cmdcancelgrups_Click();
  EXPECT_EQ(LastBox(), "New Groups applied and saved");
  for (const char* name : {"groups.dat", "chgroup.dat"}) {
    const std::string bytes = testsupport::ReadBytes(run_ / name);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 385) << name;
  }
  EXPECT_FALSE(fs::exists(run_ / "groups.bak"));

  Open();
  const int before = GroupOf(Beam0(4, 4));
  ChooseGroup(0);
  Drag(1, X(4), Y(4), X(4), Y(4));
  EXPECT_EQ(GroupOf(Beam0(4, 4)), 0);
  const fs::path moved = project_ / "20240315_0930removed202405021431";
  fs::rename(run_, moved);
  dialogs_.AnswerYes();
  W().cmdcancelgrups_Click();
  const std::vector<std::string>& log = dialogs_.log();
  EXPECT_NE(std::find(log.begin(), log.end(), "Error updating group files at " + run_.string()),
            log.end());
  EXPECT_FALSE(fs::exists(run_));
  // The run could not be read again: it keeps the groups it had before the editor.
  EXPECT_EQ(GroupOf(Beam0(4, 4)), before);
  EXPECT_NE(before, 0);
  EXPECT_EQ(W().View_Mode, 0);
}

TEST_F(EditorSave, AKillBetweenTheTwoRenamesIsFinishedWhenTheBrowserReadsTheRun) {
  Open();
  W().Combo_sets->setCurrentIndex(0);  // 01x01: one group a well
  W().cmd_goset_Click();
  const offline::LoadedRun edited = W().Run();
  ASSERT_TRUE(testsupport::KilledAt(  // between groups.dat's rename and chgroup.dat's
      6, [&](const auto& step) { offline::SaveRunGroupFiles(run_, edited, step); }));
  ASSERT_EQ(testsupport::ReadBytes(run_ / "chgroup.dat"), chgroup_before_);
  const offline::RunLoad load = offline::LoadAcquisitionSetup(run_, Home());
  ASSERT_TRUE(load.run);
  EXPECT_EQ(load.run->Run_Group, edited.Run_Group);
}

// The folder's syncs failing after the last rename: the new files are the run's, and
// the box says what is not sure.
TEST_F(EditorSave, ASaveWhoseLastSyncFailsIsSavedAndSaysSo) {
  Open();
  W().Combo_sets->setCurrentIndex(0);
  W().cmd_goset_Click();
  dialogs_.AnswerYes();
  {
    // Sync 0 follows the list's rename, 1 to 6 the four backups' and the pair's, and
    // 7 is tried once more.
    const testsupport::FolderSyncFault fault(6, 2);
    W().cmdcancelgrups_Click();
  }
  EXPECT_EQ(LastBox(),
            "New Groups applied and saved\r\nThe folder could not be synced to the disk "
            "(Input/output error): the files were replaced but may not be safe on the disk "
            "until the run is opened again.");
  EXPECT_NE(testsupport::ReadBytes(run_ / "groups.dat"), groups_before_);
  EXPECT_NE(testsupport::ReadBytes(run_ / "chgroup.dat"), chgroup_before_);
  // The run's reload made the sync up.
  EXPECT_FALSE(fs::exists(run_ / storage::kPendingRenamesName));
}

TEST_F(EditorSave, AListThatCannotBeFinishedIsToldOnceAndTheSaveWritesNothing) {
  fs::create_directory(run_ / storage::kPendingRenamesName);
  const auto files = [&] {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(run_)) names.insert(e.path().filename().string());
    return names;
  };
  const auto before = files();
  LoadRun(run_);
  Open();
  dialogs_.AnswerYes();
  W().cmdcancelgrups_Click();
  // Nor is it told again when the save reads the run back.
  const std::string list =
      storage::PendingRenamesRefusal(run_, storage::FinishPendingRenames(run_));
  const std::string refused = "Error updating group files at " + run_.string();
  EXPECT_EQ(dialogs_.log(), (std::vector<std::string>{list, "Do you like to Save Changes?",
                                                      refused + "\r\n" + list}));
  EXPECT_EQ(files(), before);
}

TEST(EditorPicture, BeamsCellsAndTheStamp) {
  offline::LoadedRun run;
  run.Run_Plate_Rows = 2;
  run.Run_Plate_Cols = 3;
  run.Run_Row_Pitch = run.Run_Col_Pitch = 1.999;
  run.Run_Enabled.fill(-1);
  run.Run_Enabled[1] = 0;
  run.Run_Channel_Well.fill(-1);
  run.Run_Channel_Well[0] = run.Run_Channel_Well[1] = 0;
  const offline::PlotPicture p = offline::PlateEditorPicture(run);
  EXPECT_EQ(p.scale, (offline::PlotScale{-50, -50, 2450, 1650}));
  std::vector<ui::DrawOp> circles, outlines;
  for (const ui::DrawOp& op : p.plan.Ops()) {
    if (op.kind == OpKind::kCircle) circles.push_back(op);
    if (op.kind == OpKind::kOutline) outlines.push_back(op);
  }
  ASSERT_EQ(circles.size(), 384u);
  EXPECT_EQ(circles[0].color, offline::Rgb(0, 0, 255));
  EXPECT_EQ(circles[1].color, offline::Rgb(255, 255, 0));  // disabled
  EXPECT_EQ(circles[2].color, offline::Rgb(255, 255, 0));  // on no well
  EXPECT_EQ(circles[17].x1, 150);
  EXPECT_EQ(circles[17].y1, 150);
  EXPECT_EQ(circles[17].x2, 5);
  ASSERT_EQ(outlines.size(), 6u);
  // Whole parts of 199.9.
  EXPECT_EQ(outlines[5].x1, 398);
  EXPECT_EQ(outlines[5].y2, 398);
  EXPECT_EQ(offline::GroupBackupStamp({2024, 6, 1, 9, 5, 42}), "202406010905");
}

}  // namespace
}  // namespace offline_test
