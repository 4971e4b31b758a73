// The calibration panel, the "Fast CALIB" and "Fast ZERO" buttons, the run-start
// calibration and auto-zero hooks, and the focus-loss checks of the run parameters.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "mainwindow/frm_main.h"
#include "platform/waiting.h"
#include "ui/controls.h"
#include "ui/events.h"

namespace mainwindow {

void Frm_Main::ConnectCalibration() {
  calibration_ = std::make_unique<acquisition::ChannelCalibration>(*io_, *engine_, *this);
  auto_zero_ = std::make_unique<acquisition::AutoZero>(*io_, *engine_, *this);
  engine_->RunAutoCalibration = [this](const std::string& folder, int station) {
    calibration_->AutoCalibrationAtRunStart(folder, station);
  };
  engine_->RunAutoZero = [this] { auto_zero_->RunAutoZero(); };

  connect(cmd_calibra, &QPushButton::clicked, this, [this] { cmd_calibra_Click(); });
  connect(Cmd_autozero, &QPushButton::clicked, this, [this] { Cmd_autozero_Click(); });

  using Box = acquisition::RunParamBox;
  const std::pair<Box, QLineEdit*> boxes[] = {{Box::txt_lon, txt_lon},
                                              {Box::txt_loff, txt_loff},
                                              {Box::txt_pulsetimes, txt_pulsetimes},
                                              {Box::txt_pulseon, txt_pulseon},
                                              {Box::txt_pulseoff, txt_pulseoff},
                                              {Box::txt_snr_umbral, txt_snr_umbral},
                                              {Box::txttemp, txttemp}};
  for (const auto& [box, edit] : boxes) {
    connect(edit, &QLineEdit::editingFinished, this,
            [this, box = box, edit = edit] { RunParamLostFocus(box, edit); });
  }
  connect(txtsub, &QLineEdit::editingFinished, this, [this] { txtsub_LostFocus(); });
}

void Frm_Main::cmd_calibra_Click() {
  const auto hold = HoldPort(&Frm_Main::cmd_calibra_Click, cmd_calibra);
  if (!hold) return;
  SyncRunControls();
  calibration_->cmd_calibra_Click(txt_snr_umbral->text().toStdString());
}

void Frm_Main::Cmd_autozero_Click() {
  const auto hold = HoldPort(&Frm_Main::Cmd_autozero_Click, Cmd_autozero);
  if (!hold) return;
  SyncRunControls();
  auto_zero_->Cmd_autozero_Click(txt_snr_umbral->text().toStdString());
}

void Frm_Main::RunParamLostFocus(acquisition::RunParamBox box, QLineEdit* text_box) {
  // The refusal's message box takes the focus: that second focus loss is not a new edit.
  if (validating_) return;
  validating_ = true;
  const auto result = acquisition::ValidateRunParam(box, text_box->text().toStdString());
  text_box->setText(QString::fromStdString(result.text));
  if (box == acquisition::RunParamBox::txt_pulsetimes) {
    const bool enabled = acquisition::LightHourBoxesEnabled();
    txt_lon->setEnabled(enabled);
    txt_loff->setEnabled(enabled);
  } else if (box == acquisition::RunParamBox::txt_snr_umbral) {
    Cmb_organism->setCurrentIndex(2);
  }
  validating_ = false;
}

void Frm_Main::txtsub_LostFocus() {
  const auto r = acquisition::SelectBeam(txtsub->text().toStdString(),
                                         Combocol->currentText().toStdString(),
                                         Combofila->currentText().toStdString());
  txtsub->setText(QString::fromStdString(r.txtsub));
  if (r.channel) lblcanal->SetCaption(QString::number(*r.channel));
}

void Frm_Main::ShowFrame() {
  StatusPanelOneLine();
  frm_autotext->show();
}

void Frm_Main::HideFrame() { frm_autotext->hide(); }

void Frm_Main::SetProgressText(const std::string& text) {
  lbl_autochannel->setText(QString::fromStdString(text));
  FitStatusPanel();
  lbl_autochannel->repaint();
}

void Frm_Main::ScaleProgressBar(double right, double bottom) {
  picturecal->Scale(0, 0, right, bottom);
}

void Frm_Main::DrawProgressBar(double x) { picturecal->Box(0, 0, x, 10, ui::RGB(0, 0, 255), true); }

void Frm_Main::ClearProgressBar() {
  picturecal->SetBackColor(ui::RGB(255, 255, 192));
  picturecal->Cls();
}

}  // namespace mainwindow
