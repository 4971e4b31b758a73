#include "detection/peak_interval_histogram.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using detection::BuildPeakIntervalHistogram;
using detection::ChannelMajor;
using Block = std::vector<int16_t>;

// V-shaped dips 100 deep per step over +-4 samples on a plateau of 1000; the smoothed
// bottom lies 380 under the plateau (381 with `extra` 5).
Block Dips(std::initializer_list<int> centres, int extra = 0) {
  Block b(500, 1000);
  for (int c : centres) {
    for (int d = -4; d <= 4; ++d) b[c + d] = static_cast<int16_t>(1000 - 100 * (5 - std::abs(d)));
    b[c] = static_cast<int16_t>(b[c] - extra);
  }
  return b;
}

Block DipTrain(int extra = 0) {
  Block b(500, 1000);
  for (int c = 10; c < 500; c += 20) {
    for (int d = -4; d <= 4; ++d) b[c + d] = static_cast<int16_t>(1000 - 100 * (5 - std::abs(d)));
    b[c] = static_cast<int16_t>(b[c] - extra);
  }
  return b;
}

std::vector<int16_t> Histogram(const Block& b, double offset) {
  std::vector<int16_t> h(60, 77);  // cells past 49 belong to the caller
  EXPECT_EQ(BuildPeakIntervalHistogram(b, ChannelMajor(500), 0, h, offset), 1);
  for (int g = 50; g < 60; ++g) EXPECT_EQ(h[g], 77) << g;
  h.resize(50);
  return h;
}

std::vector<int16_t> Cells(std::initializer_list<std::pair<int, int>> set) {
  std::vector<int16_t> h(50, 0);
  for (auto [g, n] : set) h[g] = static_cast<int16_t>(n);
  return h;
}

TEST(PeakIntervalHistogram, FlatBlockAndCellsZeroAndOne) {
  EXPECT_EQ(Histogram(Block(500, 1234), 0), Cells({}));
}

TEST(PeakIntervalHistogram, Period20DipTrain) {
  // First dip at 10 (measured from sample 0), then 24 gaps of 20.
  EXPECT_EQ(Histogram(DipTrain(), 0), Cells({{10, 1}, {20, 24}}));
  // An offset deeper than every dip leaves nothing.
  EXPECT_EQ(Histogram(DipTrain(), 381), Cells({}));
}

TEST(PeakIntervalHistogram, OffsetRoundsHalfToEven) {
  // Depth 381: 380.5 -> 380 leaves a depth of 1; 381.5 -> 382 leaves none.
  EXPECT_EQ(Histogram(DipTrain(5), 380.5), Cells({{10, 1}, {20, 24}}));
  EXPECT_EQ(Histogram(DipTrain(5), 381.5), Cells({}));
}

TEST(PeakIntervalHistogram, LongGapsMoveTheLastDipWithoutCounting) {
  EXPECT_EQ(Histogram(Dips({30, 90, 100}), 0), Cells({{30, 1}, {10, 1}}));
}

TEST(PeakIntervalHistogram, ReadsOneChannelOfASampleMajorBlock) {
  constexpr int kChannels = 385;
  const Block train = DipTrain();
  Block ring(kChannels * 501, 1000);
  for (int s = 0; s < 500; ++s) ring[s * kChannels + 40] = train[s];
  std::vector<int16_t> h(51, 9);
  EXPECT_EQ(BuildPeakIntervalHistogram(ring, detection::SampleMajor(kChannels), 40, h, 0), 1);
  EXPECT_EQ(h[20], 24);
  EXPECT_EQ(h[50], 9);
  // Too small a histogram or a channel outside the block: nothing written.
  std::vector<int16_t> small(49, 9);
  EXPECT_EQ(BuildPeakIntervalHistogram(ring, detection::SampleMajor(kChannels), 40, small, 0), 0);
  EXPECT_EQ(small, std::vector<int16_t>(49, 9));
  EXPECT_EQ(BuildPeakIntervalHistogram(ring, detection::SampleMajor(kChannels), 385, h, 0), 0);
}

}  // namespace
