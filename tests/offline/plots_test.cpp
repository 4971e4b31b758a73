#include "offline/offline_layout.h"
#include "offline/offline_plots.h"
#include "offline_fixture.h"

namespace offline_test {
namespace {

using offline::ActivityTables;
using ui::DrawOp;
using ui::OpKind;

std::vector<DrawOp> OfKind(const ui::DrawPlan& plan, OpKind kind) {
  std::vector<DrawOp> out;
  for (const DrawOp& op : plan.Ops())
    if (op.kind == kind) out.push_back(op);
  return out;
}

std::vector<std::string> TextsOf(const ui::DrawPlan& plan) {
  std::vector<std::string> out;
  for (const DrawOp& op : OfKind(plan, OpKind::kText)) out.push_back(op.text);
  return out;
}

// A table of `bins` bins with `value(bin, group)` in groups 0..383 and the Free slot.
ActivityTables Table(int bins, const std::function<double(int, int)>& value) {
  ActivityTables t;
  t.Bin_Count = bins;
  t.Bin_Size_Used = 5;
  t.Group_Activity =
      storage::Table2D<double>(static_cast<size_t>(bins) + 1, offline::kGroupSlots, 0.0);
  for (int b = 1; b <= bins; ++b)
    for (int g = 0; g < offline::kGroupSlots; ++g)
      t.Group_Activity(static_cast<size_t>(b), static_cast<size_t>(g)) = value(b, g);
  return t;
}

std::vector<std::string> Items(int count) {
  std::vector<std::string> out;
  for (int g = 0; g < count; ++g)
    out.push_back(platform::FormatZeroPadded(g, 3) + "_Group" + std::to_string(g));
  return out;
}

TEST(BarPlot, TenBarsFromTheChosenWindowOnAScaleOfAtLeastFifty) {
  const ActivityTables t = Table(1, [](int, int g) { return g == 384 ? 77 : g * 2; });
  const std::vector<std::string> items = Items(15);
  offline::BarPlotInput in{&t, &items, 12, offline::BarFirstItemFor(12), 26, 8};
  const offline::PlotPicture pic = offline::BarPlot(in);
  EXPECT_EQ(pic.scale, (offline::PlotScale{0, 52.5, 120, -0.135 * 50}));
  const auto fills = OfKind(pic.plan, OpKind::kFill);
  ASSERT_EQ(fills.size(), 10u);
  EXPECT_EQ(fills.front().x1, 12);
  EXPECT_EQ(fills.front().y2, 6);  // item 3, group 3
  EXPECT_EQ(fills.back().x1, 102);
  EXPECT_EQ(fills.back().y2, 24);  // item 12, group 12: the selected bar
  EXPECT_EQ(fills.back().color, offline::Rgb(200, 200, 200));
  EXPECT_EQ(fills[8].color, offline::Rgb(220, 220, 220));
  const auto texts = TextsOf(pic.plan);
  EXPECT_EQ(texts[0], "6");
  EXPECT_EQ(texts[texts.size() - 2], "50");  // the scale label
  // The bars' labels, first ten characters, in one row under the axis that may take a
  // second line down to the picture's bottom.
  const auto rows = OfKind(pic.plan, OpKind::kLabelRow);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].texts.front(), "003_Group3");
  EXPECT_EQ(rows[0].texts.back(), "012_Group1");
  EXPECT_EQ(rows[0].points.front(), 13);
  EXPECT_EQ(rows[0].y1, -2);
  EXPECT_EQ(rows[0].y2, pic.scale.bottom);

  EXPECT_EQ(offline::BarFirstItemFor(9), 0);
  EXPECT_EQ(offline::BarFirstItemFor(10), 1);

  const std::vector<std::string> free_only = {"999_Free"};
  const offline::PlotPicture f = offline::BarPlot({&t, &free_only, 0, 0, 80, 8});
  EXPECT_EQ(OfKind(f.plan, OpKind::kFill).at(0).y2, 77);
  EXPECT_EQ(f.scale.top, 84);

  // Nothing loaded: the drawing ends at the first bar.
  const ActivityTables none;
  EXPECT_EQ(offline::BarPlot({&none, &items, 0, 0, 0, 8}).plan.Size(), 0u);
}

TEST(BarPlot, DetailsBoxTakesTheLinesAfterTheFirst) {
  EXPECT_EQ(offline::DetailsBoxText("\r\n\t***** CONFIG ******\r\n\tMicroplate format: [w96]"),
            "***** CONFIG ******\r\nMicroplate format: [w96]\r\n");
  EXPECT_EQ(offline::DetailsBoxText("no break"), "");
  std::string many = "head";
  for (int k = 0; k < 12; ++k) many += "\r\nline" + std::to_string(k);
  const std::string box = offline::DetailsBoxText(many);
  EXPECT_EQ(box.substr(box.size() - 7), "line8\r\n");
}

class GridPlot : public OfflineTest {};

TEST_F(GridPlot, WellTotalsGreyAgainst255AndGroupLabels) {
  offline::LoadedRun run;
  run.Run_Plate_Rows = 2;
  run.Run_Plate_Cols = 3;
  run.Run_Row_Pitch = run.Run_Col_Pitch = 2;
  run.Run_Row_Offset = run.Run_Col_Offset = 0.5;
  run.Run_Channel_Well.fill(-1);
  run.Run_Group.fill(-1);
  run.Run_Max_Beam = 0;
  run.Run_Max_Well = 5;
  run.Run_Well_Grid.assign(6, -1);
  // Wells 0..4 have one channel each in groups 0..4; well 5 has none.
  for (int w = 0; w < 5; ++w) {
    run.Run_Channel_Well[static_cast<size_t>(w)] = static_cast<int16_t>(w);
    run.Run_Well_Grid[static_cast<size_t>(w)] = static_cast<int16_t>(w);
    run.Run_Group[static_cast<size_t>(w)] = static_cast<int16_t>(w);
  }
  run.Run_Channel_Well[200] = 1;   // a second channel of well 1, not its beam 0
  run.Run_Channel_Well[300] = 40;  // a well past the plate: never counted
  ActivityTables t;
  t.Channel_Totals[0] = 51;
  t.Channel_Totals[1] = 10;
  t.Channel_Totals[200] = 20;
  t.Channel_Totals[300] = 100000;
  const offline::PlotPicture pic = offline::GridPlot(run, t);
  EXPECT_EQ(pic.scale, (offline::PlotScale{0, 0, 2450, 1650}));
  const auto fills = OfKind(pic.plan, OpKind::kFill);
  ASSERT_EQ(fills.size(), 6u);
  EXPECT_EQ(fills[0].color, offline::Rgb(204, 204, 204));  // well 0: 255 - 51
  EXPECT_EQ(fills[0].x1, 0 + 50 + 0.6 * 200);
  EXPECT_DOUBLE_EQ(fills[0].y1, 50 + 200 * (1 - 51 / 255.0));
  EXPECT_EQ(fills[0].y2, 200 + 50 - 0.05 * 200);
  EXPECT_EQ(fills[3].color, offline::Rgb(225, 225, 225));  // well 1 (row 1): 30 of 255
  EXPECT_EQ(fills[1].color, offline::Rgb(255, 255, 255));  // well 2: nothing
  EXPECT_EQ(OfKind(pic.plan, OpKind::kOutline).front().color, offline::Rgb(255, 0, 0));

  std::vector<std::pair<std::string, int32_t>> labels;
  for (const DrawOp& op : OfKind(pic.plan, OpKind::kText))
    if (op.text[0] == 'G') labels.push_back({op.text, op.color});
  EXPECT_EQ(labels,
            (std::vector<std::pair<std::string, int32_t>>{{"G0", offline::Rgb(0, 255, 0)},
                                                          {"G1", offline::Rgb(0, 0, 255)},
                                                          {"G2", offline::Rgb(255, 0, 0)},
                                                          {"G3", offline::Rgb(0, 0, 0)},
                                                          {"G4", offline::Rgb(0, 255, 0)}}));
  EXPECT_EQ(offline::GridGreyLevel(0, 255), 255);
  EXPECT_EQ(offline::GridGreyLevel(1000, 1000), 0);
  EXPECT_EQ(offline::GridGreyLevel(1, 2), 127);  // 127.5 halves to even
}

TEST(LinePlot, BinButtonsAndTheFirstBin) {
  struct Case {
    int32_t box;
    int64_t span;
    int32_t minus, plus;
  };
  const std::vector<Case> cases = {
      {30, 60, 20, 30},   // 30 -> 25 -> 20; 30 -> 35 -> half the span
      {20, 60, 15, 30},   // plus: 25 -> 30
      {7, 60, 5, 12},     // minus: 7 -> 2 -> 5; plus: 12 divides 60
      {8, 60, 5, 30},     // plus: 13 -> 18 -> 23 -> 28 -> 33, above half the span
      {120, 60, 30, 30},  // plus: 125, above half the span
      {3, 600, 5, 5},    {200, 10080, 120, 120},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(offline::BinMinus(c.box, c.span), c.minus) << c.box << " " << c.span;
    EXPECT_EQ(offline::BinPlus(c.box, c.span), c.plus) << c.box << " " << c.span;
  }
  ActivityTables t;
  t.Bin_Count = 3;
  t.Bin_Size_Used = 10;
  EXPECT_EQ(offline::BinSpan(t), 30);
  t.Bin_Count = 13;
  EXPECT_EQ(offline::BinSpan(t), 120);
  EXPECT_EQ(offline::FirstLineBin(45), 5);
  EXPECT_EQ(offline::FirstLineBin(60), 30);
}

TEST(LinePlot, ColourTable) {
  const auto c = offline::LineColours();
  EXPECT_EQ(c[0], offline::Rgb(255, 0, 0));
  EXPECT_EQ(c[5], offline::Rgb(255, 0, 255));
  EXPECT_EQ(c[6], 0);
  EXPECT_EQ(c[7], offline::Rgb(255, 128, 0));
  EXPECT_EQ(c[13], offline::Rgb(235, 0, 0));  // 255 - 13 x 383 / 255 = 235.47
  EXPECT_EQ(c[19], 0);
  EXPECT_EQ(c[182], 0);  // v is 0 from here on
  EXPECT_EQ(c[189], offline::Rgb(0, 128, 0));
  EXPECT_EQ(c[376], offline::Rgb(128, 0, 0));
  for (int k = 377; k <= 384; ++k) EXPECT_EQ(c[static_cast<size_t>(k)], 0) << k;
}

TEST(LinePlot, ScaleAndLinesOverTime) {
  const ActivityTables t = Table(4, [](int b, int g) {
    return g == 0 ? 10.0 * b : g == 1 ? 20 : 0;
  });
  const std::vector<std::string> items = {"000_Control", "001_Drug"};
  offline::LinePlotInput in;
  in.tables = &t;
  in.items = &items;
  in.selected = 1;
  in.bin = 5;
  in.max = 20;
  offline::LinePlot plot = offline::LinePlotPlan(in);
  ASSERT_TRUE(plot.drawn);
  EXPECT_EQ(plot.scale_max, 30);  // below 50: 1.5 x M
  EXPECT_EQ(plot.picture.scale, (offline::PlotScale{-2, 33, 24, -3}));
  const auto texts = TextsOf(plot.picture.plan);
  EXPECT_EQ(texts[0], "Line PLOT");
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 1, texts.begin() + 5),
            (std::vector<std::string>{"5", "10", "15", "20"}));
  EXPECT_EQ(texts[5], "Time[min]");
  // Bins 1..3 are drawn (the last bin is not): two segments a group.
  const auto lines = OfKind(plot.picture.plan, OpKind::kLine);
  const DrawOp first{OpKind::kLine, 5, 10, 10, 20, offline::LineColours()[0], 1, {}};
  EXPECT_NE(std::find(lines.begin(), lines.end(), first), lines.end());
  const DrawOp selected{OpKind::kLine, 10, 20, 15, 20, offline::LineColours()[1], 3, {}};
  EXPECT_NE(std::find(lines.begin(), lines.end(), selected), lines.end());
  EXPECT_EQ(texts.back(), " [#001_Drug]");

  // The value axis runs 6 pixels past M (at most 0.05 M), so that lines at M lie inside
  // the plot; the scale stays.
  EXPECT_EQ(lines.front(), (DrawOp{OpKind::kLine, 0, 0, 0, 30, 0x808080, 1, {}}));
  for (const auto& [height, top] : {std::pair{360, 30 + 6 * 36.0 / 360}, std::pair{40, 31.5}}) {
    in.picture_height = height;
    const offline::LinePlot high = offline::LinePlotPlan(in);
    EXPECT_EQ(high.picture.scale, plot.picture.scale);
    EXPECT_NEAR(OfKind(high.picture.plan, OpKind::kLine).front().y2, top, 1e-9) << height;
  }

  in.max = 49;
  EXPECT_EQ(offline::LinePlotPlan(in).scale_max, 74);  // 73.5 halves to even
  in.max = 50;
  EXPECT_EQ(offline::LinePlotPlan(in).scale_max, 50);  // only below 50 is it raised
  in.max = 0;
  EXPECT_FALSE(offline::LinePlotPlan(in).drawn);
}

// Points at the given minutes after the first, values of group 0.
ActivityTables Points(const std::vector<int64_t>& minutes, const std::vector<double>& values) {
  ActivityTables t = Table(static_cast<int>(minutes.size()), [&](int p, int g) {
    return g == 0 ? values[static_cast<size_t>(p - 1)] : 0.0;
  });
  t.Point_Dates.assign(minutes.size() + 1, 0);
  for (size_t p = 0; p < minutes.size(); ++p) t.Point_Dates[p + 1] = 28000000 + minutes[p];
  return t;
}

// Legend texts are black beside a swatch of their line's colour (yellow reads on
// white), and the scale labels end left of the axis whatever their digits.
TEST(LinePlot, LegendInBlackBesideItsColourAndScaleLabelsClearOfTheAxis) {
  const ActivityTables t = Table(4, [](int b, int g) { return g == 0 ? 1000.0 * b : 20; });
  const std::vector<std::string> items = {"000_Control", "001_Drug", "002_A", "003_Yellow"};
  offline::LinePlotInput in;
  in.tables = &t;
  in.items = &items;
  in.bin = 5;
  in.max = 3000;
  in.picture_width = 400;
  const offline::LinePlot plot = offline::LinePlotPlan(in);
  ASSERT_TRUE(plot.drawn);
  const auto& ops = plot.picture.plan.Ops();
  const double units_per_pixel = 1.3 * 20 / 400;
  int legend_rows = 0;
  for (size_t i = 0; i < ops.size(); ++i) {
    if (ops[i].kind != OpKind::kText) continue;
    if (ops[i].text.rfind(" [#", 0) == 0) {
      ++legend_rows;
      EXPECT_EQ(ops[i].color, 0) << ops[i].text;
      ASSERT_GT(i, 0u);
      EXPECT_EQ(ops[i - 1].kind, OpKind::kFill) << ops[i].text;
      EXPECT_EQ(ops[i - 1].color, offline::LineColours()[size_t(legend_rows - 1)]) << ops[i].text;
      EXPECT_EQ(ops[i - 1].x2, ops[i].x1) << ops[i].text;
    } else if (ops[i].text == "3000" || ops[i].text == "1500") {
      // Four digits at 7 pixels and air: clear of the axis at x = 0.
      EXPECT_LE(ops[i].x1 + 4 * 7 * units_per_pixel, 0) << ops[i].text;
      EXPECT_GE(ops[i].x1, -0.1 * 20) << ops[i].text;
    }
  }
  EXPECT_EQ(legend_rows, 4);
}

TEST(LinePlot, KineticsUnitsAndRelativisation) {
  const std::vector<std::string> items = {"000_Control"};
  struct Case {
    std::vector<int64_t> minutes;
    char decimal;
    std::string separator;
    std::string unit;
    std::string time_line;
  };
  const std::vector<Case> cases = {
      {{0, 0, 1440}, '.', ";", "min", "Group/Time[min];0;0;1440\r\n"},
      {{0, 1440, 1500}, ',', ";", "h", "Group/Time[h];0;24,0;25,0\r\n"},
      {{0, 1440, 1500}, ',', ",", "h", "Group/Time[h],0,24.0,25.0\r\n"},
      {{0, 5040}, '.', ";", "day", "Group/Time[day];0;3.5\r\n"},
  };
  for (const Case& c : cases) {
    const ActivityTables t = Points(c.minutes, std::vector<double>(c.minutes.size(), 40));
    offline::LinePlotInput in;
    in.tables = &t;
    in.items = &items;
    in.tagged = true;
    in.max = 40;
    in.separator = c.separator;
    in.decimal = c.decimal;
    const offline::LinePlot plot = offline::LinePlotPlan(in);
    EXPECT_EQ(plot.unit, c.unit);
    EXPECT_EQ(plot.data_text.substr(0, c.time_line.size()), c.time_line);
    EXPECT_EQ(plot.picture.scale.right, 1.2 * (static_cast<double>(c.minutes.back()) + 1));
  }
  const ActivityTables zero_first = Points({0, 60, 120}, {0, 10, 30});
  const ActivityTables growing = Points({0, 60, 120}, {20, 10, 50});
  const std::vector<std::string> one = {"000_A"};
  offline::LinePlotInput in;
  in.items = &one;
  in.tagged = true;
  in.relativize = true;
  in.max = 30;
  in.tables = &zero_first;
  offline::LinePlot z = offline::LinePlotPlan(in);
  EXPECT_EQ(z.scale_max, 100);
  EXPECT_EQ(z.data_text, "Group/Time[min];0;60;120\r\n[#000_A];0;0;0\r\n");
  in.tables = &growing;
  offline::LinePlot g = offline::LinePlotPlan(in);
  EXPECT_EQ(g.scale_max, 250);
  EXPECT_EQ(g.data_text, "Group/Time[min];0;60;120\r\n[#000_A];100;50;250\r\n");

  // Every tagged run gone: an empty table, nothing drawn, relativised or not.
  ActivityTables none;
  none.Point_Dates.assign(1, 0);
  in.tables = &none;
  EXPECT_FALSE(offline::LinePlotPlan(in).drawn);
  in.relativize = false;
  EXPECT_FALSE(offline::LinePlotPlan(in).drawn);
}

class JointReport : public OfflineTest {};

TEST_F(JointReport, GoldenBytesOfTwoTaggedRunsADayApart) {
  const fs::path project = Home() / "p00001";
  const auto run = [&](const std::string& id, int control_a, int control_b, int drug) {
    fs::create_directories(project / id);
    AppendRecords(project / id, {{0, {{0, control_a}, {1, control_b}, {16, drug}}}});
  };
  run("20240502_0900", 40, 42, 22);
  run("20240501_0900", 37, 37, 35);
  storage::ChannelTable16 groups;
  groups.fill(-1);
  groups[0] = groups[1] = 0;
  groups[16] = 1;
  offline::ActivityTables t;
  const auto k = offline::LoadTaggedKinetics(project, "20240502_0900 20240501_0900", groups, t);
  const std::vector<std::string> items = {"000_Control", "001_Drug"};
  offline::LinePlotInput in;
  in.tables = &t;
  in.items = &items;
  in.tagged = true;
  in.max = k.max;
  in.separator = ";";
  const offline::LinePlot plot = offline::LinePlotPlan(in);
  ASSERT_TRUE(plot.drawn);
  EXPECT_EQ(plot.picture.plan.Ops()[2].text, "[TAG] Kinetics PLOT");
  const platform::WallTime now{2024, 5, 2, 14, 7, 31};
  EXPECT_EQ(offline::JointReportFileName(now), "joint_report20240502140731.csv");
  EXPECT_EQ(offline::JointReportBytes(now, plot.header_text, plot.data_text),
            "Joint Report [2024-05-02 14:07.31]\r\n"
            "Acq:;20240501_0900;20240502_0900\r\n"
            "\r\n"
            "Group/Time[min];0;1440\r\n"
            "[#000_Control];37;41\r\n"
            "[#001_Drug];35;22\r\n"
            "\r\n");
}

TEST(Layout, UnitsOfTheWorkedWindowAndATinyOne) {
  // 15360 x 11520 twips.
  const offline::OfflineLayout l = offline::ArrangeOfflineControls(1024, 768, 22);
  EXPECT_EQ(l.units.X0, 13824);
  EXPECT_EQ(l.units.M, 768);
  EXPECT_EQ(l.units.T, 288);
  EXPECT_EQ(l.units.U, 2304);
  EXPECT_EQ(l.units.V, 504);
  EXPECT_EQ(l.P2, 154);  // 921 pixels / 6 = 153.5
  EXPECT_EQ(l.Q2, 39);   // 5796 twips = 386 pixels
  EXPECT_EQ(l.P1, 154);  // 9216 twips = 614 pixels
  const ui::Placement* panel = l.Find("PicPanel2");
  ASSERT_TRUE(panel);
  EXPECT_EQ(panel->rect, (ui::PixelRect{51, 312, 922, 386}));
  const ui::Placement* pic = l.Find("Picreal");
  EXPECT_EQ(pic->rect, (ui::PixelRect{235, 20, 577, 331}));
  // The page bar lies in its panel, under the picture.
  for (const char* name : {"Label_page", "Txtpage", "scrollpage", "Frame_bisize", "frame_well"}) {
    const ui::Placement* p = l.Find(name);
    EXPECT_EQ(p->parent, "PicPanel2") << name;
    EXPECT_GE(p->rect.y, pic->rect.bottom()) << name;
    EXPECT_LE(p->rect.bottom(), panel->rect.height) << name;
  }
  // The well choice stays left of the page bar.
  EXPECT_FALSE(ui::Overlap(l.Find("frame_well")->rect, l.Find("Label_page")->rect));
  EXPECT_GE(l.Find("frame_well")->rect.x, pic->rect.x);
  EXPECT_EQ(l.Find("Cmd_cloud")->rect, l.Find("cmd_track")->rect);

  const offline::OfflineLayout again = offline::ArrangeOfflineControls(1024, 768, 22);
  ASSERT_EQ(again.controls.size(), l.controls.size());
  for (size_t i = 0; i < l.controls.size(); ++i)
    EXPECT_EQ(again.controls[i].rect, l.controls[i].rect);

  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{0, 0}, {3, 2}, {40, 30}}) {
    for (const ui::Placement& p : offline::ArrangeOfflineControls(w, h, 22).controls) {
      EXPECT_GE(p.rect.width, 0) << p.name;
      EXPECT_GE(p.rect.height, 0) << p.name;
    }
  }
}

}  // namespace
}  // namespace offline_test
