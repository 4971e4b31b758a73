// The browser window's controls, menus and their wiring, its load and unload, the
// header labels, and the commands of the views built on this window.
#include "offline/forms/frm_offline.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/controls.h"
#include "mainwindow/frm_init.h"
#include "ui/program_end.h"
#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "ui/fit_button.h"
#include "ui/frame.h"
#include "ui/window_shape.h"
#include "xlsx/number_text.h"

namespace offline {

namespace {

constexpr int kEnter = 13;
constexpr int32_t kHoverGreen = Rgb(0, 255, 0);
constexpr int32_t kHeaderBlue = Rgb(0, 0, 255);

}  // namespace

Frm_offline::Frm_offline() : catalogue_(platform::ProgramFolder()) {
  setWindowTitle("Offline");
  // Like the main window, it opens maximised; restored it takes this size.
  resize(1024, 720);
  setWindowState(Qt::WindowMaximized);
  BuildMenus();
  BuildControls();
  ConnectHandlers();
  BuildRawViews();
  Timer_button.setInterval(1000);
  Timer_play.setInterval(20);
}

Frm_offline::~Frm_offline() = default;

void Frm_offline::BuildMenus() {
  menu_bar = new QMenuBar(this);
  mnwatching = menu_bar->addMenu("Watching Folders");
  const WatchedFolders captions = DefaultFolderCaptions();
  for (int i = 0; i < kWatchedFolders; ++i)
    Txtfolder[static_cast<size_t>(i)] =
        mnwatching->addAction(QString::fromStdString(captions[static_cast<size_t>(i)]));

  mnrename = new QMenu(this);
  BuildListMenu();
  mnexporta = new QMenu(this);
  bmpexporta = mnexporta->addAction("Export to BMP...");
  asciiexporta = mnexporta->addAction("Export to ASCII...");
  mnline = new QMenu(this);
  mn_linebmp = mnline->addAction("Export .BMP");
  mnrelativize = new QMenu(this);
  mnrel0 = mnrelativize->addAction("Relativize to Time0");
  mnrel0->setCheckable(true);
  mn_jointbmp = mnrelativize->addAction("Export .BMP");
  mn_jointexport = mnrelativize->addAction("Export Data");
  Mnplate = new QMenu(this);
  mn_platebmp = Mnplate->addAction("Export .BMP");
  mn_plateedit = Mnplate->addAction("Edit Plate Groups");
  mntrack = new QMenu(this);
}

void Frm_offline::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->setMenuBar(menu_bar);
  client = new QWidget(this);
  outer->addWidget(client, 1);

  const auto place = [this](const char* name, auto* widget) {
    widget->setObjectName(name);
    placed_[name] = widget;
    return widget;
  };
  const auto button = [&](const char* name, const char* caption, QWidget* parent) {
    auto* b = place(name, new ui::FitButton(caption, parent));
    b->setAutoDefault(false);
    return static_cast<QPushButton*>(b);
  };
  const auto label = [&](const char* name, const char* caption, QWidget* parent) {
    return place(name, new QLabel(caption, parent));
  };
  const auto frame = [&](const char* name, QWidget* parent) {
    auto* f = place(name, new ui::Frame("", parent));
    f->setFlat(true);
    return f;
  };

  // The run's titles and texts.
  lbl_pj_title = label("lbl_pj_title", "", client);
  lbl_subpj_title = label("lbl_subpj_title", "", client);
  txt_pj_details = place("txt_pj_details", new QPlainTextEdit(client));
  txt_pj_details->setReadOnly(true);
  txt_pj_details->setFrameShape(QFrame::NoFrame);
  Txt_description = place("Txt_description", new QPlainTextEdit(client));
  Cmd_report = button("Cmd_report", "Report", client);
  Cmd_report->setToolTip("Click to Report");
  Cmd_main = button("Cmd_main", "Main", client);

  // The list panel.
  PicPanel1 = place("PicPanel1", new ui::PictureBox(client));
  lbl_orden = place("lbl_orden", new ui::ClickLabel("^", PicPanel1));
  lbl_date = place("lbl_date", new ui::ClickLabel("Date", PicPanel1));
  lblproject = place("lblproject", new ui::ClickLabel("Project", PicPanel1));
  for (QLabel* l : {static_cast<QLabel*>(lbl_date), static_cast<QLabel*>(lblproject)})
    l->setMouseTracking(true);
  txt_search = place("txt_search", new QLineEdit(PicPanel1));
  cmd_lupa = button("cmd_lupa", "Search", PicPanel1);
  Listpj = place("Listpj", new QListWidget(PicPanel1));
  Listpj->setSelectionMode(QAbstractItemView::ExtendedSelection);

  // The plot panel.
  PicPanel2 = place("PicPanel2", new ui::PictureBox(client));
  Picreal = place("Picreal", new ui::PictureBox(PicPanel2));
  frame_plotbutton = frame("frame_plotbutton", PicPanel2);
  Cmd_barplot = button("Cmd_barplot", "Bar Plot", frame_plotbutton);
  Cmd_gridplot = button("Cmd_gridplot", "Grid Plot", frame_plotbutton);
  Cmd_lineplot = button("Cmd_lineplot", "Line Plot", frame_plotbutton);
  cmd_track = button("cmd_track", "Track", frame_plotbutton);
  cmd_track->setToolTip("Single Animal Path Tracking");
  cmd_track->hide();
  chk_bmp = place("chk_bmp", new QCheckBox("->.bmp", frame_plotbutton));
  chk_bmp->setToolTip("Export .bmp track files");
  Cmd_cloud = button("Cmd_cloud", "Cloud", frame_plotbutton);
  Cmd_cloud->hide();
  lbl_tagplot = label("lbl_tagplot", "TAG:", frame_plotbutton);
  List_tags = place("List_tags", new QListWidget(frame_plotbutton));
  lbl_tagplot->hide();
  List_tags->hide();

  Label_page = label("Label_page", "Page:", PicPanel2);
  Txtpage = place("Txtpage", new QLineEdit(PicPanel2));
  scrollpage = place("scrollpage", new QScrollBar(Qt::Horizontal, PicPanel2));
  scrollpage->setMinimum(1);
  Frame_bisize = frame("Frame_bisize", PicPanel2);
  lbl_binsize = label("lbl_binsize", "Bin_size:", Frame_bisize);
  cmd_minus = button("cmd_minus", "-", Frame_bisize);
  txt_binsize = place("txt_binsize", new QLineEdit("5", Frame_bisize));
  cmd_plus = button("cmd_plus", "+", Frame_bisize);
  Frame_bisize->hide();

  framecanal = frame("framecanal", PicPanel2);
  Cmd_leegroups = button("Cmd_leegroups", "[Group Activity]", framecanal);
  cmdchannels = button("cmdchannels", "Channel Signal", framecanal);
  combogrup = place("combogrup", new QComboBox(framecanal));
  lstgrup = place("lstgrup", new QListWidget(framecanal));
  lstgrup_plot = place("lstgrup_plot", new QListWidget(framecanal));
  Pic_status = place("Pic_status", new ui::PictureBox(framecanal));
  fmranalizar = frame("fmranalizar", framecanal);
  lbl_threshold = label("lbl_threshold", "Threshold:", fmranalizar);
  frmtxt_threshold = place("frmtxt_threshold", new QLineEdit(fmranalizar));
  cmb_modeanalisis = place("cmb_modeanalisis", new QComboBox(fmranalizar));
  Cmd_analyze = button("Cmd_analyze", "Analyze", fmranalizar);
  Combofila = new QComboBox(framecanal);
  Combocol = new QComboBox(framecanal);
  txtsub = new QLineEdit("0", framecanal);
  lblcanal = new ui::CaptionLabel(framecanal);
  for (QWidget* w : std::initializer_list<QWidget*>{combogrup, lstgrup, Pic_status, fmranalizar,
                                                    Combofila, Combocol, txtsub, lblcanal})
    w->hide();

  Framegrup = frame("Framegrup", PicPanel2);
  Cmd_clear = button("Cmd_clear", "CLEAR LIST", Framegrup);
  cmdcancelgrups = button("cmdcancelgrups", "EXIT Group Edition", Framegrup);
  lblset = label("lblset", "SET:", Framegrup);
  Combo_sets = place("Combo_sets", new QComboBox(Framegrup));
  cmd_goset = button("cmd_goset", "Go...", Framegrup);
  combogrup2 = place("combogrup2", new QListWidget(Framegrup));
  BuildGroupEditor();
  Framegrup->hide();

  for (QWidget* w : std::initializer_list<QWidget*>{Cmd_report, cmdchannels, Cmd_analyze})
    w->setEnabled(false);
}

void Frm_offline::ConnectHandlers() {
  for (int i = 0; i < kWatchedFolders; ++i)
    connect(Txtfolder[static_cast<size_t>(i)], &QAction::triggered, this,
            [this, i] { Txtfolder_Click(i); });
  connect(bmpexporta, &QAction::triggered, this, [this] { bmpexporta_Click(); });
  connect(asciiexporta, &QAction::triggered, this, [this] { asciiexporta_Click(); });
  connect(mn_linebmp, &QAction::triggered, this, [this] { mn_linebmp_Click(); });
  connect(mnrel0, &QAction::triggered, this, [this] { mnrel0_Click(); });
  connect(mn_jointbmp, &QAction::triggered, this, [this] { mn_jointbmp_Click(); });
  connect(mn_jointexport, &QAction::triggered, this, [this] { mn_jointexport_Click(); });
  connect(mn_platebmp, &QAction::triggered, this, [this] { mn_platebmp_Click(); });
  connect(mn_plateedit, &QAction::triggered, this, [this] { mn_plateedit_Click(); });

  connect(Cmd_main, &QPushButton::clicked, this, [this] { Cmd_main_Click(); });
  connect(Cmd_report, &QPushButton::clicked, this, [this] { Cmd_report_Click(); });
  connect(lbl_orden, &ui::ClickLabel::Click, this, [this] { lbl_date_Click(); });
  connect(lbl_date, &ui::ClickLabel::Click, this, [this] { lbl_date_Click(); });
  connect(lblproject, &ui::ClickLabel::Click, this, [this] { lblproject_Click(); });
  connect(&Timer_button, &QTimer::timeout, this, [this] { Timer_button_Timer(); });
  connect(cmd_lupa, &QPushButton::clicked, this, [this] { cmd_lupa_Click(); });
  connect(txt_search, &QLineEdit::returnPressed, this, [this] { txt_search_KeyPress(kEnter); });
  connect(Listpj, &QListWidget::itemDoubleClicked, this, [this] { Listpj_DblClick(); });
  Listpj->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Listpj, &QListWidget::customContextMenuRequested, this, [this] { Listpj_MouseDown(2); });
  connect(Txt_description, &QPlainTextEdit::textChanged, this,
          [this] { Txt_description_Change(); });
  for (QObject* o :
       std::initializer_list<QObject*>{Listpj, Txt_description, lstgrup_plot, lbl_date, lblproject})
    o->installEventFilter(this);

  connect(Cmd_leegroups, &QPushButton::clicked, this, [this] { Cmd_leegroups_Click(); });
  connect(cmdchannels, &QPushButton::clicked, this, [this] { cmdchannels_Click(); });
  connect(Cmd_analyze, &QPushButton::clicked, this, [this] { Cmd_analyze_Click(); });
  connect(cmd_track, &QPushButton::clicked, this, [this] { cmd_track_Click(); });
  connect(Cmd_barplot, &QPushButton::clicked, this, [this] { Cmd_barplot_Click(); });
  connect(Cmd_gridplot, &QPushButton::clicked, this, [this] { Cmd_gridplot_Click(); });
  connect(Cmd_lineplot, &QPushButton::clicked, this, [this] { Cmd_lineplot_Click(); });
  connect(cmd_minus, &QPushButton::clicked, this, [this] { cmd_minus_Click(); });
  connect(cmd_plus, &QPushButton::clicked, this, [this] { cmd_plus_Click(); });
  connect(lstgrup_plot, &QListWidget::itemDoubleClicked, this, [this] { lstgrup_plot_DblClick(); });
  connect(List_tags, &QListWidget::itemDoubleClicked, this, [this] { List_tags_DblClick(); });
  connect(Picreal, &ui::PictureBox::MouseDown, this,
          [this](int button, int shift, double x, double y) {
            Picreal_MouseDown(button, shift, x, y);
          });
  ConnectListMenu();
  ConnectGroupEditor();
}

bool Frm_offline::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      if (watched == Listpj) {
        Listpj_KeyPress(kEnter);
        return true;
      }
      if (watched == lstgrup_plot) {
        lstgrup_plot_KeyPress(kEnter);
        return true;
      }
      if (watched == combogrup2) {
        combogrup2_KeyPress(kEnter);
        return true;
      }
      if (watched == lstgrup) {
        lstgrup_KeyPress(kEnter);
        return true;
      }
    }
  } else if (event->type() == QEvent::FocusOut && watched == Txt_description) {
    Txt_description_LostFocus();
  } else if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
    if (watched == lbl_date) lbl_date_MouseMove();
    if (watched == lblproject) lblproject_MouseMove();
  }
  return ui::Form::eventFilter(watched, event);
}

// ---- Load and unload ----

void Frm_offline::Form_Load() {
  ui::RemoveListBoxBorder(*Listpj);
  Txt_description->hide();
  chk_bmp->hide();
  Tag_Mode = false;
  Search_Text.clear();
  List_Order = 1;
  lbl_orden->setText("^");
  ShowPageControls(false);
  folders_ = ReadWatchedFolders(platform::ProgramFolder());
  for (int i = 0; i < kWatchedFolders; ++i)
    Txtfolder[static_cast<size_t>(i)]->setText(
        QString::fromStdString(folders_[static_cast<size_t>(i)]));
  catalogue_.CollapseAll();
  FillProjectList(List_Order);
  View_Mode = 0;
  cmb_modeanalisis->clear();
  cmb_modeanalisis->addItems({"Mode:0", "Mode:1"});
  cmb_modeanalisis->setCurrentIndex(0);
  std::string threshold = "1.8";
  threshold[1] = xlsx::UserNumberLocale().decimal_point;
  frmtxt_threshold->setText(QString::fromStdString(threshold));
  Pic_status->Scale(0, 0, 100, 100);
  Pic_status->Cls();
}

void Frm_offline::Form_Unload() {
  SaveDescription();
  Timer_play.stop();
  cmdchannels->setText("Channel Signal");
  Cmd_leegroups->setText("[Group Activity]");
  View_Mode = 0;
  cmdchannels->setEnabled(false);
  if (!ui::ProgramEnded() && ui::IsLoaded<mainwindow::Frm_Init>())
    ui::Default<mainwindow::Frm_Init>().Show();
}

void Frm_offline::Form_Resize() { ArrangeControls(); }

void Frm_offline::Cmd_main_Click() {
  SaveDescription();
  ui::Default<mainwindow::Frm_Init>().Show();
  hide();
}

// ---- Header labels ----

void Frm_offline::SetCaptionColour(QLabel* label, int32_t colour) {
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, ui::ToQColor(colour));
  label->setPalette(p);
}

void Frm_offline::lbl_date_MouseMove() {
  SetCaptionColour(lbl_date, kHoverGreen);
  Timer_button.start();
}

void Frm_offline::lblproject_MouseMove() {
  SetCaptionColour(lblproject, kHoverGreen);
  Timer_button.start();
}

void Frm_offline::Timer_button_Timer() {
  SetCaptionColour(lbl_date, kHeaderBlue);
  SetCaptionColour(lblproject, kHeaderBlue);
}

void Frm_offline::EnableBrowserControls() {
  for (QWidget* w : std::initializer_list<QWidget*>{Cmd_report, Cmd_leegroups, cmdchannels,
                                                    Cmd_analyze, Cmd_main, Listpj, scrollpage,
                                                    framecanal, frmtxt_threshold, cmb_modeanalisis})
    w->setEnabled(true);
  for (QWidget* w : std::initializer_list<QWidget*>{scrollpage, Label_page, Txtpage, framecanal})
    w->show();
}

void Frm_offline::DisableBrowserControls() {
  for (QWidget* w : std::initializer_list<QWidget*>{Cmd_report, Cmd_leegroups, cmdchannels,
                                                    Cmd_analyze, Cmd_main, Listpj, scrollpage,
                                                    framecanal, frmtxt_threshold, cmb_modeanalisis})
    w->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{scrollpage, Label_page, Txtpage, framecanal})
    w->hide();
}

}  // namespace offline
