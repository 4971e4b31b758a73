#pragma once
// Puts the plate picture's drawing steps on a picture box, in its current scale.
#include <vector>

#include "setup/group_picture.h"
#include "ui/picture_box.h"

namespace setup {

// Each text is printed in its own colour and size; the fore colour is black after.
void PaintPicture(ui::PictureBox& pic, const std::vector<PictureOp>& ops);

}  // namespace setup
