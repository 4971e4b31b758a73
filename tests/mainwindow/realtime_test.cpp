// The real-time view drawn from a hand-made ring: the newest segments of a tick, the
// whole view at zoom 0 and zoom z, the tick counter and the zoom's reference level.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "ui/plot_paint.h"
#include "mainwindow/realtime_view.h"
#include "plot_fixture.h"
#include "ui/picture_box.h"

namespace plots_test {
namespace {

using mainwindow::kTraceBlue;
using mainwindow::kTraceGreen;
using mainwindow::kTraceRed;
using mainwindow::kWhite;

constexpr int kCh = 7;

class Realtime : public ::testing::Test {
 protected:
  Realtime() : ring(std::size_t(501) * 385, 0), planes(std::size_t(501) * 385, 0) { peaks.fill(0); }

  void Set(std::vector<int16_t>& buf, int sample, int16_t v) {
    buf[std::size_t(sample) * 385 + kCh] = v;
  }

  mainwindow::RealtimeData Data(int ring_index, int zoom = 0, int toggle = 0) {
    mainwindow::RealtimeData d;
    d.ring = ring.data();
    d.planes = planes.data();
    d.rows = 501;
    d.Ring_Index = static_cast<int16_t>(ring_index);
    d.RT_Buffer = 10;
    d.Zoom_Level = zoom;
    d.Level_Peak = &peaks;
    d.Trace_Toggle = static_cast<int16_t>(toggle);
    d.channel = kCh;
    return d;
  }

  std::vector<int16_t> ring, planes;
  std::array<int16_t, 385> peaks{};
};

// Sample positions (the x of each segment's end) of the lines of one colour.
std::vector<int> LineEnds(const DrawPlan& plan, mainwindow::PlotColor c) {
  std::vector<int> out;
  for (const DrawOp& op : OfKind(plan, OpKind::kLine))
    if (op.color == c) out.push_back(static_cast<int>(op.x2));
  return out;
}

TEST_F(Realtime, NewestSegmentsAndTheCursorGapDependOnTheRingIndex) {
  for (int i = 0; i <= 10; ++i) {
    Set(ring, i, static_cast<int16_t>(100 * i));
    Set(planes, i, static_cast<int16_t>(10 + i));
  }
  DrawPlan two;
  mainwindow::RealtimeTraces(two, Data(2));
  EXPECT_EQ(two.Size(), 0u);

  DrawPlan five;
  mainwindow::RealtimeTraces(five, Data(5));
  ASSERT_EQ(five.Size(), 1u);
  EXPECT_EQ(five.Ops()[0], (DrawOp{OpKind::kFill, 5, 21, 11, 2048, kWhite, 0, {}}));

  DrawPlan six;
  mainwindow::RealtimeTraces(six, Data(6));
  EXPECT_EQ(LineEnds(six, kTraceRed), (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(LineEnds(six, kTraceBlue), (std::vector<int>{3, 4, 5}));
  EXPECT_TRUE(FindOp(six, OpKind::kLine, kTraceRed, 2, 200, 3, 300));
  EXPECT_TRUE(FindOp(six, OpKind::kLine, kTraceBlue, 4, 14, 5, 15));
  EXPECT_TRUE(FindOp(six, OpKind::kFill, kWhite, 6, 21, 12, 2048));

  // A threshold level of 0 at a position draws no threshold segment there.
  Set(planes, 4, 0);
  DrawPlan gap;
  mainwindow::RealtimeTraces(gap, Data(6));
  EXPECT_EQ(LineEnds(gap, kTraceBlue), (std::vector<int>{3, 5}));
}

TEST_F(Realtime, ThresholdColourFollowsTheToggle) {
  for (int i = 0; i <= 10; ++i) Set(planes, i, 50);
  for (auto [toggle, blue, green] : {std::tuple{0, 3u, 0u}, {1, 0u, 3u}, {2, 0u, 0u}}) {
    DrawPlan plan;
    mainwindow::RealtimeTraces(plan, Data(8, 0, toggle));
    EXPECT_EQ(LineEnds(plan, kTraceBlue).size(), blue) << toggle;
    EXPECT_EQ(LineEnds(plan, kTraceGreen).size(), green) << toggle;
    EXPECT_EQ(LineEnds(plan, kTraceRed).size(), 3u);
  }
}

TEST_F(Realtime, ZoomMapsAroundTheReferenceAndRaisesLowLevelsToSix) {
  peaks[kCh] = 2000;
  for (int i = 0; i <= 10; ++i) {
    Set(ring, i, 1200);  // (1200 - 2000) x 3 + 1750 = -650
    Set(planes, i, 2010);
  }
  Set(ring, 6, 2100);  // 2050
  DrawPlan plan;
  mainwindow::RealtimeTraces(plan, Data(8, 3));
  EXPECT_TRUE(FindOp(plan, OpKind::kLine, kTraceRed, 5, 6, 6, 2050));
  EXPECT_TRUE(FindOp(plan, OpKind::kLine, kTraceRed, 6, 2050, 7, 6));
  EXPECT_TRUE(FindOp(plan, OpKind::kLine, kTraceBlue, 6, 1780, 7, 1780));

  // The whole view: no level segment in the ring pass; a threshold segment with an
  // end below 6 is left out.
  Set(planes, 2, 1000);  // -1250
  DrawPlan whole;
  mainwindow::RealtimePlot(whole, Data(4, 3));
  EXPECT_EQ(LineEnds(whole, kTraceRed), std::vector<int>{});
  EXPECT_EQ(LineEnds(whole, kTraceBlue), (std::vector<int>{1, 6, 7, 8, 9}));
}

TEST_F(Realtime, WholeViewSkipsTheNewestSampleAndAddsTheCursorFromSixOn) {
  for (int i = 0; i <= 10; ++i) {
    Set(ring, i, 500);
    Set(planes, i, i == 7 ? 5 : 40);  // below 6: no threshold segment ending there
  }
  DrawPlan four;
  mainwindow::RealtimePlot(four, Data(4));
  EXPECT_EQ(LineEnds(four, kTraceRed), (std::vector<int>{1, 2, 6, 7, 8, 9}));
  EXPECT_EQ(LineEnds(four, kTraceBlue), (std::vector<int>{1, 2, 6, 8, 9}));
  EXPECT_TRUE(OfKind(four, OpKind::kFill).empty());

  DrawPlan eight;
  mainwindow::RealtimePlot(eight, Data(8));
  EXPECT_EQ(LineEnds(eight, kTraceRed), (std::vector<int>{1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(eight.Ops().back(), (DrawOp{OpKind::kFill, 12, 21, 18, 2048, kWhite, 0, {}}));

  // A station without data reads as zeros, a buffer size above the ring stops at its end.
  auto d = Data(8);
  d.ring = nullptr;
  d.planes = nullptr;
  d.RT_Buffer = 900;
  DrawPlan empty;
  mainwindow::RealtimePlot(empty, d);
  EXPECT_TRUE(FindOp(empty, OpKind::kLine, kTraceRed, 499, 0, 500, 0));
  EXPECT_FALSE(FindOp(empty, OpKind::kLine, kTraceRed, 500, 0, 501, 0));
}

TEST(TickCounter, ErasesTheNumberOfTwoTicksAgoThenPrintsThisOne) {
  DrawPlan plan;
  mainwindow::TickCounter(plan, 1);
  ASSERT_EQ(plan.Size(), 2u);
  EXPECT_EQ(plan.Ops()[0], (DrawOp{OpKind::kText, 10, 250, 10, 250, kWhite, 0, "#-1"}));
  EXPECT_EQ(plan.Ops()[1], (DrawOp{OpKind::kText, 10, 250, 10, 250, 0, 0, "#1"}));
}

TEST_F(Realtime, ReferenceLevelIsTheLowestOfTheFirstFourThenAnyHigherSample) {
  for (int i = 0; i <= 10; ++i) Set(ring, i, 45);
  Set(ring, 0, 1);  // sample 0 is not used
  Set(ring, 2, 40);
  Set(ring, 5, 30);  // lower samples from 5 on do not lower it
  Set(ring, 6, 70);
  std::array<int16_t, 385> out{};
  mainwindow::ComputeLevelPeaks(ring.data(), 501, 5, out);
  EXPECT_EQ(out[kCh], 40);
  mainwindow::ComputeLevelPeaks(ring.data(), 501, 6, out);
  EXPECT_EQ(out[kCh], 40);
  mainwindow::ComputeLevelPeaks(ring.data(), 501, 7, out);
  EXPECT_EQ(out[kCh], 70);
  EXPECT_EQ(out[0], 0);
  mainwindow::ComputeLevelPeaks(nullptr, 0, 7, out);
  EXPECT_EQ(out[kCh], 0);
}

TEST_F(Realtime, PaintedTraceAtZoomZeroAndZoomTwo) {
  ui::PictureBox pic;
  pic.resize(121, 211);  // x 0..120 one pixel a sample, y 2100..0 ten units a pixel
  ASSERT_TRUE(pic.Scale(0, 2100, 120, 0));
  for (int i = 0; i <= 100; ++i) Set(ring, i, 1000);
  auto d = Data(60);
  d.RT_Buffer = 100;
  DrawPlan flat;
  pic.Cls();
  mainwindow::RealtimePlot(flat, d);
  ui::PaintPlan(pic, flat);
  EXPECT_EQ(pic.Point(30, 1000), ui::RGB(255, 0, 0));
  EXPECT_EQ(pic.Point(67, 1000), ui::RGB(255, 255, 255));  // the cursor gap 64..70
  EXPECT_EQ(pic.Point(30, 1500), ui::RGB(255, 255, 255));

  peaks[kCh] = 900;
  d.Zoom_Level = 2;  // (1000 - 900) x 2 + 1750 = 1950
  DrawPlan zoomed;
  pic.Cls();
  mainwindow::RealtimePlot(zoomed, d);
  ui::PaintPlan(pic, zoomed);
  EXPECT_EQ(pic.Point(30, 1950), ui::RGB(255, 0, 0));
  EXPECT_EQ(pic.Point(30, 1000), ui::RGB(255, 255, 255));
}

}  // namespace
}  // namespace plots_test
