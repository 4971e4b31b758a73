#include "ui/placeholder_window.h"

#include <QLabel>
#include <QVBoxLayout>

namespace ui {

PlaceholderWindow::PlaceholderWindow(const QString& title) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  notice_ = new QLabel(title + " is not available yet.", this);
  layout->addWidget(notice_);
  resize(420, 160);
}

}  // namespace ui
