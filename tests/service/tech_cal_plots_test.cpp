// The channel-calibration window's arithmetic without an instrument: selection, map
// cells, shading, the signal plot, the threshold trace, the small controls and the
// scan test's numbers.
#include <gtest/gtest.h>

#include <algorithm>

#include "service/channel_traces.h"
#include "service/scan_test.h"
#include "service/tech_cal.h"
#include "service/tech_cal_plots.h"
#include "storage/shared_state.h"

namespace {

using service::ChannelTraces;

TEST(TechCalSelection, BoxesAndMapNeverLeaveTheGrid) {
  struct Box {
    const char* row;
    const char* column;
    int channel;
  };
  const Box boxes[] = {
      {"P", "24", 383}, {"A", "1", 0},   {"A", "0", 0},    // row chosen before the column
      {"C", "7", 98},   {"Z", "24", 383}, {"", "3", 0},    // typed text stays on the grid
  };
  for (const auto& b : boxes) {
    EXPECT_EQ(service::ChannelFromBoxes(b.row, b.column), b.channel) << b.row << b.column;
  }
  struct Cell {
    double x, y;
    int column, row;
    bool inside;
  };
  const Cell cells[] = {
      {650, 250, 6, 2, true},      {0, 0, 0, 0, true},        {2399, 1599, 23, 15, true},
      {2400, 800, 24, 8, false},   {800, 1600, 8, 16, false},  // the picture's far edges
      {-60, 300, -1, 2, false},    {350, -60, 3, -1, false},
  };
  for (const auto& c : cells) {
    const service::MapCell m = service::CellAt(c.x, c.y);
    EXPECT_EQ(m.column, c.column) << c.x;
    EXPECT_EQ(m.row, c.row) << c.y;
    EXPECT_EQ(m.inside, c.inside) << c.x << "," << c.y;
  }
  EXPECT_EQ(service::CellName(2, 6), "C7");
}

TEST(TechCalPlots, ShadingFollowsTheLevelOnly) {
  ChannelTraces t;
  t.Level(0, 5) = 2040;     // A1: white
  t.Level(16, 5) = 4095;    // A2: held at white
  t.Level(17, 5) = 1020;    // B2: 127.5, half to even
  const ui::DrawPlan plan = service::CellShadingPlan(t, 5);
  auto fill_of = [&](int column, int row) {
    for (const auto& op : plan.Ops())
      if (op.kind == ui::OpKind::kFill && op.x1 == column * 100 && op.y1 == row * 100) return op.color;
    return -1;
  };
  EXPECT_EQ(fill_of(0, 0), 0xFFFFFF);
  EXPECT_EQ(fill_of(1, 0), 0xFFFFFF);
  EXPECT_EQ(fill_of(1, 1), 0x808080);
  EXPECT_EQ(fill_of(0, 1), 0);
  // The frames come over the fills.
  EXPECT_EQ(plan.Ops().back().kind, ui::OpKind::kCircle);
}

TEST(TechCalPlots, SignalLeavesAGapAtTheNextSampleAndZoomKeepsThePeakInside) {
  ChannelTraces t;
  for (int s = 0; s < service::kTraceSamples; ++s) t.Level(7, s) = 1000;
  t.sample_index = 300;
  auto red_at = [](const ui::DrawPlan& p, double x) {
    std::vector<double> ys;
    for (const auto& op : p.Ops())
      if (op.kind == ui::OpKind::kLine && op.color == 0x0000FF && op.x2 == x) ys.push_back(op.y2);
    return ys;
  };
  const ui::DrawPlan raw = service::ChannelSignalPlan(t, 7, 120, 0);
  EXPECT_TRUE(red_at(raw, 119).empty());
  EXPECT_TRUE(red_at(raw, 121).empty());
  EXPECT_EQ(red_at(raw, 122), (std::vector<double>{1000, 1000}));
  t.UpdatePeaks();
  EXPECT_EQ(t.Peak(7), 1000);
  // Zoom 3: 3000 is past 2040, so everything moves down by 960.
  EXPECT_EQ(red_at(service::ChannelSignalPlan(t, 7, 120, 3), 50), (std::vector<double>{2040}));
  // Zoom 10 on a level of 4000 is past 16 bits: held at the edge, shifted.
  for (int s = 0; s < service::kTraceSamples; ++s) t.Level(7, s) = 4000;
  t.UpdatePeaks();
  const ui::DrawPlan tall = service::ChannelSignalPlan(t, 7, 120, 10);
  EXPECT_EQ(red_at(tall, 50), (std::vector<double>{2040}));
  bool held = false;  // 4000 x 10 + 1750 does not fit 16 bits
  for (const auto& op : tall.Ops()) held |= op.color == 0xFF0000 && op.y2 == 32767;
  EXPECT_TRUE(held);
  EXPECT_EQ(raw.Ops().back().text, "Time");
}

TEST(TechCalTraces, ThresholdFollowsTheElevenLatestLevelsAndStartsLevel) {
  storage::ResetSharedState();
  storage::Shared().ThresholdAt(0, 5) = 10;
  ChannelTraces t;
  // Samples 593..599 and 0..3 count; 592 and 4 do not.
  t.Level(5, 592) = 3000;
  t.Level(5, 4) = 3000;
  t.Level(5, 595) = 1005;
  t.Level(5, 2) = 800;
  t.sample_index = 3;
  t.read_count = 20;
  t.UpdateThresholdTrace(storage::Shared());
  EXPECT_EQ(t.Threshold(5, 3), 904);  // 904.5, half to even
  EXPECT_EQ(t.Threshold(5, 2), 0);

  struct Case {
    int index;
    int32_t count;
    int first_filled;  // the 11 samples before the index take its value; -1: too few reads
  };
  for (const Case c : {Case{11, 11, 0}, Case{250, 11, 239}, Case{5, 11, 594}, Case{10, 10, -1}}) {
    ChannelTraces u;
    u.Level(5, c.index) = 1000;
    u.sample_index = c.index;
    u.read_count = c.count;
    u.UpdateThresholdTrace(storage::Shared());
    if (c.first_filled < 0) {
      EXPECT_EQ(u.Threshold(5, c.index), 0) << c.index;
      continue;
    }
    for (int back = 0; back <= 11; ++back) {
      const int s = (c.index - back + 600) % 600;
      EXPECT_EQ(u.Threshold(5, s), 900) << c.index << " " << s;
    }
    EXPECT_EQ(u.Threshold(5, (c.first_filled + 599) % 600), 0) << c.index;
    EXPECT_EQ(u.Threshold(5, (c.index + 1) % 600), 0);
  }
  storage::ResetSharedState();
}

TEST(TechCalControls, StepsStayInTheirRanges) {
  struct Step {
    std::string (*fn)(const std::string&, bool);
    const char* text;
    bool up;
    const char* result;
  };
  const Step steps[] = {
      {service::StepBrightness, "255", false, "240"}, {service::StepBrightness, "15", false, "0"},
      {service::StepBrightness, "0", false, "0"},     {service::StepBrightness, "240", true, "255"},
      {service::StepBrightness, "255", true, "255"},  {service::StepBrightness, "abc", true, "15"},
      {service::StepDotSize, "30", true, "30"},       {service::StepDotSize, "45", true, "30"},
      {service::StepDotSize, "1", false, "1"},        {service::StepDotSize, "-3", false, "1"},
      {service::StepDotSize, "7.9", true, "8"},
  };
  for (const auto& s : steps) EXPECT_EQ(s.fn(s.text, s.up), s.result) << s.text;

  struct Bar {
    double threshold;
    int maximum, value;
  };
  for (const Bar b : {Bar{3, 20, 3}, Bar{20.4, 20, 20}, Bar{37.5, 38, 38}, Bar{-4, 20, 0}}) {
    const service::ThresholdBar bar = service::ThresholdBarFor(b.threshold);
    EXPECT_EQ(bar.maximum, b.maximum) << b.threshold;
    EXPECT_EQ(bar.value, b.value) << b.threshold;
  }
  EXPECT_EQ(service::DecodeSetting(30).power, 7);  // power field past 7
  EXPECT_EQ(service::CalibrationModeText(0), "0_Max.Gain");
  EXPECT_EQ(service::CalibrationModeText(1), "Max.Gain");
  EXPECT_EQ(service::BandForTarget(90).lower, 1741);
  EXPECT_EQ(service::BandForTarget(90).upper, 1946);
}

TEST(ScanTestNumbers, MeansAndDeviationsRoundHalvesAwayFromZero) {
  struct Case {
    std::array<int16_t, 6> readings;
    const char* mean;
    const char* deviation;
  };
  const Case cases[] = {
      {{10, 10, 10, 10, 10, 13}, "11", "1"},
      {{1000, 1000, 1000, 1000, 1000, 1000}, "1000", "0"},
      {{1, 1, 1, 2, 2, 2}, "2", "1"},  // 1.5 and 0.5
      {{0, 0, 0, 0, 0, 0}, "0", "0"},
  };
  for (const auto& c : cases) {
    service::ScanReadings r{};
    for (int i = 0; i < 6; ++i) r[static_cast<size_t>(i)].fill(c.readings[static_cast<size_t>(i)]);
    const service::ScanStats st = service::ComputeScanStats(r);
    std::string mean = "[p2,g5]", dev = "[p2,g5]";
    for (int ch = 0; ch < 384; ++ch) {
      mean += std::string(" ") + c.mean;
      dev += std::string(" ") + c.deviation;
    }
    EXPECT_EQ(service::ScanMeanLine(2, 5, st), mean + "\r\n") << c.mean;
    EXPECT_EQ(service::ScanDeviationLine(2, 5, st), dev + "\r\n") << c.deviation;
  }
}

}  // namespace
