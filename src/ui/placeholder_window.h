#pragma once
// A window that another part of the program has not built yet: it says so, and carries
// the controls that other windows write, so their paths run unchanged until the real
// window replaces it.
#include <QString>

#include "ui/form.h"

class QLabel;

namespace ui {

class PlaceholderWindow : public Form {
  Q_OBJECT

 public:
  explicit PlaceholderWindow(const QString& title);

 protected:
  QLabel* notice_ = nullptr;
};

}  // namespace ui
