#include "service/forms/frm_tech_cal.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "acquisition/link_io.h"
#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "offline/forms/frm_offline.h"
#include "platform/numeric.h"
#include "platform/waiting.h"
#include "setup/forms/frm_setup.h"
#include "storage/settings_text.h"
#include "storage/shared_state.h"
#include "ui/controls.h"
#include "ui/events.h"
#include "ui/picture_box.h"
#include "ui/plot_paint.h"
#include "ui/program_end.h"

namespace service {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }
QString N(long long v) { return QString::number(v); }

constexpr ui::Color kMapBack = ui::RGB(48, 48, 48);
// The scan display's user units: cells of 10 x 10.
constexpr double kScanWidth = 240;
constexpr double kScanHeight = 160;

}  // namespace

Frm_Tech_cal::Frm_Tech_cal() : io_(std::make_unique<acquisition::LinkIo>()) {
  setWindowTitle("Channel Calibration");
  logic_ = std::make_unique<TechCal>(*io_, static_cast<TechCalView&>(*this));
  BuildControls();
  ConnectHandlers();
  // The designed size, or most of a larger screen; never more than the screen.
  QSize size(1024, 700);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QSize room = screen->availableGeometry().size();
    size = size.expandedTo(room * 0.8).boundedTo(room);
  }
  resize(size);
  step_timer.setSingleShot(true);
}

Frm_Tech_cal::~Frm_Tech_cal() { platform::DropPortTurns(this); }

void Frm_Tech_cal::ConnectHandlers() {
  auto click = [this](QPushButton* b, void (Frm_Tech_cal::*handler)()) {
    connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
  };
  click(Cmd_online, &Frm_Tech_cal::Cmd_online_Click);
  click(Cmd_offline, &Frm_Tech_cal::Cmd_offline_Click);
  click(Command10, &Frm_Tech_cal::Command10_Click);
  click(Command11, &Frm_Tech_cal::Command11_Click);
  click(mas, &Frm_Tech_cal::mas_Click);
  click(menos, &Frm_Tech_cal::menos_Click);
  click(pix_mas, &Frm_Tech_cal::pix_mas_Click);
  click(pix_menos, &Frm_Tech_cal::pix_menos_Click);
  click(Cmd_setall, &Frm_Tech_cal::Cmd_setall_Click);
  click(cmd_setcalibra, &Frm_Tech_cal::cmd_setcalibra_Click);
  click(Cmdcalibrar, &Frm_Tech_cal::Cmdcalibrar_Click);
  click(cmd_autocalibra, &Frm_Tech_cal::cmd_autocalibra_Click);
  click(cmdTEST, &Frm_Tech_cal::cmdTEST_Click);
  click(Command2, &Frm_Tech_cal::Command2_Click);
  click(Command21, &Frm_Tech_cal::Command21_Click);
  click(Command22, &Frm_Tech_cal::Command22_Click);
  click(Command24, &Frm_Tech_cal::Command24_Click);
  connect(Combocol, &QComboBox::currentIndexChanged, this, [this] { Combocol_Click(); });
  connect(Combofila, &QComboBox::currentIndexChanged, this, [this] { Combofila_Click(); });
  connect(Picwell, &ui::PictureBox::MouseMove, this,
          [this](int b, int s, double x, double y) { Picwell_MouseMove(b, s, x, y); });
  connect(Picwell, &ui::PictureBox::MouseDown, this,
          [this](int b, int s, double x, double y) { Picwell_MouseDown(b, s, x, y); });
  // Only the user's moves reach these: values set by code are set with signals blocked.
  connect(Scroll_threshold, &QScrollBar::valueChanged, this, [this] { Scroll_threshold_Change(); });
  connect(scrollgain, &QScrollBar::valueChanged, this, [this] { scrollgain_Change(); });
  connect(scrollpower, &QScrollBar::valueChanged, this, [this] { scrollpower_Change(); });
  connect(&step_timer, &QTimer::timeout, this, [this] { Step_Timer(); });
  lblstatus->installEventFilter(this);
}

void Frm_Tech_cal::Form_Load() {
  const auto& s = storage::Shared();
  frame_station->hide();
  last_mouse_ = {};
  Combomode->addItems({kMaxGainMode, "Max.Power"});
  for (char letter = 'A'; letter <= 'P'; ++letter) Combofila->addItem(QString(QChar(letter)));
  for (int c = 1; c <= kMapColumns; ++c) Combocol->addItem(N(c));
  {
    const QSignalBlocker block_row(Combofila), block_col(Combocol);
    Combofila->setCurrentIndex(-1);
    Combofila->setEditText("A");
    Combocol->setCurrentIndex(-1);
    Combocol->setEditText("0");
  }
  Txtajuste->setText(N(s.Cal_value));
  Combomode->setCurrentIndex(0);
  Combomode->setEditText(Q(CalibrationModeText(s.Cal_mode)));
  lblstatus->setText(s.Enabled[0] == 0 ? kDisabledText : kEnabledText);
  Picwell_out->SetBackColor(ui::RGB(0, 0, 0));
  Picwell_out->Scale(0, 0, kScanWidth, kScanHeight);
  picturecal->Scale(0, 0, 383, 10);
  DrawPlateMap();
  Picreal->Scale(-60, 2150, 620, -250);
  Picreal->Cls();
  ui::PaintPlan(*Picreal, SignalAxesPlan());
  ShowState();
}

void Frm_Tech_cal::Form_Resize() {
  // The pictures keep what was drawn at their old size: draw them again at the new one.
  DrawPlateMap();
  const ChannelTraces& t = logic_->traces();
  if (t.read_count > 0) {
    ui::PaintPlan(*Picwell, CellShadingPlan(t, (t.sample_index + kTraceSamples - 1) % kTraceSamples));
  }
  RedrawSignal();
}

void Frm_Tech_cal::Form_Unload() {
  step_timer.stop();
  platform::DropPortTurns(this);
  logic_->StopWork();
  if (!ui::ProgramEnded() && ui::IsLoaded<mainwindow::Frm_Main>()) {
    ui::Default<mainwindow::Frm_Main>().Show();
  }
}

void Frm_Tech_cal::hideEvent(QHideEvent* event) {
  // A minimised window keeps its live view; one that was put away does not.
  if (!event->spontaneous()) {
    platform::DropPortTurns(this);
    logic_->StopWork();
  }
  ui::Form::hideEvent(event);
}

bool Frm_Tech_cal::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lblstatus && event->type() == QEvent::MouseButtonDblClick) {
    lblstatus_DblClick();
    return true;
  }
  return ui::Form::eventFilter(watched, event);
}

int Frm_Tech_cal::Channel() const {
  return std::clamp<int32_t>(platform::RoundToInt(platform::Val(S(lblcanal->text()))), 0,
                             storage::kChannelCount - 1);
}

void Frm_Tech_cal::RunSteps() {
  if (logic_->Stepping()) step_timer.start(0);
}

void Frm_Tech_cal::Step_Timer() {
  const int next = logic_->Step();
  if (next >= 0) step_timer.start(next);
  // What was asked during the step goes before the next one.
  platform::RunPortTurns();
}

void Frm_Tech_cal::WhenFree(std::function<void()> work) {
  platform::WhenPortFree(std::move(work), this);
}

// ---- Live view ----

void Frm_Tech_cal::Cmd_online_Click() {
  const double width = Picwell_out->ScaleWidth(), height = Picwell_out->ScaleHeight();
  WhenFree([this, width, height] {
    if (logic_->Cmd_online_Click(width, height)) RunSteps();
  });
}

void Frm_Tech_cal::Cmd_offline_Click() {
  Timerreal.stop();
  // What was clicked here and still waits for the port is called off with the work.
  platform::DropPortTurns(this);
  logic_->Cmd_offline_Click();
}

void Frm_Tech_cal::DrawPlateMap() {
  Picwell->SetBackColor(kMapBack);
  Picwell->Scale(-75, -75, 2400, 1600);
  Picwell->Cls();
  ui::PaintPlan(*Picwell, PlateMapPlan());
}

void Frm_Tech_cal::RedrawSignal() {
  storage::Shared().Selected_Channel = static_cast<int16_t>(Channel());
  Picreal->Cls();
  const ChannelTraces& t = logic_->traces();
  ui::PaintPlan(*Picreal, ChannelSignalPlan(t, Channel(), t.sample_index, logic_->zoom()));
}

void Frm_Tech_cal::DrawLevels() {
  ui::PaintPlan(*Picwell, CellShadingPlan(logic_->traces(), logic_->traces().sample_index));
  RedrawSignal();
}

void Frm_Tech_cal::StartLiveDisplay(int width, int height) {
  Picwell_out_border->setFrameShape(QFrame::NoFrame);
  DrawPlateMap();
  Picreal->Cls();
  ui::PaintPlan(*Picreal, SignalAxesPlan());
  Picwell_out->Cls();
  Picwell_out->Scale(0, 0, width, height);
}

void Frm_Tech_cal::DrawScanPoints(const std::vector<std::pair<double, double>>& points, int grey,
                                  int size) {
  Picwell_out->SetDrawWidth(size);
  for (const auto& [x, y] : points) Picwell_out->PSet(x, y, ui::RGB(grey, grey, grey));
}

int Frm_Tech_cal::ScanBrightness() {
  return static_cast<int>(std::clamp(platform::Int(platform::Val(S(txt_brillo->text()))), -1e6, 1e6));
}

int Frm_Tech_cal::ScanDotSize() {
  return static_cast<int>(std::clamp(platform::Int(platform::Val(S(txt_pixsize->text()))), 1.0, 30.0));
}

void Frm_Tech_cal::ClearFan() { picturecal->Cls(); }

void Frm_Tech_cal::DrawFanLine(double x) { picturecal->Line(0, 0, x, 10, ui::RGB(0, 0, 0)); }

void Frm_Tech_cal::ShowOut(int reply) { lblout->setText(N(reply)); }

void Frm_Tech_cal::ShowAutoProgress(int value) {
  cmd_autocalibra->setText(N(value));
  cmd_autocalibra->repaint();
}

void Frm_Tech_cal::ShowState() {
  const bool live = logic_->online();
  shapeonline->SetFilled(live);
  shapeoffline->SetFilled(!live);
  Picwell_out_border->setFrameShape(live ? QFrame::NoFrame : QFrame::Box);
  lblcalibrando->setText(Q(logic_->progress_text()));
  lblcalibrando->setVisible(logic_->progress_visible());
  // While SET, Set All or the auto-adjust works, nothing else may start on the port.
  const bool writing = logic_->writing();
  Cmd_online->setEnabled(logic_->online_enabled() && !writing);
  cmdTEST->setEnabled(logic_->test_enabled() && !writing);
  for (QWidget* other : std::initializer_list<QWidget*>{Cmd_setall, cmd_setcalibra, Cmdcalibrar,
                                                       cmd_autocalibra, scrollgain, scrollpower})
    other->setEnabled(!writing);
  if (writing)
    setCursor(Qt::WaitCursor);
  else
    unsetCursor();
  if (txt_test->text() != Q(logic_->test_text())) txt_test->setText(Q(logic_->test_text()));
}

void Frm_Tech_cal::LetEventsRun() { ui::DoEvents(); }

// ---- Selection ----

void Frm_Tech_cal::Combocol_Click() { Combofila_Click(); }

void Frm_Tech_cal::Combofila_Click() {
  const int ch = ChannelFromBoxes(S(Combofila->currentText()), S(Combocol->currentText()));
  storage::Shared().Selected_Channel = static_cast<int16_t>(ch);
  lblcanal->setText(N(ch));
  lblstatus->setText(storage::Shared().Enabled[static_cast<size_t>(ch)] == 0 ? kDisabledText
                                                                          : kEnabledText);
}

void Frm_Tech_cal::Picwell_MouseMove(int, int, double x, double y) {
  const MapCell now = CellAt(x, y);
  ui::PaintPlan(*Picwell, MapMarkerPlan(last_mouse_, now));
  lblnchannel->setText(now.inside ? Q(CellName(now.row, now.column)) : QString());
  last_mouse_ = now;
}

void Frm_Tech_cal::Picwell_MouseDown(int button, int shift, double x, double y) {
  if (button != 1) return;
  Picwell_MouseMove(0, shift, x, y);
  const MapCell cell = last_mouse_;
  if (cell.row < 0 || cell.row >= kMapRows || cell.column >= kMapColumns) return;
  auto& s = storage::Shared();
  const int ch = std::max(0, cell.column * kMapRows + cell.row);
  {
    // The boxes' selection follows the click, so that picking an item again selects
    // the channel the box shows.
    const QSignalBlocker block_row(Combofila), block_col(Combocol);
    Combofila->setCurrentIndex(cell.row);
    Combocol->setCurrentIndex(cell.column);  // left of the grid: none, as at load
    if (cell.column < 0) Combocol->setEditText(N(cell.column + 1));
  }
  lblcanal->setText(N(ch));
  lblstatus->setText(s.Enabled[static_cast<size_t>(ch)] == 0 ? kDisabledText : kEnabledText);
  const double threshold = s.ThresholdAt(0, ch);
  txt_threshold->setText(Q(storage::FormatNumber(threshold)));
  txt_threshold->setCursorPosition(0);
  const ThresholdBar bar = ThresholdBarFor(threshold);
  {
    const QSignalBlocker block(Scroll_threshold);
    Scroll_threshold->setMaximum(bar.maximum);
    Scroll_threshold->setValue(bar.value);
  }
  if (!logic_->online()) return;
  Picreal->Cls();
  ui::PaintPlan(*Picreal, SignalAxesPlan());
  const uint64_t moves = moves_;
  WhenFree([this, ch, moves] {
    const auto setting = logic_->ReadBackSetting(ch);
    // A bar moved since the click keeps the value it was moved to.
    if (setting && moves_ == moves) {
      const QSignalBlocker block_gain(scrollgain), block_power(scrollpower);
      scrollgain->setValue(setting->gain);
      txtgain->setText(N(setting->gain));
      scrollpower->setValue(setting->power);
      txtpower->setText(N(setting->power));
    }
  });
}

// ---- Display controls ----

void Frm_Tech_cal::Command10_Click() {
  logic_->ZoomIn();
  txtzoom->setText(N(logic_->zoom()));
  RedrawSignal();
}

void Frm_Tech_cal::Command11_Click() {
  logic_->ZoomOut();
  txtzoom->setText(N(logic_->zoom()));
  RedrawSignal();
}

void Frm_Tech_cal::mas_Click() { txt_brillo->setText(Q(StepBrightness(S(txt_brillo->text()), true))); }

void Frm_Tech_cal::menos_Click() {
  txt_brillo->setText(Q(StepBrightness(S(txt_brillo->text()), false)));
}

void Frm_Tech_cal::pix_mas_Click() { txt_pixsize->setText(Q(StepDotSize(S(txt_pixsize->text()), true))); }

void Frm_Tech_cal::pix_menos_Click() {
  txt_pixsize->setText(Q(StepDotSize(S(txt_pixsize->text()), false)));
}

// ---- The selected channel ----

void Frm_Tech_cal::lblstatus_DblClick() {
  lblstatus->setText(Q(logic_->ToggleEnabled(S(lblcanal->text()), S(lblstatus->text()))));
}

void Frm_Tech_cal::Scroll_threshold_Change() {
  txt_threshold->setText(N(Scroll_threshold->value()));
  storage::Shared().ThresholdAt(0, Channel()) = Scroll_threshold->value();
}

void Frm_Tech_cal::scrollgain_Change() {
  txtgain->setText(N(scrollgain->value()));
  WriteBoxes();
}

void Frm_Tech_cal::scrollpower_Change() {
  txtpower->setText(N(scrollpower->value()));
  WriteBoxes();
}

void Frm_Tech_cal::WriteBoxes() {
  ++moves_;
  // The channel selected and the values shown at the move, whenever the port is free.
  const int channel = Channel();
  const std::string gain = S(txtgain->text()), power = S(txtpower->text());
  WhenFree([this, channel, gain, power] { logic_->WriteSelectedSetting(channel, gain, power); });
}

// ---- Writes and calibrations ----
// Each takes its boxes as they are at the click; a box the work corrects is put right
// afterwards, one the user changed meanwhile keeps the change.

void Frm_Tech_cal::Cmd_setall_Click() {
  const std::string gain = S(txtgain->text()), power = S(txtpower->text());
  WhenFree([this, gain, power] { logic_->Cmd_setall_Click(gain, power); });
}

void Frm_Tech_cal::cmd_setcalibra_Click() {
  const std::string gain = S(txt_ganancia->text()), power = S(txt_power->text());
  WhenFree([this, gain, power] {
    const auto [gain_shown, power_shown] = logic_->cmd_setcalibra_Click(gain, power);
    if (gain_shown != gain) txt_ganancia->setText(Q(gain_shown));
    if (power_shown != power) txt_power->setText(Q(power_shown));
  });
}

void Frm_Tech_cal::Cmdcalibrar_Click() {
  const std::string target = S(Txtajuste->text()), mode = S(Combomode->currentText());
  WhenFree([this, target, mode] {
    logic_->Cmdcalibrar_Click(target, mode);
    RunSteps();
  });
}

void Frm_Tech_cal::cmd_autocalibra_Click() {
  const std::string target = S(txt_autocal->text());
  WhenFree([this, target] {
    const std::string shown = logic_->cmd_autocalibra_Click(target);
    if (shown != target) txt_autocal->setText(Q(shown));
  });
}

void Frm_Tech_cal::cmdTEST_Click() {
  WhenFree([this] {
    logic_->cmdTEST_Click();
    RunSteps();
  });
}

// ---- Leaving ----

void Frm_Tech_cal::Command2_Click() {
  Cmd_offline_Click();
  ui::Default<mainwindow::Frm_Init>().Show();
  hide();
}

void Frm_Tech_cal::Command21_Click() { Command2_Click(); }

void Frm_Tech_cal::Command22_Click() {
  ui::Default<setup::Frm_setup>().Show();
  hide();
}

void Frm_Tech_cal::Command24_Click() {
  ui::Default<offline::Frm_offline>().Show();
  hide();
}

}  // namespace service
