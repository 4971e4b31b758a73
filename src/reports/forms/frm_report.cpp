#include "reports/forms/frm_report.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <filesystem>

#include "storage/run_files.h"
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

constexpr int kWidth = 680;
constexpr int kMenuHeight = 22;
constexpr int kFrameTop = 24;
// The content frame's own height: whole in the shortest window (after Cancel).
constexpr int kFrameHeight = 204;
// The raw-data frame lies below the window's first height, so the report choices show
// alone until the frame is opened; the window opened for it holds the frame whole.
constexpr int kRunFrameTop = frm_report::kLoadedHeight / ui::kTwipsPerPixel + 2;
constexpr int kRunFrameHeight = 130;
static_assert(kRunFrameTop >= kFrameTop + kFrameHeight + 6);
static_assert(kRunFrameTop + kRunFrameHeight <= frm_report::kRawFrameHeight / ui::kTwipsPerPixel);

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// The main window's menu item, when the main window is there (it always is once the
// program has started; a window tested on its own has none).
bool UserBinChecked() {
  return ui::IsLoaded<mainwindow::Frm_Main>() &&
         ui::Default<mainwindow::Frm_Main>().mn_userbin->isChecked();
}

}  // namespace

frm_report::frm_report() {
  setWindowTitle("Report Output");
  menu_bar = new QMenuBar(this);
  menu_bar->setGeometry(0, 0, kWidth, kMenuHeight);
  QMenu* advanced = menu_bar->addMenu("Advanced");
  mnadvance = advanced->menuAction();
  mnrecalculate = advanced->addAction("Analyze Raw Data");
  mncircadian = advanced->addAction("1 file/well Report");

  frm_report_frame = new QGroupBox("Report", this);
  frm_report_frame->setGeometry(4, kFrameTop, kWidth - 8, kFrameHeight);
  QWidget* f = frm_report_frame;
  Txt_inputfile = new QLineEdit(f);
  Txt_inputfile->setGeometry(8, 18, kWidth - 24, kControlHeight);

  // Left column: bin, basal run, file type, separator.
  Caption("Bin size (min):", f, 8, 46, 96);
  Cmb_binsize = new QComboBox(f);
  ui::MakeTypedList(*Cmb_binsize);
  Cmb_binsize->setGeometry(104, 46, 108, kControlHeight);
  Caption("Basal Meassure:", f, 8, 72, 94);
  cmbbasal = new QComboBox(f);
  cmbbasal->setGeometry(104, 72, 108, kControlHeight);
  auto* file_type = new QGroupBox(f);
  file_type->setGeometry(8, 98, 204, 74);
  const char* types[3] = {"[.csv]", "Text [.txt]", "Excel [.xlsx]"};
  for (int i = 0; i < 3; ++i) {
    Option_report[i] = new QRadioButton(types[i], file_type);
    Option_report[i]->setGeometry(8, 4 + i * kOptionPitch, 190, kControlHeight);
  }
  Caption("spacer =", f, 8, 176, 60);
  txt_customspacer = new QLineEdit(f);
  txt_customspacer->setGeometry(70, 176, 44, kControlHeight);

  // Middle column: the layout; right column: the statistics columns.
  auto* output = new QGroupBox("Output format:", f);
  output->setGeometry(220, 44, 284, 128);
  const char* layouts[5] = {"Rows", "List", "W.Array", "CH.Array",
                            "Histogram Body_bends (experimental)"};
  for (int i = 0; i < 5; ++i) {
    Option_output[i] = new QRadioButton(layouts[i], output);
    Option_output[i]->setGeometry(8, 18 + i * kOptionPitch, 272, kControlHeight);
  }
  Chk_statistic = StatisticsBox(f, QRect(510, 44, kWidth - 8 - 518, 128));

  Cmd_generate = new QPushButton("Generate...", f);
  Cmd_generate->setGeometry(228, 174, 124, 26);
  Cmd_cancel = new QPushButton("Cancel", f);
  Cmd_cancel->setGeometry(360, 174, 100, 26);
  chk_autoreport = new QCheckBox("Autoreport", f);
  chk_autoreport->setGeometry(510, 176, 120, kControlHeight);

  Frame_run = new QGroupBox("Raw data processing:", this);
  Frame_run->setGeometry(4, kRunFrameTop, kWidth - 8, kRunFrameHeight);
  QWidget* r = Frame_run;
  Caption("Organism:", r, 8, 18, 62);
  Cmb_organism = new QComboBox(r);
  Cmb_organism->setGeometry(72, 18, 150, kControlHeight);
  Caption("Method:", r, 232, 18, 52);
  Cmb_dspmethod = new QComboBox(r);
  Cmb_dspmethod->setGeometry(286, 18, kWidth - 8 - 294, kControlHeight);
  Caption("Threshold:", r, 8, 46, 62);
  frmtxt_threshold = new QLineEdit(r);
  frmtxt_threshold->setGeometry(72, 46, 50, kControlHeight);
  Caption("SNR", r, 128, 46, 40);
  Caption("Analyze:", r, 232, 46, 52);
  frmtxt_datalapse = new QLineEdit(r);
  frmtxt_datalapse->setGeometry(286, 46, 50, kControlHeight);
  Caption("hs", r, 342, 46, 30);
  Chk_replacedata = new QCheckBox("Replace old data", r);
  Chk_replacedata->setGeometry(8, 74, 160, kControlHeight);
  Chk_rawexport = new QCheckBox("Export Raw", r);
  Chk_rawexport->setGeometry(232, 74, 140, kControlHeight);
  cmd_runframe = new QPushButton("RUN", r);
  cmd_runframe->setGeometry(8, 98, 80, 26);
  cmd_stopframe = new QPushButton("STOP", r);
  cmd_stopframe->setGeometry(96, 98, 80, 26);
  frmlbl_status = new QLabel("Block xx/xx", r);
  frmlbl_status->setGeometry(190, 100, 240, kControlHeight);
  frmlbl_status->hide();  // until a re-analysis runs

  for (QPushButton* b : {Cmd_generate, Cmd_cancel, cmd_runframe, cmd_stopframe})
    b->setAutoDefault(false);
  frmtxt_threshold->installEventFilter(this);

  Timerchain.setSingleShot(true);
  connect(&Timerchain, &QTimer::timeout, this, [this] { Timerchain_Timer(); });
  Timerreanalysis.setInterval(kReanalysisPollMs);
  connect(&Timerreanalysis, &QTimer::timeout, this, [this] { Timerreanalysis_Timer(); });
  // The program ends without deleting its windows: an unfinished re-analysis would keep
  // its workers running into the exit and leave its marks files cut mid-line.
  connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
          [this] { DropReanalysis(); });
  connect(Cmd_generate, &QPushButton::clicked, this, [this] { Cmd_generate_Click(); });
  connect(Cmd_cancel, &QPushButton::clicked, this, [this] { Cmd_cancel_Click(); });
  connect(cmd_runframe, &QPushButton::clicked, this, [this] { cmd_runframe_Click(); });
  connect(cmd_stopframe, &QPushButton::clicked, this, [this] { cmd_stopframe_Click(); });
  connect(mnrecalculate, &QAction::triggered, this, [this] { mnrecalculate_Click(); });
  connect(mncircadian, &QAction::triggered, this, [this] { mncircadian_Click(); });
  for (int i = 0; i < 3; ++i) {
    connect(Option_report[i], &QRadioButton::toggled, this, [this, i](bool on) {
      if (on) Option_report_Click(i);
    });
  }
  connect(Cmb_organism, &QComboBox::currentIndexChanged, this, [this] { Cmb_organism_Click(); });
  connect(Chk_rawexport, &QCheckBox::toggled, this, [this] { Chk_rawexport_Click(); });
  connect(Chk_replacedata, &QCheckBox::toggled, this, [this] { Chk_replacedata_Click(); });

  setFixedWidth(kWidth);
  SetHeightTwips(kLoadedHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(kWidth / 2, height() / 2));
}

void frm_report::SetHeightTwips(int twips) {
  const int h = ui::TwipsToPixels(twips);
  setFixedHeight(h);
  // The frame follows a shorter window so its clipped edge is a border, not a cut.
  frm_report_frame->setFixedHeight(std::min(kFrameHeight, h - kFrameTop - 4));
}

void frm_report::Form_Load() {
  auto& s = storage::Shared();
  SetHeightTwips(kLoadedHeight);
  FillBinSizes(*Cmb_binsize);
  storage::GetListSeparator();
  txt_customspacer->setText(Q(s.List_Separator));
  Cmb_dspmethod->clear();
  for (const char* method : kDetectionMethods) Cmb_dspmethod->addItem(method);
  Cmb_dspmethod->setEnabled(true);
  Cmb_dspmethod->setCurrentIndex(0);
  Cmb_organism->clear();
  for (const OrganismRule& o : kOrganisms) Cmb_organism->addItem(o.name);
  Cmb_organism->setEnabled(true);
  Cmb_organism->setCurrentIndex(0);

  storage::LoadReportConfig(UserBinChecked() ? 1 : 0);

  AppendStoredBin(*Cmb_binsize);
  if (s.filetype >= 0 && s.filetype < 3) Option_report[s.filetype]->setChecked(true);
  txt_customspacer->setText(Q(s.spacer));
  if (s.out_format >= 0 && s.out_format < 5) Option_output[s.out_format]->setChecked(true);
  ShowStoredStatistics(Chk_statistic);
  // The method first: organisms 2 and 3 then force their own.
  if (s.method >= 0 && s.method < Cmb_dspmethod->count()) Cmb_dspmethod->setCurrentIndex(s.method);
  if (s.organism >= 0 && s.organism < Cmb_organism->count())
    Cmb_organism->setCurrentIndex(s.organism);
  frmtxt_threshold->setText(Q(ThresholdText(s.Report_threshold)));
  Chk_rawexport->setChecked(s.rawexport == 1);
  engine.SettingOverride = false;
  engine.SettingText.clear();

  for (QPushButton* b : {Cmd_generate, Cmd_cancel, cmd_runframe, cmd_stopframe})
    ui::RoundButton(*b);
}

void frm_report::Form_Unload() {
  Timerchain.stop();
  DropReanalysis();
  frm_report_frame->setTitle("Report");
  if (ui::IsLoaded<mainwindow::Frm_Main>()) {
    ui::Default<mainwindow::Frm_Main>().combo_minutes->setCurrentText(
        QString::number(storage::Shared().Bin));
  }
  cmbbasal->clear();
  if (AutoReportRunning()) {
    chain_step_ = ChainStep::kIdle;
    emit AutoReportDone();
  }
}

// ---- The rules between the controls ----

void frm_report::Cmb_organism_Click() {
  const int organism = Cmb_organism->currentIndex();
  if (organism < 0 || organism >= static_cast<int>(kOrganisms.size())) return;
  const OrganismRule& rule = kOrganisms[static_cast<size_t>(organism)];
  frmtxt_threshold->setText(rule.threshold_text);
  if (rule.method >= 0) Cmb_dspmethod->setCurrentIndex(rule.method);
}

void frm_report::frmtxt_threshold_LostFocus() {
  const auto reset = CheckedThreshold(S(frmtxt_threshold->text()), Cmb_organism->currentIndex());
  if (!reset) return;
  frmtxt_threshold->setText(Q(*reset));
  frmtxt_threshold->repaint();
}

void frm_report::Option_report_Click(int index) {
  txt_customspacer->setText(index == 0 ? Q(storage::Shared().List_Separator) : QString(" "));
}

void frm_report::Chk_rawexport_Click() {
  if (!Chk_rawexport->isChecked()) return;
  Chk_replacedata->setChecked(false);
  // Hours enough for the longest run (32000 minutes).
  frmtxt_datalapse->setText("533");
}

void frm_report::Chk_replacedata_Click() {
  frmtxt_datalapse->setEnabled(!Chk_replacedata->isChecked());
}

void frm_report::closeEvent(QCloseEvent* event) {
  if (ReanalysisRunning()) {
    event->ignore();
    return;
  }
  ui::Form::closeEvent(event);
}

bool frm_report::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frmtxt_threshold && event->type() == QEvent::FocusOut)
    frmtxt_threshold_LostFocus();
  return ui::Form::eventFilter(watched, event);
}

// ---- Report, cancel and the raw-data tools ----

ReportChoices frm_report::ReadChoices() const {
  ReportChoices c;
  c.input_folder = S(Txt_inputfile->text());
  c.bin_text = S(Cmb_binsize->currentText());
  c.basal_text = S(cmbbasal->currentText());
  int option = 0;
  for (int i = 0; i < 5; ++i)
    if (Option_output[i]->isChecked()) option = i;
  c.option = static_cast<OutputOption>(option);
  c.report_type = Option_report[2]->isChecked()   ? ReportType::kXlsx
                  : Option_report[0]->isChecked() ? ReportType::kCsv
                                                  : ReportType::kText;
  c.separator = S(txt_customspacer->text());
  c.std_error = Chk_statistic[2]->isChecked();
  c.std_dev = Chk_statistic[3]->isChecked();
  c.well_count = Chk_statistic[4]->isChecked();
  c.autoreport = chk_autoreport->isChecked();
  return c;
}

void frm_report::Cmd_generate_Click() {
  ReportChoices choices = ReadChoices();
  const ReportStatus status = engine.Generate(choices);
  Cmb_binsize->setCurrentText(Q(choices.bin_text));
  chain_reported_ = status == ReportStatus::kWritten;
}

void frm_report::Cmd_cancel_Click() {
  cmbbasal->clear();
  hide();
  SetHeightTwips(kCancelledHeight);
}

void frm_report::mnrecalculate_Click() {
  if (storage::Shared().Acq_State != 0) return;
  std::error_code ec;
  const std::filesystem::path first =
      std::filesystem::path(S(Txt_inputfile->text())) / storage::RawFileName(0);
  if (std::filesystem::is_regular_file(first, ec)) {
    SetHeightTwips(kRawFrameHeight);
  } else {
    platform::GetDialogs().MsgBox("Real Time Data Not Found");
  }
}

void frm_report::cmd_runframe_Click() {
  if (ReanalysisRunning()) return;
  frmlbl_status->show();
  StopAnalysis = false;
  ReanalysisRequest request;
  request.run_folder = S(Txt_inputfile->text());
  request.organism = Cmb_organism->currentIndex();
  request.method = Cmb_dspmethod->currentIndex();
  request.organism_text = S(Cmb_organism->currentText());
  request.method_text = S(Cmb_dspmethod->currentText());
  request.threshold_text = S(frmtxt_threshold->text());
  request.lapse_text = S(frmtxt_datalapse->text());
  request.replace_data = Chk_replacedata->isChecked();
  request.raw_export = Chk_rawexport->isChecked();
  ReportChoices choices = ReadChoices();
  reanalysis_ = GetRawDataTools().StartReanalysis(request, choices);
  Cmb_binsize->setCurrentText(Q(choices.bin_text));
  frmtxt_datalapse->setText(Q(request.lapse_text));
  if (!reanalysis_) return;
  reanalysis_replaces_ = request.replace_data;
  frmlbl_status->setText(Q(BlockStatusText(0, reanalysis_->BlockCount())));
  ShowReanalysisRunning(true);
  Timerreanalysis.start();
}

void frm_report::cmd_stopframe_Click() {
  StopAnalysis = true;
  if (reanalysis_) reanalysis_->Stop();
}

void frm_report::Timerreanalysis_Timer() {
  if (!reanalysis_) {
    Timerreanalysis.stop();
    return;
  }
  const std::string progress = BlockStatusText(reanalysis_->BlocksDone(), reanalysis_->BlockCount());
  frmlbl_status->setText(Q(progress));
  if (!reanalysis_->Analysed()) return;
  Timerreanalysis.stop();
  if (reanalysis_replaces_ && !StopAnalysis) {
    frmlbl_status->setText("Saving...");
    frmlbl_status->repaint();
  }
  finishing_ = true;
  reanalysis_->Finish();
  finishing_ = false;
  reanalysis_.reset();
  frmlbl_status->setText(Q(progress));
  ShowReanalysisRunning(false);
  if (chain_step_ == ChainStep::kRawWait) {
    repaint();
    ui::DoEvents();
    ArmChain(ChainStep::kFinish, 500);
  }
}

void frm_report::DropReanalysis() {
  // A re-analysis not finished writes nothing: its workers stop here. One finishing
  // (behind its message box) is dropped by its own handler.
  Timerreanalysis.stop();
  if (!finishing_) reanalysis_.reset();
}

void frm_report::ShowReanalysisRunning(bool running) {
  frm_report_frame->setEnabled(!running && !AutoReportRunning());
  mnadvance->setEnabled(!running);
  for (QWidget* control : Frame_run->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (control != cmd_stopframe && control != frmlbl_status) control->setEnabled(!running);
  // The lapse box follows "Replace old data" again.
  if (!running) Chk_replacedata_Click();
}

void frm_report::mncircadian_Click() {
  CircadianRequest request;
  request.run_folder = S(Txt_inputfile->text());
  request.bin_text = S(Cmb_binsize->currentText());
  GetRawDataTools().ExportCircadian(request);
  Cmb_binsize->setCurrentText(Q(request.bin_text));
}

// ---- The automatic chain ----

void frm_report::Form_Activate() {
  if (!chk_autoreport->isChecked() || AutoReportRunning()) return;
  chain_step_ = ChainStep::kAfterReport;
  frm_report_frame->setEnabled(false);
  Cmd_generate_Click();
  ArmChain(ChainStep::kAfterReport, 1500);
}

void frm_report::ArmChain(ChainStep next, int ms) {
  chain_step_ = next;
  Timerchain.start(ms);
}

void frm_report::Timerchain_Timer() {
  Timerchain.stop();
  switch (chain_step_) {
    case ChainStep::kAfterReport:
      repaint();
      ui::DoEvents();
      // Nothing to re-analyse when the first report could not be made, nor when the
      // raw blocks do not cover the run (none were saved, or some are missing): a
      // re-analysis of part of a run would replace a whole report with a partial one.
      // The first report stays, and nothing needs saying.
      if (storage::Shared().rawexport == 1 && chain_reported_ &&
          RawBlocksComplete(std::filesystem::path(S(Txt_inputfile->text())))) {
        mnrecalculate_Click();
        repaint();
        ui::DoEvents();
        ArmChain(ChainStep::kRawPass, 1000);
      } else {
        FinishChain();
      }
      break;
    case ChainStep::kRawPass:
      RunRawPass();
      // A re-analysis under way moves the chain on when it ends.
      if (ReanalysisRunning()) {
        chain_step_ = ChainStep::kRawWait;
        break;
      }
      repaint();
      ui::DoEvents();
      ArmChain(ChainStep::kFinish, 500);
      break;
    case ChainStep::kFinish:
      FinishChain();
      break;
    case ChainStep::kRawWait:
    case ChainStep::kIdle:
      break;
  }
}

void frm_report::RunRawPass() {
  storage::RunAnalysis run;
  if (!storage::ReadRunAnalysis(std::filesystem::path(S(Txt_inputfile->text())), run)) return;
  const ChainAnalysis analysis = ChainAnalysisFor(run);
  Cmb_organism->setCurrentIndex(analysis.organism);
  Cmb_dspmethod->setCurrentIndex(analysis.method);
  frmtxt_threshold->setText(Q(analysis.threshold_text));
  if (Chk_rawexport->isChecked()) {
    Chk_rawexport_Click();
  } else {
    Chk_rawexport->setChecked(true);
  }
  cmd_runframe_Click();
}

void frm_report::FinishChain() {
  if (chain_reported_) platform::GetDialogs().MsgBox("Report File AutoGenerated");
  chk_autoreport->setChecked(false);
  frm_report_frame->setEnabled(true);
  hide();
  chain_step_ = ChainStep::kIdle;
  emit AutoReportDone();
}

}  // namespace reports
