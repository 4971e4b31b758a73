#pragma once
// The group editor's model: which channels belong to which numbered, named group,
// edited over one plate layout and one channel-to-group table. It has two owners: the
// setup window edits the open project's tables (OfProject), the offline browser a
// recorded run's own copy (build a PlateView and GroupTables over the run's tables).
// The model never reaches the shared state by itself and keeps no state of its own:
// what it returns (entries, lists) describes the tables as they are when called.
//
// Groups are 0..383; a channel whose group is outside 0..383 (-1 by convention) is
// free. A group named "Free" has no name of its own.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/plate_layout.h"
#include "storage/shared_state.h"

namespace setup {

inline constexpr int kGroupCount = 384;
inline constexpr const char* kFreeName = "Free";

// The tables the editor writes: channel -> group (384 entries at least) and
// group -> name (384 entries at least).
struct GroupTables {
  std::span<int16_t> group;
  std::span<std::string> group_name;
};

// An entry of the group list: "007_Control" for group 7 named Control.
struct GroupEntry {
  int group = 0;
  std::string text;
};
// An entry of a channel list: "B2.1" for beam 1 of well 9 on an 8-row plate.
struct ChannelEntry {
  int channel = 0;
  std::string label;
};

// A rectangle of wells, rows and columns from the first to the last, both included.
struct CellRect {
  int row_first = 0, row_last = 0, col_first = 0, col_last = 0;
};

// "ggg_name".
std::string GroupEntryText(int group, std::string_view name);
// A name as the user typed it, without `"` and control characters (line breaks,
// tabs): the group files keep names in quoted fields on one line.
std::string CleanGroupName(std::string_view typed);
// Where a channel list's selection goes after a move took entry `selected` away and
// the list was refilled with `count` entries: the entry before it, or the new last;
// -1 (nothing selected) when the moved entry was the first.
int SelectionAfterMove(int selected, int count);

class GroupModel {
 public:
  GroupModel(const storage::PlateView& plate, std::span<const int16_t> enabled, GroupTables tables);
  // The open project's plate, channel states and group tables.
  static GroupModel OfProject(storage::SharedState& s);

  const storage::PlateView& Plate() const { return plate_; }
  int GroupOf(int channel) const;  // -1 for a free channel
  bool Usable(int channel) const;  // enabled (-1) and on the plate
  const std::string& NameOf(int group) const;

  // The group list: groups 0 to (highest group with a channel) + 1, at most 383. A
  // group with a channel that is still named "Free" is named "Group" & its number
  // once its entry has been made: the entry shows the new name from the next
  // rebuild on.
  std::vector<GroupEntry> BuildEntries();
  // The index of `group`'s entry, 0 when it has none.
  static int EntryIndexOf(const std::vector<GroupEntry>& entries, int group);

  // The usable channels of a group, or the usable free ones, in channel order.
  std::vector<ChannelEntry> GroupChannels(int group) const;
  std::vector<ChannelEntry> FreeChannels() const;
  // Wells 0..max_well whose beam-0 channel belongs to the group, ascending.
  std::vector<int> WellsOfGroup(int group) const;

  // Names a group (the cleaned answer); false, with nothing changed, when the cleaned
  // answer is empty or the group is not 0..383.
  bool Rename(int group, std::string_view answer);
  // Frees every channel of the group, usable or not, and names it "Free".
  void ClearGroup(int group);
  // Frees every channel and names every group "Free".
  void ClearAll();

  // Moves the well of `channel` into `group` (-1: out of its group): every beam of
  // the well whose channel belongs to it, usable or not.
  void MoveWell(int channel, int group);

  // The plate picture's assignments, on the usable channels of a well:
  // the free ones join `group` (a left press)...
  void TakeFreeChannelsOfWell(int well, int group);
  // ...or all of them join `group`, -1 freeing them (a right press, a release).
  void SetWellChannels(int well, int group);
  // SetWellChannels on every well of the rectangle, rows before columns as the
  // picture walks them; cells off the plate are skipped. The last well walked, -1
  // for none.
  int SetRectChannels(const CellRect& rect, int group);

  // Group sets: every group freed and named "Free"; the plate tiled with blocks of
  // rr rows by cc columns, block k at block row k mod (rows / rr) and block column
  // k div (rows / rr), its wells' usable channels in group k, named "Group" & k.
  // False, with nothing changed, when the blocks do not tile the plate.
  bool ApplyGroupSet(int rr, int cc);

 private:
  bool ValidGroup(int group) const { return group >= 0 && group < kGroupCount; }
  void SetGroup(int channel, int group);

  storage::PlateView plate_;
  std::span<const int16_t> enabled_;
  GroupTables tables_;
};

// The editing steps that ask the user first (platform dialogs). Each returns true
// when it changed the tables.
// Rename the group of `entry`, offering the entry's own name (what the list shows,
// which may lag behind the table); on a change the entry's text follows.
bool AskRenameGroup(GroupModel& model, GroupEntry& entry);
// "Clear Group #nnn?" with Yes, No and Cancel; only Yes clears.
bool AskClearGroup(GroupModel& model, const GroupEntry& entry);
// "Do you like to Clear Group lists?" with Yes and No.
bool AskClearAllGroups(GroupModel& model);

}  // namespace setup
