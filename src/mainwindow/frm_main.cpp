// The main window's controls, menus and the wiring of their handlers. The place of
// each control is set by LayoutMainWindow; the geometry given here is only the
// designed place of the controls the layout leaves alone.
#include "mainwindow/frm_main.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "acquisition/link_io.h"
#include "platform/waiting.h"
#include "ui/controls.h"
#include "ui/fit_button.h"
#include "ui/frame.h"

namespace mainwindow {
namespace {

QPushButton* Button(const QString& caption, QWidget* parent) {
  auto* b = new ui::FitButton(caption, parent);
  b->setAutoDefault(false);
  return b;
}

QLabel* Label(const QString& caption, QWidget* parent) { return new QLabel(caption, parent); }

QLineEdit* TextBox(const QString& text, QWidget* parent) { return new QLineEdit(text, parent); }

QGroupBox* Frame(const QString& caption, QWidget* parent) { return new ui::Frame(caption, parent); }

}  // namespace

Frm_Main::Frm_Main() {
  setWindowTitle("Quenlar");
  // Restored from maximised it takes this size; every way of showing it opens it
  // maximised.
  resize(1024, 720);
  setWindowState(Qt::WindowMaximized);
  BuildMenus();
  BuildControls();
  ConnectHandlers();
  Timerinicio.setSingleShot(false);
  Timeradq.setSingleShot(false);
  // A coarse timer lets the 30 ms tick drift to about 30.4 ms: samples lost every bin.
  Timeradq.setTimerType(Qt::PreciseTimer);
  Timer_test.setInterval(100);
  connection_ = std::make_unique<acquisition::InstrumentConnection>(this);
  io_ = std::make_unique<acquisition::LinkIo>();
  engine_ = std::make_unique<acquisition::RunEngine>(*io_, *this);
  ConnectCalibration();
  ConnectDeviceTest();
}

Frm_Main::~Frm_Main() { platform::DropPortTurns(this); }

void Frm_Main::BuildMenus() {
  menu_bar = new QMenuBar(this);
  mnfile = menu_bar->addMenu("File");
  mn_settings = mnfile->addMenu("Settings");
  mn_commports = mn_settings->addMenu("COM Ports");
  for (int n = 1; n <= 15; ++n) {
    mncom1[n] = mn_commports->addAction("COM" + QString::number(n));
    mncom1[n]->setCheckable(true);
  }
  mn_advanced = mn_settings->addMenu("Advanced");
  mn_userbin = mn_advanced->addAction("User Defined BIN size");
  mn_userbin->setCheckable(true);
  mn_factory = mn_advanced->addAction("Factory Settings");
  mn_more = mn_advanced->addMenu("More...");
  lght_ctl = mn_more->addAction("Light Control");
  temp_ctl = mn_more->addAction("Temperature Control");
  chk_zmonitor = mn_more->addAction("AutoRestart on ComError");
  chk_zmonitor->setCheckable(true);
  chk_zmonitor->setChecked(true);
  mn_technical = mn_more->addAction("Technical Menu (require password)");
  mnstatustest = mnfile->addAction("Test DEVICE");
  mnfile->addSeparator();
  mnexit = mnfile->addAction("Exit");
  mnhelp = menu_bar->addMenu("Help");
  mncontent = mnhelp->addAction("Content");
  mnhelp->addSeparator();
  mnabout = mnhelp->addAction("About");
}

void Frm_Main::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->setMenuBar(menu_bar);
  client = new QWidget(this);
  outer->addWidget(client, 1);

  // ---- Left panel ----
  PicPanel1 = new ui::PictureBox(client);
  Cmd_barplot = Button("Bar Plot", PicPanel1);
  Cmd_gridplot = Button("Heatmap PLOT", PicPanel1);
  Cmd_histoplot = Button("BodyBends Histogram PLOT", PicPanel1);
  Cmd_histoplot->hide();
  lbl_temperature = Label("T = __ ", PicPanel1);
  lbl_station = Label("STATION 1", PicPanel1);
  Picact = new ui::PictureBox(PicPanel1);
  cmd_pgup = Button(">", PicPanel1);
  cmd_pgdown = Button("<", PicPanel1);
  cmd_pgup->hide();
  cmd_pgdown->hide();
  shape_real = new ui::ShapeBox(PicPanel1, ui::RGB(255, 255, 255), false);
  Picreal = new ui::PictureBox(PicPanel1);
  combogrup = new QComboBox(PicPanel1);
  cmdbeam_minus = Button("<", PicPanel1);
  txtbeam = TextBox("", PicPanel1);
  cmdbeam_plus = Button(">", PicPanel1);
  Cmdzoom_minus = Button("zoom-", PicPanel1);
  Cmdzoom_plus = Button("zoom+", PicPanel1);
  txtzoom = TextBox("0", PicPanel1);
  txtzoom->setGeometry(4, 4, 24, 20);
  txtzoom->hide();
  picturetime = new ui::PictureBox(PicPanel1);
  Txt_time = Label("00:00", PicPanel1);
  lblcalibrando = Label("", PicPanel1);
  lblcalibrando->hide();
  lst_report_export = new QListWidget(PicPanel1);
  lst_report_export->setGeometry(40, 40, 200, 160);
  lst_report_export->hide();
  shape_stacks = new ui::ShapeBox(PicPanel1, ui::RGB(255, 255, 255), false);
  shape_stacks->hide();
  for (int i = 0; i < 4; ++i) {
    chk_enabled[i] = new QCheckBox(PicPanel1);
    chk_enabled[i]->hide();
    cmd_stack_pos[i] = Button("STATION" + QString::number(i + 1), PicPanel1);
    cmd_stack_pos[i]->hide();
  }

  // Status panel over the activity plot (connection, calibration, pause, errors).
  frm_autotext = Frame("", Picact);
  frm_autotext->setGeometry(20, 20, 320, 90);
  lbl_autotext = Label("", frm_autotext);
  lbl_autotext->setGeometry(8, 8, 300, 22);
  lbl_autochannel = Label("", frm_autotext);
  lbl_autochannel->setGeometry(8, 32, 300, 22);
  picturecal = new ui::PictureBox(frm_autotext);
  picturecal->setGeometry(8, 60, 300, 18);

  lbl_autostart = Label(" Auto-Restart Enabled: [Cycle 1] . Restarting time = 4h", client);
  lbl_autostart->adjustSize();
  lbl_autostart->hide();

  // ---- Well selectors ----
  Framereal = Frame("", client);
  lbl_listwells = Label("Well:", Framereal);
  Combofila = new QComboBox(Framereal);
  Combocol = new QComboBox(Framereal);
  txtsub = TextBox("0", Framereal);
  lstgrup = new QListWidget(Framereal);
  Label3 = Label("Channel:", Framereal);
  lblcanal = new ui::CaptionLabel(Framereal);
  Framereal->hide();

  // ---- Right panel ----
  PicPanel2 = new ui::PictureBox(client);
  Frame_setup = Frame("", PicPanel2);
  lbl_project = Label("PROJECT", Frame_setup);
  txt_projecto = Label("", Frame_setup);
  Cmdsetup = Button(">Edit", Frame_setup);
  Label_acqlapse = Label("Time:", Frame_setup);
  txt_acqlapse = Label("30 min", Frame_setup);
  Label_wellformat = Label("Format:", Frame_setup);
  txt_wellformat = Label("", Frame_setup);
  chk_bodybends = new QCheckBox("Body-Bends Mode (Experimental)", Frame_setup);
  chk_bodybends->adjustSize();
  chk_bodybends->hide();
  txt_detection = Label("", Frame_setup);
  Shape_sq = new ui::ShapeBox(Frame_setup, ui::RGB(255, 255, 255), false);
  lbl_subproject = Label("Current Acquisition", Frame_setup);
  txt_subproject = Label("", Frame_setup);
  Lbl_keywords = Label("Notes:", Frame_setup);
  Txt_description = new QPlainTextEdit(Frame_setup);

  cmd_connect = Button("Connect", PicPanel2);
  Cmd_disconnect = Button("Disconnect", PicPanel2);
  CmdPause = Button("Pause", PicPanel2);
  CmdPause->setEnabled(false);
  lbl_torun = Label("Ready to run?", PicPanel2);
  lbl_torun->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  Frame_temp = Frame("Temperature", PicPanel2);
  cmd_nextwindows1 = Button("", Frame_temp);
  cmd_ontemp = Button("OFF", Frame_temp);
  cmd_frio = Button("COOL", Frame_temp);
  Chk_tenabled = new QCheckBox("Enabled", Frame_temp);
  shape_temp = new ui::ShapeBox(Frame_temp, ui::RGB(255, 255, 255));
  Cmd_settemp = Button("SET", Frame_temp);
  Label_C = Label("*C", Frame_temp);
  txttemp = TextBox("20", Frame_temp);

  Frame_light = Frame("Light Control", PicPanel2);
  cmd_nextwindows2 = Button("", Frame_light);
  Chk_lenabled = new QCheckBox("Enable", Frame_light);
  cmd_luz = Button("OFF", Frame_light);
  cmd_cyclepulse = Button("Cycle/Pulse", Frame_light);
  shape_light = new ui::ShapeBox(Frame_light, ui::RGB(255, 0, 0));
  Label_lon = Label("ON", Frame_light);
  Label_loff = Label("OFF", Frame_light);
  txt_lon = TextBox("09", Frame_light);
  txt_loff = TextBox("21", Frame_light);
  Label_lbar = Label("/", Frame_light);
  Label_lh = Label("h", Frame_light);
  frm_pulse = Frame("", Frame_light);
  Shape_white = new ui::ShapeBox(frm_pulse, ui::RGB(255, 255, 255));
  Shape_dark = new ui::ShapeBox(frm_pulse, ui::RGB(64, 64, 64));
  Label_ltimes = Label("times", frm_pulse);
  txt_pulsetimes = TextBox("0", frm_pulse);
  Label_X = Label("X", frm_pulse);
  txt_pulseon = TextBox("1", frm_pulse);
  txt_pulseoff = TextBox("9", frm_pulse);
  Label_min1 = Label("min", frm_pulse);
  Label_min2 = Label("min", frm_pulse);
  // The second one lies on the dark phase's shape.
  QPalette on_dark = Label_min2->palette();
  on_dark.setColor(QPalette::WindowText, Qt::white);
  Label_min2->setPalette(on_dark);

  // The play and stop buttons share their band with the tool frames (the layout puts
  // the frames in front).
  CmdPlay = Button("Start Acquisition", PicPanel2);
  CmdStop = Button("Stop Acquisition", PicPanel2);
  Cmdreport = Button("Show my report", PicPanel2);
  Cmdoffline = Button("< Back", PicPanel2);

  // ---- Tools frame: never shown, it holds values ----
  frame_config = Frame("Tools", client);
  frame_config->setGeometry(0, 0, 400, 200);
  Label_minutes = Label("BIN (min)", frame_config);
  Label_minutes->setGeometry(8, 20, 80, 20);
  combo_minutes = new QComboBox(frame_config);
  ui::MakeTypedList(*combo_minutes);
  combo_minutes->setGeometry(90, 20, 80, 22);
  frm_mn1 = Frame("", frame_config);
  frm_mn1->setGeometry(8, 50, 380, 140);
  Cmb_organism = new QComboBox(frm_mn1);
  Cmb_organism->setGeometry(8, 8, 160, 22);
  lbl_umbral = new ui::ClickLabel(">>>>", frm_mn1);
  lbl_umbral->setGeometry(176, 8, 90, 22);
  txt_snr_umbral = TextBox("1.7", frm_mn1);
  txt_snr_umbral->setGeometry(270, 8, 50, 22);
  txt_snr_umbral->hide();
  mnCalibra = new QCheckBox("Auto   Calibration", frm_mn1);
  mnCalibra->setGeometry(8, 40, 160, 22);
  mnZero = new QCheckBox("Auto   Zero", frm_mn1);
  mnZero->setGeometry(8, 66, 160, 22);
  cmd_calibra = Button("Fast CALIB", frm_mn1);
  cmd_calibra->setGeometry(176, 40, 90, 24);
  Cmd_autozero = Button("Fast ZERO", frm_mn1);
  Cmd_autozero->setGeometry(176, 66, 90, 24);
  cmd_readblank = Button("Read Blank", frm_mn1);
  cmd_readblank->setGeometry(176, 92, 90, 24);
  frame_config->hide();
}

void Frm_Main::ConnectHandlers() {
  connect(&Timerinicio, &QTimer::timeout, this, [this] { Timerinicio_Timer(); });
  connect(&Timeradq, &QTimer::timeout, this, [this] { Timeradq_Timer(); });

  // Values set from code raise these as a click does, and only on a real change.
  connect(chk_bodybends, &QCheckBox::stateChanged, this, [this] { chk_bodybends_Click(); });
  connect(Chk_lenabled, &QCheckBox::stateChanged, this, [this] { Chk_lenabled_Click(); });
  connect(Chk_tenabled, &QCheckBox::stateChanged, this, [this] { Chk_tenabled_Click(); });
  connect(mnZero, &QCheckBox::stateChanged, this, [this] { mnZero_Click(); });
  connect(Cmb_organism, &QComboBox::currentIndexChanged, this, [this] { Cmb_organism_Click(); });
  connect(lbl_umbral, &ui::ClickLabel::Click, this, [this] { lbl_umbral_Click(); });
  connect(lblcanal, &ui::CaptionLabel::Change, this, [this] { lblcanal_Change(); });

  for (int n = 1; n <= 15; ++n) {
    connect(mncom1[n], &QAction::triggered, this, [this, n] { mncom1_Click(n); });
  }
  connect(mn_userbin, &QAction::triggered, this, [this] {
    // The check mark belongs to the report settings dialog; a click does not flip it.
    mn_userbin->setChecked(!mn_userbin->isChecked());
    mn_userbin_Click();
  });
  connect(mn_factory, &QAction::triggered, this, [this] { mn_factory_Click(); });
  connect(lght_ctl, &QAction::triggered, this, [this] { lght_ctl_Click(); });
  connect(temp_ctl, &QAction::triggered, this, [this] { temp_ctl_Click(); });
  connect(mn_technical, &QAction::triggered, this, [this] { mn_technical_Click(); });
  connect(mnexit, &QAction::triggered, this, [this] { mnexit_Click(); });
  connect(mncontent, &QAction::triggered, this, [this] { mncontent_Click(); });
  connect(mnabout, &QAction::triggered, this, [this] { mnabout_Click(); });

  connect(Cmdoffline, &QPushButton::clicked, this, [this] { Cmdoffline_Click(); });
  connect(Cmdsetup, &QPushButton::clicked, this, [this] { Cmdsetup_Click(); });
  connect(Cmdreport, &QPushButton::clicked, this, [this] { Cmdreport_Click(); });
  connect(cmd_connect, &QPushButton::clicked, this, [this] { cmd_connect_Click(); });
  connect(Cmd_disconnect, &QPushButton::clicked, this, [this] { Cmd_disconnect_Click(); });
  connect(CmdPlay, &QPushButton::clicked, this, [this] { CmdPlay_Click(); });
  connect(CmdPause, &QPushButton::clicked, this, [this] { CmdPause_Click(); });
  connect(CmdStop, &QPushButton::clicked, this, [this] { CmdStop_Click(); });

  connect(cmd_ontemp, &QPushButton::clicked, this, [this] { cmd_ontemp_Click(); });
  connect(cmd_frio, &QPushButton::clicked, this, [this] { cmd_frio_Click(); });
  connect(cmd_luz, &QPushButton::clicked, this, [this] { cmd_luz_Click(); });
  connect(Cmd_settemp, &QPushButton::clicked, this, [this] { Cmd_settemp_Click(); });
  connect(cmd_cyclepulse, &QPushButton::clicked, this, [this] { cmd_cyclepulse_Click(); });
  connect(cmd_nextwindows1, &QPushButton::clicked, this, [this] { cmd_nextwindows1_Click(); });
  connect(cmd_nextwindows2, &QPushButton::clicked, this, [this] { cmd_nextwindows2_Click(); });

  connect(Cmd_barplot, &QPushButton::clicked, this, [this] { Cmd_barplot_Click(); });
  connect(Cmd_gridplot, &QPushButton::clicked, this, [this] { Cmd_gridplot_Click(); });
  connect(Cmd_histoplot, &QPushButton::clicked, this, [this] { Cmd_histoplot_Click(); });
  connect(cmd_pgup, &QPushButton::clicked, this, [this] { cmd_pgup_Click(); });
  connect(cmd_pgdown, &QPushButton::clicked, this, [this] { cmd_pgdown_Click(); });
  connect(Cmdzoom_plus, &QPushButton::clicked, this, [this] { Cmdzoom_plus_Click(); });
  connect(Cmdzoom_minus, &QPushButton::clicked, this, [this] { Cmdzoom_minus_Click(); });
  connect(cmdbeam_plus, &QPushButton::clicked, this, [this] { cmdbeam_plus_Click(); });
  connect(cmdbeam_minus, &QPushButton::clicked, this, [this] { cmdbeam_minus_Click(); });
  connect(combogrup, &QComboBox::currentIndexChanged, this, [this] { combogrup_Click(); });
  connect(Combofila, &QComboBox::currentIndexChanged, this, [this] { Combofila_Click(); });
  connect(Combocol, &QComboBox::currentIndexChanged, this, [this] { Combocol_Click(); });
  connect(lstgrup, &QListWidget::itemDoubleClicked, this, [this] { lstgrup_DblClick(); });
  lstgrup->installEventFilter(this);
  // The run buttons draw their captions in the part the tool frames leave them.
  Frame_temp->installEventFilter(this);
  Frame_light->installEventFilter(this);
  for (int i = 0; i < 4; ++i) {
    connect(cmd_stack_pos[i], &QPushButton::clicked, this, [this, i] { cmd_stack_pos_Click(i); });
  }
}

void Frm_Main::Form_Resize() { LayoutMainWindow(); }

bool Frm_Main::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstgrup && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      lstgrup_KeyPress(13);
      return true;
    }
  }
  if ((watched == Frame_temp || watched == Frame_light) &&
      (event->type() == QEvent::Show || event->type() == QEvent::Hide ||
       event->type() == QEvent::ZOrderChange || event->type() == QEvent::Move)) {
    CmdPlay->update();
    CmdStop->update();
  }
  return ui::Form::eventFilter(watched, event);
}

void Frm_Main::CheckComMenu(int port) {
  for (int n = 1; n <= 15; ++n) mncom1[n]->setChecked(n == port);
}

}  // namespace mainwindow
