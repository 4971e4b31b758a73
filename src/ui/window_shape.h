#pragma once
// Rounded outlines for windows, panels and buttons, flat list boxes, and the rounded
// frame drawn on a panel. An outline is a window mask: a rounded rectangle whose
// corners are quarter ellipses, right and bottom edges excluded (the rectangle
// (0, 0)-(60, 40) covers pixels 0..59 x 0..39).
#include <QRegion>

class QWidget;

namespace ui {

class PictureBox;

struct RoundRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int ellipse_width = 0;
  int ellipse_height = 0;

  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool operator==(const RoundRect&) const = default;
};

// The outlines as numbers. Window and button sizes are in twips; a control's size is
// in its own units (pixels). A twips-per-pixel that is not above 0 makes the size 0.
RoundRect FormCornersRect(int width_twips, int height_twips, int twips_per_pixel_x,
                          int twips_per_pixel_y);
RoundRect ControlRect(int width, int height);
RoundRect ButtonRect(int width_twips, int height_twips, int twips_per_pixel_x,
                     int twips_per_pixel_y);

// The pixels of a rounded rectangle; empty for an empty rectangle.
QRegion RoundRectRegion(const RoundRect& rect);

// Each gives the widget its rounded outline and returns true; an outline with no area
// (a widget not yet sized, or smaller than the insets) is skipped, leaving the widget
// as it was, and false returns: an empty mask would make it invisible.
bool RoundFormCorners(QWidget& window);
bool RoundControl(QWidget& control);
bool RoundButton(QWidget& button);

// Removes the frame of a list box; any other control is left alone (false).
bool RemoveListBoxBorder(QWidget& control);

// Clears the picture and draws a light grey rounded frame along its scale area; a
// picture whose scale area is not positive is left alone (false).
bool DrawRoundedFrame(PictureBox& picture);

}  // namespace ui
