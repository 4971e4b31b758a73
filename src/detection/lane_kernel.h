#pragma once
// The arithmetic of the raw-block analysis for several channels at once. Each lane is
// one channel and goes through exactly the operations, in exactly the order, that the
// analysis prescribes for one channel; lanes only share the instructions. Samples are
// held as doubles (whole numbers from 16-bit levels, so every sum of them is exact).
#include <cstdint>

#include "detection/block_layout.h"

namespace detection::internal {

inline constexpr int kLanes = 16;

struct alignas(64) LaneBlock {
  // In: the lanes' samples. Out: the samples after the upward clipping, as the
  // caller's 16-bit block is to hold them (a changed value is a lowered sample).
  double x[kBlockSamples][kLanes];
};

// The trace_lane that keeps the trace of every lane.
inline constexpr int kEveryLane = kLanes;

struct alignas(64) LaneResults {
  double count[kLanes];
  // trace[l]: the detection trace of lane l when it was asked for (entries 0..499;
  // method 2 fills 1..499), saturated to 16 bits.
  int16_t trace[kLanes][kBlockSamples];
  // 1 where an event was counted, else 0.
  double marks[kBlockSamples][kLanes];
};

// Runs the analysis of `method` (0..3; any other value only clips) with `threshold`
// over every lane of `block`; the trace is kept for lane `trace_lane` only, or for
// every lane with kEveryLane.
void AnalyzeLanes(LaneBlock& block, double threshold, int method, int trace_lane, LaneResults& out);

}  // namespace detection::internal
