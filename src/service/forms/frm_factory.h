#pragma once
// "Factory Settings": the instrument's serial number, its temperature once a second,
// and the sensor calibration that writes the factory record. Closing it shows the
// main window again.
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/instrument_io.h"
#include "service/factory_calibration.h"
#include "ui/form.h"

class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace service {

class Frm_Factory : public ui::Form {
  Q_OBJECT

 public:
  Frm_Factory();
  ~Frm_Factory() override;

  void Form_Load() override;
  void Form_Activate() override;
  void Form_Unload() override;
  void Timer_temp_Timer();
  void Cmd_temp_Click();

  QGroupBox* Frame1 = nullptr;
  QLineEdit* txt_current_temp = nullptr;
  QLineEdit* txt_set_temp = nullptr;
  QPushButton* Cmd_temp = nullptr;
  QLabel* txt_mensaje = nullptr;
  QLabel* lblserial = nullptr;
  QTimer Timer_temp;

 protected:
  // Not while SET writes the record: the window stays until the write has ended.
  void closeEvent(QCloseEvent* event) override;

 private:
  std::unique_ptr<acquisition::InstrumentIo> io_;
  std::unique_ptr<FactoryCalibration> calibration_;
  // SET's work with the target of its click.
  void Calibrate(const std::string& target);

  bool calibrating_ = false;
  // The last reading got no answer: txt_mensaje says so until one comes.
  bool silent_ = false;
};

}  // namespace service
