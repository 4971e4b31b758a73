#pragma once
// Puts a drawing plan on a picture box, in the box's current scale, over what it shows.
#include <QPointF>
#include <vector>

#include "ui/draw_plan.h"
#include "ui/picture_box.h"

namespace ui {

// Where a label row's texts go on a picture: one row at the picture's font when every
// label fits its slot; otherwise every other label one line lower, each reaching over
// two slots (never past the picture's right edge), at the largest font from the
// picture's down to the readable floor at which both lines fit the row's height and,
// if possible, every label its room. Too low for two lines, the row stays one.
struct LabelRowFit {
  double points = 0;         // the font size of every label
  bool staggered = false;    // split over two lines
  std::vector<QPointF> at;   // each label's top-left corner, in user units
  std::vector<double> room;  // each label's room to the right, in user units
};
LabelRowFit FitLabelRow(const PictureBox& pic, const DrawOp& row);

// Each operation sets the line width it carries (when not 0); a text is printed in
// its own colour and size, and the fore colour is black afterwards.
void PaintPlan(PictureBox& pic, const DrawPlan& plan);

}  // namespace ui
