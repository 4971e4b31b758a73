#include "ui/plot_paint.h"

#include <QString>
#include <cmath>

namespace ui {

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
      case OpKind::kCircle:
        pic.Circle(op.x1, op.y1, op.x2, op.color);
        break;
      case OpKind::kText: {
        const double font_size = pic.FontSize();
        if (op.text_scale != 1.0) pic.SetFontSize(std::nearbyint(font_size) * op.text_scale);
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
