// Program start-up (the main window's load), the start-up sequencer that paints the
// start window's progress between the load's stages, and the activation refresh.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>
#include <exception>
#include <string>

#include "acquisition/snr.h"
#include "ui/controls.h"
#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "ui/program_end.h"
#include "mainwindow/startup.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "platform/program_folder.h"
#include "setup/forms/frm_setup.h"
#include "storage/config_file.h"
#include "storage/file_io.h"
#include "storage/report_settings.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"
#include "ui/events.h"

namespace mainwindow {
namespace {

std::string g_command_line;

constexpr int kStartStepIntervalMs = 500;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A check box set from a project value; a value no check box can take falls back to
// the project default instead of ending the start-up.
void SetCheckFromProject(QCheckBox& box, int16_t& value, int16_t fallback) {
  if (value < 0 || value > 2) value = fallback;
  ui::SetCheckValue(box, value);
}

}  // namespace

void Frm_Main::SetCommandLine(const std::string& command_line) { g_command_line = command_line; }

bool Frm_Main::RunStartStep(int16_t step) {
  Start_Step = step;
  Start_Step_Done = 0;
  Timerinicio.start();
  while (Start_Step_Done == 0 && !ended_ && !ui::ProgramEnded()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return !ended_ && !ui::ProgramEnded();
}

void Frm_Main::Timerinicio_Timer() {
  Timerinicio.stop();
  auto& init = ui::Default<Frm_Init>();
  switch (Start_Step) {
    case 0:
      init.SetNews("STARTING........... Reading Configuration...");
      Start_Step_Done = 1;
      break;
    case 1:
      init.SetNews("STARTING........... Configuration OK...");
      Start_Step_Done = 1;
      break;
    case 2:
      init.SetNews(std::string(kNotConnectedStatus));
      Start_Step_Done = 1;
      break;
    case 3:
      init.LblNews->repaint();
      Start_Step_Done = 1;
      break;
    case 4:
      Start_Step_Done = 1;
      break;
    case 5:
      if (Auto_Run()) {
        init.hide();
        ShowMaximized();
        cmd_connect_Click();
      }
      break;
    case 6:
      if (Auto_Run()) {
        Show();
        unattended_start_ = true;
        CmdPlay_Click();
      }
      break;
    default:
      break;
  }
}

void Frm_Main::MakeRunBuffers(bool with_counts) {
  auto& st = engine_->state;
  // Only the buffers are cleared: the SNR threshold, the plot scale and the last run's
  // folder (for "Show my report") are settings of the window, not run buffers.
  const auto clear = [](auto& table) { std::fill(table.begin(), table.end(), 0); };
  clear(st.Raw_Ring);
  clear(st.Envelope);
  clear(st.RT_Planes);
  clear(st.Level_Peak);
  clear(st.Count_Total);
  clear(st.Histo.Histo);
  if (with_counts) clear(st.Counts);
}

void Frm_Main::LoadFailed() {
  platform::GetDialogs().MsgBox("Error loading INIT parameters #ERROR:" +
                                std::to_string(storage::Shared().Load_Step));
  EndProgramNow(1);
}

void Frm_Main::Form_Load() {
  auto& s = storage::Shared();
  auto& ctl = engine_->controls;
  auto& flags = engine_->flags;
  try {
    // Stage 0: the window's state.
    s.Load_Step = 0;
    Start_Step = 0;
    engine_->state.Pause_Flag = false;
    s.Offline_Mode = false;
    s.Save_Run = false;
    s.Body_Bends = 0;
    Station_Index = 0;
    ctl.Station_Index = 0;
    s.Acq_State = 0;
    s.Selected_Channel = 0;
    Zoom_Level = 0;
    Plot_Kind = 0;
    mnstatustest->setVisible(false);

    // Command line.
    ctl.Auto_Run = IsAutoRunCommandLine(g_command_line);
    if (ctl.Auto_Run) {
      platform::Sleep(500);
      ui::DoEvents();
      platform::Sleep(500);
    }

    // Temperature and light controls.
    flags = acquisition::TempLightFlags();
    cmd_frio->setText("COOL");
    cmd_ontemp->setText("OFF");
    cmd_luz->setText("OFF");
    ctl.Light_Enabled = true;
    ui::SetCheckValue(*Chk_lenabled, 1);
    frm_autotext->hide();
    engine_->state.Sample_Count = 0;

    if (!storage::FileExists(platform::ProgramFolder() / "config.dat")) {
      platform::GetDialogs().MsgBox("Config file not found: Check correct software installation");
      EndProgramNow(1);
      return;
    }

    s.Load_Step = 1;
    storage::LoadConfig();

    s.Load_Step = 2;
    const ProjectChoice project = ChooseProject(platform::ProgramFolder(), s.Actual_Project_Number);
    s.Project_Path = project.path.string();
    s.Actual_Project_Number = project.number;

    // Stage 3: the start window, shown but closed to clicks while the project loads.
    s.Load_Step = 3;
    auto& init = ui::Default<Frm_Init>();
    init.Show();
    init.setEnabled(false);
    hide();
    storage::SetProjectNewsHandler([](const std::string& text) {
      if (ui::IsLoaded<Frm_Init>()) ui::Default<Frm_Init>().SetNews(text);
    });
    // The setup window is loaded now, hidden, showing the open project: its load sets
    // the tool frames and an organism's defaults, and this load then reads the project
    // again and has the last word. First loaded later (by "< Back" or the setup
    // button), it would reopen the pulse frame and reset the threshold mid-session.
    storage::LoadProjectSetup(s.Actual_Project_Number);
    ui::Default<setup::Frm_setup>().hide();
    Timerinicio.setInterval(kStartStepIntervalMs);
    if (!RunStartStep(0)) return;

    storage::LoadProjectSetup(s.Actual_Project_Number);

    s.Load_Step = 4;
    if (!RunStartStep(1)) return;

    // Tool frames.
    if (s.Menu1 == 1) frm_mn1->show();
    if (s.Menu1 == 0) frm_mn1->hide();
    if (s.Menu2 == 1) Frame_light->show();
    if (s.Menu2 == 0) Frame_light->hide();
    if (s.Menu3 == 1) Frame_temp->show();
    if (s.Menu3 == 0) Frame_temp->hide();
    Frame_light->hide();
    Frame_temp->hide();

    // Organism list, filled without raising its handler (nothing is chosen yet).
    {
      const QSignalBlocker block(Cmb_organism);
      Cmb_organism->clear();
      Cmb_organism->addItems({"C elegans(>L4)", "Zebrafish(Larvae)", "Echinococcus", "Drosophila"});
      Cmb_organism->setCurrentIndex(-1);
    }

    // SNR box.
    if (s.MnAt(1, 3) != 0) {
      txt_snr_umbral->setText(Q(platform::FormatFixed(s.MnAt(1, 3) / 10.0, 1)));
    } else {
      txt_snr_umbral->setText(Q(platform::FormatFixed(1.8, 1)));
    }

    // Organism: the list entry of the project's code. The size classes 7 to 9 name no
    // entry of this list; they take the default organism.
    if (const auto text = OrganismTextForCode(s.MnAt(1, 0))) {
      int index = Cmb_organism->findText(Q(*text), Qt::MatchFixedString);
      if (index < 0) index = 0;
      Cmb_organism->setCurrentIndex(index);
    }
    UpdateThresholdControls();

    s.Load_Step = 5;
    engine_->state.SNR_Threshold = acquisition::CountingSnr(
        s.MnAt(1, 0), acquisition::ParseSnrText(txt_snr_umbral->text().toStdString()));

    // Calibration and zero.
    SetCheckFromProject(*mnCalibra, s.MnAt(1, 1), 1);
    ctl.mnCalibra = ui::IsTicked(*mnCalibra);
    if (s.MnAt(1, 1) == 1) {
      cmd_calibra->hide();
      ctl.Auto_Calibration = true;
    } else {
      cmd_calibra->show();
      ctl.Auto_Calibration = false;
    }
    SetCheckFromProject(*mnZero, s.MnAt(1, 2), 1);
    if (s.MnAt(1, 2) == 1) {
      Cmd_autozero->hide();
      ctl.Auto_Zero = true;
    } else {
      Cmd_autozero->show();
      ctl.Auto_Zero = false;
    }
    ctl.mnZero = ui::IsTicked(*mnZero);

    // Lights.
    SetCheckFromProject(*Chk_lenabled, s.MnAt(2, 0), 0);
    ctl.Light_Enabled = s.MnAt(2, 0) == 1;
    s.Menu2 = ctl.Light_Enabled ? 1 : 0;
    if (s.MnAt(2, 1) == 0 && s.MnAt(2, 2) == 0) {
      s.MnAt(2, 1) = 9;
      s.MnAt(2, 2) = 21;
    }
    txt_lon->setText(QString::number(s.MnAt(2, 1)));
    txt_loff->setText(QString::number(s.MnAt(2, 2)));
    flags.State_Send_Pending = false;
    frm_pulse->hide();
    if (ctl.Light_Enabled) {
      txt_pulsetimes->setText(QString::number(s.MnAt(2, 3)));
      txt_pulseon->setText(Q(platform::FormatFixed(s.MnAt(2, 4) / 10.0, 1)));
      txt_pulseoff->setText(Q(platform::FormatFixed(s.MnAt(2, 5) / 10.0, 1)));
      if (s.MnAt(2, 3) < 1) {
        frm_pulse->hide();
        txt_lon->setEnabled(true);
        txt_loff->setEnabled(true);
      } else {
        frm_pulse->show();
        txt_lon->setEnabled(false);
        txt_loff->setEnabled(false);
      }
    }

    // Temperature.
    SetCheckFromProject(*Chk_tenabled, s.MnAt(3, 0), 0);
    ctl.Temp_Enabled = s.MnAt(3, 0) == 1;
    if (s.MnAt(3, 1) < 20 || s.MnAt(3, 1) > 500) s.MnAt(3, 1) = 200;
    txttemp->setText(Q(platform::FormatFixed(s.MnAt(3, 1) / 10.0, 1)));

    // Report bin list.
    combo_minutes->clear();
    combo_minutes->addItems({"15", "30", "60", "120", "180", "240", "360", "480", "720", "1440"});
    if (storage::LoadReportConfig(1) == 1) {
      mn_userbin->setChecked(true);
      combo_minutes->addItem(QString::number(s.Bin));
      combo_minutes->setCurrentText(QString::number(s.Bin));
    } else {
      mn_userbin->setChecked(false);
      combo_minutes->setCurrentIndex(1);
    }
    ctl.mn_userbin = mn_userbin->isChecked();

    s.Load_Step = 6;
    MakeRunBuffers(false);

    s.Selected_Channel = 0;
    FillPlateSelectors();
    if (combogrup->count() > 0) combogrup->setCurrentIndex(0);
    lstgrup->clear();
    FillGroupWellList(0);

    txt_projecto->setText(Q(ProjectCaption(s.Actual_Project_Number, s.Project_Name)));
    if (!RunStartStep(2)) return;

    s.Acq_State = 0;
    CmdPause->setEnabled(false);
    Picreal->Cls();
    Picreal->Scale(0, 2100, s.RT_Buffer + 20, 0);
    Zoom_Level = 0;
    ClearRealtimePlot();

    s.Load_Step = 7;
    Picact->Cls();
    Picact->Scale(-30, 300, 300, -30);
    engine_->state.Plot_Scale = 1.0;
    DrawActivityAxes();
    picturetime->Scale(0, 0, 100, 100);

    engine_->state.Run_Ticks = 0;
    engine_->state.Interval_Step = 0;
    if (!RunStartStep(3)) return;

    s.Load_Step = 8;
    if (!RunStartStep(4)) return;

    Plot_Kind = 0;
    init.setEnabled(true);

    s.Load_Step = 9;
    if (ctl.Auto_Run) {
      Timerinicio.start();
      Start_Step = 5;
    }
  } catch (const std::exception&) {
    LoadFailed();
  }
}

void Frm_Main::Form_Activate() {
  auto& s = storage::Shared();
  try {
    // Only a stopped window is refreshed: a paused run keeps its bin and totals.
    if (s.Acq_State == 0) {
      txt_projecto->setText(Q(ProjectCaption(s.Actual_Project_Number, s.Project_Name)));
      txt_acqlapse->setText(QString::number(s.Aq_lapse));
      txt_wellformat->setText(Q(s.Plate_format));
      MakeRunBuffers(true);
      engine_->flags.State_Send_Pending = false;
      // Filling the selectors draws the wells view: the wells must be the group's now.
      RefreshGroupWells();
      FillPlateSelectors();
    }
    Txt_description->setReadOnly(false);
    // Body-bends mode works on the "w96u" plate only, and only through this box.
    if (txt_wellformat->text() == "w96u") {
      chk_bodybends->setEnabled(true);
      chk_bodybends->show();
    } else {
      chk_bodybends->setEnabled(false);
      ui::SetCheckValue(*chk_bodybends, 0);
      chk_bodybends->hide();
    }
  } catch (const std::exception&) {
    platform::GetDialogs().MsgBox("Error loading parameters");
  }
}

void Frm_Main::EndProgramNow(int exit_code) {
  ended_ = true;
  Timerinicio.stop();
  Timeradq.stop();
  ui::EndProgram(exit_code);
}

}  // namespace mainwindow
