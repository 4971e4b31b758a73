// The setup window's group editor: the group list and its pop-up menu, the two
// channel lists, the group sets and their menu, and the plate picture with its mouse.
// Every edit goes through the group model on the open project's tables; the lists
// keep the group or channel of each entry beside its text.
#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "ui/plot_paint.h"
#include "platform/dialogs.h"
#include "setup/forms/frm_setup.h"
#include "setup/group_sets.h"
#include "setup/run_guard.h"
#include "storage/shared_state.h"
#include "ui/window_shape.h"

namespace setup {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The number kept beside a list entry (group or channel).
int DataOf(const QListWidgetItem* item) { return item ? item->data(Qt::UserRole).toInt() : 0; }

void Append(QListWidget* list, const std::vector<ChannelEntry>& entries) {
  for (const ChannelEntry& e : entries) {
    auto* item = new QListWidgetItem(Q(e.label), list);
    item->setData(Qt::UserRole, e.channel);
  }
}

// Acts on Enter in a list and on the right button over the group list, whose press
// selects nothing: it only pops up the group menu.
class ListKeys : public QObject {
 public:
  ListKeys(QObject* parent, std::function<void()> enter, std::function<void()> right_button = {})
      : QObject(parent), enter_(std::move(enter)), right_(std::move(right_button)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        enter_();
        return true;
      }
    }
    if (right_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
      right_();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> enter_;
  std::function<void()> right_;
};

}  // namespace

GroupModel Frm_setup::Groups() const { return GroupModel::OfProject(storage::Shared()); }

void Frm_setup::ConnectGroupHandlers() {
  connect(combogrup, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) combogrup_Click();
  });
  connect(combogrup, &QListWidget::itemDoubleClicked, this, [this] { combogrup_DblClick(); });
  combogrup->installEventFilter(new ListKeys(this, [this] { combogrup_DblClick(); }));
  combogrup->viewport()->installEventFilter(new ListKeys(
      this, [] {}, [this] { mn_group_action->popup(QCursor::pos()); }));
  connect(mnren_group, &QAction::triggered, this, [this] { combogrup_DblClick(); });
  connect(mn_groupclr, &QAction::triggered, this, [this] { mn_groupclr_Click(); });
  connect(Cmd_clear, &QPushButton::clicked, this, [this] { Cmd_clear_Click(); });

  connect(lstchgrup, &QListWidget::itemDoubleClicked, this, [this] { lstchgrup_DblClick(); });
  lstchgrup->installEventFilter(new ListKeys(this, [this] { lstchgrup_DblClick(); }));
  connect(Command12, &QPushButton::clicked, this, [this] { lstchgrup_DblClick(); });
  connect(lstgrup, &QListWidget::itemDoubleClicked, this, [this] { lstgrup_DblClick(); });
  lstgrup->installEventFilter(new ListKeys(this, [this] { lstgrup_DblClick(); }));
  connect(Command13, &QPushButton::clicked, this, [this] { lstgrup_DblClick(); });

  connect(cmd_goset, &QPushButton::clicked, this, [this] { cmd_goset_Click(); });
  for (size_t i = 0; i < mnopciongrup.size(); ++i) {
    connect(mnopciongrup[i], &QAction::triggered, this,
            [this, i] { mnopciongrup_Click(static_cast<int>(i)); });
  }

  connect(Picwell, &ui::PictureBox::MouseDown, this, &Frm_setup::Picwell_MouseDown);
  connect(Picwell, &ui::PictureBox::MouseMove, this, &Frm_setup::Picwell_MouseMove);
  connect(Picwell, &ui::PictureBox::MouseUp, this, &Frm_setup::Picwell_MouseUp);
}

// ---- Load steps ----

void Frm_setup::PrepareGroupList() {
  mn_group_action->menuAction()->setVisible(false);
  ui::RemoveListBoxBorder(*combogrup);
}

void Frm_setup::HideStationOptions() {
  for (QRadioButton* option : plate_option) option->hide();
}

void Frm_setup::ResetPlateSelection() { plate_pointer_.Reset(); }

void Frm_setup::FillGroupSets() {
  const auto& s = storage::Shared();
  const std::vector<std::string> names = GroupSetNames(s.Plate_Rows, s.Plate_Cols);
  Combo_sets->clear();
  for (const std::string& name : names) Combo_sets->addItem(Q(name));
  Combo_sets->setCurrentIndex(PreselectedGroupSet(names.size()));
  for (size_t i = 0; i < mnopciongrup.size(); ++i) {
    // A check mark names the set applied last; after a rebuild the item may name
    // another set.
    mnopciongrup[i]->setChecked(false);
    mnopciongrup[i]->setVisible(i == 0);
    if (i < names.size()) {
      mnopciongrup[i]->setText(Q(names[i]));
      mnopciongrup[i]->setVisible(true);
    }
  }
}

void Frm_setup::FillGroupsAndPlate() {
  FillGroupCombo(0);
  // Both lists start empty at every load: appended to, the free list would grow by a
  // plate's worth each time.
  RefillChannelLists(CurrentGroup());
  Layout_Ready = 1;
  DrawPlateLayout();
}

// ---- The lists ----

int Frm_setup::CurrentGroup() const { return DataOf(combogrup->currentItem()); }

void Frm_setup::FillGroupCombo(int16_t group) {
  const std::vector<GroupEntry> entries = Groups().BuildEntries();
  combogrup->clear();
  for (const GroupEntry& e : entries) {
    auto* item = new QListWidgetItem(Q(e.text), combogrup);
    item->setData(Qt::UserRole, e.group);
  }
  // Selecting runs the list's click, which lists the group's channels.
  combogrup->setCurrentRow(GroupModel::EntryIndexOf(entries, group));
}

void Frm_setup::ListGroupChannels(int16_t group) { Append(lstgrup, Groups().GroupChannels(group)); }

void Frm_setup::ListFreeChannels() { Append(lstchgrup, Groups().FreeChannels()); }

void Frm_setup::RefillChannelLists(int group) {
  lstgrup->clear();
  lstchgrup->clear();
  ListGroupChannels(static_cast<int16_t>(group));
  ListFreeChannels();
}

void Frm_setup::combogrup_Click() {
  lstgrup->clear();
  ListGroupChannels(static_cast<int16_t>(CurrentGroup()));
}

void Frm_setup::combogrup_DblClick() {
  QListWidgetItem* item = combogrup->currentItem();
  if (!item) return;
  if (RefusedDuringRun()) return;
  GroupEntry entry{DataOf(item), item->text().toStdString()};
  GroupModel model = Groups();
  if (AskRenameGroup(model, entry)) item->setText(Q(entry.text));
}

void Frm_setup::mn_groupclr_Click() {
  QListWidgetItem* item = combogrup->currentItem();
  if (!item) return;
  if (RefusedDuringRun()) return;
  const GroupEntry entry{DataOf(item), item->text().toStdString()};
  GroupModel model = Groups();
  if (!AskClearGroup(model, entry)) return;
  lstgrup->clear();
  FillGroupCombo(0);
  RefillChannelLists(0);
  DrawPlateLayout();
}

void Frm_setup::Cmd_clear_Click() {
  if (RefusedDuringRun()) return;
  GroupModel model = Groups();
  if (AskClearAllGroups(model)) ClearAllGroups();
}

void Frm_setup::ClearAllGroups() {
  Groups().ClearAll();
  FillGroupCombo(0);
  RefillChannelLists(0);
  DrawPlateLayout();
}

void Frm_setup::MoveSelectedWell(QListWidget* list, bool into_group) {
  if (list->count() == 0 || RefusedDuringRun()) return;
  if (!list->currentItem()) list->setCurrentRow(0);
  const int selected = list->currentRow();
  const int group = CurrentGroup();
  Groups().MoveWell(DataOf(list->currentItem()), into_group ? group : -1);
  RefillChannelLists(group);
  const int keep = SelectionAfterMove(selected, list->count());
  if (keep >= 0)
    list->setCurrentRow(keep);
  else
    list->setCurrentItem(nullptr);
  DrawPlateLayout();
}

void Frm_setup::lstchgrup_DblClick() { MoveSelectedWell(lstchgrup, true); }

void Frm_setup::lstgrup_DblClick() { MoveSelectedWell(lstgrup, false); }

// ---- Group sets ----

void Frm_setup::cmd_goset_Click() { mngroup->popup(QCursor::pos()); }

void Frm_setup::mnopciongrup_Click(int index) {
  if (index < 0 || index >= static_cast<int>(mnopciongrup.size()) || RefusedDuringRun()) return;
  ApplyGroupSet(mnopciongrup[static_cast<size_t>(index)]->text().toStdString());
  for (QAction* item : mnopciongrup) item->setChecked(false);
  mnopciongrup[static_cast<size_t>(index)]->setChecked(true);
}

void Frm_setup::ApplyGroupSet(const std::string& name) {
  const auto block = ParseGroupSetName(name);
  if (!block || !Groups().ApplyGroupSet(block->rows, block->cols)) return;
  RefillChannelLists(0);
  FillGroupCombo(0);
  DrawPlateLayout();
}

// ---- The plate picture ----

void Frm_setup::DrawPlateLayout() {
  const GroupModel model = Groups();
  const PictureScale scale = PlatePictureScale(model.Plate());
  Picwell->Cls();
  if (!Picwell->Scale(scale.left, scale.top, scale.right, scale.bottom)) return;
  Picwell->SetFontName("Sans Serif");
  Picwell->SetFontSize(kLabelPoints);
  ui::PaintPlan(*Picwell, PlatePicture(model));
}

void Frm_setup::Picwell_MouseDown(int button, int, double x, double y) {
  const GroupModel model = Groups();
  const auto cell = plate_pointer_.Press(model.Plate(), button, x, y, Layout_Ready == 1);
  if (!cell || RefusedDuringRun()) return;
  const int well = WellOfCell(model.Plate(), *cell);
  lblnchannel->setText(QString::number(well));
  const int group = CurrentGroup();
  if (button == 1) {
    Groups().TakeFreeChannelsOfWell(well, group);
    FillGroupCombo(static_cast<int16_t>(group));
  } else {
    Groups().SetWellChannels(well, -1);
  }
  RefillChannelLists(group);
  DrawPlateLayout();
}

void Frm_setup::Picwell_MouseMove(int, int, double x, double y) {
  const GroupModel model = Groups();
  const PlatePointer::Move m = plate_pointer_.MoveTo(model.Plate(), x, y);
  if (!m.on_plate) return;
  ui::PaintPlan(*Picwell, SelectionBars(model.Plate(), m.rect));
  lblnchannel->setText(Q(CellName(m.far_corner)));
}

void Frm_setup::Picwell_MouseUp(int button, int, double x, double y) {
  GroupModel model = Groups();
  const auto rect = plate_pointer_.Release(model.Plate(), button, x, y, Layout_Ready == 1);
  // A run's groups stay as they are; the press has said why.
  if (!rect || storage::Shared().Acq_State != 0) return;
  const int target = ReleaseTargetGroup(!frm_advance->isHidden(), TickedAnnotationRow(),
                                        Annotation_Offset(), CurrentGroup());
  const int last = model.SetRectChannels(*rect, button == 1 ? target : -1);
  if (last >= 0) lblnchannel->setText(QString::number(last));
  FillGroupCombo(static_cast<int16_t>(target));
  RefillChannelLists(target);
  DrawPlateLayout();
}

}  // namespace setup
