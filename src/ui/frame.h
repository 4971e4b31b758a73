#pragma once
// A frame (group box) that paints its own background. Frames that share a place, or
// lie over a picture, would otherwise show each other's captions and controls
// through: the frame in front hides what is behind it. Its background is the colour
// of the picture box it sits on (however deep), else the window's colour.
#include <QGroupBox>

namespace ui {

class Frame : public QGroupBox {
  Q_OBJECT

 public:
  explicit Frame(const QString& caption, QWidget* parent = nullptr);

  QColor Background() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
