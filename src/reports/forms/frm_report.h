#pragma once
// Report window (placeholder): the bin size, the run folder and the layout option are
// written by the main window before it is shown.
#include <array>

#include "ui/placeholder_window.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace reports {

class frm_report : public ui::PlaceholderWindow {
  Q_OBJECT

 public:
  frm_report();
  void Form_Activate() override;

  QComboBox* Cmb_binsize = nullptr;
  QLineEdit* Txt_inputfile = nullptr;
  std::array<QRadioButton*, 5> Option_output{};
  QCheckBox* chk_autoreport = nullptr;
};

}  // namespace reports
