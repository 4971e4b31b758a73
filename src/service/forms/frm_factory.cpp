#include "service/forms/frm_factory.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "acquisition/link_io.h"
#include "mainwindow/frm_main.h"
#include "platform/numeric.h"
#include "platform/waiting.h"
#include "storage/shared_state.h"
#include "ui/events.h"
#include "ui/program_end.h"

namespace service {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// The pauses between the record's writes let the windows repaint, as its reads do
// (the user's input waits): against a late instrument SET takes tens of seconds.
void WaitRepainting(int ms) { platform::Wait(ms); }
}  // namespace

Frm_Factory::Frm_Factory()
    : io_(std::make_unique<acquisition::LinkIo>()),
      calibration_(std::make_unique<FactoryCalibration>(*io_, &WaitRepainting)) {
  setWindowTitle("Factory Settings");
  auto* outer = new QVBoxLayout(this);
  lblserial = new QLabel(this);
  QFont bold = lblserial->font();
  bold.setBold(true);
  lblserial->setFont(bold);
  outer->addWidget(lblserial);

  Frame1 = new QGroupBox("Temperature Sensing Calibration", this);
  auto* grid = new QGridLayout(Frame1);
  txt_current_temp = new QLineEdit(Frame1);
  txt_current_temp->setReadOnly(true);
  txt_set_temp = new QLineEdit(Frame1);
  for (QLineEdit* box : {txt_current_temp, txt_set_temp}) {
    box->setAlignment(Qt::AlignRight);
    box->setMaximumWidth(90);
  }
  Cmd_temp = new QPushButton("SET", Frame1);
  Cmd_temp->setAutoDefault(false);
  grid->addWidget(new QLabel("Current value =", Frame1), 0, 0);
  grid->addWidget(txt_current_temp, 0, 1);
  grid->addWidget(new QLabel(QString::fromUtf8("\xC2\xB0"
                                               "C"),
                             Frame1),
                  0, 2);
  grid->addWidget(new QLabel(QString::fromUtf8("Calibration T\xC2\xB0 ="), Frame1), 1, 0);
  grid->addWidget(txt_set_temp, 1, 1);
  grid->addWidget(new QLabel(QString::fromUtf8("\xC2\xB0"
                                               "C"),
                             Frame1),
                  1, 2);
  grid->addWidget(Cmd_temp, 1, 3);
  grid->setColumnStretch(4, 1);
  txt_mensaje = new QLabel(Frame1);
  txt_mensaje->setWordWrap(true);
  grid->addWidget(txt_mensaje, 2, 0, 1, 5);
  outer->addWidget(Frame1);
  outer->addStretch(1);
  resize(420, 220);

  Timer_temp.setInterval(1000);
  connect(&Timer_temp, &QTimer::timeout, this, [this] { Timer_temp_Timer(); });
  connect(Cmd_temp, &QPushButton::clicked, this, [this] { Cmd_temp_Click(); });
}

Frm_Factory::~Frm_Factory() { platform::DropPortTurns(this); }

void Frm_Factory::Form_Load() {
  txt_mensaje->setText(Q(calibration_->Load()));
  txt_set_temp->setText(Q(platform::FormatFixed(25, 1)));
  txt_current_temp->setText(Q(platform::FormatFixed(0, 1)));
}

void Frm_Factory::Form_Activate() {
  // The display runs while another window has the focus too.
  Timer_temp.start();
  lblserial->setText(Q(SerialText(storage::Shared().Serial_Number)));
  lblserial->repaint();
}

void Frm_Factory::Form_Unload() {
  Timer_temp.stop();
  platform::DropPortTurns(this);
  if (!ui::ProgramEnded() && ui::IsLoaded<mainwindow::Frm_Main>()) {
    ui::Default<mainwindow::Frm_Main>().Show();
  }
}

void Frm_Factory::Timer_temp_Timer() {
  // Another window's work holds the port: this reading is skipped, the last one stays.
  if (platform::PortHeld()) return;
  const int raw = calibration_->ReadRaw();
  txt_current_temp->setText(Q(TemperatureText(raw, storage::Shared())));
  const bool answered = raw != -1;
  if (!answered) {
    txt_mensaje->setText(kInstrumentSilentText);
  } else if (silent_) {
    txt_mensaje->setText(Q(CalibrationStateText(storage::Shared())));
  }
  silent_ = !answered;
  // The next reading a full interval after this one ended: a silent instrument holds
  // each reading for about a second, which must not take most of the window's time.
  if (Timer_temp.isActive())
    Timer_temp.start(answered ? kReadingIntervalMs : kSilentReadingIntervalMs);
}

void Frm_Factory::Cmd_temp_Click() {
  // The target as typed at the click, calibrated once no other work holds the port.
  const std::string target = txt_set_temp->text().toStdString();
  platform::WhenPortFree([this, target] { Calibrate(target); }, this);
}

void Frm_Factory::Calibrate(const std::string& target) {
  // No temperature read may run under the calibration's boxes or between its writes.
  const bool timer_was_on = Timer_temp.isActive();
  Timer_temp.stop();
  calibrating_ = true;
  Cmd_temp->setEnabled(false);
  setCursor(Qt::WaitCursor);
  repaint();
  std::optional<std::string> text;
  {
    // The record's writes hold the port: nothing of another window comes between them.
    platform::WaitHook hold([] {
      ui::DoEvents(false);
      return true;
    });
    text = calibration_->Calibrate(target);
  }
  unsetCursor();
  Cmd_temp->setEnabled(true);
  calibrating_ = false;
  if (text) txt_mensaje->setText(Q(*text));
  if (timer_was_on) Timer_temp.start();
}

void Frm_Factory::closeEvent(QCloseEvent* event) {
  if (calibrating_) {
    event->ignore();
    return;
  }
  ui::Form::closeEvent(event);
}

}  // namespace service
