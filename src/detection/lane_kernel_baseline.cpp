// The lane kernel on 128-bit vectors, which every processor of the target has (SSE2 on
// x86-64): the version that runs where no wider one does.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace detection::internal {
namespace {

constexpr int kW = 2;
constexpr int kNarrow = 2;
constexpr int kWide = 8;
constexpr int kMotility = 4;
constexpr double kTwo52 = 4503599627370496.0;

#if defined(__SSE2__)
// SSE2 has no 64-bit integer comparison, so masks stay in double registers and are
// only ever combined bit by bit.
using V = __m128d;
using M = __m128d;

inline M Lt(V a, V b) { return _mm_cmplt_pd(a, b); }
inline M Gt(V a, V b) { return _mm_cmpgt_pd(a, b); }
inline M Eq(V a, V b) { return _mm_cmpeq_pd(a, b); }
inline M And(M a, M b) { return _mm_and_pd(a, b); }
inline M Or(M a, M b) { return _mm_or_pd(a, b); }
inline M Xor(M a, M b) { return _mm_xor_pd(a, b); }
inline M AndNot(M a, M b) { return _mm_andnot_pd(b, a); }
inline M NoneSet() { return _mm_setzero_pd(); }
inline V Select(M m, V a, V b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }
inline V Min(V a, V b) { return _mm_min_pd(a, b); }
inline V Abs(V a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
inline V Ones(M m) { return _mm_and_pd(m, _mm_set1_pd(1.0)); }
inline int Bits(M m) { return _mm_movemask_pd(m); }
// Adding and taking away 2^52 with the value's sign leaves a sum whose unit in the last
// place is 1, so the addition rounds, halves to even; from 2^52 on every value is whole.
inline V Round(V a) {
  const V sign = _mm_and_pd(a, _mm_set1_pd(-0.0));
  const V magic = _mm_or_pd(sign, _mm_set1_pd(kTwo52));
  const V rounded = (a + magic) - magic;
  return Select(Lt(Abs(a), _mm_set1_pd(kTwo52)), rounded, a);
}
#else
// Other processors: the same on GCC's generic 128-bit vectors.
typedef double V __attribute__((vector_size(16), may_alias));
typedef long long I __attribute__((vector_size(16)));
typedef V M;

inline M Bitwise(I i) { return reinterpret_cast<M>(i); }
inline I Int(M m) { return reinterpret_cast<I>(m); }
inline M Lt(V a, V b) { return Bitwise(a < b); }
inline M Gt(V a, V b) { return Bitwise(a > b); }
inline M Eq(V a, V b) { return Bitwise(a == b); }
inline M And(M a, M b) { return Bitwise(Int(a) & Int(b)); }
inline M Or(M a, M b) { return Bitwise(Int(a) | Int(b)); }
inline M Xor(M a, M b) { return Bitwise(Int(a) ^ Int(b)); }
inline M AndNot(M a, M b) { return Bitwise(Int(a) & ~Int(b)); }
inline M NoneSet() { return V{}; }
inline V Select(M m, V a, V b) { return Bitwise((Int(a) & Int(m)) | (Int(b) & ~Int(m))); }
inline V Min(V a, V b) { return a < b ? a : b; }
inline V Abs(V a) { return Bitwise(Int(a) & (I{} + 0x7fffffffffffffffLL)); }
inline V Ones(M m) { return Bitwise(Int(m) & Int(V{} + 1.0)); }
inline int Bits(M m) { return static_cast<int>((Int(m)[0] & 1) | (Int(m)[1] & 2)); }
inline V Round(V a) {
  const V sign = Bitwise(Int(a) & ~Int(Abs(a)));
  const V magic = Bitwise(Int(sign) | Int(V{} + kTwo52));
  const V rounded = (a + magic) - magic;
  return Select(Lt(Abs(a), V{} + kTwo52), rounded, a);
}
#endif

}  // namespace
}  // namespace detection::internal

#include "detection/lane_kernel_body.h"

namespace detection::internal {

void AnalyzeLanesBaseline(LaneBlock& block, double threshold, int method, int trace_lane,
                          LaneResults& out) {
  AnalyzeLanesBody(block, threshold, method, trace_lane, out);
}

}  // namespace detection::internal
