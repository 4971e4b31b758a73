#pragma once
// The project setup window: project management, plate format, acquisition and
// detection settings on the right, the plate picture, group editor and annotation
// panel on the left. Its behaviour lives in setup::SetupController; the window shows
// the controller's control values and forwards the user's changes to it.
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "setup/group_annotations.h"
#include "setup/group_model.h"
#include "setup/group_picture.h"
#include "setup/setup_controller.h"
#include "setup/setup_sides.h"
#include "ui/form.h"
#include "ui/picture_box.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace ui {
class ShapeBox;
}

namespace setup {

class Frm_setup : public ui::Form, public SetupView {
  Q_OBJECT

 public:
  Frm_setup();
  ~Frm_setup() override;

  void Form_Load() override;
  void Form_Unload() override;
  void Form_Resize() override;
  // One layout pass over the window's current size.
  void ArrangeControls();

  SetupController& controller() { return *controller_; }

  // ---- The group editor, the plate picture and the annotation panel ----
  // (frm_setup_groups.cpp, frm_setup_annotations.cpp)
  void FillGroupCombo(int16_t group);
  void ListGroupChannels(int16_t group);
  void ListFreeChannels();
  void DrawPlateLayout();
  void ShowAnnotationGrid();
  void FillAnnotationFieldList();
  // The group of the group list's selected entry; 0 without one.
  int CurrentGroup() const;
  void combogrup_Click();
  void combogrup_DblClick();  // and Enter, and the menu's "Rename"
  void mn_groupclr_Click();
  void Cmd_clear_Click();
  void lstchgrup_DblClick();  // and Enter, and Command12: a free well into the group
  void lstgrup_DblClick();    // and Enter, and Command13: a well out of its group
  void cmd_goset_Click();
  void mnopciongrup_Click(int index);
  void ApplyGroupSet(const std::string& name);
  void Picwell_MouseDown(int button, int shift, double x, double y);
  void Picwell_MouseMove(int button, int shift, double x, double y);
  void Picwell_MouseUp(int button, int shift, double x, double y);
  void chk_advance_Click();
  void cmd_annot_web_Click();
  void cmd_up_Click();
  void cmd_down_Click();
  void cmd_fill_Click();
  void cmd_setglobal_Click();
  int Annotation_Offset() const { return annotations_->Offset(); }
  // The annotation row whose option button is ticked, -1 for none.
  int TickedAnnotationRow() const;
  int16_t Layout_Ready = 0;

  // ---- SetupView ----
  void PrepareGroupList() override;
  void ShowAnnotationPanel() override;
  void HideStationOptions() override;
  void ResetPlateSelection() override;
  void FillGroupSets() override;
  void FillGroupsAndPlate() override;
  void ClearAllGroups() override;
  void ArmPlateTimer() override;
  void DisarmPlateTimer() override;
  void FocusSnrBox() override;
  std::string DescriptionText() const override;
  void HideWindow() override;
  void Refresh() override;

  // ---- Menus ----
  QMenuBar* menu_bar = nullptr;
  QMenu* mnfile = nullptr;
  QAction* mn_advanced = nullptr;
  QMenu* mnhelp = nullptr;
  QMenu* mn_group_action = nullptr;  // popped up over the group list only
  QAction* mnren_group = nullptr;
  QAction* mn_groupclr = nullptr;
  QMenu* mngroup = nullptr;  // the group sets, popped up by cmd_goset
  std::array<QAction*, 24> mnopciongrup{};

  QWidget* client = nullptr;  // the window's inside, below the menu bar
  ui::PictureBox* PicPanel1 = nullptr;
  ui::PictureBox* PicPanel2 = nullptr;
  QLabel* Label_workingfolder = nullptr;
  QLineEdit* Txtfolder = nullptr;

  // ---- Left panel ----
  ui::PictureBox* Picwell = nullptr;
  QLabel* lbl_listgrupos = nullptr;
  std::array<QRadioButton*, 4> plate_option{};
  QLabel* Label_wellformat = nullptr;
  QComboBox* Combowell = nullptr;
  QPushButton* cmd_goset = nullptr;
  QLabel* Label_groupsname = nullptr;
  QPushButton* Cmd_clear = nullptr;
  QListWidget* combogrup = nullptr;
  QLabel* Label19 = nullptr;
  QLabel* lblnchannel = nullptr;
  QPushButton* cmd_annot_web = nullptr;
  QLineEdit* txt_annot_id = nullptr;
  QPushButton* cmd_annot_sync = nullptr;

  // The annotation panel.
  QFrame* frm_advance = nullptr;
  ui::ShapeBox* Shape_advance = nullptr;
  ui::ShapeBox* Shape_globals = nullptr;
  ui::ShapeBox* Shape_track = nullptr;
  QLabel* lbl_global = nullptr;
  QCheckBox* Chk_global_buffer = nullptr;
  QLineEdit* txt_global_buffer = nullptr;
  QCheckBox* Chk_global_strain = nullptr;
  QLineEdit* txt_global_strain = nullptr;
  QCheckBox* Chk_global_orgnum = nullptr;
  QLineEdit* txt_global_orgnum = nullptr;
  QComboBox* combo_tool = nullptr;
  QLineEdit* txt_global = nullptr;
  QPushButton* cmd_fill = nullptr;
  QPushButton* cmd_setglobal = nullptr;
  QPushButton* cmd_up = nullptr;
  QPushButton* cmd_down = nullptr;
  QLabel* lbl_group = nullptr;
  QLabel* lbl_compound = nullptr;
  QLabel* lbl_conc = nullptr;
  QLabel* lbl_strain = nullptr;
  QLabel* lbl_org = nullptr;
  QLabel* lbl_buff = nullptr;
  std::array<QRadioButton*, 6> adv_group{};
  std::array<QLineEdit*, 6> txt_group{};
  std::array<QLineEdit*, 6> txt_compound{};
  std::array<QLineEdit*, 6> txt_conc{};
  std::array<QLineEdit*, 6> txt_strain{};
  std::array<QLineEdit*, 6> txt_org{};
  std::array<QLineEdit*, 6> txt_buffer{};

  // "old configurations": not visible as designed; its controls still hold values.
  QGroupBox* Frameconfig = nullptr;
  QComboBox* Combo_sets = nullptr;
  QListWidget* lstgrup = nullptr;
  QListWidget* lstchgrup = nullptr;
  QPushButton* Command12 = nullptr;
  QPushButton* Command13 = nullptr;
  QGroupBox* frametool = nullptr;
  QCheckBox* chkcalib = nullptr;
  QCheckBox* Chk_mn4 = nullptr;
  QCheckBox* Chk_mn5 = nullptr;
  QCheckBox* Chk_mn6 = nullptr;
  QLabel* Label_savecount = nullptr;
  QComboBox* Combosavecount = nullptr;
  QGroupBox* Frame_extra = nullptr;
  QComboBox* Combo_aqmode = nullptr;
  QLineEdit* Txtsample = nullptr;
  QLineEdit* Txt_dspinterval = nullptr;
  QLineEdit* Txtbuffer = nullptr;

  // ---- Right panel ----
  QLabel* lbl_project = nullptr;
  QCheckBox* chk_advance = nullptr;
  QPushButton* Command_main = nullptr;
  QPushButton* Cmdoffline = nullptr;

  QGroupBox* frm_project = nullptr;
  QLabel* Label16 = nullptr;
  QListWidget* List_project = nullptr;
  QPushButton* Cmd_cancel = nullptr;

  QFrame* Frame_setup = nullptr;
  QLineEdit* txtprj = nullptr;
  QPushButton* cmdLoad = nullptr;
  QPushButton* Cmdsavepj = nullptr;
  QPushButton* Cmdnewpj = nullptr;
  QLabel* Label_acqlapse = nullptr;
  QLineEdit* Txtlapse = nullptr;
  QLabel* Label_acqlapse2 = nullptr;
  QLabel* Lbl_keywords = nullptr;
  QPlainTextEdit* Txt_description = nullptr;
  ui::ShapeBox* Shape_detection = nullptr;
  QLabel* txt_detection = nullptr;
  QLabel* lbl_organism = nullptr;
  QComboBox* Cmb_organism = nullptr;
  QLabel* txt_snr = nullptr;
  QLineEdit* lbl_snr = nullptr;
  QLabel* lbl_dsp = nullptr;
  QComboBox* ComboDSP = nullptr;

  QGroupBox* Frame_advanced = nullptr;
  QCheckBox* chklight = nullptr;
  QCheckBox* chktemp = nullptr;
  QCheckBox* Check_saverealtime = nullptr;
  QLabel* Label_savereal = nullptr;
  QComboBox* Combosavereal = nullptr;
  QLabel* lbl_message = nullptr;

  // Arms the plate-format change once, 200 ms after a pick.
  QTimer Timer1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The group model over the open project's tables.
  GroupModel Groups() const;
  void ConnectGroupHandlers();
  void ConnectAnnotationHandlers();
  // Both channel lists cleared and filled for `group` and the free channels.
  void RefillChannelLists(int group);
  // Moves the well of a channel list's selected entry in or out and keeps the
  // selection near where it was.
  void MoveSelectedWell(QListWidget* list, bool into_group);
  void AnnotationModeChanged(AnnotationField field, bool global);
  void SyncAnnotationModes();
  QCheckBox* ModeBox(AnnotationField field) const;
  QLineEdit* GlobalBox(AnnotationField field) const;

  PlatePointer plate_pointer_;
  std::unique_ptr<AnnotationPanel> annotations_;

  void BuildMenus();
  void BuildControls();
  void BuildAnnotationPanel();
  void BuildHiddenFrames();
  void ConnectHandlers();
  // Runs a controller operation, then shows the controls as they now stand.
  template <class F>
  void Do(F&& operation);

  std::unique_ptr<MainSide> main_side_;
  std::unique_ptr<SetupController> controller_;
  bool showing_ = false;  // Refresh is writing the widgets: their signals are not the user's
};

}  // namespace setup
