#pragma once
// "[User Defined Report]": the report settings the report window starts from while
// the main window's "User Defined BIN size" is checked. "Apply" stores them in
// repoconf.dat and checks the menu item; "Back to Default" restores the defaults and
// unchecks it.
#include <array>

#include "ui/form.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace reports {

class frm_reportset : public ui::Form {
  Q_OBJECT

 public:
  frm_reportset();

  void Form_Load() override;
  void Cmd_generate_Click();
  void Cmd_cancel_Click();

  // The dialog's content frame (the dialog's own name is the class's in C++).
  QGroupBox* frm_reportset_frame = nullptr;
  QComboBox* Cmb_binsize = nullptr;
  std::array<QRadioButton*, 2> Option_report{};
  QLineEdit* txt_customspacer = nullptr;
  std::array<QRadioButton*, 4> Option_output{};
  std::array<QCheckBox*, 5> Chk_statistic{};
  QCheckBox* Chk_rawexport = nullptr;
  QCheckBox* Chk_autofile = nullptr;
  QPushButton* Cmd_generate = nullptr;
  QPushButton* Cmd_cancel = nullptr;

  static constexpr int kHeight = 3600;  // twips
};

}  // namespace reports
