#include "ui/form.h"

#include <QCloseEvent>
#include <QResizeEvent>

namespace ui {

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {}

void Form::Show() {
  if (!isVisible()) show();
  raise();
  activateWindow();
  Form_Activate();
}

void Form::ShowMaximized() {
  showMaximized();
  raise();
  activateWindow();
  Form_Activate();
}

void Form::Unload() {
  if (unload_) {
    unload_();
  } else {
    close();
  }
}

void Form::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void Form::closeEvent(QCloseEvent* event) {
  if (unload_ && !unloading_) {
    // The unload hides the window itself; letting the close go on would be harmless,
    // but ignoring it keeps Qt from deciding anything about the last window.
    event->ignore();
    unload_();
    return;
  }
  QWidget::closeEvent(event);
}

}  // namespace ui
