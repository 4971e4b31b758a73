#pragma once
// A button whose caption shows whole when it can: a caption that does not fit wraps
// onto two lines, then its font shrinks down to a readable floor, and below that it
// is elided, its whole text then shown as the button's tooltip. The caption (text())
// stays the one given; only its drawing changes.
#include <QFont>
#include <QPushButton>
#include <QSize>
#include <QStringList>

namespace ui {

// Below this size a caption is hard to read: captions shrink no further.
inline constexpr double kReadablePoints = 7.0;

struct CaptionFit {
  QFont font;
  QStringList lines;    // one, or two split at a blank
  bool elided = false;  // the lines lost characters at the floor size
};

// The largest font, from `font` down in half points to kReadablePoints, at which
// `caption` fits `area` on one line, else on two lines split at the blank that makes
// the longer line shortest (one line is preferred at the same size). When nothing fits
// at the floor, the lines are elided to the area's width (two when two lines are high
// enough, else one).
CaptionFit FitCaption(const QString& caption, const QFont& font, QSize area);

class FitButton : public QPushButton {
  Q_OBJECT

 public:
  explicit FitButton(const QString& caption, QWidget* parent = nullptr);

  // Where the caption is drawn: inside the rounded outline, and in the part of the
  // button that siblings in front of it leave free above or below.
  QRect CaptionArea() const;
  CaptionFit Fit() const { return FitCaption(text(), font(), CaptionArea().size()); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool tip_is_caption_ = false;
};

}  // namespace ui
