#include "mainwindow/plot_paint.h"

#include <QString>

namespace mainwindow {

void PaintPlan(ui::PictureBox& pic, const DrawPlan& plan) {
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
      case OpKind::kText:
        pic.SetForeColor(op.color);
        pic.SetCurrentX(op.x1);
        pic.SetCurrentY(op.y1);
        pic.Print(QString::fromStdString(op.text));
        // Every view goes back to black text after a coloured one.
        pic.SetForeColor(ui::RGB(0, 0, 0));
        break;
    }
  }
}

}  // namespace mainwindow
