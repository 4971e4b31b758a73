#pragma once
// A plot as a drawing plan: the operations a picture box will carry out, in order, at
// user coordinates. Plans are made by pure functions (tested by table, without a
// screen) and put on a PictureBox by the window that shows them. This header holds
// no Qt, so logic libraries build plans too.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace ui {

enum class OpKind : uint8_t {
  kOutline,  // box outline (x1, y1)-(x2, y2)
  kFill,     // filled box
  kLine,     // line (x1, y1)-(x2, y2)
  kText,     // text with its top-left corner at (x1, y1)
  kCircle,   // circle centred at (x1, y1), radius x2 in horizontal user units
  kPolyline, // lines joining the points (x, y) of `points` in turn
  kTrace,    // samples `points` from x1, x2 apart, drawn one segment per pixel column
  kLabelRow, // labels under a plot's slots, one row or, when they do not fit, two
};

struct DrawOp {
  OpKind kind = OpKind::kLine;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t color = 0;  // 0x00BBGGRR, as ui::Color
  int width = 0;      // line width in pixels; 0 leaves the picture's width as it is
  std::string text;
  // A text's room: the user units to its right it must stay within (0: as wide as it
  // comes).
  double fit = 0;
  // A text's size as a share of the picture's font size taken as a whole number.
  double text_scale = 1.0;
  // A polyline's points as x, y pairs; a trace's samples; a label row's left edges.
  std::vector<double> points{};
  // A label row: its texts; `fit` is a slot's width, y1 the row's top, y2 the lowest y
  // its labels may reach, and `rise` how far above y1 a row split in two may start.
  std::vector<std::string> texts{};
  double rise = 0;
  // A text with a room that must read whole: too wide for its room even at the
  // readable floor, it goes on as many lines as its room needs instead of being cut.
  bool whole = false;

  bool operator==(const DrawOp&) const = default;
};

// A list of drawing operations in order, with the line width as drawing state.
class DrawPlan {
 public:
  void SetWidth(int width) { width_ = width; }
  void Outline(double x1, double y1, double x2, double y2, int32_t c) {
    Add(OpKind::kOutline, x1, y1, x2, y2, c);
  }
  void Fill(double x1, double y1, double x2, double y2, int32_t c) {
    Add(OpKind::kFill, x1, y1, x2, y2, c);
  }
  void Line(double x1, double y1, double x2, double y2, int32_t c) {
    Add(OpKind::kLine, x1, y1, x2, y2, c);
  }
  void Circle(double x, double y, double radius, int32_t c) {
    Add(OpKind::kCircle, x, y, radius, 0, c);
  }
  void Text(double x, double y, std::string text, int32_t c = 0, double fit = 0) {
    ops_.push_back({OpKind::kText, x, y, x, y, c, width_, std::move(text), fit});
  }
  // One figure for a trace of many samples: the same pixels as a line per pair of
  // neighbours, in a fraction of the calls. `xy` holds x, y pairs.
  void Polyline(std::vector<double> xy, int32_t c) {
    DrawOp op{OpKind::kPolyline, 0, 0, 0, 0, c, width_, {}};
    op.points = std::move(xy);
    ops_.push_back(std::move(op));
  }
  // A polyline of many samples to a pixel (a recorded signal): sample i at (x0 + i x
  // step, ys[i]), drawn as one segment per pixel column from its lowest to its highest
  // sample, which looks the same.
  void Trace(double x0, double step, std::vector<double> ys, int32_t c) {
    DrawOp op{OpKind::kTrace, x0, 0, step, 0, c, width_, {}};
    op.points = std::move(ys);
    ops_.push_back(std::move(op));
  }
  // Labels at the left edges `xs`, one to a slot `slot` wide, with their tops at `top`:
  // in one row when each fits its slot, otherwise every other label on a second line,
  // each then reaching over two slots, between `top` + `rise` and `bottom`.
  void LabelRow(std::vector<double> xs, std::vector<std::string> labels, double slot, double top,
                double rise, double bottom, int32_t c = 0) {
    DrawOp op{OpKind::kLabelRow, 0, top, 0, bottom, c, width_, {}, slot};
    op.points = std::move(xs);
    op.texts = std::move(labels);
    op.rise = rise;
    ops_.push_back(std::move(op));
  }
  // Text kept whole within `fit` user units to its right: it shrinks to the readable
  // floor, then breaks over further lines (a scale mark in a narrow margin).
  void WholeText(double x, double y, std::string text, int32_t c, double fit) {
    DrawOp op{OpKind::kText, x, y, x, y, c, width_, std::move(text), fit};
    op.whole = true;
    ops_.push_back(std::move(op));
  }
  // Text at `scale` times the picture's font size, never below the readable floor.
  void ScaledText(double x, double y, std::string text, int32_t c, double scale) {
    ops_.push_back({OpKind::kText, x, y, x, y, c, width_, std::move(text), 0, scale});
  }
  void Clear() { ops_.clear(); }
  // Appends the operations of another plan.
  void Append(const DrawPlan& other) {
    ops_.insert(ops_.end(), other.ops_.begin(), other.ops_.end());
  }
  void Append(DrawPlan&& other) {
    ops_.insert(ops_.end(), std::make_move_iterator(other.ops_.begin()),
                std::make_move_iterator(other.ops_.end()));
    other.ops_.clear();
  }

  const std::vector<DrawOp>& Ops() const { return ops_; }
  std::size_t Size() const { return ops_.size(); }

 private:
  void Add(OpKind kind, double x1, double y1, double x2, double y2, int32_t c) {
    ops_.push_back({kind, x1, y1, x2, y2, c, width_, {}});
  }
  std::vector<DrawOp> ops_;
  int width_ = 0;
};

}  // namespace ui
