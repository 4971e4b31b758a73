// The main window's side of a run: the connect and disconnect commands, the run
// buttons driving the engine from the 30 ms timer, the temperature and light panel,
// and the engine's requests to show things.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <filesystem>

#include "mainwindow/connection_glue.h"
#include "ui/controls.h"
#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "ui/program_end.h"
#include "offline/forms/frm_offline.h"
#include "platform/dialogs.h"
#include "platform/shutdown.h"
#include "platform/waiting.h"
#include "reports/forms/frm_report.h"
#include "setup/forms/frm_setup.h"
#include "storage/shared_state.h"
#include "ui/events.h"
#include "ui/window_place.h"

namespace mainwindow {
namespace {
constexpr int kAcquisitionTickMs = 30;
constexpr int kExitBinsLost = 3;
constexpr int kStatusLineHeight = 22;  // a line of the status panel
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void Frm_Main::SyncRunControls() {
  auto& c = engine_->controls;
  c.txttemp = txttemp->text().toStdString();
  c.txt_lon = txt_lon->text().toStdString();
  c.txt_loff = txt_loff->text().toStdString();
  c.txt_pulsetimes = txt_pulsetimes->text().toStdString();
  c.txt_snr_umbral = txt_snr_umbral->text().toStdString();
  c.Txt_description = Txt_description->toPlainText().toStdString();
  c.mnCalibra = ui::IsTicked(*mnCalibra);
  c.mnZero = ui::IsTicked(*mnZero);
  c.chk_zmonitor = chk_zmonitor->isChecked();
  c.mn_userbin = mn_userbin->isChecked();
  c.Station_Index = Station_Index;
}

// ---- Connection ----

// Nothing to do while a read waits: the hold only marks the port as taken.
Frm_Main::PortHold::PortHold(Frm_Main& window, Command command)
    : window_(window), hook_([] { return true; }) {
  window_.running_commands_.push_back(command);
}

Frm_Main::PortHold::~PortHold() { window_.running_commands_.pop_back(); }

std::unique_ptr<Frm_Main::PortHold> Frm_Main::HoldPort(Command command, const QObject* control) {
  const bool its_turn = std::exchange(turn_command_, nullptr) == command;
  // Stop must be able to end a run start (its calibration, its wait for a folder).
  const bool stops_own = command == &Frm_Main::CmdStop_Click && !running_commands_.empty();
  if (its_turn || stops_own || (!platform::PortHeld() && !platform::PortTurnsWaiting()))
    return std::make_unique<PortHold>(*this, command);
  const auto asked = [command](const std::vector<Command>& v) {
    return std::find(v.begin(), v.end(), command) != v.end();
  };
  if (asked(running_commands_) || asked(waiting_commands_)) return nullptr;
  waiting_commands_.push_back(command);
  platform::WhenPortFree(
      [this, command, control] {
        std::erase(waiting_commands_, command);
        // Judged as a click would be now: a disabled button takes none.
        if (!control->property("enabled").toBool()) {
          if (command == &Frm_Main::CmdPlay_Click && unattended_start_) UnattendedStartRan();
          return;
        }
        turn_command_ = command;
        (this->*command)();
        turn_command_ = nullptr;
      },
      this);
  return nullptr;
}

void Frm_Main::cmd_connect_Click() {
  const auto hold = HoldPort(&Frm_Main::cmd_connect_Click, cmd_connect);
  if (!hold) return;
  if (!connection_->Connect(Auto_Run())) platform::GetDialogs().MsgBox(kRunningRefusal);
}

void Frm_Main::Cmd_disconnect_Click() {
  const auto hold = HoldPort(&Frm_Main::Cmd_disconnect_Click, Cmd_disconnect);
  if (!hold) return;
  if (connection_->Disconnect() == acquisition::DisconnectResult::kRefusedRunning) {
    platform::GetDialogs().MsgBox(kRunningRefusal);
  }
}

void Frm_Main::ShowProgressFrame() {
  StatusPanelOneLine();
  picturecal->hide();
  frm_autotext->show();
}

void Frm_Main::SetHeading(const std::string& text) {
  lbl_autotext->setText(Q(text));
  FitStatusPanel();
  lbl_autotext->repaint();
}

void Frm_Main::SetProgress(const std::string& text) {
  lbl_autochannel->setText(Q(text));
  FitStatusPanel();
  lbl_autochannel->repaint();
}

void Frm_Main::HideProgressFrame() {
  frm_autotext->hide();
  picturecal->show();
  lbl_autotext->show();
  lbl_autochannel->show();
  lbl_autotext->setText("");
  lbl_autochannel->setText("");
}

void Frm_Main::SetStartWindowStatus(const std::string& text) {
  ui::Default<Frm_Init>().SetNews(text, true);
}

void Frm_Main::ShowStartWindow() {
  ui::Default<Frm_Init>().Show();
  hide();
}

void Frm_Main::ArmUnattendedStart() {
  Start_Step = 6;
  Timerinicio.start();
}

void Frm_Main::DoEvents() { ui::DoEvents(); }

bool Frm_Main::Ending() { return ended_ || ui::ProgramEnded() || platform::ShutdownRequested(); }

// ---- Run control ----

void Frm_Main::CmdPlay_Click() {
  const auto hold = HoldPort(&Frm_Main::CmdPlay_Click, CmdPlay);
  if (!hold) return;
  SyncRunControls();
  engine_->Start();
  // The start lets window events run (calibration, auto-zero): an exit or a
  // termination signal taken meanwhile must not leave a run going on behind it.
  if (ui::ProgramEnded() || platform::ShutdownRequested()) {
    ShutdownRun();
    return;
  }
  if (engine_->TimerEnabled()) {
    Timeradq.start(kAcquisitionTickMs);
  }
  if (unattended_start_) UnattendedStartRan();
}

void Frm_Main::UnattendedStartRan() {
  unattended_start_ = false;
  // Without a screen nobody can start the run by hand: a refused start ends here.
  if (exit_when_run_ends_ && storage::Shared().Acq_State == 0 && !ended_) {
    platform::GetDialogs().MsgBox("The unattended run did not start.");
    EndProgramNow(2);
  }
}

void Frm_Main::CmdPause_Click() {
  const auto hold = HoldPort(&Frm_Main::CmdPause_Click, CmdPause);
  if (!hold) return;
  SyncRunControls();
  engine_->Pause();
  if (engine_->TimerEnabled()) {
    if (!Timeradq.isActive()) Timeradq.start(kAcquisitionTickMs);
  } else {
    Timeradq.stop();
  }
}

void Frm_Main::CmdStop_Click() {
  const auto hold = HoldPort(&Frm_Main::CmdStop_Click, CmdStop);
  if (!hold) return;
  const bool had_run = storage::Shared().Acq_State != 0;
  engine_->Stop();
  Timeradq.stop();
  // A run stopped by hand that lost bins says so, as one that ends at its lapse does.
  if (had_run && engine_->LostBins() > 0) ShowRunFinished(engine_->RunFolderPath().string());
}

void Frm_Main::Timeradq_Timer() {
  if (!engine_->TimerEnabled()) {
    Timeradq.stop();
    return;
  }
  // Another work holds the port (this timer fires inside its waits): the run polls
  // at the next tick. A round skipped so is no failed poll of the instrument's.
  if (platform::PortHeld()) return;
  SyncRunControls();
  // The tick never yields to the message loop, so it cannot re-enter.
  engine_->Tick();
  if (!engine_->TimerEnabled()) {
    Timeradq.stop();
    const bool lost = storage::Shared().Acq_State == 0 && engine_->LostBins() > 0;
    if (!finished_run_.empty())
      ShowRunFinished(finished_run_);
    else if (lost)
      ShowRunFinished(engine_->RunFolderPath().string());
    finished_run_.clear();
    if (storage::Shared().Acq_State == 0 && exit_when_run_ends_ && !ended_) {
      // Unattended and without a screen: the run is over, and so is the program, once
      // the automatic report has finished its steps. Bins that could not be recorded
      // make it a failure for whoever started it.
      if (engine_->LostBins() > 0) unload_exit_code_ = kExitBinsLost;
      EndAfterAutoReport();
    }
  }
}

void Frm_Main::EndAfterAutoReport() {
  if (ui::IsLoaded<reports::frm_report>()) {
    auto& report = ui::Default<reports::frm_report>();
    if (report.AutoReportRunning()) {
      connect(
          &report, &reports::frm_report::AutoReportDone, this,
          [this] {
            if (!ended_) Form_Unload();
          },
          Qt::SingleShotConnection);
      return;
    }
  }
  Form_Unload();
}

void Frm_Main::ShutdownRun() {
  if (storage::Shared().Acq_State != 0) engine_->Stop();
  Timeradq.stop();
  ClosePort();
}

// ---- Temperature and light panel ----

void Frm_Main::SendTempLightState() { engine_->SendTempLightState(); }

void Frm_Main::cmd_ontemp_Click() { engine_->cmd_ontemp_Click(); }

void Frm_Main::cmd_frio_Click() { engine_->cmd_frio_Click(); }

void Frm_Main::cmd_luz_Click() { engine_->cmd_luz_Click(); }

void Frm_Main::Cmd_settemp_Click() {
  SyncRunControls();
  engine_->Cmd_settemp_Click();
}

void Frm_Main::cmd_cyclepulse_Click() { frm_pulse->setVisible(frm_pulse->isHidden()); }

void Frm_Main::cmd_nextwindows1_Click() {
  if (Frame_light->isVisible()) Frame_light->raise();
}

void Frm_Main::cmd_nextwindows2_Click() {
  if (Frame_temp->isVisible()) Frame_temp->raise();
}

void Frm_Main::ShowTempLightState(bool light_on, bool heat_mode, bool temp_power) {
  cmd_luz->setText(light_on ? "ON" : "OFF");
  shape_light->SetFillColor(light_on ? ui::RGB(0, 255, 0) : ui::RGB(255, 0, 0));
  cmd_frio->setText(heat_mode ? "HEAT" : "COOL");
  cmd_ontemp->setText(temp_power ? "ON" : "OFF");
  if (!temp_power) {
    shape_temp->SetFillColor(ui::RGB(255, 255, 255));
  } else {
    shape_temp->SetFillColor(heat_mode ? ui::RGB(255, 0, 0) : ui::RGB(0, 0, 255));
  }
}

void Frm_Main::FillLightShape(bool light_on) {
  shape_light->SetFillColor(light_on ? ui::RGB(0, 255, 0) : ui::RGB(255, 0, 0));
}

// ---- What the engine shows ----

void Frm_Main::ShowStatus(const std::string& headline) {
  StatusPanelOneLine();
  frm_autotext->show();
  lbl_autotext->setText(Q(headline));
  FitStatusPanel();
  lbl_autotext->repaint();
}

void Frm_Main::SetStatusDetail(const std::string& detail) {
  lbl_autochannel->setText(Q(detail));
  FitStatusPanel();
  lbl_autochannel->repaint();
}

void Frm_Main::HideStatus() { frm_autotext->hide(); }

void Frm_Main::SetElapsedText(const std::string& text) { Txt_time->setText(Q(text)); }

void Frm_Main::DrawProgress(double percent) {
  progress_shown_ = std::max(progress_shown_, percent);
  picturetime->Box(0, 0, percent, 100, ui::RGB(0, 0, 255), true);
}

void Frm_Main::ClearProgress() {
  picturetime->Cls();
  progress_shown_ = 0;
}

void Frm_Main::PrepareRunStart() {
  lst_report_export->hide();
  ui::SetCheckValue(*chk_enabled[0], 1);
  Station_Index = 0;
  engine_->controls.Station_Index = 0;
  lbl_station->setText("STATION 1");
  StopDeviceTest();
}

void Frm_Main::ShowRunName(const std::string& name) {
  txt_subproject->setText(Q(name));
  txt_subproject->repaint();
}

void Frm_Main::OpenSetup() { Cmdsetup_Click(); }

void Frm_Main::ResetActivityPlot() {
  // The view drawn here stays under the run's redraws, which draw only the wells they
  // know: it shows the group's wells as they are now.
  RefreshGroupWells();
  Picact->Cls();
  switch (Plot_Kind) {
    case 0:
      Picact->Scale(-30, 300, 300, -30);
      Picact->SetForeColor(ui::RGB(0, 0, 0));
      DrawActivityAxes();
      UpdateTimePlot(Station_Index);
      break;
    case 1:
      Picact->Scale(-30, 300, 300, -30);
      Picact->SetForeColor(ui::RGB(0, 0, 0));
      Dibujar_ejes_barplot();
      UpdateBarPlot(Station_Index);
      break;
    case 2:
      Dibujar_gridplot(Station_Index);
      break;
    case 3:
      Picact->Scale(-30, 300, 300, -30);
      Picact->SetForeColor(ui::RGB(0, 0, 0));
      Dibujar_ejes_histoplot();
      UpdateHistoPlot(Station_Index);
      break;
    default:
      break;
  }
}

void Frm_Main::RunStarting() {
  HideStatus();  // the news of the last run's end
  Txt_description->setReadOnly(true);
  CmdPlay->setEnabled(false);
  Cmdsetup->setEnabled(false);
  Cmdoffline->setEnabled(false);
  CmdPause->setEnabled(true);
  if (ui::IsLoaded<setup::Frm_setup>()) ui::Default<setup::Frm_setup>().hide();
  if (ui::IsLoaded<offline::Frm_offline>()) ui::Default<offline::Frm_offline>().hide();
  if (ui::IsLoaded<Frm_Init>()) ui::Default<Frm_Init>().hide();
  Cmb_organism->setEnabled(false);
  txt_snr_umbral->setReadOnly(true);
}

void Frm_Main::RunStarted() {
  Picreal->Cls();
  if (Zoom_Level == 0) Picreal->Scale(0, 2259 + 50, storage::Shared().RT_Buffer + 20, 0);
  engine_->state.Plot_Scale = 1.0;
  ClearRealtimePlot();
  ClearProgress();
  chk_bodybends->setEnabled(false);
}

void Frm_Main::RunStopped() {
  Timer_test.stop();
  lst_report_export->hide();
  CmdPause->setEnabled(false);
  CmdPlay->setEnabled(true);
  Txt_description->setReadOnly(false);
  cmd_stack_pos[0]->setEnabled(true);
  chk_bodybends->setEnabled(true);
  Cmdsetup->setEnabled(true);
  Cmdoffline->setEnabled(true);
  Cmb_organism->setEnabled(true);
  txt_snr_umbral->setReadOnly(false);
  lblcalibrando->hide();
}

void Frm_Main::ProcessEvents() { ui::DoEvents(); }

void Frm_Main::OpenReport(bool auto_report) {
  if (auto_report) ui::Default<reports::frm_report>().chk_autoreport->setChecked(true);
  Cmdreport_Click();
  auto& report = ui::Default<reports::frm_report>();
  if (auto_report) {
    // Refused (no counts yet): a tick left behind would make the next opening of the
    // report window write a report nobody asked for.
    if (!report.AutoReportRunning()) report.chk_autoreport->setChecked(false);
    Show();
  }
  // The end of a run comes to the front, the report over this window, with or without
  // anybody at the screen; an automatic report leaves its news in the status panel.
  ui::BringToFront(*this);
  if (report.isVisible()) ui::BringToFront(report, this);
  if (auto_report)
    finished_run_ =
        (std::filesystem::path(storage::Shared().Project_Path) / engine_->state.Run_Folder)
            .string();
}

void Frm_Main::ShowRunFinished(const std::string& run_folder) {
  ShowStatus("Acquisition finished");
  std::string detail = "Files: " + run_folder;
  const int lost = engine_->LostBins();
  // A loss comes first, over the progress bar, which has nothing to show now.
  if (lost > 0) {
    detail = acquisition::LostBinsText(lost, engine_->RecordedRunBins()) + "\n" + detail;
    picturecal->hide();
  }
  SetStatusDetail(detail);
  lbl_autochannel->resize(lbl_autochannel->width(),
                          lost > 0 ? 2 * kStatusLineHeight : kStatusLineHeight);
}

void Frm_Main::FitStatusPanel() {
  const int text = std::max(lbl_autotext->sizeHint().width(), lbl_autochannel->sizeHint().width());
  const int width = std::clamp(text + 24, 320, std::max(320, Picact->width() - 40));
  frm_autotext->resize(width, frm_autotext->height());
  lbl_autotext->resize(width - 16, lbl_autotext->height());
  lbl_autochannel->resize(width - 16, lbl_autochannel->height());
}

void Frm_Main::StatusPanelOneLine() {
  if (lbl_autochannel->height() <= kStatusLineHeight) return;
  lbl_autochannel->resize(lbl_autochannel->width(), kStatusLineHeight);
  picturecal->show();
}

void Frm_Main::WarmUpRefresh(int16_t station) {
  if (Zoom_Level > 0) {
    --Zoom_Level;
    Cmdzoom_plus_Click();
  } else {
    DrawRealtimePlot(station);
  }
}

}  // namespace mainwindow
