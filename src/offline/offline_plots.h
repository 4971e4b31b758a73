#pragma once
// The browser's plot views as drawing plans on the plot picture: the bar plot of the
// group means over the whole run, the plate grid of well totals, and the line plot of
// group means over time (or, for tagged runs, kinetics across runs, with the joint
// report's texts). Each function turns the tables of group_activity.h and the loaded
// run into a user scale and the operations to draw in it; the window clears the
// picture, sets the scale and paints the plan.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "offline/group_activity.h"
#include "offline/loaded_run.h"
#include "platform/clock.h"
#include "ui/draw_plan.h"

namespace offline {

struct PlotScale {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const PlotScale&) const = default;
};

struct PlotPicture {
  PlotScale scale;
  ui::DrawPlan plan;
};

constexpr int32_t Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

// The colour of a group label "G" & number: by group number mod 4, green, blue, red,
// black.
int32_t GroupLabelColour(int group);

// The first `count` characters of a text (whole UTF-8 characters).
std::string FirstChars(const std::string& text, size_t count);

// ---- Bar plot ----
inline constexpr int kBarsShown = 10;
inline constexpr int32_t kBarMinScale = 50;

struct BarPlotInput {
  const ActivityTables* tables = nullptr;           // bin 1 holds the whole run
  const std::vector<std::string>* items = nullptr;  // the group list
  int selected = -1;                                // its selected item
  int first_item = 0;                               // the first item drawn
  int32_t max = 0;                                  // the largest group mean
  double font_size = 8;                             // the picture's font size
};
// Up to ten bars from `first_item`, the selected one darker, on a scale of at least 50;
// a label or value wider than its bar's slot shrinks to fit it.
// Without a loaded table the plan ends where the first bar would be.
PlotPicture BarPlot(const BarPlotInput& in);
// The first item after a double click on item `selected`: it becomes the tenth bar.
int BarFirstItemFor(int selected);
// The details box: the lines of the details text after its first line break, at most
// nine, without tabs, each ended by CR LF.
std::string DetailsBoxText(const std::string& details);

// ---- Grid plot ----
// The plate in hundredths of its layout units: each well's total as a grey bar in the
// right part of its cell (darker and taller for more activity, against the largest
// total but at least 255), red cell outlines, "G" & group labels coloured by group
// mod 4 on wells whose beam-0 channel is grouped, column numbers and row letters.
PlotPicture GridPlot(const LoadedRun& run, const ActivityTables& tables);
// The grey level of a well total against the scale total.
int GridGreyLevel(int64_t total, int64_t scale_total);

// A well cell's width and height and the plate's left and top, in picture units.
struct PlateCells {
  double px = 0, ox = 0, py = 0, oy = 0;
};
// What the plate pictures share: the red well outlines, "G" & group on each well whose
// beam-0 channel is grouped (coloured by group mod 4), the column numbers at height
// `numbers_y` and the row letters left of the plate.
void PlateWells(const LoadedRun& run, const PlateCells& cells, double numbers_y,
                ui::DrawPlan& plan);

// ---- Line plot and kinetics ----
// 385 colours; item n of the group list is drawn in entry n.
std::array<int32_t, storage::kTableSize> LineColours();

// The bin-size buttons: the span T = (Bin_Count - 1) x Bin_Size_Used, at least 30.
int64_t BinSpan(const ActivityTables& tables);
int32_t BinMinus(int32_t bin, int64_t span);
int32_t BinPlus(int32_t bin, int64_t span);
// The line plot's first bin: 5 for runs shorter than an hour, else 30.
int32_t FirstLineBin(int aq_lapse);

struct LinePlotInput {
  const ActivityTables* tables = nullptr;
  const std::vector<std::string>* items = nullptr;
  int selected = -1;
  int32_t bin = kDefaultBin;  // B
  bool tagged = false;        // kinetics of tagged runs
  bool relativize = false;    // kinetics as percent of the first run
  int32_t max = 0;            // the load's largest mean
  std::string separator = ";";
  char decimal = '.';  // the locale's decimal sign, for the time labels
  // The picture's width in pixels: bin labels that would run into each other are
  // left out (every k-th bin labelled). 0 labels every bin.
  int picture_width = 0;
  // Its height in pixels: the value axis reaches a few pixels above the scale's top M,
  // so that lines at M run inside the plot, not along its edge. 0 ends it at M.
  int picture_height = 0;
};

struct LinePlot {
  bool drawn = false;  // false: the picture keeps what it showed, no report
  PlotPicture picture;
  int32_t scale_max = 0;  // M
  std::string unit = "min";
  // The joint report's texts (kinetics only).
  std::string header_text;
  std::string data_text;
};
LinePlot LinePlotPlan(const LinePlotInput& in);

// ---- Joint report ----
// "joint_report" & yyyymmddhhmmss & ".csv".
std::string JointReportFileName(const platform::WallTime& now);
// Its bytes: the title line with the date "yyyy-mm-dd hh:mm.ss", the header text and
// the data text, each ended by CR LF.
std::string JointReportBytes(const platform::WallTime& now, const std::string& header_text,
                             const std::string& data_text);

}  // namespace offline
