// The plate, group and well selectors: their texts and look-ups, then the main
// window's handlers on a 96-well plate of two beams a well (well 17 = B3 is
// channels 66 and 82).
#include "mainwindow/selectors.h"

#include <QTest>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <memory>

#include "mainwindow/frm_main.h"
#include "plot_fixture.h"

namespace plots_test {
namespace {

using Selectors = PlotTest;

TEST_F(Selectors, GroupItemsAndWellEntries) {
  auto& s = storage::Shared();
  EXPECT_EQ(mainwindow::GroupSelectorItems(s), std::vector<std::string>{"000_Group0"});
  EXPECT_TRUE(mainwindow::GroupWellEntries(s, 0).empty());

  PutInGroup({66, 82, 1}, 120);  // channel 1 is not on the plate
  PutInGroup({2}, 3);
  s.Enabled[2] = 0;  // disabled: the group is offered, its entry is not
  EXPECT_EQ(mainwindow::GroupSelectorItems(s),
            (std::vector<std::string>{"003_Group3", "120_Free"}));
  EXPECT_TRUE(mainwindow::GroupWellEntries(s, 3).empty());
  EXPECT_EQ(mainwindow::GroupWellEntries(s, 120), (std::vector<std::string>{"B3.0", "B3.1"}));
  EXPECT_TRUE(mainwindow::GroupWellEntries(s, -1).empty());
  EXPECT_EQ(mainwindow::GroupOfItem("120_Free"), 120);
  EXPECT_EQ(mainwindow::RowItems(3), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(mainwindow::ColumnItems(2), (std::vector<std::string>{"1", "2"}));
}

TEST_F(Selectors, EntriesLookUpsAndTheWellsOfAGroup) {
  auto& s = storage::Shared();
  auto e = mainwindow::ParseWellEntry("H12.1");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->row, 7);
  EXPECT_EQ(e->column, 12);
  EXPECT_EQ(e->beam, 1);
  EXPECT_FALSE(mainwindow::ParseWellEntry("H12"));
  EXPECT_FALSE(mainwindow::ParseWellEntry(""));

  // (row, column) -> well; (well, beam) -> channel; anything off the plate is -1.
  for (auto [row, col, well] : {std::tuple{1, 3, 17}, {8, 1, -1}, {0, 13, -1}, {-1, 1, -1}})
    EXPECT_EQ(mainwindow::WellAt(s, row, col), well) << row << "," << col;
  for (auto [well, beam, ch] : {std::tuple{17, 0, 66}, {17, 1, 82}, {17, 2, -1}, {96, 0, -1},
                                {-1, 0, -1}})
    EXPECT_EQ(mainwindow::ClaimedChannel(s, well, beam), ch) << well << "." << beam;

  PutInGroup({0, 66, 82}, 2);
  EXPECT_EQ(mainwindow::WellsOfGroup(s, s.Group, 2), (std::vector<int16_t>{0, 17}));
  // A well whose beam-0 slot the layout leaves empty holds channel 0: not group 2's.
  auto layout = storage::BuiltInPlateLayout("w96f");
  layout.channel_well[66] = -1;
  storage::ApplyPlateLayout(layout);
  EXPECT_EQ(mainwindow::ClaimedChannel(s, 17, 0), -1);
  EXPECT_EQ(mainwindow::WellsOfGroup(s, s.Group, 2), (std::vector<int16_t>{0}));
}

// ---- The window's handlers ----

class SelectorWindow : public PlotTest {
 protected:
  void SetUp() override {
    PlotTest::SetUp();
    PutInGroup({66, 82, 98}, 4);  // B3.0, B3.1, and B4.0 (well 25, channel 98)
    PutInGroup({0}, 1);
    win = std::make_unique<mainwindow::Frm_Main>();
  }
  void TearDown() override {
    win.reset();
    PlotTest::TearDown();
  }
  std::vector<std::string> Entries() {
    std::vector<std::string> out;
    for (int i = 0; i < win->lstgrup->count(); ++i)
      out.push_back(win->lstgrup->item(i)->text().toStdString());
    return out;
  }
  void Choose(const std::string& entry) {
    const auto items = win->lstgrup->findItems(QString::fromStdString(entry), Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    win->lstgrup->setCurrentItem(items[0]);
    win->lstgrup_DblClick();
  }

  std::unique_ptr<mainwindow::Frm_Main> win;
};

TEST_F(SelectorWindow, FillingTheSelectorsChoosesTheFirstGroupAndItsFirstEntry) {
  win->Plot_Kind = 2;
  win->FillPlateSelectors();
  EXPECT_EQ(win->Combofila->count(), 8);
  EXPECT_EQ(win->Combocol->count(), 12);
  ASSERT_EQ(win->combogrup->count(), 2);
  EXPECT_EQ(win->combogrup->itemText(1), "004_Group4");
  EXPECT_EQ(win->combogrup->currentText(), "001_Group1");
  EXPECT_EQ(win->combogrup->toolTip(), "001_Group1");
  EXPECT_EQ(Entries(), std::vector<std::string>{"A1.0"});
  EXPECT_EQ(win->txtbeam->text(), "A1.0");
  EXPECT_EQ(storage::Shared().Selected_Channel, 0);
  EXPECT_EQ(win->Plot_Kind, 0);  // choosing a group shows the wells view
  EXPECT_TRUE(win->cmd_pgup->isHidden());
}

TEST_F(SelectorWindow, AnEntryWithItsBeamSelectsThatChannel) {
  win->FillPlateSelectors();
  win->combogrup->setCurrentIndex(1);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"B3.0", "B3.1", "B4.0"}));
  EXPECT_EQ(storage::Shared().Selected_Channel, 66);

  Choose("B3.1");
  EXPECT_EQ(storage::Shared().Selected_Channel, 82);
  EXPECT_EQ(win->lblcanal->Caption(), "82");
  EXPECT_EQ(win->txtsub->text(), "1");
  EXPECT_EQ(win->Combofila->currentText(), "B");
  EXPECT_EQ(win->Combocol->currentText(), "3");
  // The label's change lists the wells of channel 82's group by their beam 0.
  EXPECT_EQ(win->Group_Channel_Count, 2);
  EXPECT_EQ(win->Group_Channels[0], 17);
  EXPECT_EQ(win->Group_Channels[1], 25);

  // Stepping stops at both ends of the list.
  win->cmdbeam_plus_Click();
  EXPECT_EQ(storage::Shared().Selected_Channel, 98);
  win->cmdbeam_plus_Click();
  EXPECT_EQ(win->lstgrup->currentRow(), 2);
  Choose("B3.0");
  win->cmdbeam_minus_Click();
  EXPECT_EQ(win->lstgrup->currentRow(), 0);
  EXPECT_EQ(storage::Shared().Selected_Channel, 66);
}

TEST_F(SelectorWindow, EnterInTheWellListActsAsADoubleClick) {
  win->FillPlateSelectors();
  win->combogrup->setCurrentIndex(1);
  win->lstgrup->setCurrentRow(1);  // "B3.1", not applied yet
  EXPECT_EQ(storage::Shared().Selected_Channel, 66);
  win->lstgrup_KeyPress(65);
  EXPECT_EQ(storage::Shared().Selected_Channel, 66);
  QTest::keyClick(win->lstgrup, Qt::Key_Return);
  EXPECT_EQ(storage::Shared().Selected_Channel, 82);
}

TEST_F(SelectorWindow, ABeamAboveTheWellsIsResetByTheRowOnly) {
  win->FillPlateSelectors();
  win->combogrup->setCurrentIndex(1);
  Choose("B3.0");
  win->txtsub->setText("5");
  win->Combocol->setCurrentIndex(3);  // beam 5 does not exist: the selection stays
  EXPECT_EQ(win->txtsub->text(), "5");
  EXPECT_EQ(storage::Shared().Selected_Channel, 66);
  win->Combofila->setCurrentIndex(2);  // C4 beam 0
  EXPECT_EQ(win->txtsub->text(), "0");
  EXPECT_EQ(storage::Shared().Selected_Channel, 3 * 32 + 2 * 2);
  // A free channel leaves the group's wells as they were.
  EXPECT_EQ(win->Group_Channel_Count, 2);
}

TEST_F(SelectorWindow, TheBeamBoxSelectsItsChannelWhenTheEditEnds) {
  win->FillPlateSelectors();
  win->Combocol->setCurrentIndex(2);
  win->Combofila->setCurrentIndex(1);  // B3, beam 0: channel 66
  EXPECT_EQ(storage::Shared().Selected_Channel, 66);
  win->txtsub->setText("");
  QTest::keyClicks(win->txtsub, "5");  // above the plate's beams: beam 1
  QTest::keyClick(win->txtsub, Qt::Key_Return);
  EXPECT_EQ(win->txtsub->text(), "1");
  EXPECT_EQ(storage::Shared().Selected_Channel, 82);
  EXPECT_EQ(win->lblcanal->Caption(), "82");
}

TEST_F(SelectorWindow, StationSwitchStartsAtChannelZeroAndItsGroup) {
  win->Plot_Kind = 1;
  win->cmd_stack_pos_Click(0);
  EXPECT_EQ(win->lbl_station->text(), "STATION 1");
  EXPECT_EQ(win->Station_Index, 0);
  EXPECT_EQ(win->Plot_Kind, 0);
  EXPECT_EQ(Entries(), std::vector<std::string>{});  // group 0's entries: none
  EXPECT_EQ(storage::Shared().Selected_Channel, 0);
  EXPECT_EQ(win->Group_Channel_Count, 1);
  EXPECT_EQ(win->Group_Channels[0], 0);

  win->cmd_stack_pos_Click(2);  // a station that holds no groups of its own
  EXPECT_EQ(win->lbl_station->text(), "STATION 3");
  EXPECT_EQ(win->Station_Index, 2);
}

// Setup moves a well into group 1 between two draws of its wells view: the next
// activation or run start draws the wells the group has now, also while the selected
// channel is free (it keeps the group it followed).
TEST_F(SelectorWindow, TheWellsViewDrawsTheWellsTheGroupHasNow) {
  auto& s = storage::Shared();
  win->Picact->resize(331, 331);  // one pixel per unit
  win->FillPlateSelectors();      // group 1 (A1) chosen, channel 0 selected
  ASSERT_EQ(win->Group_Channel_Count, 1);
  // Ink in the label cell of well slot i (pitch 25 up to 10 wells).
  const auto labelled = [&](int i) {
    for (int x = 41 + 25 * i; x < 64 + 25 * i; ++x)
      for (int y = -6; y > -20; --y)
        if (win->Picact->Point(x, y) != ui::RGB(255, 255, 255)) return true;
    return false;
  };
  const struct {
    const char* when;
    int joins;  // the beam-0 channel of the well that joins group 1
    int selected;
    void (mainwindow::Frm_Main::*draw)();
    std::vector<int16_t> wells;
  } rows[] = {
      {"activation", 2, 0, &mainwindow::Frm_Main::Form_Activate, {0, 1}},
      {"run start", 32, 0, &mainwindow::Frm_Main::ResetActivityPlot, {0, 1, 8}},
      {"run start, free channel", 34, 100, &mainwindow::Frm_Main::ResetActivityPlot, {0, 1, 8, 9}}};
  for (const auto& row : rows) {
    PutInGroup({row.joins}, 1);
    s.Selected_Channel = static_cast<int16_t>(row.selected);
    (win.get()->*row.draw)();
    const int n = static_cast<int>(row.wells.size());
    ASSERT_EQ(win->Group_Channel_Count, n) << row.when;
    EXPECT_EQ(std::vector<int16_t>(win->Group_Channels.begin(), win->Group_Channels.begin() + n),
              row.wells)
        << row.when;
    EXPECT_TRUE(labelled(n - 1)) << row.when;
    EXPECT_FALSE(labelled(n)) << row.when;
  }
}

TEST_F(SelectorWindow, PagesOfTheBarAndHistogramViews) {
  FreeAllChannels();
  for (int g = 0; g < 13; ++g) PutInGroup({g * 2}, g);
  win->Cmd_barplot_Click();
  EXPECT_EQ(win->Plot_Kind, 1);
  EXPECT_EQ(win->Page_Count, 2);
  EXPECT_FALSE(win->cmd_pgup->isHidden());
  win->cmd_pgup_Click();
  win->cmd_pgup_Click();  // the last page stays
  EXPECT_EQ(win->Page, 1);
  win->cmd_pgdown_Click();
  win->cmd_pgdown_Click();
  EXPECT_EQ(win->Page, 0);

  // The histogram keeps the page reached: page 1 is group 1's histogram.
  win->cmd_pgup_Click();
  win->Cmd_histoplot_Click();
  EXPECT_EQ(win->Plot_Kind, 3);
  EXPECT_EQ(win->Page, 1);
  EXPECT_EQ(win->Page_Count, 96);

  win->Cmd_gridplot_Click();
  EXPECT_TRUE(win->cmd_pgup->isHidden());
  EXPECT_TRUE(win->cmd_pgdown->isHidden());

  // Exactly 12 groups: the bar view does not show the page buttons itself.
  FreeAllChannels();
  for (int g = 0; g < 12; ++g) PutInGroup({g * 2}, g);
  win->Page_Count = 0;
  win->Cmd_barplot_Click();
  EXPECT_TRUE(win->cmd_pgup->isHidden());
}

TEST_F(SelectorWindow, ZoomStaysWithinItsRangeAndShowsItsLevel) {
  for (int i = 0; i < 12; ++i) win->Cmdzoom_plus_Click();
  EXPECT_EQ(win->Zoom_Level, 10);
  EXPECT_EQ(win->txtzoom->text(), "10");
  win->Zoom_Level = 0;
  win->Cmdzoom_minus_Click();
  EXPECT_EQ(win->Zoom_Level, 0);
  EXPECT_EQ(win->txtzoom->text(), "0");
}

}  // namespace
}  // namespace plots_test
