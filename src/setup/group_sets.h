#pragma once
// Group sets: divisions of the whole plate into equal blocks of wells, one group per
// block, named by the block's rows and columns ("02x03 [RowsxColumn]"). The model
// applies one (GroupModel::ApplyGroupSet); this names them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

// The pop-up menu offers the first this many sets.
inline constexpr int kGroupSetMenuItems = 24;

// "RRxCC [RowsxColumn]".
std::string GroupSetName(int rr, int cc);
// The sets of a plate: block widths 1..16 that divide the columns, and within each
// the block heights 1..16 that divide the rows, both ascending.
std::vector<std::string> GroupSetNames(int plate_rows, int plate_cols);
// The entry shown first: the third when there are three or more, else the first;
// -1 for none.
int PreselectedGroupSet(size_t count);

struct BlockSize {
  int rows = 0, cols = 0;
};
// The block of a set name: rows from its first two characters, columns from its
// fourth and fifth; nullopt when either is not a positive number.
std::optional<BlockSize> ParseGroupSetName(std::string_view name);

}  // namespace setup
