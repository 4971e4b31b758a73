// The lane kernel on 256-bit AVX2 vectors. Built with -mavx2 and run only where the
// processor has it.
#if QUENLAR_KERNEL_AVX2
#include <immintrin.h>

namespace detection::internal {
namespace {

using V = __m256d;
using M = __m256d;
constexpr int kW = 4;
constexpr int kNarrow = 2;
constexpr int kWide = 4;
constexpr int kMotility = 2;

inline M Lt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline M Gt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
inline M Eq(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
inline M And(M a, M b) { return _mm256_and_pd(a, b); }
inline M Or(M a, M b) { return _mm256_or_pd(a, b); }
inline M Xor(M a, M b) { return _mm256_xor_pd(a, b); }
inline M AndNot(M a, M b) { return _mm256_andnot_pd(b, a); }
inline M NoneSet() { return _mm256_setzero_pd(); }
inline V Select(M m, V a, V b) { return _mm256_blendv_pd(b, a, m); }
inline V Min(V a, V b) { return _mm256_min_pd(a, b); }
inline V Abs(V a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
inline V Round(V a) { return _mm256_round_pd(a, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC); }
inline V Ones(M m) { return _mm256_and_pd(m, _mm256_set1_pd(1.0)); }
inline int Bits(M m) { return _mm256_movemask_pd(m); }

}  // namespace
}  // namespace detection::internal

#include "detection/lane_kernel_body.h"

namespace detection::internal {

void AnalyzeLanesAvx2(LaneBlock& block, double threshold, int method, int trace_lane,
                      LaneResults& out) {
  AnalyzeLanesBody(block, threshold, method, trace_lane, out);
}

}  // namespace detection::internal
#endif
