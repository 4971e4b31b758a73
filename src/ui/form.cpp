#include "ui/form.h"

#include <QCloseEvent>
#include <QResizeEvent>

#include "ui/window_place.h"

namespace ui {

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) { RunPortTurnsFromEventLoop(); }

void Form::Show() {
  BringToFront(*this);
  Form_Activate();
}

void Form::ShowMaximized() {
  showMaximized();
  BringToFront(*this);
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
