#pragma once
// The process-wide settings, configuration, channel and group tables, plate layout
// and program state. There is one copy for the whole process, reached through
// storage::Shared(); every window and every logic class reads and writes it on the
// GUI thread. Member names follow the names the program has always used, so the
// file loaders and the windows speak of the same `Serial_COM`, `RT_Buffer`, `Mn`...
//
// Loaders overwrite only what they read (or what they default on failure): a
// field that a shorter file does not cover keeps its previous value.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace storage {

// Per-channel tables: channels 0..383 are real, entry 384 is spare.
inline constexpr int kChannelCount = 384;
inline constexpr int kTableSize = 385;
// Threshold planes per channel: k = 0 is the stored detection threshold.
inline constexpr int kThresholdPlanes = 5;
// `Mn`: 7 rows by 6 columns, column-major.
inline constexpr int kMnRows = 7;
inline constexpr int kMnCols = 6;

// What a window says instead of doing something that would disturb a run.
inline constexpr const char* kRunningRefusal =
    "Not possible during an acquisition: stop the experiment first";

using ChannelTable16 = std::array<int16_t, kTableSize>;
using ChannelTableText = std::array<std::string, kTableSize>;

struct SharedState {
  SharedState();

  // ---- Configuration (config.dat) ----
  int16_t Actual_Project_Number = 1;  // 0 is the Default project in the program folder
  int16_t Last_Project = 1;           // highest project number handed out
  int16_t Serial_COM = 4;             // COM port number, 1..16
  int16_t Restart_Time = 0;           // stored, forced to 0 on read, unused

  // ---- Open project ----
  // Folder of the open project without a trailing separator (program state, not saved).
  std::string Project_Path;

  // ---- Project settings (setup.dat) ----
  std::string Project_Name = "Default";
  std::string Working_folder;          // as stored in setup.dat; defaulted by the loader
  std::string Plate_format = "96f";    // layout file name without ".dat"
  int16_t Aq_mode = 1;
  int16_t Aq_lapse = 30;               // run length in minutes
  int16_t Sample_Rate = 99;
  int16_t RT_Buffer = 500;             // samples per bin
  int16_t DSP_Method = 1;              // detection method 0..3
  int16_t DSP_Interval = 30;           // envelope window in samples
  int16_t Binary_Acq = 1;
  int16_t Threshold_Counter = 300;
  int16_t Cal_value = 80;              // calibration target level
  int16_t Cal_mode = 1;
  int16_t Save_counts = 1;
  int16_t Save_real = 1;               // 1 = raw blocks written at each bin end
  int16_t Menu1 = 1;                   // calibration tools
  int16_t Menu2 = 0;                   // light tools
  int16_t Menu3 = 0;                   // temperature tools
  int16_t Menu4 = 0;
  int16_t Menu5 = 0;
  int16_t Menu6 = 0;

  // Tool parameter table, column-major: element (r, c) is Mn[r + 7 * c].
  // Row 0 is never stored. See MnAt for the elements in use.
  std::array<int16_t, kMnRows * kMnCols> Mn{};
  int16_t& MnAt(int r, int c) { return Mn[static_cast<size_t>(r + kMnRows * c)]; }
  int16_t MnAt(int r, int c) const { return Mn[static_cast<size_t>(r + kMnRows * c)]; }

  // ---- Channel tables ----
  ChannelTable16 Enabled{};   // -1 usable, 0 disabled
  // Threshold(k, ch), k fastest: flat position k + 5 * ch. Only k = 0 is stored.
  std::array<double, kThresholdPlanes * kTableSize> Threshold{};
  double& ThresholdAt(int k, int ch) { return Threshold[static_cast<size_t>(k + kThresholdPlanes * ch)]; }
  double ThresholdAt(int k, int ch) const { return Threshold[static_cast<size_t>(k + kThresholdPlanes * ch)]; }
  ChannelTable16 PinHole{};   // emitter setting (calvalue.dat)
  ChannelTable16 Gain{};      // receiver gain (calvalue.dat)

  // ---- Group tables, station 1 ----
  ChannelTableText Group_Name;  // name of group g; "Free" = not in use
  ChannelTable16 Group{};       // group of channel ch; -1 = Free
  // Scratch table of the group lists: 1 = the group has a channel, -1 = it has
  // none. Anyone may overwrite it before use; no loader touches it.
  ChannelTable16 Group_InUse{};
  // Copies for stations 2..4; written only when a save asks for those stations.
  ChannelTableText Group_Name_s2, Group_Name_s3, Group_Name_s4;
  ChannelTable16 Group_s2{}, Group_s3{}, Group_s4{};

  // ---- Plate layout ----
  int16_t Plate_Rows = 0;   // wells are numbered column by column: column * Plate_Rows + row
  int16_t Plate_Cols = 0;
  double Row_Pitch = 0.0, Row_Offset = 0.0, Col_Pitch = 0.0, Col_Offset = 0.0;
  ChannelTable16 Channel_Well{};  // well of each channel; -1 = not on this plate
  ChannelTable16 Channel_Beam{};  // beam within the well
  int16_t Max_Well = 0;
  int16_t Max_Beam = 0;
  // Channel at (well, beam), well 0..Well_Grid_Wells-1, beam 0..Well_Grid_Beams-1,
  // stored well-major. Rebuilt by every layout load with the bounds Max_Well, Max_Beam.
  std::vector<int16_t> Well_Grid;
  int Well_Grid_Wells = 0;
  int Well_Grid_Beams = 0;
  // Makes Well_Grid anew for wells 0..max_well and beams 0..max_beam, all 0.
  void ResizeWellGrid(int max_well, int max_beam);
  // The channel at (well, beam); 0 outside the grid.
  int16_t WellGridAt(int well, int beam) const;
  // Sets a slot; ignored outside the grid.
  void SetWellGrid(int well, int beam, int16_t channel);

  // ---- Report settings (repoconf.dat) ----
  int16_t Bin = 30;               // report bin in minutes, 2..1440
  int16_t filetype = 0;           // 0..1
  std::string spacer = ",";       // report field separator
  int16_t stdError = 1;           // 0..1
  int16_t stdDev = 0;             // 0..1
  int16_t n = 1;                  // 0..1
  int16_t out_format = 0;         // 0..3
  int16_t organism = 0;           // 0..3
  int16_t method = 1;             // 0..3
  int16_t Report_threshold = 18;  // 5..30
  int16_t rawexport = 0;          // 0..1
  std::string List_Separator = ",";  // the locale's list separator

  // ---- Program state ----
  int16_t Acq_State = 0;          // 0 stopped, 1 running, 2 paused
  bool Connected = false;
  bool Offline_Mode = false;      // true when no instrument is used
  int16_t Serial_Number = 0;      // identification value of the instrument, 10..250
  bool Save_Run = false;          // the run is named and recorded
  // The folder of the run started last; while Acq_State is not 0, the run's own.
  std::string Run_Folder_Path;
  int16_t Body_Bends = 0;         // 1 = body-bends mode
  int16_t Selected_Channel = 0;   // channel shown in the real-time view, 0..384
  int16_t Load_Step = 0;          // last stage reached by the main window's load

  // Factory calibration record and temperature.
  bool Factory_Calibrated = false;
  int16_t Cal_Month = 0;
  int16_t Cal_Year = 0;
  int16_t Temp_Offset_Sign = 0;
  double Temp_Offset = 0.0;       // degrees C = raw * Temp_Slope + Temp_Offset
  double Temp_Slope = 0.219;
  double Temp_Setpoint = 0.0;     // set-point of the regulation, degrees C
  double Temperature = 0.0;       // last reading, degrees C
  std::string Temp_Text;          // Temperature formatted "0.0"

  // ---- Group annotations of the setup window (working notes, never saved) ----
  ChannelTableText Group_Compound, Group_Concentration, Group_Strain, Group_Organisms,
      Group_Buffer;
  std::string Global_Strain, Global_Buffer, Global_Organisms;

  // Defaults of the project settings and `Mn` (what a missing setup.dat gives).
  void SetProjectDefaults();
  void SetMnDefaults();
  // Default tables of each channel file.
  void SetEnabledDefaults();
  void SetThresholdDefaults();
  void SetGroupNameDefaults();   // also the station 2..4 copies
  void SetGroupDefaults();
  void SetCalDefaults();
};

// The process-wide state.
SharedState& Shared();
// Puts every default back (tests call it before each case).
void ResetSharedState();

}  // namespace storage
