#pragma once
// Report settings dialog (placeholder).
#include "ui/placeholder_window.h"

namespace reports {

class frm_reportset : public ui::PlaceholderWindow {
  Q_OBJECT

 public:
  frm_reportset();
};

}  // namespace reports
