// The channel-calibration window's controls: the plate map over the signal plot on the
// left, the live view, channel and display in the middle, the writes, calibrations,
// scan test and the ways out on the right.
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <array>
#include <utility>

#include "service/forms/frm_tech_cal.h"
#include "ui/controls.h"
#include "ui/frame.h"
#include "ui/picture_box.h"

namespace service {

namespace {

constexpr ui::Color kLampOnline = ui::RGB(0, 200, 0);
constexpr ui::Color kLampOffline = ui::RGB(220, 0, 0);

QLineEdit* Box(const QString& text, QWidget* parent, int width = 52) {
  auto* box = new QLineEdit(text, parent);
  box->setAlignment(Qt::AlignRight);
  box->setFixedWidth(width);
  return box;
}

QPushButton* Button(const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setAutoDefault(false);
  return b;
}

QScrollBar* Bar(int maximum, QWidget* parent) {
  auto* bar = new QScrollBar(Qt::Horizontal, parent);
  bar->setRange(0, maximum);
  bar->setPageStep(1);
  bar->setMinimumWidth(110);
  return bar;
}

QLabel* Caption(const QString& text, QWidget* parent) { return new QLabel(text, parent); }

}  // namespace

void Frm_Tech_cal::BuildControls() {
  auto* root = new QHBoxLayout(this);

  // Left: the plate map over the signal plot.
  auto* pictures = new QVBoxLayout;
  Picwell = new ui::PictureBox(this);
  Picwell->setMinimumSize(420, 290);
  Picwell->setMouseTracking(true);
  Picreal = new ui::PictureBox(this);
  Picreal->setMinimumSize(420, 170);
  pictures->addWidget(Picwell, 3);
  pictures->addWidget(Picreal, 2);
  root->addLayout(pictures, 1);

  // Middle: live view, channel, its settings, the display.
  auto* middle = new QVBoxLayout;
  auto* live = new ui::Frame("Live view", this);
  auto* live_grid = new QGridLayout(live);
  Cmd_online = Button("ONLINE", live);
  Cmd_offline = Button("OFFLINE", live);
  shapeonline = new ui::ShapeBox(live, kLampOnline, false);
  shapeoffline = new ui::ShapeBox(live, kLampOffline, true);
  for (ui::ShapeBox* lamp : {shapeonline, shapeoffline}) lamp->setFixedSize(18, 18);
  Picwell_out_border = new QFrame(live);
  Picwell_out_border->setFrameShape(QFrame::Box);
  auto* scan_box = new QVBoxLayout(Picwell_out_border);
  scan_box->setContentsMargins(1, 1, 1, 1);
  Picwell_out = new ui::PictureBox(Picwell_out_border);
  Picwell_out->setFixedSize(120, 80);
  scan_box->addWidget(Picwell_out);
  live_grid->addWidget(Cmd_online, 0, 0);
  live_grid->addWidget(shapeonline, 0, 1);
  live_grid->addWidget(Cmd_offline, 1, 0);
  live_grid->addWidget(shapeoffline, 1, 1);
  live_grid->addWidget(Picwell_out_border, 0, 2, 2, 1, Qt::AlignRight);
  middle->addWidget(live);

  auto* channel = new ui::Frame("Channel", this);
  auto* ch_grid = new QGridLayout(channel);
  Combofila = new QComboBox(channel);
  Combocol = new QComboBox(channel);
  for (QComboBox* c : {Combofila, Combocol}) {
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setMinimumWidth(64);
  }
  lblcanal = new QLabel("0", channel);
  lblnchannel = new QLabel("A0", channel);
  lblstatus = new QLabel(kEnabledText, channel);
  lblstatus->setToolTip("Double-click to enable or disable the channel");
  QFont bold = lblstatus->font();
  bold.setBold(true);
  lblstatus->setFont(bold);
  lblcanal->setFont(bold);
  ch_grid->addWidget(Caption("Row", channel), 0, 0);
  ch_grid->addWidget(Combofila, 0, 1);
  ch_grid->addWidget(Caption("Column", channel), 0, 2);
  ch_grid->addWidget(Combocol, 0, 3);
  ch_grid->addWidget(Caption("Channel", channel), 1, 0);
  ch_grid->addWidget(lblcanal, 1, 1);
  ch_grid->addWidget(Caption("Mouse", channel), 1, 2);
  ch_grid->addWidget(lblnchannel, 1, 3);
  ch_grid->addWidget(lblstatus, 2, 0, 1, 4);
  middle->addWidget(channel);

  auto* setting = new ui::Frame("Channel setting", this);
  auto* set_grid = new QGridLayout(setting);
  // The threshold shows as its whole number text (up to 15 significant digits): its box
  // takes the row, its bar the row below.
  txt_threshold = Box("0", setting);
  txt_threshold->setFixedWidth(txt_threshold->fontMetrics().horizontalAdvance("-00.0000000000000") +
                               14);
  Scroll_threshold = Bar(20, setting);
  txtgain = Box("0", setting);
  scrollgain = Bar(7, setting);
  txtpower = Box("0", setting);
  scrollpower = Bar(7, setting);
  lblout = new QLabel("OUT", setting);
  Cmd_setall = Button("Set All", setting);
  set_grid->addWidget(Caption("Threshold", setting), 0, 0);
  set_grid->addWidget(txt_threshold, 0, 1, 1, 2, Qt::AlignLeft);
  set_grid->addWidget(Scroll_threshold, 1, 1, 1, 2);
  const std::pair<const char*, std::pair<QLineEdit*, QScrollBar*>> rows[] = {
      {"Gain", {txtgain, scrollgain}},
      {"Power", {txtpower, scrollpower}},
  };
  int row = 2;
  for (const auto& [name, controls] : rows) {
    set_grid->addWidget(Caption(name, setting), row, 0);
    set_grid->addWidget(controls.first, row, 1);
    set_grid->addWidget(controls.second, row, 2);
    ++row;
  }
  set_grid->addWidget(Caption("Reply", setting), row, 0);
  set_grid->addWidget(lblout, row, 1);
  set_grid->addWidget(Cmd_setall, row, 2);
  middle->addWidget(setting);

  auto* display = new ui::Frame("Display", this);
  auto* disp_grid = new QGridLayout(display);
  txtzoom = Box("0", display, 40);
  Command10 = Button("+", display);
  Command11 = Button("-", display);
  txt_brillo = Box("255", display, 40);
  mas = Button("+", display);
  menos = Button("-", display);
  txt_pixsize = Box("1", display, 40);
  pix_mas = Button("+", display);
  pix_menos = Button("-", display);
  const std::pair<const char*, std::array<QWidget*, 3>> steps[] = {
      {"Zoom", {txtzoom, Command10, Command11}},
      {"Dot brightness", {txt_brillo, mas, menos}},
      {"Dot size", {txt_pixsize, pix_mas, pix_menos}},
  };
  row = 0;
  for (const auto& [name, controls] : steps) {
    disp_grid->addWidget(Caption(name, display), row, 0);
    for (int i = 0; i < 3; ++i) {
      if (auto* b = qobject_cast<QPushButton*>(controls[static_cast<size_t>(i)])) b->setFixedWidth(32);
      disp_grid->addWidget(controls[static_cast<size_t>(i)], row, i + 1);
    }
    ++row;
  }
  middle->addWidget(display);
  middle->addStretch(1);
  root->addLayout(middle);

  // Right: writes, calibrations, the scan test and the ways out.
  auto* right = new QVBoxLayout;
  auto* writes = new ui::Frame("Set every channel", this);
  auto* w_grid = new QGridLayout(writes);
  txt_ganancia = Box("6", writes, 40);
  txt_power = Box("6", writes, 40);
  cmd_setcalibra = Button("SET", writes);
  picturecal = new ui::PictureBox(writes);
  picturecal->setFixedHeight(22);
  w_grid->addWidget(Caption("Gain", writes), 0, 0);
  w_grid->addWidget(txt_ganancia, 0, 1);
  w_grid->addWidget(Caption("Power", writes), 0, 2);
  w_grid->addWidget(txt_power, 0, 3);
  w_grid->addWidget(cmd_setcalibra, 0, 4);
  w_grid->addWidget(picturecal, 1, 0, 1, 5);
  right->addWidget(writes);

  auto* auto_cal = new ui::Frame("Automatic calibration", this);
  auto* a_grid = new QGridLayout(auto_cal);
  Txtajuste = Box("90", auto_cal, 40);
  Combomode = new QComboBox(auto_cal);
  Combomode->setEditable(true);
  Combomode->setInsertPolicy(QComboBox::NoInsert);
  Cmdcalibrar = Button("<CALIBRATE>& Auto-Gain", auto_cal);
  txt_autocal = Box("120", auto_cal, 40);
  cmd_autocalibra = Button("Autocalibra", auto_cal);
  lblcalibrando = new QLabel(auto_cal);
  lblcalibrando->setFont(bold);
  lblcalibrando->hide();
  a_grid->addWidget(Caption("Auto-Adjust to:", auto_cal), 0, 0);
  a_grid->addWidget(Txtajuste, 0, 1);
  a_grid->addWidget(Combomode, 0, 2);
  a_grid->addWidget(Cmdcalibrar, 1, 0, 1, 3);
  a_grid->addWidget(Caption("Instrument target", auto_cal), 2, 0);
  a_grid->addWidget(txt_autocal, 2, 1);
  a_grid->addWidget(cmd_autocalibra, 2, 2);
  a_grid->addWidget(lblcalibrando, 3, 0, 1, 3);
  a_grid->setRowMinimumHeight(3, lblcalibrando->sizeHint().height());
  right->addWidget(auto_cal);

  auto* scan = new ui::Frame("Pinhole and gain scan", this);
  auto* s_grid = new QGridLayout(scan);
  cmdTEST = Button("TEST CURVA DE GANANCIA", scan);
  txt_test = new QLineEdit(scan);
  txt_test->setReadOnly(true);
  s_grid->addWidget(cmdTEST, 0, 0);
  s_grid->addWidget(txt_test, 1, 0);
  right->addWidget(scan);

  auto* other = new ui::Frame("Instrument", this);
  auto* o_grid = new QGridLayout(other);
  Cmdsend = Button("Auto-Adjust", other);
  Command1 = Button("Auto Set Blank", other);
  CmdCalibrate = Button("Calibrate", other);
  o_grid->addWidget(Cmdsend, 0, 0);
  o_grid->addWidget(Command1, 0, 1);
  o_grid->addWidget(CmdCalibrate, 1, 0);
  right->addWidget(other);

  frame_station = new ui::Frame("Station", this);
  frame_station->hide();
  right->addStretch(1);

  auto* exits = new QGridLayout;
  Command2 = Button("EXIT", this);
  Command21 = Button("Main", this);
  Command22 = Button("Setup", this);
  Command24 = Button("OffLine", this);
  exits->addWidget(Command21, 0, 0);
  exits->addWidget(Command22, 0, 1);
  exits->addWidget(Command24, 1, 0);
  exits->addWidget(Command2, 1, 1);
  right->addLayout(exits);
  root->addLayout(right);
}

}  // namespace service
