// The setup window's controls, the wiring of the user's changes to the controller,
// and the main window's side of the setup window's exits and tool boxes.
#include "setup/forms/frm_setup.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/controls.h"
#include "mainwindow/frm_init.h"
#include "mainwindow/frm_main.h"
#include "ui/program_end.h"
#include "storage/shared_state.h"

namespace setup {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

template <class T, class... Args>
T* Named(const char* name, QWidget* parent, Args&&... args) {
  auto* w = new T(std::forward<Args>(args)..., parent);
  w->setObjectName(name);
  return w;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* b = Named<QPushButton>(name, parent, caption);
  b->setAutoDefault(false);
  return b;
}

QLabel* Label(const char* name, const QString& caption, QWidget* parent) {
  return Named<QLabel>(name, parent, caption);
}

QLineEdit* MakeTextBox(const char* name, QWidget* parent) { return Named<QLineEdit>(name, parent); }

// Enter in an editable list's text: Qt would pick the item the text names.
class SwallowEnter final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

// In an editable list only a pick from the list counts: typed text selects nothing and
// runs nothing while it is typed; when the typing ends it is taken as the pick it names,
// or gives way (TypedTextDone).
QComboBox* Combo(const char* name, QWidget* parent, bool editable) {
  auto* c = Named<QComboBox>(name, parent);
  if (editable) {
    ui::MakeTypedList(*c);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->lineEdit()->installEventFilter(new SwallowEnter(c));
  }
  return c;
}

// A frame in front of others paints its own background, the panel's white, so
// nothing behind it shows through.
void PaintBackground(QWidget* frame) {
  QPalette palette = frame->palette();
  palette.setColor(QPalette::Window, Qt::white);
  frame->setPalette(palette);
  frame->setAutoFillBackground(true);
}

ui::ShapeBox* Shape(const char* name, QWidget* parent, ui::Color color, bool filled) {
  auto* shape = new ui::ShapeBox(parent, color, filled);
  shape->setObjectName(name);
  return shape;
}

QCheckBox* MakeCheckBox(const char* name, const QString& caption, QWidget* parent) {
  return Named<QCheckBox>(name, parent, caption);
}

// The main window's controls that the setup window writes. The main window is the
// program's start-up window and is always loaded before this one; without it (a
// window built on its own) there is nothing to write.
class MainWindowSide final : public MainSide {
 public:
  void SetDetectionSummary(const std::string& line) override {
    if (auto* m = Main()) m->txt_detection->setText(Q(line));
  }
  void SetSnrThreshold(const std::string& text) override {
    if (auto* m = Main()) m->txt_snr_umbral->setText(Q(text));
  }
  void SelectOrganism(int16_t index) override {
    if (auto* m = Main()) m->Cmb_organism->setCurrentIndex(index);
  }
  void SetDescription(const std::string& text) override {
    if (auto* m = Main()) m->Txt_description->setPlainText(Q(text));
  }
  void ShowCalibrationTools(bool visible) override {
    if (auto* m = Main()) m->frm_mn1->setVisible(visible);
  }
  void ShowLightTools(bool visible) override {
    if (auto* m = Main()) {
      m->Frame_light->setVisible(visible);
      m->frm_pulse->setVisible(visible);
    }
  }
  void SetLightEnabled(bool ticked) override {
    if (auto* m = Main()) ui::SetCheckValue(*m->Chk_lenabled, ticked ? 1 : 0);
  }
  void ShowTemperatureTools(bool visible) override {
    if (auto* m = Main()) m->Frame_temp->setVisible(visible);
  }
  void ShowMain() override {
    if (auto* m = Main()) m->Show();
  }
  void Connect() override {
    if (auto* m = Main()) m->cmd_connect_Click();
  }
  void ShowStartWindow() override {
    if (!ui::ProgramEnded() && ui::IsLoaded<mainwindow::Frm_Init>()) {
      ui::Default<mainwindow::Frm_Init>().Show();
    }
  }

 private:
  static mainwindow::Frm_Main* Main() {
    if (ui::ProgramEnded() || !ui::IsLoaded<mainwindow::Frm_Main>()) return nullptr;
    return &ui::Default<mainwindow::Frm_Main>();
  }
};

void ShowText(QLineEdit* box, const setup::TextBox& model) {
  if (box->text() != Q(model.text)) box->setText(Q(model.text));
  box->setEnabled(model.enabled);
}

void ShowList(QComboBox* box, const ListBox& model) {
  QStringList items;
  for (const std::string& item : model.items) items << Q(item);
  QStringList shown;
  for (int i = 0; i < box->count(); ++i) shown << box->itemText(i);
  if (shown != items) {
    box->clear();
    box->addItems(items);
  }
  if (box->currentIndex() != model.index) box->setCurrentIndex(model.index);
  if (box->isEditable() && box->currentText() != Q(model.text)) box->setEditText(Q(model.text));
}

void ShowCheck(QCheckBox* box, const setup::CheckBox& model) {
  box->setChecked(model.value == 1);
  box->setEnabled(model.enabled);
}

}  // namespace

Frm_setup::Frm_setup() {
  setWindowTitle("Project Setup");
  // The designed size, or most of a larger screen; never more than the screen.
  QSize size(1024, 720);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QSize room = screen->availableGeometry().size();
    size = size.expandedTo(room * 0.8).boundedTo(room);
  }
  resize(size);
  BuildMenus();
  BuildControls();
  annotations_ = std::make_unique<AnnotationPanel>(storage::Shared());
  main_side_ = std::make_unique<MainWindowSide>();
  controller_ = std::make_unique<SetupController>(*this, *main_side_);
  Timer1.setInterval(200);
  Timer1.setSingleShot(true);
  ConnectHandlers();
}

Frm_setup::~Frm_setup() = default;

void Frm_setup::BuildMenus() {
  menu_bar = new QMenuBar(this);
  mnfile = menu_bar->addMenu("File");
  mn_advanced = mnfile->addAction("Advanced Tools");
  mnhelp = menu_bar->addMenu("Help");
  // Not on the menu bar: popped up over the group list and by "AUTO-ARRANGE".
  mn_group_action = new QMenu("Group Action", this);
  mnren_group = mn_group_action->addAction("Rename");
  mn_groupclr = mn_group_action->addAction("Clear Group");
  mngroup = new QMenu(this);
  for (size_t i = 0; i < mnopciongrup.size(); ++i) {
    mnopciongrup[i] = mngroup->addAction(QString());
    mnopciongrup[i]->setCheckable(true);
    mnopciongrup[i]->setVisible(i == 0);
  }
}

void Frm_setup::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->setMenuBar(menu_bar);
  client = Named<QWidget>("client", this);
  outer->addWidget(client, 1);

  // ---- Left panel ----
  PicPanel1 = Named<ui::PictureBox>("PicPanel1", client);
  Picwell = Named<ui::PictureBox>("Picwell", PicPanel1);
  Picwell->setToolTip("Click wells to assign/remove groups");
  lbl_listgrupos = Label("lbl_listgrupos", "Click wells to assign groups", PicPanel1);
  for (size_t i = 0; i < plate_option.size(); ++i) {
    const std::string name = "plate_option" + std::to_string(i);
    plate_option[i] =
        Named<QRadioButton>(name.c_str(), PicPanel1, "STATION " + QString::number(i + 1));
    plate_option[i]->hide();
  }
  Label_wellformat = Label("Label_wellformat", "Microplate:", PicPanel1);
  Combowell = Combo("Combowell", PicPanel1, true);
  cmd_goset = Button("cmd_goset", "AUTO-ARRANGE", PicPanel1);
  Label_groupsname = Label("Label_groupsname", "Group Names:", PicPanel1);
  Cmd_clear = Button("Cmd_clear", "CLEAR", PicPanel1);
  combogrup = Named<QListWidget>("combogrup", PicPanel1);
  combogrup->setToolTip("Dblclick to Rename");
  Label19 = Label("Label19", "Well:", PicPanel1);
  lblnchannel = Label("lblnchannel", "", PicPanel1);
  cmd_annot_web = Button("cmd_annot_web", "Advanced Annotation", PicPanel1);
  txt_annot_id = MakeTextBox("txt_annot_id", PicPanel1);
  txt_annot_id->setText("Annotation ID");
  txt_annot_id->hide();
  cmd_annot_sync = Button("cmd_annot_sync", "Sync", PicPanel1);
  cmd_annot_sync->hide();
  BuildAnnotationPanel();

  // The folder line, hidden by every layout pass.
  Label_workingfolder = Label("Label_workingfolder", "Working folder:", client);
  Txtfolder = MakeTextBox("Txtfolder", client);
  Txtfolder->setReadOnly(true);
  Label_workingfolder->hide();
  Txtfolder->hide();

  // ---- Right panel ----
  PicPanel2 = Named<ui::PictureBox>("PicPanel2", client);
  lbl_project = Label("lbl_project", "PROJECT", PicPanel2);
  QFont heading = lbl_project->font();
  heading.setBold(true);
  lbl_project->setFont(heading);

  Frame_setup = Named<QFrame>("Frame_setup", PicPanel2);
  Frame_setup->setFrameShape(QFrame::NoFrame);
  txtprj = MakeTextBox("txtprj", Frame_setup);
  txtprj->setReadOnly(true);
  txtprj->setToolTip("DblClick to Rename");
  cmdLoad = Button("cmdLoad", "Load...", Frame_setup);
  Cmdsavepj = Button("Cmdsavepj", "Save...", Frame_setup);
  Cmdnewpj = Button("Cmdnewpj", "New...", Frame_setup);
  Label_acqlapse = Label("Label_acqlapse", "Acquisition lapse:", Frame_setup);
  Txtlapse = MakeTextBox("Txtlapse", Frame_setup);
  Label_acqlapse2 = Label("Label_acqlapse2", "minutes", Frame_setup);
  Lbl_keywords = Label("Lbl_keywords", "Notes:", Frame_setup);
  Txt_description = Named<QPlainTextEdit>("Txt_description", Frame_setup);
  Shape_detection = Shape("Shape_detection", Frame_setup, ui::RGB(160, 160, 160), false);
  txt_detection = Label("txt_detection", "Detection:", Frame_setup);
  txt_detection->setFont(heading);
  lbl_organism = Label("lbl_organism", "Organism:", Frame_setup);
  Cmb_organism = Combo("Cmb_organism", Frame_setup, false);
  txt_snr = Label("txt_snr", "SNR", Frame_setup);
  txt_snr->setToolTip("Double click to enable edition");
  lbl_snr = MakeTextBox("lbl_snr", Frame_setup);
  lbl_dsp = Label("lbl_dsp", "Method:", Frame_setup);
  ComboDSP = Combo("ComboDSP", Frame_setup, false);

  // Drawn after Frame_setup so that, when shown, the list covers it.
  frm_project = Named<QGroupBox>("frm_project", PicPanel2);
  PaintBackground(frm_project);
  Label16 = Label("Label16", "SELECT PROJECT TO LOAD:", frm_project);
  List_project = Named<QListWidget>("List_project", frm_project);
  Cmd_cancel = Button("Cmd_cancel", "Cancel", frm_project);
  frm_project->hide();

  chk_advance = MakeCheckBox("chk_advance", "Advanced Annotation", PicPanel2);
  Command_main = Button("Command_main", "Continue to Run...", PicPanel2);
  Cmdoffline = Button("Cmdoffline", "< Back", PicPanel2);

  Frame_advanced = Named<QGroupBox>("Frame_advanced", PicPanel2);
  chklight = MakeCheckBox("chklight", "Light Control*", Frame_advanced);
  chktemp = MakeCheckBox("chktemp", "Temperature Control*", Frame_advanced);
  Check_saverealtime = MakeCheckBox("Check_saverealtime", "Save Real-Time Data", Frame_advanced);
  Check_saverealtime->setChecked(true);
  Label_savereal = Label("Label_savereal", "Save Raw Data:", Frame_advanced);
  Combosavereal = Combo("Combosavereal", Frame_advanced, true);
  lbl_message = Label("lbl_message", "*Available only in some Hardware versions!", Frame_advanced);
  Frame_advanced->hide();

  BuildHiddenFrames();
}

void Frm_setup::BuildAnnotationPanel() {
  frm_advance = Named<QFrame>("frm_advance", PicPanel1);
  PaintBackground(frm_advance);
  frm_advance->hide();
  QWidget* p = frm_advance;
  Shape_advance = Shape("Shape_advance", p, ui::RGB(160, 160, 160), false);
  Shape_globals = Shape("Shape_globals", p, ui::RGB(160, 160, 160), false);
  Shape_track = Shape("Shape_track", p, ui::RGB(220, 220, 220), true);
  lbl_global = Label("lbl_global", "Globals:", p);
  Chk_global_buffer = MakeCheckBox("Chk_global_buffer", "Buffer", p);
  txt_global_buffer = MakeTextBox("txt_global_buffer", p);
  Chk_global_strain = MakeCheckBox("Chk_global_strain", "Strain", p);
  txt_global_strain = MakeTextBox("txt_global_strain", p);
  Chk_global_orgnum = MakeCheckBox("Chk_global_orgnum", "[org/well]", p);
  txt_global_orgnum = MakeTextBox("txt_global_orgnum", p);
  combo_tool = Combo("combo_tool", p, false);
  txt_global = MakeTextBox("txt_global", p);
  cmd_fill = Button("cmd_fill", "Fill", p);
  cmd_setglobal = Button("cmd_setglobal", "SET Global", p);
  cmd_up = Button("cmd_up", "^", p);
  cmd_down = Button("cmd_down", "v", p);
  lbl_group = Label("lbl_group", "#Group", p);
  lbl_compound = Label("lbl_compound", "Compound", p);
  lbl_conc = Label("lbl_conc", "[Conc]", p);
  lbl_strain = Label("lbl_strain", "Strain", p);
  lbl_org = Label("lbl_org", "[org/well]", p);
  lbl_buff = Label("lbl_buff", "Buffer", p);
  for (size_t i = 0; i < adv_group.size(); ++i) {
    const std::string n = std::to_string(i);
    adv_group[i] = Named<QRadioButton>(("adv_group" + n).c_str(), p);
    txt_group[i] = MakeTextBox(("txt_group" + n).c_str(), p);
    txt_group[i]->setReadOnly(true);
    txt_compound[i] = MakeTextBox(("txt_compound" + n).c_str(), p);
    txt_conc[i] = MakeTextBox(("txt_conc" + n).c_str(), p);
    txt_strain[i] = MakeTextBox(("txt_strain" + n).c_str(), p);
    txt_org[i] = MakeTextBox(("txt_org" + n).c_str(), p);
    txt_buffer[i] = MakeTextBox(("txt_buffer" + n).c_str(), p);
  }
}

void Frm_setup::BuildHiddenFrames() {
  // Designed places inside a frame nothing shows.
  Frameconfig = Named<QGroupBox>("Frameconfig", client, "old configurations");
  Frameconfig->setGeometry(0, 0, 520, 300);
  Frameconfig->hide();
  Combo_sets = Combo("Combo_sets", Frameconfig, false);
  Combo_sets->setGeometry(10, 20, 160, 24);
  lstgrup = Named<QListWidget>("lstgrup", Frameconfig);
  lstgrup->setGeometry(10, 50, 120, 160);
  lstchgrup = Named<QListWidget>("lstchgrup", Frameconfig);
  lstchgrup->setGeometry(180, 50, 120, 160);
  Command12 = Button("Command12", "<", Frameconfig);
  Command12->setGeometry(140, 90, 30, 24);
  Command13 = Button("Command13", ">", Frameconfig);
  Command13->setGeometry(140, 120, 30, 24);
  frametool = Named<QGroupBox>("frametool", Frameconfig, "Tools");
  frametool->setGeometry(310, 20, 200, 110);
  chkcalib = MakeCheckBox("chkcalib", "Calibration Control", frametool);
  chkcalib->setGeometry(8, 20, 180, 20);
  Chk_mn4 = MakeCheckBox("Chk_mn4", "Menu 4", frametool);
  Chk_mn4->setGeometry(8, 42, 180, 20);
  Chk_mn5 = MakeCheckBox("Chk_mn5", "Menu 5", frametool);
  Chk_mn5->setGeometry(8, 64, 180, 20);
  Chk_mn6 = MakeCheckBox("Chk_mn6", "Menu 6", frametool);
  Chk_mn6->setGeometry(8, 86, 180, 20);
  Label_savecount = Label("Label_savecount", "Save Counts/minute", Frameconfig);
  Label_savecount->setGeometry(10, 220, 140, 22);
  Combosavecount = Combo("Combosavecount", Frameconfig, true);
  Combosavecount->setGeometry(150, 220, 80, 24);
  Frame_extra = Named<QGroupBox>("Frame_extra", Frameconfig, "Extra setups");
  Frame_extra->setGeometry(310, 140, 200, 150);
  Frame_extra->hide();
  const char* captions[] = {"   Acq Mode:", "Sample rate:", "DSP Interval:", "Real-time Buffer:"};
  const char* names[] = {"Label_aqmode", "Label_sample", "Label_dspinterval", "Label_buffer"};
  for (int i = 0; i < 4; ++i) {
    Label(names[i], captions[i], Frame_extra)->setGeometry(8, 20 + 30 * i, 100, 24);
  }
  Combo_aqmode = Combo("Combo_aqmode", Frame_extra, true);
  Combo_aqmode->setGeometry(110, 20, 84, 24);
  Txtsample = MakeTextBox("Txtsample", Frame_extra);
  Txtsample->setGeometry(110, 50, 84, 24);
  Txt_dspinterval = MakeTextBox("Txt_dspinterval", Frame_extra);
  Txt_dspinterval->setGeometry(110, 80, 84, 24);
  Txtbuffer = MakeTextBox("Txtbuffer", Frame_extra);
  Txtbuffer->setGeometry(110, 110, 84, 24);
}

template <class F>
void Frm_setup::Do(F&& operation) {
  if (showing_) return;
  operation(*controller_);
  Refresh();
}

void Frm_setup::ConnectHandlers() {
  const auto text = [this](QLineEdit* box, Text id) {
    connect(box, &QLineEdit::textChanged, this, [this, id](const QString& t) {
      Do([&](SetupController& c) { c.UserText(id, t.toStdString()); });
    });
  };
  text(Txtlapse, Text::Txtlapse);
  text(Txtsample, Text::Txtsample);
  text(Txtbuffer, Text::Txtbuffer);
  text(Txt_dspinterval, Text::Txt_dspinterval);
  text(lbl_snr, Text::lbl_snr);

  // An edit changes only the text, which the box shows already. No refresh: a pick from
  // the list sends its text before its selection, and a refresh in between would put
  // the old selection back and lose the pick.
  const auto edit = [this](QComboBox* box, List id) {
    connect(box, &QComboBox::editTextChanged, this, [this, id](const QString& t) {
      if (!showing_) controller_->UserEditText(id, t.toStdString());
    });
    // Enter, or leaving the box after typing: the box then shows what was taken.
    connect(box->lineEdit(), &QLineEdit::editingFinished, this,
            [this, id] { Do([id](SetupController& c) { c.TypedTextDone(id); }); });
  };
  const auto list = [this, edit](QComboBox* box, List id) {
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, id](int index) { Do([&](SetupController& c) { c.UserSelect(id, index); }); });
    if (box->isEditable()) edit(box, id);
  };
  list(Combo_aqmode, List::Combo_aqmode);
  list(ComboDSP, List::ComboDSP);
  list(Cmb_organism, List::Cmb_organism);
  list(Combosavecount, List::Combosavecount);
  list(Combosavereal, List::Combosavereal);
  edit(Combowell, List::Combowell);
  // Every pick of a format asks, the current one included: the pick, not a change.
  connect(Combowell, &QComboBox::activated, this,
          [this](int index) { Do([&](SetupController& c) { c.Combowell_Click(index); }); });

  const auto check = [this](QCheckBox* box, Check id) {
    connect(box, &QCheckBox::toggled, this,
            [this, id](bool on) { Do([&](SetupController& c) { c.UserCheck(id, on ? 1 : 0); }); });
  };
  check(chkcalib, Check::chkcalib);
  check(chklight, Check::chklight);
  check(chktemp, Check::chktemp);
  check(Chk_mn4, Check::Chk_mn4);
  check(Chk_mn5, Check::Chk_mn5);
  check(Chk_mn6, Check::Chk_mn6);

  const auto button = [this](QPushButton* b, void (SetupController::*handler)()) {
    connect(b, &QPushButton::clicked, this,
            [this, handler] { Do([&](SetupController& c) { (c.*handler)(); }); });
  };
  button(Command_main, &SetupController::Command_main_Click);
  button(Cmdoffline, &SetupController::Cmdoffline_Click);
  button(Cmdnewpj, &SetupController::Cmdnewpj_Click);
  button(Cmdsavepj, &SetupController::Cmdsavepj_Click);
  button(cmdLoad, &SetupController::cmdLoad_Click);
  button(Cmd_cancel, &SetupController::Cmd_cancel_Click);
  connect(mn_advanced, &QAction::triggered, this,
          [this] { Do([](SetupController& c) { c.mn_advanced_Click(); }); });
  connect(List_project, &QListWidget::currentRowChanged, this,
          [this](int row) { Do([&](SetupController& c) { c.UserSelectProject(row); }); });
  connect(List_project, &QListWidget::itemDoubleClicked, this,
          [this] { Do([](SetupController& c) { c.List_project_DblClick(); }); });
  connect(&Timer1, &QTimer::timeout, this,
          [this] { Do([](SetupController& c) { c.Timer1_Timer(); }); });

  for (QWidget* w : std::initializer_list<QWidget*>{txtprj, txt_snr, lbl_snr, Txtbuffer}) {
    w->installEventFilter(this);
  }
  ConnectGroupHandlers();
  ConnectAnnotationHandlers();
}

bool Frm_setup::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == txtprj) {
      Do([](SetupController& c) { c.txtprj_DblClick(); });
      return true;
    }
    if (watched == txt_snr) {
      Do([](SetupController& c) { c.txt_snr_DblClick(); });
      return true;
    }
  }
  if (event->type() == QEvent::FocusOut && !showing_) {
    // Leaving the window (another program, a menu) is not leaving the box.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (watched == lbl_snr) Do([](SetupController& c) { c.lbl_snr_LostFocus(); });
      if (watched == Txtbuffer) Do([](SetupController& c) { c.Txtbuffer_LostFocus(); });
    }
  }
  return ui::Form::eventFilter(watched, event);
}

// ---- Load, exits and the window's services ----

void Frm_setup::Form_Load() {
  controller_->Form_Load();
  Refresh();
}

void Frm_setup::Form_Unload() {
  Timer1.stop();
  controller_->Form_Unload();
}

void Frm_setup::Form_Resize() { ArrangeControls(); }

void Frm_setup::ArmPlateTimer() { Timer1.start(); }

void Frm_setup::DisarmPlateTimer() { Timer1.stop(); }

void Frm_setup::FocusSnrBox() { lbl_snr->setFocus(Qt::OtherFocusReason); }

std::string Frm_setup::DescriptionText() const {
  return Txt_description->toPlainText().toStdString();
}

void Frm_setup::HideWindow() { hide(); }

void Frm_setup::Refresh() {
  if (showing_) return;
  showing_ = true;
  const SetupControls& c = controller_->controls();
  const std::initializer_list<QObject*> shown = {
      txtprj,    Txtfolder,    Txtlapse, Txtsample,    Txtbuffer,      Txt_dspinterval, lbl_snr,
      Combowell, Combo_aqmode, ComboDSP, Cmb_organism, Combosavecount, Combosavereal,   chkcalib,
      chklight,  chktemp,      Chk_mn4,  Chk_mn5,      Chk_mn6,        List_project};
  std::vector<std::unique_ptr<QSignalBlocker>> blockers;
  for (QObject* o : shown) blockers.push_back(std::make_unique<QSignalBlocker>(o));

  ShowText(txtprj, c.txtprj);
  ShowText(Txtfolder, c.Txtfolder);
  ShowText(Txtlapse, c.Txtlapse);
  ShowText(Txtsample, c.Txtsample);
  ShowText(Txtbuffer, c.Txtbuffer);
  ShowText(Txt_dspinterval, c.Txt_dspinterval);
  ShowText(lbl_snr, c.lbl_snr);
  ShowList(Combowell, c.Combowell);
  ShowList(Combo_aqmode, c.Combo_aqmode);
  ShowList(ComboDSP, c.ComboDSP);
  ShowList(Cmb_organism, c.Cmb_organism);
  ShowList(Combosavecount, c.Combosavecount);
  ShowList(Combosavereal, c.Combosavereal);
  ShowCheck(chkcalib, c.chkcalib);
  ShowCheck(chklight, c.chklight);
  ShowCheck(chktemp, c.chktemp);
  ShowCheck(Chk_mn4, c.Chk_mn4);
  ShowCheck(Chk_mn5, c.Chk_mn5);
  ShowCheck(Chk_mn6, c.Chk_mn6);

  QStringList entries;
  for (const ProjectEntry& e : c.List_project) entries << Q(e.text);
  QStringList listed;
  for (int i = 0; i < List_project->count(); ++i) listed << List_project->item(i)->text();
  if (listed != entries) {
    List_project->clear();
    List_project->addItems(entries);
  }
  if (List_project->currentRow() != c.List_project_index)
    List_project->setCurrentRow(c.List_project_index);

  Frame_advanced->setVisible(c.Frame_advanced_visible);
  frm_project->setVisible(c.frm_project_visible);
  showing_ = false;
}

}  // namespace setup
