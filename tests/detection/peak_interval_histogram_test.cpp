#include "detection/peak_interval_histogram.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using detection::BuildPeakIntervalHistogram;
using Block = std::vector<int16_t>;
using Cells = std::vector<std::pair<int, int>>;

// V-shaped dips 100 deep per step over +-4 samples on a plateau of 1000; the smoothed
// bottom lies 380 under the plateau (381 with `extra` 5).
Block Dips(const std::vector<int>& centres, int extra = 0) {
  Block b(500, 1000);
  for (int c : centres) {
    for (int d = -4; d <= 4; ++d) b[c + d] = static_cast<int16_t>(1000 - 100 * (5 - std::abs(d)));
    b[c] = static_cast<int16_t>(b[c] - extra);
  }
  return b;
}

// Dips every 20 samples from sample 10.
std::vector<int> Train() {
  std::vector<int> c;
  for (int s = 10; s < 500; s += 20) c.push_back(s);
  return c;
}

TEST(PeakIntervalHistogram, GapsBetweenDips) {
  const struct {
    const char* what;
    Block block;
    double offset;
    Cells cells;  // cells not listed are 0
  } cases[] = {
      {"flat: cells 0 and 1 stay 0", Block(500, 1234), 0, {}},
      // The first dip is measured from sample 0.
      {"period-20 train", Dips(Train()), 0, {{10, 1}, {20, 24}}},
      {"offset deeper than every dip", Dips(Train()), 381, {}},
      // Depth 381: 380.5 -> 380 leaves a depth of 1; 381.5 -> 382 leaves none.
      {"offset 380.5 rounds down", Dips(Train(), 5), 380.5, {{10, 1}, {20, 24}}},
      {"offset 381.5 rounds up", Dips(Train(), 5), 381.5, {}},
      {"a gap past 49 moves the last dip uncounted", Dips({30, 90, 100}), 0, {{30, 1}, {10, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<int16_t> h(60, 77);  // cells past 49 belong to the caller
    EXPECT_EQ(BuildPeakIntervalHistogram(c.block, detection::ChannelMajor(500), 0, h, c.offset), 1);
    std::vector<int16_t> expected(60, 77);
    std::fill(expected.begin(), expected.begin() + 50, int16_t{0});
    for (auto [g, n] : c.cells) expected[g] = static_cast<int16_t>(n);
    EXPECT_EQ(h, expected);
  }
}

TEST(PeakIntervalHistogram, ReadsOneChannelOfASampleMajorBlock) {
  constexpr int kChannels = 385;
  const Block train = Dips(Train());
  Block ring(kChannels * 501, 1000);
  for (int s = 0; s < 500; ++s) ring[s * kChannels + 40] = train[s];
  const auto layout = detection::SampleMajor(kChannels);
  std::vector<int16_t> h(51, 9);
  EXPECT_EQ(BuildPeakIntervalHistogram(ring, layout, 40, h, 0), 1);
  EXPECT_EQ(h[20], 24);
  EXPECT_EQ(h[50], 9);
  // Too small a histogram or a channel outside the block: nothing written.
  std::vector<int16_t> small(49, 9);
  EXPECT_EQ(BuildPeakIntervalHistogram(ring, layout, 40, small, 0), 0);
  EXPECT_EQ(small, std::vector<int16_t>(49, 9));
  EXPECT_EQ(BuildPeakIntervalHistogram(ring, layout, 385, h, 0), 0);
}

}  // namespace
