#pragma once
// A drawing surface that keeps what is drawn on it: a persistent image with a user
// scale (left, top)-(right, bottom), drawn on with lines, boxes, circles, points and
// text at the current point. Coordinates are user units; y points up when top > bottom.
//
// Until a scale is set the scale is in pixels and follows the widget's size. A user
// scale stays as set when the widget is resized: the same user area is stretched over
// the new size. The image grows and shrinks with the widget, keeping what fits.
#include <QFont>
#include <QImage>
#include <QLine>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <vector>

#include "ui/color.h"

namespace ui {

class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  // Sets the user scale. A zero-width or zero-height (or non-finite) scale would map
  // every point to nowhere: it is refused, the previous scale stays, and false returns.
  bool Scale(double left, double top, double right, double bottom);
  // Back to the pixel scale that follows the widget's size.
  void ScalePixels();
  double ScaleLeft() const { return scale_left_; }
  double ScaleTop() const { return scale_top_; }
  double ScaleWidth() const;
  double ScaleHeight() const;

  // Where a user point lands: continuous pixel coordinates, and the pixel drawn there.
  QPointF ToPixel(double x, double y) const;
  QPoint PixelAt(double x, double y) const;
  // The user point of a position in pixels (mouse positions).
  QPointF ToUser(QPointF pixel) const;
  // The colour of the pixel at a user point; -1 outside the picture.
  Color Point(double x, double y) const;

  Color ForeColor() const { return fore_color_; }
  void SetForeColor(Color c) { fore_color_ = c; }
  Color BackColor() const { return back_color_; }
  // Like the toolkit this replaces, a new background clears the picture.
  void SetBackColor(Color c);
  Color FillColor() const { return fill_color_; }
  void SetFillColor(Color c) { fill_color_ = c; }
  // Outlined boxes and circles are filled with FillColor while this is on (off at first).
  bool FillSolid() const { return fill_solid_; }
  void SetFillSolid(bool on) { fill_solid_ = on; }
  int DrawWidth() const { return draw_width_; }
  // Line width in pixels; values below 1 count as 1.
  void SetDrawWidth(int width);
  double FontSize() const { return font_.pointSizeF(); }
  const QFont& Font() const { return font_; }
  void SetFontSize(double points);
  void SetFontName(const QString& family);

  // The current point: where Print writes, and where the last figure ended.
  double CurrentX() const { return current_x_; }
  double CurrentY() const { return current_y_; }
  void SetCurrentX(double x) { current_x_ = x; }
  void SetCurrentY(double y) { current_y_ = y; }

  // Clears to BackColor; the current point goes to (0, 0).
  void Cls();
  // A line from one point to the other, both end pixels included; the current point
  // becomes its end.
  void Line(double x1, double y1, double x2, double y2);
  void Line(double x1, double y1, double x2, double y2, Color color);
  // Lines joining `count` points (x, y pairs in `xy`) in turn, in one pass: the pixels
  // of a Line call per pair of neighbours. The current point becomes the last point.
  void Polyline(const double* xy, std::size_t count, Color color);
  // A polyline through samples at x0, x0 + step, x0 + 2 step, ... (`ys`) with many
  // samples to a pixel, drawn as it looks: one vertical segment per pixel column from
  // the column's lowest to its highest point, joined to its neighbours (TraceSegments).
  // Far fewer calls than Polyline; where samples lie more than a pixel apart it draws
  // Polyline's own segments.
  void Trace(double x0, double step, const double* ys, std::size_t count, Color color);
  // A line from the current point.
  void LineTo(double x2, double y2, Color color);
  // A box with the two corners given, corner pixels included: outlined in `color` (and
  // filled with FillColor when FillSolid), or filled in `color` when `filled`. With a
  // line width w above 1 both reach w / 2 pixels beyond the corners (the pen is centred
  // on the edges), so a filled box covers an outline of the same corners and width.
  void Box(double x1, double y1, double x2, double y2, Color color, bool filled);
  // A circle; the radius is in horizontal user units, so it stays round on screen.
  void Circle(double x, double y, double radius, Color color);
  // An arc from `start` to `end`, radians counter-clockwise on screen from the positive
  // x axis; an end below the start goes on through 0 (4.71 to 0 is the lower right
  // quarter). Signs are ignored.
  void Arc(double x, double y, double radius, Color color, double start, double end);
  // One point, DrawWidth pixels wide.
  void PSet(double x, double y, Color color);
  // Text in ForeColor with its top-left corner at the current point; afterwards the
  // current point is at the start of the next line. Text is drawn without smoothing,
  // so the same text printed again in the background colour leaves nothing behind.
  void Print(const QString& text);
  // The same within `max_width` user units: the font shrinks (down to 7 points, still
  // readable) until the text fits; a text still too wide is elided to that width.
  void Print(const QString& text, double max_width);

  // Writes the picture as a 24-bit BMP; false when it cannot be written (a missing
  // folder, no permission, an empty picture). A failed save leaves no partial file.
  bool SavePicture(const QString& path) const;

  // The drawn picture (what SavePicture writes).
  const QImage& Image() const;

 signals:
  // Mouse events in user units. button: 1 left, 2 right, 4 middle (for MouseMove the
  // buttons held); shift: 1 Shift, 2 Ctrl, 4 Alt.
  void MouseDown(int button, int shift, double x, double y);
  void MouseMove(int button, int shift, double x, double y);
  void MouseUp(int button, int shift, double x, double y);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Brings the image to the widget's size (a zero-size widget keeps the last image).
  void FitImage() const;
  QSize Surface() const;
  double PixelsPerUnitX() const;
  double PixelsPerUnitY() const;
  void StrokeLine(QPointF a, QPointF b, Color color);
  // Lines and one-pixel dots (already clipped) in one pass, in the current width.
  void StrokeLines(const std::vector<QLine>& lines, const std::vector<QPoint>& dots, Color color);
  // Prints with `font`, cut at `clip_width` pixels (negative: not cut).
  void PrintIn(const QString& text, const QFont& font, int clip_width);
  void EmitMouse(QMouseEvent* event, int kind);

  mutable QImage image_;
  bool user_scale_ = false;
  double scale_left_ = 0;
  double scale_top_ = 0;
  double scale_width_ = 1;
  double scale_height_ = 1;
  double current_x_ = 0;
  double current_y_ = 0;
  Color fore_color_ = RGB(0, 0, 0);
  Color back_color_ = RGB(255, 255, 255);
  Color fill_color_ = RGB(0, 0, 0);
  bool fill_solid_ = false;
  int draw_width_ = 1;
  QFont font_;
};

}  // namespace ui
