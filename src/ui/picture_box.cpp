#include "ui/picture_box.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/numeric.h"
#include "ui/fit_button.h"
#include "ui/trace_columns.h"

namespace ui {

namespace {

// Figures far outside the picture are cut to this margin (in pixels) before they are
// rasterised, so a wild value in a plot costs nothing and cannot overflow the painter.
constexpr double kMargin = 64.0;
// A circle this many pixels across is outside any window we have.
constexpr double kMaxRadiusPixels = 1.0e5;

double PixelRound(double v) { return platform::RoundHalfEven(v); }

// Cohen-Sutherland clip of segment a-b to [x0, x1] x [y0, y1]; false when nothing is
// left. Each cut point lies exactly on its edge, so even ends at 1e300 clip cleanly.
bool ClipSegment(QPointF& a, QPointF& b, double x0, double y0, double x1, double y1) {
  enum { kLeft = 1, kRight = 2, kAbove = 4, kBelow = 8 };
  auto code = [&](QPointF p) {
    int c = 0;
    if (p.x() < x0) c |= kLeft;
    if (p.x() > x1) c |= kRight;
    if (p.y() < y0) c |= kAbove;
    if (p.y() > y1) c |= kBelow;
    return c;
  };
  int ca = code(a);
  int cb = code(b);
  for (int round = 0; round < 8; ++round) {
    if ((ca | cb) == 0) return true;
    if (ca & cb) return false;
    const int out = ca ? ca : cb;
    QPointF& p = ca ? a : b;
    const QPointF from = a;
    const QPointF to = b;
    if (out & (kLeft | kRight)) {
      const double x = (out & kLeft) ? x0 : x1;
      p = QPointF(x, from.y() + (to.y() - from.y()) * ((x - from.x()) / (to.x() - from.x())));
    } else {
      const double y = (out & kAbove) ? y0 : y1;
      p = QPointF(from.x() + (to.x() - from.x()) * ((y - from.y()) / (to.y() - from.y())), y);
    }
    if (ca) {
      ca = code(a);
    } else {
      cb = code(b);
    }
  }
  return (ca | cb) == 0;
}

bool Finite(QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

QPoint Rounded(QPointF p) {
  return QPoint(static_cast<int>(PixelRound(p.x())), static_cast<int>(PixelRound(p.y())));
}

// A segment of a figure, clipped to the picture and its margin `m` and rounded to
// pixels, as a line or (one pixel wide, both ends on one pixel) a dot.
void AddClipped(QPointF a, QPointF b, double m, QSize size, int width, std::vector<QLine>& lines,
                std::vector<QPoint>& dots) {
  if (!ClipSegment(a, b, -m, -m, size.width() + m, size.height() + m)) return;
  const QPoint pa = Rounded(a);
  const QPoint pb = Rounded(b);
  if (pa == pb && width <= 1) {
    dots.push_back(pa);
  } else {
    lines.emplace_back(pa, pb);
  }
}

// 24-bit BMP, rows bottom-up, each padded to four bytes, no palette.
QByteArray EncodeBmp24(const QImage& image) {
  const int width = image.width();
  const int height = image.height();
  const int stride = (width * 3 + 3) & ~3;
  const quint32 pixel_bytes = static_cast<quint32>(stride) * static_cast<quint32>(height);
  QByteArray out;
  out.reserve(54 + static_cast<int>(pixel_bytes));
  auto u16 = [&out](quint32 v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>((v >> 8) & 0xFF));
  };
  auto u32 = [&u16](quint32 v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  out.append("BM", 2);
  u32(54 + pixel_bytes);  // file size
  u32(0);                 // reserved
  u32(54);                // offset of the pixels
  u32(40);                // info header size
  u32(static_cast<quint32>(width));
  u32(static_cast<quint32>(height));  // positive: bottom-up
  u16(1);                             // planes
  u16(24);                            // bits per pixel
  u32(0);                             // no compression
  u32(pixel_bytes);
  u32(3780);  // 96 dpi, in pixels per metre
  u32(3780);
  u32(0);  // colours used
  u32(0);  // important colours
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = height - 1; y >= 0; --y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < width; ++x) {
      out.append(static_cast<char>(qBlue(row[x])));
      out.append(static_cast<char>(qGreen(row[x])));
      out.append(static_cast<char>(qRed(row[x])));
    }
    for (int pad = width * 3; pad < stride; ++pad) out.append('\0');
  }
  return out;
}

int VbButtons(Qt::MouseButtons buttons) {
  int b = 0;
  if (buttons & Qt::LeftButton) b |= 1;
  if (buttons & Qt::RightButton) b |= 2;
  if (buttons & Qt::MiddleButton) b |= 4;
  return b;
}

int VbShift(Qt::KeyboardModifiers mods) {
  int s = 0;
  if (mods & Qt::ShiftModifier) s |= 1;
  if (mods & Qt::ControlModifier) s |= 2;
  if (mods & Qt::AltModifier) s |= 4;
  return s;
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Pointer moves without a button matter too (the plate editors follow the pointer).
  setMouseTracking(true);
  // Text in whole pixels: printing a text again in the background colour, as the plots
  // erase their counters, takes away every pixel it drew.
  font_ = font();
  font_.setStyleStrategy(QFont::NoAntialias);
  FitImage();
}

bool PictureBox::Scale(double left, double top, double right, double bottom) {
  const double width = right - left;
  const double height = bottom - top;
  if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width) ||
      !std::isfinite(height) || width == 0.0 || height == 0.0) {
    return false;
  }
  user_scale_ = true;
  scale_left_ = left;
  scale_top_ = top;
  scale_width_ = width;
  scale_height_ = height;
  return true;
}

void PictureBox::ScalePixels() {
  user_scale_ = false;
  scale_left_ = 0;
  scale_top_ = 0;
}

double PictureBox::ScaleWidth() const {
  return user_scale_ ? scale_width_ : static_cast<double>(Surface().width());
}

double PictureBox::ScaleHeight() const {
  return user_scale_ ? scale_height_ : static_cast<double>(Surface().height());
}

QSize PictureBox::Surface() const {
  FitImage();
  return image_.size();
}

double PictureBox::PixelsPerUnitX() const {
  const double sw = ScaleWidth();
  return sw == 0.0 ? 0.0 : Surface().width() / sw;
}

double PictureBox::PixelsPerUnitY() const {
  const double sh = ScaleHeight();
  return sh == 0.0 ? 0.0 : Surface().height() / sh;
}

QPointF PictureBox::ToPixel(double x, double y) const {
  return QPointF((x - scale_left_) * PixelsPerUnitX(), (y - scale_top_) * PixelsPerUnitY());
}

QPoint PictureBox::PixelAt(double x, double y) const { return Rounded(ToPixel(x, y)); }

QPointF PictureBox::ToUser(QPointF pixel) const {
  const QSize s = Surface();
  const double ux = s.width() > 0 ? pixel.x() * ScaleWidth() / s.width() : 0.0;
  const double uy = s.height() > 0 ? pixel.y() * ScaleHeight() / s.height() : 0.0;
  return QPointF(scale_left_ + ux, scale_top_ + uy);
}

Color PictureBox::Point(double x, double y) const {
  const QPointF p = ToPixel(x, y);
  if (!Finite(p)) return -1;
  const QPoint px = Rounded(p);
  if (!image_.valid(px)) return -1;
  return FromQColor(QColor(image_.pixel(px)));
}

void PictureBox::SetBackColor(Color c) {
  back_color_ = c;
  Cls();
}

void PictureBox::SetDrawWidth(int width) { draw_width_ = std::max(1, width); }

void PictureBox::SetFontSize(double points) {
  if (std::isfinite(points) && points > 0) font_.setPointSizeF(points);
}

void PictureBox::SetFontName(const QString& family) { font_.setFamily(family); }

void PictureBox::FitImage() const {
  const QSize want = size();
  if (want.isEmpty() || want == image_.size()) return;
  QImage fresh(want, QImage::Format_RGB32);
  if (fresh.isNull()) return;  // out of memory: keep drawing on what we have
  fresh.fill(ToQColor(back_color_));
  if (!image_.isNull()) {
    QPainter p(&fresh);
    p.drawImage(0, 0, image_);
  }
  image_ = std::move(fresh);
}

void PictureBox::Cls() {
  FitImage();
  if (!image_.isNull()) image_.fill(ToQColor(back_color_));
  current_x_ = 0;
  current_y_ = 0;
  update();
}

void PictureBox::StrokeLine(QPointF a, QPointF b, Color color) {
  if (!Finite(a) || !Finite(b) || image_.isNull()) return;
  const double m = kMargin + draw_width_;
  if (!ClipSegment(a, b, -m, -m, image_.width() + m, image_.height() + m)) return;
  const QPoint pa = Rounded(a);
  const QPoint pb = Rounded(b);
  QPainter p(&image_);
  if (draw_width_ <= 1) {
    p.setPen(QPen(ToQColor(color), 0));
    if (pa == pb) {
      p.drawPoint(pa);
    } else {
      p.drawLine(pa, pb);
    }
  } else {
    p.setPen(QPen(ToQColor(color), draw_width_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(pa, pb);
  }
}

void PictureBox::StrokeLines(const std::vector<QLine>& lines, const std::vector<QPoint>& dots,
                             Color color) {
  QPainter p(&image_);
  if (draw_width_ <= 1) {
    p.setPen(QPen(ToQColor(color), 0));
  } else {
    p.setPen(QPen(ToQColor(color), draw_width_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  }
  if (!lines.empty()) p.drawLines(lines.data(), static_cast<int>(lines.size()));
  if (!dots.empty()) p.drawPoints(dots.data(), static_cast<int>(dots.size()));
}

void PictureBox::Line(double x1, double y1, double x2, double y2) {
  Line(x1, y1, x2, y2, fore_color_);
}

void PictureBox::Line(double x1, double y1, double x2, double y2, Color color) {
  FitImage();
  StrokeLine(ToPixel(x1, y1), ToPixel(x2, y2), color);
  current_x_ = x2;
  current_y_ = y2;
  update();
}

void PictureBox::Polyline(const double* xy, std::size_t count, Color color) {
  if (count == 0) return;
  FitImage();
  current_x_ = xy[2 * (count - 1)];
  current_y_ = xy[2 * (count - 1) + 1];
  if (image_.isNull()) return;
  // Clipped and rounded exactly as StrokeLine does each segment, then drawn together.
  const double m = kMargin + draw_width_;
  std::vector<QLine> lines;
  std::vector<QPoint> dots;
  lines.reserve(count);
  QPointF prev = ToPixel(xy[0], xy[1]);
  if (count == 1) {
    if (Finite(prev)) StrokeLine(prev, prev, color);
    update();
    return;
  }
  for (std::size_t i = 1; i < count; ++i) {
    const QPointF next = ToPixel(xy[2 * i], xy[2 * i + 1]);
    QPointF a = prev, b = next;
    prev = next;
    if (!Finite(a) || !Finite(b)) continue;
    AddClipped(a, b, m, image_.size(), draw_width_, lines, dots);
  }
  StrokeLines(lines, dots, color);
  update();
}

void PictureBox::Trace(double x0, double step, const double* ys, std::size_t count,
                       Color color) {
  if (count == 0) return;
  const auto as_polyline = [&] {
    std::vector<double> xy(2 * count);
    for (std::size_t i = 0; i < count; ++i) {
      xy[2 * i] = x0 + static_cast<double>(i) * step;
      xy[2 * i + 1] = ys[i];
    }
    Polyline(xy.data(), count, color);
  };
  FitImage();
  current_x_ = x0 + static_cast<double>(count - 1) * step;
  current_y_ = ys[count - 1];
  if (image_.isNull()) return;
  // Rounded to pixels first, in one pass with the scale taken once (ToPixel's arithmetic
  // and the picture's halves-to-even rounding, without their cost per point). A point
  // that is not finite or lies far off the picture, or a rounding mode other than the
  // default, leaves the figure to Polyline, which clips segment by segment.
  constexpr double kFar = 1.0e6;
  constexpr double kRound = 6755399441055744.0;  // 1.5 x 2^52: x + k - k rounds x
  if (std::fegetround() != FE_TONEAREST) return as_polyline();
  const double per_x = PixelsPerUnitX(), per_y = PixelsPerUnitY();
  const double left = scale_left_, top = scale_top_;
  std::vector<PixelPoint> pixels(count);
  int far = 0;
  double at = 0;  // i as a double, counted rather than converted (exact below 2^53)
  for (std::size_t i = 0; i < count; ++i, at += 1) {
    const double x = (x0 + at * step - left) * per_x;
    const double y = (ys[i] - top) * per_y;
    far += !(std::fabs(x) <= kFar) + !(std::fabs(y) <= kFar);
    pixels[i] = {static_cast<int>((x + kRound) - kRound), static_cast<int>((y + kRound) - kRound)};
  }
  if (far > 0) return as_polyline();
  std::vector<PixelSegment> segments;
  TraceSegments(pixels.data(), count, segments);
  const double m = kMargin + draw_width_;
  std::vector<QLine> lines;
  std::vector<QPoint> dots;
  lines.reserve(segments.size());
  const int w = image_.width(), h = image_.height();
  const auto inside = [&](int x, int y) { return x >= -m && y >= -m && x <= w + m && y <= h + m; };
  for (const PixelSegment& s : segments) {
    if (!inside(s.x1, s.y1) || !inside(s.x2, s.y2)) {
      AddClipped(QPointF(s.x1, s.y1), QPointF(s.x2, s.y2), m, image_.size(), draw_width_, lines,
                 dots);
    } else if (s.x1 == s.x2 && s.y1 == s.y2 && draw_width_ <= 1) {
      dots.emplace_back(s.x1, s.y1);
    } else {
      lines.emplace_back(s.x1, s.y1, s.x2, s.y2);
    }
  }
  StrokeLines(lines, dots, color);
  update();
}

void PictureBox::LineTo(double x2, double y2, Color color) {
  Line(current_x_, current_y_, x2, y2, color);
}

void PictureBox::Box(double x1, double y1, double x2, double y2, Color color, bool filled) {
  FitImage();
  current_x_ = x2;
  current_y_ = y2;
  const QPointF a = ToPixel(x1, y1);
  const QPointF b = ToPixel(x2, y2);
  if (!Finite(a) || !Finite(b) || image_.isNull()) return;
  // Corners beyond the margin only move edges that are off the picture anyway.
  const double m = kMargin + draw_width_;
  auto clamp_x = [&](double v) { return std::clamp(v, -m, image_.width() + m); };
  auto clamp_y = [&](double v) { return std::clamp(v, -m, image_.height() + m); };
  const QPoint pa = Rounded(QPointF(clamp_x(a.x()), clamp_y(a.y())));
  const QPoint pb = Rounded(QPointF(clamp_x(b.x()), clamp_y(b.y())));
  // Both corner pixels belong to the box, whichever way round they are given.
  const QRect rect(QPoint(std::min(pa.x(), pb.x()), std::min(pa.y(), pb.y())),
                   QPoint(std::max(pa.x(), pb.x()), std::max(pa.y(), pb.y())));
  // A wide pen runs centred on the edges: `out` pixels beyond them, `in` inside. A
  // filled box is drawn with the same pen, so a box filled in the background colour
  // erases every pixel an outline of the same corners and width drew.
  const int out = draw_width_ / 2;
  const int in = (draw_width_ - 1) / 2;
  const QRect outer = rect.adjusted(-out, -out, out, out);
  QPainter p(&image_);
  if (filled) {
    p.fillRect(outer, ToQColor(color));
  } else {
    if (fill_solid_) p.fillRect(rect, ToQColor(fill_color_));
    const QRect inner = rect.adjusted(in + 1, in + 1, -in - 1, -in - 1);
    if (inner.isEmpty()) {
      p.fillRect(outer, ToQColor(color));
    } else {
      const QColor c = ToQColor(color);
      p.fillRect(QRect(outer.topLeft(), QPoint(outer.right(), inner.top() - 1)), c);
      p.fillRect(QRect(QPoint(outer.left(), inner.bottom() + 1), outer.bottomRight()), c);
      p.fillRect(QRect(QPoint(outer.left(), inner.top()), QPoint(inner.left() - 1, inner.bottom())),
                 c);
      p.fillRect(
          QRect(QPoint(inner.right() + 1, inner.top()), QPoint(outer.right(), inner.bottom())), c);
    }
  }
  update();
}

void PictureBox::Circle(double x, double y, double radius, Color color) {
  Arc(x, y, radius, color, 0.0, 2.0 * std::numbers::pi);
}

void PictureBox::Arc(double x, double y, double radius, Color color, double start, double end) {
  FitImage();
  current_x_ = x;
  current_y_ = y;
  const QPointF c = ToPixel(x, y);
  const double r = std::fabs(radius * PixelsPerUnitX());
  if (!Finite(c) || !std::isfinite(r) || !std::isfinite(start) || !std::isfinite(end) ||
      r > kMaxRadiusPixels || image_.isNull()) {
    return;
  }
  const QRectF bounds(c.x() - r, c.y() - r, 2 * r, 2 * r);
  const double m = kMargin + draw_width_;
  if (!bounds.intersects(QRectF(-m, -m, image_.width() + 2 * m, image_.height() + 2 * m))) return;
  constexpr double kTurn = 2.0 * std::numbers::pi;
  start = std::fmod(std::fabs(start), kTurn);
  end = std::fmod(std::fabs(end), kTurn);
  double span = end - start;
  if (span <= 0.0) span += kTurn;
  const bool full = span >= kTurn - 1e-9;
  // Whole pixels for the centre, like every other figure, so circles sit on the grid.
  const QPointF centre = Rounded(c);
  const QRectF box(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
  // A circle smaller than a pixel still marks its centre, as the toolkit this replaces
  // did (the paint engine would draw nothing at all).
  if (full && r < 1.0 && draw_width_ <= 1) {
    const QPoint px = centre.toPoint();
    if (image_.valid(px)) image_.setPixel(px, ToQColor(color).rgb());
    update();
    return;
  }
  QPainter p(&image_);
  if (draw_width_ <= 1) {
    p.setPen(QPen(ToQColor(color), 0));
  } else {
    p.setPen(QPen(ToQColor(color), draw_width_, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
  }
  if (full) {
    p.setBrush(fill_solid_ ? QBrush(ToQColor(fill_color_)) : QBrush(Qt::NoBrush));
    p.drawEllipse(box);
  } else {
    const auto sixteenths = [](double rad) {
      return static_cast<int>(PixelRound(rad * 180.0 / std::numbers::pi * 16.0));
    };
    p.drawArc(box, sixteenths(start), sixteenths(span));
  }
  update();
}

void PictureBox::PSet(double x, double y, Color color) {
  FitImage();
  current_x_ = x;
  current_y_ = y;
  const QPointF c = ToPixel(x, y);
  if (!Finite(c) || image_.isNull()) return;
  const QPoint px = Rounded(QPointF(std::clamp(c.x(), -kMargin, image_.width() + kMargin),
                                    std::clamp(c.y(), -kMargin, image_.height() + kMargin)));
  if (draw_width_ <= 1) {
    if (image_.valid(px)) image_.setPixel(px, ToQColor(color).rgb());
  } else {
    QPainter p(&image_);
    p.setPen(QPen(ToQColor(color), draw_width_, Qt::SolidLine, Qt::RoundCap));
    p.drawPoint(px);
  }
  update();
}

void PictureBox::Print(const QString& text) { PrintIn(text, font_, -1); }

void PictureBox::Print(const QString& text, double max_width) {
  const double pixels = std::fabs(max_width * PixelsPerUnitX());
  if (!std::isfinite(pixels)) return Print(text);
  QFont font = font_;
  while (QFontMetricsF(font).horizontalAdvance(text) > pixels &&
         font.pointSizeF() - 0.5 >= kReadablePoints) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  // Still too wide at a readable size: the text is elided, so a cut shows as one.
  const int room = static_cast<int>(std::floor(pixels));
  PrintIn(QFontMetrics(font).elidedText(text, Qt::ElideRight, room), font, room);
}

void PictureBox::PrintIn(const QString& text, const QFont& font, int clip_width) {
  FitImage();
  const QFontMetrics metrics(font);
  const QPointF c = ToPixel(current_x_, current_y_);
  if (Finite(c) && !image_.isNull() && clip_width != 0) {
    const double m = kMargin + metrics.horizontalAdvance(text);
    if (c.x() > -m && c.x() < image_.width() + kMargin && c.y() > -m &&
        c.y() < image_.height() + kMargin) {
      QPainter p(&image_);
      p.setFont(font);
      p.setPen(ToQColor(fore_color_));
      const QPoint top_left = Rounded(c);
      if (clip_width > 0) p.setClipRect(QRect(top_left, QSize(clip_width, metrics.height())));
      p.drawText(QPoint(top_left.x(), top_left.y() + metrics.ascent()), text);
    }
  }
  // The next line starts at the left edge, one text line lower on screen.
  const double ppuy = PixelsPerUnitY();
  current_x_ = scale_left_;
  if (ppuy != 0.0) current_y_ += metrics.height() / ppuy;
  update();
}

bool PictureBox::SavePicture(const QString& path) const {
  FitImage();
  if (path.isEmpty() || image_.isNull()) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = EncodeBmp24(image_);
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

const QImage& PictureBox::Image() const {
  FitImage();
  return image_;
}

void PictureBox::paintEvent(QPaintEvent*) {
  FitImage();
  QPainter p(this);
  p.fillRect(rect(), ToQColor(back_color_));
  p.drawImage(0, 0, image_);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  FitImage();
  QWidget::resizeEvent(event);
}

void PictureBox::EmitMouse(QMouseEvent* event, int kind) {
  const QPointF u = ToUser(event->position());
  const int shift = VbShift(event->modifiers());
  switch (kind) {
    case 0:
      emit MouseDown(VbButtons(event->button()), shift, u.x(), u.y());
      break;
    case 1:
      emit MouseMove(VbButtons(event->buttons()), shift, u.x(), u.y());
      break;
    default:
      emit MouseUp(VbButtons(event->button()), shift, u.x(), u.y());
      break;
  }
}

void PictureBox::mousePressEvent(QMouseEvent* event) { EmitMouse(event, 0); }
void PictureBox::mouseMoveEvent(QMouseEvent* event) { EmitMouse(event, 1); }
void PictureBox::mouseReleaseEvent(QMouseEvent* event) { EmitMouse(event, 2); }

}  // namespace ui
