#include "setup/group_model.h"

#include <algorithm>
#include <array>

#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "storage/settings_text.h"

namespace setup {

std::string GroupEntryText(int group, std::string_view name) {
  return platform::FormatZeroPadded(group, 3) + "_" + std::string(name);
}

std::string CleanGroupName(std::string_view typed) { return storage::CleanTypedName(typed); }

int SelectionAfterMove(int selected, int count) {
  if (selected <= 0) return -1;
  if (selected >= count) --selected;
  if (selected >= count) selected = count - 1;
  return selected;
}

GroupModel::GroupModel(const storage::PlateView& plate, std::span<const int16_t> enabled,
                       GroupTables tables)
    : plate_(plate), enabled_(enabled), tables_(tables) {
  // An owner whose tables are too short gets a model that sees no channel at all
  // rather than one that reads past them.
  const auto short_of = [](size_t n) { return n < static_cast<size_t>(kGroupCount); };
  if (short_of(enabled_.size()) || short_of(tables_.group.size()) ||
      short_of(tables_.group_name.size()) || short_of(plate_.channel_well.size()) ||
      short_of(plate_.channel_beam.size())) {
    enabled_ = {};
    tables_ = {};
    plate_ = {};
  }
}

GroupModel GroupModel::OfProject(storage::SharedState& s) {
  return GroupModel(storage::SharedPlateView(s), s.Enabled, GroupTables{s.Group, s.Group_Name});
}

int GroupModel::GroupOf(int channel) const {
  if (channel < 0 || static_cast<size_t>(channel) >= tables_.group.size() ||
      channel >= storage::kChannelCount)
    return -1;
  const int g = tables_.group[static_cast<size_t>(channel)];
  return ValidGroup(g) ? g : -1;
}

bool GroupModel::Usable(int channel) const {
  return plate_.WellOf(channel) >= 0 && enabled_[static_cast<size_t>(channel)] == -1;
}

const std::string& GroupModel::NameOf(int group) const {
  static const std::string none;
  if (!ValidGroup(group) || tables_.group_name.empty()) return none;
  return tables_.group_name[static_cast<size_t>(group)];
}

void GroupModel::SetGroup(int channel, int group) {
  if (channel < 0 || channel >= storage::kChannelCount || tables_.group.empty()) return;
  tables_.group[static_cast<size_t>(channel)] = static_cast<int16_t>(group);
}

std::vector<GroupEntry> GroupModel::BuildEntries() {
  // A local table: the status loader keeps a scratch table of the same meaning.
  std::array<bool, kGroupCount> in_use{};
  int highest = -1;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int g = GroupOf(ch);
    if (g < 0) continue;
    in_use[static_cast<size_t>(g)] = true;
    highest = std::max(highest, g);
  }
  std::vector<GroupEntry> entries;
  if (tables_.group_name.empty()) return {{0, GroupEntryText(0, kFreeName)}};
  for (int g = 0; g <= std::min(highest + 1, kGroupCount - 1); ++g) {
    std::string& name = tables_.group_name[static_cast<size_t>(g)];
    entries.push_back({g, GroupEntryText(g, name)});
    if (g <= highest && in_use[static_cast<size_t>(g)] && name == kFreeName)
      name = "Group" + std::to_string(g);
  }
  return entries;
}

int GroupModel::EntryIndexOf(const std::vector<GroupEntry>& entries, int group) {
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].group == group) return static_cast<int>(i);
  return 0;
}

std::vector<ChannelEntry> GroupModel::GroupChannels(int group) const {
  std::vector<ChannelEntry> out;
  if (!ValidGroup(group)) return out;
  for (int ch = 0; ch < storage::kChannelCount; ++ch)
    if (GroupOf(ch) == group && Usable(ch)) out.push_back({ch, storage::ChannelLabel(plate_, ch)});
  return out;
}

std::vector<ChannelEntry> GroupModel::FreeChannels() const {
  std::vector<ChannelEntry> out;
  if (tables_.group.empty()) return out;
  for (int ch = 0; ch < storage::kChannelCount; ++ch)
    if (GroupOf(ch) < 0 && Usable(ch)) out.push_back({ch, storage::ChannelLabel(plate_, ch)});
  return out;
}

std::vector<int> GroupModel::WellsOfGroup(int group) const {
  std::vector<int> wells;
  if (!ValidGroup(group)) return wells;
  for (int w = 0; w <= plate_.max_well; ++w)
    if (const int ch = plate_.ClaimedChannel(w, 0); ch >= 0 && GroupOf(ch) == group)
      wells.push_back(w);
  return wells;
}

bool GroupModel::Rename(int group, std::string_view answer) {
  std::string name = CleanGroupName(answer);
  if (name.empty() || !ValidGroup(group) || tables_.group_name.empty()) return false;
  tables_.group_name[static_cast<size_t>(group)] = std::move(name);
  return true;
}

void GroupModel::ClearGroup(int group) {
  if (!ValidGroup(group) || tables_.group_name.empty()) return;
  tables_.group_name[static_cast<size_t>(group)] = kFreeName;
  for (int ch = 0; ch < storage::kChannelCount; ++ch)
    if (GroupOf(ch) == group) SetGroup(ch, -1);
}

void GroupModel::ClearAll() {
  if (tables_.group_name.empty()) return;
  for (int i = 0; i < kGroupCount; ++i) {
    SetGroup(i, -1);
    tables_.group_name[static_cast<size_t>(i)] = kFreeName;
  }
}

void GroupModel::MoveWell(int channel, int group) {
  const int well = plate_.WellOf(channel);
  if (well < 0 || (group != -1 && !ValidGroup(group))) return;
  // Only the slots the well's own channels claim: a narrower well's empty slots
  // name channel 0, which belongs to another well.
  for (int b = 0; b <= plate_.max_beam; ++b)
    if (const int ch = plate_.ClaimedChannel(well, b); ch >= 0) SetGroup(ch, group);
}

void GroupModel::TakeFreeChannelsOfWell(int well, int group) {
  if (well < 0 || !ValidGroup(group)) return;
  for (int ch = 0; ch < storage::kChannelCount; ++ch)
    if (plate_.WellOf(ch) == well && GroupOf(ch) < 0 && Usable(ch)) SetGroup(ch, group);
}

void GroupModel::SetWellChannels(int well, int group) {
  if (well < 0 || (group != -1 && !ValidGroup(group))) return;
  for (int ch = 0; ch < storage::kChannelCount; ++ch)
    if (plate_.WellOf(ch) == well && Usable(ch)) SetGroup(ch, group);
}

int GroupModel::SetRectChannels(const CellRect& rect, int group) {
  int last = -1;
  for (int r = std::min(rect.row_first, rect.row_last);
       r <= std::max(rect.row_first, rect.row_last); ++r) {
    for (int c = std::min(rect.col_first, rect.col_last);
         c <= std::max(rect.col_first, rect.col_last); ++c) {
      if (r < 0 || r >= plate_.rows || c < 0 || c >= plate_.cols) continue;
      last = plate_.rows * c + r;
      SetWellChannels(last, group);
    }
  }
  return last;
}

bool GroupModel::ApplyGroupSet(int rr, int cc) {
  const int rows = plate_.rows, cols = plate_.cols;
  if (rr <= 0 || cc <= 0 || rows <= 0 || cols <= 0 || rows % rr != 0 || cols % cc != 0 ||
      tables_.group_name.empty())
    return false;
  ClearAll();
  const int block_rows = rows / rr;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int well = plate_.WellOf(ch);
    if (!Usable(ch) || well >= rows * cols) continue;
    const int k = (well / rows / cc) * block_rows + (well % rows) / rr;
    // A plate of more than 384 blocks: the blocks past the last group stay free.
    if (!ValidGroup(k)) continue;
    SetGroup(ch, k);
    tables_.group_name[static_cast<size_t>(k)] = "Group" + std::to_string(k);
  }
  return true;
}

bool AskRenameGroup(GroupModel& model, GroupEntry& entry) {
  const std::string nnn = entry.text.substr(0, 3);
  const std::string shown = entry.text.size() > 4 ? entry.text.substr(4) : std::string();
  const auto answer = platform::GetDialogs().InputBox("Enter New Group (" + nnn + ") Name", shown);
  if (!answer || !model.Rename(entry.group, *answer)) return false;
  entry.text = GroupEntryText(entry.group, model.NameOf(entry.group));
  return true;
}

bool AskClearGroup(GroupModel& model, const GroupEntry& entry) {
  const std::string nnn = entry.text.substr(0, 3);
  if (platform::GetDialogs().AskYesNoCancel("Clear Group #" + nnn + "?") !=
      platform::Dialogs::Answer::kYes)
    return false;
  model.ClearGroup(entry.group);
  return true;
}

bool AskClearAllGroups(GroupModel& model) {
  if (!platform::GetDialogs().AskYesNo("Do you like to Clear Group lists?")) return false;
  model.ClearAll();
  return true;
}

}  // namespace setup
