#pragma once
// What the setup window's logic asks of the two windows around it. The setup window
// implements SetupView for its own controls that the logic does not model (the group
// editor, the plate picture, the annotation panel, focus, the plate timer); the main
// window's side is reached through MainSide, never by touching its controls from logic.
#include <cstdint>
#include <string>

namespace setup {

class SetupView {
 public:
  virtual ~SetupView() = default;

  // ---- Load steps the group editor and the plate picture own ----
  // Hides the group action menu from the menu bar and flattens the group list.
  virtual void PrepareGroupList() = 0;
  // Lays out and fills the annotation grid, then its field list.
  virtual void ShowAnnotationPanel() = 0;
  // Hides the four station options.
  virtual void HideStationOptions() = 0;
  // Forgets the rubber band's last far corner.
  virtual void ResetPlateSelection() = 0;
  // Fills the group sets and their menu for the plate's rows and columns.
  virtual void FillGroupSets() = 0;
  // Fills the group list selecting group 0, lists its channels and the free ones,
  // accepts mouse work on the plate and draws it.
  virtual void FillGroupsAndPlate() = 0;
  // Frees every channel, names every group "Free" and refreshes lists and picture.
  virtual void ClearAllGroups() = 0;

  // ---- Window services ----
  // The 200 ms plate-format timer.
  virtual void ArmPlateTimer() = 0;
  virtual void DisarmPlateTimer() = 0;
  // Gives the SNR box the focus (after a refusal, after the label's double-click).
  virtual void FocusSnrBox() = 0;
  // The run description box, which the main window writes directly.
  virtual std::string DescriptionText() const = 0;
  // Hides the window (it stays loaded).
  virtual void HideWindow() = 0;
  // The modelled controls changed: show them now (before a question is asked).
  virtual void Refresh() = 0;
};

class MainSide {
 public:
  virtual ~MainSide() = default;
  // txt_detection, txt_snr_umbral, Cmb_organism (its handler runs on a change),
  // Txt_description.
  virtual void SetDetectionSummary(const std::string& line) = 0;
  virtual void SetSnrThreshold(const std::string& text) = 0;
  virtual void SelectOrganism(int16_t index) = 0;
  virtual void SetDescription(const std::string& text) = 0;
  // The tool frames: frm_mn1; Frame_light with frm_pulse; Frame_temp; the light
  // schedule box Chk_lenabled (its handler runs on a change).
  virtual void ShowCalibrationTools(bool visible) = 0;
  virtual void ShowLightTools(bool visible) = 0;
  virtual void SetLightEnabled(bool ticked) = 0;
  virtual void ShowTemperatureTools(bool visible) = 0;
  // Shows the main window; runs its connect operation; shows the start window.
  virtual void ShowMain() = 0;
  virtual void Connect() = 0;
  virtual void ShowStartWindow() = 0;
};

}  // namespace setup
