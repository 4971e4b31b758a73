#pragma once
// A label whose caption changes are observed: Change fires when SetCaption gives it a
// different text, and only then. Captions go through SetCaption, not setText.
#include <QLabel>
#include <QString>

namespace ui {

class CaptionLabel : public QLabel {
  Q_OBJECT

 public:
  explicit CaptionLabel(QWidget* parent = nullptr);

  QString Caption() const { return text(); }
  void SetCaption(const QString& caption);

 signals:
  void Change();
};

}  // namespace ui
