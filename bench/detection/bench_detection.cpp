// Time of one bin's detection for every channel of the plate, per method, and of the
// body-bends histogram, against the acquisition tick's allowance for it: the tick runs
// every 30 ms and must not drop a sample at bin end, so the detection of a whole bin is
// to stay well under 5 ms on one core; each method is to take at most half of it.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "detection/peak_interval_histogram.h"
#include "detection/raw_block_analysis.h"

namespace {

constexpr int kChannels = 384;
constexpr int kRingChannels = 385;
constexpr int kRingSamples = 501;
constexpr double kBudgetMs = 2.5;  // half the bin end's 5 ms
constexpr int kRounds = 200;

// A plate's bin: beams at their own levels with noise, animals crossing now and then,
// the odd spike; a few channels dark or saturated.
std::vector<int16_t> MakeRing(detection::BlockLayout layout) {
  std::vector<int16_t> ring(kRingChannels * kRingSamples, 0);
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> level(800, 3500), noise(-12, 12), pos(0, 499), width(2, 12),
      depth(50, 700), many(0, 12);
  for (int c = 0; c < kChannels; ++c) {
    std::vector<int> x(500);
    const int base = c % 97 == 0 ? 0 : (c % 89 == 0 ? 4095 : level(rng));
    for (int s = 0; s < 500; ++s) x[s] = base + noise(rng);
    for (int k = many(rng); k > 0; --k) {
      const int at = pos(rng), w = width(rng), d = depth(rng);
      for (int s = std::max(0, at - w); s < std::min(500, at + w); ++s)
        x[s] -= d * (w - std::abs(s - at)) / w;
    }
    if (c % 5 == 0) x[pos(rng)] += 2000;
    for (int s = 0; s < 500; ++s)
      ring[c * layout.channel_stride + s * layout.sample_stride] =
          static_cast<int16_t>(std::clamp(x[s], 0, 4095));
  }
  return ring;
}

struct Figures {
  double best_ms;
  double median_ms;
  long total_count;
};

template <typename Work>
Figures Time(const std::vector<int16_t>& pristine, Work&& work) {
  std::vector<double> ms;
  std::vector<int16_t> ring;
  long total = 0;
  for (int round = 0; round < kRounds; ++round) {
    ring = pristine;  // the analysis clips in place: every round starts from the raw bin
    const auto t0 = std::chrono::steady_clock::now();
    total = work(ring);
    const auto t1 = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2], total};
}

void Print(const char* what, const Figures& f) {
  std::printf("%-44s best %6.3f ms  median %6.3f ms  (%4.1f%% of %.1f ms)  %s  [events %ld]\n",
              what, f.best_ms, f.median_ms, 100.0 * f.median_ms / kBudgetMs, kBudgetMs,
              f.median_ms < kBudgetMs ? "within budget" : "OVER BUDGET", f.total_count);
}

void RunLayout(const char* name, detection::BlockLayout layout) {
  std::printf("%s\n", name);
  const std::vector<int16_t> pristine = MakeRing(layout);
  detection::DetectionTraces traces;
  std::vector<int> channels(kChannels);
  for (int c = 0; c < kChannels; ++c) channels[static_cast<size_t>(c)] = c;
  std::vector<detection::DetectionResult> results(kChannels);
  for (int method = 0; method <= 3; ++method) {
    detection::DetectionParams p;
    p.method = method;
    const Figures batch = Time(pristine, [&](std::vector<int16_t>& ring) {
      detection::AnalyzeRawBlocks(ring, layout, channels, p, results, traces);
      long total = 0;
      for (const auto& r : results) total += r.count;
      return total;
    });
    const Figures single = Time(pristine, [&](std::vector<int16_t>& ring) {
      long total = 0;
      for (int c = 0; c < kChannels; ++c) {
        p.channel = c;
        total += detection::AnalyzeRawBlock(ring, layout, p, traces).count;
      }
      return total;
    });
    char label[64];
    std::snprintf(label, sizeof label, "  method %d, 384 channels in one call", method);
    Print(label, batch);
    std::snprintf(label, sizeof label, "  method %d, one call per channel", method);
    Print(label, single);
  }
  int16_t histogram[51];
  const Figures h = Time(pristine, [&](std::vector<int16_t>& ring) {
    long total = 0;
    for (int c = 0; c < kChannels; ++c) {
      detection::BuildPeakIntervalHistogram(ring, layout, c, histogram, 2.8);
      for (int g = 0; g < 50; ++g) total += histogram[g];
    }
    return total;
  });
  Print("  peak-interval histogram, 384 channels", h);
  const Figures both = Time(pristine, [&](std::vector<int16_t>& ring) {
    detection::DetectionParams p;
    detection::AnalyzeRawBlocks(ring, layout, channels, p, results, traces);
    long total = 0;
    for (int c = 0; c < kChannels; ++c) {
      total += results[static_cast<size_t>(c)].count;
      detection::BuildPeakIntervalHistogram(ring, layout, c, histogram, 2.8);
    }
    return total;
  });
  Print("  body-bends bin end (method 1 + histogram)", both);
}

}  // namespace

int main() {
  std::printf(
      "Detection of one bin (500 samples) for 384 channels on one core; budget %.1f ms, "
      "%d rounds each\n",
      kBudgetMs, kRounds);
  RunLayout("Block stored sample after sample (385 levels per sample, as recorded):",
            detection::SampleMajor(kRingChannels));
  RunLayout("Block stored channel after channel (501 levels per channel):",
            detection::ChannelMajor(kRingSamples));
  return 0;
}
