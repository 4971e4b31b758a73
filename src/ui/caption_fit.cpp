#include "ui/caption_fit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>

namespace ui {

namespace {

constexpr double kSmallestPoints = 6.0;
// Room a button or box needs beside its text (frame, indicator, margins).
constexpr double kButtonPadding = 12.0;
constexpr double kBoxPadding = 24.0;
// A choose-only combo box: its frame and drop-down arrow.
constexpr double kComboPadding = 30.0;

}  // namespace

bool FitCaption(QWidget& control) {
  QString text;
  double padding = 0.0;
  if (auto* button = qobject_cast<QAbstractButton*>(&control)) {
    text = button->text();
    padding = button->inherits("QPushButton") ? kButtonPadding : kBoxPadding;
  } else if (auto* label = qobject_cast<QLabel*>(&control)) {
    text = label->text();
  } else if (auto* combo = qobject_cast<QComboBox*>(&control); combo && !combo->isEditable()) {
    // The widest item, so that whichever is chosen shows whole.
    const QFontMetricsF metrics{QFont()};
    for (int i = 0; i < combo->count(); ++i)
      if (metrics.horizontalAdvance(combo->itemText(i)) > metrics.horizontalAdvance(text))
        text = combo->itemText(i);
    padding = kComboPadding;
  } else {
    return false;
  }
  control.setFont(QFont());
  QFont font = control.font();
  const double room = control.width() - padding;
  while (font.pointSizeF() > kSmallestPoints &&
         QFontMetricsF(font).horizontalAdvance(text) > room) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  control.setFont(font);
  return true;
}

}  // namespace ui
