#pragma once
// Puts a drawing plan on a picture box, in the box's current scale, over what it shows.
#include "ui/draw_plan.h"
#include "ui/picture_box.h"

namespace ui {

// Each operation sets the line width it carries (when not 0); a text is printed in
// its own colour and size, and the fore colour is black afterwards.
void PaintPlan(PictureBox& pic, const DrawPlan& plan);

}  // namespace ui
