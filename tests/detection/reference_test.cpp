// Every version of the many-channel kernel this build holds and this processor runs,
// against a literal, one-channel-at-a-time transcription of the detection steps (plain
// loops, every sum and quotient in the written order), on the same blocks: random ones,
// edge values and spikes, under ordinary and extreme thresholds. Counts, clipped
// samples, the trace and the marks must be equal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "detection/fast_round.h"
#include "detection/lane_kernel.h"
#include "detection/raw_block_analysis.h"
#include "platform/numeric.h"

namespace {

using detection::DetectionParams;
using detection::DetectionResult;
using detection::DetectionTraces;

double Round(double v) { return platform::RoundHalfEven(v); }

int16_t To16(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

struct Reference {
  int count = 0;
  std::vector<int16_t> trace = std::vector<int16_t>(501, 0);
  std::vector<char> marks = std::vector<char>(500, '0');
  bool trace_written = false;
};

// The statistics pass over samples 2..498, the tracks seeded with x(seed).
void Statistics(const std::vector<double>& x, int seed, std::vector<double>& P, double& A,
                double& B) {
  std::vector<double> V(501);
  P[0] = P[1] = V[0] = V[1] = x[seed];
  double ripple = 0, level = 0;
  for (int s = 2; s <= 498; ++s) {
    P[s] = P[s - 1];
    V[s] = V[s - 1];
    if (x[s] < x[s - 1] && x[s] < x[s + 1]) V[s] = x[s];
    if (x[s] > x[s - 1] && x[s] > x[s + 1]) P[s] = x[s];
    ripple = ripple + (P[s] - V[s]);
    level = level + x[s];
  }
  A = Round(ripple / 497);
  B = Round(level / 497);
}

double PeakMean(const std::vector<double>& P, int i) {
  double sum = 0;
  if (i < 30) {
    for (int j = i + 1; j <= i + 30; ++j) sum = sum + P[j];
  } else {
    for (int j = i - 30; j <= i - 1; ++j) sum = sum + P[j];
  }
  return Round(sum / 30);
}

Reference Analyze(std::vector<int16_t>& block, double threshold, int method) {
  Reference r;
  std::vector<double> x(block.begin(), block.end());
  std::vector<double> P(501, 0), U(500), T(500);
  double A, B;
  Statistics(x, 1, P, A, B);
  double L = B <= 0 ? threshold : (1 - (B - A) / B) * 100 * threshold;
  double K = L + 1;
  if (K < 1) K = 1.0;
  for (int i = 0; i < 500; ++i) {
    const double R = PeakMean(P, i);
    U[i] = i < 4 ? Round((K + 100) / 100 * R)
                 : Round((U[i - 1] + U[i - 2] + U[i - 3] + (K + 100) * R / 100) / 4);
    if (x[i] > U[i]) {
      block[i] = To16(U[i]);
      x[i] = block[i];
    }
  }
  Statistics(x, 2, P, A, B);
  L = (B <= 0 || B <= A) ? threshold : (1 - (B - A) / B) * 100 * threshold;
  K = L + 1;
  if (K < 1) K = 1.0;
  const double G = A < 5 ? 5.0 : A;

  if (method == 0 || method == 1 || method == 3) {
    r.trace_written = true;
    for (int i = 0; i < 500; ++i) {
      const double R = PeakMean(P, i);
      if (method == 3)
        T[i] = i < 4 ? Round(R * threshold)
                     : Round((T[i - 1] + T[i - 2] + T[i - 3] + R * threshold) / 4);
      else
        T[i] = i < 4 ? Round((100 - 1.75 * K) / 100 * R)
                     : Round((T[i - 1] + T[i - 2] + T[i - 3] + (100 - K) * R / 100) / 4);
      r.trace[i] = To16(T[i]);
    }
    bool flag = false;
    int window = 0;
    for (int i = method == 3 ? 1 : 0; i < 500; ++i) {
      const double v = method == 3 ? (x[i] + x[i - 1]) / 2 : x[i];
      if (method == 0) {
        if (v < T[i]) flag = true;
        if (window == 30 && flag) {
          ++r.count;
          r.marks[i] = '1';
          flag = false;
        }
        if (window == 30) window = 0;
        ++window;
      } else {
        if (v < T[i] && !flag) {
          ++r.count;
          r.marks[i] = '1';
          flag = true;
        }
        if (v > T[i]) flag = false;
      }
    }
  } else if (method == 2) {
    r.trace_written = true;
    std::vector<double> F(500), E(500), D(500);
    for (int i = 0; i < 500; ++i) {
      double low = 10000;
      for (int j = i < 449 ? i : i - 49; j <= (i < 449 ? i + 49 : i); ++j)
        if (x[j] < low) low = x[j];
      F[i] = low;
    }
    for (int i = 0; i < 500; ++i) {
      double sum = 0;
      for (int j = i < 449 ? i : i - 49; j <= (i < 449 ? i + 49 : i); ++j) sum = sum + F[j] / 50;
      F[i] = sum;
    }
    for (int i = 0; i < 500; ++i) E[i] = x[i] - F[i];
    for (int i = 0; i < 500; ++i) {
      double sum = 0;
      for (int j = i < 489 ? i : i - 9; j <= (i < 489 ? i + 9 : i); ++j) sum = sum + E[j];
      D[i] = sum / 10;
    }
    bool rising = false;
    int run = 0;
    double turn = 0;
    for (int i = 1; i < 500; ++i) {
      if (D[i] > D[i - 1]) {
        if (rising) {
          ++run;
        } else {
          rising = true;
          run = 0;
          turn = Round(D[i]);
        }
      }
      if (D[i] < D[i - 1]) {
        if (!rising) {
          ++run;
        } else {
          rising = false;
          run = 0;
          turn = Round(D[i]);
        }
      }
      if (run == 10 && std::fabs(turn - D[i]) > G) {
        ++r.count;
        r.marks[i] = '1';
      }
      r.trace[i] = To16(Round(D[i] - G));
    }
  }
  return r;
}

// Levels of one channel: a base with noise, dips of animals, the odd spike, plateaus
// and steps that make ties likely; sometimes dark, saturated or wild.
std::vector<int16_t> RandomChannel(std::mt19937& rng) {
  std::uniform_int_distribution<int> kind(0, 9), level(200, 3800), noise(1, 40), pos(0, 499),
      width(1, 25), depth(5, 900), dips(0, 15);
  std::vector<int> x(500);
  const int k = kind(rng);
  const int base = k == 0 ? 0 : (k == 1 ? 4095 : level(rng));
  const int amplitude = k == 2 ? 1 : noise(rng);
  std::uniform_int_distribution<int> jitter(-amplitude, amplitude);
  for (int s = 0; s < 500; ++s) x[s] = base + (k == 3 ? (s / 7 % 3) * 5 : jitter(rng));
  for (int n = dips(rng); n > 0; --n) {
    const int at = pos(rng), w = width(rng), d = depth(rng);
    for (int s = std::max(0, at - w); s < std::min(500, at + w); ++s)
      x[s] -= d * (w - std::abs(s - at)) / w;
  }
  if (k == 4) x[pos(rng)] += 3000;
  if (k == 6) x[pos(rng)] = 32767;  // a spike to the top of the range
  std::vector<int16_t> out(500);
  for (int s = 0; s < 500; ++s)
    out[s] = static_cast<int16_t>(k == 5 ? std::clamp(x[s], -32768, 32767) * 9 % 32768
                                         : std::clamp(x[s], 0, 4095));
  return out;
}

// Channels at the edges of the 16-bit range, one row per case.
std::vector<std::vector<int16_t>> EdgeChannels() {
  auto each = [](auto level) {
    std::vector<int16_t> x(500);
    for (int s = 0; s < 500; ++s) x[s] = static_cast<int16_t>(level(s));
    return x;
  };
  return {
      each([](int) { return -32768; }),                                 // floor of the range
      each([](int) { return 32767; }),                                  // top of the range
      each([](int) { return 0; }),                                      // dark beam
      each([](int s) { return s % 2 ? -32768 : 32767; }),               // widest ripple
      each([](int s) { return s == 250 ? 32767 : 0; }),                 // lone spike
      each([](int s) { return s == 0 || s == 499 ? -32768 : 1000; }),   // dips at both ends
      each([](int s) { return s * 131 - 32768; }),                      // steady climb
      each([](int s) { return (s / 50) % 2 ? 20000 : -20000; }),        // plateaus
      each([](int s) { return s % 30 == 15 ? 900 : 1000; }),            // dips every 30
  };
}

// The channels of one round: every edge channel, then random ones, 385 in all.
std::vector<std::vector<int16_t>> RoundChannels(std::mt19937& rng, int round) {
  std::vector<std::vector<int16_t>> columns;
  if (round == 0) columns = EdgeChannels();
  while (columns.size() < 385) columns.push_back(RandomChannel(rng));
  return columns;
}

TEST(AnalyzeRawBlocks, EveryVersionEqualsTheStepsDoneOneChannelAtATime) {
  constexpr int kChannels = 385;
  const double thresholds[] = {1.8, 0.5, 25.0, 0.0, -1.0, 1e9, 1e300};
  const int methods[] = {0, 1, 2, 3, 7};
  int versions = 0;
  for (const auto& version : detection::internal::LaneKernelVersions()) {
    if (!version.runs_here()) continue;
    ++versions;
    SCOPED_TRACE(version.name);
    std::mt19937 rng(2024);
    long compared = 0;
    for (int round = 0; round < 4; ++round) {
      const std::vector<std::vector<int16_t>> columns = RoundChannels(rng, round);
      std::vector<int16_t> ring(static_cast<size_t>(kChannels) * 501, 0);
      for (int c = 0; c < kChannels; ++c)
        for (int s = 0; s < 500; ++s) ring[static_cast<size_t>(s) * kChannels + c] = columns[c][s];
      for (double threshold : thresholds) {
        for (int method : methods) {
          SCOPED_TRACE(::testing::Message()
                       << "round " << round << " method " << method << " threshold " << threshold);
          // Every channel but a few, in an order that is not the block's, then the
          // plate's channels in a row as the bin end passes them.
          std::vector<int> channels;
          if (round % 2 == 0) {
            for (int c = 0; c < 384; ++c)
              if ((c * 7 + round) % 23 != 0) channels.push_back((c * 5) % 384);
          } else {
            for (int c = 0; c < 384; ++c) channels.push_back(c);
          }
          std::vector<int16_t> block = ring;
          std::vector<DetectionResult> results(channels.size());
          DetectionTraces traces;
          DetectionParams params;
          params.threshold = threshold;
          params.method = method;
          detection::internal::AnalyzeRawBlocksWith(
              version, block, detection::SampleMajor(kChannels), channels, params, results, traces);
          std::vector<int16_t> event_marks(501, 0);
          Reference last;
          for (size_t k = 0; k < channels.size(); ++k) {
            std::vector<int16_t> column = columns[channels[k]];
            last = Analyze(column, threshold, method);
            ASSERT_EQ(results[k].count, last.count) << "channel " << channels[k];
            for (int s = 0; s < 500; ++s)
              ASSERT_EQ(block[static_cast<size_t>(s) * kChannels + channels[k]], column[s])
                  << "channel " << channels[k] << " sample " << s;
            if (method != 2)
              for (int s = 0; s < 500; ++s)
                if (last.marks[s] == '1') event_marks[s] = -1;
            ++compared;
          }
          for (int s = 0; s < 500; ++s) ASSERT_EQ(traces.Event_Marks[s], event_marks[s]) << s;
          if (last.trace_written) {
            for (int s = method == 2 ? 1 : 0; s < 500; ++s)
              ASSERT_EQ(traces.Threshold_Trace[s], last.trace[s]) << s;
          }
          // The channel off the list keeps its samples.
          for (int s = 0; s < 500; ++s)
            ASSERT_EQ(block[static_cast<size_t>(s) * kChannels + 384],
                      ring[static_cast<size_t>(s) * kChannels + 384]);
        }
      }
    }
    EXPECT_GT(compared, 40000);
  }
  // The baseline runs everywhere.
  EXPECT_GE(versions, 1);
}

// The kernel takes a peak mean as the sum times the reciprocal of 30: for every sum
// 30 peak values can make, that rounds as the quotient does.
TEST(AnalyzeRawBlocks, PeakMeanByReciprocalRoundsAsTheQuotientForEverySum) {
  using detection::internal::kInverseMeanWindow;
  const auto limit = static_cast<long>(detection::internal::kPeakSumLimit);
  long differing = 0;
  for (long sum = -limit; sum <= limit; ++sum) {
    const double s = static_cast<double>(sum);
    if (detection::internal::RoundEvenSmall(s * kInverseMeanWindow) != Round(s / 30.0)) ++differing;
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
