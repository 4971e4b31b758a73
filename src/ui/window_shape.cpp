#include "ui/window_shape.h"

#include <QListView>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "platform/numeric.h"
#include "ui/events.h"
#include "ui/picture_box.h"

namespace ui {

namespace {

int DivOrZero(int size, int per_pixel) { return per_pixel > 0 ? size / per_pixel : 0; }

}  // namespace

RoundRect FormCornersRect(int width_twips, int height_twips, int twips_per_pixel_x,
                          int twips_per_pixel_y) {
  return {0,
          0,
          DivOrZero(width_twips, twips_per_pixel_x),
          DivOrZero(height_twips, twips_per_pixel_y),
          30,
          30};
}

RoundRect ControlRect(int width, int height) { return {5, 5, width - 4, height - 4, 20, 20}; }

RoundRect ButtonRect(int width_twips, int height_twips, int twips_per_pixel_x,
                     int twips_per_pixel_y) {
  // A screen that reports no twips per pixel makes both sizes 0.
  if (twips_per_pixel_x <= 0 || twips_per_pixel_y <= 0) return ControlRect(0, 0);
  return ControlRect(width_twips / twips_per_pixel_x, height_twips / twips_per_pixel_y);
}

QRegion RoundRectRegion(const RoundRect& r) {
  if (r.IsEmpty()) return QRegion();
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  // Corner ellipses larger than the rectangle are cut down to it.
  const double rx = std::min(std::max(r.ellipse_width, 0), width) / 2.0;
  const double ry = std::min(std::max(r.ellipse_height, 0), height) / 2.0;
  QRegion region;
  for (int y = r.top; y < r.bottom; ++y) {
    // Distance of this row's centre into the corner band, top or bottom.
    const double centre = y + 0.5;
    double dy = 0.0;
    if (centre < r.top + ry) {
      dy = r.top + ry - centre;
    } else if (centre > r.bottom - ry) {
      dy = centre - (r.bottom - ry);
    }
    int inset = 0;
    if (ry > 0.0 && dy > 0.0) {
      const double t = std::min(dy / ry, 1.0);
      inset = platform::RoundToInt(rx - rx * std::sqrt(1.0 - t * t));
    }
    const int x0 = r.left + inset;
    const int x1 = r.right - inset;
    if (x1 > x0) region += QRect(x0, y, x1 - x0, 1);
  }
  return region;
}

namespace {

bool ApplyMask(QWidget& widget, const RoundRect& rect) {
  if (rect.IsEmpty()) return false;
  widget.setMask(RoundRectRegion(rect));
  widget.update();
  return true;
}

}  // namespace

bool RoundFormCorners(QWidget& window) {
  return ApplyMask(window, FormCornersRect(WidthTwips(window), HeightTwips(window),
                                           TwipsPerPixelX(), TwipsPerPixelY()));
}

bool RoundControl(QWidget& control) {
  return ApplyMask(control, ControlRect(control.width(), control.height()));
}

bool RoundButton(QWidget& button) {
  return ApplyMask(button, ButtonRect(WidthTwips(button), HeightTwips(button), TwipsPerPixelX(),
                                      TwipsPerPixelY()));
}

bool RemoveListBoxBorder(QWidget& control) {
  auto* list = qobject_cast<QListView*>(&control);
  if (!list) return false;
  list->setFrameShape(QFrame::NoFrame);
  list->update();
  return true;
}

bool DrawRoundedFrame(PictureBox& picture) {
  const int w = platform::RoundToInt(picture.ScaleWidth());
  const int h = platform::RoundToInt(picture.ScaleHeight());
  if (w <= 0 || h <= 0) return false;
  picture.Cls();
  picture.SetDrawWidth(2);
  const Color grey = RGB(200, 200, 200);
  picture.Line(15, 0, w - 15, 0, grey);
  picture.Line(w - 1, 15, w - 1, h - 15, grey);
  picture.Line(15, h - 1, w - 15, h - 1, grey);
  picture.Line(0, 15, 0, h - 15, grey);
  picture.Arc(15, 15, 15, grey, 1.57, 3.14);
  picture.Arc(w - 17, 15, 15, grey, 0, 1.57);
  picture.Arc(w - 17, h - 17, 15, grey, 4.71, 0);
  picture.Arc(15, h - 17, 15, grey, 3.14, 4.71);
  return true;
}

}  // namespace ui
