#include "storage/channel_files.h"

#include <array>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "storage/file_io.h"
#include "storage/settings_text.h"
#include "storage/shared_state.h"

namespace storage {
namespace {

constexpr const char* kStatusHeader = "<Channel>, <Enabled>";
constexpr const char* kThresholdHeader = "<Channel>, <Threshold>";
constexpr const char* kGroupsHeader = "<Group_Number>, <Group_Name>";
constexpr const char* kChannelGroupsHeader = "<Channel>, <Group: -1=Free>";

std::filesystem::path ProjectFile(const char* name) {
  return InFolder(Shared().Project_Path, name);
}

std::string ErrorText(int16_t number, const char* file, const char* what) {
  return "Error [\\p" + platform::FormatZeroPadded(number, 4) + "\\" + file + "] => " + what;
}

// The values of a project file; throws FormatError when it is missing or damaged.
std::vector<std::string> ProjectTable(const char* name) {
  bool damaged = false;
  auto values = ReadChannelTableValues(ProjectFile(name), damaged);
  if (!values) throw FormatError("File not found");
  if (damaged) throw FormatError("Input past end of file");
  return std::move(*values);
}

std::string ThresholdText(double v) {
  std::string s = platform::FormatFixed(v, 3);
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

}  // namespace

std::optional<std::vector<std::string>> ReadChannelTableValues(const std::filesystem::path& file,
                                                               bool& damaged) {
  damaged = false;
  auto reader = SettingsReader::Open(file);
  if (!reader) return std::nullopt;
  std::vector<std::string> values;
  try {
    reader->SkipField();
    while (values.size() < kTableSize && !reader->Eof()) {
      reader->SkipField();
      values.push_back(reader->ReadString());
    }
  } catch (const FormatError&) {
    damaged = true;
  }
  return values;
}

int16_t ChannelGroupValue(const std::string& text) {
  const int16_t g = ParseInt16(text);
  // A group number no table can hold would index past the group tables.
  return (g < -1 || g >= kChannelCount) ? int16_t{-1} : g;
}

void LoadChannelStatus(int16_t number) {
  SharedState& s = Shared();
  // Read into a table of our own: channels a short file does not reach stay usable.
  std::array<int16_t, kTableSize> flags;
  flags.fill(-1);
  try {
    const auto values = ProjectTable("status.dat");
    for (size_t i = 0; i < values.size(); ++i) flags[i] = ParseInt16(values[i]);
  } catch (const FormatError&) {
    platform::GetDialogs().MsgBox(ErrorText(number, "status.dat", "Loading default values..."));
    s.SetEnabledDefaults();
    return;
  }
  for (size_t ch = 0; ch < kChannelCount; ++ch)
    s.Enabled[ch] = flags[ch] != 0 ? int16_t{-1} : int16_t{0};
}

void LoadThresholds(int16_t number) {
  SharedState& s = Shared();
  try {
    const auto values = ProjectTable("threshld.dat");
    for (size_t i = 0; i < values.size(); ++i)
      s.ThresholdAt(0, static_cast<int>(i)) = ParseDouble(values[i]);
  } catch (const FormatError&) {
    platform::GetDialogs().MsgBox(ErrorText(number, "threshld.dat", "Loading default values..."));
    s.SetThresholdDefaults();
  }
}

void LoadGroups(int16_t number) {
  SharedState& s = Shared();
  if (!FileExists(ProjectFile("groups.dat"))) {
    for (int g = 0; g < kChannelCount; ++g)
      s.Group_Name[static_cast<size_t>(g)] = g < 12 ? "Group" + std::to_string(g) : "Free";
    return;
  }
  try {
    const auto values = ProjectTable("groups.dat");
    for (size_t i = 0; i < values.size(); ++i) s.Group_Name[i] = CleanQuotedText(values[i]);
  } catch (const FormatError&) {
    platform::GetDialogs().MsgBox(ErrorText(number, "groups.dat", "Loading default groups..."));
    s.SetGroupNameDefaults();
  }
}

void LoadChannelGroups(int16_t number) {
  SharedState& s = Shared();
  if (!FileExists(ProjectFile("chgroup.dat"))) {
    s.SetGroupDefaults();
    return;
  }
  try {
    const auto values = ProjectTable("chgroup.dat");
    for (size_t i = 0; i < values.size(); ++i) s.Group[i] = ChannelGroupValue(values[i]);
  } catch (const FormatError&) {
    platform::GetDialogs().MsgBox(ErrorText(number, "chgroup.dat", "Loading default groups..."));
    s.SetGroupDefaults();
  }
}

bool SaveChannelFiles(const std::string& folder, int16_t station) {
  const SharedState& s = Shared();

  SettingsWriter status;
  status.Str(kStatusHeader).EndLine();
  for (int k = 0; k < kChannelCount; ++k)
    status.Int(k).Int(s.Enabled[static_cast<size_t>(k)] != 0 ? 1 : 0).EndLine();
  if (!WriteFileAtomic(InFolder(folder, "status.dat"), status.Bytes())) return false;

  SettingsWriter thresholds;
  thresholds.Str(kThresholdHeader).EndLine();
  for (int k = 0; k < kChannelCount; ++k)
    thresholds.Int(k).Raw(",").Raw(ThresholdText(s.ThresholdAt(0, k))).EndLine();
  if (!WriteFileAtomic(InFolder(folder, "threshld.dat"), thresholds.Bytes())) return false;

  const ChannelTableText* names = nullptr;
  const ChannelTable16* groups = nullptr;
  switch (station) {
    case -1:
    case 0:
      names = &s.Group_Name;
      groups = &s.Group;
      break;
    case 1:
      names = &s.Group_Name_s2;
      groups = &s.Group_s2;
      break;
    case 2:
      names = &s.Group_Name_s3;
      groups = &s.Group_s3;
      break;
    case 3:
      names = &s.Group_Name_s4;
      groups = &s.Group_s4;
      break;
    default:
      return true;  // no group files for an unknown station
  }

  // Files replaced but not yet synced are the project's files all the same.
  const SetCommit saved = SaveGroupFiles(folder, *names, *groups);
  return saved == SetCommit::kDone || saved == SetCommit::kUnsynced;
}

SetCommit SaveGroupFiles(const std::string& folder, const ChannelTableText& names,
                         const ChannelTable16& groups, const std::vector<FileCopy>& backups,
                         const CommitStep& step, std::string* note) {
  SettingsWriter name_file;
  name_file.Str(kGroupsHeader).EndLine();
  for (int k = 0; k < kChannelCount; ++k)
    name_file.Int(k).Str(CleanQuotedText(names[static_cast<size_t>(k)])).EndLine();

  SettingsWriter group_file;
  group_file.Str(kChannelGroupsHeader).EndLine();
  for (int k = 0; k < kChannelCount; ++k)
    group_file.Int(k).Int(groups[static_cast<size_t>(k)]).EndLine();

  FileSetRewrite rewrite(folder);
  for (const FileCopy& backup : backups) rewrite.File(backup.name).Write(backup.bytes);
  rewrite.File("groups.dat").Write(name_file.Bytes());
  rewrite.File("chgroup.dat").Write(group_file.Bytes());
  const SetCommit result = rewrite.Commit(step);
  if (note) *note = SetCommitNote(rewrite, result);
  return result;
}

}  // namespace storage
