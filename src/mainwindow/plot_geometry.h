#pragma once
// The activity plot's views as drawing plans: pure functions that turn the run's
// totals, the plate and the group tables into boxes, lines and texts at user
// coordinates of Picact. PaintPlan (plot_paint.h) puts a plan on a picture box.
//
// Frame of the wells, bar and histogram views: x -30 (left) .. 300 (right), y 300
// (top) .. -30 (bottom); plot area x 0..290, y 0..255, scale column x -20..0, label
// row y -30..-2. The grid view draws in plate units x 100 (GridFrameScale).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "storage/shared_state.h"
#include "ui/draw_plan.h"

namespace mainwindow {

// 0x00BBGGRR, the encoding of ui::Color.
using PlotColor = int32_t;
constexpr PlotColor PlotRgb(int r, int g, int b) {
  return static_cast<PlotColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr PlotColor kBlack = PlotRgb(0, 0, 0);
inline constexpr PlotColor kWhite = PlotRgb(255, 255, 255);
inline constexpr PlotColor kRed = PlotRgb(255, 0, 0);
inline constexpr PlotColor kBarGrey = PlotRgb(200, 200, 200);
inline constexpr PlotColor kValueGrey = PlotRgb(125, 125, 125);

// The plans are the picture boxes' own (ui/draw_plan.h).
using OpKind = ui::OpKind;
using DrawOp = ui::DrawOp;
using DrawPlan = ui::DrawPlan;

// The channel-to-group table and group names of a station (0..3); null for any
// other station, whose groups are then all empty.
struct StationGroups {
  const storage::ChannelTable16* group = nullptr;
  const storage::ChannelTableText* group_name = nullptr;
};
StationGroups GroupsOfStation(const storage::SharedState& s, int station);

// What the views read of the run: the station's running totals and the run's
// peak-interval histograms (both null = nothing counted yet, read as zeros).
struct ActivityData {
  const storage::SharedState* shared = nullptr;
  StationGroups groups;
  const std::array<int16_t, storage::kTableSize>* count_total = nullptr;
  // Histogram of channel ch, class k (0..25): histo[k * 385 + ch].
  const std::vector<int32_t>* histo = nullptr;
  int32_t histo_records = 0;
  double sample_seconds_total = 0.0;

  int CountTotal(int channel) const;
  int32_t Histo(int channel, int cls) const;
  int GroupOf(int channel) const;  // -1 without a table
};

// The fields of the main window that the views read and write.
struct ActivityPlotState {
  double Plot_Scale = 1.0;
  int16_t Page = 0;
  int16_t Page_Count = 0;
  // Set by a view that makes cmd_pgup and cmd_pgdown visible (never hidden there).
  bool show_page_buttons = false;
  // The activity picture's width in pixels: histogram class labels that would run into
  // each other are thinned to every k-th class. 0 labels every class.
  int picture_width = 0;
};

// "G" & group & "_" & name; an empty text for a group outside the name table.
std::string GroupLabel(const StationGroups& groups, int group);
// Groups 0..383 with at least one of channels 0..383 in the station's table.
int CountGroupsInUse(const StationGroups& groups);

// The axes of the bar and histogram frames: two filled black boxes.
void BarAxes(DrawPlan& plan);
// The scale column: white box, three ticks, the labels for 250 x scale.
void ScaleColumn(DrawPlan& plan, double plot_scale);
// The empty frame: axes, then the scale column (a scale of 0 becomes 1.0 first).
void ActivityAxes(DrawPlan& plan, double& plot_scale);
// One slot of the bar and histogram views at x0 with pitch p: its boxes, the eraser of
// the label row under it and the next slot, and its value. The views put the labels on
// after every slot's boxes, at x0 + 0.1 p, y -10 (BarLabelLeft, kBarLabelTop).
void BarCell(DrawPlan& plan, double x0, double p, int32_t v, double plot_scale);
inline constexpr double kBarLabelTop = -10;
inline double BarLabelLeft(double x0, double p) { return x0 + 0.1 * p; }

// The wells view: a grey group bar and one white bar per well of `group_channels`.
// Nothing is drawn when the first three characters of `combogrup_text` are not a
// number.
void TimePlot(DrawPlan& plan, const ActivityData& data, const std::string& combogrup_text,
              const std::vector<int16_t>& group_channels, int group_channel_count,
              double& plot_scale);
// The bar view: the mean total of each group in use, 12 groups a page.
void BarPlot(DrawPlan& plan, const ActivityData& data, ActivityPlotState& state);
// The histogram view: class means of group `Page` for classes 0..25.
void HistoPlot(DrawPlan& plan, const ActivityData& data, ActivityPlotState& state);

// Grid geometry in hundredths, rounded half to even for the cells.
struct GridGeometry {
  int cw = 0, co = 0, rp = 0, ro = 0;
};
GridGeometry GridOf(const storage::SharedState& s);
// The grid frame's user scale (left, top, right, bottom), y growing downwards.
std::array<double, 4> GridFrameScale(const storage::SharedState& s);
// Red cell outlines, column numbers and row letters.
void GridFrame(DrawPlan& plan, const storage::SharedState& s);
// Red cell outlines, then each well filled with the grey of its total.
void GridPlot(DrawPlan& plan, const ActivityData& data);
// Grey of a well: 255 - round(total / M x 255), M the highest total but at least 255.
int GridGrey(int64_t total, int64_t highest);

}  // namespace mainwindow
