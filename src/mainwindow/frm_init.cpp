#include "mainwindow/frm_init.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "mainwindow/connection_glue.h"
#include "mainwindow/frm_main.h"
#include "ui/program_end.h"
#include "mainwindow/startup.h"
#include "offline/forms/frm_offline.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "setup/forms/frm_setup.h"
#include "storage/shared_state.h"
#include "ui/events.h"
#include "ui/window_shape.h"

namespace mainwindow {
namespace {
constexpr const char* kMakerWebPage = "https://www.quenlar.example";
}

Frm_Init::Frm_Init() {
  setWindowFlag(Qt::FramelessWindowHint, true);
  setWindowTitle("Quenlar");
  setFixedSize(480, 420);
  Image1 = new QLabel(this);
  Image1->setGeometry(20, 16, 440, 40);
  Image1->setAlignment(Qt::AlignCenter);
  Image1->setText("<b><font size=6>QUENLAR</font></b>");
  Image1->installEventFilter(this);
  Label1 = new QLabel(this);
  Label1->setGeometry(20, 58, 440, 20);
  Label1->setAlignment(Qt::AlignCenter);
  Label1->installEventFilter(this);
  // One column of four buttons of one size, in tab order.
  const int top = 92;
  cmd_option1 = new QPushButton("Setup a New Project", this);
  cmd_option2 = new QPushButton("Run Latest Project", this);
  cmd_option3 = new QPushButton("Analyze recorded experiments", this);
  cmd_option4 = new QPushButton("EXIT", this);
  int i = 0;
  for (QPushButton* b : {cmd_option1, cmd_option2, cmd_option3, cmd_option4}) {
    b->setAutoDefault(false);
    b->setGeometry(90, top + i * 62, 300, 52);
    ++i;
  }
  LblNews = new QLabel("Equipment Status = unknown", this);
  LblNews->setGeometry(20, 350, 440, 22);
  LblNews->setAlignment(Qt::AlignCenter);
  Label_version = new QLabel(this);
  Label_version->setGeometry(20, 380, 440, 22);
  Label_version->setAlignment(Qt::AlignCenter);
  connect(cmd_option1, &QPushButton::clicked, this, [this] { cmd_option1_Click(); });
  connect(cmd_option2, &QPushButton::clicked, this, [this] { cmd_option2_Click(); });
  connect(cmd_option3, &QPushButton::clicked, this, [this] { cmd_option3_Click(); });
  connect(cmd_option4, &QPushButton::clicked, this, [this] { cmd_option4_Click(); });
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void Frm_Init::Form_Load() {
  ui::RoundButton(*cmd_option1);
  ui::RoundButton(*cmd_option2);
  ui::RoundButton(*cmd_option3);
  ui::RoundButton(*cmd_option4);
  storage::Shared().Connected = false;
  Label1->setText("Microplate activity monitor");
  Label_version->setText(QString::fromUtf8(kVersionBanner.data(), int(kVersionBanner.size())));
  ui::Default<Frm_Main>().hide();
}

void Frm_Init::Form_Activate() {
  const auto& s = storage::Shared();
  if (s.Connected) {
    SetNews(ConnectedStatusText(s.Serial_COM), true);
  } else if (news_says_connected_) {
    // The connection shown has failed or been closed since: "Connected" would report a
    // failure as success.
    SetNews(std::string(kNotConnectedStatus));
  }
}

void Frm_Init::SetNews(const std::string& text, bool says_connected) {
  news_says_connected_ = says_connected;
  LblNews->setText(QString::fromStdString(text));
  LblNews->repaint();
}

void Frm_Init::OpenSetupWindow() {
  if (storage::Shared().Acq_State != 0) {
    platform::GetDialogs().MsgBox(kRunningRefusal);
    return;
  }
  hide();
  ui::Default<setup::Frm_setup>().Show();
}

void Frm_Init::OpenMainWindow() {
  hide();
  auto& main = ui::Default<Frm_Main>();
  main.Show();
  if (!storage::Shared().Connected) main.cmd_connect_Click();
}

void Frm_Init::OpenOfflineWindow() {
  hide();
  ui::Default<offline::Frm_offline>().Show();
}

void Frm_Init::QuitProgram() {
  if (storage::Shared().Acq_State != 0) {
    platform::GetDialogs().MsgBox(kRunningRefusal);
    return;
  }
  if (!platform::GetDialogs().AskYesNo("Sure to Quit?")) return;
  if (storage::Shared().Connected) ClosePort();
  ui::DoEvents();
  platform::Sleep(100);
  ui::EndProgram(0);
}

void Frm_Init::Image1_DblClick() {
  platform::ShellOrSay(std::string("explorer ") + kMakerWebPage,
                       std::string("No program could open the page:\r\n") + kMakerWebPage);
}

void Frm_Init::closeEvent(QCloseEvent* event) { event->ignore(); }

bool Frm_Init::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick && (watched == Image1 || watched == Label1)) {
    Image1_DblClick();
    return true;
  }
  return ui::Form::eventFilter(watched, event);
}

}  // namespace mainwindow
