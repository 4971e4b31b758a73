#pragma once
// Plate and group tables owned by the test, as a recorded run owns its own copy:
// the group model never needs the shared state.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "setup/group_model.h"
#include "storage/plate_layout.h"

namespace grouptest {

struct OwnTables {
  explicit OwnTables(const storage::PlateLayout& l) : layout(l) {
    enabled.fill(-1);
    group.fill(-1);
    names.fill("Free");
    beams = l.max_beam + 1;
    // Unclaimed slots hold channel 0, as the shared grid has them.
    grid.assign(static_cast<size_t>(l.max_well + 1) * static_cast<size_t>(beams), 0);
    for (int ch = 0; ch < storage::kChannelCount; ++ch) {
      const int w = l.channel_well[static_cast<size_t>(ch)];
      if (w >= 0)
        grid[static_cast<size_t>(w) * static_cast<size_t>(beams) +
             l.channel_beam[static_cast<size_t>(ch)]] = static_cast<int16_t>(ch);
    }
  }

  storage::PlateView View() const {
    storage::PlateView v;
    v.rows = layout.rows;
    v.cols = layout.cols;
    v.row_pitch = layout.row_pitch;
    v.row_offset = layout.row_offset;
    v.col_pitch = layout.col_pitch;
    v.col_offset = layout.col_offset;
    v.max_well = layout.max_well;
    v.max_beam = layout.max_beam;
    v.channel_well = layout.channel_well;
    v.channel_beam = layout.channel_beam;
    v.well_grid = grid;
    v.grid_beams = beams;
    return v;
  }
  setup::GroupModel Model() { return setup::GroupModel(View(), enabled, {group, names}); }

  void Put(std::initializer_list<int> channels, int g) {
    for (int ch : channels) group[static_cast<size_t>(ch)] = static_cast<int16_t>(g);
  }
  // Channels of group g, ascending.
  std::vector<int> ChannelsOf(int g) const {
    std::vector<int> out;
    for (int ch = 0; ch < storage::kChannelCount; ++ch)
      if (group[static_cast<size_t>(ch)] == g) out.push_back(ch);
    return out;
  }

  storage::PlateLayout layout;
  std::vector<int16_t> grid;
  int beams = 1;
  storage::ChannelTable16 enabled{};
  storage::ChannelTable16 group{};
  storage::ChannelTableText names;
};

// A layout of `rows` x `cols` wells whose well w has beams[w] channels, numbered
// from 0 upwards in well order; every other channel is off the plate.
inline storage::PlateLayout CustomLayout(int rows, int cols, const std::vector<int>& beams,
                                         double pitch = 1.0, double offset = 0.0) {
  storage::PlateLayout l;
  l.rows = static_cast<int16_t>(rows);
  l.cols = static_cast<int16_t>(cols);
  l.row_pitch = l.col_pitch = pitch;
  l.row_offset = l.col_offset = offset;
  l.channel_well.fill(-1);
  int ch = 0;
  for (size_t w = 0; w < beams.size(); ++w) {
    for (int b = 0; b < beams[w]; ++b, ++ch) {
      l.channel_well[static_cast<size_t>(ch)] = static_cast<int16_t>(w);
      l.channel_beam[static_cast<size_t>(ch)] = static_cast<int16_t>(b);
      if (b > l.max_beam) l.max_beam = static_cast<int16_t>(b);
    }
    l.max_well = static_cast<int16_t>(w);
  }
  return l;
}

// The texts of a list of entries.
template <typename Entries, typename Member>
std::vector<std::string> Texts(const Entries& entries, Member m) {
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.*m);
  return out;
}

}  // namespace grouptest
