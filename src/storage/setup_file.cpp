#include "storage/setup_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <vector>

#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "platform/program_folder.h"
#include "storage/channel_files.h"
#include "storage/file_io.h"
#include "storage/file_set_rewrite.h"
#include "storage/plate_layout.h"
#include "storage/project_folders.h"
#include "storage/settings_text.h"
#include "storage/shared_state.h"

namespace storage {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRecheck = "Warning!! PLEASE Re-Check setup values before RUN";
constexpr std::array<const char*, 6> kMnHeaders = {
    "Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,",
    "Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,",
    "Mn3: <v1:Enable>, <v2:Tempx10>,,,,",
    "Mn4: ,,,,,",
    "Mn5: ,,,,,",
    "Mn6: ,,,,,"};

std::function<void(const std::string&)>& NewsHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}

std::string Five(int number) { return platform::FormatZeroPadded(number, 5); }

std::string DefaultWorkingFolder(int16_t number) {
  return (platform::ProgramFolder() / ProjectFolderName(number)).string() + "/";
}

// The default of every record from `stage` onward (the records the failed read
// did not complete).
void ApplyDefaultsFrom(int stage, int16_t number) {
  SharedState& s = Shared();
  SharedState d;  // a fresh state holds every default
  if (stage < 2) {
    s.Project_Name = d.Project_Name;
    s.Working_folder = DefaultWorkingFolder(number);
    s.Plate_format = d.Plate_format;
  }
  if (stage < 3) {
    s.Aq_mode = d.Aq_mode; s.Aq_lapse = d.Aq_lapse; s.Sample_Rate = d.Sample_Rate;
    s.RT_Buffer = d.RT_Buffer; s.DSP_Method = d.DSP_Method; s.DSP_Interval = d.DSP_Interval;
  }
  if (stage < 4) {
    s.Binary_Acq = d.Binary_Acq; s.Threshold_Counter = d.Threshold_Counter;
    s.Cal_value = d.Cal_value; s.Cal_mode = d.Cal_mode;
    s.Save_counts = d.Save_counts; s.Save_real = d.Save_real;
  }
  if (stage < 5) {
    s.Menu1 = d.Menu1; s.Menu2 = d.Menu2; s.Menu3 = d.Menu3;
    s.Menu4 = d.Menu4; s.Menu5 = d.Menu5; s.Menu6 = d.Menu6;
  }
  for (int row = 1; row <= 6; ++row)
    if (stage < row + 5)
      for (int c = 0; c < kMnCols; ++c) s.MnAt(row, c) = d.MnAt(row, c);
}

// One pass over setup.dat; `stage` tells how far it got when it throws.
void ReadSetupPass(int16_t number, int& stage) {
  SharedState& s = Shared();
  const fs::path file = InFolder(s.Project_Path, "setup.dat");
  stage = 0;
  const int lines = CountFileLines(file.string());
  stage = 1;
  auto reader = SettingsReader::Open(file);
  if (!reader) throw FormatError("File not found");
  // Fewer than six lines: nothing can be read, the file counts as unread.
  if (lines < 6) throw FormatError("setup.dat too short");

  reader->SkipField();
  const std::string stored_number = reader->ReadString();
  std::string name = reader->ReadString();
  std::string folder = reader->ReadString();
  std::string plate = reader->ReadString();
  s.Project_Name = std::move(name);
  s.Working_folder = std::move(folder);
  s.Plate_format = std::move(plate);
  stage = 2;

  reader->SkipField();
  std::array<int16_t, 6> v{};
  for (auto& x : v) x = reader->ReadInt16();
  s.Aq_mode = v[0]; s.Aq_lapse = v[1]; s.Sample_Rate = v[2];
  s.RT_Buffer = v[3]; s.DSP_Method = v[4]; s.DSP_Interval = v[5];
  stage = 3;

  reader->SkipField();
  for (auto& x : v) x = reader->ReadInt16();
  s.Binary_Acq = v[0]; s.Threshold_Counter = v[1]; s.Cal_value = v[2];
  s.Cal_mode = v[3]; s.Save_counts = v[4]; s.Save_real = v[5];
  stage = 4;

  if (lines >= 20) {
    reader->SkipField();
    for (auto& x : v) x = reader->ReadInt16();
    s.Menu1 = v[0]; s.Menu2 = v[1]; s.Menu3 = v[2]; s.Menu4 = v[3]; s.Menu5 = v[4]; s.Menu6 = v[5];
    stage = 5;
    for (int row = 1; row <= 6; ++row) {
      reader->SkipField();
      for (auto& x : v) x = reader->ReadInt16();
      for (int c = 0; c < kMnCols; ++c) s.MnAt(row, c) = v[static_cast<size_t>(c)];
      stage = row + 5;
    }
  }

  // The stored number must be a number; a different one only warns.
  const std::string trimmed = stored_number;
  if (trimmed.find_first_not_of(" \t") == std::string::npos) throw FormatError("Type mismatch");
  const int16_t stored = ParseInt16(trimmed);
  if (stored != number) {
    const std::string text =
        "Warning: Project ID# <> Folder Name [p00" + std::to_string(s.Actual_Project_Number) + "]";
    if (NewsHandler()) NewsHandler()(text);
    platform::GetDialogs().MsgBox(text);
  }
}

// Puts a copy of setup.dat back from setup.bak or the newest run folder; the name
// of the run folder used ("" for setup.bak), or nullopt when nothing was restored.
std::optional<std::string> RestoreSetup(int16_t number) {
  SharedState& s = Shared();
  s.Working_folder = DefaultWorkingFolder(number);
  const std::string bak = s.Working_folder + "setup.bak";
  if (FileExists(bak)) {
    if (CopyFileChecked(bak, s.Working_folder + "setup.dat") == 1) return std::string();
    return std::nullopt;
  }
  const std::string latest = FindLatestRunFolder(s.Working_folder);
  if (latest.empty()) return std::nullopt;
  const std::string source = (fs::path(s.Working_folder) / latest / "setup.dat").string();
  if (!FileExists(source) || CountFileLines(source) <= 16) return std::nullopt;
  if (CopyFileChecked(source, InFolder(s.Project_Path, "setup.dat").string()) == 1) return latest;
  return std::nullopt;
}

void ReadSetupFileImpl(int16_t number, bool may_restore) {
  int stage = 0;
  try {
    ReadSetupPass(number, stage);
    return;
  } catch (const FormatError&) {
  }
  auto& dialogs = platform::GetDialogs();
  const std::string head = "Error [\\p" + Five(number) + "\\setup.dat] ID#" + std::to_string(stage);
  if (may_restore && number > 0 && stage < 11) {
    if (const auto latest = RestoreSetup(number)) {
      dialogs.MsgBox(head + " => Loading values from: p" + Five(number) + "\\" + *latest);
      dialogs.MsgBox(kRecheck);
      // A restored file that fails again takes the defaults path: no second restore.
      ReadSetupFileImpl(number, false);
      return;
    }
  }
  dialogs.MsgBox(head + " => Loading default values...");
  dialogs.MsgBox(kRecheck);
  ApplyDefaultsFrom(stage, number);
}

bool IsDigits(const std::string& s, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

int Number(const std::string& s, size_t from, size_t count) { return std::stoi(s.substr(from, count)); }

// A "yyyymmdd_hhmm" name that is a real moment, as the run start names its folders.
bool IsRunStamp(const std::string& n) {
  if (n.size() != 13 || n[8] != '_' || !IsDigits(n, 0, 8) || !IsDigits(n, 9, 13)) return false;
  const int month = Number(n, 4, 2), day = Number(n, 6, 2), hour = Number(n, 9, 2), minute = Number(n, 11, 2);
  return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour <= 23 && minute <= 59;
}

// Fields of a text line split at commas outside quotes, each kept as written.
std::vector<std::string> SplitRawFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) fields.emplace_back();
    else fields.back() += c;
  }
  return fields;
}


}  // namespace

void SetProjectNewsHandler(std::function<void(const std::string&)> handler) {
  NewsHandler() = std::move(handler);
}

void ReadSetupFile(int16_t number) { ReadSetupFileImpl(number, true); }

void LoadProjectSetup(int16_t number) {
  // A group save whose renames were left pending is finished before the groups are
  // read. Quietly: the program start comes here, and an unattended start must not
  // wait on a box; a list that stays makes the project's next save fail.
  if (const std::string& folder = Shared().Project_Path; !folder.empty())
    FinishPendingRenames(folder);
  ReadSetupFile(number);
  LoadChannelStatus(number);
  LoadThresholds(number);
  LoadGroups(number);
  LoadChannelGroups(number);
  LoadPlateLayout();
}

std::string SetupFileBytes() {
  const SharedState& s = Shared();
  SettingsWriter w;
  w.Str("Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>").EndLine();
  w.Int(s.Actual_Project_Number)
      .Str(CleanQuotedText(s.Project_Name))
      .Str(CleanQuotedText(s.Working_folder))
      .Str(CleanQuotedText(s.Plate_format))
      .EndLine();
  w.Str("<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>").EndLine();
  w.Int(s.Aq_mode).Int(s.Aq_lapse).Int(s.Sample_Rate).Int(s.RT_Buffer).Int(s.DSP_Method)
      .Int(s.DSP_Interval).EndLine();
  w.Str("<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>").EndLine();
  w.Int(s.Binary_Acq).Int(s.Threshold_Counter).Int(s.Cal_value).Int(s.Cal_mode)
      .Int(s.Save_counts).Int(s.Save_real).EndLine();
  w.Str("Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>").EndLine();
  w.Int(s.Menu1).Int(s.Menu2).Int(s.Menu3).Int(s.Menu4).Int(s.Menu5).Int(s.Menu6).EndLine();
  for (int row = 1; row <= 6; ++row) {
    w.Str(kMnHeaders[static_cast<size_t>(row - 1)]).EndLine();
    for (int c = 0; c < kMnCols; ++c) w.Int(s.MnAt(row, c));
    w.EndLine();
  }
  return w.Bytes();
}

bool SaveProjectSetup(const std::string& folder, int16_t /*number*/, int16_t station) {
  // A folder without setup.dat simply gets no backup.
  (void)CopyFileChecked(InFolder(folder, "setup.dat").string(), InFolder(folder, "setup.bak").string());
  if (!WriteFileAtomic(InFolder(folder, "setup.dat"), SetupFileBytes())) return false;
  return SaveChannelFiles(folder, station);
}

std::string GetProjectTitle(const std::string& folder) {
  try {
    const std::string setup = InFolder(folder, "setup.dat").string();
    const std::string bak = InFolder(folder, "setup.bak").string();
    int lines = FileExists(setup) ? CountFileLines(setup) : 0;
    if (lines < 6) {
      auto& dialogs = platform::GetDialogs();
      if (FileExists(bak)) {
        if (CountFileLines(bak) >= 6 && CopyFileChecked(bak, setup) == 1) {
          lines = CountFileLines(setup);
          dialogs.MsgBox("Error reading Setup.dat -> recovered from Setup.bak");
        }
      } else {
        const std::string latest = FindLatestRunFolder(folder);
        if (!latest.empty()) {
          const fs::path run = fs::path(folder) / latest;
          const std::string source = (run / "setup.dat").string();
          if (FileExists(source) && CountFileLines(source) >= 6 && CopyFileChecked(source, setup) == 1) {
            lines = CountFileLines(setup);
            dialogs.MsgBox("Error reading Setup.dat -> recovered from " + run.string());
          }
        }
      }
    }
    if (lines < 6) return "<Project> p: SETUP NOT FOUND!!";
    auto reader = SettingsReader::Open(setup);
    if (!reader) return "ERROR on SETUP.DAT FILE!!!";
    reader->SkipField();
    const std::string number = reader->ReadString();
    const std::string name = reader->ReadString();
    std::string shown = number;
    try {
      if (number.find_first_not_of(" \t") != std::string::npos) shown = Five(ParseInt16(number));
    } catch (const FormatError&) {
      // A stored number that is not a number is shown as it stands.
    }
    return "<Project> p" + shown + ": " + name;
  } catch (...) {
    return "ERROR on SETUP.DAT FILE!!!";
  }
}

std::string RenameProject(const std::string& folder, const std::string& new_name) {
  const std::string setup = InFolder(folder, "setup.dat").string();
  const std::string bak = InFolder(folder, "setup.bak").string();
  const std::string name = CleanQuotedText(new_name);
  if (!FileExists(setup)) return name;
  if (CopyFileChecked(setup, bak) != 1) {
    platform::GetDialogs().MsgBox("error");
    return "";
  }
  const auto text = ReadTextFile(bak);
  if (!text) return "";
  std::vector<std::string> lines = SplitLines(DecodeText(*text));
  if (lines.size() > 51) lines.resize(51);
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 1) {
      // Split outside quotes, so a name that holds a comma is replaced whole.
      const std::vector<std::string> fields = SplitRawFields(lines[i]);
      out += fields[0] + ",\"" + name + "\"";
      for (size_t f = 2; f < fields.size(); ++f) out += "," + fields[f];
    } else {
      out += lines[i];
    }
    out += "\r\n";
  }
  if (!WriteFileAtomic(setup, out)) return "";
  return name;
}

std::optional<std::string> SetupWithAnalysis(const std::string& folder, int16_t method,
                                             int16_t organism, int16_t snr_x10) {
  // Bytes as stored: a name in another encoding must come back unchanged.
  const auto bytes = ReadTextFile(InFolder(folder, "setup.dat"));
  if (!bytes) return std::nullopt;
  std::vector<std::string> lines = SplitLines(*bytes);
  if (lines.size() < 10) return std::nullopt;
  std::vector<std::string> line4 = SplitRawFields(lines[3]);
  std::vector<std::string> line10 = SplitRawFields(lines[9]);
  if (line4.size() < 5 || line10.size() < 4) return std::nullopt;
  line4[4] = std::to_string(method);
  line10[0] = std::to_string(organism);
  line10[3] = std::to_string(snr_x10);
  auto join = [](const std::vector<std::string>& fields) {
    std::string line = fields[0];
    for (size_t f = 1; f < fields.size(); ++f) line += "," + fields[f];
    return line;
  };
  lines[3] = join(line4);
  lines[9] = join(line10);
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

int RunSnrX10(int stored) { return stored < 5 ? 18 : stored; }

std::string FindLatestRunFolder(const std::string& path) {
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_directory(type_ec) || it->is_symlink(type_ec)) continue;
    const std::string name = it->path().filename().string();
    if (name == "." || name == "..") continue;
    if (name.size() == 13 && name[8] == '_') names.push_back(name);
  }
  if (names.empty()) return "";
  // A "yyyymmdd_hhmm" stamp orders by its own text (year first); real stamps rank
  // above any other name of the same shape.
  auto key = [](const std::string& n) { return std::make_pair(IsRunStamp(n), n); };
  return *std::max_element(names.begin(), names.end(),
                           [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
}

}  // namespace storage
