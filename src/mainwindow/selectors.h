#pragma once
// The plate, group and well selectors' texts and look-ups, without the controls:
// row and column items, group items "003_name", well entries "B3.1", the channel
// of a (well, beam) and the wells of a group. Wells are numbered column by column:
// well w is in row w mod Plate_Rows and column w div Plate_Rows.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/shared_state.h"

namespace mainwindow {

// "A", "B", ... for the rows, and "1", "2", ... for the columns.
std::vector<std::string> RowItems(int plate_rows);
std::vector<std::string> ColumnItems(int plate_cols);

// Groups 0..383 with at least one channel in `Group` (disabled and off-plate
// channels count), ascending, each "ggg_" & name; with none, the one item
// "000_" & the name of group 0.
std::vector<std::string> GroupSelectorItems(const storage::SharedState& s);
// The entries of group n: for each channel of `Group` = n that is enabled and on the
// plate, in channel order, its well's label, "." and its beam ("B3.1"). None for n < 0.
std::vector<std::string> GroupWellEntries(const storage::SharedState& s, int group);
// The group number of a selector item: the numeric value of its first three characters.
int GroupOfItem(const std::string& item);

// The channel of beam `beam` of well `well`, or -1 when the pair lies outside
// Well_Grid or the layout gives that well no such beam (an empty slot holds channel 0,
// which belongs elsewhere).
int ClaimedChannel(const storage::SharedState& s, int well, int beam);
// The well at row index `row` (0 = "A") and column number `column` (from 1); -1 when
// the place is not on the plate.
int WellAt(const storage::SharedState& s, int row, int column);
// Wells 0..Max_Well, ascending, whose beam-0 channel belongs to group `g` of `map`.
std::vector<int16_t> WellsOfGroup(const storage::SharedState& s, const storage::ChannelTable16& map,
                                  int g);

// A well entry taken apart: the row index from its first letter, the column number
// from the text up to the ".", and the beam after it. Nullopt without a ".".
struct WellEntry {
  int row = 0;
  int column = 0;
  double beam = 0;
};
std::optional<WellEntry> ParseWellEntry(const std::string& text);

// A value as decimal text the way the selectors show it ("3", "2.5").
std::string NumberText(double v);

}  // namespace mainwindow
