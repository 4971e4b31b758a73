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
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "platform/clock.h"
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
#include "storage/setup_file.h"

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

// Connecting shows its progress frame only while it talks to the instrument: the
// window is grabbed from inside the call, when it lets events run.
Shots Connecting(Program& p) {
  Frm_Main& w = p.MainOpen();
  QImage during;
  QTimer::singleShot(0, &w, [&] {
    if (w.frm_autotext->isVisible()) during = w.grab().toImage();
  });
  p.Connected();
  if (during.isNull()) throw std::runtime_error("connecting showed no progress");
  return {{"", &w, during}};
}

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

// The light frame's pulse settings, opened with "Cycle/Pulse" (closed by the next state).
Shots RunPulse(Program& p) {
  Frm_Main& w = p.Running();
  if (w.frm_pulse->isHidden()) w.cmd_cyclepulse_Click();
  return Main(w);
}

Shots Paused(Program& p) {
  Frm_Main& w = p.Running();
  if (!w.frm_pulse->isHidden()) w.cmd_cyclepulse_Click();
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

// "< Back" to the start window, then "Run Latest Project": the main window again.
Shots BackAndRunLatest(Program& p) {
  Frm_Main& w = p.Ended();
  ui::Default<reports::frm_report>().hide();
  w.Cmdoffline_Click();
  Program::Settle();
  ui::Default<mainwindow::Frm_Init>().cmd_option2_Click();
  Program::Settle();
  return Main(w);
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

// A re-analysis that holds still a third of the way through, so the picture does not
// depend on the machine's speed; STOP ends it.
class HeldReanalysis final : public reports::ReanalysisJob {
 public:
  size_t BlocksDone() const override { return 1920; }
  size_t BlockCount() const override { return 5760; }
  bool Analysed() const override { return stopped_; }
  void Stop() override { stopped_ = true; }
  reports::ToolOutcome Finish() override { return reports::ToolOutcome::kStopped; }

 private:
  bool stopped_ = false;
};

class HeldTools final : public reports::RawDataTools {
 public:
  std::unique_ptr<reports::ReanalysisJob> StartReanalysis(reports::ReanalysisRequest&,
                                                          reports::ReportChoices&) override {
    return std::make_unique<HeldReanalysis>();
  }
  reports::ToolOutcome ExportCircadian(reports::CircadianRequest&) override {
    return reports::ToolOutcome::kStopped;
  }
};

// RUN pressed with "Replace old data": the label follows the blocks, only STOP works.
Shots ReportReanalysing(Program& p) {
  ReportRawFrame(p);
  auto& report = ui::Default<reports::frm_report>();
  HeldTools tools;
  reports::SetRawDataTools(&tools);
  report.Chk_replacedata->setChecked(true);
  report.cmd_runframe_Click();
  reports::SetRawDataTools(nullptr);
  report.Timerreanalysis_Timer();
  return {{"", &report}};
}

Shots ReportCancelled(Program& p) {
  p.Ended();
  auto& report = ui::Default<reports::frm_report>();
  // A re-analysis left running by the state before is stopped first.
  if (report.ReanalysisRunning()) {
    report.cmd_stopframe_Click();
    report.Timerreanalysis_Timer();
  }
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

// SET against an instrument that never confirms register 203: the window as it
// repaints in the first pause between the writes (SET disabled), kept in a picture.
Shots FactoryBusy(Program& p) {
  SensorOneDegreeLow(p);
  p.Ended().mn_factory_Click();
  auto& factory = ui::Default<service::Frm_Factory>();
  p.sim().SetIntercept([](const std::array<uint8_t, 5>& frame, std::string& reply) {
    if (frame[1] != 0x80 || frame[2] != 203) return false;
    reply = std::string(2, '\0');
    return true;
  });
  QImage during;
  QTimer::singleShot(0, &factory, [&] { during = factory.grab().toImage(); });
  factory.txt_set_temp->setText("25.0");
  factory.Cmd_temp_Click();
  p.sim().SetIntercept({});
  if (during.isNull()) throw std::runtime_error("SET let no repaint happen");
  return {{"", &factory, during}};
}

// The instrument no longer answers the temperature readings.
Shots FactorySilent(Program& p) {
  p.Ended().mn_factory_Click();
  auto& factory = ui::Default<service::Frm_Factory>();
  p.sim().SetFault(sim::Fault::kSilence, 1);
  factory.Timer_temp_Timer();
  return {{"", &factory}};
}

// The device test half-way through its columns, on an instrument with a dark beam
// (C6) and one stuck bright (I13); the timer is driven here, one step a call.
Shots DeviceTest(Program& p) {
  Frm_Main& w = p.Ended();
  if (ui::IsLoaded<service::Frm_Factory>()) ui::Unload<service::Frm_Factory>();
  // The simulator as scripts/start.sh starts it: it serves the test's blocks after a run.
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
  QImage all_on;  // the all-on verdict, which the dark beam makes a "CHECK!"
  while (w.Timer_test.isActive() && w.device_test().Test_Step() < 45) {
    w.Timer_test.stop();
    w.Timer_test_Timer();
    if (w.device_test().Test_Step() == 21) {
      Program::Settle();
      all_on = w.grab().toImage();
    }
  }
  w.Timer_test.stop();
  Program::Settle();
  return {{"", &w}, {"all-on", &w, all_on}};
}

Shots ChannelCalibration(Program& p) {
  p.Ended();
  p.answers().Queue("Enter Password", "Fenix8306");
  ui::Default<Frm_Main>().mn_technical_Click();
  return {{"", &ui::Default<service::Frm_Tech_cal>()}};
}

// The live view on the compact instrument model, with E3 (channel 36) picked on the
// map and zoomed once; the window's step timer is driven here, one read every second
// call (the scan dots are lit in a step of their own).
Shots ChannelCalibrationLive(Program& p) {
  p.Ended();
  p.sim().SetReplyMode(sim::ReplyMode::kGroup);
  p.sim().WithModel([](sim::InstrumentModel& m) { m.SetCompact(true); });
  p.answers().Queue("Enter Password", "Fenix8306");
  ui::Default<Frm_Main>().mn_technical_Click();
  auto& w = ui::Default<service::Frm_Tech_cal>();
  auto steps = [&w](int n) {
    for (int i = 0; i < n; ++i) {
      w.step_timer.stop();
      w.Step_Timer();
    }
    w.step_timer.stop();
  };
  w.Cmd_online_Click();
  steps(80);
  w.Picwell_MouseMove(0, 0, 250, 450);
  w.Picwell_MouseDown(1, 0, 250, 450);
  steps(300);
  w.Command10_Click();
  p.sim().WithModel([](sim::InstrumentModel& m) { m.SetCompact(false); });
  p.sim().SetReplyMode(sim::ReplyMode::kAuto);
  return {{"", &w}};
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
  if (std::filesystem::exists(run / "counts.bin")) return run;  // made by an earlier state
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

// The run the program recorded itself: the project's earliest run folder (the states
// before may have loaded runs they made beside it).
std::filesystem::path RecordedRun(const offline::Frm_offline& w) {
  std::filesystem::path first;
  for (const auto& e : std::filesystem::directory_iterator(w.Run().Chosen_Run_Path.parent_path())) {
    const std::string name = e.path().filename().string();
    if (e.is_directory() && !name.empty() && std::isdigit(static_cast<unsigned char>(name[0])) &&
        (first.empty() || name < first.filename().string()))
      first = e.path();
  }
  return first;
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

// The list's pop-up menu over the recorded run's line, beside the window.
Shots OfflineListMenu(Program& p) {
  offline::Frm_offline& w = OfflineRun(p);
  LoadListedRun(w, RecordedRun(w));
  w.Listpj->setCurrentRow(w.LineOfFolder(w.Run().Chosen_Run_Path),
                          QItemSelectionModel::ClearAndSelect);
  w.Listpj_MouseDown(2);
  Program::Settle();
  return {{"", &w}, {"menu", w.mnrename}};
}

// The group editor of the recorded run: four-row blocks applied, a left drag held
// from B2 to D5 with its rectangle.
Shots OfflineGroupEditor(Program& p) {
  offline::Frm_offline& w = OfflineRun(p);
  LoadListedRun(w, RecordedRun(w));
  w.mnrename->hide();
  w.Listpj->setCurrentRow(w.LineOfFolder(w.Run().Chosen_Run_Path),
                          QItemSelectionModel::ClearAndSelect);
  w.lst_plateconfig_Click();
  w.cmd_goset_Click();
  w.combogrup2->setCurrentRow(3);
  const double pitch = 100 * w.Run().Run_Col_Pitch, row_pitch = 100 * w.Run().Run_Row_Pitch;
  const double x0 = 100 * w.Run().Run_Col_Offset, y0 = 100 * w.Run().Run_Row_Offset;
  w.Picreal_MouseMove(0, 0, x0 + 1.5 * pitch, y0 + 1.5 * row_pitch);
  w.Picreal_MouseDown(1, 0, x0 + 1.5 * pitch, y0 + 1.5 * row_pitch);
  w.Picreal_MouseMove(1, 0, x0 + 4.5 * pitch, y0 + 3.5 * row_pitch);
  return {{"", &w}};
}

// ---- The raw views ----

// A copy of the recorded run (its settings and groups, counts.bin of `bins` records)
// holding `bins` bins of raw levels: level(bin, channel, row).
std::filesystem::path MakeRawRun(const std::filesystem::path& recorded, const std::string& stamp,
                                 int bins,
                                 const std::function<int16_t(int, int, int)>& level) {
  const std::filesystem::path run = MakeLongRun(recorded, stamp, bins, 3);
  std::vector<int16_t> rec(size_t{501} * storage::kChannelSlots);
  for (int bin = 0; bin < bins; ++bin) {
    for (int s = 0; s <= 500; ++s)
      for (int c = 0; c < storage::kChannelSlots; ++c)
        rec[size_t(s) * storage::kChannelSlots + size_t(c)] = level(bin, c, s);
    std::ofstream out(run / storage::RawFileName(bin / storage::kRecordsPerFile),
                      std::ios::binary | std::ios::app);
    const std::string bytes = storage::EncodeRawBlock(rec.data(), 500);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  return run;
}

// 60 bins of the simulated instrument's own levels (a fresh instrument: the states
// before may have switched the simulator's beams), sampled every 30 ms as a run polls
// them (the even channels), and the browser's channel view on the well whose animals
// are the busiest.
offline::Frm_offline& SignalView(Program& p) {
  offline::Frm_offline& w = OfflineRun(p);
  const std::filesystem::path run = w.Run().Chosen_Run_Path.parent_path() / "20260108_0900";
  const sim::InstrumentModel m;
  int busiest = 0, most = -1;
  for (int ch = 0; ch < 384; ch += 2)
    if (m.ActivityPerMille(ch) > most && w.Run().Run_Channel_Well[size_t(ch)] >= 0) {
      most = m.ActivityPerMille(ch);
      busiest = ch;
    }
  if (!std::filesystem::exists(run)) {
    MakeRawRun(w.Run().Chosen_Run_Path, run.filename().string(), 60, [&](int bin, int c, int s) {
      return static_cast<int16_t>(c < 384 && c % 2 == 0 ? m.Level(c, (int64_t{bin} * 500 + s) * 30)
                                                       : 0);
    });
  }
  LoadListedRun(w, run);
  const int well = w.Run().Run_Channel_Well[size_t(busiest)];
  const int rows = std::max<int>(w.Run().Run_Plate_Rows, 1);
  w.Combofila->setCurrentIndex(well % rows);
  w.Combocol->setCurrentIndex(well / rows);
  w.cmdchannels_Click();
  Program::Settle();
  return w;
}

Shots OfflineSignal(Program& p) { return {{"", &SignalView(p)}}; }

Shots OfflineAnalysis(Program& p) {
  offline::Frm_offline& w = SignalView(p);
  w.frmtxt_threshold->setText("2.5");
  w.cmb_modeanalisis->setCurrentIndex(1);
  w.Cmd_analyze_Click();
  Program::Settle();
  return {{"", &w}};
}

// A Zebrafish run on the 6-well plate (32 beams a well), each well its own group, an
// animal's shadow wandering through each well, loaded in the browser.
offline::Frm_offline& SixWellRun(Program& p) {
  offline::Frm_offline& w = OfflineRun(p);
  const std::filesystem::path recorded = w.Run().Chosen_Run_Path;
  const std::filesystem::path run = recorded.parent_path() / "20260109_1000";
  if (std::filesystem::exists(run)) {
    LoadListedRun(w, run);
    return w;
  }
  std::filesystem::create_directories(run);
  for (const char* file : {"status.dat", "threshld.dat"})
    std::filesystem::copy_file(recorded / file, run / file,
                               std::filesystem::copy_options::overwrite_existing);
  {
    auto& s = storage::Shared();
    const storage::SharedState saved = s;
    s.Plate_format = "w6";
    s.MnAt(1, 0) = 1;
    std::ofstream(run / "setup.dat", std::ios::binary) << storage::SetupFileBytes();
    s = saved;
  }
  std::string groups = "\"<Group_Number>, <Group_Name>\"\r\n";
  const char* names[] = {"Control", "Drug 1uM", "Drug 10uM", "Control", "Drug 1uM", "Drug 10uM"};
  for (int g = 0; g < 384; ++g)
    groups += std::to_string(g) + ",\"" + (g < 6 ? names[g] : "Free") + "\"\r\n";
  std::ofstream(run / "groups.dat", std::ios::binary) << groups;
  // Well (column c, row r) covers grid columns 8c..8c+7 and rows 8r..8r+7.
  std::string chgroup = "\"<Channel>, <Group: -1=Free>\"\r\n";
  for (int ch = 0; ch < 384; ++ch)
    chgroup += std::to_string(ch) + "," + std::to_string((ch / 16 / 8) * 2 + (ch % 16) / 8) + "\r\n";
  std::ofstream(run / "chgroup.dat", std::ios::binary) << chgroup;
  constexpr int kBins = 50;  // a whole page for the channel view
  std::vector<storage::CountsRecord> records(kBins);
  for (int t = 0; t < kBins; ++t) records[size_t(t)].Elapsed_Minutes = t / 2;
  storage::WriteCountsFile(run / "counts.bin", records);
  // The shadow of well w at sample t: a slow loop through the well, its own pace.
  const auto shadow = [](int well, int t, double& x, double& y) {
    const double a = t / (260.0 + 40 * well) + well;
    x = 3.5 + 2.6 * std::cos(a) + 0.8 * std::sin(3.1 * a);
    y = 3.5 + 2.4 * std::sin(1.3 * a);
  };
  std::vector<int16_t> rec(size_t{501} * storage::kChannelSlots);
  for (int bin = 0; bin < kBins; ++bin) {
    for (int s = 0; s <= 500; ++s) {
      for (int c = 0; c < storage::kChannelSlots; ++c) {
        int v = 2000 + (s * 7 + c * 3) % 17;
        const int gc = c / 16, gr = c % 16;
        if (c < 384 && gr % 2 == 0) {
          double x = 0, y = 0;
          shadow((gc / 8) * 2 + gr / 8, bin * 500 + s, x, y);
          if (std::hypot(gc % 8 - x, gr % 8 - y) < 1.2) v -= 500;
        }
        rec[size_t(s) * storage::kChannelSlots + size_t(c)] = static_cast<int16_t>(v);
      }
    }
    std::ofstream out(run / storage::RawFileName(bin / storage::kRecordsPerFile),
                      std::ios::binary | std::ios::app);
    const std::string bytes = storage::EncodeRawBlock(rec.data(), 500);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  LoadListedRun(w, run);
  return w;
}

// That run's well A1 in the channel view, re-analysed: 32 rows of counts and keys.
Shots OfflineAnalysisSixWells(Program& p) {
  offline::Frm_offline& w = SixWellRun(p);
  w.Combofila->setCurrentIndex(0);
  w.Combocol->setCurrentIndex(0);
  w.cmdchannels_Click();
  w.frmtxt_threshold->setText("2.5");
  w.cmb_modeanalisis->setCurrentIndex(1);
  w.Cmd_analyze_Click();
  Program::Settle();
  return {{"", &w}};
}

// Tracking of that run played back for three blocks.
Shots OfflineTracking(Program& p) {
  offline::Frm_offline& w = SixWellRun(p);
  w.cmd_track_Click();
  w.cmd_track_Click();
  w.Timer_play.stop();
  for (int i = 0; i < 3 * 500 && w.Tracker() && !w.Tracker()->Finished(); ++i)
    w.Timer_play_Timer();
  w.Timer_play.stop();
  Program::Settle();
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

// An unattended connection (the automatic restart's) while the instrument does not
// answer: the wait before it searches again. The instrument answers again afterwards.
Shots Searching(Program& p) {
  Frm_Main& w = p.Ended();
  w.Cmd_disconnect_Click();
  p.sim().SetFault(sim::Fault::kSilence);
  w.engine().controls.Auto_Run = true;
  QImage waiting;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!waiting.isNull() || !w.lbl_autochannel->text().contains("searching again")) return;
    waiting = w.grab().toImage();
    p.sim().SetFault(sim::Fault::kNone);
  });
  probe.start(0);
  w.cmd_connect_Click();
  probe.stop();
  // No unattended run after it.
  w.Timerinicio.stop();
  w.engine().controls.Auto_Run = false;
  if (waiting.isNull()) throw std::runtime_error("the search showed no wait");
  return {{"", &w, waiting}};
}

// An unattended start in the minute of a run that recorded: it waits for the next
// minute's folder, saying so, until Stop ends the wait.
Shots NextMinute(Program& p) {
  Frm_Main& w = p.Ended();
  if (!storage::Shared().Connected) w.cmd_connect_Click();  // after main-searching
  // A run of this minute that recorded, the minute just begun.
  p.Advance(int64_t(60 - platform::Now().second) * 1000);
  const platform::WallTime t = platform::Now();
  char name[32];
  std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute);
  const std::filesystem::path folder = std::filesystem::path(storage::Shared().Project_Path) / name;
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "counts.bin", std::ios::binary) << std::string(774, '\0');
  w.engine().controls.Auto_Run = true;
  QImage waiting;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!waiting.isNull() || !w.lbl_autotext->text().contains("NEXT MINUTE")) return;
    waiting = w.grab().toImage();
    w.CmdStop_Click();
  });
  probe.start(0);
  w.CmdPlay_Click();
  probe.stop();
  w.engine().controls.Auto_Run = false;
  if (waiting.isNull()) throw std::runtime_error("the start showed no wait");
  return {{"", &w, waiting}};
}

}  // namespace

const std::vector<State>& States() {
  static const std::vector<State> kStates = {
      {"start", "the start window after start-up", StartWindow},
      {"main-before-connect", "the main window opened, not yet connected", BeforeConnecting},
      {"main-connecting", "the main window connecting to the instrument", Connecting},
      {"run-wells", "a run two bins in: the wells of the first group", RunWells},
      {"run-bars", "the run: one bar per group", RunBars},
      {"run-grid", "the run: the plate grid", RunGrid},
      {"run-histogram", "the run: the body-bends histogram of group 0", RunHistogram},
      {"run-pulse", "the run: the light frame's pulse settings", RunPulse},
      {"paused", "the run paused with its time counter stopped", Paused},
      {"end", "the run ended at its lapse: main window and report window", Ended},
      {"back-run-latest", "the main window after < Back and Run Latest Project", BackAndRunLatest},
      {"report-raw", "the report window with its raw data frame open", ReportRawFrame},
      {"report-reanalysing", "the report window while a re-analysis runs: progress, STOP",
       ReportReanalysing},
      {"report-cancelled", "the report window shown again after Cancel", ReportCancelled},
      {"about", "the About window", About},
      {"report-settings", "the report settings dialog", ReportSettings},
      {"factory", "the factory window showing the temperature", FactoryWindow},
      {"factory-set", "the factory window after SET with 25.0", FactorySet},
      {"factory-busy", "the factory window while SET writes, one register unconfirmed",
       FactoryBusy},
      {"factory-silent", "the factory window when the instrument does not answer",
       FactorySilent},
      {"device-test", "the device test at its columns, a dark and a stuck beam", DeviceTest},
      {"channel-calibration", "the channel-calibration window, its live view stopped",
       ChannelCalibration},
      {"channel-calibration-live", "channel calibration: the live view, E3 picked on the map",
       ChannelCalibrationLive},
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
      {"offline-signal", "offline: the raw signal of the busiest well, page 1 of 2",
       OfflineSignal},
      {"offline-analysis", "offline: that page re-analysed (threshold 2.5, mode 1)",
       OfflineAnalysis},
      {"offline-analysis-w6", "offline: a 6-well run's well A1 (32 beams) re-analysed",
       OfflineAnalysisSixWells},
      {"offline-tracking", "offline: a 6-well run's tracks after three blocks of playback",
       OfflineTracking},
      {"offline-list-menu", "offline: the list's pop-up menu on a run", OfflineListMenu},
      {"offline-group-editor", "offline: the run's group editor, a drag held", OfflineGroupEditor},
      {"end-lost-bins", "a run whose bins could not be recorded, reported by itself", EndLostBins},
      {"main-searching", "an unattended connection waiting to search for the instrument again",
       Searching},
      {"main-next-minute", "an unattended start waiting for the next minute's run folder",
       NextMinute},
  };
  return kStates;
}

}  // namespace screens
