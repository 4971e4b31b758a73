// The main window's station, group, well and beam selectors. The texts and look-ups
// come from selectors.h; here they meet the controls. Selecting an entry from code
// raises the control's handler as the user's choice does, and only on a change.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QString>
#include <algorithm>

#include "mainwindow/frm_main.h"
#include "mainwindow/plot_geometry.h"
#include "mainwindow/selectors.h"
#include "platform/numeric.h"
#include "storage/shared_state.h"

namespace mainwindow {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

double ValueOf(const QString& text) { return platform::Val(text.toStdString()); }

// Row index of the row selector's text: "A" is 0; -1 with no text.
int RowOf(const QComboBox& combo) {
  const QString t = combo.currentText();
  return t.isEmpty() ? -1 : t.at(0).unicode() - 65;
}

// Refills a list-only combo box without raising its handler; nothing stays selected.
void Refill(QComboBox& combo, const std::vector<std::string>& items) {
  const QSignalBlocker block(&combo);
  combo.clear();
  for (const std::string& item : items) combo.addItem(Q(item));
  combo.setCurrentIndex(-1);
}

// The channel of the well at the chosen row and column and the beam in txtsub; the
// selection and the view change only when the plate has such a beam.
void SelectChannel(Frm_Main& f, int row, int column) {
  storage::SharedState& s = storage::Shared();
  const int beam = platform::RoundToInt(ValueOf(f.txtsub->text()));
  const int ch = ClaimedChannel(s, WellAt(s, row, column), beam);
  if (ch < 0) return;
  s.Selected_Channel = static_cast<int16_t>(ch);
  f.lblcanal->SetCaption(QString::number(ch));
  f.DrawRealtimePlot(f.Station_Index);
}

void ApplyEntry(Frm_Main& f, int row) {
  f.lstgrup->setCurrentRow(row);
  f.txtbeam->setText(f.lstgrup->item(row)->text());
  f.lstgrup_DblClick();
}

void ShowWellsView(Frm_Main& f) {
  f.Picact->Cls();
  f.Picact->Scale(-30, 300, 300, -30);
  f.Plot_Kind = 0;
  f.cmd_pgup->hide();
  f.cmd_pgdown->hide();
  f.DrawActivityAxes();
  if (f.lstgrup->count() > 0) ApplyEntry(f, 0);
  f.UpdateTimePlot(f.Station_Index);
}

}  // namespace

void Frm_Main::FillPlateSelectors() {
  const storage::SharedState& s = storage::Shared();
  // Both lists are full before either handler reads the other.
  Refill(*Combofila, RowItems(s.Plate_Rows));
  Refill(*Combocol, ColumnItems(s.Plate_Cols));
  if (Combofila->count() > 0) Combofila->setCurrentIndex(0);
  if (Combocol->count() > 0) Combocol->setCurrentIndex(0);
  Refill(*combogrup, GroupSelectorItems(s));
  combogrup->setCurrentIndex(0);
}

void Frm_Main::FillGroupWellList(int16_t group) {
  for (const std::string& entry : GroupWellEntries(storage::Shared(), group)) {
    lstgrup->addItem(Q(entry));
  }
}

void Frm_Main::lstgrup_KeyPress(int16_t key) {
  if (key == 13) lstgrup_DblClick();
}

void Frm_Main::lstgrup_DblClick() {
  const int selected = lstgrup->currentRow();
  if (selected < 0 || selected >= lstgrup->count()) return;
  const auto entry = ParseWellEntry(lstgrup->item(selected)->text().toStdString());
  if (!entry) return;
  const storage::SharedState& s = storage::Shared();
  txtsub->setText(Q(NumberText(entry->beam)));
  if (entry->row >= 0 && entry->row < Combofila->count()) Combofila->setCurrentIndex(entry->row);
  const int col_index = entry->column - 1;
  if (col_index >= 0 && col_index < Combocol->count()) Combocol->setCurrentIndex(col_index);
  if (ValueOf(txtsub->text()) > s.Max_Beam) txtsub->setText(QString::number(s.Max_Beam));
  SelectChannel(*this, RowOf(*Combofila), platform::RoundToInt(ValueOf(Combocol->currentText())));
}

void Frm_Main::FollowGroupWells(const storage::ChannelTable16& map, int g) {
  const std::vector<int16_t> wells = WellsOfGroup(storage::Shared(), map, g);
  if (Group_Channels.size() < storage::kTableSize) Group_Channels.resize(storage::kTableSize, 0);
  const std::size_t n = std::min(wells.size(), Group_Channels.size());
  std::copy_n(wells.begin(), n, Group_Channels.begin());
  Group_Channel_Count = static_cast<int16_t>(n);
  wells_group_ = g;
}

void Frm_Main::RefreshGroupWells() {
  const storage::SharedState& s = storage::Shared();
  const int ch = s.Selected_Channel;
  int g = ch >= 0 && ch < storage::kTableSize ? s.Group[static_cast<std::size_t>(ch)] : -1;
  // A free channel keeps the last group, with the wells that group holds now.
  if (g < 0) g = wells_group_;
  if (g >= 0) FollowGroupWells(s.Group, g);
}

void Frm_Main::lblcanal_Change() { RefreshGroupWells(); }

void Frm_Main::combogrup_Click() {
  if (combogrup->currentIndex() < 0) return;
  const QString item = combogrup->currentText();
  lstgrup->clear();
  FillGroupWellList(static_cast<int16_t>(GroupOfItem(item.toStdString())));
  combogrup->setToolTip(item);
  ShowWellsView(*this);
}

void Frm_Main::Combocol_Click() {
  SelectChannel(*this, RowOf(*Combofila), platform::RoundToInt(ValueOf(Combocol->currentText())));
}

void Frm_Main::Combofila_Click() {
  const storage::SharedState& s = storage::Shared();
  int row = RowOf(*Combofila);
  int column = platform::RoundToInt(ValueOf(Combocol->currentText()));
  if ((column - 1) * s.Plate_Rows + row >= s.Plate_Cols * s.Plate_Rows) {
    // Back to the first well; the handlers stay quiet, the channel is chosen below.
    const QSignalBlocker b1(Combofila);
    const QSignalBlocker b2(Combocol);
    Combofila->setCurrentIndex(Combofila->findText("A"));
    Combocol->setCurrentIndex(Combocol->findText("1"));
    row = 0;
    column = 1;
  }
  if (ValueOf(txtsub->text()) > s.Max_Beam) txtsub->setText("0");
  SelectChannel(*this, row, column);
}

void Frm_Main::cmdbeam_plus_Click() {
  const int i = lstgrup->currentRow();
  if (i < lstgrup->count() - 1) ApplyEntry(*this, i + 1);
}

void Frm_Main::cmdbeam_minus_Click() {
  const int i = lstgrup->currentRow();
  if (i > 0) ApplyEntry(*this, i - 1);
}

void Frm_Main::cmd_stack_pos_Click(int index) {
  storage::SharedState& s = storage::Shared();
  lbl_station->setText("STATION " + QString::number(index + 1));
  Station_Index = static_cast<int16_t>(index);
  DrawRealtimePlot(Station_Index);
  s.Selected_Channel = 0;
  FillPlateSelectors();
  lstgrup->clear();
  FillGroupWellList(0);

  const StationGroups groups = GroupsOfStation(s, Station_Index);
  if (groups.group && s.Selected_Channel >= 0 && s.Selected_Channel < storage::kTableSize) {
    const int g = (*groups.group)[static_cast<std::size_t>(s.Selected_Channel)];
    if (g >= 0) FollowGroupWells(*groups.group, g);
  }

  switch (Plot_Kind) {
    case 0:
      ShowWellsView(*this);
      break;
    case 1:
      Dibujar_barplot(Station_Index);
      break;
    case 2:
      UpdateGridPlot(Station_Index);
      break;
    case 3:
      Dibujar_histoplot(Station_Index);
      break;
    default:
      break;
  }
}

}  // namespace mainwindow
