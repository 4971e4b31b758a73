#include "setup/group_sets.h"

#include "platform/numeric.h"

namespace setup {

std::string GroupSetName(int rr, int cc) {
  return platform::FormatZeroPadded(rr, 2) + "x" + platform::FormatZeroPadded(cc, 2) +
         " [RowsxColumn]";
}

std::vector<std::string> GroupSetNames(int plate_rows, int plate_cols) {
  std::vector<std::string> names;
  if (plate_rows <= 0 || plate_cols <= 0) return names;
  for (int cc = 1; cc <= 16; ++cc) {
    if (plate_cols % cc != 0) continue;
    for (int rr = 1; rr <= 16; ++rr)
      if (plate_rows % rr == 0) names.push_back(GroupSetName(rr, cc));
  }
  return names;
}

int PreselectedGroupSet(size_t count) {
  if (count == 0) return -1;
  return count >= 3 ? 2 : 0;
}

std::optional<BlockSize> ParseGroupSetName(std::string_view name) {
  const auto number = [&](size_t from, size_t n) -> int {
    if (name.size() < from) return 0;
    const double v = platform::Val(name.substr(from, n));
    return v >= 1 && v <= 1536 ? platform::RoundToInt(platform::Int(v)) : 0;
  };
  const BlockSize b{number(0, 2), number(3, 2)};
  if (b.rows <= 0 || b.cols <= 0) return std::nullopt;
  return b;
}

}  // namespace setup
