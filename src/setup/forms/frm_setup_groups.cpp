// The setup window's group editor, plate picture and annotation panel: the calls the
// window's load and layout make into them.
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>

#include "platform/numeric.h"
#include "setup/forms/frm_setup.h"
#include "setup/group_model.h"
#include "storage/shared_state.h"
#include "ui/window_shape.h"

namespace setup {

void Frm_setup::PrepareGroupList() { ui::RemoveListBoxBorder(*combogrup); }

void Frm_setup::ShowAnnotationPanel() {
  ShowAnnotationGrid();
  FillAnnotationFieldList();
}

void Frm_setup::ShowAnnotationGrid() {}

void Frm_setup::FillAnnotationFieldList() {
  combo_tool->clear();
  combo_tool->addItems({"Compound", "Strain", "Buffer", "[org/well]", "[Conc]"});
  combo_tool->setCurrentIndex(0);
}

void Frm_setup::HideStationOptions() {
  for (QRadioButton* option : plate_option) option->hide();
}

void Frm_setup::ResetPlateSelection() {
  Last_Cell_Col = 0;
  Last_Cell_Row = 0;
}

void Frm_setup::FillGroupSets() {}

void Frm_setup::FillGroupCombo(int16_t group) {
  const auto& s = storage::Shared();
  combogrup->clear();
  combogrup->addItem(QString::fromStdString(platform::FormatZeroPadded(group, 3) + "_" +
                                            s.Group_Name[static_cast<size_t>(group)]));
  combogrup->setCurrentRow(0);
}

void Frm_setup::ListGroupChannels(int16_t) {}

void Frm_setup::ListFreeChannels() {}

void Frm_setup::FillGroupsAndPlate() {
  FillGroupCombo(0);
  lstgrup->clear();
  ListGroupChannels(0);
  ListFreeChannels();
  Layout_Ready = 1;
  DrawPlateLayout();
}

void Frm_setup::ClearAllGroups() {
  GroupModel::OfProject(storage::Shared()).ClearAll();
  FillGroupCombo(0);
  lstgrup->clear();
  lstchgrup->clear();
  ListGroupChannels(0);
  ListFreeChannels();
  DrawPlateLayout();
}

void Frm_setup::DrawPlateLayout() {
  const auto& s = storage::Shared();
  const auto nint = [](double x) { return platform::RoundHalfEven(x); };
  const double cp = nint(s.Col_Pitch * 100), co = nint(s.Col_Offset * 100);
  const double rp = nint(s.Row_Pitch * 100), ro = nint(s.Row_Offset * 100);
  Picwell->Cls();
  if (!Picwell->Scale(co - 100, ro - 100, 2425, 1625)) return;
  for (int r = 0; r < s.Plate_Rows; ++r) {
    for (int c = 0; c < s.Plate_Cols; ++c) {
      Picwell->Box(c * cp + co, r * rp + ro, (c + 1) * cp + co, (r + 1) * rp + ro,
                   ui::RGB(0, 0, 255), false);
    }
  }
}

}  // namespace setup
