#include "ui/frame.h"

#include <QPainter>

#include "ui/picture_box.h"

namespace ui {

Frame::Frame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor Frame::Background() const {
  for (const QWidget* w = parentWidget(); w && !w->isWindow(); w = w->parentWidget()) {
    if (const auto* picture = qobject_cast<const PictureBox*>(w))
      return ToQColor(picture->BackColor());
  }
  return palette().color(QPalette::Window);
}

void Frame::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.fillRect(rect(), Background());
  }
  QGroupBox::paintEvent(event);
}

}  // namespace ui
