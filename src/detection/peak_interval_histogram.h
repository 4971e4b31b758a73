#pragma once
// The rhythm of a channel within one bin (body-bends mode): the distances, in samples,
// between successive dips of the smoothed signal under its last peak, counted into a
// 50-cell histogram.
#include <cstdint>
#include <span>

#include "detection/block_layout.h"

namespace detection {

// Writes cells 0..49 of `histogram` (cell g counts gaps of g samples; further cells are
// left alone). `offset` is taken off every dip depth after rounding half to even.
// Returns 1; returns 0 and writes nothing when the block does not hold samples 0..499
// of `channel` or the histogram has fewer than 50 cells.
int16_t BuildPeakIntervalHistogram(std::span<const int16_t> block, BlockLayout layout, int channel,
                                   std::span<int16_t> histogram, double offset);

}  // namespace detection
