#include "mainwindow/selectors.h"

#include <array>
#include <cmath>

#include "platform/numeric.h"
#include "storage/plate_layout.h"

namespace mainwindow {

std::vector<std::string> RowItems(int plate_rows) {
  std::vector<std::string> items;
  for (int i = 1; i <= plate_rows; ++i) items.emplace_back(1, static_cast<char>(64 + i));
  return items;
}

std::vector<std::string> ColumnItems(int plate_cols) {
  std::vector<std::string> items;
  for (int i = 1; i <= plate_cols; ++i) items.push_back(std::to_string(i));
  return items;
}

std::vector<std::string> GroupSelectorItems(const storage::SharedState& s) {
  // A local in-use table: the status loader keeps a table of the same name for itself.
  std::array<int16_t, storage::kChannelCount> in_use;
  in_use.fill(-1);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int g = s.Group[static_cast<std::size_t>(ch)];
    if (g >= 0 && g < storage::kChannelCount) in_use[static_cast<std::size_t>(g)] = 1;
  }
  std::vector<std::string> items;
  for (int g = 0; g < storage::kChannelCount; ++g) {
    if (in_use[static_cast<std::size_t>(g)] == 1) {
      items.push_back(platform::FormatZeroPadded(g, 3) + "_" +
                      s.Group_Name[static_cast<std::size_t>(g)]);
    }
  }
  if (items.empty()) items.push_back("000_" + s.Group_Name[0]);
  return items;
}

std::vector<std::string> GroupWellEntries(const storage::SharedState& s, int group) {
  std::vector<std::string> entries;
  if (group < 0) return entries;
  const storage::PlateView plate = storage::SharedPlateView(s);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const auto i = static_cast<std::size_t>(ch);
    if (s.Group[i] != group || s.Enabled[i] != -1 || s.Channel_Well[i] < 0) continue;
    entries.push_back(storage::ChannelLabel(plate, ch));
  }
  return entries;
}

int GroupOfItem(const std::string& item) {
  return platform::RoundToInt(platform::Val(item.substr(0, 3)));
}

int ClaimedChannel(const storage::SharedState& s, int well, int beam) {
  return storage::SharedPlateView(s).ClaimedChannel(well, beam);
}

int WellAt(const storage::SharedState& s, int row, int column) {
  if (row < 0 || row >= s.Plate_Rows || column < 1 || column > s.Plate_Cols) return -1;
  return (column - 1) * s.Plate_Rows + row;
}

std::vector<int16_t> WellsOfGroup(const storage::SharedState& s, const storage::ChannelTable16& map,
                                  int g) {
  std::vector<int16_t> wells;
  for (int w = 0; w <= s.Max_Well; ++w) {
    const int ch = ClaimedChannel(s, w, 0);
    if (ch >= 0 && map[static_cast<std::size_t>(ch)] == g) wells.push_back(static_cast<int16_t>(w));
  }
  return wells;
}

std::optional<WellEntry> ParseWellEntry(const std::string& text) {
  const std::size_t dot = text.find('.');
  if (text.empty() || dot == std::string::npos) return std::nullopt;
  WellEntry e;
  e.row = static_cast<unsigned char>(text[0]) - 65;
  // The column text runs from the second character up to and with the ".".
  e.column = platform::RoundToInt(platform::Val(text.substr(1, dot)));
  e.beam = platform::Val(text.substr(dot + 1));
  return e;
}

std::string NumberText(double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) {
    return std::to_string(static_cast<long long>(v));
  }
  std::string t = platform::FormatFixed(v, 6);
  while (!t.empty() && t.back() == '0') t.pop_back();
  if (!t.empty() && t.back() == '.') t.pop_back();
  return t;
}

}  // namespace mainwindow
