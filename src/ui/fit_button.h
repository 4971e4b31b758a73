#pragma once
// A button whose caption always shows whole: a caption that does not fit wraps onto
// two lines, and if it still does not fit, its font shrinks until it does. The
// caption (text()) stays the one given; only its drawing changes.
#include <QFont>
#include <QPushButton>
#include <QSize>
#include <QStringList>

namespace ui {

struct CaptionFit {
  QFont font;
  QStringList lines;  // one, or two split at a blank
};

// The largest font, from `font` down in half points, at which `caption` fits `area`
// on one line, else on two lines split at the blank that makes the longer line
// shortest (one line is preferred at the same size). At 2 points, where nothing can
// be read any more, it is taken as it is, fitting or not.
CaptionFit FitCaption(const QString& caption, const QFont& font, QSize area);

class FitButton : public QPushButton {
  Q_OBJECT

 public:
  explicit FitButton(const QString& caption, QWidget* parent = nullptr);

  // Where the caption is drawn, and how.
  QRect CaptionArea() const;
  CaptionFit Fit() const { return FitCaption(text(), font(), CaptionArea().size()); }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
