#include "detection/lane_kernel.h"

#include <cstring>

#include "detection/fast_round.h"

namespace detection::internal {
namespace {

// Four lanes of doubles and their comparison masks (GCC vector extensions: element-wise
// IEEE operations, nothing reassociated or contracted).
typedef double V __attribute__((vector_size(32)));
typedef long long M __attribute__((vector_size(32)));
// The same four doubles read from or written to any double array.
typedef double VU __attribute__((vector_size(32), aligned(8), may_alias));

constexpr int kW = 4;
constexpr int kVec = kLanes / kW;
constexpr int kN = kBlockSamples;
constexpr int kStatFirst = 2;
constexpr int kStatLast = kN - 2;
constexpr double kStatCount = kStatLast - kStatFirst + 1;  // 497
constexpr int kMeanWindow = 30;

#define QL_INLINE inline __attribute__((always_inline))
// Every operation on a row is unrolled into its four vector operations, so rows live in
// registers rather than in memory.
#define QL_EACH(k) _Pragma("GCC unroll 4") for (int k = 0; k < kVec; ++k)

// One value per lane.
struct Row {
  V v[kVec];
};
struct Mask {
  M m[kVec];
};
using Rows = double[kN][kLanes];

QL_INLINE Row Load(const double* p) {
  Row r;
  QL_EACH(k) r.v[k] = *reinterpret_cast<const VU*>(p + k * kW);
  return r;
}
QL_INLINE void Store(double* p, const Row& r) {
  QL_EACH(k) * reinterpret_cast<VU*>(p + k * kW) = r.v[k];
}
QL_INLINE Row Splat(double d) {
  Row r;
  QL_EACH(k) r.v[k] = V{d, d, d, d};
  return r;
}

#define QL_BINARY(op)                              \
  QL_INLINE Row operator op(Row a, const Row& b) { \
    QL_EACH(k) a.v[k] op## = b.v[k];               \
    return a;                                      \
  }
QL_BINARY(+)
QL_BINARY(-)
QL_BINARY(*)
QL_BINARY(/)
#undef QL_BINARY

#define QL_COMPARE(op)                                     \
  QL_INLINE Mask operator op(const Row& a, const Row& b) { \
    Mask m;                                                \
    QL_EACH(k) m.m[k] = a.v[k] op b.v[k];                  \
    return m;                                              \
  }
QL_COMPARE(<)
QL_COMPARE(>)
QL_COMPARE(<=)
QL_COMPARE(==)
#undef QL_COMPARE

QL_INLINE Mask operator&(Mask a, const Mask& b) {
  QL_EACH(k) a.m[k] &= b.m[k];
  return a;
}
QL_INLINE Mask operator|(Mask a, const Mask& b) {
  QL_EACH(k) a.m[k] |= b.m[k];
  return a;
}
QL_INLINE Mask operator~(Mask a) {
  QL_EACH(k) a.m[k] = ~a.m[k];
  return a;
}
QL_INLINE Mask NoLanes() {
  Mask m;
  QL_EACH(k) m.m[k] = M{0, 0, 0, 0};
  return m;
}
QL_INLINE Row Select(const Mask& m, const Row& a, const Row& b) {
  Row r;
  QL_EACH(k) r.v[k] = m.m[k] ? a.v[k] : b.v[k];
  return r;
}
QL_INLINE Row Abs(const Row& a) { return Select(a < Splat(0.0), Splat(0.0) - a, a); }

// Round half to even, as RoundEven does for one value.
QL_INLINE Row Round(const Row& x) {
  const Row magic = Splat(6755399441055744.0);  // 1.5 x 2^52
  const Row rounded = (x + magic) - magic;
  return Select(Abs(x) < Splat(2251799813685248.0), rounded, x);
}

// A mask kept as 1.0 and 0.0: one vector store, where bytes would take a store each.
QL_INLINE void StoreMask(double* out, const Mask& m) {
  Store(out, Select(m, Splat(1.0), Splat(0.0)));
}

// The statistics pass: peak and trough tracks seeded with x(seed), their distance and
// the level summed over samples 2..498; A and B their rounded means.
QL_INLINE void StatisticsPass(const Rows& x, int seed, Rows& peaks, Row& a, Row& b) {
  Row peak = Load(x[seed]);
  Row trough = peak;
  Store(peaks[0], peak);
  Store(peaks[1], peak);
  Row ripple = Splat(0.0), level = Splat(0.0);
  Row prev = Load(x[kStatFirst - 1]), cur = Load(x[kStatFirst]);
  for (int s = kStatFirst; s <= kStatLast; ++s) {
    const Row next = Load(x[s + 1]);
    trough = Select((cur < prev) & (cur < next), cur, trough);
    peak = Select((cur > prev) & (cur > next), cur, peak);
    Store(peaks[s], peak);
    ripple = ripple + (peak - trough);
    level = level + cur;
    prev = cur;
    cur = next;
  }
  a = Round(ripple / Splat(kStatCount));
  b = Round(level / Splat(kStatCount));
}

// K: L + 1, at least 1, with L = (1 - (B - A) / B) x 100 x threshold, or the threshold
// itself where B <= 0 (and, in the clipped pass, where B <= A).
QL_INLINE Row Margin(const Row& a, const Row& b, double threshold, bool clipped_pass) {
  const Row t = Splat(threshold);
  Mask fallback = b <= Splat(0.0);
  if (clipped_pass) fallback = fallback | (b <= a);
  const Row scaled = (Splat(1.0) - (b - a) / b) * Splat(100.0) * t;
  const Row k = Select(fallback, t, scaled) + Splat(1.0);
  return Select(k < Splat(1.0), Splat(1.0), k);
}

// R(i): the rounded mean of P(i+1)..P(i+30) for i < 30, of P(i-30)..P(i-1) after.
// Sums of whole numbers this small are exact in any order.
QL_INLINE void PeakMeans(const Rows& peaks, Rows& means) {
  Row window[kN - kMeanWindow];  // window[j] = P(j) + ... + P(j + 29), j = 0..469
  Row sum = Splat(0.0);
  for (int j = 0; j < kMeanWindow; ++j) sum = sum + Load(peaks[j]);
  window[0] = sum;
  for (int j = 1; j < kN - kMeanWindow; ++j) {
    sum = sum + Load(peaks[j + kMeanWindow - 1]) - Load(peaks[j - 1]);
    window[j] = sum;
  }
  const Row n = Splat(kMeanWindow);
  for (int i = 0; i < kMeanWindow; ++i) Store(means[i], Round(window[i + 1] / n));
  for (int i = kMeanWindow; i < kN; ++i) Store(means[i], Round(window[i - kMeanWindow] / n));
}

// trace(i) = round(first x R(i)) for i < 4, then
// round((trace(i-1) + trace(i-2) + trace(i-3) + factor x R(i) / divisor) / 4); without a
// divisor the term is factor x R(i).
QL_INLINE void SmoothedTrace(const Rows& means, const Row& first, const Row& factor,
                             const double* divisor, Rows& trace) {
  for (int i = 0; i < 4; ++i) Store(trace[i], Round(first * Load(means[i])));
  Row t3 = Load(trace[1]), t2 = Load(trace[2]), t1 = Load(trace[3]);
  const Row quarter = Splat(0.25);  // x / 4 and x x 0.25 round alike
  for (int i = 4; i < kN; ++i) {
    Row term = factor * Load(means[i]);
    if (divisor) term = term / Splat(*divisor);
    const Row t = Round((t1 + t2 + t3 + term) * quarter);
    Store(trace[i], t);
    t3 = t2;
    t2 = t1;
    t1 = t;
  }
}

// Only the lanes the caller shows have their traces kept.
QL_INLINE void StoreTrace(const Rows& trace, int from, int lane, LaneResults& out) {
  if (lane < 0 || lane > kEveryLane) return;
  const int first = lane == kEveryLane ? 0 : lane;
  const int last = lane == kEveryLane ? kLanes - 1 : lane;
  for (int l = first; l <= last; ++l)
    for (int i = from; i < kN; ++i) out.trace[l][i] = SaturateInt16(trace[i][l]);
}

// Method 2: the excursion of the signal over its smoothed 50-sample floor, averaged
// over 10 samples; a movement is a run of ten steps the same way since the last turn
// that has travelled more than the amplitude threshold G.
QL_INLINE void Motility(const Rows& x, const Row& amplitude, Rows& work, Rows& smooth,
                        int trace_lane, Row& count, LaneResults& out) {
  constexpr int kFloor = 50;
  constexpr int kForward = kN - kFloor - 1;  // 449: i < 449 looks forward
  constexpr int kSmooth = 10;
  constexpr int kSmoothForward = kN - kSmooth - 1;  // 489

  // F(i): the lowest sample of x(i)..x(i+49) (i < 449) or x(i-49)..x(i), the search
  // starting from 10000. Minima from each 50-block's start and to its end meet in
  // every window.
  Rows& floor = work;
  {
    static thread_local Rows from_start, to_end;
    for (int b = 0; b < kN; b += kFloor) {
      Row low = Load(x[b]);
      for (int j = b; j < b + kFloor; ++j) {
        const Row v = Load(x[j]);
        low = Select(v < low, v, low);
        Store(from_start[j], low);
      }
      low = Load(x[b + kFloor - 1]);
      for (int j = b + kFloor - 1; j >= b; --j) {
        const Row v = Load(x[j]);
        low = Select(v < low, v, low);
        Store(to_end[j], low);
      }
    }
    const Row start = Splat(10000.0);
    for (int i = 0; i < kN; ++i) {
      const int j = i < kForward ? i : i - (kFloor - 1);  // the window's first sample
      const Row a = Load(to_end[j]), b = Load(from_start[j + kFloor - 1]);
      Row low = Select(a < start, a, start);
      low = Select(b < low, b, low);
      Store(floor[i], low);
    }
  }

  // Smoothed floor in place, in increasing i: the sum of F(j) / 50 over the window, in
  // sample order, entries already replaced used as they stand. The forward windows see
  // only untouched entries, whose quotients are shared.
  static thread_local Rows part;
  const Row fifty = Splat(50.0);
  for (int j = 0; j < kN; ++j) Store(part[j], Load(floor[j]) / fifty);
  // Four windows at a time: four chains of additions in flight, each in its own order.
  static_assert(kForward % 4 == 1);
  for (int i = 0; i + 4 <= kForward; i += 4) {
    Row s0 = Load(part[i]), s1 = Load(part[i + 1]), s2 = Load(part[i + 2]), s3 = Load(part[i + 3]);
    for (int j = i + 1; j < i + kFloor; ++j) {
      s0 = s0 + Load(part[j]);
      s1 = s1 + Load(part[j + 1]);
      s2 = s2 + Load(part[j + 2]);
      s3 = s3 + Load(part[j + 3]);
    }
    Store(floor[i], s0);
    Store(floor[i + 1], s1);
    Store(floor[i + 2], s2);
    Store(floor[i + 3], s3);
  }
  {
    const int i = kForward - 1;
    Row sum = Load(part[i]);
    for (int j = i + 1; j < i + kFloor; ++j) sum = sum + Load(part[j]);
    Store(floor[i], sum);
  }
  // The replaced entries' quotients are formed once each, as they become known.
  for (int j = kForward - (kFloor - 1); j < kForward; ++j) Store(part[j], Load(floor[j]) / fifty);
  for (int i = kForward; i < kN; ++i) {
    Row sum = Load(part[i - (kFloor - 1)]);
    for (int j = i - (kFloor - 2); j <= i; ++j) sum = sum + Load(part[j]);
    Store(floor[i], sum);
    Store(part[i], sum / fifty);
  }

  // Excursion E(i) = x(i) - F(i), then D(i): the mean of E(i)..E(i+9) (i < 489) or of
  // E(i-9)..E(i), summed in sample order.
  Rows& excursion = floor;
  for (int i = 0; i < kN; ++i) Store(excursion[i], Load(x[i]) - Load(floor[i]));
  const Row ten = Splat(10.0);
  for (int i = 0; i < kN; ++i) {
    const int from = i < kSmoothForward ? i : i - (kSmooth - 1);
    Row sum = Load(excursion[from]);
    for (int j = from + 1; j < from + kSmooth; ++j) sum = sum + Load(excursion[j]);
    Store(smooth[i], sum / ten);
  }

  // Turning points. The test is repeated on flat steps: a flat stretch right after the
  // tenth step counts again.
  Mask rising = NoLanes();  // the direction starts as falling
  Row run = Splat(0.0), turn = Splat(0.0);
  const Row one = Splat(1.0), zero = Splat(0.0), tenth = Splat(10.0);
  Row before = Load(smooth[0]);
  for (int i = 1; i < kN; ++i) {
    const Row d = Load(smooth[i]);
    const Mask up = d > before, down = d < before;
    const Mask turned = (up & ~rising) | (down & rising);
    const Mask going_on = (up & rising) | (down & ~rising);
    run = Select(turned, zero, Select(going_on, run + one, run));
    turn = Select(turned, Round(d), turn);
    rising = (up | rising) & ~down;
    const Mask event = (run == tenth) & (amplitude < Abs(turn - d));
    count = count + Select(event, one, zero);
    StoreMask(out.marks[i], event);
    Store(work[i], Round(d - amplitude));  // the floor is no longer needed
    before = d;
  }
  StoreTrace(work, 1, trace_lane, out);
}

}  // namespace

__attribute__((target_clones("avx2", "default"))) void AnalyzeLanes(LaneBlock& block,
                                                                    double threshold, int method,
                                                                    int trace_lane,
                                                                    LaneResults& out) {
  static thread_local Rows peaks, means, trace, smooth;
  Rows& x = block.x;
  std::memset(out.marks, 0, sizeof out.marks);

  // Scale of the raw signal, then the upward clipping under U. A lowered sample takes
  // the 16-bit value the caller's block receives.
  Row a, b;
  StatisticsPass(x, 1, peaks, a, b);
  const Row k_raw = Margin(a, b, threshold, false);
  PeakMeans(peaks, means);
  const Row hundred = Splat(100.0);
  const double divisor = 100.0;
  SmoothedTrace(means, (k_raw + hundred) / hundred, k_raw + hundred, &divisor, trace);
  const Row lowest = Splat(-32768.0);
  for (int i = 0; i < kN; ++i) {
    const Row xi = Load(x[i]), u = Load(trace[i]);
    const Mask lower = xi > u;
    Store(x[i], Select(lower, Select(u < lowest, lowest, u), xi));
  }

  // Scale of the clipped signal, which every method works on.
  StatisticsPass(x, 2, peaks, a, b);
  const Row k = Margin(a, b, threshold, true);
  Row count = Splat(0.0);
  const Row one = Splat(1.0), zero = Splat(0.0);

  if (method == 0 || method == 1 || method == 3) {
    PeakMeans(peaks, means);
    if (method == 3) {
      SmoothedTrace(means, Splat(threshold), Splat(threshold), nullptr, trace);
    } else {
      SmoothedTrace(means, (hundred - Splat(1.75) * k) / hundred, hundred - k, &divisor, trace);
    }
    StoreTrace(trace, 0, trace_lane, out);
    Mask flag = NoLanes();  // the dip flag of method 0, the below flag of 1 and 3
    int window = 0;
    for (int i = method == 3 ? 1 : 0; i < kN; ++i) {
      const Row t = Load(trace[i]);
      Row v = Load(x[i]);
      if (method == 3) v = (v + Load(x[i - 1])) / Splat(2.0);
      Mask event;
      if (method == 0) {
        // Windows end at 30, 60, ..., 480; samples after 480 are never evaluated.
        flag = flag | (v < t);
        if (window == 30) {
          event = flag;
          flag = NoLanes();
          window = 0;
        } else {
          event = NoLanes();
        }
        ++window;
      } else {
        // A value equal to the trace neither counts nor re-arms.
        event = (v < t) & ~flag;
        flag = (flag | event) & ~(t < v);
      }
      count = count + Select(event, one, zero);
      StoreMask(out.marks[i], event);
    }
  } else if (method == 2) {
    const Row five = Splat(5.0);
    Motility(x, Select(a < five, five, a), trace, smooth, trace_lane, count, out);
  }
  Store(out.count, count);
}

}  // namespace detection::internal
