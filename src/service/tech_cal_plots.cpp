#include "service/tech_cal_plots.h"

#include <algorithm>
#include <cstdint>

#include "platform/numeric.h"
#include "service/device_test_steps.h"

namespace service {

namespace {

// Plans carry colours as 0x00BBGGRR.
constexpr int32_t Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }
constexpr int kCell = 100;
constexpr int32_t kWhite = Rgb(255, 255, 255);
constexpr int32_t kBlack = Rgb(0, 0, 0);
constexpr int32_t kRed = Rgb(255, 0, 0);
constexpr int32_t kBlue = Rgb(0, 0, 255);
constexpr int32_t kMarkerOff = Rgb(224, 224, 224);
constexpr double kCircleRadius = 5;
constexpr int kZoomBase = 1750;
constexpr int kPeakCeiling = 2040;
constexpr int kBrightnessStep = 15;
constexpr int kBrightnessTop = 255;
constexpr int kDotSizeMax = 30;

void CellFrames(ui::DrawPlan& plan) {
  for (int r = 0; r < kMapRows; ++r) {
    for (int c = 0; c < kMapColumns; ++c) {
      plan.Outline(c * kCell, r * kCell, (c + 1) * kCell, (r + 1) * kCell, kRed);
      plan.Circle(c * kCell + kCell / 2, r * kCell + kCell / 2, kCircleRadius, kBlue);
    }
  }
}

// The plot works in 16-bit numbers; a taller value is drawn at the range's edge.
double Clip16(int64_t v) { return static_cast<double>(std::clamp<int64_t>(v, -32768, 32767)); }

int WholePart(const std::string& text) {
  const double v = platform::Int(platform::Val(text));
  return static_cast<int>(std::clamp(v, -1e9, 1e9));
}

}  // namespace

ui::DrawPlan PlateMapPlan() {
  ui::DrawPlan plan;
  // A number keeps a fifth of its cell clear before the next, so narrow cells do not
  // run the numbers together ("1011121314").
  for (int c = 0; c < kMapColumns; ++c)
    plan.Text(c * kCell + 25, -75, std::to_string(c + 1), kWhite, 0.8 * kCell);
  for (int r = 0; r < kMapRows; r += 2) {
    plan.Text(-50, r * kCell, std::string(1, static_cast<char>('A' + r / 2)), kWhite);
  }
  CellFrames(plan);
  return plan;
}

ui::DrawPlan CellShadingPlan(const ChannelTraces& traces, int sample) {
  ui::DrawPlan plan;
  for (int r = 0; r < kMapRows; ++r) {
    for (int c = 0; c < kMapColumns; ++c) {
      const int g = TestGrey(traces.Level(c * kMapRows + r, sample));
      plan.Fill(c * kCell, r * kCell, (c + 1) * kCell, (r + 1) * kCell, Rgb(g, g, g));
    }
  }
  CellFrames(plan);
  return plan;
}

ui::DrawPlan SignalAxesPlan() {
  ui::DrawPlan plan;
  plan.Fill(0, 0, -250, 2000, kWhite);
  plan.Fill(0, 0, 600, 20, kBlack);
  plan.Fill(0, 0, 6, 2000, kBlack);
  plan.Text(200, -65, "Time", kBlack);
  return plan;
}

ui::DrawPlan ChannelSignalPlan(const ChannelTraces& traces, int channel, int sample, int zoom) {
  ui::DrawPlan plan;
  const int k = sample;
  const int64_t z = zoom;
  auto level = [&](int i) -> int64_t { return traces.Level(channel, i); };
  auto threshold = [&](int i) -> int64_t { return traces.Threshold(channel, i); };
  auto segment = [&](int i, int64_t y0, int64_t y1, int32_t c) {
    plan.Line(i - 1, Clip16(y0), i, Clip16(y1), c);
  };
  auto gap = [&](int i) { return k - 1 <= i && i <= k + 1; };

  for (int i = 1; i < kTraceSamples; ++i) {
    if (gap(i)) continue;
    if (z == 0) {
      segment(i, level(i - 1), level(i), kRed);
      if (threshold(i) > 0) segment(i, threshold(i - 1), threshold(i), kBlue);
    } else {
      segment(i, level(i - 1) * z + kZoomBase, level(i) * z + kZoomBase, kBlue);
    }
  }
  const int64_t peak = static_cast<int64_t>(traces.Peak(channel)) * z;
  const int64_t shift = z >= 1 && peak > kPeakCeiling ? kPeakCeiling - peak : 0;
  for (int i = 1; i < kTraceSamples; ++i) {
    if (gap(i)) continue;
    if (z == 0) {
      if (threshold(i) > 0) segment(i, threshold(i - 1), threshold(i), kBlue);
      if (level(i) > 0) segment(i, level(i - 1), level(i), kRed);
    } else {
      segment(i, threshold(i - 1) * z + shift, threshold(i) * z + shift, kBlue);
      if (level(i) > 0) segment(i, level(i - 1) * z + shift, level(i) * z + shift, kRed);
    }
  }
  plan.Append(SignalAxesPlan());
  return plan;
}

MapCell CellAt(double x, double y) {
  MapCell cell;
  cell.column = platform::RoundToInt((x - kCell / 2) / kCell);
  cell.row = platform::RoundToInt((y - kCell / 2) / kCell);
  cell.inside = cell.column >= 0 && cell.row >= 0 && cell.column < kMapColumns && cell.row < kMapRows;
  return cell;
}

std::string CellName(int row, int column) {
  return std::string(1, static_cast<char>('A' + row)) + std::to_string(column + 1);
}

ui::DrawPlan MapMarkerPlan(const MapCell& last, const MapCell& now) {
  ui::DrawPlan plan;
  if (now.column != last.column || !now.inside) {
    plan.Fill(last.column * kCell + 10, 0, last.column * kCell + 80, 4, kMarkerOff);
  }
  if (now.row != last.row || !now.inside) {
    plan.Fill(0, last.row * kCell + 10, 4, last.row * kCell + 80, kMarkerOff);
  }
  if (now.inside) {
    plan.Fill(0, now.row * kCell + 10, 4, now.row * kCell + 80, kRed);
    plan.Fill(now.column * kCell + 10, 0, now.column * kCell + 80, 4, kRed);
  }
  return plan;
}

int ChannelFromBoxes(const std::string& row_text, const std::string& column_text) {
  const double row_code = row_text.empty() ? 0 : static_cast<unsigned char>(row_text[0]);
  const double channel = (platform::Val(column_text) - 1) * kMapRows + (row_code - 64) - 1;
  return static_cast<int>(std::clamp<int32_t>(platform::RoundToInt(channel), 0,
                                              kMapColumns * kMapRows - 1));
}

ThresholdBar ThresholdBarFor(double threshold) {
  ThresholdBar bar;
  const int rounded = platform::RoundToInt(threshold);
  if (threshold > 20) bar.maximum = rounded;
  bar.value = std::clamp(rounded, 0, bar.maximum);
  return bar;
}

std::string StepBrightness(const std::string& text, bool up) {
  int v = WholePart(text);
  if (up && v < kBrightnessTop) v += kBrightnessStep;
  if (!up && v > 0) v -= kBrightnessStep;
  return std::to_string(v);
}

std::string StepDotSize(const std::string& text, bool up) {
  const int v = WholePart(text);
  if (up) return std::to_string(v >= kDotSizeMax ? kDotSizeMax : v + 1);
  return std::to_string(v <= 1 ? 1 : v - 1);
}

std::vector<std::pair<double, double>> ScanPoints(int cell_width, int cell_height, int x, int y) {
  std::vector<std::pair<double, double>> points;
  points.reserve((kMapRows + 1) * (kMapColumns + 1));
  for (int row = 0; row <= kMapRows; ++row) {
    for (int col = 0; col <= kMapColumns; ++col) {
      points.emplace_back(col * cell_width + x, row * cell_height + y);
    }
  }
  return points;
}

}  // namespace service
