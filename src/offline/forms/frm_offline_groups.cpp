// The group editor of the loaded run: its frame on the place of the group lists, the
// plate on the plot picture with the mouse's press, rubber band and release, the group
// list and its renaming, the block sets, CLEAR LIST, and leaving with or without a save
// of the run's group files. Every edit goes through the setup window's group model on
// the run's own tables; the lists keep each entry's group beside its text.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include "offline/forms/frm_offline.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "setup/group_sets.h"
#include "ui/caption_fit.h"
#include "ui/events.h"
#include "ui/frame.h"

namespace offline {

namespace {

constexpr int kEnter = 13;

QString Q(const std::string& s) { return QString::fromStdString(s); }

void Append(QListWidget* list, const std::vector<std::string>& texts) {
  for (const std::string& t : texts) list->addItem(Q(t));
}

}  // namespace

void Frm_offline::BuildGroupEditor() {
  lbl_assigned = new QLabel("Assigned channels:", Framegrup);
  lstgrup2 = new QListWidget(Framegrup);
  lbl_free = new QLabel("Free channels:", Framegrup);
  lstchgrup2 = new QListWidget(Framegrup);
  for (QWidget* w : std::initializer_list<QWidget*>{lbl_assigned, lstgrup2, lbl_free, lstchgrup2})
    w->hide();
}

void Frm_offline::ConnectGroupEditor() {
  connect(Picreal, &ui::PictureBox::MouseMove, this, &Frm_offline::Picreal_MouseMove);
  connect(Picreal, &ui::PictureBox::MouseUp, this, &Frm_offline::Picreal_MouseUp);
  connect(combogrup2, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) combogrup2_Click();
  });
  connect(combogrup2, &QListWidget::itemDoubleClicked, this, [this] { combogrup2_DblClick(); });
  combogrup2->installEventFilter(this);
  connect(cmd_goset, &QPushButton::clicked, this, [this] { cmd_goset_Click(); });
  connect(Cmd_clear, &QPushButton::clicked, this, [this] { Cmd_clear_Click(); });
  connect(cmdcancelgrups, &QPushButton::clicked, this, [this] { cmdcancelgrups_Click(); });
}

// ---- Lists ----

int Frm_offline::EditorGroup() const {
  const QListWidgetItem* item = combogrup2->currentItem();
  return item ? item->data(Qt::UserRole).toInt() : 0;
}

void Frm_offline::FillEditorGroupCombo(int group) {
  const std::vector<setup::GroupEntry> entries = EditorModel().BuildEntries();
  const QSignalBlocker quiet(combogrup2);
  combogrup2->clear();
  for (const setup::GroupEntry& e : entries) {
    auto* item = new QListWidgetItem(Q(e.text), combogrup2);
    item->setData(Qt::UserRole, e.group);
  }
  combogrup2->setCurrentRow(setup::GroupModel::EntryIndexOf(entries, group));
}

void Frm_offline::ListGroupWells(int group) {
  Append(lstgrup2, GroupWellLabels(EditorModel(), group));
}

void Frm_offline::FillEditorGroupLists() {
  for (const setup::ChannelEntry& e : EditorModel().FreeChannels()) lstchgrup2->addItem(Q(e.label));
}

void Frm_offline::RefreshEditorLists(int group) {
  lstgrup2->clear();
  lstchgrup2->clear();
  ListGroupWells(group);
  FillEditorGroupLists();
}

void Frm_offline::combogrup2_Click() {
  lstgrup2->clear();
  ListGroupWells(EditorGroup());
}

void Frm_offline::combogrup2_KeyPress(int key) {
  if (key == kEnter) combogrup2_DblClick();
}

void Frm_offline::combogrup2_DblClick() {
  QListWidgetItem* item = combogrup2->currentItem();
  if (!item) return;
  setup::GroupEntry entry{item->data(Qt::UserRole).toInt(), item->text().toStdString()};
  setup::GroupModel model = EditorModel();
  if (setup::AskRenameGroup(model, entry)) item->setText(Q(entry.text));
}

// ---- Opening and drawing ----

void Frm_offline::OpenPlateEditor() {
  if (!run_loaded_) return;
  const std::vector<std::string> sets =
      setup::GroupSetNames(run_.Run_Plate_Rows, run_.Run_Plate_Cols);
  Combo_sets->clear();
  for (const std::string& name : sets) Combo_sets->addItem(Q(name));
  Combo_sets->setCurrentIndex(setup::PreselectedGroupSet(sets.size()));
  FitSetsRow();
  editor_groups_ = run_.Run_Group;
  editor_names_ = run_.Run_Group_Name;
  FillEditorGroupCombo(0);
  lstgrup2->clear();
  ListGroupWells(EditorGroup());
  lstchgrup2->clear();
  FillEditorGroupLists();
  Editor_Opened = 1;
  View_Mode = 3;
  editor_pointer_.Reset();
  DisableBrowserControls();
  // Nothing else may draw on the picture or leave the run while it is edited.
  frame_plotbutton->setEnabled(false);
  Frame_bisize->hide();
  mnadvanced->setEnabled(false);
  DrawPlateEditor();
  Framegrup->show();
  Framegrup->raise();
}

void Frm_offline::DrawPlateEditor() { PaintPicture(PlateEditorPicture(run_)); }

void Frm_offline::ClearGroups() {
  EditorModel().ClearAll();
  FillEditorGroupCombo(0);
  RefreshEditorLists(0);
  DrawPlateEditor();
}

// ---- The mouse on the plate ----

void Frm_offline::EditorMouseDown(int button, double x, double y) {
  const storage::PlateView plate = run_.Plate();
  const auto cell = editor_pointer_.Press(plate, button, x, y, Editor_Opened == 1);
  if (!cell) return;
  const int well = setup::WellOfCell(plate, *cell);
  const int group = EditorGroup();
  setup::GroupModel model = EditorModel();
  if (button == 1) {
    model.TakeFreeChannelsOfWell(well, group);
    FillEditorGroupCombo(group);
  } else {
    model.SetWellChannels(well, -1);
  }
  RefreshEditorLists(group);
  DrawPlateEditor();
}

void Frm_offline::Picreal_MouseMove(int, int, double x, double y) {
  if (View_Mode != 3) return;
  const setup::PlatePointer::Move m = editor_pointer_.MoveTo(run_.Plate(), x, y);
  if (!m.on_plate) return;
  // The picture is drawn again under the new rectangle, so the last one leaves nothing.
  PlotPicture picture = PlateEditorPicture(run_);
  picture.plan.Append(SelectionOutline(run_, m.rect));
  PaintPicture(picture);
}

void Frm_offline::Picreal_MouseUp(int button, int, double x, double y) {
  if (View_Mode != 3 || (button != 1 && button != 2)) return;
  const auto rect = editor_pointer_.Release(run_.Plate(), button, x, y, Editor_Opened == 1);
  if (rect) {
    const int group = EditorGroup();
    EditorModel().SetRectChannels(*rect, button == 1 ? group : -1);
    FillEditorGroupCombo(group);
    RefreshEditorLists(group);
  }
  DrawPlateEditor();
}

// ---- Block sets, clear, leave ----

void Frm_offline::cmd_goset_Click() {
  const auto block = setup::ParseGroupSetName(Combo_sets->currentText().toStdString());
  if (!block || !EditorModel().ApplyGroupSet(block->rows, block->cols)) return;
  RefreshEditorLists(0);
  FillEditorGroupCombo(0);
  DrawPlateEditor();
}

void Frm_offline::Cmd_clear_Click() {
  setup::GroupModel model = EditorModel();
  if (setup::AskClearAllGroups(model)) ClearGroups();
}

bool Frm_offline::ReloadRun() {
  const std::filesystem::path folder = run_.Chosen_Run_Path;
  const QString title = lbl_subpj_title->text();
  const int line = LineOfFolder(folder);
  if (!LoadRun(folder, line, lbl_pj_title->text().toStdString())) return false;
  // A run whose line the list does not show keeps its title.
  if (line < 0) lbl_subpj_title->setText(title);
  return true;
}

void Frm_offline::cmdcancelgrups_Click() {
  auto& dialogs = platform::GetDialogs();
  const bool save = dialogs.AskYesNo("Do you like to Save Changes?");
  const std::filesystem::path folder = run_.Chosen_Run_Path;
  bool saved = false;
  if (save) {
    std::string note;
    const storage::SetCommit result = SaveRunGroupFiles(folder, run_, {}, &note);
    // Replaced but not yet synced, the new files are the run's all the same.
    saved = result == storage::SetCommit::kDone || result == storage::SetCommit::kUnsynced;
    std::string text =
        saved ? "New Groups applied and saved" : "Error updating group files at " + folder.string();
    if (!note.empty()) text += "\r\n" + note;
    dialogs.MsgBox(text);
  }
  EnableBrowserControls();
  if (save) platform::Sleep(100);
  // A run that cannot be read again keeps the groups it had before the editor, unless
  // the edited ones are now its files'.
  if (!ReloadRun() && !saved) {
    run_.Run_Group = editor_groups_;
    run_.Run_Group_Name = editor_names_;
  }
  ui::DoEvents();
  if (!save) dialogs.MsgBox("Original groups restored");
  Framegrup->hide();
  frame_plotbutton->setEnabled(true);
  mnadvanced->setEnabled(true);
  View_Mode = 0;
  Cmd_leegroups_Click();
}

}  // namespace offline
