// The main window's option controls, menus, toggles, window switching and exit.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <system_error>

#include "acquisition/snr.h"
#include "mainwindow/connection_glue.h"
#include "ui/controls.h"
#include "mainwindow/frm_about.h"
#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "ui/program_end.h"
#include "mainwindow/startup.h"
#include "offline/forms/frm_offline.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/numeric.h"
#include "reports/forms/frm_report.h"
#include "reports/forms/frm_reportset.h"
#include "service/factory_calibration.h"
#include "service/forms/frm_factory.h"
#include "service/forms/frm_tech_cal.h"
#include "setup/forms/frm_setup.h"
#include "storage/config_file.h"
#include "storage/report_settings.h"
#include "storage/run_files.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"
#include "ui/events.h"
#include "ui/window_place.h"

namespace mainwindow {
namespace {

double TextValue(const QLineEdit& box) { return platform::Val(box.text().toStdString()); }

}  // namespace

// ---- Option controls ----

void Frm_Main::chk_bodybends_Click() {
  auto& s = storage::Shared();
  const bool plate_w96u = txt_wellformat->text() == "w96u";
  if (ui::IsTicked(*chk_bodybends)) {
    if (plate_w96u) {
      s.Body_Bends = 1;
      platform::GetDialogs().MsgBox(
          "WARNING!\r\nExperimental functionality! Beta testing.\r\nContact us for more "
          "information");
      Cmd_histoplot->show();
    } else {
      s.Body_Bends = 0;
      ui::SetCheckValue(*chk_bodybends, 0);
      chk_bodybends->hide();
    }
  } else {
    s.Body_Bends = 0;
    Cmd_histoplot->hide();
    if (!plate_w96u) chk_bodybends->hide();
  }
}

void Frm_Main::Chk_lenabled_Click() {
  const bool on = ui::IsTicked(*Chk_lenabled);
  engine_->controls.Light_Enabled = on;
  storage::Shared().MnAt(2, 0) = on ? 1 : 0;
}

void Frm_Main::Chk_tenabled_Click() {
  const bool on = ui::IsTicked(*Chk_tenabled);
  engine_->controls.Temp_Enabled = on;
  storage::Shared().MnAt(3, 0) = on ? 1 : 0;
}

void Frm_Main::Cmb_organism_Click() {
  storage::Shared().MnAt(1, 0) = static_cast<int16_t>(Cmb_organism->currentIndex());
  UpdateThresholdControls();
}

void Frm_Main::UpdateThresholdControls() {
  double& threshold = engine_->state.SNR_Threshold;
  const int organism = storage::Shared().MnAt(1, 0);
  if (const auto fixed = acquisition::OrganismSnr(organism)) {
    txt_snr_umbral->setText(QString::fromStdString(platform::FormatFixed(*fixed, 1)));
    threshold = TextValue(*txt_snr_umbral);
    lbl_umbral->setText(">>>>");
    txt_snr_umbral->hide();
  } else if (organism == 2) {
    lbl_umbral->setText("> Zero SNR:");
    txt_snr_umbral->show();
    threshold = TextValue(*txt_snr_umbral);
  }
  if (threshold <= 1.4) {
    threshold = 1.8;
    txt_snr_umbral->setText(QString::fromStdString(platform::FormatFixed(1.8, 1)));
  }
}

// ---- Menus ----

void Frm_Main::mncom1_Click(int index) {
  CheckComMenu(index);
  storage::Shared().Serial_COM = static_cast<int16_t>(index);
  storage::SaveConfig();
}

void Frm_Main::mn_userbin_Click() {
  const int16_t flag = mn_userbin->isChecked() ? 1 : 0;
  storage::LoadReportConfig(flag);
  storage::SaveReportConfig(flag);
  auto& dialog = ui::Default<reports::frm_reportset>();
  dialog.setVisible(true);
  dialog.Show();
}

void Frm_Main::mn_factory_Click() {
  const auto& s = storage::Shared();
  if (!s.Offline_Mode && s.Acq_State < 1) {
    hide();
    auto& factory = ui::Default<service::Frm_Factory>();
    factory.Show();
    factory.Timer_temp.start();
  } else {
    platform::GetDialogs().MsgBox(service::kFactoryAccessRefusal);
  }
}

void Frm_Main::lght_ctl_Click() {
  if (Frame_light->isHidden()) {
    platform::GetDialogs().MsgBox("Only available in some hardware versions");
    Frame_light->show();
    storage::Shared().Menu2 = 1;
  } else {
    Frame_light->hide();
    storage::Shared().Menu2 = 0;
  }
}

void Frm_Main::temp_ctl_Click() {
  if (Frame_temp->isHidden()) {
    platform::GetDialogs().MsgBox("Only available in some hardware versions");
    Frame_temp->show();
    storage::Shared().Menu3 = 1;
  } else {
    Frame_temp->hide();
    storage::Shared().Menu3 = 0;
  }
}

void Frm_Main::mn_technical_Click() {
  const auto answer = platform::GetDialogs().InputBox("Enter Password", "");
  if (answer && *answer == kTechnicalPassword) {
    // The device test's menu entry, hidden at load, is the technician's from now on.
    mnstatustest->setVisible(true);
    auto& window = ui::Default<service::Frm_Tech_cal>();
    window.setVisible(true);
    window.Show();
  } else {
    platform::GetDialogs().MsgBox("Wrong Password");
  }
}

void Frm_Main::mnexit_Click() { Form_Unload(); }

void Frm_Main::mncontent_Click() {
  // Looked up from the current folder, as the original did.
  const std::string help = "qnl_help.pdf";
  std::error_code ec;
  const std::filesystem::path where = std::filesystem::absolute(help, ec);
  platform::OpenOrSay(help,
                      "No program could open the help file:\r\n" + (ec ? help : where.string()));
}

void Frm_Main::mnabout_Click() {
  auto& about = ui::Default<Frm_About>();
  // Once before it shows and again once its frame is known.
  ui::CentreOver(about, *this);
  about.Show();
  ui::CentreOver(about, *this);
}

void Frm_Main::lbl_umbral_Click() {
  if (txt_snr_umbral->isHidden()) {
    lbl_umbral->setText("> Zero SNR:");
    txt_snr_umbral->show();
  } else {
    lbl_umbral->setText(">>>>");
    txt_snr_umbral->hide();
  }
}

void Frm_Main::mnZero_Click() {
  const int value = ui::CheckValue(*mnZero);
  engine_->controls.Auto_Zero = value == 1;
  engine_->controls.mnZero = value == 1;
  storage::Shared().MnAt(1, 2) = static_cast<int16_t>(value);
  if (value == 1) {
    Cmd_autozero->hide();
  } else {
    Cmd_autozero->show();
  }
}

// ---- Window switching ----

void Frm_Main::Cmdoffline_Click() {
  lst_report_export->hide();
  ui::Default<Frm_Init>().Show();
  ui::Default<setup::Frm_setup>().Txt_description->setPlainText(Txt_description->toPlainText());
  hide();
}

void Frm_Main::Cmdsetup_Click() {
  // Setup rewrites the settings a run reads: not while one goes on.
  if (storage::Shared().Acq_State != 0) {
    platform::GetDialogs().MsgBox(kRunningRefusal);
    return;
  }
  lst_report_export->hide();
  auto& setup = ui::Default<setup::Frm_setup>();
  setup.Show();
  setup.Txt_description->setPlainText(Txt_description->toPlainText());
  setup.frm_advance->hide();
  hide();
}

void Frm_Main::Cmdreport_Click() {
  auto& report = ui::Default<reports::frm_report>();
  report.Cmb_binsize->setCurrentText(combo_minutes->currentText());
  if (lst_report_export->isVisible()) {
    lst_report_export->hide();
    return;
  }
  const std::string& run_folder = engine_->state.Run_Folder;
  if (run_folder.empty()) return;
  const std::filesystem::path folder =
      std::filesystem::path(storage::Shared().Project_Path) / run_folder;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(folder / "counts.bin", ec)) {
    platform::GetDialogs().MsgBox("Activity file not Found");
    return;
  }
  report.Txt_inputfile->setText(QString::fromStdString(folder.string()));
  if (storage::HoldsHistoFiles(folder)) {
    report.Option_output[4]->setVisible(true);
    report.Option_output[4]->setChecked(true);
  } else {
    report.Option_output[4]->setVisible(false);
    report.Option_output[0]->setChecked(true);
  }
  report.Show();
}

// ---- Exit ----

void Frm_Main::Form_Unload() {
  auto& s = storage::Shared();
  try {
    // A run ends with the program: outputs off and its files closed first.
    if (s.Acq_State != 0) engine_->Stop();
    Timeradq.stop();
    if (!s.Offline_Mode) {
      if (platform::GetDialogs().AskYesNo(ExitQuestion(s.Actual_Project_Number, s.Project_Name))) {
        if (!storage::SaveProjectSetup(s.Project_Path, s.Actual_Project_Number, -1)) {
          platform::GetDialogs().MsgBox("The project values could not be saved in " +
                                        s.Project_Path);
        }
        platform::Sleep(300);
        ui::DoEvents();
        platform::Sleep(300);
      }
      ClosePort();
    }
  } catch (const std::exception&) {
    // Exit always ends the program.
  }
  EndProgramNow(unload_exit_code_);
}

}  // namespace mainwindow
