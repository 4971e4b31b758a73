// The states quenlar-screens draws, in order.
//
// Adding a window or a state is one function and one line of the table below: the
// function puts the program into the state (through the Program's stages and the
// windows' own handlers, as a user would get there) and returns the windows to draw.
//
//   Shots SetupWindow(Program& p) {
//     p.Started();                                   // the stage it needs
//     ui::Default<mainwindow::Frm_Init>().cmd_option1_Click();
//     return {{"", &ui::Default<setup::Frm_setup>()}};
//   }
//   ...
//   {"setup", "the project setup window", SetupWindow},
//
// A window is drawn at the size it has on a screen of the size asked for (the main
// window maximised); files are named <number>-<state>[-<shot>].png. States run in
// table order and the program only moves forward (started, main window open,
// connected, running, ended): a state needing an earlier stage goes before the
// states that move past it. Run `quenlar-screens --list` for the table.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "storage/run_files.h"
#include "mainwindow/frm_about.h"
#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "offline/forms/frm_offline.h"
#include "reports/forms/frm_report.h"
#include "reports/forms/frm_reportset.h"
#include "screens.h"
#include "service/forms/frm_factory.h"
#include "service/forms/frm_tech_cal.h"
#include "setup/forms/frm_setup.h"
#include "storage/shared_state.h"

namespace screens {
namespace {

using mainwindow::Frm_Main;

Shots Main(Frm_Main& w) { return {{"", &w}}; }

// ---- Before a run ----

Shots StartWindow(Program& p) {
  p.Started();
  return {{"", &ui::Default<mainwindow::Frm_Init>()}};
}

Shots BeforeConnecting(Program& p) { return Main(p.MainOpen()); }

Shots Connected(Program& p) { return Main(p.Connected()); }

// ---- During a run, one state per view; each view gets a bin of its own ----

Shots RunWells(Program& p) { return Main(p.Running()); }

Shots RunBars(Program& p) {
  Frm_Main& w = p.Running();
  w.Cmd_barplot_Click();
  p.Ticks(500);
  return Main(w);
}

Shots RunGrid(Program& p) {
  Frm_Main& w = p.Running();
  w.Cmd_gridplot_Click();
  p.Ticks(500);
  return Main(w);
}

Shots RunHistogram(Program& p) {
  Frm_Main& w = p.Running();
  w.Cmd_histoplot_Click();
  p.Ticks(500);
  return Main(w);
}

Shots Paused(Program& p) {
  Frm_Main& w = p.Running();
  p.answers().Queue("Pause Time Counter?", "yes");
  w.CmdPause_Click();
  Program::Settle();
  return Main(w);
}

// ---- The end of the run: the report window comes to the front ----

Shots Ended(Program& p) {
  Frm_Main& w = p.Ended();
  return {{"main", &w}, {"report", &ui::Default<reports::frm_report>()}};
}

// The raw data frame opens for a run with raw blocks; a first block file stands in.
Shots ReportRawFrame(Program& p) {
  p.Ended();
  auto& report = ui::Default<reports::frm_report>();
  const std::filesystem::path run(report.Txt_inputfile->text().toStdString());
  std::ofstream(run / "0.bin", std::ios::binary).put('\0');
  report.Show();
  report.mnrecalculate_Click();
  return {{"", &report}};
}

Shots ReportCancelled(Program& p) {
  p.Ended();
  auto& report = ui::Default<reports::frm_report>();
  report.Cmd_cancel_Click();
  report.Show();
  return {{"", &report}};
}

// ---- The other windows as they are today ----

Shots About(Program& p) {
  p.Ended().mnabout_Click();
  return {{"", &ui::Default<mainwindow::Frm_About>()}};
}

Shots ReportSettings(Program& p) {
  p.Ended();
  auto& dialog = ui::Default<reports::frm_reportset>();
  dialog.Show();
  return {{"", &dialog}};
}

// The instrument's sensor reads 1 degree low until the factory record corrects it.
void SensorOneDegreeLow(Program& p) {
  p.sim().WithModel([](sim::InstrumentModel& m) { m.SetSensor(1.0, 0.219); });
}

Shots FactoryWindow(Program& p) {
  SensorOneDegreeLow(p);
  p.Ended().mn_factory_Click();
  auto& factory = ui::Default<service::Frm_Factory>();
  factory.Timer_temp_Timer();
  return {{"", &factory}};
}

Shots FactorySet(Program& p) {
  SensorOneDegreeLow(p);
  p.Ended().mn_factory_Click();
  auto& factory = ui::Default<service::Frm_Factory>();
  factory.txt_set_temp->setText("25.0");
  factory.Cmd_temp_Click();
  factory.Timer_temp_Timer();
  return {{"", &factory}};
}

// The device test half-way through its columns, on an instrument with a dark beam
// (C6) and one stuck bright (I13); the timer is driven here, one step a call.
Shots DeviceTest(Program& p) {
  Frm_Main& w = p.Ended();
  if (ui::IsLoaded<service::Frm_Factory>()) ui::Unload<service::Frm_Factory>();
  p.sim().SetReplyMode(sim::ReplyMode::kBlock);
  p.sim().WithModel([](sim::InstrumentModel& m) {
    m.SetAnimalsPresent(false);
    m.SetBeamFault(85, sim::BeamFault::kDark);
    m.SetBeamFault(200, sim::BeamFault::kStuckBright);
  });
  p.answers().Queue("Enter Password", "Fenix8306");
  w.mn_technical_Click();
  if (ui::IsLoaded<service::Frm_Tech_cal>()) ui::Default<service::Frm_Tech_cal>().hide();
  p.answers().Queue("DEVICE TEST", "yes");
  p.answers().Queue("OK to proceed?", "yes");
  w.Show();
  w.mnstatustest->trigger();
  while (w.Timer_test.isActive() && w.device_test().Test_Step() < 45) {
    w.Timer_test.stop();
    w.Timer_test_Timer();
  }
  w.Timer_test.stop();
  p.sim().SetReplyMode(sim::ReplyMode::kAuto);
  Program::Settle();
  return Main(w);
}

Shots ChannelCalibration(Program& p) {
  p.Ended();
  p.answers().Queue("Enter Password", "Fenix8306");
  ui::Default<Frm_Main>().mn_technical_Click();
  return {{"", &ui::Default<service::Frm_Tech_cal>()}};
}

Shots SetupWindow(Program& p) {
  p.Ended();
  auto& init = ui::Default<mainwindow::Frm_Init>();
  init.Show();
  init.cmd_option1_Click();
  return {{"", &ui::Default<setup::Frm_setup>()}};
}

Shots SetupProjectList(Program& p) {
  auto& setup = ui::Default<setup::Frm_setup>();
  SetupWindow(p);
  setup.cmdLoad->click();
  return {{"", &setup}};
}

Shots SetupAdvanced(Program& p) {
  auto& setup = ui::Default<setup::Frm_setup>();
  SetupWindow(p);
  setup.Cmd_cancel->click();
  setup.mn_advanced->trigger();
  return {{"", &setup}};
}

// ---- The setup window's group editor (the window stays loaded from "setup") ----

setup::Frm_setup& GroupEditor(Program& p) {
  SetupWindow(p);
  return ui::Default<setup::Frm_setup>();
}

// A left drag from B2 held over D5: the bars mark rows B-D and columns 2-5.
Shots SetupDrag(Program& p) {
  setup::Frm_setup& w = GroupEditor(p);
  const auto centre = [](int cell, double offset) { return cell * 200 + offset * 100 + 100; };
  w.Picwell_MouseMove(0, 0, centre(1, -0.5), centre(1, -0.5));
  w.Picwell_MouseDown(1, 0, centre(1, -0.5), centre(1, -0.5));
  w.Picwell_MouseMove(1, 0, centre(4, -0.5), centre(3, -0.5));
  return {{"", &w}};
}

// The set of blocks two rows by three columns, chosen from the "AUTO-ARRANGE" menu.
Shots SetupGroupSet(Program& p) {
  setup::Frm_setup& w = GroupEditor(p);
  w.Picwell_MouseUp(1, 0, 300, 300);
  const int index = w.Combo_sets->findText("02x03 [RowsxColumn]");
  if (index >= 0) w.mnopciongrup_Click(index);
  return {{"", &w}};
}

// The annotation panel, strain per group, a few groups described.
Shots SetupAnnotations(Program& p) {
  setup::Frm_setup& w = GroupEditor(p);
  w.chk_advance->setChecked(true);
  w.Chk_global_strain->setChecked(false);
  w.txt_compound[0]->setText("DMSO");
  w.txt_conc[0]->setText("1%");
  w.txt_compound[1]->setText("Ivermectin");
  w.txt_conc[1]->setText("10uM");
  w.txt_strain[1]->setText("CB4856");
  w.adv_group[1]->setChecked(true);
  return {{"", &w}};
}

Shots OfflineBrowser(Program& p) {
  p.Ended();
  auto& init = ui::Default<mainwindow::Frm_Init>();
  init.Show();
  init.cmd_option3_Click();
  return {{"", &ui::Default<offline::Frm_offline>()}};
}

// ---- The offline browser on the recorded run ----

// The browser with the run's project expanded and the run loaded by a double click.
offline::Frm_offline& OfflineRun(Program& p) {
  OfflineBrowser(p);
  auto& w = ui::Default<offline::Frm_offline>();
  if (!w.RunLoaded()) {
    w.Listpj->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
    w.Listpj_DblClick();
    w.Listpj->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
    w.Listpj_DblClick();
  }
  Program::Settle();
  return w;
}

Shots OfflineBars(Program& p) { return {{"", &OfflineRun(p)}}; }

// A run of `minutes` one-minute records beside the recorded one (its settings and
// groups), each group's channels swinging on a day-long wave scaled by `scale`.
std::filesystem::path MakeLongRun(const std::filesystem::path& recorded, const std::string& stamp,
                                  int minutes, double scale) {
  const std::filesystem::path run = recorded.parent_path() / stamp;
  std::filesystem::create_directories(run);
  for (const char* file : {"setup.dat", "groups.dat", "chgroup.dat", "status.dat", "threshld.dat"})
    std::filesystem::copy_file(recorded / file, run / file,
                               std::filesystem::copy_options::overwrite_existing);
  std::vector<storage::CountsRecord> records(static_cast<size_t>(minutes));
  for (int t = 0; t < minutes; ++t) {
    records[static_cast<size_t>(t)].Elapsed_Minutes = t;
    for (int ch = 0; ch < 384; ++ch) {
      const double wave = 1 + std::sin(t / 240.0 + (ch / 16) * 0.5);
      records[static_cast<size_t>(t)].Counts[static_cast<size_t>(ch)] =
          static_cast<int16_t>(scale * (1 + wave));
    }
  }
  storage::WriteCountsFile(run / "counts.bin", records);
  return run;
}

// Loads a run through its list line.
void LoadListedRun(offline::Frm_offline& w, const std::filesystem::path& run) {
  w.RefreshProjectList();
  w.Listpj->setCurrentRow(w.LineOfFolder(run), QItemSelectionModel::ClearAndSelect);
  w.Listpj_DblClick();
  Program::Settle();
}

// An eight-hour run's plate grid.
Shots OfflineGrid(Program& p) {
  offline::Frm_offline& w = OfflineRun(p);
  LoadListedRun(w, MakeLongRun(w.Run().Chosen_Run_Path, "20260104_0800", 480, 10));
  w.Cmd_gridplot_Click();
  return {{"", &w}};
}

// An eight-hour run in the browser's line plot.
Shots OfflineLines(Program& p) {
  offline::Frm_offline& w = OfflineRun(p);
  LoadListedRun(w, MakeLongRun(w.Run().Chosen_Run_Path, "20260104_0800", 480, 10));
  w.Cmd_lineplot_Click();
  return {{"", &w}};
}

// Three runs on three days tagged [K1], more activity on the second; their kinetics.
Shots OfflineKinetics(Program& p) {
  offline::Frm_offline& w = OfflineRun(p);
  const std::filesystem::path recorded = w.Run().Chosen_Run_Path;
  std::string tags;
  std::filesystem::path first;
  const std::vector<std::pair<std::string, double>> runs = {
      {"20260105_0900", 10}, {"20260106_1000", 18}, {"20260107_0930", 12}};
  for (const auto& [stamp, scale] : runs) {
    const std::filesystem::path run = MakeLongRun(recorded, stamp, 120, scale);
    if (first.empty()) first = run;
    tags += stamp + " [K1]\r\n";
  }
  std::ofstream(recorded.parent_path() / "tags_id.dat", std::ios::binary) << tags;
  LoadListedRun(w, first);
  w.List_tags->setCurrentRow(0);
  w.List_tags_DblClick();
  return {{"", &w}};
}

// A second run, reported by itself, whose run folder went away: no bin is recorded.
Shots EndLostBins(Program& p) {
  Frm_Main& w = p.Ended();
  w.mn_userbin->setChecked(true);
  p.Advance(60 * 1000);
  p.answers().Queue("", "Screens lost");
  w.CmdPlay_Click();
  w.Timeradq.stop();
  std::filesystem::remove_all(std::filesystem::path(storage::Shared().Project_Path) /
                              w.engine().state.Run_Folder);
  p.Advance(int64_t(storage::Shared().Aq_lapse) * 60 * 1000);
  p.Ticks(600);
  return Main(w);
}

}  // namespace

const std::vector<State>& States() {
  static const std::vector<State> kStates = {
      {"start", "the start window after start-up", StartWindow},
      {"main-before-connect", "the main window opened, not yet connected", BeforeConnecting},
      {"main-connected", "the main window connected to the instrument", Connected},
      {"run-wells", "a run two bins in: the wells of the first group", RunWells},
      {"run-bars", "the run: one bar per group", RunBars},
      {"run-grid", "the run: the plate grid", RunGrid},
      {"run-histogram", "the run: the body-bends histogram of group 0", RunHistogram},
      {"paused", "the run paused with its time counter stopped", Paused},
      {"end", "the run ended at its lapse: main window and report window", Ended},
      {"report-raw", "the report window with its raw data frame open", ReportRawFrame},
      {"report-cancelled", "the report window shown again after Cancel", ReportCancelled},
      {"about", "the About window", About},
      {"report-settings", "the report settings dialog", ReportSettings},
      {"factory", "the factory window showing the temperature", FactoryWindow},
      {"factory-set", "the factory window after SET with 25.0", FactorySet},
      {"device-test", "the device test at its columns, a dark and a stuck beam", DeviceTest},
      {"channel-calibration", "the technical channel-calibration window", ChannelCalibration},
      {"setup", "the project setup window", SetupWindow},
      {"setup-projects", "the setup window listing the projects to load", SetupProjectList},
      {"setup-advanced", "the setup window with its advanced options", SetupAdvanced},
      {"setup-drag", "setup: a left drag held over the plate, its bars and well name", SetupDrag},
      {"setup-group-set", "setup: the 02x03 group set applied", SetupGroupSet},
      {"setup-annotations", "setup: the annotation panel, strain per group", SetupAnnotations},
      {"offline", "the offline browser", OfflineBrowser},
      {"offline-bars", "offline: the recorded run loaded, its group bars", OfflineBars},
      {"offline-grid", "offline: an eight-hour run's plate grid", OfflineGrid},
      {"offline-lines", "offline: an eight-hour run's group lines over time", OfflineLines},
      {"offline-kinetics", "offline: kinetics of three runs tagged [K1]", OfflineKinetics},
      {"end-lost-bins", "a run whose bins could not be recorded, reported by itself", EndLostBins},
  };
  return kStates;
}

}  // namespace screens
