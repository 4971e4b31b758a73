#include "reports/forms/frm_reportset.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "mainwindow/frm_main.h"
#include "platform/dialogs.h"
#include "reports/forms/report_controls.h"
#include "reports/report_window_rules.h"
#include "storage/report_settings.h"
#include "storage/shared_state.h"
#include "ui/controls.h"
#include "ui/events.h"
#include "ui/window_shape.h"

namespace reports {
namespace {

constexpr int kWidth = 520;

// The main window carries the check mark and is shown again after either button; it
// is always there once the program runs.
mainwindow::Frm_Main* MainWindow() {
  return ui::IsLoaded<mainwindow::Frm_Main>() ? &ui::Default<mainwindow::Frm_Main>() : nullptr;
}

int16_t Ticked(const QCheckBox& box) { return box.checkState() != Qt::Unchecked ? 1 : 0; }

}  // namespace

frm_reportset::frm_reportset() {
  setWindowTitle("[User Defined Report]");
  frm_reportset_frame = new QGroupBox(this);
  const int frame_height = ui::TwipsToPixels(kHeight) - 8;
  frm_reportset_frame->setGeometry(4, 4, kWidth - 8, frame_height);
  QWidget* f = frm_reportset_frame;

  Caption("Bin size (min):", f, 8, 10, 96);
  Cmb_binsize = new QComboBox(f);
  ui::MakeTypedList(*Cmb_binsize);
  Cmb_binsize->setGeometry(104, 10, 86, kControlHeight);
  auto* file_type = new QGroupBox(f);
  file_type->setGeometry(8, 38, 182, 52);
  const char* types[2] = {"Excel [.csv]", "Text [.txt]"};
  for (int i = 0; i < 2; ++i) {
    Option_report[i] = new QRadioButton(types[i], file_type);
    Option_report[i]->setGeometry(8, 4 + i * kOptionPitch, 170, kControlHeight);
  }
  Caption("spacer =", f, 8, 96, 60);
  txt_customspacer = new QLineEdit(f);
  txt_customspacer->setGeometry(70, 96, 44, kControlHeight);
  Chk_rawexport = new QCheckBox("Export Raw", f);
  Chk_rawexport->setGeometry(8, 126, 180, kControlHeight);
  Chk_autofile = new QCheckBox("Auto-Generate after measurement", f);
  Chk_autofile->setGeometry(8, frame_height - 30, 250, kControlHeight);

  auto* output = new QGroupBox("Output format:", f);
  output->setGeometry(200, 4, 136, 112);
  const char* layouts[4] = {"Rows", "List", "WArray", "CHArray"};
  for (int i = 0; i < 4; ++i) {
    Option_output[i] = new QRadioButton(layouts[i], output);
    Option_output[i]->setGeometry(8, 18 + i * kOptionPitch, 120, kControlHeight);
  }
  Chk_statistic = StatisticsBox(f, QRect(344, 4, kWidth - 8 - 352, 128));

  Cmd_generate = new QPushButton("Apply", f);
  Cmd_generate->setGeometry(268, frame_height - 40, 100, 28);
  Cmd_cancel = new QPushButton("Back to Default", f);
  Cmd_cancel->setGeometry(376, frame_height - 40, kWidth - 8 - 384, 28);
  for (QPushButton* b : {Cmd_generate, Cmd_cancel}) b->setAutoDefault(false);
  connect(Cmd_generate, &QPushButton::clicked, this, [this] { Cmd_generate_Click(); });
  connect(Cmd_cancel, &QPushButton::clicked, this, [this] { Cmd_cancel_Click(); });

  setFixedSize(kWidth, ui::TwipsToPixels(kHeight));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void frm_reportset::Form_Load() {
  auto& s = storage::Shared();
  setFixedHeight(ui::TwipsToPixels(kHeight));
  FillBinSizes(*Cmb_binsize);
  storage::GetListSeparator();
  txt_customspacer->setText(QString::fromStdString(s.List_Separator));
  storage::LoadReportConfig(1);
  AppendStoredBin(*Cmb_binsize);
  if (s.filetype >= 0 && s.filetype < 2) Option_report[s.filetype]->setChecked(true);
  txt_customspacer->setText(QString::fromStdString(s.spacer));
  if (s.out_format >= 0 && s.out_format < 4) Option_output[s.out_format]->setChecked(true);
  ShowStoredStatistics(Chk_statistic);
  if (s.rawexport == 1) {
    Chk_rawexport->setChecked(true);
  } else {
    s.rawexport = 0;
  }
  ui::RoundButton(*Cmd_generate);
  ui::RoundButton(*Cmd_cancel);
}

void frm_reportset::Cmd_generate_Click() {
  platform::Dialogs& dialogs = platform::GetDialogs();
  // Nothing is stored, in memory or in the file, from a box that does not hold a value.
  const std::optional<int16_t> bin = ParseSettingsBin(Cmb_binsize->currentText().toStdString());
  if (!bin) {
    dialogs.MsgBox(kBadBinMessage);
    return;
  }
  const std::string spacer = txt_customspacer->text().toStdString();
  if (!SeparatorStorable(spacer)) {
    dialogs.MsgBox(kBadSeparatorMessage);
    return;
  }
  auto& s = storage::Shared();
  s.Bin = *bin;
  if (Option_report[0]->isChecked()) s.filetype = 0;
  if (Option_report[1]->isChecked()) s.filetype = 1;
  s.spacer = spacer;
  for (int i = 0; i < 4; ++i)
    if (Option_output[i]->isChecked()) s.out_format = static_cast<int16_t>(i);
  s.stdError = Ticked(*Chk_statistic[2]);
  s.stdDev = Ticked(*Chk_statistic[3]);
  s.n = Ticked(*Chk_statistic[4]);
  s.rawexport = Ticked(*Chk_rawexport);
  // A file that could not be written is no applied configuration: its own box said so.
  if (!storage::SaveReportConfig(1)) return;
  dialogs.MsgBox("User Configuration Applied");
  mainwindow::Frm_Main* main = MainWindow();
  if (main) main->mn_userbin->setChecked(true);
  hide();
  if (main) main->Show();
}

void frm_reportset::Cmd_cancel_Click() {
  mainwindow::Frm_Main* main = MainWindow();
  if (main) main->mn_userbin->setChecked(false);
  storage::LoadReportConfig(0);
  storage::SaveReportConfig(0);
  platform::GetDialogs().MsgBox("Default Report Configuration Applied");
  hide();
  if (main) main->Show();
}

}  // namespace reports
