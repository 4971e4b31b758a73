#pragma once
// Stand-ins for the windows other parts of the program provide: the setup window, the
// report window and its settings dialog, the offline browser and the two service
// windows. Each is reached through its default instance, says it is not available
// yet, and has the controls the main window writes, so that the main window's paths
// run unchanged until the real window replaces it.
#include <QTimer>
#include <array>

#include "ui/form.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace mainwindow {

class PlaceholderWindow : public ui::Form {
  Q_OBJECT

 public:
  explicit PlaceholderWindow(const QString& title);

 protected:
  QLabel* notice_ = nullptr;
};

// Setup window: the main window copies the run description into it and hides its
// annotation panel. Closing it shows the start window.
class Frm_setup : public PlaceholderWindow {
  Q_OBJECT

 public:
  Frm_setup();
  void Form_Unload() override;

  QPlainTextEdit* Txt_description = nullptr;
  QGroupBox* frm_advance = nullptr;
};

// Report window: the bin size, the run folder and the layout option are written by
// the main window before it is shown.
class frm_report : public PlaceholderWindow {
  Q_OBJECT

 public:
  frm_report();
  void Form_Activate() override;

  QComboBox* Cmb_binsize = nullptr;
  QLineEdit* Txt_inputfile = nullptr;
  std::array<QRadioButton*, 5> Option_output{};
  QCheckBox* chk_autoreport = nullptr;
};

class frm_reportset : public PlaceholderWindow {
  Q_OBJECT

 public:
  frm_reportset();
};

// Offline browser; closing it shows the start window.
class Frm_offline : public PlaceholderWindow {
  Q_OBJECT

 public:
  Frm_offline();
  void Form_Unload() override;
};

// Channel-calibration window; closing it shows the main window.
class Frm_Tech_cal : public PlaceholderWindow {
  Q_OBJECT

 public:
  Frm_Tech_cal();
  void Form_Unload() override;
};

// Factory window with its temperature timer; closing it shows the main window.
class Frm_Factory : public PlaceholderWindow {
  Q_OBJECT

 public:
  Frm_Factory();
  void Form_Unload() override;

  QTimer Timer_temp;
};

}  // namespace mainwindow
