#pragma once
// Small controls the main window needs beyond Qt's own: a label that reports clicks,
// an indicator shape with a fill colour, the 0/1/2 value of a check box, and editable
// lists that keep what is typed.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include "ui/color.h"

namespace ui {

class ClickLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ClickLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent) {}

 signals:
  void Click();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A filled rectangle (the indicator lamps and the outline shapes of the panels).
class ShapeBox : public QWidget {
  Q_OBJECT

 public:
  explicit ShapeBox(QWidget* parent = nullptr, ui::Color fill = ui::RGB(255, 255, 255),
                    bool filled = true);
  ui::Color FillColor() const { return fill_; }
  void SetFillColor(ui::Color color);
  bool Filled() const { return filled_; }
  // A solid fill, or only the outline (a lamp that is out).
  void SetFilled(bool filled);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ui::Color fill_;
  bool filled_;
};

// Check box values as the program stores them: 0 unticked, 1 ticked, 2 greyed.
int CheckValue(const QCheckBox& box);
// Sets the value; 2 makes the box tri-state. Values outside 0..2 are refused (false).
bool SetCheckValue(QCheckBox& box, int value);
inline bool IsTicked(const QCheckBox& box) { return CheckValue(box) == 1; }

// Makes the list editable, its text taken exactly as typed: Qt would complete "1" to
// the first entry starting with it ("15"), and the program would read that value.
void MakeTypedList(QComboBox& box);

}  // namespace ui
