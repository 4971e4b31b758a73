#include "ui/plot_paint.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "ui/fit_button.h"

namespace ui {
namespace {

// Pixels kept free between a label and the next one in its line.
constexpr double kLabelAirPixels = 4;

QFont AtSize(const QFont& font, double points) {
  QFont f = font;
  f.setPointSizeF(points);
  return f;
}

void PaintLabelRow(PictureBox& pic, const DrawOp& row) {
  const LabelRowFit fit = FitLabelRow(pic, row);
  const double font_size = pic.FontSize();
  pic.SetFontSize(fit.points);
  pic.SetForeColor(row.color);
  for (std::size_t i = 0; i < fit.at.size(); ++i) {
    pic.SetCurrentX(fit.at[i].x());
    pic.SetCurrentY(fit.at[i].y());
    pic.Print(QString::fromStdString(row.texts[i]), fit.room[i]);
  }
  pic.SetForeColor(RGB(0, 0, 0));
  pic.SetFontSize(font_size);
}

// A text that must read whole in its room: the largest font from the picture's down
// to the readable floor at which it fits, else the floor with the text broken into
// lines that each fit (at least one character a line).
void PaintWholeText(PictureBox& pic, const DrawOp& op) {
  const QString text = QString::fromStdString(op.text);
  const double room = std::fabs(op.fit * (pic.ToPixel(1, 0).x() - pic.ToPixel(0, 0).x()));
  double points = pic.FontSize();
  while (points - 0.5 >= kReadablePoints &&
         QFontMetricsF(AtSize(pic.Font(), points)).horizontalAdvance(text) > room)
    points -= 0.5;
  const QFontMetricsF metrics(AtSize(pic.Font(), points));
  QStringList lines;
  for (const QChar c : text) {
    if (lines.isEmpty() || metrics.horizontalAdvance(lines.back() + c) > room)
      lines.append(QString(c));
    else
      lines.back() += c;
  }
  const double font_size = pic.FontSize();
  pic.SetFontSize(points);
  pic.SetForeColor(op.color);
  pic.SetCurrentY(op.y1);
  for (const QString& line : lines) {
    pic.SetCurrentX(op.x1);
    pic.Print(line);  // the next line starts one text line lower
  }
  pic.SetForeColor(RGB(0, 0, 0));
  pic.SetFontSize(font_size);
}

}  // namespace

LabelRowFit FitLabelRow(const PictureBox& pic, const DrawOp& row) {
  const std::size_t n = std::min(row.points.size(), row.texts.size());
  const double x_pixels = std::fabs(pic.ToPixel(1, 0).x() - pic.ToPixel(0, 0).x());
  const double right = pic.ScaleLeft() + pic.ScaleWidth();
  const double air = x_pixels > 0 ? kLabelAirPixels / x_pixels : 0;

  // The labels laid out at one font size, `span` slots a label: each reaches over its
  // span, but not past the picture's right edge; one cut by the edge moves left as far
  // as the label before it in its line allows. True when every label fits its room.
  struct Layout {
    std::vector<double> x, room;
    bool fits = true;
  };
  const auto lay = [&](double points, std::size_t span) {
    const QFontMetricsF metrics(AtSize(pic.Font(), points));
    Layout l;
    std::vector<double> ends;
    for (std::size_t i = 0; i < n; ++i) {
      const double width =
          x_pixels > 0 ? metrics.horizontalAdvance(QString::fromStdString(row.texts[i])) / x_pixels
                       : 0;
      double x = row.points[i];
      double room = std::max(0.0, std::min(static_cast<double>(span) * row.fit, right - x));
      if (width + air > room && x + room >= right) {
        const double before = i >= span ? ends[i - span] + air : pic.ScaleLeft();
        const double moved = std::max(before, right - width - air);
        if (moved < x) {
          x = moved;
          room = right - x;
        }
      }
      l.fits = l.fits && x_pixels > 0 && width + air <= room;
      l.x.push_back(x);
      l.room.push_back(room);
      ends.push_back(x + width);
    }
    return l;
  };

  LabelRowFit out;
  out.points = pic.FontSize();
  const auto place = [&](const Layout& l, double top, double second_top) {
    for (std::size_t i = 0; i < n; ++i) out.at.emplace_back(l.x[i], i % 2 == 1 ? second_top : top);
    out.room = l.room;
  };
  const Layout one = lay(out.points, 1);
  if (!one.fits) {
    // Two lines between the raised top and the bottom: the largest font that fits them
    // and every label, or else the largest that fits the lines (labels then shrink
    // further or elide one by one).
    const double top = row.y1 + row.rise;
    const QPointF top_pixel = pic.ToPixel(0, top);
    const double height = std::fabs(pic.ToPixel(0, row.y2).y() - top_pixel.y());
    double lines_fit = 0;
    for (double points = pic.FontSize(); points >= kReadablePoints; points -= 0.5) {
      if (2 * QFontMetricsF(AtSize(pic.Font(), points)).height() > height) continue;
      if (lines_fit == 0) lines_fit = points;
      if (lay(points, 2).fits) {
        lines_fit = points;
        break;
      }
    }
    if (lines_fit > 0) {
      out.points = lines_fit;
      out.staggered = true;
      const double line = QFontMetricsF(AtSize(pic.Font(), lines_fit)).height();
      place(lay(lines_fit, 2), top, pic.ToUser(QPointF(top_pixel.x(), top_pixel.y() + line)).y());
      return out;
    }
  }
  place(one, row.y1, row.y1);
  return out;
}

void PaintPlan(PictureBox& pic, const DrawPlan& plan) {
  for (const DrawOp& op : plan.Ops()) {
    if (op.width > 0 && op.width != pic.DrawWidth()) pic.SetDrawWidth(op.width);
    switch (op.kind) {
      case OpKind::kOutline:
        pic.Box(op.x1, op.y1, op.x2, op.y2, op.color, false);
        break;
      case OpKind::kFill:
        pic.Box(op.x1, op.y1, op.x2, op.y2, op.color, true);
        break;
      case OpKind::kLine:
        pic.Line(op.x1, op.y1, op.x2, op.y2, op.color);
        break;
      case OpKind::kPolyline:
        pic.Polyline(op.points.data(), op.points.size() / 2, op.color);
        break;
      case OpKind::kTrace:
        pic.Trace(op.x1, op.x2, op.points.data(), op.points.size(), op.color);
        break;
      case OpKind::kCircle:
        pic.Circle(op.x1, op.y1, op.x2, op.color);
        break;
      case OpKind::kLabelRow:
        PaintLabelRow(pic, op);
        break;
      case OpKind::kText: {
        if (op.whole && op.fit > 0) {
          PaintWholeText(pic, op);
          break;
        }
        const double font_size = pic.FontSize();
        // A scaled-down text stays at the readable floor or above.
        if (op.text_scale != 1.0)
          pic.SetFontSize(std::max(kReadablePoints, std::nearbyint(font_size) * op.text_scale));
        pic.SetForeColor(op.color);
        pic.SetCurrentX(op.x1);
        pic.SetCurrentY(op.y1);
        if (op.fit > 0) {
          pic.Print(QString::fromStdString(op.text), op.fit);
        } else {
          pic.Print(QString::fromStdString(op.text));
        }
        // Every view goes back to black text (and its own size) after a coloured one.
        pic.SetForeColor(ui::RGB(0, 0, 0));
        if (op.text_scale != 1.0) pic.SetFontSize(font_size);
        break;
      }
    }
  }
}

}  // namespace ui
