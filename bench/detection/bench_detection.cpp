// Time of one bin's detection for every channel of the plate, per method, and of the
// body-bends histogram, against the acquisition tick's allowance for it: the tick runs
// every 30 ms and must not drop a sample at bin end, so the detection of a whole bin is
// to stay well under 5 ms on one core; each method is to take at most half of it.
// Every version of the plate kernel that this build holds and this processor runs is
// timed on the same blocks, round after round in turn, and printed side by side.
//
//   bench_detection [--rounds N] [--only VERSION] [--method M]
// (--only and --method narrow the run, for instruction counts under callgrind.)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "detection/lane_kernel.h"
#include "detection/peak_interval_histogram.h"
#include "detection/raw_block_analysis.h"

namespace {

using detection::internal::LaneKernelVersion;

constexpr int kChannels = 384;
constexpr int kRingChannels = 385;
constexpr int kRingSamples = 501;
constexpr double kBudgetMs = 2.5;  // half the bin end's 5 ms

struct Options {
  int rounds = 200;
  std::string only;  // a version's name, or every version
  int method = -1;   // one method, or all and the rest of the figures
};

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
  double best_ms = 0;
  double median_ms = 0;
  long total_count = 0;
};

using Work = std::function<long(std::vector<int16_t>&)>;

// Times each work on a fresh copy of the bin, taking them in turn round after round, so
// that the load of a shared machine falls on all of them alike.
std::vector<Figures> Time(const std::vector<int16_t>& pristine, const std::vector<Work>& works,
                          int rounds) {
  std::vector<std::vector<double>> ms(works.size());
  std::vector<Figures> figures(works.size());
  std::vector<int16_t> ring;
  for (int round = 0; round < rounds; ++round) {
    for (size_t w = 0; w < works.size(); ++w) {
      ring = pristine;  // the analysis clips in place: every round starts from the raw bin
      const auto t0 = std::chrono::steady_clock::now();
      figures[w].total_count = works[w](ring);
      const auto t1 = std::chrono::steady_clock::now();
      ms[w].push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
  }
  for (size_t w = 0; w < works.size(); ++w) {
    std::sort(ms[w].begin(), ms[w].end());
    figures[w].best_ms = ms[w].front();
    figures[w].median_ms = ms[w][ms[w].size() / 2];
  }
  return figures;
}

void PrintRow(const char* what, const std::vector<Figures>& f) {
  std::printf("  %-42s", what);
  for (const Figures& x : f)
    std::printf(" | %7.3f %7.3f %s", x.best_ms, x.median_ms,
                x.median_ms < kBudgetMs ? "ok  " : "OVER");
  std::printf(" | events");
  for (const Figures& x : f) std::printf(" %ld", x.total_count);
  std::printf("\n");
}

void PrintHeader(const std::vector<const LaneKernelVersion*>& versions) {
  std::printf("  %-42s", "ms per plate");
  for (const LaneKernelVersion* v : versions) std::printf(" | %-22s", v->name);
  std::printf("\n  %-42s", "");
  for (size_t k = 0; k < versions.size(); ++k) std::printf(" | %7s %7s %4s", "best", "median", "");
  std::printf("\n");
}

void RunLayout(const char* name, detection::BlockLayout layout,
               const std::vector<const LaneKernelVersion*>& versions, const Options& o) {
  std::printf("%s\n", name);
  PrintHeader(versions);
  const std::vector<int16_t> pristine = MakeRing(layout);
  detection::DetectionTraces traces;
  std::vector<int> channels(kChannels);
  for (int c = 0; c < kChannels; ++c) channels[static_cast<size_t>(c)] = c;
  std::vector<detection::DetectionResult> results(kChannels);
  auto plate = [&](const LaneKernelVersion* v, detection::DetectionParams p) -> Work {
    return [&, v, p](std::vector<int16_t>& ring) {
      detection::internal::AnalyzeRawBlocksWith(*v, ring, layout, channels, p, results, traces);
      long total = 0;
      for (const auto& r : results) total += r.count;
      return total;
    };
  };
  for (int method = 0; method <= 3; ++method) {
    if (o.method >= 0 && method != o.method) continue;
    detection::DetectionParams p;
    p.method = method;
    std::vector<Work> works;
    for (const LaneKernelVersion* v : versions) works.push_back(plate(v, p));
    char label[64];
    std::snprintf(label, sizeof label, "method %d, 384 channels in one call", method);
    PrintRow(label, Time(pristine, works, o.rounds));
  }
  if (o.method >= 0) return;

  // The one-channel entry and the histogram have one version each.
  for (int method = 0; method <= 3; ++method) {
    detection::DetectionParams p;
    p.method = method;
    const Work single = [&, p](std::vector<int16_t>& ring) mutable {
      long total = 0;
      for (int c = 0; c < kChannels; ++c) {
        p.channel = c;
        total += detection::AnalyzeRawBlock(ring, layout, p, traces).count;
      }
      return total;
    };
    char label[64];
    std::snprintf(label, sizeof label, "method %d, one call per channel", method);
    PrintRow(label, Time(pristine, {single}, std::max(1, o.rounds / 10)));
  }
  int16_t histogram[51];
  const Work h = [&](std::vector<int16_t>& ring) {
    long total = 0;
    for (int c = 0; c < kChannels; ++c) {
      detection::BuildPeakIntervalHistogram(ring, layout, c, histogram, 2.8);
      for (int g = 0; g < 50; ++g) total += histogram[g];
    }
    return total;
  };
  PrintRow("peak-interval histogram, 384 channels", Time(pristine, {h}, o.rounds));
  std::vector<Work> both;
  for (const LaneKernelVersion* v : versions) {
    both.push_back([&, v](std::vector<int16_t>& ring) {
      detection::DetectionParams p;
      detection::internal::AnalyzeRawBlocksWith(*v, ring, layout, channels, p, results, traces);
      long total = 0;
      for (int c = 0; c < kChannels; ++c) {
        total += results[static_cast<size_t>(c)].count;
        detection::BuildPeakIntervalHistogram(ring, layout, c, histogram, 2.8);
      }
      return total;
    });
  }
  PrintRow("body-bends bin end (method 1 + histogram)", Time(pristine, both, o.rounds));
}

Options Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--rounds") == 0) o.rounds = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--only") == 0) o.only = argv[i + 1];
    if (std::strcmp(argv[i], "--method") == 0) o.method = std::atoi(argv[i + 1]);
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = Parse(argc, argv);
  std::vector<const LaneKernelVersion*> versions;
  std::printf("Plate kernel versions in this build:");
  for (const LaneKernelVersion& v : detection::internal::LaneKernelVersions()) {
    const bool runs = v.runs_here();
    std::printf(" %s%s", v.name, runs ? "" : " (not on this processor)");
    if (runs && (o.only.empty() || o.only == v.name)) versions.push_back(&v);
  }
  std::printf("; the program uses %s\n", detection::internal::FastestLaneKernel().name);
  if (versions.empty()) {
    std::printf("no version to time\n");
    return 1;
  }
  std::printf(
      "Detection of one bin (500 samples) for 384 channels on one core; budget %.1f ms, "
      "%d rounds each (one-call-per-channel rows: %d)\n",
      kBudgetMs, o.rounds, std::max(1, o.rounds / 10));
  RunLayout("Block stored sample after sample (385 levels per sample, as recorded):",
            detection::SampleMajor(kRingChannels), versions, o);
  RunLayout("Block stored channel after channel (501 levels per channel):",
            detection::ChannelMajor(kRingSamples), versions, o);
  return 0;
}
