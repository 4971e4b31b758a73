#pragma once
// Factory window (placeholder) with its temperature timer; closing it shows the main
// window.
#include <QTimer>

#include "ui/placeholder_window.h"

namespace service {

class Frm_Factory : public ui::PlaceholderWindow {
  Q_OBJECT

 public:
  Frm_Factory();
  void Form_Unload() override;

  QTimer Timer_temp;
};

}  // namespace service
