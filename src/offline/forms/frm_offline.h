#pragma once
// Offline browser (placeholder); closing it shows the start window.
#include "ui/placeholder_window.h"

namespace offline {

class Frm_offline : public ui::PlaceholderWindow {
  Q_OBJECT

 public:
  Frm_offline();
  void Form_Unload() override;
};

}  // namespace offline
