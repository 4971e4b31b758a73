#include "offline/loaded_run.h"

#include <algorithm>
#include <system_error>

#include "platform/numeric.h"
#include "storage/channel_files.h"
#include "storage/file_io.h"
#include "storage/file_set_rewrite.h"
#include "storage/project_folders.h"
#include "storage/settings_text.h"
#include "storage/setup_file.h"

namespace offline {
namespace fs = std::filesystem;

namespace {

constexpr int kChannels = storage::kChannelCount;
constexpr int kTable = storage::kTableSize;

// setup.dat's fields in the order the browser reads them; a fault throws FormatError.
void ReadSetup(const fs::path& file, int lines, LoadedRun& r) {
  auto in = storage::SettingsReader::Open(file);
  if (!in) throw storage::FormatError("File not found");
  in->SkipField();
  in->SkipField();  // Num_proj
  r.Run_Project_Name = in->ReadString();
  r.Run_Working_folder = in->ReadString();
  r.Run_Plate_format = in->ReadString();
  in->SkipField();
  for (int16_t* v : {&r.Run_Aq_mode, &r.Run_Aq_lapse, &r.Run_Sample_Rate, &r.Run_RT_Buffer,
                     &r.Run_DSP_Method, &r.Run_DSP_Interval})
    *v = in->ReadInt16();
  in->SkipField();
  for (int16_t* v : {&r.Run_Binary_Acq, &r.Run_Threshold_Counter, &r.Run_Cal_value, &r.Run_Cal_mode,
                     &r.Run_Save_counts, &r.Run_Save_real})
    *v = in->ReadInt16();
  if (lines >= 8) {
    in->SkipField();
    for (int16_t& v : r.Run_Menu) v = in->ReadInt16();
  }
  if (lines >= 10) {
    in->SkipField();
    for (int c = 0; c < storage::kMnCols; ++c)
      r.Run_Mn[static_cast<size_t>(1 + storage::kMnRows * c)] = in->ReadInt16();
  }
}

// The values of one channel file of the run, each through `take` in line order; the
// first value that does not convert ends the table there (the rest keep defaults).
template <typename Take>
void ReadTable(const fs::path& file, Take take) {
  bool damaged = false;
  const auto values = storage::ReadChannelTableValues(file, damaged);
  if (!values) return;
  try {
    for (size_t i = 0; i < values->size(); ++i) take(i, (*values)[i]);
  } catch (const storage::FormatError&) {
  }
}

void ReadChannelTables(const fs::path& folder, LoadedRun& r) {
  storage::ChannelTable16 status;
  status.fill(1);  // a missing status.dat leaves every channel usable
  ReadTable(folder / "status.dat",
            [&](size_t i, const std::string& v) { status[i] = storage::ParseInt16(v); });
  for (size_t ch = 0; ch < kTable; ++ch)
    r.Run_Enabled[ch] = status[ch] != 0 ? int16_t{-1} : int16_t{0};
  ReadTable(folder / "threshld.dat",
            [&](size_t i, const std::string& v) { r.Run_Threshold[i] = v; });
  ReadTable(folder / "groups.dat", [&](size_t i, const std::string& v) {
    r.Run_Group_Name[i] = storage::CleanQuotedText(v);
  });
  ReadTable(folder / "chgroup.dat", [&](size_t i, const std::string& v) {
    r.Run_Group[i] = storage::ChannelGroupValue(v);
  });
}

// The plate layout the run names, as the reports read it.
RunLoadStatus ReadPlate(const fs::path& program_folder, LoadedRun& r, std::string& reason) {
  storage::PlateLayout layout;
  switch (storage::ReadRunPlateLayout(r.Run_Plate_format, program_folder, layout, &reason)) {
    case storage::RunLayoutRead::kOk:
      break;
    case storage::RunLayoutRead::kNotFound:
      return RunLoadStatus::kNoPlate;
    case storage::RunLayoutRead::kDamaged:
      return RunLoadStatus::kBadPlate;
  }
  r.Run_Plate_Rows = layout.rows;
  r.Run_Plate_Cols = layout.cols;
  r.Run_Row_Pitch = layout.row_pitch;
  r.Run_Row_Offset = layout.row_offset;
  r.Run_Col_Pitch = layout.col_pitch;
  r.Run_Col_Offset = layout.col_offset;
  r.Run_Channel_Well = layout.channel_well;
  r.Run_Channel_Beam = layout.channel_beam;
  r.Run_Max_Well = std::max<int16_t>(layout.max_well, 0);
  r.Run_Max_Beam = std::max<int16_t>(layout.max_beam, 0);
  const size_t beams = static_cast<size_t>(r.Run_Max_Beam) + 1;
  r.Run_Well_Grid.assign((static_cast<size_t>(r.Run_Max_Well) + 1) * beams, -1);
  for (int ch = 0; ch < kChannels; ++ch) {
    const int well = r.Run_Channel_Well[static_cast<size_t>(ch)];
    const int beam = r.Run_Channel_Beam[static_cast<size_t>(ch)];
    if (well < 0 || beam < 0) continue;
    r.Run_Well_Grid[static_cast<size_t>(well) * beams + static_cast<size_t>(beam)] =
        static_cast<int16_t>(ch);
  }
  return RunLoadStatus::kOk;
}

bool AllDigits(const std::string& s, size_t from, size_t count) {
  for (size_t i = from; i < from + count; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

int Number(const std::string& s, size_t from, size_t count) {
  return std::stoi(s.substr(from, count));
}

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

}  // namespace

LoadedRun::LoadedRun() {
  // The documented defaults: what the storage loaders give a project without its files.
  storage::SharedState d;
  d.SetProjectDefaults();
  d.SetMnDefaults();
  d.SetEnabledDefaults();
  d.SetThresholdDefaults();
  d.SetGroupNameDefaults();
  d.SetGroupDefaults();
  Run_Project_Name = d.Project_Name;
  Run_Working_folder = d.Working_folder;
  Run_Plate_format = d.Plate_format;
  Run_Aq_mode = d.Aq_mode;
  Run_Aq_lapse = d.Aq_lapse;
  Run_Sample_Rate = d.Sample_Rate;
  Run_RT_Buffer = d.RT_Buffer;
  Run_DSP_Method = d.DSP_Method;
  Run_DSP_Interval = d.DSP_Interval;
  Run_Binary_Acq = d.Binary_Acq;
  Run_Threshold_Counter = d.Threshold_Counter;
  Run_Cal_value = d.Cal_value;
  Run_Cal_mode = d.Cal_mode;
  Run_Save_counts = d.Save_counts;
  Run_Save_real = d.Save_real;
  Run_Menu = {d.Menu1, d.Menu2, d.Menu3, d.Menu4, d.Menu5, d.Menu6};
  Run_Mn = d.Mn;
  Run_Enabled = d.Enabled;
  for (int ch = 0; ch < kTable; ++ch)
    Run_Threshold[static_cast<size_t>(ch)] = storage::FormatNumber(d.ThresholdAt(0, ch));
  Run_Group_Name = d.Group_Name;
  Run_Group = d.Group;
  Run_Channel_Well.fill(-1);
}

int LoadedRun::WellGridAt(int well, int beam) const {
  if (well < 0 || beam < 0 || well > Run_Max_Well || beam > Run_Max_Beam) return -1;
  const size_t i = static_cast<size_t>(well) * (static_cast<size_t>(Run_Max_Beam) + 1) +
                   static_cast<size_t>(beam);
  return i < Run_Well_Grid.size() ? Run_Well_Grid[i] : -1;
}

storage::PlateView LoadedRun::Plate() const {
  storage::PlateView v;
  v.rows = Run_Plate_Rows;
  v.cols = Run_Plate_Cols;
  v.row_pitch = Run_Row_Pitch;
  v.row_offset = Run_Row_Offset;
  v.col_pitch = Run_Col_Pitch;
  v.col_offset = Run_Col_Offset;
  v.max_well = Run_Max_Well;
  v.max_beam = Run_Max_Beam;
  v.channel_well = Run_Channel_Well;
  v.channel_beam = Run_Channel_Beam;
  v.well_grid = Run_Well_Grid;
  v.grid_beams = Run_Max_Beam + 1;
  return v;
}

RunLoad LoadAcquisitionSetup(const fs::path& run_folder, const fs::path& program_folder) {
  RunLoad result;
  std::error_code ec;
  const std::string where = run_folder.string();
  if (!fs::is_directory(run_folder, ec)) {
    result.status = RunLoadStatus::kNoFolder;
    result.message = "Run folder not found: " + where;
    return result;
  }
  // Files a killed save left half renamed are put in place before anything is read.
  storage::FinishPendingRenamesBeforeReading(run_folder);
  const fs::path setup = run_folder / "setup.dat";
  if (!storage::FileExists(setup)) {
    result.status = RunLoadStatus::kNoSetup;
    result.message = "Run not loaded: no setup.dat in " + where;
    return result;
  }
  LoadedRun run;
  run.Chosen_Run_Path = run_folder;
  run.Chosen_Run = run_folder.filename().string();
  run.Chosen_Project = run_folder.parent_path().filename().string();
  try {
    ReadSetup(setup, storage::CountFileLines(setup.string()), run);
  } catch (const storage::FormatError&) {
    result.status = RunLoadStatus::kBadSetup;
    result.message = "Run not loaded: setup.dat cannot be read in " + where;
    return result;
  }
  ReadChannelTables(run_folder, run);
  std::string reason;
  result.status = ReadPlate(program_folder, run, reason);
  if (result.status == RunLoadStatus::kNoPlate) {
    result.message =
        "Multiwell Configuration File " + run.Run_Plate_format + ".dat or .bak not found";
    return result;
  }
  if (result.status == RunLoadStatus::kBadPlate) {
    result.message = "Multiwell Configuration File " + run.Run_Plate_format + ": " + reason;
    return result;
  }
  run.Run_Mn[22] = static_cast<int16_t>(storage::RunSnrX10(run.Run_Mn[22]));
  run.Details_Text = BuildDetailsText(run);
  result.run = std::move(run);
  return result;
}

std::string OrganismName(int organism) {
  switch (organism) {
    case 0:
      return "C.elegans";
    case 1:
      return "Zebrafish";
    case 2:
      return "Echinococcus";
    case 3:
      return "Drosophila";
    default:
      return "";
  }
}

int ChoiceIndex(int value) { return value >= 0 && value < kOrganismCount ? value : -1; }

std::string SnrText(const LoadedRun& run) { return platform::FormatFixed(run.SnrX10() / 10.0, 1); }

std::string BuildDetailsText(const LoadedRun& run) {
  const std::string nl = "\r\n\t";
  return nl + "***** CONFIG ******" + nl + "Microplate format: [" + run.Run_Plate_format + "]" +
         nl + "Acquisition Lapse = " + std::to_string(run.Run_Aq_lapse) + "min" + nl +
         "Setting: Mode" + std::to_string(run.Run_DSP_Method) + nl + "[" +
         OrganismName(run.Organism()) + " SNR=" + SnrText(run) + "]";
}

std::optional<RunSelectors> FillWellAndGroupCombos(const LoadedRun& run) {
  if (run.Run_Plate_Rows < 1) return std::nullopt;
  RunSelectors s;
  for (int r = 1; r <= run.Run_Plate_Rows; ++r)
    s.rows.push_back(std::string(1, static_cast<char>(64 + r)));
  for (int c = 1; c <= run.Run_Plate_Cols; ++c) s.cols.push_back(std::to_string(c));
  std::array<bool, kChannels> in_use{};
  for (int ch = 0; ch < kChannels; ++ch) {
    const int g = run.Run_Group[static_cast<size_t>(ch)];
    if (g >= 0 && g < kChannels) in_use[static_cast<size_t>(g)] = true;
  }
  for (int g = 0; g < kChannels; ++g) {
    if (!in_use[static_cast<size_t>(g)]) continue;
    s.group_items.push_back(platform::FormatZeroPadded(g, 3) + "_" +
                            run.Run_Group_Name[static_cast<size_t>(g)]);
  }
  s.plot_items = s.group_items;
  s.group_items.push_back("999_Free");
  if (s.plot_items.empty()) s.plot_items.push_back("999_Free");
  return s;
}

int GroupOfItem(const std::string& item) {
  if (item.size() < 3 || !AllDigits(item, 0, 3)) return kFreeSlot;
  const int g = Number(item, 0, 3);
  return g > 383 ? kFreeSlot : g;
}

std::vector<std::string> TagItems(const std::string& tags) {
  std::vector<std::string> items;
  size_t from = 0;
  while (true) {
    const size_t open = tags.find('[', from);
    if (open == std::string::npos) break;
    const size_t close = tags.find(']', open);
    if (close != std::string::npos) items.push_back(tags.substr(open, close - open + 1));
    from = open + 1;
  }
  return items;
}

bool OffersTracking(const LoadedRun& run) {
  return run.Run_Plate_format == "w6" && (run.Organism() == 1 || run.Organism() == 3);
}

std::optional<int64_t> FolderNameToDate(const std::string& stamp) {
  if (!storage::IsRunFolderName(stamp) || stamp.find('/') != std::string::npos ||
      stamp.find('\\') != std::string::npos)
    return std::nullopt;
  if (!AllDigits(stamp, 0, 8) || !AllDigits(stamp, 9, 4)) return std::nullopt;
  const int y = Number(stamp, 0, 4), m = Number(stamp, 4, 2), d = Number(stamp, 6, 2);
  const int hh = Number(stamp, 9, 2), mm = Number(stamp, 11, 2);
  if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m) || hh > 23 || mm > 59) return std::nullopt;
  return (DaysFromCivil(y, m, d) * 24 + hh) * 60 + mm;
}

}  // namespace offline
