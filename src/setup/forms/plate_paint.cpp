#include "setup/forms/plate_paint.h"

#include <QString>

namespace setup {

void PaintPicture(ui::PictureBox& pic, const std::vector<PictureOp>& ops) {
  using K = PictureOp::Kind;
  for (const PictureOp& op : ops) {
    switch (op.kind) {
      case K::kOutline:
        pic.Box(op.x1, op.y1, op.x2, op.y2, op.color, false);
        break;
      case K::kFill:
        pic.Box(op.x1, op.y1, op.x2, op.y2, op.color, true);
        break;
      case K::kLine:
        pic.Line(op.x1, op.y1, op.x2, op.y2, op.color);
        break;
      case K::kCircle:
        pic.Circle(op.x1, op.y1, op.x2, op.color);
        break;
      case K::kText:
        if (op.font_size > 0 && op.font_size != pic.FontSize()) pic.SetFontSize(op.font_size);
        pic.SetForeColor(op.color);
        pic.SetCurrentX(op.x1);
        pic.SetCurrentY(op.y1);
        pic.Print(QString::fromStdString(op.text));
        pic.SetForeColor(ui::RGB(0, 0, 0));
        break;
    }
  }
}

}  // namespace setup
