// The channel signal view of the loaded run on the plot picture: the raw files counted,
// a page of 50 bins loaded with its progress and drawn for every beam of the chosen
// well, the page bar, the well choice, the text export, and the page re-analysis drawn
// over the signal. Also builds the controls and wiring of the raw views and tracking.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "offline/forms/frm_offline.h"
#include "offline/page_reanalysis.h"
#include "offline/signal_view.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "platform/program_folder.h"
#include "ui/caption_fit.h"
#include "ui/events.h"
#include "ui/frame.h"
#include "ui/plot_paint.h"
#include "xlsx/number_text.h"

namespace offline {

namespace {

constexpr int kEnter = 13;
constexpr int32_t kProgressBlue = Rgb(0, 0, 255);
// The window breathes this often while a page loads (blocks of the page).
constexpr int kBlocksBetweenEvents = 5;
constexpr const char* kNoRawData = "Raw data files not found: nothing to show";

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void Frm_offline::BuildRawViews() {
  const auto place = [this](const char* name, QWidget* w) {
    w->setObjectName(name);
    placed_[name] = w;
  };
  frame_well = new ui::Frame("", PicPanel2);
  frame_well->setFlat(true);
  place("frame_well", frame_well);
  lbl_well = new QLabel("Well:", frame_well);
  lbl_beam = new QLabel("Beam:", frame_well);
  lbl_channel = new QLabel("Channel:", frame_well);
  place("lbl_well", lbl_well);
  place("lbl_beam", lbl_beam);
  place("lbl_channel", lbl_channel);
  for (QLabel* l : {lbl_well, lbl_beam, lbl_channel})
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Combofila->setParent(frame_well);
  Combocol->setParent(frame_well);
  txtsub->setParent(frame_well);
  lblcanal->setParent(frame_well);
  place("Combofila", Combofila);
  place("Combocol", Combocol);
  place("txtsub", txtsub);
  place("lblcanal", lblcanal);
  txtsub->setToolTip("Beam of the well");
  lblcanal->setToolTip("Channel shown");
  lblcanal->setIndent(6);
  for (QWidget* w : std::initializer_list<QWidget*>{Combofila, Combocol, txtsub, lblcanal})
    w->show();
  frame_well->hide();
  Txtpage->setReadOnly(true);
  // The page loads when the bar is let go, not at every step of a drag.
  scrollpage->setTracking(false);
  scrollpage->setMaximum(1);

  mn_bmptrack = mntrack->addAction("Export .BMP");
  mn_datatrack = mntrack->addAction("Export Data");

  connect(scrollpage, &QScrollBar::valueChanged, this, [this] { scrollpage_Change(); });
  connect(Combofila, &QComboBox::currentIndexChanged, this, [this] { Combofila_Click(); });
  connect(Combocol, &QComboBox::currentIndexChanged, this, [this] { Combocol_Click(); });
  connect(combogrup, &QComboBox::currentIndexChanged, this, [this] { combogrup_Click(); });
  connect(lstgrup, &QListWidget::itemDoubleClicked, this, [this] { lstgrup_DblClick(); });
  lstgrup->installEventFilter(this);
  connect(&Timer_play, &QTimer::timeout, this, [this] { Timer_play_Timer(); });
  connect(mn_bmptrack, &QAction::triggered, this, [this] { mn_bmptrack_Click(); });
  connect(mn_datatrack, &QAction::triggered, this, [this] { mn_datatrack_Click(); });
}

void Frm_offline::ArrangeRawViews() {
  for (QWidget* w : std::initializer_list<QWidget*>{lbl_well, lbl_beam, lbl_channel})
    ui::FitCaption(*w);
  // The picture check box takes the width its frame has left, starting further left
  // (to the frame's edge at most) when its caption needs it, so the caption shows.
  chk_bmp->setFont(QFont());
  const int right = frame_plotbutton->width() - 2;
  const int left = std::clamp(right - ui::CaptionWidth(*chk_bmp), std::min(2, chk_bmp->x()),
                              chk_bmp->x());
  chk_bmp->setGeometry(left, chk_bmp->y(), std::max(0, right - left), chk_bmp->height());
  ui::FitCaption(*chk_bmp);
  // While tracking the page box shows step numbers, wider than a page's.
  if (View_Mode == 6 || View_Mode == 99) {
    const int wide = Txtpage->fontMetrics().horizontalAdvance("000000/000000") + 12;
    const int room = PicPanel2->width() - Txtpage->x() - 4;
    Txtpage->resize(std::max(Txtpage->width(), std::min(wide, room)), Txtpage->height());
  }
}

bool Frm_offline::RawViewsAllowed() {
  if (!run_loaded_) return false;
  const std::string refusal = RawViewRefusal(run_.Run_RT_Buffer);
  if (refusal.empty()) return true;
  platform::GetDialogs().MsgBox(refusal);
  return false;
}

void Frm_offline::SetRawBusy(bool busy) {
  if (busy == raw_busy_) return;
  raw_busy_ = busy;
  if (busy) {
    busy_disabled_.clear();
    for (QWidget* w : std::initializer_list<QWidget*>{
             framecanal, frame_plotbutton, frame_well, scrollpage, Listpj, txt_search, cmd_lupa,
             Cmd_report, Cmd_main, Picreal, menu_bar, Txt_description}) {
      busy_disabled_.emplace_back(w, w->isEnabled());
      w->setEnabled(false);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    for (const auto& [w, enabled] : busy_disabled_) w->setEnabled(enabled);
    busy_disabled_.clear();
    QApplication::restoreOverrideCursor();
  }
}

// ---- The channel view ----

int Frm_offline::ChosenChannel() const {
  if (!run_loaded_) return -1;
  bool ok = false;
  const int channel = lblcanal->Caption().toInt(&ok);
  return ok && channel >= 0 && channel < storage::kChannelCount ? channel : -1;
}

void Frm_offline::SyncChosenChannel() {
  // A run loaded since the last choice shows its first well in the combos: the channel
  // follows them unless it already is a beam of that well.
  const std::string row = Combofila->currentText().toStdString();
  const std::string col = Combocol->currentText().toStdString();
  const int first_beam = ChooseWell(run_, row, col, "0").channel;
  const int chosen = ChosenChannel();
  if (chosen >= 0 && first_beam >= 0 &&
      run_.Run_Channel_Well[static_cast<size_t>(chosen)] ==
          run_.Run_Channel_Well[static_cast<size_t>(first_beam)])
    return;
  int channel = ChooseWell(run_, row, col, txtsub->text().toStdString()).channel;
  if (channel < 0) {
    txtsub->setText("0");
    channel = first_beam;
  }
  lblcanal->SetCaption(channel < 0 ? QString() : QString::number(channel));
}

void Frm_offline::cmdchannels_Click() {
  if (raw_busy_ || !RawViewsAllowed()) return;
  cmdchannels->setText("[Channel Signal]");
  Cmd_leegroups->setText("Group Activity");
  View_Mode = 1;
  for (QWidget* w : std::initializer_list<QWidget*>{lstgrup_plot, frame_plotbutton, Frame_bisize})
    w->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{combogrup, lstgrup, Pic_status, fmranalizar})
    w->show();
  ui::DoEvents();
  SyncChosenChannel();
  FillGroupList();
  CountSignalPages();
  if (raw_files_.files < 1 || raw_files_.records < 1) {
    Picreal->Cls();
    platform::GetDialogs().MsgBox(kNoRawData);
    return;
  }
  DrawSignalPage();
  ShowPageControls(true);
}

void Frm_offline::CountSignalPages() {
  raw_run_ = run_.Chosen_Run_Path;
  raw_files_ = CountRawFiles(raw_run_, run_.Run_RT_Buffer);
  raw_page_ = RawPage{};
  // The same damage is told once per loaded run, not at every opening of the view.
  if (!raw_files_.problem.empty() && problems_shown_for_ != raw_run_) {
    problems_shown_for_ = raw_run_;
    platform::GetDialogs().MsgBox(raw_files_.problem);
  }
  Current_Page = 1;
  Page_Count = raw_files_.pages;
  Txtpage->setText(Text(PageText(1, Page_Count)));
  {
    const QSignalBlocker quiet(scrollpage);
    scrollpage->setMaximum(std::max(1, Page_Count));
    scrollpage->setValue(1);
  }
  LoadSignalPage(1);
}

void Frm_offline::ShowPageControls(bool visible) {
  for (QWidget* w : std::initializer_list<QWidget*>{scrollpage, Label_page, Txtpage, frame_well})
    w->setVisible(visible);
}

void Frm_offline::LoadSignalPage(int page) {
  Pic_status->Scale(0, 0, 100, 100);
  Pic_status->Cls();
  if (raw_files_.records < 1) return;
  SetRawBusy(true);
  raw_page_ = LoadRawPage(raw_run_, run_.Run_RT_Buffer, raw_files_, page, [this](int done) {
    Pic_status->Box(0, 0, 100.0 * done / kPageBlocks, 100, kProgressBlue, true);
    if (done % kBlocksBetweenEvents == 0) {
      Pic_status->repaint();
      ui::DoEvents();
    }
  });
  SetRawBusy(false);
}

void Frm_offline::DrawSignalPage() {
  const std::vector<int> beams = BeamList(run_, ChosenChannel());
  PaintPicture(SignalPagePicture(raw_page_, beams, BeamColours(run_.Run_Max_Beam)));
}

void Frm_offline::scrollpage_Change() {
  if (raw_busy_) return;
  if (View_Mode != 1 || raw_run_ != run_.Chosen_Run_Path) {
    const QSignalBlocker quiet(scrollpage);
    scrollpage->setValue(Current_Page);
    return;
  }
  const int page = scrollpage->value();
  Txtpage->setText(Text(PageText(page, Page_Count)));
  Current_Page = page;
  LoadSignalPage(page);
  DrawSignalPage();
}

// ---- The well choice ----

void Frm_offline::Combofila_Click() {
  if (!run_loaded_) return;
  const WellChoice choice =
      ChooseWell(run_, Combofila->currentText().toStdString(),
                 Combocol->currentText().toStdString(), txtsub->text().toStdString());
  if (!choice.message.empty()) {
    platform::GetDialogs().MsgBox(choice.message);
    ShowChosenWell();
  }
  if (choice.channel < 0) return;
  lblcanal->SetCaption(QString::number(choice.channel));
}

void Frm_offline::ShowChosenWell() {
  // A refused choice leaves the channel shown: the controls go back to naming it.
  const ChannelWell well = WellOfChannel(run_, ChosenChannel());
  if (well.row_index < 0) return;
  const QSignalBlocker rows(Combofila), cols(Combocol);
  Combofila->setCurrentIndex(well.row_index);
  Combocol->setCurrentIndex(well.col_index);
  txtsub->setText(QString::number(well.beam));
}

void Frm_offline::Combocol_Click() { Combofila_Click(); }

void Frm_offline::combogrup_Click() {
  lstgrup->clear();
  FillGroupList();
}

void Frm_offline::FillGroupList() {
  if (!run_loaded_) return;
  const std::vector<std::string> labels =
      GroupChannelLabels(RunGroupModel(run_), GroupOfItem(combogrup->currentText().toStdString()));
  // A list that already shows the group keeps its selection.
  bool same = lstgrup->count() == static_cast<int>(labels.size());
  for (int i = 0; same && i < lstgrup->count(); ++i)
    same = lstgrup->item(i)->text().toStdString() == labels[static_cast<size_t>(i)];
  if (same) return;
  lstgrup->clear();
  for (const std::string& label : labels) lstgrup->addItem(Text(label));
}

void Frm_offline::lstgrup_KeyPress(int key) {
  if (key == kEnter && lstgrup->currentItem() && !lstgrup->currentItem()->text().isEmpty())
    lstgrup_DblClick();
}

void Frm_offline::lstgrup_DblClick() {
  const QListWidgetItem* item = lstgrup->currentItem();
  if (!item || !run_loaded_ || raw_busy_) return;
  const WellIndexes well = WellOfListEntry(run_, item->text().toStdString());
  if (!well.message.empty()) {
    platform::GetDialogs().MsgBox(well.message);
    return;
  }
  txtsub->setText("0");
  {
    // Both combos move, then the choice is made once from both.
    const QSignalBlocker rows(Combofila), cols(Combocol);
    Combofila->setCurrentIndex(well.row_index);
    Combocol->setCurrentIndex(well.col_index);
  }
  Combofila_Click();
  if (View_Mode == 0) {
    Cmd_leegroups_Click();
  } else if (View_Mode == 1) {
    cmdchannels_Click();
  }
}

// ---- Text export ----

void Frm_offline::asciiexporta_Click() {
  if (View_Mode != 1 || raw_run_ != run_.Chosen_Run_Path || raw_files_.files < 1 ||
      raw_files_.records < 1)
    return;
  // The labels are those of the channel exported, whatever the combos show.
  const int channel = ChosenChannel();
  const DataFileHeader header{run_.Run_Project_Name, run_.Chosen_Run_Path.string(),
                              WellLabel(run_, channel), Txtpage->text().toStdString()};
  const std::string message =
      ExportDataFile(platform::ProgramFolder(), header, raw_page_, BeamList(run_, channel));
  if (!message.empty()) platform::GetDialogs().MsgBox(message);
}

// ---- Re-analysis ----

PlotTextSize Frm_offline::AnalysisTextSize() const {
  if (Picreal->width() <= 0 || Picreal->height() <= 0) return {};
  const QFontMetricsF metrics(Picreal->Font());
  const PlotScale& s = kSignalPageScale;
  return {metrics.height() * (s.top - s.bottom) / Picreal->height(),
          metrics.horizontalAdvance(QLatin1Char('0')) * (s.right - s.left) / Picreal->width()};
}

void Frm_offline::Cmd_analyze_Click() {
  if (raw_busy_ || !run_loaded_) return;
  const ThresholdChoice threshold = ReadThresholdBox(frmtxt_threshold->text().toStdString());
  if (threshold.replaced)
    frmtxt_threshold->setText(
        Text(ThresholdBoxText(threshold.value, xlsx::UserNumberLocale().decimal_point)));
  const int method = AnalysisMethod(cmb_modeanalisis->currentIndex());
  cmdchannels->setText("[Channel Signal]");
  Cmd_leegroups->setText("Group Activity");
  View_Mode = 1;
  if (raw_run_ != run_.Chosen_Run_Path || raw_files_.files < 1 || raw_files_.records < 1) return;
  const std::vector<int> beams = BeamList(run_, ChosenChannel());
  const std::vector<int32_t> colours = BeamColours(run_.Run_Max_Beam);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const PageAnalysis analysis = AnalyzePage(raw_page_, beams, run_.Chosen_Run_Path / "counts.bin",
                                            threshold.value, method);
  QApplication::restoreOverrideCursor();
  // The page and the analysis in one drawing: a second analysis does not draw over the
  // first.
  PlotPicture picture = SignalPagePicture(raw_page_, beams, colours);
  picture.plan.Append(PageAnalysisPlan(analysis, colours, AnalysisTextSize()));
  PaintPicture(picture);
}

}  // namespace offline
