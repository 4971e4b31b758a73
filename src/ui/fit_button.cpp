#include "ui/fit_button.h"

#include <QFontMetricsF>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace ui {
namespace {

bool Fits(const QStringList& lines, const QFontMetricsF& m, QSize area) {
  double widest = 0;
  for (const QString& line : lines) widest = std::max(widest, m.horizontalAdvance(line));
  // A pixel of air on each side: a caption touching the border reads as cut.
  return widest <= area.width() - 2 &&
         m.height() + m.lineSpacing() * double(lines.size() - 1) <= area.height();
}

// The two-line split whose longer line is shortest; empty without a blank.
QStringList TwoLines(const QString& caption, const QFontMetricsF& m) {
  QStringList best;
  double best_width = 0;
  for (qsizetype i = caption.indexOf(' '); i >= 0; i = caption.indexOf(' ', i + 1)) {
    const QString first = caption.left(i).trimmed();
    const QString second = caption.mid(i + 1).trimmed();
    if (first.isEmpty() || second.isEmpty()) continue;
    const double width = std::max(m.horizontalAdvance(first), m.horizontalAdvance(second));
    if (best.isEmpty() || width < best_width) {
      best = {first, second};
      best_width = width;
    }
  }
  return best;
}

}  // namespace

CaptionFit FitCaption(const QString& caption, const QFont& font, QSize area) {
  CaptionFit fit{font, {caption}};
  if (caption.isEmpty()) return fit;
  double points = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
  while (true) {
    fit.font.setPointSizeF(points);
    const QFontMetricsF m(fit.font);
    fit.lines = QStringList{caption};
    if (Fits(fit.lines, m, area)) return fit;
    const QStringList two = TwoLines(caption, m);
    if (!two.isEmpty() && Fits(two, m, area)) {
      fit.lines = two;
      return fit;
    }
    if (points - 0.5 < kReadablePoints) break;
    points -= 0.5;
  }
  // At the floor: the split when two lines are high enough, each line elided.
  const QFontMetricsF m(fit.font);
  const QStringList two = TwoLines(caption, m);
  if (!two.isEmpty() && m.height() + m.lineSpacing() <= area.height()) fit.lines = two;
  for (QString& line : fit.lines) line = m.elidedText(line, Qt::ElideRight, area.width() - 2);
  fit.elided = true;
  return fit;
}

FitButton::FitButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

QRect FitButton::CaptionArea() const {
  QStyleOptionButton option;
  initStyleOption(&option);
  QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  // A rounded outline cuts the button's edges: the caption stays inside it.
  if (!mask().isEmpty()) area = area.intersected(mask().boundingRect().adjusted(2, 0, -2, 0));
  if (!parentWidget()) return area;
  // A frame the layout puts in front of the button's top or bottom: the caption goes
  // to the band it leaves.
  const QObjectList& siblings = parentWidget()->children();
  for (qsizetype i = siblings.indexOf(const_cast<FitButton*>(this)) + 1; i < siblings.size(); ++i) {
    const auto* w = qobject_cast<const QWidget*>(siblings[i]);
    if (!w || w->isWindow() || !w->isVisible()) continue;
    const QRect cover = w->geometry().translated(-pos());
    if (!cover.intersects(area)) continue;
    if (cover.top() <= area.top()) {
      area.setTop(cover.bottom() + 1);
    } else if (cover.bottom() >= area.bottom()) {
      area.setBottom(cover.top() - 1);
    }
  }
  return area;
}

void FitButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  const QString caption = option.text;
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);  // the button without its caption
  const QRect area = CaptionArea();
  const CaptionFit fit = FitCaption(caption, font(), area.size());
  // An elided caption is read whole from the tooltip; a tooltip given by others stays.
  if (fit.elided && (tip_is_caption_ || toolTip().isEmpty())) {
    if (toolTip() != caption) setToolTip(caption);
    tip_is_caption_ = true;
  } else if (!fit.elided && tip_is_caption_) {
    setToolTip({});
    tip_is_caption_ = false;
  }
  painter.setFont(fit.font);
  // Not cut at the area: a caption that could not be fitted shows as far as it goes.
  painter.drawItemText(area, Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextDontClip, palette(),
                       isEnabled(), fit.lines.join('\n'), QPalette::ButtonText);
}

}  // namespace ui
