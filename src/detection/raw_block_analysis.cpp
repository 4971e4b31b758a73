#include "detection/raw_block_analysis.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "detection/fast_round.h"
#include "detection/marks_file.h"

namespace detection {
namespace {

using internal::RoundEven;
using internal::RoundEvenSmall;
using internal::SaturateInt16;

constexpr int kN = kBlockSamples;
// The statistics passes look at samples 2..498: 497 samples.
constexpr int kStatFirst = 2;
constexpr int kStatLast = kN - 2;
constexpr double kStatCount = kStatLast - kStatFirst + 1;
// Peak means run over 30 values of the peak track.
constexpr int kMeanWindow = 30;

struct BlockStatistics {
  double ripple = 0;  // A: mean peak-to-trough height, rounded
  double level = 0;   // B: mean level, rounded
};

// Tracks the last local peak and trough at or before each sample (both seeded with
// x(seed)) and returns the rounded means of their distance and of the level.
// peaks[0..498] receives the peak track.
BlockStatistics StatisticsPass(const int32_t* x, int32_t seed, int32_t* peaks) {
  int32_t peak = seed;
  int32_t trough = seed;
  peaks[0] = peaks[1] = seed;
  int32_t ripple_sum = 0;  // at most 65535 * 497: fits
  int32_t level_sum = 0;
  for (int s = kStatFirst; s <= kStatLast; ++s) {
    const int32_t prev = x[s - 1], cur = x[s], next = x[s + 1];
    // Noise makes these tests unpredictable: selections, not branches.
    trough = ((cur < prev) & (cur < next)) ? cur : trough;
    peak = ((cur > prev) & (cur > next)) ? cur : peak;
    peaks[s] = peak;
    ripple_sum += peak - trough;
    level_sum += cur;
  }
  return {RoundEven(ripple_sum / kStatCount), RoundEven(level_sum / kStatCount)};
}

// The threshold margin K: the mean ripple as a percentage of the mean level, times the
// threshold, plus one; never below 1. The clipped pass also falls back when the ripple
// reaches the level.
double Margin(const BlockStatistics& st, double threshold, bool clipped_pass) {
  const double a = st.ripple, b = st.level;
  double l;
  if (b <= 0 || (clipped_pass && b <= a)) {
    l = threshold;
  } else {
    l = (1 - (b - a) / b) * 100 * threshold;
  }
  double k = l + 1;
  if (k < 1) k = 1.0;
  return k;
}

// R(i): rounded mean of the 30 peak-track values after i (i < 30) or before i.
void PeakMeans(const int32_t* peaks, double* means) {
  // window[j] = P(j) + ... + P(j + 29), j = 0..470
  int32_t window[kN - kMeanWindow + 1];
  int32_t sum = 0;
  for (int j = 0; j < kMeanWindow; ++j) sum += peaks[j];
  window[0] = sum;
  for (int j = 1; j <= kN - 1 - kMeanWindow; ++j) {
    sum += peaks[j + kMeanWindow - 1] - peaks[j - 1];
    window[j] = sum;
  }
  // Rounded half to even in integers: a division by a constant is a multiplication, where
  // a division in doubles would hold up every bin end. The bias (an even multiple of 30
  // above any window sum of 16-bit levels) keeps the division on non-negative numbers.
  constexpr uint32_t kBiasMeans = 1u << 16;
  constexpr uint32_t kBias = kMeanWindow * kBiasMeans;
  const auto rounded_mean = [](int32_t sum) {
    const uint32_t n = static_cast<uint32_t>(sum + static_cast<int32_t>(kBias) + kMeanWindow / 2);
    const uint32_t q = n / kMeanWindow;
    const uint32_t tie = (n - q * kMeanWindow) == 0;  // sum ends in exactly half
    return static_cast<double>(static_cast<int32_t>(q - kBiasMeans - (tie & q & 1u)));
  };
  for (int i = 0; i < kMeanWindow; ++i) means[i] = rounded_mean(window[i + 1]);
  for (int i = kMeanWindow; i < kN; ++i) means[i] = rounded_mean(window[i - kMeanWindow]);
}

// The shape of a smoothed trace over the peak means R: trace(i) = round(first x R(i)) for
// i < 4, then round((trace(i-1) + trace(i-2) + trace(i-3) + factor x R(i) / divisor) / 4),
// each product and quotient formed in doubles in that order, rounded half to even.
struct TraceShape {
  double first;
  double factor;
  double divisor;  // 100, or 1 where the formula has no division (x / 1 is exact)
};

// Each trace value waits for the one before it, which makes this loop the longest part
// of a bin end. Two exact shortcuts shorten that wait; the plain formula handles what
// they cannot. The values are whole numbers kept in doubles, so nothing wraps however
// large a threshold makes them.
// Returns true when the trace stayed within the fast paths' range (every value below 2^27).
bool SmoothedTrace(const double* means, const TraceShape& shape, double* trace) {
  for (int i = 0; i < 4; ++i) trace[i] = RoundEven(shape.first * means[i]);
  // Peak means are 16-bit levels: with factors this small every term stays below 2^27.
  constexpr double kFactorBound = 2048.0;
  const bool bounded = std::fabs(shape.first) < kFactorBound &&
                       std::fabs(shape.factor / shape.divisor) < kFactorBound;
  const auto tail = [&](int i) { return shape.factor * means[i] / shape.divisor; };
  int i = 4;
  if (bounded) {
    // With S the (whole) sum of the last three and the term n + f, f well clear of 0
    // and 1, S + term lies strictly between S + n and S + n + 1 and cannot tie at /4,
    // so the rounded quarter is floor((S + n + 2) / 4): integer work only. Whether f is
    // clear, and n, can be read off a product with the reciprocal, off by far less than
    // the margin. A term too close to a whole number hands over to the loop below.
    constexpr double kMargin = 1.0 / (1 << 16);
    const double reciprocal = 1.0 / shape.divisor;
    int32_t t1 = static_cast<int32_t>(trace[3]), t2 = static_cast<int32_t>(trace[2]),
            t3 = static_cast<int32_t>(trace[1]);
    for (; i < kN; ++i) {
      const double term = shape.factor * means[i] * reciprocal;
      const double whole = RoundEvenSmall(term - 0.5);  // floor, when f checks out
      const double f = term - whole;
      if (!((f >= kMargin) & (f <= 1 - kMargin))) break;
      const int32_t t = (t1 + (t2 + t3 + static_cast<int32_t>(whole) + 2)) >> 2;
      trace[i] = t;
      t3 = t2;
      t2 = t1;
      t1 = t;
    }
    // The last value is carried biased by 1.5 x 2^52, where doubles step by exactly 1:
    // adding the bias rounds half to even and the three-value sum stays exact.
    // (S + term) / 4 rounds once, as S / 4 + term / 4 does.
    if (i < kN) {
      constexpr double kBias = 6755399441055744.0;
      double u1 = trace[i - 1], u2 = trace[i - 2], u3 = trace[i - 3];
      double biased = u1 + kBias;
      for (; i < kN; ++i) {
        const double rest = (u2 + u3) - kBias;
        biased = ((biased + rest) * 0.25 + tail(i) * 0.25) + kBias;
        const double t = biased - kBias;
        trace[i] = t;
        u3 = u2;
        u2 = u1;
        u1 = t;
      }
    }
    return true;
  }
  for (; i < kN; ++i) {
    trace[i] = RoundEven((trace[i - 1] + trace[i - 2] + trace[i - 3] + tail(i)) / 4);
  }
  return false;
}

// Events of methods 0, 1 and 3 go to both the display marks and the marks line.
struct Marking {
  DetectionTraces& traces;
  char* marks;
  int count = 0;
  void Mark(int i) {
    ++count;
    traces.Event_Marks[i] = -1;
    marks[i] = '1';
  }
};

// `bounded`: the values are known to be finite and small, so a plain clamp saturates.
void StoreTrace(const double* trace, bool bounded, DetectionTraces& traces) {
  if (bounded) {
    for (int i = 0; i < kN; ++i) {
      traces.Threshold_Trace[i] = static_cast<int16_t>(std::clamp(trace[i], -32768.0, 32767.0));
    }
  } else {
    for (int i = 0; i < kN; ++i) traces.Threshold_Trace[i] = SaturateInt16(trace[i]);
  }
}

// Method 0: the windows end at 30, 60, ..., 480 (the first one holds 31 samples);
// samples after 480 are never evaluated.
int CountWindowed(const int32_t* x, const double* t, Marking& out) {
  bool dip = false;
  int window = 0;
  for (int i = 0; i < kN; ++i) {
    if (x[i] < t[i]) dip = true;
    if (window == 30) {
      if (dip) {
        out.Mark(i);
        dip = false;
      }
      window = 0;
    }
    ++window;
  }
  return out.count;
}

// Method 1: a sample equal to the trace neither counts nor re-arms.
int CountCrossings(const int32_t* x, const double* t, Marking& out) {
  bool below = false;
  for (int i = 0; i < kN; ++i) {
    if (x[i] < t[i] && !below) {
      out.Mark(i);
      below = true;
    }
    if (x[i] > t[i]) below = false;
  }
  return out.count;
}

// Method 3: crossings of the two-sample mean.
int CountDrosophila(const int32_t* x, const double* t, Marking& out) {
  bool below = false;
  for (int i = 1; i < kN; ++i) {
    const double m = (static_cast<double>(x[i]) + x[i - 1]) / 2;
    if (m < t[i] && !below) {
      out.Mark(i);
      below = true;
    }
    if (m > t[i]) below = false;
  }
  return out.count;
}

// Method 2: the excursion of the signal over its smoothed 50-sample floor, averaged over
// 10 samples; a movement is a run of ten steps the same way since the last turn that
// has travelled more than the amplitude threshold.
//
// The floor and smoothing reproduce the plain sums exactly, in the same order; the
// loops are only arranged so that samples are worked on side by side.
int CountMotility(const int32_t* x, double amplitude, DetectionTraces& traces, char* marks) {
  constexpr int kFloorWindow = 50;
  constexpr int kForward = kN - kFloorWindow - 1;  // i < 449 looks forward
  constexpr int kWindows = kN - kFloorWindow + 1;  // 451 windows of 50 samples
  constexpr int kSmooth = 10;
  constexpr int kSmoothForward = kN - kSmooth - 1;  // i < 489 looks forward

  // Lowest sample of each window x(j)..x(j+49): minima from each 50-block's start and
  // to its end meet in every window.
  int32_t from_start[kN], to_end[kN];
  for (int b = 0; b < kN; b += kFloorWindow) {
    int32_t low = x[b];
    for (int j = b; j < b + kFloorWindow; ++j) from_start[j] = low = std::min(low, x[j]);
    low = x[b + kFloorWindow - 1];
    for (int j = b + kFloorWindow - 1; j >= b; --j) to_end[j] = low = std::min(low, x[j]);
  }
  int32_t window_low[kWindows + 1];
  for (int j = 0; j < kWindows; ++j) {
    // The search starts from 10000.
    window_low[j] = std::min(std::min(to_end[j], from_start[j + kFloorWindow - 1]), int32_t{10000});
  }
  // F(i): the window starting at i for i < 449, ending at i after that.
  int32_t floor_int[kN];
  for (int i = 0; i < kForward; ++i) floor_int[i] = window_low[i];
  for (int i = kForward; i < kN; ++i) floor_int[i] = window_low[i - (kFloorWindow - 1)];

  // Smoothed floor, in place in increasing i. The forward means see only untouched
  // whole numbers, so a running integer sum gives them exactly.
  int32_t forward_sum[kForward + 1];
  int32_t run = 0;
  for (int j = 0; j < kFloorWindow; ++j) run += floor_int[j];
  for (int i = 0; i < kForward; ++i) {
    forward_sum[i] = run;
    run += floor_int[i + kFloorWindow] - floor_int[i];
  }
  double floor_level[kN + kFloorWindow] = {};
  for (int i = 0; i < kForward; ++i) floor_level[i] = forward_sum[i] / 50.0;
  // The last ones average entries already replaced, summed in sample order as they
  // stand. Their leading terms are forward means, all known now: those are summed
  // first, side by side (adding the zeros past 448 changes nothing), and only the rest
  // waits for its predecessors.
  constexpr int kTail = kN - kForward;  // 51
  double partial[kTail + 1] = {};
  for (int k = 0; k < kFloorWindow; ++k) {
    for (int t = 0; t <= kTail; ++t)
      partial[t] += floor_level[kForward + t - (kFloorWindow - 1) + k];
  }
  for (int i = kForward; i < kN; ++i) {
    double sum = partial[i - kForward];
    for (int j = std::max(kForward, i - (kFloorWindow - 1)); j < i; ++j) sum += floor_level[j];
    sum += floor_int[i];
    floor_level[i] = sum / 50;
  }

  double excursion[kN];
  for (int i = 0; i < kN; ++i) excursion[i] = x[i] - floor_level[i];

  // Ten-sample means, each summed in sample order. The forward loop also covers 489 (an
  // even count needs no scalar tail); the last eleven are then summed backwards.
  double smooth[kN];
  for (int i = 0; i <= kSmoothForward; ++i) {
    double sum = excursion[i];
    for (int k = 1; k < kSmooth; ++k) sum += excursion[i + k];
    smooth[i] = sum;
  }
  for (int i = kSmoothForward; i < kN; ++i) {
    double sum = excursion[i - (kSmooth - 1)];
    for (int j = i - (kSmooth - 2); j <= i; ++j) sum += excursion[j];
    smooth[i] = sum;
  }
  for (int i = 0; i < kN; ++i) smooth[i] /= 10;

  // |D| stays far inside 2^51 (levels are 16-bit), so no range test is needed.
  for (int i = 1; i < kN; ++i) {
    const double trace = std::clamp(RoundEvenSmall(smooth[i] - amplitude), -32768.0, 32767.0);
    traces.Threshold_Trace[i] = static_cast<int16_t>(trace);
  }

  // Noisy signals turn at random, so the direction, run and turning value are updated
  // with bit operations rather than branches.
  uint32_t rising = 0;  // the direction starts as falling
  uint32_t run_length = 0;
  uint64_t turn_bits = std::bit_cast<uint64_t>(0.0);
  int count = 0;
  for (int i = 1; i < kN; ++i) {
    const double d = smooth[i];
    const uint32_t up = d > smooth[i - 1];
    const uint32_t down = d < smooth[i - 1];
    const uint32_t now_rising = up | (rising & (down ^ 1u));
    const uint32_t turned = now_rising ^ rising;
    rising = now_rising;
    run_length = (run_length + ((up | down) & (turned ^ 1u))) & (turned - 1u);
    // turn = round(d) at a turn, as a bit mask.
    const uint64_t keep = static_cast<uint64_t>(turned) - 1u;
    turn_bits = (turn_bits & keep) | (std::bit_cast<uint64_t>(RoundEvenSmall(d)) & ~keep);
    // Deliberately tested on flat steps too: a flat stretch right after the tenth step
    // counts again.
    if (run_length == 10 && std::fabs(std::bit_cast<double>(turn_bits) - d) > amplitude) {
      ++count;
      marks[i] = '1';
    }
  }
  return count;
}

}  // namespace

DetectionResult AnalyzeRawBlock(std::span<int16_t> block, BlockLayout layout,
                                const DetectionParams& params, DetectionTraces& traces) {
  DetectionResult result;
  if (!HoldsChannel(block.size(), layout, params.channel)) {
    result.error = DetectionError::kBlockTooSmall;
    return result;
  }
  int16_t* const column =
      block.data() + static_cast<std::size_t>(params.channel) * layout.channel_stride;
  const std::size_t stride = layout.sample_stride;

  // Widened copy: every sum and trace is worked out in 32 bits or doubles.
  int32_t x[kN];
  for (int i = 0; i < kN; ++i) x[i] = column[i * stride];

  char marks[kN];
  std::fill(marks, marks + kN, '0');

  int32_t peaks[kN];
  double means[kN], trace[kN];

  // Scale of the raw signal, then the upward clipping under U.
  const double k_raw = Margin(StatisticsPass(x, x[1], peaks), params.threshold, false);
  PeakMeans(peaks, means);
  SmoothedTrace(means, {(k_raw + 100) / 100, k_raw + 100, 100}, trace);
  for (int i = 0; i < kN; ++i) {
    if (x[i] > trace[i]) {
      const int16_t lowered = SaturateInt16(trace[i]);
      column[i * stride] = lowered;
      x[i] = lowered;
    }
  }

  // Scale of the clipped signal, which every method works on.
  const BlockStatistics clipped = StatisticsPass(x, x[2], peaks);
  const double k = Margin(clipped, params.threshold, true);

  Marking marking{traces, marks};
  int count = 0;
  const int method = params.method;
  if (method == kMethodWindowed || method == kMethodCrossings || method == kMethodDrosophila) {
    PeakMeans(peaks, means);
    // Method 3 scales directly by the threshold; methods 0 and 1 run K percent under the
    // envelope, the first four values (without history) 1.75 K.
    const TraceShape shape = method == kMethodDrosophila
                                 ? TraceShape{params.threshold, params.threshold, 1}
                                 : TraceShape{(100 - 1.75 * k) / 100, 100 - k, 100};
    StoreTrace(trace, SmoothedTrace(means, shape, trace), traces);
    if (method == kMethodWindowed) {
      count = CountWindowed(x, trace, marking);
    } else if (method == kMethodCrossings) {
      count = CountCrossings(x, trace, marking);
    } else {
      count = CountDrosophila(x, trace, marking);
    }
  } else if (method == kMethodMotility) {
    count = CountMotility(x, std::max(clipped.ripple, 5.0), traces, marks);
  }
  // Any other method: clipped, nothing counted.
  result.count = static_cast<int16_t>(count);

  if (params.export_flag == 1 && !AppendRawMarksLine(params.folder, params.channel, params.time,
                                                     std::span<const char>(marks, kN))) {
    result.error = DetectionError::kMarksWriteFailed;
  }
  return result;
}

}  // namespace detection
