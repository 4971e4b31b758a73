#pragma once
// The real-time view of Picreal as drawing plans: the selected channel's levels over
// the bin's samples in red, its threshold trace in blue or green, the white cursor
// gap ahead of the newest sample and the tick counter. Frame: x 0 .. RT_Buffer + 20
// (one unit per sample), y 2100 (top) .. 0 (bottom).
#include <array>
#include <cstdint>
#include <vector>

#include "mainwindow/plot_geometry.h"

namespace mainwindow {

inline constexpr PlotColor kTraceRed = PlotRgb(255, 0, 0);
inline constexpr PlotColor kTraceBlue = PlotRgb(0, 0, 255);
inline constexpr PlotColor kTraceGreen = PlotRgb(0, 255, 0);
inline constexpr int kZoomMax = 10;

// One station's samples. Buffers are [sample * 385 + channel] with `rows` sample
// positions; a null buffer (the stations that hold no data) reads as zeros.
struct RealtimeData {
  const int16_t* ring = nullptr;    // levels
  const int16_t* planes = nullptr;  // threshold trace
  int rows = 0;
  int16_t Ring_Index = 0;
  int16_t RT_Buffer = 0;
  int32_t Zoom_Level = 0;
  const std::array<int16_t, 385>* Level_Peak = nullptr;
  int16_t Trace_Toggle = 0;
  int16_t channel = 0;  // Selected_Channel

  int16_t Level(int sample) const;
  int16_t Threshold(int sample) const;
  // Height of a level: the level itself, or (L - Level_Peak) x zoom + 1750 zoomed.
  int32_t MapY(int32_t level) const;
};

// The newest segments (every second tick): the last three level and threshold
// segments and the cursor gap.
void RealtimeTraces(DrawPlan& plan, const RealtimeData& d);
// The whole view after a clear: every segment of the ring but the three around the
// newest sample, then the current bin's levels and the cursor gap.
void RealtimePlot(DrawPlan& plan, const RealtimeData& d);
// The tick counter at (10, 250): the number of two ticks ago in white, then this one.
void TickCounter(DrawPlan& plan, int32_t tick_count);

// Reference levels for the zoom: the lowest of samples 1..4, then raised by any
// higher sample from 5 to Ring_Index - 1; for every channel 0..384.
void ComputeLevelPeaks(const int16_t* ring, int rows, int ring_index,
                       std::array<int16_t, 385>& level_peak);

}  // namespace mainwindow
