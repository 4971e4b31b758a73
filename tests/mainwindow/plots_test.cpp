// The activity plot's views drawn from small hand-made totals: the plans checked at
// user coordinates, and one painting of each kind checked by its pixels.
#include <gtest/gtest.h>

#include "mainwindow/plot_geometry.h"
#include "ui/plot_paint.h"
#include "plot_fixture.h"
#include "ui/picture_box.h"

namespace plots_test {
namespace {

using mainwindow::ActivityPlotState;
using mainwindow::kBarGrey;
using mainwindow::kBlack;
using mainwindow::kRed;
using mainwindow::kWhite;
using mainwindow::PlotRgb;

// Channels of well w's beam 0 on the two-beam 96 plate: column c = w / 8 uses
// channels (2c) x 16 + 2 x row.
int Beam0(int well) { return (well / 8) * 32 + (well % 8) * 2; }

TEST(ScaleColumn, LabelsFollowThePlotScaleAndAZeroScaleBecomesOne) {
  struct Row {
    double scale, after;
    const char* top;
    const char* middle;
  };
  for (const Row& r :
       {Row{0.0, 1.0, "250", "125"}, Row{1.5, 1.5, "375", "188"}, Row{0.48, 0.48, "120", "60"}}) {
    DrawPlan plan;
    double scale = r.scale;
    mainwindow::ActivityAxes(plan, scale);
    EXPECT_EQ(scale, r.after);
    EXPECT_EQ(Texts(plan), (std::vector<std::string>{r.top, r.middle, " 0"})) << r.scale;
    EXPECT_EQ(FindText(plan, r.top)->y1, 260);
    for (const char* label : {r.top, r.middle, " 0"})  // clear of the ticks at -2..0
      EXPECT_LE(FindText(plan, label)->x1 + FindText(plan, label)->fit, -2) << label;
    EXPECT_TRUE(FindOp(plan, OpKind::kFill, kBlack, 0, 0, 2, 255));
    EXPECT_TRUE(FindOp(plan, OpKind::kFill, kBlack, 0, 0, 290, 2));
    EXPECT_TRUE(FindOp(plan, OpKind::kFill, kWhite, -20, -20, 0, 260));
  }
}

TEST(BarCell, ABarReachingTheTopIsDrawnCutOff) {
  DrawPlan whole;
  mainwindow::BarCell(whole, 10, 20, 2549, 10.0);  // 254.9 plot units
  EXPECT_TRUE(FindOp(whole, OpKind::kOutline, kBlack, 12, 1, 28, 254.9));
  EXPECT_TRUE(FindOp(whole, OpKind::kFill, kBarGrey, 12, 2, 28, 254.9));

  DrawPlan cut;  // a thick outline at 255, the fill running over it to 257
  mainwindow::BarCell(cut, 10, 20, 255, 1.0);
  const DrawOp* outline = FindOp(cut, OpKind::kOutline, kBlack, 12, 1, 28, 255);
  const DrawOp* fill = FindOp(cut, OpKind::kFill, kBarGrey, 12, 2, 28, 257);
  ASSERT_TRUE(outline && fill);
  EXPECT_EQ(outline->width, 3);
  EXPECT_EQ(fill->width, 1);
  // The value in grey inside the bar; the label row under the slot and the next erased.
  EXPECT_EQ(FindText(cut, "255")->color, PlotRgb(125, 125, 125));
  EXPECT_EQ(FindText(cut, "255")->x1, 14);
  EXPECT_EQ(FindText(cut, "255")->fit, 14);
  EXPECT_TRUE(FindOp(cut, OpKind::kFill, kWhite, 10, -30, 50, -2));
}

using BarPlot = PlotTest;

TEST_F(BarPlot, PitchOffsetAndPagesFollowTheNumberOfGroups) {
  struct Row {
    int groups;
    int16_t page;
    double pitch, offset;
    int16_t page_count;
    bool buttons;
    std::vector<std::string> labels;
  };
  const std::vector<Row> rows = {
      {5, 0, 50, 18, 0, false, {"G0_Group0", "G1_Group1", "G2_Group2", "G3_Group3", "G4_Group4"}},
      {6, 0, 300.0 / 7, 15, 0, false, {}},
      {12, 0, 300.0 / 13, 8, 0, false, {}},
      {13, 0, 300.0 / 13, 8, 2, true, {}},
      {13, 1, 300.0 / 13, 8, 2, true, {"G12_Free"}},
      {25, 2, 300.0 / 13, 8, 3, true, {"G24_Free"}},
  };
  for (const Row& r : rows) {
    FreeAllChannels();
    for (int g = 0; g < r.groups; ++g) PutInGroup({g * 2}, g);
    ActivityPlotState st{1.0, r.page, 0, false};
    DrawPlan plan;
    mainwindow::BarPlot(plan, Data(), st);
    EXPECT_EQ(st.Page_Count, r.page_count) << r.groups;
    EXPECT_EQ(st.show_page_buttons, r.buttons) << r.groups;
    // The first slot's white eraser starts at x0 + 0.1 p.
    EXPECT_TRUE(FindOp(plan, OpKind::kFill, kWhite, r.offset + 0.1 * r.pitch, 1,
                       r.offset + 0.9 * r.pitch, 275))
        << r.groups;
    // One label row after every slot's boxes: under each slot at x0 + 0.1 p, y -10,
    // free to start at -2 and reach -30 when it takes two lines.
    const DrawOp& row = plan.Ops().back();
    ASSERT_EQ(row.kind, OpKind::kLabelRow) << r.groups;
    EXPECT_EQ(row.fit, r.pitch) << r.groups;
    EXPECT_EQ(row.y1, -10);
    EXPECT_EQ(row.y1 + row.rise, -2);
    EXPECT_EQ(row.y2, -30);
    ASSERT_FALSE(row.points.empty()) << r.groups;
    EXPECT_DOUBLE_EQ(row.points[0], r.offset + 0.1 * r.pitch) << r.groups;
    if (!r.labels.empty()) EXPECT_EQ(row.texts, r.labels) << r.groups << " page " << r.page;
  }
}

TEST_F(BarPlot, BarsShowTheRoundedMeanAndGrowTheScaleOncePerCall) {
  PutInGroup({0, 2}, 0);
  totals[0] = 100;
  totals[2] = 201;  // mean 150.5 rounds to 150
  PutInGroup({4}, 1);
  totals[4] = 300;
  ActivityPlotState st{1.0, 0, 0, false};
  DrawPlan plan;
  mainwindow::BarPlot(plan, Data(), st);
  EXPECT_TRUE(FindOp(plan, OpKind::kOutline, kBlack, 23, 1, 63, 150));
  EXPECT_TRUE(FindText(plan, "150"));
  // 300 leaves the plot: cut off at 255 / 257, and the scale grows by 0.5 once.
  EXPECT_TRUE(FindOp(plan, OpKind::kOutline, kBlack, 73, 1, 113, 255));
  EXPECT_TRUE(FindOp(plan, OpKind::kFill, kBarGrey, 73, 2, 113, 257));
  EXPECT_EQ(st.Plot_Scale, 1.5);

  totals[4] = 250;  // not above 250: the scale stays
  st = {1.0, 0, 0, false};
  DrawPlan again;
  mainwindow::BarPlot(again, Data(), st);
  EXPECT_EQ(st.Plot_Scale, 1.0);
}

TEST_F(BarPlot, NoGroupsDrawsOnlyTheScaleColumnAndAZeroScaleIsMended) {
  ActivityPlotState st{0.0, 0, 5, false};
  DrawPlan plan;
  mainwindow::BarPlot(plan, Data(), st);
  EXPECT_EQ(Texts(plan), (std::vector<std::string>{"0", "0", " 0"}));
  EXPECT_EQ(st.Plot_Scale, 1.0);
  EXPECT_EQ(st.Page_Count, 5);
  EXPECT_TRUE(st.show_page_buttons);  // a page count above 1 shows them
  // Channel 384, the spare slot, is never a group member.
  storage::Shared().Group[384] = 7;
  EXPECT_EQ(mainwindow::CountGroupsInUse(mainwindow::GroupsOfStation(storage::Shared(), 0)), 0);
  EXPECT_EQ(mainwindow::CountGroupsInUse(mainwindow::GroupsOfStation(storage::Shared(), 4)), 0);
}

using GridPlot = PlotTest;

TEST_F(GridPlot, GreysScaleToTheMostActiveWellWithAFloorOf255) {
  struct Row {
    int64_t total, highest;
    int grey;
  };
  for (const Row& r : {Row{0, 0, 255}, Row{100, 100, 155}, Row{255, 255, 0}, Row{1000, 1000, 0},
                       Row{500, 1000, 127}, Row{60000, 60000, 0}, Row{30000, 60000, 127}}) {
    EXPECT_EQ(mainwindow::GridGrey(r.total, r.highest), r.grey) << r.total << "/" << r.highest;
  }
}

TEST_F(GridPlot, CellsOutlinedInRedThenFilledInsetByATenth) {
  // Well A1's two beams sum to 60000, past 16 bits; B1 has half of it.
  totals[Beam0(0)] = 30000;
  totals[Beam0(0) + 16] = 30000;
  totals[Beam0(1)] = 30000;
  DrawPlan plan;
  mainwindow::GridPlot(plan, Data());
  const auto outlines = OfKind(plan, OpKind::kOutline);
  const auto fills = OfKind(plan, OpKind::kFill);
  ASSERT_EQ(outlines.size(), 96u);
  ASSERT_EQ(fills.size(), 96u);
  for (const DrawOp& op : outlines) EXPECT_EQ(op.color, kRed);
  // cw = rp = 200, co = 0, ro = -50 on this plate; well 0 is A1, well 1 is B1.
  EXPECT_TRUE(FindOp(plan, OpKind::kOutline, kRed, 0, -50, 200, 150));
  EXPECT_TRUE(FindOp(plan, OpKind::kFill, PlotRgb(0, 0, 0), 20, -30, 180, 130));
  EXPECT_TRUE(FindOp(plan, OpKind::kFill, PlotRgb(127, 127, 127), 20, 170, 180, 330));
  // Outlines come before the fills in one redraw.
  EXPECT_EQ(plan.Ops().front().kind, OpKind::kOutline);
  EXPECT_EQ(plan.Ops().back().kind, OpKind::kFill);
  // An idle well is white.
  EXPECT_TRUE(FindOp(plan, OpKind::kFill, kWhite, 220, -30, 380, 130));
}

TEST_F(GridPlot, FrameLabelsAndScaleComeFromThePlateGeometry) {
  DrawPlan plan;
  mainwindow::GridFrame(plan, storage::Shared());
  EXPECT_EQ(OfKind(plan, OpKind::kOutline).size(), 96u);
  const auto texts = Texts(plan);
  ASSERT_EQ(texts.size(), 20u);
  EXPECT_EQ(texts.front(), "1");
  EXPECT_EQ(texts[11], "12");
  EXPECT_EQ(texts[12], "A");
  EXPECT_EQ(texts.back(), "H");
  EXPECT_EQ(FindText(plan, "3")->x1, 2.0 * (200 + 25));
  EXPECT_EQ(FindText(plan, "3")->y1, -150);
  EXPECT_EQ(FindText(plan, "B")->x1, -50);
  EXPECT_EQ(FindText(plan, "B")->y1, 2.0 * 125 - 50);
  EXPECT_EQ(mainwindow::GridFrameScale(storage::Shared()),
            (std::array<double, 4>{-150, -250, 2410, 1610}));

  // Pitches that are not whole hundredths: cells rounded (half to even), labels not.
  auto& s = storage::Shared();
  s.Col_Pitch = 2.125;   // 212.5 -> 212
  s.Col_Offset = 0.015;  // 1.5 -> 2
  DrawPlan odd;
  mainwindow::GridFrame(odd, s);
  EXPECT_TRUE(FindOp(odd, OpKind::kOutline, kRed, 2, -50, 214, 150));
  EXPECT_DOUBLE_EQ(FindText(odd, "1")->x1, 2.125 * 25 + 1.5);

  // No rows: no cells, no row labels, nothing divided.
  s.Plate_Rows = 0;
  DrawPlan empty;
  mainwindow::GridPlot(empty, Data());
  mainwindow::GridFrame(empty, s);
  EXPECT_EQ(OfKind(empty, OpKind::kOutline).size(), 0u);
  EXPECT_EQ(Texts(empty).size(), 12u);  // the column numbers only
}

using HistoPlot = PlotTest;

TEST_F(HistoPlot, ClassMeansOfTheGroupOfThePage) {
  PutInGroup({0, 2}, 3);
  histo[std::size_t(3) * 385 + 0] = 60;  // class 3: sums to 100, mean 50
  histo[std::size_t(3) * 385 + 2] = 40;
  histo[std::size_t(7) * 385 + 0] = 50;  // class 7: sums to 99, mean 49.5 -> 50
  histo[std::size_t(7) * 385 + 2] = 49;
  histo[std::size_t(26) * 385 + 0] = 9999;  // class 26 is not drawn
  ActivityPlotState st{1.0, 3, 2, false};
  DrawPlan plan;
  mainwindow::HistoPlot(plan, Data(), st);
  EXPECT_EQ(st.Page_Count, 96);
  EXPECT_TRUE(st.show_page_buttons);
  // Highest mean 50: scale 0.24 for the drawing ("60" at the top), then 50 / 0.24 is
  // above 50 and the scale grows by 0.2 for the next call.
  EXPECT_TRUE(FindText(plan, "60"));
  EXPECT_DOUBLE_EQ(st.Plot_Scale, 0.44);
  EXPECT_EQ(FindText(plan, "G3_Group3")->x1, 260);
  // Class k's slot: x0 = 10 k + 4, pitch 10, height v / 0.24.
  EXPECT_TRUE(FindOp(plan, OpKind::kOutline, kBlack, 35, 1, 43, 50 / 0.24));
  EXPECT_TRUE(FindOp(plan, OpKind::kOutline, kBlack, 75, 1, 83, 50 / 0.24));
  EXPECT_TRUE(FindOp(plan, OpKind::kOutline, kBlack, 5, 1, 13, 0));
  EXPECT_TRUE(FindOp(plan, OpKind::kFill, kWhite, 255, 1, 263, 275));
  EXPECT_FALSE(FindOp(plan, OpKind::kFill, kWhite, 265, 1, 273, 275));
}

TEST_F(HistoPlot, ScaleOfAnEmptyOrSilentGroupAndTheClassLabels) {
  // No channel in group 5: every bar 0, highest taken as 100, scale 0.48.
  ActivityPlotState st{1.0, 5, 0, false};
  DrawPlan plan;
  mainwindow::HistoPlot(plan, Data(), st);
  EXPECT_DOUBLE_EQ(st.Plot_Scale, 0.48);
  EXPECT_EQ(Texts(plan)[0], "120");

  // Channels whose histograms are all 0: scale 1.0 and it stays.
  PutInGroup({10}, 5);
  st = {3.0, 5, 0, false};
  DrawPlan silent;
  auto d = Data();
  d.sample_seconds_total = 0.5;
  mainwindow::HistoPlot(silent, d, st);
  EXPECT_EQ(st.Plot_Scale, 1.0);
  EXPECT_EQ(Texts(silent)[0], "250");
  // Before the first histo record the class labels are (k + 1) x the seconds.
  EXPECT_TRUE(FindText(silent, "0.5"));
  EXPECT_TRUE(FindText(silent, "13.0"));

  d.histo_records = 2;
  d.sample_seconds_total = 3.0;
  DrawPlan later;
  mainwindow::HistoPlot(later, d, st);
  EXPECT_EQ(FindText(later, "1.5")->x1, 5);
  EXPECT_EQ(FindText(later, "3.0")->x1, 15);
}

using TimePlot = PlotTest;

TEST_F(TimePlot, GroupBarAndOneBarPerWellAveragedOverTheWellsBeams) {
  totals[66] = 10;  // well 17 = B3, beams 0 and 1
  totals[82] = 21;  // mean 15.5 -> 16
  std::vector<int16_t> wells(385, 0);
  wells[0] = 17;
  double scale = 1.0;
  DrawPlan plan;
  mainwindow::TimePlot(plan, Data(), "000_Group0", wells, 1, scale);
  EXPECT_TRUE(FindOp(plan, OpKind::kOutline, kBlack, 10, 2, 30, 16));
  EXPECT_TRUE(FindOp(plan, OpKind::kFill, kBarGrey, 10, 2, 30, 16));
  EXPECT_EQ(FindText(plan, "16")->color, PlotRgb(128, 128, 128));
  EXPECT_EQ(FindText(plan, "G0_Group0")->x1, 5);
  // One well: pitch 25, its bar from 40 to 65, white inside a black border.
  EXPECT_TRUE(FindOp(plan, OpKind::kFill, kWhite, 40, 2, 65, 300));
  EXPECT_TRUE(FindOp(plan, OpKind::kOutline, kBlack, 42.5, 2, 62.5, 16));
  EXPECT_EQ(FindText(plan, "B3")->x1, 42.5);
  // The axes last.
  EXPECT_EQ(plan.Ops().back(), (DrawOp{OpKind::kFill, 0, 0, 290, 2, kBlack, 1, {}}));
}

TEST_F(TimePlot, PitchScaleAndTheCasesThatCannotBeDrawn) {
  std::vector<int16_t> wells(385, 0);
  for (int i = 0; i < 12; ++i) wells[std::size_t(i)] = static_cast<int16_t>(i);
  totals[Beam0(0)] = 1200;  // group value 1200 / 24 beams = 50
  double scale = 1.0;
  DrawPlan twelve;
  mainwindow::TimePlot(twelve, Data(), "000_Group0", wells, 12, scale);
  EXPECT_TRUE(FindOp(twelve, OpKind::kFill, kWhite, 40 + 22 * 11, 2, 40 + 22 * 12, 300));

  // A group value of 600: the scale grows to 2.5, the top label 625.
  totals[Beam0(0)] = 600;
  totals[Beam0(0) + 16] = 600;
  scale = 1.0;
  DrawPlan big;
  mainwindow::TimePlot(big, Data(), "000_Group0", wells, 1, scale);
  EXPECT_EQ(scale, 2.5);
  EXPECT_EQ(Texts(big)[0], "625");

  // No wells: the frame, the group bar and the axes, no division.
  DrawPlan none;
  scale = 1.0;
  mainwindow::TimePlot(none, Data(), "002_Group2", wells, 0, scale);
  EXPECT_TRUE(FindText(none, "G2_Group2"));
  EXPECT_EQ(none.Ops().back(), (DrawOp{OpKind::kFill, 0, 0, 290, 2, kBlack, 1, {}}));

  // A selector text without a number draws nothing.
  DrawPlan bad;
  mainwindow::TimePlot(bad, Data(), "abc", wells, 12, scale);
  EXPECT_EQ(bad.Size(), 0u);
}

TEST_F(TimePlot, EmptyLayoutSlotsAreNoBeamOfTheWell) {
  // Well 17 loses its second beam: its slot then holds channel 0, which is well 0's.
  auto layout = storage::BuiltInPlateLayout("w96f");
  layout.channel_well[82] = -1;
  storage::ApplyPlateLayout(layout);
  totals[0] = 1000;
  totals[66] = 10;
  std::vector<int16_t> wells(385, 0);
  wells[0] = 17;
  double scale = 1.0;
  DrawPlan plan;
  mainwindow::TimePlot(plan, Data(), "000_Group0", wells, 1, scale);
  EXPECT_TRUE(FindText(plan, "10"));  // not (10 + 1000) / 2
  EXPECT_EQ(scale, 1.0);
}

// ---- Painted once, checked by pixels ----

ui::Color Pixel(ui::PictureBox& pic, double x, double y) { return pic.Point(x, y); }

TEST_F(BarPlot, PaintedBarsAndAxesLandOnTheirPixels) {
  ui::PictureBox pic;
  pic.resize(331, 331);  // one pixel per unit in (-30, 300)-(300, -30)
  ASSERT_TRUE(pic.Scale(-30, 300, 300, -30));
  pic.Cls();
  PutInGroup({0}, 0);
  totals[0] = 100;
  ActivityPlotState st{1.0, 0, 0, false};
  DrawPlan plan;
  mainwindow::BarAxes(plan);
  mainwindow::BarPlot(plan, Data(), st);
  ui::PaintPlan(pic, plan);
  // The slot at x0 = 18, pitch 50: grey 25..61 up to 100, white above.
  EXPECT_EQ(Pixel(pic, 40, 50), ui::RGB(200, 200, 200));
  EXPECT_EQ(Pixel(pic, 40, 150), ui::RGB(255, 255, 255));
  EXPECT_EQ(Pixel(pic, 150, 1), ui::RGB(0, 0, 0));  // x axis
  EXPECT_EQ(Pixel(pic, 1, 200), ui::RGB(0, 0, 0));  // y axis
  EXPECT_EQ(pic.ForeColor(), ui::RGB(0, 0, 0));
}

TEST_F(GridPlot, PaintedCellsShowTheirGreyInsideARedFrame) {
  ui::PictureBox pic;
  pic.resize(256, 186);
  const auto sc = mainwindow::GridFrameScale(storage::Shared());
  ASSERT_TRUE(pic.Scale(sc[0], sc[1], sc[2], sc[3]));
  pic.Cls();
  totals[Beam0(0)] = 1000;
  totals[Beam0(1)] = 500;
  DrawPlan plan;
  mainwindow::GridFrame(plan, storage::Shared());
  mainwindow::GridPlot(plan, Data());
  mainwindow::GridFrame(plan, storage::Shared());
  ui::PaintPlan(pic, plan);
  EXPECT_EQ(Pixel(pic, 100, 50), ui::RGB(0, 0, 0));         // A1 centre
  EXPECT_EQ(Pixel(pic, 100, 250), ui::RGB(127, 127, 127));  // B1 centre
  EXPECT_EQ(Pixel(pic, 300, 50), ui::RGB(255, 255, 255));   // A2 centre
  EXPECT_EQ(Pixel(pic, 200, 100), ui::RGB(255, 0, 0));      // A1 | A2 border
}

}  // namespace
}  // namespace plots_test
