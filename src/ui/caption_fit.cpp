#include "ui/caption_fit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QVariant>
#include <cmath>

#include "ui/fit_button.h"

namespace ui {

namespace {

// Room a button or box needs beside its text (frame, indicator, margins).
constexpr double kButtonPadding = 12.0;
constexpr double kBoxPadding = 24.0;
// A choose-only combo box: its frame and drop-down arrow.
constexpr double kComboPadding = 30.0;

constexpr const char* kCaptionTip = "quenlarCaptionTip";

struct Caption {
  bool known = false;
  QString text;
  double padding = 0.0;
};

Caption CaptionOf(const QWidget& control) {
  if (auto* button = qobject_cast<const QAbstractButton*>(&control)) {
    return {true, button->text(), button->inherits("QPushButton") ? kButtonPadding : kBoxPadding};
  }
  if (auto* label = qobject_cast<const QLabel*>(&control)) return {true, label->text(), 0.0};
  if (auto* combo = qobject_cast<const QComboBox*>(&control); combo && !combo->isEditable()) {
    // The widest item, so that whichever is chosen shows whole.
    const QFontMetricsF metrics(control.font());
    Caption c{true, {}, kComboPadding};
    for (int i = 0; i < combo->count(); ++i)
      if (metrics.horizontalAdvance(combo->itemText(i)) > metrics.horizontalAdvance(c.text))
        c.text = combo->itemText(i);
    return c;
  }
  return {};
}

}  // namespace

int CaptionWidth(const QWidget& control) {
  const Caption c = CaptionOf(control);
  if (!c.known) return 0;
  return static_cast<int>(std::ceil(QFontMetricsF(control.font()).horizontalAdvance(c.text) + c.padding));
}

bool FitCaption(QWidget& control) {
  control.setFont(QFont());
  const Caption c = CaptionOf(control);
  if (!c.known) return false;
  QFont font = control.font();
  const double room = control.width() - c.padding;
  while (font.pointSizeF() - 0.5 >= kReadablePoints &&
         QFontMetricsF(font).horizontalAdvance(c.text) > room) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  control.setFont(font);
  // The tooltip carries a cut caption whole; a tooltip the window gave stays.
  const bool whole = QFontMetricsF(font).horizontalAdvance(c.text) <= room;
  const bool ours = control.property(kCaptionTip).toBool();
  if (!whole && (ours || control.toolTip().isEmpty())) {
    control.setToolTip(c.text);
    control.setProperty(kCaptionTip, true);
  } else if (whole && ours) {
    control.setToolTip({});
    control.setProperty(kCaptionTip, false);
  }
  return true;
}

}  // namespace ui
