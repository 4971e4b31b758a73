#pragma once
// The main window: program start-up, the run's buttons and panels, the menus, the
// option controls, window switching and program exit. It owns the run engine and
// drives it from its 30 ms timer; the plots draw from the engine's buffers.
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/auto_zero.h"
#include "acquisition/calibration.h"
#include "acquisition/connection.h"
#include "acquisition/run_engine.h"
#include "acquisition/run_view.h"
#include "acquisition/validators.h"
#include "platform/waiting.h"
#include "service/device_test.h"
#include "ui/caption_label.h"
#include "ui/form.h"
#include "ui/picture_box.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;

namespace ui {
class ClickLabel;
class ShapeBox;
}  // namespace ui

namespace mainwindow {

class Frm_Main : public ui::Form,
                 public acquisition::RunView,
                 public acquisition::ConnectionView,
                 public acquisition::CalibrationView {
  Q_OBJECT

 public:
  Frm_Main();
  ~Frm_Main() override;

  // ---- Start-up and activation ----
  void Form_Load() override;
  void Form_Activate() override;
  // Closing the window and "Exit": the save question, the port closed, the end.
  void Form_Unload() override;
  void Form_Resize() override;
  void Timerinicio_Timer();
  // The process's command line, blanks trimmed by the load (set before the first use).
  static void SetCommandLine(const std::string& command_line);

  // ---- Layout ----
  void LayoutMainWindow();

  // ---- Option controls ----
  void chk_bodybends_Click();
  void Chk_lenabled_Click();
  void Chk_tenabled_Click();
  void Cmb_organism_Click();
  void UpdateThresholdControls();

  // ---- Menus and toggles ----
  void mncom1_Click(int index);
  void mn_userbin_Click();
  void mn_factory_Click();
  void lght_ctl_Click();
  void temp_ctl_Click();
  void mn_technical_Click();
  void mnexit_Click();
  void mncontent_Click();
  void mnabout_Click();
  void lbl_umbral_Click();
  void mnZero_Click();
  // Ticks COM menu item `port` only (none for a port outside 1..15).
  void CheckComMenu(int port) override;

  // ---- Device test (frm_main_devtest.cpp) ----
  void mnstatustest_Click();
  void Timer_test_Timer();
  void DrawTestPlateGrid();
  void DrawTestChannelLevels();
  // Ends a running device test (a run is starting); the channels get gain/power 2 back.
  void StopDeviceTest();
  service::DeviceTest& device_test() { return *device_test_; }

  // ---- Window switching ----
  void Cmdoffline_Click();
  void Cmdsetup_Click();
  void Cmdreport_Click();

  // ---- Connection and run ----
  void cmd_connect_Click();
  void Cmd_disconnect_Click();
  void CmdPlay_Click();
  void CmdPause_Click();
  void CmdStop_Click();
  void Timeradq_Timer();
  // Ends the run for a program end: outputs off, files closed, port closed.
  void ShutdownRun();

  // ---- Temperature and light panel ----
  void SendTempLightState();
  void cmd_ontemp_Click();
  void cmd_frio_Click();
  void cmd_luz_Click();
  void Cmd_settemp_Click();
  void cmd_cyclepulse_Click();
  void cmd_nextwindows1_Click();
  void cmd_nextwindows2_Click();

  // ---- Plots and selectors (drawn by the plot code) ----
  void FillPlateSelectors();
  void FillGroupWellList(int16_t group);
  void lstgrup_DblClick();
  // Enter (character code 13) in the well list acts as a double-click.
  void lstgrup_KeyPress(int16_t key);
  bool eventFilter(QObject* watched, QEvent* event) override;
  void lblcanal_Change();
  // Group_Channels anew from the group table as it is now: the selected channel's group,
  // or for a free channel the group last followed. Setup may have moved wells since the
  // last draw.
  void RefreshGroupWells();
  void ClearRealtimePlot();
  void DrawActivityAxes();
  void UpdateTimePlot(int16_t station);
  void UpdateBarPlot(int16_t station);
  void UpdateGridPlot(int16_t station);
  void UpdateHistoPlot(int16_t station);
  void DrawRealtimePlot(int16_t station);
  void Dibujar_ejes_barplot();
  void Dibujar_ejes_histoplot();
  void Dibujar_ejes_gridplot();
  void Dibujar_barplot(int16_t station);
  void Dibujar_histoplot(int16_t station);
  void Dibujar_gridplot(int16_t station);
  void Cmd_barplot_Click();
  void Cmd_gridplot_Click();
  void Cmd_histoplot_Click();
  void cmd_pgup_Click();
  void cmd_pgdown_Click();
  void Cmdzoom_plus_Click();
  void Cmdzoom_minus_Click();
  void combogrup_Click();
  void Combofila_Click();
  void Combocol_Click();
  void cmdbeam_plus_Click();
  void cmdbeam_minus_Click();
  void cmd_stack_pos_Click(int index);

  // ---- Fields of the window ----
  // The run's flags, options, buffers and counters (Heat_Mode, Light_Enabled,
  // Raw_Ring, Run_Folder, ...) live in the run engine: engine().flags,
  // engine().controls and engine().state.
  acquisition::RunEngine& engine() { return *engine_; }
  int16_t Start_Step = 0;
  int16_t Start_Step_Done = 0;
  int16_t Station_Index = 0;
  int16_t Zoom_Level = 0;
  int16_t Plot_Kind = 0;
  int16_t Page = 0;
  int16_t Page_Count = 0;
  std::vector<int16_t> Group_Channels;
  int16_t Group_Channel_Count = 0;
  bool Auto_Run() const { return engine_->controls.Auto_Run; }

  // True once the program has been told to end (the load failed, quit, exit).
  bool Ended() const { return ended_; }
  // Without a screen: end the program once the unattended run is over.
  void SetExitWhenRunEnds(bool on) { exit_when_run_ends_ = on; }

  // ---- Controls ----
  QMenuBar* menu_bar = nullptr;
  QWidget* client = nullptr;  // the window's inside, below the menu bar

  QMenu* mnfile = nullptr;
  QMenu* mn_settings = nullptr;
  QMenu* mn_commports = nullptr;
  std::array<QAction*, 16> mncom1{};  // indexes 1..15
  QMenu* mn_advanced = nullptr;
  QAction* mn_userbin = nullptr;
  QAction* mn_factory = nullptr;
  QMenu* mn_more = nullptr;
  QAction* lght_ctl = nullptr;
  QAction* temp_ctl = nullptr;
  QAction* chk_zmonitor = nullptr;
  QAction* mn_technical = nullptr;
  QAction* mnstatustest = nullptr;
  QAction* mnexit = nullptr;
  QMenu* mnhelp = nullptr;
  QAction* mncontent = nullptr;
  QAction* mnabout = nullptr;

  ui::PictureBox* PicPanel1 = nullptr;
  ui::PictureBox* PicPanel2 = nullptr;
  QLabel* lbl_autostart = nullptr;

  // Left panel.
  QPushButton* Cmd_barplot = nullptr;
  QPushButton* Cmd_gridplot = nullptr;
  QPushButton* Cmd_histoplot = nullptr;
  QLabel* lbl_temperature = nullptr;
  QLabel* lbl_station = nullptr;
  ui::PictureBox* Picact = nullptr;
  QPushButton* cmd_pgup = nullptr;
  QPushButton* cmd_pgdown = nullptr;
  ui::PictureBox* Picreal = nullptr;
  ui::ShapeBox* shape_real = nullptr;
  QComboBox* combogrup = nullptr;
  QPushButton* cmdbeam_minus = nullptr;
  QLineEdit* txtbeam = nullptr;
  QPushButton* cmdbeam_plus = nullptr;
  QPushButton* Cmdzoom_minus = nullptr;
  QPushButton* Cmdzoom_plus = nullptr;
  QLineEdit* txtzoom = nullptr;
  ui::PictureBox* picturetime = nullptr;
  QLabel* Txt_time = nullptr;
  QLabel* lblcalibrando = nullptr;
  QListWidget* lst_report_export = nullptr;
  ui::ShapeBox* shape_stacks = nullptr;
  std::array<QCheckBox*, 4> chk_enabled{};
  std::array<QPushButton*, 4> cmd_stack_pos{};

  // Status panel inside the activity plot.
  QGroupBox* frm_autotext = nullptr;
  QLabel* lbl_autotext = nullptr;
  QLabel* lbl_autochannel = nullptr;
  ui::PictureBox* picturecal = nullptr;

  // Well selectors (hidden frame).
  QGroupBox* Framereal = nullptr;
  QLabel* lbl_listwells = nullptr;
  QComboBox* Combofila = nullptr;
  QComboBox* Combocol = nullptr;
  QLineEdit* txtsub = nullptr;
  QListWidget* lstgrup = nullptr;
  QLabel* Label3 = nullptr;
  ui::CaptionLabel* lblcanal = nullptr;

  // Right panel.
  QGroupBox* Frame_setup = nullptr;
  QLabel* lbl_project = nullptr;
  QLabel* txt_projecto = nullptr;
  QPushButton* Cmdsetup = nullptr;
  QLabel* Label_acqlapse = nullptr;
  QLabel* txt_acqlapse = nullptr;
  QLabel* Label_wellformat = nullptr;
  QLabel* txt_wellformat = nullptr;
  QCheckBox* chk_bodybends = nullptr;
  QLabel* txt_detection = nullptr;
  ui::ShapeBox* Shape_sq = nullptr;
  QLabel* lbl_subproject = nullptr;
  QLabel* txt_subproject = nullptr;
  QLabel* Lbl_keywords = nullptr;
  QPlainTextEdit* Txt_description = nullptr;
  QPushButton* cmd_connect = nullptr;
  QPushButton* Cmd_disconnect = nullptr;
  QLabel* lbl_torun = nullptr;
  QPushButton* CmdPlay = nullptr;
  QPushButton* CmdPause = nullptr;
  QPushButton* CmdStop = nullptr;
  QPushButton* Cmdreport = nullptr;
  QPushButton* Cmdoffline = nullptr;

  QGroupBox* Frame_temp = nullptr;
  QPushButton* cmd_nextwindows1 = nullptr;
  QPushButton* cmd_ontemp = nullptr;
  QPushButton* cmd_frio = nullptr;
  QCheckBox* Chk_tenabled = nullptr;
  ui::ShapeBox* shape_temp = nullptr;
  QPushButton* Cmd_settemp = nullptr;
  QLabel* Label_C = nullptr;
  QLineEdit* txttemp = nullptr;

  QGroupBox* Frame_light = nullptr;
  QPushButton* cmd_nextwindows2 = nullptr;
  QCheckBox* Chk_lenabled = nullptr;
  QPushButton* cmd_luz = nullptr;
  QPushButton* cmd_cyclepulse = nullptr;
  ui::ShapeBox* shape_light = nullptr;
  QGroupBox* frm_pulse = nullptr;
  QLabel* Label_lon = nullptr;
  QLabel* Label_loff = nullptr;
  QLineEdit* txt_lon = nullptr;
  QLineEdit* txt_loff = nullptr;
  QLabel* Label_lbar = nullptr;
  QLabel* Label_lh = nullptr;
  QLabel* Label_ltimes = nullptr;
  QLineEdit* txt_pulsetimes = nullptr;
  QLabel* Label_X = nullptr;
  ui::ShapeBox* Shape_white = nullptr;
  ui::ShapeBox* Shape_dark = nullptr;
  QLineEdit* txt_pulseon = nullptr;
  QLineEdit* txt_pulseoff = nullptr;
  QLabel* Label_min1 = nullptr;
  QLabel* Label_min2 = nullptr;

  // Tools frame: hidden at every layout, its controls hold values.
  QGroupBox* frame_config = nullptr;
  QLabel* Label_minutes = nullptr;
  QComboBox* combo_minutes = nullptr;
  QGroupBox* frm_mn1 = nullptr;
  QComboBox* Cmb_organism = nullptr;
  QLineEdit* txt_snr_umbral = nullptr;
  ui::ClickLabel* lbl_umbral = nullptr;
  QCheckBox* mnCalibra = nullptr;
  QCheckBox* mnZero = nullptr;
  QPushButton* cmd_calibra = nullptr;
  QPushButton* Cmd_autozero = nullptr;
  QPushButton* cmd_readblank = nullptr;

  QTimer Timerinicio;
  QTimer Timeradq;
  QTimer Timer_test;

  // ---- What the run engine asks of the window ----
  void ShowStatus(const std::string& headline) override;
  void SetStatusDetail(const std::string& detail) override;
  void HideStatus() override;
  void ShowTempLightState(bool light_on, bool heat_mode, bool temp_power) override;
  void FillLightShape(bool light_on) override;
  void SetElapsedText(const std::string& text) override;
  void DrawProgress(double percent) override;
  // The progress strip emptied.
  void ClearProgress();
  void PrepareRunStart() override;
  void ShowRunName(const std::string& name) override;
  void OpenSetup() override;
  void ResetActivityPlot() override;
  void RunStarting() override;
  void RunStarted() override;
  void RunStopped() override;
  void ProcessEvents() override;
  void OpenReport(bool auto_report) override;
  void WarmUpRefresh(int16_t station) override;
  void DrawActivityPlot(int16_t station) override;
  void DrawRealtimeTraces(int16_t station) override;
  void ShowTemperatureReading() override;
  // lbl_temperature's caption (the temperature, the device test's steps and verdicts):
  // a text longer than the label's place takes room to its left.
  void SetTemperatureCaption(const std::string& text);

  // ---- What the connection asks of the window ----
  void ShowProgressFrame() override;
  void SetHeading(const std::string& text) override;
  void SetProgress(const std::string& text) override;
  void HideProgressFrame() override;
  void SetStartWindowStatus(const std::string& text) override;
  void ShowStartWindow() override;
  void ArmUnattendedStart() override;
  void DoEvents() override;
  bool Ending() override;

  // ---- What calibration and auto-zero ask of the window ----
  void ShowFrame() override;
  void HideFrame() override;
  void SetProgressText(const std::string& text) override;
  void ScaleProgressBar(double right, double bottom) override;
  void DrawProgressBar(double x) override;
  void ClearProgressBar() override;

  // ---- Calibration buttons and the run parameter boxes ----
  void cmd_calibra_Click();
  void Cmd_autozero_Click();
  // The focus-loss check of one run parameter box.
  void RunParamLostFocus(acquisition::RunParamBox box, QLineEdit* text_box);
  // The beam box of the well selector: the channel of the chosen well and beam.
  void txtsub_LostFocus();

 private:
  void BuildControls();
  void BuildMenus();
  void ConnectHandlers();
  // Arms start-up step k and waits for the sequencer to report it done.
  bool RunStartStep(int16_t step);
  // Makes the run buffers anew for the current RT_Buffer.
  void MakeRunBuffers(bool with_counts);
  void LoadFailed();
  // The status panel after a run that ended with an automatic report (no box says so)
  // or that lost bins.
  void ShowRunFinished(const std::string& run_folder);
  // The panel's detail back to one line over the progress bar after such news.
  void StatusPanelOneLine();
  // The status panel as wide as its longest line needs, within the activity picture.
  void FitStatusPanel();
  // Where the layout put lbl_temperature's left edge, and how far right it may reach.
  int temperature_left_ = 0;
  int temperature_right_ = 0;
  void EndProgramNow(int exit_code);
  // The unattended end without a screen: the program ends after the automatic report.
  void EndAfterAutoReport();

  // Copies the controls the run reads into the engine's RunControls.
  void SyncRunControls();
  // The port held by one of this window's instrument commands from its start to its
  // end: another window's work waits meanwhile, and its commands wait their turn.
  using Command = void (Frm_Main::*)();
  class PortHold {
   public:
    PortHold(Frm_Main& window, Command command);
    ~PortHold();
    PortHold(const PortHold&) = delete;
    PortHold& operator=(const PortHold&) = delete;

   private:
    Frm_Main& window_;
    platform::WaitHook hook_;
  };
  // One instrument command at a time. A command clicked while a work holds the port
  // (one of this window's own commands, or another window's work), or while commands
  // wait for it, waits its turn; null when it was put off so, else the port, held
  // until the command ends. At its turn it runs only if `control` (its button) takes
  // clicks then, and a command that runs or waits already is not asked again. Stop
  // ends this window's own commands: it acts at once during them.
  std::unique_ptr<PortHold> HoldPort(Command command, const QObject* control);
  std::vector<Command> running_commands_;
  std::vector<Command> waiting_commands_;
  Command turn_command_ = nullptr;  // the command whose turn has come, until it holds the port
  // Start-up's unattended start: judged when the start has run, which may be after
  // the work that held the port.
  bool unattended_start_ = false;
  void UnattendedStartRan();
  // Group_Channels and Group_Channel_Count: the wells of group g in `map`.
  void FollowGroupWells(const storage::ChannelTable16& map, int g);
  int wells_group_ = -1;  // the group Group_Channels holds, -1 before any

  std::unique_ptr<acquisition::InstrumentConnection> connection_;
  void ConnectCalibration();

  std::unique_ptr<acquisition::InstrumentIo> io_;
  std::unique_ptr<acquisition::RunEngine> engine_;
  std::unique_ptr<acquisition::ChannelCalibration> calibration_;
  std::unique_ptr<acquisition::AutoZero> auto_zero_;
  void ConnectDeviceTest();
  std::unique_ptr<service::DeviceTestView> device_test_view_;
  std::unique_ptr<service::DeviceTest> device_test_;
  bool validating_ = false;
  // The progress strip's fill in percent, drawn again when the strip changes size.
  double progress_shown_ = 0;
  bool ended_ = false;
  bool exit_when_run_ends_ = false;
  // The exit code of a program end through Form_Unload.
  int unload_exit_code_ = 0;
  // Set when the run's end hands over to an automatic report, shown once it stopped.
  std::string finished_run_;
};

}  // namespace mainwindow
