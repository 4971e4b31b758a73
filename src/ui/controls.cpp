#include "ui/controls.h"

#include <QMouseEvent>
#include <QPainter>

namespace ui {

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    emit Click();
}

ShapeBox::ShapeBox(QWidget* parent, ui::Color fill, bool filled)
    : QWidget(parent), fill_(fill), filled_(filled) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeBox::SetFillColor(ui::Color color) {
  if (color == fill_) return;
  fill_ = color;
  update();
}

void ShapeBox::SetFilled(bool filled) {
  if (filled == filled_) return;
  filled_ = filled;
  update();
}

void ShapeBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (filled_) painter.fillRect(rect(), ui::ToQColor(fill_));
  painter.setPen(QColor(0, 0, 0));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

int CheckValue(const QCheckBox& box) {
  switch (box.checkState()) {
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
    default:
      return 0;
  }
}

bool SetCheckValue(QCheckBox& box, int value) {
  switch (value) {
    case 0:
      box.setCheckState(Qt::Unchecked);
      return true;
    case 1:
      box.setCheckState(Qt::Checked);
      return true;
    case 2:
      box.setTristate(true);
      box.setCheckState(Qt::PartiallyChecked);
      return true;
    default:
      return false;
  }
}

void MakeTypedList(QComboBox& box) {
  box.setEditable(true);
  box.setCompleter(nullptr);
}

}  // namespace ui
