#pragma once
// The recorded run the browser works on: the run folder's own copies of the project
// files (setup.dat, status.dat, threshld.dat, groups.dat, chgroup.dat) and the plate
// layout it names, never the open project's shared settings. A load fills a fresh
// LoadedRun from the documented defaults and hands it over only when it is whole, so
// nothing of the previous run survives in the next one and a failed load leaves the
// previous run in place. The tables have the shared state's types, so the group
// editor works on them as on a project's.
#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "storage/plate_layout.h"
#include "storage/shared_state.h"

namespace offline {

inline constexpr int kOrganismCount = 4;  // organisms and detection methods are 0..3
inline constexpr int kFreeSlot = 384;     // the group slot of the Free channels

struct LoadedRun {
  LoadedRun();

  // Where it lies: the project folder's name, the run folder's name and its path. The
  // run keeps its folder for as long as it is loaded, whatever the list shows.
  std::string Chosen_Project;
  std::string Chosen_Run;
  std::filesystem::path Chosen_Run_Path;
  std::filesystem::path ProjectFolder() const { return Chosen_Run_Path.parent_path(); }

  // setup.dat.
  std::string Run_Project_Name, Run_Working_folder, Run_Plate_format;
  int16_t Run_Aq_mode = 0, Run_Aq_lapse = 0, Run_Sample_Rate = 0, Run_RT_Buffer = 0,
          Run_DSP_Method = 0, Run_DSP_Interval = 0;
  int16_t Run_Binary_Acq = 0, Run_Threshold_Counter = 0, Run_Cal_value = 0, Run_Cal_mode = 0,
          Run_Save_counts = 0, Run_Save_real = 0;
  std::array<int16_t, 6> Run_Menu{};
  // Laid out like the shared Mn: element (r, c) is Run_Mn[r + 7c]; only row 1 is read:
  // [1] organism, [8], [15], [22] SNR x 10, [29], [36].
  std::array<int16_t, storage::kMnRows * storage::kMnCols> Run_Mn{};
  int16_t Organism() const { return Run_Mn[1]; }
  int16_t SnrX10() const { return Run_Mn[22]; }

  // Channel and group tables.
  storage::ChannelTable16 Run_Enabled{};  // -1 usable, 0 disabled
  storage::ChannelTableText Run_Threshold;
  storage::ChannelTableText Run_Group_Name;
  storage::ChannelTable16 Run_Group{};  // -1 = Free

  // The plate.
  int16_t Run_Plate_Rows = 0, Run_Plate_Cols = 0;
  double Run_Row_Pitch = 0, Run_Row_Offset = 0, Run_Col_Pitch = 0, Run_Col_Offset = 0;
  storage::ChannelTable16 Run_Channel_Well{};  // -1 = not on the plate
  storage::ChannelTable16 Run_Channel_Beam{};
  int16_t Run_Max_Well = 0, Run_Max_Beam = 0;
  // (well, beam) -> channel, well-major with Run_Max_Beam + 1 slots a well; -1 = none.
  std::vector<int16_t> Run_Well_Grid;
  int WellGridAt(int well, int beam) const;
  storage::PlateView Plate() const;

  // The configuration summary the bar plot shows.
  std::string Details_Text;
};

enum class RunLoadStatus {
  kOk,
  kNoFolder,  // not a folder
  kNoSetup,   // no setup.dat
  kBadSetup,  // setup.dat could not be read
  kNoPlate,   // neither <format>.dat nor <format>.bak in the program folder, and no
              // built-in table of that name
  kBadPlate,  // the layout file is damaged
};

struct RunLoad {
  RunLoadStatus status = RunLoadStatus::kOk;
  std::optional<LoadedRun> run;  // set for kOk
  std::string message;           // what the user is told otherwise
};

// Reads a run folder, with its plate layout from `program_folder` (or the built-in
// table of a built-in name when it has no file there). Channel files that
// are missing or damaged leave their defaults (a missing status.dat: every channel
// usable); group numbers outside -1..383 are Free; an SNR x 10 below 5 becomes 18.
RunLoad LoadAcquisitionSetup(const std::filesystem::path& run_folder,
                             const std::filesystem::path& program_folder);

// The summary of a loaded run: CR LF TAB "***** CONFIG ******", the plate, the lapse,
// the detection mode and "[organism SNR=1.8]".
std::string BuildDetailsText(const LoadedRun& run);
// "C.elegans", "Zebrafish", "Echinococcus", "Drosophila"; "" for any other value.
std::string OrganismName(int organism);
// The index a 0..3 choice list shows for a stored value, or -1 (nothing selected).
int ChoiceIndex(int value);
// The run's SNR for the threshold boxes, "0.0".
std::string SnrText(const LoadedRun& run);

// The well and group selectors of a loaded run.
struct RunSelectors {
  std::vector<std::string> rows;         // "A", "B", ...
  std::vector<std::string> cols;         // "1", "2", ...
  std::vector<std::string> group_items;  // combogrup: "003_Mutants"..., then "999_Free"
  std::vector<std::string> plot_items;   // lstgrup_plot: the same, "999_Free" only alone
};
// nullopt when the run has no plate rows (the selectors keep what they show).
std::optional<RunSelectors> FillWellAndGroupCombos(const LoadedRun& run);
// The group of a list item: the number in its first three characters, the Free slot
// 384 for anything above 383 (or not a number).
int GroupOfItem(const std::string& item);

// The bracketed items of a tag text, in order ("[K1] [K3]" gives "[K1]", "[K3]").
std::vector<std::string> TagItems(const std::string& tags);
// The tracking view is offered for 6-well plates of zebrafish or fruit flies.
bool OffersTracking(const LoadedRun& run);

// A run folder stamp as minutes since 1970-01-01 00:00 ("20240315_0930"); nullopt when
// the name is not a run folder name (no path separators) or its pieces are no date.
std::optional<int64_t> FolderNameToDate(const std::string& stamp);

}  // namespace offline
