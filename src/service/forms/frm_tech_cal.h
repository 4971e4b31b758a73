#pragma once
// Channel-calibration window (placeholder); closing it shows the main window.
#include "ui/placeholder_window.h"

namespace service {

class Frm_Tech_cal : public ui::PlaceholderWindow {
  Q_OBJECT

 public:
  Frm_Tech_cal();
  void Form_Unload() override;
};

}  // namespace service
