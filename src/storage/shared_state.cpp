#include "storage/shared_state.h"

namespace storage {

SharedState::SharedState() {
  SetMnDefaults();
  SetEnabledDefaults();
  SetThresholdDefaults();
  SetGroupNameDefaults();
  SetGroupDefaults();
  SetCalDefaults();
}

void SharedState::SetProjectDefaults() {
  Project_Name = "Default";
  Plate_format = "96f";
  Aq_mode = 1;
  Aq_lapse = 30;
  Sample_Rate = 99;
  RT_Buffer = 500;
  DSP_Method = 1;
  DSP_Interval = 30;
  Binary_Acq = 1;
  Threshold_Counter = 300;
  Cal_value = 80;
  Cal_mode = 1;
  Save_counts = 1;
  Save_real = 1;
  Menu1 = 1;
  Menu2 = 0;
  Menu3 = 0;
  Menu4 = 0;
  Menu5 = 0;
  Menu6 = 0;
}

void SharedState::SetMnDefaults() {
  Mn.fill(0);
  MnAt(1, 0) = 0;    // organism: C. elegans
  MnAt(1, 1) = 1;    // automatic calibration at run start
  MnAt(1, 2) = 1;    // auto-zero at run start
  MnAt(1, 3) = 0;    // SNR x 10, 0 = use 1.8
  MnAt(2, 0) = 0;    // light schedule off
  MnAt(2, 1) = 9;    // lights-on hour
  MnAt(2, 2) = 21;   // lights-off hour
  MnAt(3, 0) = 0;    // temperature regulation off
  MnAt(3, 1) = 200;  // set-point x 10
}

void SharedState::SetEnabledDefaults() {
  for (int ch = 0; ch < kChannelCount; ++ch) Enabled[static_cast<size_t>(ch)] = -1;
}

void SharedState::SetThresholdDefaults() {
  for (int ch = 0; ch < kChannelCount; ++ch) ThresholdAt(0, ch) = 3.0;
}

void SharedState::SetGroupNameDefaults() {
  for (int g = 0; g < kTableSize; ++g) {
    std::string name = g < 12 ? "Group" + std::to_string(g) : "Free";
    Group_Name[static_cast<size_t>(g)] = name;
    Group_Name_s2[static_cast<size_t>(g)] = name;
    Group_Name_s3[static_cast<size_t>(g)] = name;
    Group_Name_s4[static_cast<size_t>(g)] = name;
  }
}

void SharedState::SetGroupDefaults() {
  for (int column = 0; column < 24; ++column)
    for (int row = 0; row < 16; ++row)
      Group[static_cast<size_t>(column * 16 + row)] = static_cast<int16_t>((column + 1) / 2);
}

void SharedState::SetCalDefaults() {
  for (int ch = 0; ch < kChannelCount; ++ch) {
    PinHole[static_cast<size_t>(ch)] = 2;
    Gain[static_cast<size_t>(ch)] = 3;
  }
}

void SharedState::ResizeWellGrid(int max_well, int max_beam) {
  Well_Grid_Wells = max_well < 0 ? 0 : max_well + 1;
  Well_Grid_Beams = max_beam < 0 ? 0 : max_beam + 1;
  Well_Grid.assign(static_cast<size_t>(Well_Grid_Wells) * static_cast<size_t>(Well_Grid_Beams), 0);
}

int16_t SharedState::WellGridAt(int well, int beam) const {
  if (well < 0 || beam < 0 || well >= Well_Grid_Wells || beam >= Well_Grid_Beams) return 0;
  return Well_Grid[static_cast<size_t>(well) * static_cast<size_t>(Well_Grid_Beams) +
                   static_cast<size_t>(beam)];
}

void SharedState::SetWellGrid(int well, int beam, int16_t channel) {
  if (well < 0 || beam < 0 || well >= Well_Grid_Wells || beam >= Well_Grid_Beams) return;
  Well_Grid[static_cast<size_t>(well) * static_cast<size_t>(Well_Grid_Beams) +
            static_cast<size_t>(beam)] = channel;
}

namespace {
SharedState& Instance() {
  static SharedState state;
  return state;
}
}  // namespace

SharedState& Shared() { return Instance(); }

void ResetSharedState() { Instance() = SharedState(); }

}  // namespace storage
