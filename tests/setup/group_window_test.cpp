// The setup window's group editor as a user drives it: clicks and drags on the plate
// picture, the lists, the group sets menu and the annotation panel, and the group
// files "Continue to Run..." saves. A 96-well plate of two beams a well: well w's
// beams are the channels of grid column 2 x (w div 8), rows 2 x (w mod 8), and the
// channel 16 further.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>

#include "platform/launcher.h"
#include "setup/forms/frm_setup.h"
#include "storage/plate_layout.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace {

class GroupWindow : public ::testing::Test {
 protected:
  GroupWindow() {
    storage::ResetSharedState();
    auto& s = storage::Shared();
    s.Project_Path = folder_.path().string();
    s.Plate_format = "w96f";
    storage::ApplyPlateLayout(storage::BuiltInPlateLayout("w96f"));
    s.Group.fill(-1);
    w_ = &ui::Default<setup::Frm_setup>();
    w_->resize(1024, 720);
    w_->show();
    QCoreApplication::processEvents();
  }
  ~GroupWindow() override {
    ui::Unload<setup::Frm_setup>();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    storage::ResetSharedState();
  }

  // The centre of cell (row, column) in picture units: cells are 200 wide from x 0
  // and 200 high from y -50.
  static double X(int col) { return col * 200 + 100; }
  static double Y(int row) { return row * 200 + 50; }
  void Drag(int button, int r0, int c0, int r1, int c1) {
    w_->Picwell_MouseMove(0, 0, X(c0), Y(r0));
    w_->Picwell_MouseDown(button, 0, X(c0), Y(r0));
    w_->Picwell_MouseMove(button, 0, X(c1), Y(r1));
    w_->Picwell_MouseUp(button, 0, X(c1), Y(r1));
  }
  std::vector<std::string> Items(const QListWidget* list) const {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
  }
  std::vector<int> ChannelsOf(int g) const {
    std::vector<int> out;
    for (int ch = 0; ch < 384; ++ch)
      if (storage::Shared().Group[static_cast<size_t>(ch)] == g) out.push_back(ch);
    return out;
  }
  // Some pixel of the picture's box (x0, y0)-(x1, y1) has the colour.
  bool AnyPixel(double x0, double y0, double x1, double y1, ui::Color c) const {
    for (double x = x0; x <= x1; x += 2)
      for (double y = y0; y <= y1; y += 2)
        if (w_->Picwell->Point(x, y) == c) return true;
    return false;
  }

  testsupport::TempProgramFolder folder_;
  testsupport::ScriptedDialogs dialogs_;
  setup::Frm_setup* w_ = nullptr;
};

TEST_F(GroupWindow, EditsReachTheSavedGroupFiles) {
  EXPECT_EQ(Items(w_->combogrup), std::vector<std::string>{"000_Group0"});
  // A click on A1 through the widget: the press takes the free channels, the release
  // all of them.
  const QPoint a1 = w_->Picwell->PixelAt(X(0), Y(0));
  QTest::mouseMove(w_->Picwell, a1);
  QTest::mousePress(w_->Picwell, Qt::LeftButton, {}, a1);
  EXPECT_EQ(ChannelsOf(0), (std::vector<int>{0, 16}));
  storage::Shared().Group[16] = 5;  // only the release takes it back
  QTest::mouseRelease(w_->Picwell, Qt::LeftButton, {}, a1);
  EXPECT_EQ(ChannelsOf(0), (std::vector<int>{0, 16}));
  EXPECT_EQ(Items(w_->combogrup), (std::vector<std::string>{"000_Group0", "001_Group1"}));
  EXPECT_EQ(Items(w_->lstgrup), (std::vector<std::string>{"A1.0", "A1.1"}));
  EXPECT_EQ(w_->lstchgrup->count(), 190);

  // Group 1: a drag from B2 to C3, renamed with Enter; then C3 freed by the right button.
  w_->combogrup->setCurrentRow(1);
  Drag(1, 1, 1, 2, 2);
  EXPECT_EQ(ChannelsOf(1), (std::vector<int>{34, 36, 50, 52, 66, 68, 82, 84}));
  dialogs_.AnswerInput("Treated, \"x\"\r\n");
  QTest::keyClick(w_->combogrup, Qt::Key_Return);
  EXPECT_EQ(w_->combogrup->currentItem()->text().toStdString(), "001_Treated, x");
  Drag(2, 2, 2, 2, 2);
  EXPECT_EQ(ChannelsOf(1), (std::vector<int>{34, 36, 50, 52, 66, 82}));
  EXPECT_EQ(w_->lblnchannel->text().toStdString(), "18");

  w_->Command_main->click();
  std::string groups = "\"<Group_Number>, <Group_Name>\"\r\n";
  std::string chgroup = "\"<Channel>, <Group: -1=Free>\"\r\n";
  for (int g = 0; g < 384; ++g) {
    const std::string name = g == 1 ? "Treated, x" : g < 12 ? "Group" + std::to_string(g) : "Free";
    groups += std::to_string(g) + ",\"" + name + "\"\r\n";
  }
  const std::vector<int> g0 = {0, 16}, g1 = {34, 36, 50, 52, 66, 82};
  for (int ch = 0; ch < 384; ++ch) {
    const bool in0 = std::find(g0.begin(), g0.end(), ch) != g0.end();
    const bool in1 = std::find(g1.begin(), g1.end(), ch) != g1.end();
    chgroup += std::to_string(ch) + "," + (in0 ? "0" : in1 ? "1" : "-1") + "\r\n";
  }
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "groups.dat"), groups);
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "chgroup.dat"), chgroup);
}

TEST_F(GroupWindow, PictureShowsLabelsAndBars) {
  const ui::Color green = ui::RGB(0, 128, 0), blue = ui::RGB(0, 0, 255);
  EXPECT_FALSE(AnyPixel(25, -5, 95, 45, green));
  Drag(1, 0, 0, 0, 0);
  EXPECT_TRUE(AnyPixel(25, -5, 95, 45, green));   // "G0" on A1
  EXPECT_EQ(w_->Picwell->Point(100, -50), blue);  // the top edge of A1's cell
  // Moving over B2..C3 from a press on C3: the bars mark rows B-C and columns 2-3.
  w_->Picwell_MouseDown(2, 0, X(2), Y(2));
  w_->Picwell_MouseMove(2, 0, X(1), Y(1));
  EXPECT_EQ(w_->lblnchannel->text().toStdString(), "C3");
  // A release right of the plate assigns nothing and ends the drag.
  w_->Picwell_MouseUp(2, 0, 2500, Y(1));
  EXPECT_EQ(ChannelsOf(0), (std::vector<int>{0, 16}));
}

TEST_F(GroupWindow, ListMovesKeepTheSelectionNearby) {
  w_->lstchgrup->setCurrentRow(2);  // C1.0: well 2
  w_->lstchgrup_DblClick();
  EXPECT_EQ(ChannelsOf(0), (std::vector<int>{4, 20}));
  EXPECT_EQ(w_->lstchgrup->currentRow(), 2);
  EXPECT_EQ(Items(w_->lstgrup), (std::vector<std::string>{"C1.0", "C1.1"}));
  EXPECT_EQ(Items(w_->combogrup), std::vector<std::string>{"000_Group0"});  // not rebuilt
  w_->lstgrup->setCurrentRow(0);
  w_->Command13->click();
  EXPECT_TRUE(ChannelsOf(0).empty());
  EXPECT_EQ(w_->lstgrup->currentRow(), -1);
}

TEST_F(GroupWindow, AReloadListsEachFreeChannelOnce) {
  EXPECT_EQ(w_->lstchgrup->count(), 192);
  w_->controller().Form_Load();
  w_->controller().Form_Load();
  EXPECT_EQ(w_->lstchgrup->count(), 192);
}

TEST_F(GroupWindow, WhileARunExistsNoEditReachesTheGroups) {
  w_->lstchgrup->setCurrentRow(0);
  w_->lstchgrup_DblClick();  // A1 into group 0
  storage::Shared().Acq_State = 1;
  const auto groups = storage::Shared().Group;
  const struct {
    const char* what;
    std::function<void()> edit;
  } cases[] = {
      {"press and release", [&] { Drag(1, 1, 1, 2, 2); }},
      {"right press and release", [&] { Drag(2, 0, 0, 0, 0); }},
      {"group set", [&] { w_->mnopciongrup[0]->trigger(); }},
      {"free well in", [&] { w_->Command12->click(); }},
      {"well out", [&] { w_->Command13->click(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ScriptedDialogs boxes;
    boxes.ExpectOk();
    c.edit();
    EXPECT_EQ(boxes.log(), std::vector<std::string>{storage::kRunningRefusal});
    EXPECT_EQ(storage::Shared().Group, groups);
  }
  EXPECT_EQ(Items(w_->lstgrup), (std::vector<std::string>{"A1.0", "A1.1"}));
}

TEST_F(GroupWindow, GroupSetsMenuAndItsCheckMark) {
  int shown = 0;
  for (QAction* a : w_->mnopciongrup) shown += a->isVisible() ? 1 : 0;
  EXPECT_EQ(shown, 24);
  EXPECT_EQ(w_->Combo_sets->currentText().toStdString(), "04x01 [RowsxColumn]");
  const int index = w_->Combo_sets->findText("02x03 [RowsxColumn]");
  ASSERT_GE(index, 0);
  w_->mnopciongrup[static_cast<size_t>(index)]->trigger();
  EXPECT_TRUE(w_->mnopciongrup[static_cast<size_t>(index)]->isChecked());
  EXPECT_EQ(w_->combogrup->count(), 17);
  EXPECT_EQ(w_->combogrup->item(15)->text().toStdString(), "015_Group15");
  EXPECT_EQ(ChannelsOf(15).size(), 12u);
  // A plate of 16 x 24 offers 35 sets, the menu the first 24; a rebuild clears the mark.
  storage::ApplyPlateLayout(storage::BuiltInPlateLayout("w384"));
  w_->controller().Form_Load();
  shown = 0;
  for (QAction* a : w_->mnopciongrup) shown += a->isVisible() ? 1 : 0;
  EXPECT_EQ(shown, 24);
  EXPECT_EQ(w_->Combo_sets->count(), 35);
  for (QAction* a : w_->mnopciongrup) EXPECT_FALSE(a->isChecked());
}

TEST_F(GroupWindow, AnnotationPanel) {
  EXPECT_TRUE(w_->frm_advance->isHidden());
  w_->chk_advance->setChecked(true);
  EXPECT_FALSE(w_->frm_advance->isHidden());
  EXPECT_EQ(w_->txt_global_strain->text().toStdString(), "N2");
  EXPECT_TRUE(w_->txt_strain[0]->isHidden());

  for (int i = 0; i < 10; ++i) w_->cmd_down->click();
  w_->txt_compound[2]->setText("DMSO");
  EXPECT_EQ(storage::Shared().Group_Compound[12], "DMSO");
  // A drag with row 2 ticked goes to group 12; with none ticked it would go to 0.
  w_->adv_group[2]->setChecked(true);
  Drag(1, 0, 0, 1, 0);
  EXPECT_EQ(ChannelsOf(12), (std::vector<int>{0, 2, 16, 18}));

  // Fill on strain makes it per group again; its column shows.
  w_->combo_tool->setCurrentText("Strain");
  w_->txt_global->setText("CB");
  w_->cmd_fill->click();
  EXPECT_FALSE(w_->Chk_global_strain->isChecked());
  EXPECT_FALSE(w_->txt_strain[2]->isHidden());
  EXPECT_EQ(w_->txt_strain[2]->text().toStdString(), "CB");
  EXPECT_EQ(storage::Shared().Global_Strain, "");

  // The annotations outlive a project load; the main window's hide unticks the box.
  w_->controller().Form_Load();
  EXPECT_EQ(w_->txt_compound[2]->text().toStdString(), "DMSO");
  w_->frm_advance->hide();
  EXPECT_FALSE(w_->chk_advance->isChecked());

  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  w_->cmd_annot_web->click();
  platform::SetLauncher(nullptr);
  EXPECT_EQ(launcher.calls,
            std::vector<std::string>{"shell: explorer https://www.quenlar.example/annotation"});
}

}  // namespace
