#pragma once
// Setup window (placeholder): the main window copies the run description into it and
// hides its annotation panel. Closing it shows the start window.
#include "ui/placeholder_window.h"

class QGroupBox;
class QPlainTextEdit;

namespace setup {

class Frm_setup : public ui::PlaceholderWindow {
  Q_OBJECT

 public:
  Frm_setup();
  void Form_Unload() override;

  QPlainTextEdit* Txt_description = nullptr;
  QGroupBox* frm_advance = nullptr;
};

}  // namespace setup
