#pragma once
// The setup window's behaviour without its widgets: the load sequence, the three
// exits, project management, the settings handlers and the plate-format change.
//
// The controller keeps the values of the window's project and settings controls
// (SetupControls) and follows the window's rule for them: a value placed by code runs
// the control's handler exactly as the user's change does, and only when the value
// changes; the handler runs to its end before the next step. The window mirrors these
// values onto its widgets and forwards every user change here. Everything the
// controls edit lives in the shared settings (storage::Shared()).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "setup/setup_sides.h"

namespace setup {

struct TextBox {
  std::string text;
  bool enabled = true;
};

// A list box or combo box: its items, the selected index (-1 none) and, for a combo
// box with an editable text, the text shown.
struct ListBox {
  std::vector<std::string> items;
  int index = -1;
  std::string text;
};

struct CheckBox {
  int value = 0;  // 0 unticked, 1 ticked
  bool enabled = true;
};

// One entry of the project list: the number it opens and the text it shows.
struct ProjectEntry {
  int16_t number = 0;
  std::string text;  // "p00012_name"
};

struct SetupControls {
  TextBox txtprj, Txtfolder, Txtlapse, Txtsample, Txtbuffer, Txt_dspinterval, lbl_snr;
  ListBox Combowell, Combo_aqmode, ComboDSP, Cmb_organism, Combosavecount, Combosavereal;
  CheckBox chkcalib, chklight, chktemp, Chk_mn4, Chk_mn5, Chk_mn6;
  bool Frame_advanced_visible = false;
  bool frm_project_visible = false;
  std::vector<ProjectEntry> List_project;
  int List_project_index = -1;
};

enum class Text { txtprj, Txtfolder, Txtlapse, Txtsample, Txtbuffer, Txt_dspinterval, lbl_snr };
enum class List { Combowell, Combo_aqmode, ComboDSP, Cmb_organism, Combosavecount, Combosavereal };
enum class Check { chkcalib, chklight, chktemp, Chk_mn4, Chk_mn5, Chk_mn6 };

class SetupController {
 public:
  SetupController(SetupView& view, MainSide& main);

  const SetupControls& controls() const { return c_; }

  // ---- Load and exits ----
  void Form_Load();
  // "Continue to Run...": saves the project and goes to the main window.
  void Command_main_Click();
  // "< Back": to the start window without saving.
  void Cmdoffline_Click();
  // The window is being closed.
  void Form_Unload();

  // ---- The user's changes to the modelled controls ----
  // While a run exists, a change to a setting the run reads is refused with a message
  // and the control shows the setting again.
  void UserText(Text id, const std::string& text);
  void UserSelect(List id, int index);
  // Text typed into an editable combo box: kept, runs nothing until the typing ends
  // (TypedTextDone).
  void UserEditText(List id, const std::string& text);
  // Enter in an editable list, or leaving it: what the box shows is what is kept. A
  // typed text that names a listed entry is its pick; any other gives way to the
  // current entry.
  void TypedTextDone(List id);
  void UserCheck(Check id, int value);
  void txt_snr_DblClick();
  void lbl_snr_LostFocus();
  void Txtbuffer_LostFocus();
  void mn_advanced_Click();

  // ---- Project management ----
  void Cmdnewpj_Click();
  void Cmdsavepj_Click();
  void cmdLoad_Click();
  void Cmd_cancel_Click();
  void UserSelectProject(int index);
  void List_project_DblClick();
  void txtprj_DblClick();
  void ListProjects();

  // ---- Plate format ----
  // The user picked entry `index` of the format list: the change runs from the timer.
  void Combowell_Click(int index);
  void Timer1_Timer();
  // TypedTextDone of the format box: its pick runs from the timer.
  void TypedFormatDone();

 private:
  // Code placing a value: the handler runs when the value changes.
  void PlaceText(Text id, const std::string& text);
  void PlaceIndex(List id, int index);
  void PlaceCheck(Check id, int value);
  void FillList(List id, const std::vector<std::string>& items);
  void TextChanged(Text id);
  void ListClicked(List id);
  void CheckClicked(Check id);
  TextBox& Box(Text id);
  ListBox& Box(List id);
  CheckBox& Box(Check id);

  // Handlers.
  void Cmb_organism_Click();
  void ComboDSP_Click();
  void Txtlapse_Change();

  // Load steps and shared pieces.
  void ShowProjectCaption();
  void FillPlateFormats();
  void ShowPlateFormat();
  void WriteDetectionToMain();
  bool SaveInPlace();
  void SaveUnderNewNumber(const std::string& title);
  void ChangePlateFormat(const std::string& code);
  // A save or a move away inside the timer's 200 ms, or with typed text in a list,
  // runs the picked change first, so the project keeps what the boxes show.
  void ApplyPendingPlatePick();

  SetupView& view_;
  MainSide& main_;
  SetupControls c_;
  // Set while the load runs: selecting the stored organism keeps the stored SNR and
  // method.
  bool loading_ = false;
  // The format picked last, waiting for the timer.
  std::optional<std::string> picked_format_;
  // The format box holds typed text not yet taken.
  bool format_typed_ = false;
};

}  // namespace setup
