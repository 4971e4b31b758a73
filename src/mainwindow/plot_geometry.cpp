#include "mainwindow/plot_geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

#include "mainwindow/selectors.h"
#include "platform/numeric.h"
#include "storage/plate_layout.h"

namespace mainwindow {
namespace {

constexpr int kGroups = storage::kChannelCount;  // group numbers 0..383
constexpr int kGroupsPerPage = 12;
constexpr int kHistoShownClasses = 26;
// The activity picture's user width (x from -30 to 300), and the pixels a character
// of a class label takes at most with the air between two labels.
constexpr double kActivityUnits = 330;
constexpr int kLabelCharPixels = 8;
constexpr int kLabelAir = 6;

std::string Whole(double x) { return platform::FormatFixed(x, 0); }

int16_t ToInt16(double x) {
  return static_cast<int16_t>(std::clamp(platform::RoundToInt(x), -32768, 32767));
}

}  // namespace

// ---- Data ----

StationGroups GroupsOfStation(const storage::SharedState& s, int station) {
  switch (station) {
    case 0:
      return {&s.Group, &s.Group_Name};
    case 1:
      return {&s.Group_s2, &s.Group_Name_s2};
    case 2:
      return {&s.Group_s3, &s.Group_Name_s3};
    case 3:
      return {&s.Group_s4, &s.Group_Name_s4};
    default:
      return {};
  }
}

int ActivityData::CountTotal(int channel) const {
  if (!count_total || channel < 0 || channel >= storage::kTableSize) return 0;
  return (*count_total)[static_cast<std::size_t>(channel)];
}

int32_t ActivityData::Histo(int channel, int cls) const {
  if (!histo || channel < 0 || channel >= storage::kTableSize || cls < 0) return 0;
  const std::size_t i = std::size_t(cls) * storage::kTableSize + std::size_t(channel);
  return i < histo->size() ? (*histo)[i] : 0;
}

int ActivityData::GroupOf(int channel) const {
  if (!groups.group || channel < 0 || channel >= storage::kTableSize) return -1;
  return (*groups.group)[static_cast<std::size_t>(channel)];
}

std::string GroupLabel(const StationGroups& groups, int group) {
  if (!groups.group_name || group < 0 || group >= storage::kTableSize) return {};
  return "G" + std::to_string(group) + "_" + (*groups.group_name)[static_cast<std::size_t>(group)];
}

int CountGroupsInUse(const StationGroups& groups) {
  if (!groups.group) return 0;
  std::array<bool, kGroups> used{};
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int g = (*groups.group)[static_cast<std::size_t>(ch)];
    if (g >= 0 && g < kGroups) used[static_cast<std::size_t>(g)] = true;
  }
  return static_cast<int>(std::count(used.begin(), used.end(), true));
}

// ---- Frame pieces ----

void BarAxes(DrawPlan& plan) {
  plan.Fill(0, 0, 2, 255, kBlack);
  plan.Fill(0, 0, 290, 2, kBlack);
}

void ScaleColumn(DrawPlan& plan, double plot_scale) {
  plan.Fill(-20, -20, 0, 260, kWhite);
  plan.Fill(-2, 251, 0, 250, kBlack);
  plan.Fill(-2, 126, 0, 125, kBlack);
  plan.Fill(-2, 1, 0, 0, kBlack);
  // The labels keep inside the column its white box erases and end where the ticks
  // begin, so a wide label does not run into its tick.
  plan.Text(-15, 260, Whole(plot_scale * 250), kBlack, 13);
  plan.Text(-15, 130, Whole(plot_scale * 250 / 2), kBlack, 13);
  plan.Text(-15, 10, " 0", kBlack, 13);
}

void ActivityAxes(DrawPlan& plan, double& plot_scale) {
  BarAxes(plan);
  if (plot_scale == 0) plot_scale = 1.0;
  ScaleColumn(plan, plot_scale);
}

void BarCell(DrawPlan& plan, double x0, double p, int32_t v, double plot_scale) {
  if (plot_scale == 0) plot_scale = 1.0;
  const double left = BarLabelLeft(x0, p);
  const double right = x0 + 0.9 * p;
  plan.SetWidth(3);
  plan.Fill(left, 1, right, 275, kWhite);
  const double h = v / plot_scale;
  if (h < 255) {
    plan.Outline(left, 1, right, h, kBlack);
    plan.SetWidth(1);
    plan.Fill(left, 2, right, h, kBarGrey);
  } else {
    // Cut off: the grey covers the outline's top edge.
    plan.Outline(left, 1, right, 255, kBlack);
    plan.SetWidth(1);
    plan.Fill(left, 2, right, 257, kBarGrey);
  }
  plan.Fill(x0, -30, x0 + 2 * p, -2, kWhite);
  // The value keeps to its bar.
  plan.Text(x0 + 0.2 * p, 37, Whole(v), kValueGrey, 0.7 * p);
}

// ---- Wells view ----

void TimePlot(DrawPlan& plan, const ActivityData& data, const std::string& combogrup_text,
              const std::vector<int16_t>& group_channels, int group_channel_count,
              double& plot_scale) {
  const storage::SharedState& s = *data.shared;
  // The group number is the item's leading three digits ("003_..." is group 3).
  std::string head = combogrup_text.substr(0, 3);
  head.erase(0, head.find_first_not_of(' '));
  int g = 0;
  const auto [end, ec] = std::from_chars(head.data(), head.data() + head.size(), g);
  if (head.empty() || ec != std::errc() || end != head.data() + head.size()) return;

  const int count = std::clamp(group_channel_count, 0, static_cast<int>(group_channels.size()));
  std::vector<int32_t> well_value(static_cast<std::size_t>(count), 0);
  int64_t group_sum = 0;
  int32_t group_beams = 0;
  for (int i = 0; i < count; ++i) {
    const int w = group_channels[static_cast<std::size_t>(i)];
    int64_t sum = 0;
    int32_t beams = 0;
    for (int b = 0; b <= std::max<int>(s.Max_Beam, 0); ++b) {
      // Slots the layout leaves empty are no beam of the well.
      const int ch = ClaimedChannel(s, w, b);
      if (ch < 0) continue;
      const int c = data.CountTotal(ch);
      group_sum += c;
      ++group_beams;
      sum += c;
      ++beams;
    }
    if (beams > 0)
      well_value[static_cast<std::size_t>(i)] = platform::RoundToInt(double(sum) / beams);
  }
  const int32_t group_value =
      group_beams > 0 ? platform::RoundToInt(double(group_sum) / group_beams) : 0;

  if (plot_scale == 0) plot_scale = 1.0;
  if (plot_scale > 0) {
    while (group_value / plot_scale > 255) plot_scale += 0.5;
  }
  ScaleColumn(plan, plot_scale);

  const double h = platform::RoundHalfEven(group_value / plot_scale);
  plan.SetWidth(3);
  plan.Fill(10, 2, 30, 300, kWhite);
  plan.Outline(10, 2, 30, h, kBlack);
  plan.SetWidth(1);
  plan.Fill(10, 2, 30, h, kBarGrey);
  plan.Text(13, 37, std::to_string(group_value), PlotRgb(128, 128, 128), 17);
  // The labels go on after every eraser of the label row, each within its own room.
  DrawPlan labels;
  const std::string label = GroupLabel(data.groups, g);
  if (!label.empty()) labels.Text(5, -5, label, kBlack, 35);

  if (count > 0) {
    const int p = std::min(platform::RoundToInt(260.0 / count), 25);
    for (int i = 0; i < count; ++i) {
      const int w = group_channels[static_cast<std::size_t>(i)];
      const double x0 = double(p) * i + 40;
      const double hw = std::min(
          platform::RoundHalfEven(well_value[static_cast<std::size_t>(i)] / plot_scale), 255.0);
      plan.SetWidth(3);
      plan.Fill(x0, 2, x0 + p, 300, kWhite);
      plan.Outline(x0 + 0.1 * p, 2, x0 + 0.9 * p, hw, kBlack);
      plan.SetWidth(1);
      plan.Fill(x0 + 0.1 * p, 2, x0 + 0.9 * p, hw, kWhite);
      plan.Fill(x0, -1, x0 + p, -20, kWhite);
      labels.Text(x0 + 0.1 * p, -5, storage::WellLabel(w, s.Plate_Rows), kBlack, p);
    }
  }
  plan.Append(labels);
  BarAxes(plan);
}

// ---- Bar view ----

void BarPlot(DrawPlan& plan, const ActivityData& data, ActivityPlotState& state) {
  std::array<double, kGroups> sum{};
  std::array<int32_t, kGroups> cnt{};
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int g = data.GroupOf(ch);
    if (g < 0 || g >= kGroups) continue;
    sum[static_cast<std::size_t>(g)] += data.CountTotal(ch);
    ++cnt[static_cast<std::size_t>(g)];
  }
  const int n =
      static_cast<int>(std::count_if(cnt.begin(), cnt.end(), [](int32_t c) { return c > 0; }));
  int slots = n;
  if (n > kGroupsPerPage) {
    state.Page_Count = static_cast<int16_t>((n + kGroupsPerPage - 1) / kGroupsPerPage);
    slots = kGroupsPerPage;
  }
  if (state.Page_Count > 1) state.show_page_buttons = true;

  const double p = slots < 6 ? 50.0 : 300.0 / (slots + 1);
  const double o = platform::RoundHalfEven(0.35 * p);

  ScaleColumn(plan, state.Plot_Scale);
  if (state.Plot_Scale <= 0) state.Plot_Scale = 1.0;

  std::vector<double> label_x;
  std::vector<std::string> labels;
  int k = 0;
  int j = 0;
  int32_t highest = 0;
  const int first = state.Page * kGroupsPerPage;
  for (int g = 0; g < kGroups; ++g) {
    const int32_t c = cnt[static_cast<std::size_t>(g)];
    if (c <= 0) continue;
    if (k >= first && k < first + kGroupsPerPage) {
      const int32_t v = platform::RoundToInt(sum[static_cast<std::size_t>(g)] / c);
      highest = std::max(highest, v);
      BarCell(plan, j * p + o, p, v, state.Plot_Scale);
      label_x.push_back(BarLabelLeft(j * p + o, p));
      labels.push_back(GroupLabel(data.groups, g));
      ++j;
    }
    ++k;
  }
  // After every slot's eraser; labels too long for their slot go on two lines, which
  // may start as high as the top of the label row (-2).
  plan.LabelRow(std::move(label_x), std::move(labels), p, kBarLabelTop, -2 - kBarLabelTop, -30);
  if (highest / state.Plot_Scale > 250) state.Plot_Scale += 0.5;
}

// ---- Histogram view ----

void HistoPlot(DrawPlan& plan, const ActivityData& data, ActivityPlotState& state) {
  const int g = state.Page;
  std::array<double, kHistoShownClasses> sum{};
  int32_t count = 0;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    if (data.GroupOf(ch) != g) continue;
    for (int k = 0; k < kHistoShownClasses; ++k)
      sum[static_cast<std::size_t>(k)] += data.Histo(ch, k);
    ++count;
  }

  double highest = 100;
  if (count > 0) {
    highest = 0;
    for (int k = 0; k < kHistoShownClasses; ++k) {
      const double mean = sum[static_cast<std::size_t>(k)] / count;
      if (mean > highest) highest = platform::RoundHalfEven(mean);
    }
  }
  state.Plot_Scale = highest / 250 * 1.2;
  if (state.Plot_Scale <= 0) state.Plot_Scale = 1.0;
  state.Page_Count = 96;
  state.show_page_buttons = true;

  ScaleColumn(plan, state.Plot_Scale);
  // The group's label goes on after the bars' erasers, which reach up under it.
  DrawPlan labels;
  const std::string label = GroupLabel(data.groups, g);
  if (!label.empty()) labels.Text(260, 260, label, kBlack, 40);

  // Every step-th class is labelled, so that the labels do not run into each other.
  int step = 1;
  if (state.picture_width > 0) {
    const double slot_pixels = 10 * state.picture_width / kActivityUnits;
    const double label_pixels = 3 * kLabelCharPixels + kLabelAir;  // "0.0"
    step = std::max(1, static_cast<int>(std::ceil(label_pixels / slot_pixels)));
  }
  int32_t largest = 0;
  for (int k = 0; k < kHistoShownClasses; ++k) {
    const int32_t v =
        count > 0 ? platform::RoundToInt(sum[static_cast<std::size_t>(k)] / count) : 0;
    largest = std::max(largest, v);
    const double t = data.histo_records >= 1
                         ? data.sample_seconds_total / data.histo_records * (k + 1)
                         : (k + 1) * data.sample_seconds_total;
    BarCell(plan, k * 10 + 4, 10, v, state.Plot_Scale);
    if (k % step == 0)
      labels.Text(BarLabelLeft(k * 10 + 4, 10), kBarLabelTop, platform::FormatFixed(t, 1), kBlack,
                  10);
  }
  plan.Append(labels);
  if (largest / state.Plot_Scale > 50) state.Plot_Scale += 0.2;
}

// ---- Grid view ----

GridGeometry GridOf(const storage::SharedState& s) {
  return {ToInt16(s.Col_Pitch * 100), ToInt16(s.Col_Offset * 100), ToInt16(s.Row_Pitch * 100),
          ToInt16(s.Row_Offset * 100)};
}

std::array<double, 4> GridFrameScale(const storage::SharedState& s) {
  const GridGeometry gg = GridOf(s);
  return {double(gg.co - 150), double(gg.ro - 200), 2410, 1610};
}

namespace {

void GridOutlines(DrawPlan& plan, const storage::SharedState& s) {
  const GridGeometry gg = GridOf(s);
  for (int r = 0; r < s.Plate_Rows; ++r) {
    for (int c = 0; c < s.Plate_Cols; ++c) {
      plan.Outline(c * gg.cw + gg.co, r * gg.rp + gg.ro, (c + 1) * gg.cw + gg.co,
                   (r + 1) * gg.rp + gg.ro, kRed);
    }
  }
}

}  // namespace

void GridFrame(DrawPlan& plan, const storage::SharedState& s) {
  GridOutlines(plan, s);
  // Labels use the unrounded geometry.
  for (int c = 0; c < s.Plate_Cols; ++c) {
    plan.Text(s.Col_Pitch * (100.0 * c + 25) + 100 * s.Col_Offset, 100 * s.Row_Offset - 100,
              std::to_string(c + 1));
  }
  for (int r = 0; r < s.Plate_Rows; ++r) {
    plan.Text(100 * s.Col_Offset - 50, s.Row_Pitch * (100.0 * r + 25) + 100 * s.Row_Offset,
              std::string(1, static_cast<char>(65 + r)));
  }
}

int GridGrey(int64_t total, int64_t highest) {
  const double m = static_cast<double>(std::max<int64_t>(highest, 255));
  const int g = 255 - platform::RoundToInt(static_cast<double>(total) / m * 255);
  return std::clamp(g, 0, 255);
}

void GridPlot(DrawPlan& plan, const ActivityData& data) {
  const storage::SharedState& s = *data.shared;
  GridOutlines(plan, s);

  const int rows = std::max<int>(s.Plate_Rows, 0);
  const int cols = std::max<int>(s.Plate_Cols, 0);
  std::size_t wells = std::size_t(rows) * std::size_t(cols);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int w = s.Channel_Well[static_cast<std::size_t>(ch)];
    if (w >= 0) wells = std::max(wells, std::size_t(w) + 1);
  }
  // 32-bit totals: a well of several beams overflows a 16-bit total in a long run.
  std::vector<int32_t> total(wells, 0);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int w = s.Channel_Well[static_cast<std::size_t>(ch)];
    if (w >= 0) total[static_cast<std::size_t>(w)] += data.CountTotal(ch);
  }
  int32_t highest = 0;
  for (int32_t t : total) highest = std::max(highest, t);

  const GridGeometry gg = GridOf(s);
  for (int c = 0; c < cols; ++c) {
    for (int r = 0; r < rows; ++r) {
      const std::size_t w = std::size_t(c) * std::size_t(rows) + std::size_t(r);
      const int g = GridGrey(total[w], highest);
      plan.Fill(c * gg.cw + gg.co + 0.1 * gg.cw, r * gg.rp + gg.ro + 0.1 * gg.rp,
                (c + 1) * gg.cw + gg.co - 0.1 * gg.cw, (r + 1) * gg.rp + gg.ro - 0.1 * gg.rp,
                PlotRgb(g, g, g));
    }
  }
}

}  // namespace mainwindow
