#include "detection/raw_block_analysis.h"

#include <algorithm>
#include <cmath>

#include "detection/fast_round.h"
#include "detection/marks_file.h"

namespace detection {
namespace {

using internal::RoundDivEven;
using internal::RoundEven;
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
    if (cur < prev && cur < next) trough = cur;
    if (cur > prev && cur > next) peak = cur;
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
void PeakMeans(const int32_t* peaks, int32_t* means) {
  // window[j] = P(j) + ... + P(j + 29), j = 0..469
  int32_t sum = 0;
  for (int j = 0; j < kMeanWindow; ++j) sum += peaks[j];
  int32_t window[kN - kMeanWindow + 1];
  window[0] = sum;
  for (int j = 1; j <= kN - 1 - kMeanWindow; ++j) {
    sum += peaks[j + kMeanWindow - 1] - peaks[j - 1];
    window[j] = sum;
  }
  for (int i = 0; i < kMeanWindow; ++i) means[i] = RoundDivEven(window[i + 1], kMeanWindow);
  for (int i = kMeanWindow; i < kN; ++i) means[i] = RoundDivEven(window[i - kMeanWindow], kMeanWindow);
}

// Counting of methods 0, 1 and 3 along the trace they compute. Kept apart so each
// method's loop carries only its own test.
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

// The trace of methods 0 and 1: K percent under the 30-sample peak mean, smoothed with
// its own last three values; the first four use a margin 1.75 times as wide.
template <typename Counter>
void ThresholdTraceCount(const int32_t* x, const int32_t* means, double k, Marking& out,
                         Counter&& counter) {
  const double first = (100 - 1.75 * k) / 100;
  const double factor = 100 - k;
  double t1 = 0, t2 = 0, t3 = 0;
  for (int i = 0; i < kN; ++i) {
    const double r = means[i];
    double t;
    if (i < 4) {
      t = RoundEven(first * r);
    } else {
      // The three earlier values are whole numbers, so their sum is exact in any order.
      t = RoundEven(((t2 + t3) + t1 + factor * r / 100) / 4);
    }
    out.traces.Threshold_Trace[i] = SaturateInt16(t);
    counter(i, x[i], t);
    t3 = t2;
    t2 = t1;
    t1 = t;
  }
}

int CountWindowed(const int32_t* x, const int32_t* means, double k, Marking& out) {
  bool dip = false;
  int window = 0;
  ThresholdTraceCount(x, means, k, out, [&](int i, int32_t xi, double t) {
    if (xi < t) dip = true;
    if (window == 30) {
      if (dip) {
        out.Mark(i);
        dip = false;
      }
      window = 0;
    }
    ++window;
  });
  return out.count;
}

int CountCrossings(const int32_t* x, const int32_t* means, double k, Marking& out) {
  bool below = false;
  ThresholdTraceCount(x, means, k, out, [&](int i, int32_t xi, double t) {
    if (xi < t && !below) {
      out.Mark(i);
      below = true;
    }
    if (xi > t) below = false;
  });
  return out.count;
}

int CountDrosophila(const int32_t* x, const int32_t* means, double threshold, Marking& out) {
  double t1 = 0, t2 = 0, t3 = 0;
  bool below = false;
  for (int i = 0; i < kN; ++i) {
    const double scaled = means[i] * threshold;
    const double t = i < 4 ? RoundEven(scaled) : RoundEven(((t2 + t3) + t1 + scaled) / 4);
    out.traces.Threshold_Trace[i] = SaturateInt16(t);
    if (i >= 1) {
      const double m = (static_cast<double>(x[i]) + x[i - 1]) / 2;
      if (m < t && !below) {
        out.Mark(i);
        below = true;
      }
      if (m > t) below = false;
    }
    t3 = t2;
    t2 = t1;
    t1 = t;
  }
  return out.count;
}

// Method 2: the excursion of the signal over its smoothed 50-sample floor, averaged over
// 10 samples; a movement is a run of ten steps the same way since the last turn that
// has travelled more than the amplitude threshold.
int CountMotility(const int32_t* x, double amplitude, DetectionTraces& traces, char* marks) {
  constexpr int kFloorWindow = 50;
  constexpr int kForward = kN - kFloorWindow - 1;  // i < 449 looks forward
  constexpr int kSmooth = 10;
  constexpr int kSmoothForward = kN - kSmooth - 1;  // i < 489 looks forward

  // Lowest sample of each 50-sample window x(j)..x(j+49), j = 0..450, in linear time:
  // minima from each block's start and to each block's end meet in every window.
  int32_t from_start[kN], to_end[kN];
  for (int b = 0; b < kN; b += kFloorWindow) {
    const int e = std::min(b + kFloorWindow, kN);
    from_start[b] = x[b];
    for (int j = b + 1; j < e; ++j) from_start[j] = std::min(from_start[j - 1], x[j]);
    to_end[e - 1] = x[e - 1];
    for (int j = e - 2; j >= b; --j) to_end[j] = std::min(to_end[j + 1], x[j]);
  }
  int32_t floor_int[kN];
  for (int i = 0; i < kN; ++i) {
    const int j = i < kForward ? i : i - (kFloorWindow - 1);
    // The search starts from 10000.
    floor_int[i] = std::min({to_end[j], from_start[j + kFloorWindow - 1], int32_t{10000}});
  }

  // Smoothed floor, in place: the forward means see only untouched whole numbers, so a
  // running integer sum gives them exactly; the last ones average entries already
  // replaced, summed in order as they stand.
  double floor_level[kN];
  int32_t run = 0;
  for (int j = 0; j < kFloorWindow; ++j) run += floor_int[j];
  for (int i = 0; i < kForward; ++i) {
    floor_level[i] = run / 50.0;
    run += floor_int[i + kFloorWindow] - floor_int[i];
  }
  for (int i = kForward; i < kN; ++i) floor_level[i] = floor_int[i];
  for (int i = kForward; i < kN; ++i) {
    double sum = 0;
    for (int j = i - (kFloorWindow - 1); j <= i; ++j) sum += floor_level[j];
    floor_level[i] = sum / 50;
  }

  double excursion[kN];
  for (int i = 0; i < kN; ++i) excursion[i] = x[i] - floor_level[i];

  // Ten-sample means, each summed in sample order (one pass per term keeps the order
  // and lets the compiler work on many samples at once).
  double smooth[kN] = {};
  for (int k = 0; k < kSmooth; ++k) {
    for (int i = 0; i < kSmoothForward; ++i) smooth[i] += excursion[i + k];
    for (int i = kSmoothForward; i < kN; ++i) smooth[i] += excursion[i - (kSmooth - 1) + k];
  }
  for (int i = 0; i < kN; ++i) smooth[i] /= 10;

  bool rising = false;
  int run_length = 0;
  double turn = 0;
  int count = 0;
  for (int i = 1; i < kN; ++i) {
    const double d = smooth[i], prev = smooth[i - 1];
    if (d > prev) {
      if (rising) {
        ++run_length;
      } else {
        rising = true;
        run_length = 0;
        turn = RoundEven(d);
      }
    } else if (d < prev) {
      if (!rising) {
        ++run_length;
      } else {
        rising = false;
        run_length = 0;
        turn = RoundEven(d);
      }
    }
    // Deliberately tested on flat steps too: a flat stretch right after the tenth step
    // counts again.
    if (run_length == 10 && std::fabs(turn - d) > amplitude) {
      ++count;
      marks[i] = '1';
    }
    traces.Threshold_Trace[i] = SaturateInt16(RoundEven(d - amplitude));
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
  int16_t* const column = block.data() + static_cast<std::size_t>(params.channel) * layout.channel_stride;
  const std::size_t stride = layout.sample_stride;

  // Widened copy: every sum and trace is worked out in 32 bits or doubles.
  int32_t x[kN];
  for (int i = 0; i < kN; ++i) x[i] = column[i * stride];

  char marks[kN];
  std::fill(marks, marks + kN, '0');

  int32_t peaks[kN];
  int32_t means[kN];

  // Scale of the raw signal, then the upward clipping.
  const double k_raw = Margin(StatisticsPass(x, x[1], peaks), params.threshold, false);
  PeakMeans(peaks, means);
  {
    const double first = (k_raw + 100) / 100;
    const double factor = k_raw + 100;
    double u1 = 0, u2 = 0, u3 = 0;
    for (int i = 0; i < kN; ++i) {
      const double r = means[i];
      const double u = i < 4 ? RoundEven(first * r) : RoundEven(((u2 + u3) + u1 + factor * r / 100) / 4);
      if (x[i] > u) {
        const int16_t lowered = SaturateInt16(u);
        column[i * stride] = lowered;
        x[i] = lowered;
      }
      u3 = u2;
      u2 = u1;
      u1 = u;
    }
  }

  // Scale of the clipped signal, which every method works on.
  const BlockStatistics clipped = StatisticsPass(x, x[2], peaks);
  const double k = Margin(clipped, params.threshold, true);

  Marking marking{traces, marks};
  int count = 0;
  switch (params.method) {
    case kMethodWindowed:
    case kMethodCrossings:
    case kMethodDrosophila:
      PeakMeans(peaks, means);
      if (params.method == kMethodWindowed) {
        count = CountWindowed(x, means, k, marking);
      } else if (params.method == kMethodCrossings) {
        count = CountCrossings(x, means, k, marking);
      } else {
        count = CountDrosophila(x, means, params.threshold, marking);
      }
      break;
    case kMethodMotility:
      count = CountMotility(x, std::max(clipped.ripple, 5.0), traces, marks);
      break;
    default:
      break;  // unknown method: clipped, nothing counted
  }
  result.count = static_cast<int16_t>(count);

  if (params.export_flag == 1 &&
      !AppendRawMarksLine(params.folder, params.channel, params.time, std::span<const char>(marks, kN))) {
    result.error = DetectionError::kMarksWriteFailed;
  }
  return result;
}

}  // namespace detection
