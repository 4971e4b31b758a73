#pragma once
// The channel-calibration window's pictures as drawing plans, and the arithmetic of
// its map and small controls, without widgets.
//
// Plate map (Picwell), scale (-75, -75)-(2400, 1600): 24 columns x 16 rows of cells
// 100 units wide; window channel = column x 16 + row. Signal plot (Picreal), scale
// (-60, 2150)-(620, -250): x the sample 0..599, y the level upward.
#include <string>
#include <utility>
#include <vector>

#include "service/channel_traces.h"
#include "ui/draw_plan.h"

namespace service {

inline constexpr int kMapColumns = 24;
inline constexpr int kMapRows = 16;
inline constexpr int kZoomMax = 10;

// Column numbers, every second row letter ("A".."H"), and each cell's red outline
// and blue centre circle, in white text on the map's own background.
ui::DrawPlan PlateMapPlan();
// Every cell filled with the grey of its channel's level at `sample` (level / 8
// rounded half to even, at most 255), then the outlines and circles again.
ui::DrawPlan CellShadingPlan(const ChannelTraces& traces, int sample);

// The plot's frame: the white left margin, the black time and level axes, "Time".
ui::DrawPlan SignalAxesPlan();
// The level (red) and threshold (blue) traces of `channel` over the ring, with a gap
// around `sample` where the next reading goes. With zoom z >= 1 the traces are z
// times higher, moved down so the channel's peak stays at 2040 at most. The frame
// goes over the traces last. Values past the 16-bit range are held at its edges.
ui::DrawPlan ChannelSignalPlan(const ChannelTraces& traces, int channel, int sample, int zoom);

// The cell under a map position: column and row as (x - 50) / 100 and (y - 50) / 100
// rounded half to even. Outside when either is below 0 or past the grid, so no
// position selects a channel past 383.
struct MapCell {
  int column = 0;
  int row = 0;
  bool inside = false;
};
MapCell CellAt(double x, double y);
// "C7" for row 2, column 6.
std::string CellName(int row, int column);
// The markers of a mouse move from `last` to `now`: the old column and row marks
// painted over in light grey when they changed (or the mouse left), the new ones in red.
ui::DrawPlan MapMarkerPlan(const MapCell& last, const MapCell& now);

// The channel of the row letter and column number boxes: (column - 1) x 16 + (code
// of the row's first letter - 64) - 1; below 0 gives 0, past the grid 383.
int ChannelFromBoxes(const std::string& row_text, const std::string& column_text);

// The threshold bar for a channel's threshold: its maximum 20, or the threshold
// rounded when above 20; its value the threshold rounded, held within 0..maximum.
struct ThresholdBar {
  int maximum = 20;
  int value = 0;
};
ThresholdBar ThresholdBarFor(double threshold);

// The scan dot's brightness: +/- 15 while below 255 / above 0. Its size: +/- 1
// within 1..30. Each takes the box's text and gives its new text.
std::string StepBrightness(const std::string& text, bool up);
std::string StepDotSize(const std::string& text, bool up);

// The live view's scan points: the corner of every cell (rows 0..16 and columns
// 0..24, the last ones on the picture's edges) moved by (x, y).
std::vector<std::pair<double, double>> ScanPoints(int cell_width, int cell_height, int x, int y);

}  // namespace service
