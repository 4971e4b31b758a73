#include "detection/lane_kernel.h"

#include <iterator>

namespace detection::internal {

void AnalyzeLanesBaseline(LaneBlock&, double, int, int, LaneResults&);
#if QUENLAR_KERNEL_AVX2
void AnalyzeLanesAvx2(LaneBlock&, double, int, int, LaneResults&);
#endif

namespace {

bool Everywhere() { return true; }
#if QUENLAR_KERNEL_AVX2
// Also asks whether the operating system saves the wide registers.
bool HasAvx2() { return __builtin_cpu_supports("avx2"); }
#endif

#if defined(__SSE2__)
constexpr const char* kBaselineName = "sse2";
#else
constexpr const char* kBaselineName = "128-bit";
#endif

constexpr LaneKernelVersion kVersions[] = {
#if QUENLAR_KERNEL_AVX2
    {"avx2", AnalyzeLanesAvx2, HasAvx2},
#endif
    {kBaselineName, AnalyzeLanesBaseline, Everywhere},
};

}  // namespace

std::span<const LaneKernelVersion> LaneKernelVersions() { return kVersions; }

const LaneKernelVersion& FastestLaneKernel() {
  static const LaneKernelVersion& chosen = [] () -> const LaneKernelVersion& {
    for (const LaneKernelVersion& v : kVersions)
      if (v.runs_here()) return v;
    return kVersions[std::size(kVersions) - 1];
  }();
  return chosen;
}

}  // namespace detection::internal
