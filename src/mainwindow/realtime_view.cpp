#include "mainwindow/realtime_view.h"

#include <algorithm>
#include <string>

namespace mainwindow {
namespace {

constexpr int kSlots = 385;
constexpr int kFloor = 6;  // zoomed levels below this are drawn at it

int16_t At(const int16_t* buffer, int rows, int channel, int sample) {
  if (!buffer || sample < 0 || sample >= rows || channel < 0 || channel >= kSlots) return 0;
  return buffer[std::size_t(sample) * kSlots + std::size_t(channel)];
}

PlotColor ThresholdColor(int16_t toggle, bool& draw) {
  draw = toggle == 0 || toggle == 1;
  return toggle == 1 ? kTraceGreen : kTraceBlue;
}

void LevelSegment(DrawPlan& plan, const RealtimeData& d, int i) {
  int32_t y0 = d.MapY(d.Level(i - 1));
  int32_t y1 = d.MapY(d.Level(i));
  if (d.Zoom_Level >= 1) {
    y0 = std::max(y0, kFloor);
    y1 = std::max(y1, kFloor);
  }
  plan.Line(i - 1, y0, i, y1, kTraceRed);
}

void ThresholdSegment(DrawPlan& plan, const RealtimeData& d, int i, int32_t y0, int32_t y1) {
  bool draw = false;
  const PlotColor c = ThresholdColor(d.Trace_Toggle, draw);
  if (draw) plan.Line(i - 1, y0, i, y1, c);
}

}  // namespace

int16_t RealtimeData::Level(int sample) const { return At(ring, rows, channel, sample); }

int16_t RealtimeData::Threshold(int sample) const { return At(planes, rows, channel, sample); }

int32_t RealtimeData::MapY(int32_t level) const {
  if (Zoom_Level < 1) return level;
  int32_t peak = 0;
  if (Level_Peak && channel >= 0 && channel < kSlots) peak = (*Level_Peak)[std::size_t(channel)];
  return (level - peak) * Zoom_Level + 1750;
}

void RealtimeTraces(DrawPlan& plan, const RealtimeData& d) {
  const int r = d.Ring_Index;
  if (r > 5) {
    for (int j = r - 3; j <= r - 1; ++j) {
      LevelSegment(plan, d, j);
      if (d.Threshold(j) > 0) {
        ThresholdSegment(plan, d, j, d.MapY(d.Threshold(j - 1)), d.MapY(d.Threshold(j)));
      }
    }
  }
  if (r > 2) plan.Fill(r, 21, r + 6, 2048, kWhite);
}

void RealtimePlot(DrawPlan& plan, const RealtimeData& d) {
  const int r = d.Ring_Index;
  const bool zoom = d.Zoom_Level >= 1;
  // The ring holds positions 0..rows-1; a larger RT_Buffer stops at its end.
  const int last = std::min<int>(d.RT_Buffer - 1, d.rows - 1);
  for (int i = 1; i <= last; ++i) {
    if (i >= r - 1 && i <= r + 1) continue;  // the newest sample stays unjoined to the oldest
    if (!zoom) {
      LevelSegment(plan, d, i);
      if (d.Threshold(i) >= kFloor) {
        ThresholdSegment(plan, d, i, d.Threshold(i - 1), d.Threshold(i));
      }
    } else {
      const int32_t y0 = d.MapY(d.Threshold(i - 1));
      const int32_t y1 = d.MapY(d.Threshold(i));
      if (y0 >= kFloor && y1 >= kFloor) ThresholdSegment(plan, d, i, y0, y1);
    }
  }
  if (r < 6) return;
  for (int i = 1; i <= r - 1; ++i) LevelSegment(plan, d, i);
  plan.Fill(r + 4, 21, r + 10, 2048, kWhite);
}

void TickCounter(DrawPlan& plan, int32_t tick_count) {
  plan.Text(10, 250, "#" + std::to_string(int64_t{tick_count} - 2), kWhite);
  plan.Text(10, 250, "#" + std::to_string(tick_count), kBlack);
}

void ComputeLevelPeaks(const int16_t* ring, int rows, int ring_index,
                       std::array<int16_t, 385>& level_peak) {
  for (int c = 0; c < kSlots; ++c) {
    int16_t peak = At(ring, rows, c, 1);
    for (int k = 2; k <= 4; ++k) peak = std::min(peak, At(ring, rows, c, k));
    for (int k = 5; k <= ring_index - 1 && k < rows; ++k)
      peak = std::max(peak, At(ring, rows, c, k));
    level_peak[std::size_t(c)] = peak;
  }
}

}  // namespace mainwindow
