#include "detection/peak_interval_histogram.h"

#include <algorithm>
#include <cmath>

#include "detection/fast_round.h"

namespace detection {

int16_t BuildPeakIntervalHistogram(std::span<const int16_t> block, BlockLayout layout, int channel,
                                   std::span<int16_t> histogram, double offset) {
  if (!HoldsChannel(block.size(), layout, channel) || histogram.size() < kHistogramCells) return 0;
  constexpr int kN = kBlockSamples;
  const int16_t* const column =
      block.data() + static_cast<std::size_t>(channel) * layout.channel_stride;
  const std::size_t stride = layout.sample_stride;

  std::fill(histogram.begin(), histogram.begin() + kHistogramCells, int16_t{0});

  int32_t x[kN];
  for (int i = 0; i < kN; ++i) x[i] = column[i * stride];

  // The offset as a whole number; kept wide rather than wrapped when it is absurd.
  double rounded = internal::RoundEven(offset);
  if (std::isnan(rounded)) rounded = 0;
  const int64_t o = static_cast<int64_t>(std::clamp(rounded, -1e12, 1e12));

  // Five-sample means; the edges copy the nearest computed one. A sum of whole numbers
  // over 5 never ties, and its product with 0.2 lies far closer to it than to the
  // next half, so rounding the product gives the rounded mean.
  int32_t smooth[kN];
  for (int i = 3; i <= kN - 4; ++i) {
    const int32_t sum = x[i - 2] + x[i - 1] + x[i] + x[i + 1] + x[i + 2];
    smooth[i] = static_cast<int32_t>(internal::RoundEvenSmall(sum * 0.2));
  }
  smooth[0] = smooth[1] = smooth[2] = smooth[3];
  smooth[kN - 3] = smooth[kN - 2] = smooth[kN - 1] = smooth[kN - 4];

  // Depth of each sample under the last strict peak, less the offset. Noise makes
  // peaks and dips unpredictable, so these loops select rather than branch.
  int64_t depth[kN];
  int32_t reference = smooth[0];
  for (int i = 1; i <= kN - 2; ++i) {
    const bool peak = (smooth[i] > smooth[i - 1]) & (smooth[i] > smooth[i + 1]);
    reference = peak ? smooth[i] : reference;
    depth[i] = std::max<int64_t>(int64_t{reference} - smooth[i] - o, 0);
  }
  depth[0] = depth[1];
  depth[kN - 1] = depth[kN - 2];

  // Gaps between dip bottoms (strict maxima of the depth); the first from sample 0.
  // Gaps outside 2..49 are tallied in cell 0, cleared afterwards.
  int32_t cells[kHistogramCells] = {};
  int last_dip = 0;
  for (int i = 1; i <= kN - 2; ++i) {
    const bool dip = (depth[i] > depth[i - 1]) & (depth[i] > depth[i + 1]);
    const int gap = i - last_dip;
    const bool counted = dip & (gap >= 2) & (gap < kHistogramCells);
    cells[counted ? gap : 0] += 1;
    last_dip = dip ? i : last_dip;
  }
  for (int g = 2; g < kHistogramCells; ++g) histogram[g] = static_cast<int16_t>(cells[g]);
  return 1;
}

}  // namespace detection
