#include "setup/setup_controller.h"

#include <algorithm>

#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "setup/plate_choice.h"
#include "setup/project_list.h"
#include "setup/run_guard.h"
#include "setup/setting_rules.h"
#include "storage/project_folders.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"

namespace setup {

namespace {

template <size_t N>
std::vector<std::string> Items(const std::array<const char*, N>& texts) {
  return {texts.begin(), texts.end()};
}

bool InRange(int v, int low, int high) { return v >= low && v <= high; }

// The settings a run reads while it goes on (the lapse at every tick, the method at
// every bin end, the raw blocks' saving): a run keeps those it started with.
bool RunReads(Text id) { return id != Text::txtprj && id != Text::Txtfolder; }
bool RunReads(List id) { return id != List::Combowell && id != List::Combosavecount; }

}  // namespace

SetupController::SetupController(SetupView& view, MainSide& main) : view_(view), main_(main) {}

// ---- Controls ----

TextBox& SetupController::Box(Text id) {
  switch (id) {
    case Text::txtprj:
      return c_.txtprj;
    case Text::Txtfolder:
      return c_.Txtfolder;
    case Text::Txtlapse:
      return c_.Txtlapse;
    case Text::Txtsample:
      return c_.Txtsample;
    case Text::Txtbuffer:
      return c_.Txtbuffer;
    case Text::Txt_dspinterval:
      return c_.Txt_dspinterval;
    case Text::lbl_snr:
      break;
  }
  return c_.lbl_snr;
}

ListBox& SetupController::Box(List id) {
  switch (id) {
    case List::Combowell:
      return c_.Combowell;
    case List::Combo_aqmode:
      return c_.Combo_aqmode;
    case List::ComboDSP:
      return c_.ComboDSP;
    case List::Cmb_organism:
      return c_.Cmb_organism;
    case List::Combosavecount:
      return c_.Combosavecount;
    case List::Combosavereal:
      break;
  }
  return c_.Combosavereal;
}

CheckBox& SetupController::Box(Check id) {
  switch (id) {
    case Check::chkcalib:
      return c_.chkcalib;
    case Check::chklight:
      return c_.chklight;
    case Check::chktemp:
      return c_.chktemp;
    case Check::Chk_mn4:
      return c_.Chk_mn4;
    case Check::Chk_mn5:
      return c_.Chk_mn5;
    case Check::Chk_mn6:
      break;
  }
  return c_.Chk_mn6;
}

void SetupController::PlaceText(Text id, const std::string& text) {
  TextBox& box = Box(id);
  if (box.text == text) return;
  box.text = text;
  TextChanged(id);
}

void SetupController::PlaceIndex(List id, int index) {
  ListBox& box = Box(id);
  if (index < -1 || index >= static_cast<int>(box.items.size()) || box.index == index) return;
  box.index = index;
  box.text = index >= 0 ? box.items[static_cast<size_t>(index)] : std::string();
  ListClicked(id);
}

void SetupController::PlaceCheck(Check id, int value) {
  CheckBox& box = Box(id);
  if (box.value == value) return;
  box.value = value;
  CheckClicked(id);
}

void SetupController::FillList(List id, const std::vector<std::string>& items) {
  ListBox& box = Box(id);
  box.items = items;
  box.index = -1;
  box.text.clear();
}

void SetupController::UserText(Text id, const std::string& text) {
  if (RunReads(id) && Box(id).text != text && RefusedDuringRun()) return;
  PlaceText(id, text);
}

void SetupController::UserSelect(List id, int index) {
  // The format list acts on the pick itself (Combowell_Click), not on a change.
  if (id == List::Combowell) return;
  ListBox& box = Box(id);
  if (RunReads(id) && box.index != index && RefusedDuringRun()) {
    // Typed text gives way with its pick: Enter in an editable list picks the entry
    // the text names, then ends the typing (TypedTextDone), and one act gets one box.
    box.text = box.index >= 0 ? box.items[static_cast<size_t>(box.index)] : std::string();
    return;
  }
  PlaceIndex(id, index);
}

void SetupController::UserEditText(List id, const std::string& text) {
  Box(id).text = text;
  if (id == List::Combowell) format_typed_ = true;
}

void SetupController::TypedTextDone(List id) {
  if (id == List::Combowell) return TypedFormatDone();
  ListBox& box = Box(id);
  const auto it = std::find(box.items.begin(), box.items.end(), box.text);
  if (it != box.items.end()) UserSelect(id, static_cast<int>(it - box.items.begin()));
  // An entry the list does not hold, or a pick refused during a run, would show over a
  // setting it never became.
  box.text = box.index >= 0 ? box.items[static_cast<size_t>(box.index)] : std::string();
}

void SetupController::UserCheck(Check id, int value) {
  if (!Box(id).enabled) return;
  PlaceCheck(id, value);
}

// ---- Handlers ----

void SetupController::TextChanged(Text id) {
  auto& s = storage::Shared();
  switch (id) {
    case Text::Txtlapse:
      Txtlapse_Change();
      break;
    case Text::Txtsample:
      s.Sample_Rate = WholeNumber(c_.Txtsample.text);
      break;
    case Text::Txt_dspinterval:
      s.DSP_Interval = WholeNumber(c_.Txt_dspinterval.text);
      break;
    default:
      break;  // the others have no change handler
  }
}

void SetupController::Txtlapse_Change() {
  const BoxRule rule = LapseRule(c_.Txtlapse.text);
  storage::Shared().Aq_lapse = rule.value;
  if (rule.box_text) PlaceText(Text::Txtlapse, *rule.box_text);
}

void SetupController::ListClicked(List id) {
  auto& s = storage::Shared();
  switch (id) {
    case List::Cmb_organism:
      Cmb_organism_Click();
      break;
    case List::ComboDSP:
      ComboDSP_Click();
      break;
    case List::Combo_aqmode:
      s.Aq_mode = static_cast<int16_t>(c_.Combo_aqmode.index);
      break;
    case List::Combosavecount:
      // Counts are always saved, whatever was chosen.
      c_.Combosavecount.text = "YES";
      c_.Combosavecount.index = 1;
      s.Save_counts = 1;
      break;
    case List::Combosavereal:
      s.Save_real = c_.Combosavereal.text == "YES" ? 1 : 0;
      break;
    case List::Combowell:
      break;
  }
}

void SetupController::Cmb_organism_Click() {
  const int index = c_.Cmb_organism.index;
  const Organism* organism = OrganismAt(index);
  if (!organism) return;
  auto& s = storage::Shared();
  // The load only shows the stored organism: a stored SNR and method that the
  // organism accepts stay; the user's pick applies the organism's defaults.
  const bool keep_snr = loading_ && SnrInRange(index, s.MnAt(1, 3));
  const bool keep_method = loading_ && InRange(s.DSP_Method, 1, 3);
  const int16_t snr = keep_snr ? s.MnAt(1, 3) : organism->default_snr;
  const int16_t method = keep_method ? s.DSP_Method : organism->default_method;
  c_.lbl_snr.text = SnrText(snr);
  s.MnAt(1, 3) = snr;
  s.MnAt(1, 0) = static_cast<int16_t>(index);
  s.DSP_Method = method;
  PlaceIndex(List::ComboDSP, method);
}

void SetupController::ComboDSP_Click() {
  auto& s = storage::Shared();
  s.DSP_Method = static_cast<int16_t>(c_.ComboDSP.index);
  if (s.DSP_Method == 0) {
    platform::GetDialogs().MsgBox(kMethodZeroRefusal);
    PlaceIndex(List::ComboDSP, 1);
    s.DSP_Method = 1;
  }
}

void SetupController::CheckClicked(Check id) {
  auto& s = storage::Shared();
  switch (id) {
    case Check::chkcalib:
      s.Menu1 = c_.chkcalib.value == 1 ? 1 : 0;
      main_.ShowCalibrationTools(s.Menu1 == 1);
      break;
    case Check::chklight:
      s.Menu2 = c_.chklight.value == 1 ? 1 : 0;
      main_.ShowLightTools(s.Menu2 == 1);
      // The main window's light box follows, and with it the light schedule; a run
      // keeps the schedule it has while the window is loaded again.
      if (!loading_ || s.Acq_State == 0) main_.SetLightEnabled(s.Menu2 == 1);
      break;
    case Check::chktemp:
      s.Menu3 = c_.chktemp.value == 1 ? 1 : 0;
      main_.ShowTemperatureTools(s.Menu3 == 1);
      break;
    default:
      break;  // the "Menu" boxes only show their flags
  }
}

void SetupController::txt_snr_DblClick() {
  c_.lbl_snr.enabled = true;
  view_.Refresh();
  view_.FocusSnrBox();
}

void SetupController::lbl_snr_LostFocus() {
  const SnrCheck check = CheckSnrEntry(c_.lbl_snr.text, c_.Cmb_organism.index);
  if (check.message) platform::GetDialogs().MsgBox(check.message);
  c_.lbl_snr.text = check.box_text;
  if (check.stored) storage::Shared().MnAt(1, 3) = *check.stored;
  if (check.message) {
    view_.Refresh();
    view_.FocusSnrBox();
  }
}

void SetupController::Txtbuffer_LostFocus() {
  const BoxRule rule = BufferRule(c_.Txtbuffer.text);
  if (rule.box_text) PlaceText(Text::Txtbuffer, *rule.box_text);
  storage::Shared().RT_Buffer = rule.value;
}

void SetupController::mn_advanced_Click() {
  c_.Frame_advanced_visible = !c_.Frame_advanced_visible;
}

// ---- Load ----

void SetupController::ShowProjectCaption() {
  const auto& s = storage::Shared();
  c_.txtprj.text = ProjectCaption(s.Actual_Project_Number, s.Project_Name);
  c_.Txtfolder.text = s.Project_Path;
}

void SetupController::ShowPlateFormat() {
  const std::string& format = storage::Shared().Plate_format;
  ListBox& box = c_.Combowell;
  const auto it = std::find(box.items.begin(), box.items.end(), format);
  box.index = it == box.items.end() ? -1 : static_cast<int>(it - box.items.begin());
  box.text = format;
  format_typed_ = false;
}

void SetupController::FillPlateFormats() {
  FillList(List::Combowell, OfferedPlateFormats(platform::ProgramFolder()));
  // Placing a text in the format box runs nothing: loading never changes the plate.
  ShowPlateFormat();
}

void SetupController::Form_Load() {
  auto& s = storage::Shared();
  loading_ = true;
  view_.PrepareGroupList();
  view_.ShowAnnotationPanel();
  view_.HideStationOptions();
  view_.ResetPlateSelection();

  // Start-up has loaded the open project before anything shows this window; only a
  // window made before that loads it, and only once.
  if (s.Project_Path.empty()) {
    s.Project_Path =
        storage::ProjectFolderPath(platform::ProgramFolder(), s.Actual_Project_Number).string();
    storage::LoadProjectSetup(s.Actual_Project_Number);
  }

  ShowProjectCaption();
  c_.Frame_advanced_visible = false;

  FillPlateFormats();

  FillList(List::Combo_aqmode, Items(kAcquisitionModes));
  if (InRange(s.Aq_mode, 0, 5)) PlaceIndex(List::Combo_aqmode, s.Aq_mode);

  PlaceText(Text::Txtlapse, std::to_string(s.Aq_lapse));
  PlaceText(Text::Txtsample, std::to_string(s.Sample_Rate));
  PlaceText(Text::Txtbuffer, std::to_string(s.RT_Buffer));
  PlaceText(Text::Txt_dspinterval, std::to_string(s.DSP_Interval));

  FillList(List::ComboDSP, Items(kDetectionMethods));
  if (s.DSP_Method == 0) s.DSP_Method = 1;
  if (InRange(s.DSP_Method, 1, 3)) PlaceIndex(List::ComboDSP, s.DSP_Method);

  FillList(List::Cmb_organism,
           {kOrganisms[0].name, kOrganisms[1].name, kOrganisms[2].name, kOrganisms[3].name});
  if (InRange(s.MnAt(1, 0), 0, 3)) PlaceIndex(List::Cmb_organism, s.MnAt(1, 0));

  if (s.MnAt(1, 3) != 0) c_.lbl_snr.text = SnrText(s.MnAt(1, 3));
  c_.lbl_snr.enabled = false;

  FillList(List::Combosavecount, Items(kNoYes));
  PlaceIndex(List::Combosavecount, 1);
  FillList(List::Combosavereal, Items(kNoYes));
  if (InRange(s.Save_real, 0, 1)) PlaceIndex(List::Combosavereal, s.Save_real);

  c_.frm_project_visible = false;

  PlaceCheck(Check::chkcalib, 1);
  s.Menu1 = 1;
  main_.ShowCalibrationTools(true);
  c_.chkcalib.enabled = false;
  PlaceCheck(Check::chklight, s.Menu2 == 1 ? 1 : 0);
  PlaceCheck(Check::chktemp, s.Menu3 == 1 ? 1 : 0);
  PlaceCheck(Check::Chk_mn4, s.Menu4 == 1 ? 1 : 0);
  PlaceCheck(Check::Chk_mn5, s.Menu5 == 1 ? 1 : 0);
  PlaceCheck(Check::Chk_mn6, s.Menu6 == 1 ? 1 : 0);

  view_.FillGroupSets();
  view_.FillGroupsAndPlate();
  loading_ = false;
  view_.Refresh();
}

// ---- Exits ----

void SetupController::WriteDetectionToMain() {
  const auto& s = storage::Shared();
  main_.SetDetectionSummary(DetectionSummary(s.DSP_Method, s.MnAt(1, 0), s.MnAt(1, 3)));
  main_.SetSnrThreshold(SnrShortText(s.MnAt(1, 3)));
  // An organism code no list holds selects nothing.
  if (OrganismAt(s.MnAt(1, 0))) main_.SelectOrganism(s.MnAt(1, 0));
}

void SetupController::Command_main_Click() {
  ApplyPendingPlatePick();
  auto& s = storage::Shared();
  if (s.MnAt(1, 3) == 0) {
    if (const Organism* organism = OrganismAt(s.MnAt(1, 0))) s.MnAt(1, 3) = organism->default_snr;
  }
  SaveInPlace();
  main_.ShowMain();
  WriteDetectionToMain();
  main_.SetDescription(view_.DescriptionText());
  c_.Frame_advanced_visible = false;
  view_.Refresh();
  if (!s.Connected) main_.Connect();
  view_.HideWindow();
  main_.ShowMain();
}

void SetupController::Cmdoffline_Click() {
  ApplyPendingPlatePick();
  WriteDetectionToMain();
  c_.Frame_advanced_visible = false;
  view_.Refresh();
  main_.ShowStartWindow();
  view_.HideWindow();
}

void SetupController::Form_Unload() {
  main_.ShowStartWindow();
  main_.SetDescription(view_.DescriptionText());
}

}  // namespace setup
