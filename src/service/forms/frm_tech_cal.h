#pragma once
// The technician's channel-calibration window of the compact instrument: the plate
// map shaded by each channel's level, the live view with its scan display, the
// selected channel's level and threshold traces, its threshold, gain, power and
// enabled state, the setting writes, the automatic calibrations and the scan test.
// The work is TechCal's; the window draws and shows. Closing it shows the main window.
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "acquisition/instrument_io.h"
#include "service/tech_cal.h"
#include "service/tech_cal_plots.h"
#include "ui/form.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace ui {
class PictureBox;
class ShapeBox;
}  // namespace ui

namespace service {

class Frm_Tech_cal : public ui::Form, private TechCalView {
  Q_OBJECT

 public:
  Frm_Tech_cal();
  ~Frm_Tech_cal() override;

  void Form_Load() override;
  void Form_Unload() override;
  void Form_Resize() override;

  void Cmd_online_Click();
  void Cmd_offline_Click();
  void Combocol_Click();
  void Combofila_Click();
  void Picwell_MouseMove(int button, int shift, double x, double y);
  void Picwell_MouseDown(int button, int shift, double x, double y);
  void Command10_Click();
  void Command11_Click();
  void mas_Click();
  void menos_Click();
  void pix_mas_Click();
  void pix_menos_Click();
  void lblstatus_DblClick();
  void Scroll_threshold_Change();
  void scrollgain_Change();
  void scrollpower_Change();
  void Cmd_setall_Click();
  void cmd_setcalibra_Click();
  void Cmdcalibrar_Click();
  void cmd_autocalibra_Click();
  void cmdTEST_Click();
  void Command2_Click();
  void Command21_Click();
  void Command22_Click();
  void Command24_Click();
  // One step of the live view, calibration or scan test (the step timer's tick).
  void Step_Timer();

  TechCal& logic() { return *logic_; }

  ui::PictureBox* Picwell = nullptr;
  ui::PictureBox* Picwell_out = nullptr;
  QFrame* Picwell_out_border = nullptr;
  ui::PictureBox* Picreal = nullptr;
  ui::PictureBox* picturecal = nullptr;
  QPushButton* Cmd_online = nullptr;
  QPushButton* Cmd_offline = nullptr;
  ui::ShapeBox* shapeonline = nullptr;
  ui::ShapeBox* shapeoffline = nullptr;
  QComboBox* Combofila = nullptr;
  QComboBox* Combocol = nullptr;
  QLabel* lblcanal = nullptr;
  QLabel* lblnchannel = nullptr;
  QLabel* lblstatus = nullptr;
  QLabel* lblout = nullptr;
  QLineEdit* txt_threshold = nullptr;
  QScrollBar* Scroll_threshold = nullptr;
  QLineEdit* txtgain = nullptr;
  QScrollBar* scrollgain = nullptr;
  QLineEdit* txtpower = nullptr;
  QScrollBar* scrollpower = nullptr;
  QLineEdit* txtzoom = nullptr;
  QPushButton* Command10 = nullptr;
  QPushButton* Command11 = nullptr;
  QLineEdit* txt_brillo = nullptr;
  QPushButton* mas = nullptr;
  QPushButton* menos = nullptr;
  QLineEdit* txt_pixsize = nullptr;
  QPushButton* pix_mas = nullptr;
  QPushButton* pix_menos = nullptr;
  QLabel* lblcalibrando = nullptr;
  QPushButton* Cmd_setall = nullptr;
  QLineEdit* txt_ganancia = nullptr;
  QLineEdit* txt_power = nullptr;
  QPushButton* cmd_setcalibra = nullptr;
  QLineEdit* Txtajuste = nullptr;
  QComboBox* Combomode = nullptr;
  QPushButton* Cmdcalibrar = nullptr;
  QLineEdit* txt_autocal = nullptr;
  QPushButton* cmd_autocalibra = nullptr;
  QPushButton* cmdTEST = nullptr;
  QLineEdit* txt_test = nullptr;
  QPushButton* Cmdsend = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* CmdCalibrate = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command21 = nullptr;
  QPushButton* Command22 = nullptr;
  QPushButton* Command24 = nullptr;
  QGroupBox* frame_station = nullptr;
  QTimer Timerreal;
  QTimer step_timer;

 protected:
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void ConnectHandlers();
  // The channel shown in lblcanal.
  int Channel() const;
  void RunSteps();
  // Runs `work` now, or once the port is free when instrument work holds it (this
  // window's or another's), after what was asked before it.
  void WhenFree(std::function<void()> work);
  // The gain and power boxes to the selected channel (a bar moved).
  void WriteBoxes();
  void DrawPlateMap();
  void RedrawSignal();

  void DrawLevels() override;
  void StartLiveDisplay(int width, int height) override;
  void DrawScanPoints(const std::vector<std::pair<double, double>>& points, int grey,
                      int size) override;
  int ScanBrightness() override;
  int ScanDotSize() override;
  void ClearFan() override;
  void DrawFanLine(double x) override;
  void ShowOut(int reply) override;
  void ShowAutoProgress(int value) override;
  void ShowState() override;
  void LetEventsRun() override;

  std::unique_ptr<acquisition::InstrumentIo> io_;
  std::unique_ptr<TechCal> logic_;
  MapCell last_mouse_;
  uint64_t moves_ = 0;  // the gain and power bars' moves so far
};

}  // namespace service
