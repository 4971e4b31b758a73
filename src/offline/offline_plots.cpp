#include "offline/offline_plots.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/numeric.h"

namespace offline {

namespace {

constexpr int32_t kBlack = Rgb(0, 0, 0);
constexpr int32_t kAxisGrey = Rgb(128, 128, 128);
constexpr int32_t kSelectedBar = Rgb(200, 200, 200);
constexpr int32_t kBar = Rgb(220, 220, 220);
constexpr int32_t kCellRed = Rgb(255, 0, 0);
constexpr const char* kCrLf = "\r\n";
// The room of a bar's texts: its slot, less a unit of air.
constexpr double kSlotRoom = 9;
// Pixels a character of a time label takes at most, and the air between two labels.
constexpr int kLabelCharPixels = 8;
constexpr int kLabelAir = 8;
// The width of a legend row's colour swatch in pixels.
constexpr int kSwatchPixels = 10;
// Pixels a digit of a scale label takes at most.
constexpr int kDigitPixels = 7;
// Pixels the line plot's value axis reaches above its top value.
constexpr int kAxisHeadroomPixels = 6;

double Nearest(double x) { return platform::RoundHalfEven(x); }
std::string Whole(double x) { return platform::FormatFixed(x, 0); }

// The number an item starts with, as the line plot compares it with the selection
// (999 for "999_Free"); -1 for no number.
int ItemNumber(const std::string& item) {
  int value = 0;
  const std::string head = item.substr(0, 3);
  const auto [ptr, ec] = std::from_chars(head.data(), head.data() + head.size(), value);
  return (ec == std::errc() && ptr != head.data()) ? value : -1;
}

// A label through the number format "000": a text that is a number is written with at
// least three digits, any other text is left as it is.
std::string Format000(const std::string& text) {
  double value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return text;
  return platform::FormatZeroPadded(value, 3);
}

std::string WithDecimal(std::string text, char decimal) {
  std::replace(text.begin(), text.end(), '.', decimal);
  return text;
}

}  // namespace

int32_t GroupLabelColour(int group) {
  static constexpr int32_t kColours[] = {Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(255, 0, 0), kBlack};
  return kColours[((group % 4) + 4) % 4];
}

std::string FirstChars(const std::string& text, size_t count) {
  size_t i = 0;
  for (size_t n = 0; i < text.size() && n < count; ++n) {
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return text.substr(0, i);
}

// ---- Bar plot ----

PlotPicture BarPlot(const BarPlotInput& in) {
  PlotPicture pic;
  const double m = std::max(in.max, kBarMinScale);
  pic.scale = {0, 1.05 * m, 120, -0.135 * m};
  ui::DrawPlan& plan = pic.plan;
  plan.SetWidth(2);
  const bool has_table = in.tables && in.tables->Group_Activity.rows() > 1;
  const std::vector<std::string> none;
  const std::vector<std::string>& items = in.items ? *in.items : none;
  std::vector<double> label_x;
  std::vector<std::string> labels;
  int k = 1;
  for (int n = 0; n < static_cast<int>(items.size()) && k <= kBarsShown; ++n) {
    if (n < in.first_item) continue;
    if (!has_table) return pic;  // nothing loaded yet: the drawing ends at the first bar
    const double v = in.tables->At(1, GroupOfItem(items[static_cast<size_t>(n)]));
    if (n == in.selected) {
      plan.Fill(10 * k + 2, 0, 10 * k + 10, v, kSelectedBar);
      plan.Outline(10 * k + 2, 0, 10 * k + 10, v, kBlack);
    } else {
      plan.Fill(10 * k + 2, 0, 10 * k + 10, v, kBar);
      plan.SetWidth(1);
      plan.Outline(10 * k + 2, 0, 10 * k + 10, v, kBlack);
      plan.SetWidth(2);
    }
    label_x.push_back(10 * k + 3);
    labels.push_back(FirstChars(items[static_cast<size_t>(n)], 10));
    plan.Text(10 * k + 3, m / 3, Whole(v), kBlack, kSlotRoom);
    ++k;
  }
  // Labels too long for their slot go on two lines, down to the picture's bottom.
  plan.LabelRow(std::move(label_x), std::move(labels), kSlotRoom, -2, 0, pic.scale.bottom);
  plan.Line(10, 0, 119, 0, kAxisGrey);
  plan.Line(10, 0, 10, m, kAxisGrey);
  plan.Line(10, 0, 9, 0, kAxisGrey);
  plan.Line(10, 0.99 * m, 9, 0.99 * m, kAxisGrey);
  plan.SetWidth(1);
  const double f = Nearest(in.font_size);
  plan.ScaledText(6, 1.05 * m, Whole(m), kBlack, 0.75);
  plan.ScaledText(6, 0.5 * f, "0", kBlack, 0.75);
  return pic;
}

int BarFirstItemFor(int selected) {
  return selected > kBarsShown - 1 ? selected - (kBarsShown - 1) : 0;
}

std::string DetailsBoxText(const std::string& details) {
  std::string text;
  for (char c : details)
    if (c != '\t') text += c;
  std::string out;
  size_t from = text.find('\r');
  for (int lines = 0; from != std::string::npos && lines < 9; ++lines) {
    const size_t next = text.find('\r', from + 1);
    std::string piece =
        text.substr(from + 1, next == std::string::npos ? std::string::npos : next - from - 1);
    piece.erase(
        std::remove_if(piece.begin(), piece.end(), [](char c) { return c == '\r' || c == '\n'; }),
        piece.end());
    out += piece + kCrLf;
    from = next;
  }
  return out;
}

// ---- Grid plot ----

int GridGreyLevel(int64_t total, int64_t scale_total) {
  const double t = static_cast<double>(total);
  const double scale = static_cast<double>(std::max<int64_t>(scale_total, 1));
  return std::clamp(255 - platform::RoundToInt(255 * t / scale), 0, 255);
}

PlotPicture GridPlot(const LoadedRun& run, const ActivityTables& tables) {
  PlotPicture pic;
  const double px = Nearest(100 * run.Run_Col_Pitch), ox = Nearest(100 * run.Run_Col_Offset);
  const double py = Nearest(100 * run.Run_Row_Pitch), oy = Nearest(100 * run.Run_Row_Offset);
  pic.scale = {ox - 50, oy - 50, 2450, 1650};
  ui::DrawPlan& plan = pic.plan;
  const int rows = std::max<int>(run.Run_Plate_Rows, 0);
  const int cols = std::max<int>(run.Run_Plate_Cols, 0);
  const size_t wells = static_cast<size_t>(rows) * static_cast<size_t>(cols);

  std::vector<int64_t> total(wells, 0);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int w = run.Run_Channel_Well[static_cast<size_t>(ch)];
    if (w >= 0 && static_cast<size_t>(w) < wells &&
        static_cast<size_t>(ch) < tables.Channel_Totals.size())
      total[static_cast<size_t>(w)] += tables.Channel_Totals[static_cast<size_t>(ch)];
  }
  int64_t scale_total = 255;
  for (int64_t t : total) scale_total = std::max(scale_total, t);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      const int64_t t =
          total[static_cast<size_t>(j) * static_cast<size_t>(rows) + static_cast<size_t>(i)];
      const int level = GridGreyLevel(t, scale_total);
      const double share = static_cast<double>(t) / static_cast<double>(scale_total);
      plan.Fill(j * px + ox + 0.6 * px, i * py + oy + py * (1 - share),
                (j + 1) * px + ox - 0.05 * px, (i + 1) * py + oy - 0.05 * py,
                Rgb(level, level, level));
    }
  }

  PlateWells(run, {px, ox, py, oy}, 120 * run.Run_Row_Offset - 50, plan);
  return pic;
}

void PlateWells(const LoadedRun& run, const PlateCells& cells, double numbers_y,
                ui::DrawPlan& plan) {
  const int rows = std::max<int>(run.Run_Plate_Rows, 0);
  const int cols = std::max<int>(run.Run_Plate_Cols, 0);
  const double px = cells.px, ox = cells.ox, py = cells.py, oy = cells.oy;
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j)
      plan.Outline(j * px + ox, i * py + oy, (j + 1) * px + ox, (i + 1) * py + oy, kCellRed);
  for (int j = 0; j < cols; ++j) {
    for (int i = 0; i < rows; ++i) {
      const int ch = run.WellGridAt(j * rows + i, 0);
      if (ch < 0 || ch >= storage::kChannelCount) continue;
      const int g = run.Run_Group[static_cast<size_t>(ch)];
      if (g < 0) continue;
      plan.Text(100 * (j * run.Run_Col_Pitch + run.Run_Col_Offset) + 25,
                100 * (i * run.Run_Row_Pitch + run.Run_Row_Offset) + 45, "G" + std::to_string(g),
                GroupLabelColour(g));
    }
  }
  for (int j = 0; j < cols; ++j)
    plan.Text(100 * (j * run.Run_Col_Pitch + run.Run_Col_Offset) + 25, numbers_y,
              std::to_string(j + 1));
  for (int i = 0; i < rows; ++i)
    plan.Text(100 * run.Run_Col_Offset - 50, 100 * (i * run.Run_Row_Pitch + run.Run_Row_Offset),
              std::string(1, static_cast<char>(65 + i)));
}

// ---- Line plot ----

std::array<int32_t, storage::kTableSize> LineColours() {
  std::array<int32_t, storage::kTableSize> c{};  // black where no step reaches
  for (int k = 0; k <= 370; k += 13) {
    const int v = std::max(0, platform::RoundToInt(255 - k * 383 / 255.0));
    const auto at = [&](int i) -> int32_t& { return c[static_cast<size_t>(k + i)]; };
    at(0) = Rgb(v, 0, 0);
    at(1) = Rgb(0, v, 0);
    at(2) = Rgb(0, 0, v);
    at(3) = Rgb(v, v, 0);
    at(4) = Rgb(0, v, v);
    at(5) = Rgb(v, 0, v);
    at(7) = Rgb(v, 128, 0);
    at(8) = Rgb(128, v, 0);
    at(9) = Rgb(0, 128, v);
    at(10) = Rgb(v, 0, 128);
    at(11) = Rgb(0, v, 128);
    at(12) = Rgb(128, 0, v);
  }
  return c;
}

int64_t BinSpan(const ActivityTables& tables) {
  const int64_t span = (static_cast<int64_t>(tables.Bin_Count) - 1) * tables.Bin_Size_Used;
  return std::max<int64_t>(span, 30);
}

int32_t BinMinus(int32_t b, int64_t span) {
  if (b <= 5) {
    b = 5;
  } else if (b >= 10 && b <= 120) {
    b -= 5;
  } else if (b > 120) {
    b = 120;
  }
  const double half = span / 2.0;
  if (b > half) b = platform::RoundToInt(half);
  while (span % b != 0 && b > 5) b -= 5;
  return std::max(b, 5);
}

int32_t BinPlus(int32_t b, int64_t span) {
  if (b < 5) {
    b = 5;
  } else if (b > 120) {
    b = 120;
  } else {
    b += 5;
  }
  const double half = span / 2.0;
  if (b > half) b = platform::RoundToInt(half);
  while (span % b != 0 && b < half) b += 5;
  if (b > half) b = platform::RoundToInt(half);
  return b;
}

int32_t FirstLineBin(int aq_lapse) { return aq_lapse < 60 ? 5 : 30; }

LinePlot LinePlotPlan(const LinePlotInput& in) {
  LinePlot out;
  if (!in.tables || !in.items) return out;
  const ActivityTables& t = *in.tables;
  const std::vector<std::string>& items = *in.items;
  const std::string& s = in.separator;
  const int32_t n =
      std::min<int32_t>(t.Bin_Count, static_cast<int32_t>(t.Group_Activity.rows()) - 1);
  const int32_t b = in.bin;
  // Kinetics without a single run (all of them gone or no run folders): nothing to draw,
  // and no first point to measure time from.
  if (in.tagged && n < 1) return out;

  // The values drawn: the table's, or percentages of each group's first point.
  std::vector<std::vector<double>> values(items.size());
  double m = in.max;
  for (size_t i = 0; i < items.size(); ++i) {
    const int g = GroupOfItem(items[i]);
    values[i].assign(static_cast<size_t>(std::max(n, 0)) + 1, 0.0);
    for (int32_t p = 1; p <= n; ++p) values[i][static_cast<size_t>(p)] = t.At(p, g);
  }
  if (in.tagged) {
    out.header_text = "Acq:";
    for (char c : t.Sorted_Tag_List) out.header_text += c == ' ' ? s : std::string(1, c);
    out.header_text += kCrLf;
  }
  if (in.tagged && in.relativize) {
    double largest = 0;
    for (std::vector<double>& v : values) {
      if (n < 1) continue;
      const double first = v[1];
      for (int32_t p = 2; p <= n; ++p)
        v[static_cast<size_t>(p)] = first > 0 ? v[static_cast<size_t>(p)] / first * 100 : 0;
      v[1] = first > 0 ? 100 : 0;
      for (int32_t p = 1; p <= n; ++p) largest = std::max(largest, v[static_cast<size_t>(p)]);
    }
    m = std::max(100.0, Nearest(largest));
  }
  if (m < 50) m = Nearest(1.5 * m);

  double w = static_cast<double>(n) * b;
  const auto minutes_from_first = [&](int32_t p) {
    return static_cast<double>(t.Point_Dates[static_cast<size_t>(p)] - t.Point_Dates[1]);
  };
  if (in.tagged) w = n >= 1 ? Nearest(minutes_from_first(n)) + 1 : 1;
  const double r = std::min(std::min(m, w) / 200, 0.3);
  out.scale_max = static_cast<int32_t>(m);
  if (m == 0) return out;

  out.drawn = true;
  out.picture.scale = {-0.1 * w, 1.1 * m, 1.2 * w, -0.1 * m};
  ui::DrawPlan& plan = out.picture.plan;
  plan.SetWidth(1);
  // The value axis goes on a little past M (less than halfway to the title above it).
  const double headroom =
      in.picture_height > 0 ? std::min(kAxisHeadroomPixels * 1.2 * m / in.picture_height, 0.05 * m)
                            : 0;
  plan.Line(0, 0, 0, m + headroom, kAxisGrey);
  plan.Line(0, 0, w, 0, kAxisGrey);
  plan.Text(0, 1.1 * m, in.tagged ? "[TAG] Kinetics PLOT" : "Line PLOT");

  std::string& data = out.data_text;
  if (!in.tagged) {
    const int32_t labels = platform::RoundToInt(w / b);
    // Every step-th bin is labelled, so that the labels do not run into each other.
    int64_t step = 1;
    if (in.picture_width > 0) {
      const double pixels_per_bin = in.picture_width / (1.3 * w) * b;
      const auto widest = std::to_string(static_cast<int64_t>(b) * labels).size();
      const double label_pixels = static_cast<double>(widest * kLabelCharPixels + kLabelAir);
      step = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(label_pixels / pixels_per_bin)));
    }
    // Nor into the axis caption "Time[min]" that starts left of the axis.
    double first_x = 0;
    if (in.picture_width > 0)
      first_x = -0.05 * w + (9.0 * kLabelCharPixels + kLabelAir) * (1.3 * w) / in.picture_width;
    for (int32_t k = 1; k <= labels; ++k)
      if (k % step == 0 && static_cast<double>(b) * k >= first_x)
        plan.Text(static_cast<double>(b) * k, -1, std::to_string(b * k));
  } else {
    const double days = minutes_from_first(n) / 1440.0;
    out.unit = days > 3 ? "day" : days > 1 ? "h" : "min";
    // In the report the decimal sign must not be mistaken for the separator.
    const char report_decimal = s.find(in.decimal) != std::string::npos ? '.' : in.decimal;
    data = "Group/Time[" + out.unit + "]";
    for (int32_t p = 1; p <= n; ++p) {
      std::string label = "0";
      if (t.Point_Dates[static_cast<size_t>(p)] != t.Point_Dates[1]) {
        const int32_t minutes = platform::RoundToInt(minutes_from_first(p));
        label = out.unit == "min" ? std::to_string(minutes)
                : out.unit == "h" ? platform::FormatFixed(minutes / 60.0, 1)
                                  : platform::FormatFixed(minutes / 60.0 / 24, 1);
        plan.Text(minutes, -1, WithDecimal(label, in.decimal));
      }
      data += s + WithDecimal(label, report_decimal);
    }
    data += kCrLf;
  }

  plan.Text(-0.05 * w, -1, "Time[" + out.unit + "]");
  // The scale labels end a few pixels left of the axis, however many digits they have.
  const auto scale_label_x = [&](const std::string& label) {
    if (in.picture_width <= 0) return -0.05 * w;
    const double units_per_pixel = 1.3 * w / in.picture_width;
    const double pixels = static_cast<double>(label.size() * kDigitPixels + kLabelAir / 2);
    return std::max(-0.1 * w, std::min(-0.05 * w, -pixels * units_per_pixel));
  };
  plan.Text(scale_label_x(Whole(m)), m + 1, Whole(m));
  plan.Line(-0.01 * w, m, 0, m, kAxisGrey);
  plan.Text(scale_label_x(Whole(m / 2)), m / 2 + 1, Whole(m / 2));
  plan.Line(-0.01 * w, m / 2, 0, m / 2, kAxisGrey);

  const int selected = in.selected >= 0 && in.selected < static_cast<int>(items.size())
                           ? ItemNumber(items[static_cast<size_t>(in.selected)])
                           : -1;
  const auto colours = LineColours();
  const auto x_of = [&](int32_t p) {
    return in.tagged ? minutes_from_first(p) : static_cast<double>(p) * b;
  };
  for (size_t i = 0; i < items.size() && i < colours.size(); ++i) {
    const std::vector<double>& v = values[i];
    const int32_t c = colours[i];
    const int width = ItemNumber(items[i]) == selected ? 3 : 1;
    const auto segment = [&](int32_t p) {
      plan.SetWidth(width);
      plan.Line(x_of(p - 1), v[static_cast<size_t>(p - 1)], x_of(p), v[static_cast<size_t>(p)], c);
      plan.SetWidth(2);
      plan.Circle(x_of(p - 1), v[static_cast<size_t>(p - 1)], r, c);
      plan.SetWidth(1);
    };
    const auto marker = [&](int32_t p) {
      plan.SetWidth(2);
      plan.Circle(x_of(p), v[static_cast<size_t>(p)], r, c);
      plan.SetWidth(1);
    };
    if (!in.tagged) {
      for (int32_t p = 2; p <= n - 1; ++p) segment(p);
      marker(n < 3 ? 1 : n - 1);
    } else {
      // The report keeps the whole name; the legend shows its first ten characters.
      data += "[#" + Format000(items[i]) + "]";
      if (n >= 1) data += s + Whole(v[1]);
      for (int32_t p = 2; p <= n; ++p) {
        segment(p);
        data += s + Whole(v[static_cast<size_t>(p)]);
      }
      data += kCrLf;
      if (n >= 1) marker(n);
    }
  }

  // The legend, one row a group at the right of the plot: the text in black beside the
  // line's colour, so that light colours (yellow) read as well on white.
  const double swatch =
      in.picture_width > 0 ? kSwatchPixels * 1.3 * w / in.picture_width : 0.02 * w;
  for (size_t i = 0; i < items.size() && i < colours.size(); ++i) {
    const int32_t c = colours[i];
    const double y = m - static_cast<double>(i) * m / 20;
    const double text_x = w + 10 * r + swatch;
    plan.Fill(w + 10 * r, y + m / 80, text_x, y - m / 80, c);
    plan.Text(text_x, y + 1, " [#" + Format000(FirstChars(items[i], 10)) + "]", kBlack,
              1.2 * w - text_x);
    plan.SetWidth(ItemNumber(items[i]) == selected ? 4 : 2);
    plan.Line(w, y, w + 10 * r, y, c);
    plan.Circle(w + 5 * r, y, r, c);
    plan.SetWidth(1);
  }
  return out;
}

// ---- Joint report ----

std::string JointReportFileName(const platform::WallTime& now) {
  return "joint_report" + platform::FormatZeroPadded(now.year, 4) +
         platform::FormatZeroPadded(now.month, 2) + platform::FormatZeroPadded(now.day, 2) +
         platform::FormatZeroPadded(now.hour, 2) + platform::FormatZeroPadded(now.minute, 2) +
         platform::FormatZeroPadded(now.second, 2) + ".csv";
}

std::string JointReportBytes(const platform::WallTime& now, const std::string& header_text,
                             const std::string& data_text) {
  const auto two = [](int v) { return platform::FormatZeroPadded(v, 2); };
  const std::string title = "Joint Report [" + platform::FormatZeroPadded(now.year, 4) + "-" +
                            two(now.month) + "-" + two(now.day) + " " + two(now.hour) + ":" +
                            two(now.minute) + "." + two(now.second) + "]";
  return title + kCrLf + header_text + kCrLf + data_text + kCrLf;
}

}  // namespace offline
