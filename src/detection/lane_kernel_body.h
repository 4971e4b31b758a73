#pragma once
// The lane kernel's body, compiled once per instruction set. The file that includes it
// first declares, in detection::internal's anonymous namespace:
//   V            a vector of kW doubles (a GCC vector type: + - * / work element-wise)
//   M            the mask a comparison gives, all bits of an element set or clear
//   kW           doubles per vector
//   Lt Gt Eq     comparisons of two V
//   And Or Xor AndNot (a and not b)  on masks; NoneSet() the empty mask
//   Select(m, a, b)  a where m is set, else b
//   Min(a, b)    a < b ? a : b
//   Abs(a)       a without its sign
//   Round(a)     nearest whole number, halves to even, for any value
//   Ones(m)      1.0 where m is set, else 0.0
//   Bits(m)      the mask as bits, element k giving bit k
//   kNarrow      vectors per pass of the stages that keep many rows live
//   kWide        vectors per pass of the serial recurrences (latency wants many lanes)
//   kMotility    vectors per pass of method 2
// then defines its kernel as AnalyzeLanesBody. Everything here has internal linkage,
// so each instruction set keeps its own copy.
//
// Samples are held as doubles (whole numbers from 16-bit levels, so every sum of them
// is exact). Element-wise IEEE operations, nothing reassociated or contracted (the file
// is built with -ffp-contract=off).
#include <cstring>
#include <memory>

#include "detection/fast_round.h"
#include "detection/lane_kernel.h"

namespace detection::internal {
namespace {

constexpr int kN = kBlockSamples;
constexpr int kStatFirst = 2;
constexpr int kStatLast = kN - 2;
constexpr double kStatCount = kStatLast - kStatFirst + 1;  // 497
constexpr int kFloor = 50;
constexpr int kFloorForward = kN - kFloor - 1;  // 449: windows before it look forward
constexpr int kSmooth = 10;
constexpr int kSmoothForward = kN - kSmooth - 1;  // 489
static_assert(kLanes % (kWide * kW) == 0 && kLanes % (kNarrow * kW) == 0 &&
              kLanes % (kMotility * kW) == 0);

#define QL_INLINE inline __attribute__((always_inline))
// Every operation on a row is unrolled into its vector operations, so rows live in
// registers rather than in memory.
#define QL_EACH(k) _Pragma("GCC unroll 8") for (int k = 0; k < NV; ++k)

// One value for each of NV x kW lanes, and a mask over them.
template <int NV>
struct Row {
  V v[NV];
};
template <int NV>
struct Mask {
  M m[NV];
};
using Rows = double[kN][kLanes];
struct alignas(64) LaneValues {
  double v[kLanes];
};

template <int NV>
QL_INLINE Row<NV> Load(const double* p) {
  Row<NV> r;
  QL_EACH(k) r.v[k] = *reinterpret_cast<const V*>(p + k * kW);
  return r;
}
template <int NV>
QL_INLINE void Store(double* p, const Row<NV>& r) {
  QL_EACH(k) * reinterpret_cast<V*>(p + k * kW) = r.v[k];
}
template <int NV>
QL_INLINE Row<NV> Splat(double d) {
  Row<NV> r;
  QL_EACH(k) r.v[k] = V{} + d;
  return r;
}

#define QL_BINARY(op)                                          \
  template <int NV>                                            \
  QL_INLINE Row<NV> operator op(Row<NV> a, const Row<NV>& b) { \
    QL_EACH(k) a.v[k] op## = b.v[k];                           \
    return a;                                                  \
  }
QL_BINARY(+)
QL_BINARY(-)
QL_BINARY(*)
QL_BINARY(/)
#undef QL_BINARY

#define QL_ELEMENTS(Result, rf, name, Arg, af)                     \
  template <int NV>                                                \
  QL_INLINE Result<NV> name(const Arg<NV>& a, const Arg<NV>& b) { \
    Result<NV> r;                                                  \
    QL_EACH(k) r.rf[k] = name(a.af[k], b.af[k]);                   \
    return r;                                                      \
  }
QL_ELEMENTS(Mask, m, Lt, Row, v)
QL_ELEMENTS(Mask, m, Gt, Row, v)
QL_ELEMENTS(Mask, m, Eq, Row, v)
QL_ELEMENTS(Mask, m, And, Mask, m)
QL_ELEMENTS(Mask, m, Or, Mask, m)
QL_ELEMENTS(Mask, m, Xor, Mask, m)
QL_ELEMENTS(Mask, m, AndNot, Mask, m)
QL_ELEMENTS(Row, v, Min, Row, v)
#undef QL_ELEMENTS

#define QL_OPERATOR(Result, op, Arg, name)                                   \
  template <int NV>                                                          \
  QL_INLINE Result<NV> operator op(const Arg<NV>& a, const Arg<NV>& b) { \
    return name(a, b);                                                       \
  }
QL_OPERATOR(Mask, <, Row, Lt)
QL_OPERATOR(Mask, >, Row, Gt)
QL_OPERATOR(Mask, &, Mask, And)
QL_OPERATOR(Mask, |, Mask, Or)
QL_OPERATOR(Mask, ^, Mask, Xor)
#undef QL_OPERATOR

template <int NV>
QL_INLINE Mask<NV> NoLanes() {
  Mask<NV> m;
  QL_EACH(k) m.m[k] = NoneSet();
  return m;
}
template <int NV>
QL_INLINE Row<NV> Select(const Mask<NV>& m, const Row<NV>& a, const Row<NV>& b) {
  Row<NV> r;
  QL_EACH(k) r.v[k] = Select(m.m[k], a.v[k], b.v[k]);
  return r;
}
template <int NV>
QL_INLINE Row<NV> Abs(Row<NV> a) {
  QL_EACH(k) a.v[k] = Abs(a.v[k]);
  return a;
}
template <int NV>
QL_INLINE Row<NV> RoundAny(Row<NV> a) {
  QL_EACH(k) a.v[k] = Round(a.v[k]);
  return a;
}
// Round for values known to lie within +-2^51: the sum's unit in the last place is 1,
// so the addition rounds, halves to even.
template <int NV>
QL_INLINE Row<NV> RoundSmall(Row<NV> a) {
  constexpr double kMagic = 6755399441055744.0;  // 1.5 x 2^52
  QL_EACH(k) a.v[k] = (a.v[k] + kMagic) - kMagic;
  return a;
}
// The lanes of a mask as bits at their place in the block.
template <int NV>
QL_INLINE unsigned LaneBitsOf(const Mask<NV>& m, int l0) {
  unsigned bits = 0;
  QL_EACH(k) bits |= static_cast<unsigned>(Bits(m.m[k])) << (l0 + k * kW);
  return bits;
}
// 1.0 where the mask is set, else 0.0.
template <int NV>
QL_INLINE Row<NV> Ones(const Mask<NV>& m) {
  Row<NV> r;
  QL_EACH(k) r.v[k] = Ones(m.m[k]);
  return r;
}
// 0.0 where the mask is set, else the value.
template <int NV>
QL_INLINE Row<NV> ZeroWhere(const Mask<NV>& m, Row<NV> a) {
  QL_EACH(k) a.v[k] = AndNot(a.v[k], m.m[k]);
  return a;
}
// Events counted per lane.
template <int NV>
QL_INLINE void CountEvents(Row<NV>& counter, const Mask<NV>& event) {
  QL_EACH(k) counter.v[k] += Ones(event.m[k]);
}
template <int NV>
QL_INLINE void StoreCounts(const Row<NV>& counter, int l0, LaneResults& out) {
  QL_EACH(k) for (int e = 0; e < kW; ++e) out.count[l0 + k * kW + e] =
      static_cast<int32_t>(counter.v[k][e]);
}

// The statistics pass: peak and trough tracks seeded with x(seed), their distance and
// the level summed over samples 2..498; A and B their rounded means.
template <int NV>
QL_INLINE void StatisticsPass(const Rows& x, int seed, Rows& peaks, int l0, LaneValues& a,
                              LaneValues& b) {
  Row<NV> peak = Load<NV>(x[seed] + l0);
  Row<NV> trough = peak;
  Store(peaks[0] + l0, peak);
  Store(peaks[1] + l0, peak);
  Row<NV> ripple = Splat<NV>(0.0), level = Splat<NV>(0.0);
  Row<NV> cur = Load<NV>(x[kStatFirst] + l0);
  const Row<NV> first = Load<NV>(x[kStatFirst - 1] + l0);
  Mask<NV> above_prev = cur > first, below_prev = cur < first;
  for (int s = kStatFirst; s <= kStatLast; ++s) {
    const Row<NV> next = Load<NV>(x[s + 1] + l0);
    const Mask<NV> above_next = cur > next, below_next = cur < next;
    trough = Select(below_prev & below_next, cur, trough);
    peak = Select(above_prev & above_next, cur, peak);
    Store(peaks[s] + l0, peak);
    ripple = ripple + (peak - trough);
    level = level + cur;
    // The next sample's comparisons with this one are these, turned round.
    above_prev = below_next;
    below_prev = above_next;
    cur = next;
  }
  Store(a.v + l0, RoundSmall(ripple / Splat<NV>(kStatCount)));
  Store(b.v + l0, RoundSmall(level / Splat<NV>(kStatCount)));
}

// K: L + 1, at least 1, with L = (1 - (B - A) / B) x 100 x threshold, or the threshold
// itself where B <= 0 (and, in the clipped pass, where B <= A).
QL_INLINE void Margins(const LaneValues& a, const LaneValues& b, double threshold,
                       bool clipped_pass, LaneValues& k) {
  for (int l = 0; l < kLanes; ++l) {
    const bool fallback = b.v[l] <= 0.0 || (clipped_pass && b.v[l] <= a.v[l]);
    const double kl =
        (fallback ? threshold : (1.0 - (b.v[l] - a.v[l]) / b.v[l]) * 100.0 * threshold) + 1.0;
    k.v[l] = kl < 1.0 ? 1.0 : kl;
  }
}

// R(i): the rounded mean of P(i+1)..P(i+30) for i < 30, of P(i-30)..P(i-1) after. The
// window of 30 slides along once; each of its sums serves both a forward and a
// backward mean. Sums of whole numbers this small are exact in any order, and their
// product with kInverseMeanWindow rounds as their quotient by 30 does.
template <int NV>
QL_INLINE void PeakMeans(const Rows& peaks, Rows& means, int l0) {
  const Row<NV> inverse = Splat<NV>(kInverseMeanWindow);
  Row<NV> sum = Load<NV>(peaks[0] + l0);  // P(j) + ... + P(j + 29), here j = 0
  for (int j = 1; j < kMeanWindow; ++j) sum = sum + Load<NV>(peaks[j] + l0);
  Store(means[kMeanWindow] + l0, RoundSmall(sum * inverse));
  for (int j = 1; j < kN - kMeanWindow; ++j) {
    sum = sum + Load<NV>(peaks[j + kMeanWindow - 1] + l0) - Load<NV>(peaks[j - 1] + l0);
    const Row<NV> mean = RoundSmall(sum * inverse);
    Store(means[j + kMeanWindow] + l0, mean);
    if (j <= kMeanWindow) Store(means[j - 1] + l0, mean);
  }
}

// trace(i) = round(first x R(i)) for i < 4, then
// round((trace(i-1) + trace(i-2) + trace(i-3) + factor x R(i) / divisor) / 4); without a
// divisor the term is factor x R(i).
template <int NV>
QL_INLINE void SmoothedTrace(const Rows& means, const LaneValues& first,
                             const LaneValues& factor, const double* divisor, Rows& trace,
                             int l0) {
  const Row<NV> f = Load<NV>(first.v + l0), m = Load<NV>(factor.v + l0);
  for (int i = 0; i < 4; ++i) Store(trace[i] + l0, RoundAny(f * Load<NV>(means[i] + l0)));
  Row<NV> t3 = Load<NV>(trace[1] + l0), t2 = Load<NV>(trace[2] + l0), t1 = Load<NV>(trace[3] + l0);
  const Row<NV> quarter = Splat<NV>(0.25);  // x / 4 and x x 0.25 round alike
  for (int i = 4; i < kN; ++i) {
    Row<NV> term = m * Load<NV>(means[i] + l0);
    if (divisor) term = term / Splat<NV>(*divisor);
    const Row<NV> t = RoundAny((t1 + t2 + t3 + term) * quarter);
    Store(trace[i] + l0, t);
    t3 = t2;
    t2 = t1;
    t1 = t;
  }
}

// Samples above the clipping trace U are lowered to it, in the doubles and in the
// levels handed back; the lanes lowered at each sample are noted.
template <int NV>
QL_INLINE void ClipUnder(Rows& x, const Rows& upper, int l0, LaneBlock& block,
                         LaneResults& out) {
  const Row<NV> lowest = Splat<NV>(-32768.0);
  for (int i = 0; i < kN; ++i) {
    const Row<NV> xi = Load<NV>(x[i] + l0), u = Load<NV>(upper[i] + l0);
    const Mask<NV> lower = xi > u;
    const unsigned bits = LaneBitsOf(lower, l0);
    if (bits == 0) continue;
    Store(x[i] + l0, Select(lower, Select(u < lowest, lowest, u), xi));
    out.lowered[i] |= static_cast<LaneBits>(bits);
    for (int l = l0; l < l0 + NV * kW; ++l)
      if (bits >> l & 1) block.level[i][l] = static_cast<int16_t>(x[i][l]);
  }
}

// Methods 0, 1 and 3 below the trace: windows of 30 with a dip, downward crossings of
// the sample, downward crossings of the two-sample mean.
template <int NV>
QL_INLINE void CountDips(const Rows& x, const Rows& trace, int method, int l0,
                         LaneResults& out) {
  Row<NV> counter = Splat<NV>(0.0);
  Mask<NV> flag = NoLanes<NV>();  // the dip flag of method 0, the below flag of 1 and 3
  if (method == 0) {
    // Windows end at 30, 60, ..., 480; samples after 480 are never evaluated.
    for (int i = 0; i <= 480; ++i) {
      flag = flag | (Load<NV>(x[i] + l0) < Load<NV>(trace[i] + l0));
      if (i == 0 || i % 30 != 0) continue;
      CountEvents(counter, flag);
      out.marks[i] |= static_cast<LaneBits>(LaneBitsOf(flag, l0));
      flag = NoLanes<NV>();
    }
  } else {
    const Row<NV> two = Splat<NV>(2.0);
    for (int i = method == 3 ? 1 : 0; i < kN; ++i) {
      const Row<NV> t = Load<NV>(trace[i] + l0);
      Row<NV> v = Load<NV>(x[i] + l0);
      if (method == 3) v = (v + Load<NV>(x[i - 1] + l0)) / two;
      // A value equal to the trace neither counts nor re-arms.
      const Mask<NV> event = AndNot(v < t, flag);
      flag = AndNot(flag | event, t < v);
      CountEvents(counter, event);
      out.marks[i] |= static_cast<LaneBits>(LaneBitsOf(event, l0));
    }
  }
  StoreCounts(counter, l0, out);
}

// Method 2, step 1: F(i), the lowest sample of x(i)..x(i+49) (i < 449) or x(i-49)..x(i),
// the search starting from 10000. The lowest values from each 50-block's start and to
// its end meet in every window.
template <int NV>
QL_INLINE void LowestFloor(const Rows& x, Rows& from_start, Rows& to_end, Rows& floor, int l0) {
  for (int b = 0; b < kN; b += kFloor) {
    Row<NV> low = Load<NV>(x[b] + l0);
    for (int j = b; j < b + kFloor; ++j) {
      low = Min(Load<NV>(x[j] + l0), low);
      Store(from_start[j] + l0, low);
    }
    low = Load<NV>(x[b + kFloor - 1] + l0);
    for (int j = b + kFloor - 1; j >= b; --j) {
      low = Min(Load<NV>(x[j] + l0), low);
      Store(to_end[j] + l0, low);
    }
  }
  const Row<NV> start = Splat<NV>(10000.0);
  for (int i = 0; i < kN; ++i) {
    const int j = i < kFloorForward ? i : i - (kFloor - 1);  // the window's first sample
    const Row<NV> low = Min(Load<NV>(to_end[j] + l0), start);
    Store(floor[i] + l0, Min(Load<NV>(from_start[j + kFloor - 1] + l0), low));
  }
}

// Sums of `Len` consecutive rows of `in` from each of the NW starts i..i+NW-1, each in
// sample order, into out[i + w] (divided by `divisor` when given). Every row is read
// once for all NW sums.
template <int NV, int NW, int Len>
QL_INLINE void WindowSums(const Rows& in, int i, int l0, const Row<NV>* divisor, Rows& out) {
  Row<NV> s[NW];
  _Pragma("GCC unroll 16") for (int t = 0; t < NW; ++t) {
    const Row<NV> v = Load<NV>(in[i + t] + l0);
    _Pragma("GCC unroll 16") for (int w = 0; w < t; ++w) s[w] = s[w] + v;
    s[t] = v;
  }
  for (int t = NW; t < Len; ++t) {
    const Row<NV> v = Load<NV>(in[i + t] + l0);
    _Pragma("GCC unroll 16") for (int w = 0; w < NW; ++w) s[w] = s[w] + v;
  }
  _Pragma("GCC unroll 16") for (int t = Len; t < Len + NW - 1; ++t) {
    const Row<NV> v = Load<NV>(in[i + t] + l0);
    _Pragma("GCC unroll 16") for (int w = t - Len + 1; w < NW; ++w) s[w] = s[w] + v;
  }
  _Pragma("GCC unroll 16") for (int w = 0; w < NW; ++w)
      Store(out[i + w] + l0, divisor ? s[w] / *divisor : s[w]);
}

// One sum of `len` rows from `from`, in sample order.
template <int NV>
QL_INLINE Row<NV> WindowSum(const Rows& in, int from, int len, int l0) {
  Row<NV> sum = Load<NV>(in[from] + l0);
  for (int j = from + 1; j < from + len; ++j) sum = sum + Load<NV>(in[j] + l0);
  return sum;
}

// Method 2, step 2: the floor smoothed in place, in increasing i: the sum of F(j) / 50
// over the window, in sample order, entries already replaced used as they stand. The
// forward windows see only untouched entries, whose quotients they share; each block
// of windows forms the quotients it is the first to need, so the divisions run beside
// the additions.
template <int NV, int NW>
QL_INLINE void SmoothFloor(Rows& floor, Rows& part, int l0) {
  const Row<NV> fifty = Splat<NV>(50.0);
  auto quotient = [&](int j) { Store(part[j] + l0, Load<NV>(floor[j] + l0) / fifty); };
  for (int j = 0; j < kFloor - 1; ++j) quotient(j);
  static_assert((kFloorForward - 1) % NW == 0);
  int formed = kFloor - 1;  // quotients 0..formed-1 are there
  for (int i = 0; i + NW < kFloorForward; i += NW) {
    for (; formed < i + kFloor + NW - 1; ++formed) quotient(formed);
    WindowSums<NV, NW, kFloor>(part, i, l0, nullptr, floor);
  }
  for (; formed < kN; ++formed) quotient(formed);
  Store(floor[kFloorForward - 1] + l0, WindowSum<NV>(part, kFloorForward - 1, kFloor, l0));
  // The replaced entries' quotients are formed once each, as they become known.
  for (int j = kFloorForward - (kFloor - 1); j < kFloorForward; ++j) quotient(j);
  for (int i = kFloorForward; i < kN; ++i) {
    const Row<NV> sum = WindowSum<NV>(part, i - (kFloor - 1), kFloor, l0);
    Store(floor[i] + l0, sum);
    Store(part[i] + l0, sum / fifty);
  }
}

// Method 2, steps 3 and 4: E(i) = x(i) - F(i) (in place of F), then D(i), the mean of
// E(i)..E(i+9) (i < 489) or of E(i-9)..E(i), summed in sample order.
template <int NV, int NW>
QL_INLINE void SmoothExcursion(const Rows& x, Rows& floor, Rows& smooth, int l0) {
  Rows& excursion = floor;
  for (int i = 0; i < kN; ++i)
    Store(excursion[i] + l0, Load<NV>(x[i] + l0) - Load<NV>(floor[i] + l0));
  const Row<NV> ten = Splat<NV>(10.0);
  static_assert((kSmoothForward - 1) % NW == 0);
  for (int i = 0; i + NW < kSmoothForward; i += NW)
    WindowSums<NV, NW, kSmooth>(excursion, i, l0, &ten, smooth);
  for (int i = kSmoothForward - 1; i < kN; ++i) {
    const int from = i < kSmoothForward ? i : i - (kSmooth - 1);
    Store(smooth[i] + l0, WindowSum<NV>(excursion, from, kSmooth, l0) / ten);
  }
}

// Method 2, step 5: a movement is a run of ten steps the same way since the last turn
// that has travelled more than the amplitude threshold G. The test is repeated on flat
// steps: a flat stretch right after the tenth step counts again.
template <int NV>
QL_INLINE void TurningPoints(const Rows& smooth, const LaneValues& amplitude, int l0,
                             LaneResults& out) {
  const Row<NV> g = Load<NV>(amplitude.v + l0);
  Mask<NV> rising = NoLanes<NV>();  // the direction starts as falling
  Row<NV> counter = Splat<NV>(0.0);
  Row<NV> run = Splat<NV>(0.0), turn = Splat<NV>(0.0);
  const Row<NV> tenth = Splat<NV>(10.0);
  Row<NV> before = Load<NV>(smooth[0] + l0);
  for (int i = 1; i < kN; ++i) {
    const Row<NV> d = Load<NV>(smooth[i] + l0);
    const Mask<NV> up = d > before, down = d < before;
    const Mask<NV> now_rising = up | AndNot(rising, down);
    // A step against the direction turns it; a step along it lengthens the run.
    const Mask<NV> turned = (up | down) & (now_rising ^ rising);
    const Mask<NV> along = AndNot(up | down, turned);
    run = ZeroWhere(turned, run + Ones(along));
    turn = Select(turned, RoundSmall(d), turn);
    rising = now_rising;
    const Mask<NV> event = Eq(run, tenth) & (g < Abs(turn - d));
    CountEvents(counter, event);
    out.marks[i] |= static_cast<LaneBits>(LaneBitsOf(event, l0));
    before = d;
  }
  StoreCounts(counter, l0, out);
}

// Thread-own working rows, made on first use.
struct Scratch {
  Rows x, peaks, means, trace;
  LaneValues a, b, k, first, factor;
};

Scratch& ScratchOfThisThread() {
  static thread_local std::unique_ptr<Scratch> scratch(new Scratch);
  return *scratch;
}

void AnalyzeLanesBody(LaneBlock& block, double threshold, int method, int trace_lane,
                      LaneResults& out) {
  Scratch& s = ScratchOfThisThread();
  Rows& x = s.x;
  for (int i = 0; i < kN; ++i)
    for (int l = 0; l < kLanes; ++l) x[i][l] = block.level[i][l];
  std::memset(out.lowered, 0, sizeof out.lowered);
  std::memset(out.marks, 0, sizeof out.marks);
  std::memset(out.count, 0, sizeof out.count);
  // Only the lanes the caller shows have their traces kept.
  const bool keep_trace = trace_lane >= 0 && trace_lane <= kEveryLane;
  const int first_kept = trace_lane == kEveryLane ? 0 : trace_lane;
  const int last_kept = trace_lane == kEveryLane ? kLanes - 1 : trace_lane;
  constexpr int kNarrowLanes = kNarrow * kW, kWideLanes = kWide * kW;

  // Scale of the raw signal, then the upward clipping under U.
  for (int l0 = 0; l0 < kLanes; l0 += kNarrowLanes)
    StatisticsPass<kNarrow>(x, 1, s.peaks, l0, s.a, s.b);
  Margins(s.a, s.b, threshold, false, s.k);
  for (int l0 = 0; l0 < kLanes; l0 += kNarrowLanes) PeakMeans<kNarrow>(s.peaks, s.means, l0);
  for (int l = 0; l < kLanes; ++l) {
    s.first.v[l] = (s.k.v[l] + 100.0) / 100.0;
    s.factor.v[l] = s.k.v[l] + 100.0;
  }
  const double hundred = 100.0;
  for (int l0 = 0; l0 < kLanes; l0 += kWideLanes)
    SmoothedTrace<kWide>(s.means, s.first, s.factor, &hundred, s.trace, l0);
  for (int l0 = 0; l0 < kLanes; l0 += kNarrowLanes)
    ClipUnder<kNarrow>(x, s.trace, l0, block, out);

  // Scale of the clipped signal, which every method works on.
  for (int l0 = 0; l0 < kLanes; l0 += kNarrowLanes)
    StatisticsPass<kNarrow>(x, 2, s.peaks, l0, s.a, s.b);
  Margins(s.a, s.b, threshold, true, s.k);

  if (method == 0 || method == 1 || method == 3) {
    for (int l0 = 0; l0 < kLanes; l0 += kNarrowLanes) PeakMeans<kNarrow>(s.peaks, s.means, l0);
    for (int l = 0; l < kLanes; ++l) {
      s.first.v[l] = method == 3 ? threshold : (100.0 - 1.75 * s.k.v[l]) / 100.0;
      s.factor.v[l] = method == 3 ? threshold : 100.0 - s.k.v[l];
    }
    for (int l0 = 0; l0 < kLanes; l0 += kWideLanes)
      SmoothedTrace<kWide>(s.means, s.first, s.factor, method == 3 ? nullptr : &hundred,
                           s.trace, l0);
    if (keep_trace)
      for (int l = first_kept; l <= last_kept; ++l)
        for (int i = 0; i < kN; ++i) out.trace[l][i] = SaturateInt16(s.trace[i][l]);
    for (int l0 = 0; l0 < kLanes; l0 += kNarrowLanes)
      CountDips<kNarrow>(x, s.trace, method, l0, out);
  } else if (method == 2) {
    // G: A rounded (it is already whole), at least 5.
    LaneValues& g = s.first;
    for (int l = 0; l < kLanes; ++l) g.v[l] = s.a.v[l] < 5.0 ? 5.0 : s.a.v[l];
    // The rows the other methods use hold the floor and its smoothing here.
    Rows& floor = s.peaks;
    Rows& smooth = s.trace;
    for (int l0 = 0; l0 < kLanes; l0 += kMotility * kW) {
      LowestFloor<kMotility>(x, s.means, s.trace, floor, l0);
      SmoothFloor<kMotility, 4>(floor, s.means, l0);
      SmoothExcursion<kMotility, 4>(x, floor, smooth, l0);
      TurningPoints<kMotility>(smooth, g, l0, out);
    }
    if (keep_trace)
      for (int l = first_kept; l <= last_kept; ++l)
        for (int i = 1; i < kN; ++i)
          out.trace[l][i] = SaturateInt16(RoundEven(smooth[i][l] - g.v[l]));
  }
}

#undef QL_EACH
#undef QL_INLINE

}  // namespace
}  // namespace detection::internal
