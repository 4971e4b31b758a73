#pragma once
// The arithmetic of the raw-block analysis for sixteen channels at once. Each lane is
// one channel and goes through exactly the operations, in exactly the order, that the
// analysis prescribes for one channel; lanes only share the instructions. The kernel is
// built once per instruction set (lane_kernel_body.h); the widest one the processor
// runs serves the program.
#include <cstdint>
#include <span>

#include "detection/block_layout.h"
#include "detection/raw_block_analysis.h"

namespace detection::internal {

inline constexpr int kLanes = 16;

// R, the detection's mean of 30 peak-track values, is the rounded quotient of a whole
// sum within +-kPeakSumLimit by 30. Such a quotient lies at least 1/30 from a half
// unless it is one, and the sum's product with this reciprocal lies within 2^-37 of it,
// so product and quotient round alike, halves included: the kernel multiplies.
inline constexpr int kMeanWindow = 30;
inline constexpr double kInverseMeanWindow = 1.0 / kMeanWindow;
inline constexpr double kPeakSumLimit = kMeanWindow * 32768.0;
// One bit per lane: bit l belongs to lane l.
using LaneBits = uint16_t;

struct alignas(64) LaneBlock {
  // In: the lanes' levels. Out: the levels after the upward clipping, as the caller's
  // block is to hold them.
  int16_t level[kBlockSamples][kLanes];
};

// The trace_lane that keeps the trace of every lane.
inline constexpr int kEveryLane = kLanes;

struct alignas(64) LaneResults {
  int32_t count[kLanes];
  LaneBits lowered[kBlockSamples];  // lanes whose sample the clipping lowered
  LaneBits marks[kBlockSamples];    // lanes that counted an event at the sample
  // trace[l]: the detection trace of lane l when it was asked for (entries 0..499;
  // method 2 fills 1..499), saturated to 16 bits.
  int16_t trace[kLanes][kBlockSamples];
};

// Runs the analysis of `method` (0..3; any other value only clips) with `threshold`
// over every lane of `block`; the trace is kept for lane `trace_lane` only, or for
// every lane with kEveryLane.
using LaneKernel = void (*)(LaneBlock& block, double threshold, int method, int trace_lane,
                            LaneResults& out);

struct LaneKernelVersion {
  const char* name;
  LaneKernel analyze;
  bool (*runs_here)();
};

// The versions this build holds, widest first; the last is the baseline, which every
// processor of the target runs.
std::span<const LaneKernelVersion> LaneKernelVersions();

// The widest version this processor runs, chosen once.
const LaneKernelVersion& FastestLaneKernel();

// AnalyzeRawBlocks on the given version (AnalyzeRawBlocks takes FastestLaneKernel()),
// so that the versions can be compared on the same blocks.
void AnalyzeRawBlocksWith(const LaneKernelVersion& kernel, std::span<int16_t> block,
                          BlockLayout layout, std::span<const int> channels,
                          const DetectionParams& params, std::span<DetectionResult> results,
                          DetectionTraces& traces, std::span<DetectionTraces> each = {});

}  // namespace detection::internal
