#include "detection/raw_block_analysis.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "detection/fast_round.h"
#include "platform/numeric.h"
#include "support/temp_folder.h"

namespace {

using detection::AnalyzeRawBlock;
using detection::ChannelMajor;
using detection::DetectionError;
using detection::DetectionParams;
using detection::DetectionResult;
using detection::DetectionTraces;
using detection::SampleMajor;
using Block = std::vector<int16_t>;

constexpr int16_t kUntouched = 12345;

Block Flat(int16_t level) { return Block(500, level); }

// Small ripple (peaks of 1010 on even samples, troughs of 1000 on odd ones) with dips
// to 800 at the given samples.
Block Rippled(std::initializer_list<int> dips = {}) {
  Block b(500);
  for (int i = 0; i < 500; ++i) b[i] = i % 2 ? 1000 : 1010;
  for (int s : dips) b[s] = 800;
  return b;
}

// One channel's samples at row `channel` of a sample-major block of `channels` rows.
Block SampleMajorBlock(int channels, int channel, const Block& samples, int16_t others) {
  Block ring(static_cast<size_t>(channels) * 501, others);
  for (int s = 0; s < 500; ++s) ring[s * channels + channel] = samples[s];
  return ring;
}

DetectionTraces FreshTraces() {
  DetectionTraces t;
  t.Threshold_Trace.fill(kUntouched);
  return t;
}

DetectionParams Params(int method, double threshold = 1.8) {
  DetectionParams p;
  p.method = method;
  p.threshold = threshold;
  return p;
}

// Exporting the marks line to `folder` with time `time`.
DetectionParams Exporting(int method, const std::filesystem::path& folder, int32_t time) {
  DetectionParams p = Params(method);
  p.export_flag = 1;
  p.folder = folder.string();
  p.time = time;
  return p;
}

DetectionResult Analyze(Block& b, int method, double threshold, DetectionTraces& traces) {
  return AnalyzeRawBlock(b, ChannelMajor(500), Params(method, threshold), traces);
}

std::vector<int> MarkedSamples(const DetectionTraces& t) {
  std::vector<int> at;
  for (int i = 0; i < detection::kTraceEntries; ++i)
    if (t.Event_Marks[i] == -1) at.push_back(i);
  return at;
}

std::string MarksWithOnesAt(std::initializer_list<int> ones) {
  std::string m(500, '0');
  for (int i : ones) m[i] = '1';
  return m;
}

TEST(AnalyzeRawBlock, FlatBlockPerMethod) {
  for (int method : {0, 1}) {
    // K = 1: the first four use 1.75 x K without history, then the trace climbs towards
    // 99% of the envelope, meeting exact halves on the way:
    // 0.9825 x 1000 = 982.5 -> 982, and (984 + 982 + 982 + 990) / 4 = 984.5 -> 984.
    Block b = Flat(1000);
    DetectionTraces t = FreshTraces();
    EXPECT_EQ(Analyze(b, method, 1.8, t).count, 0) << method;
    EXPECT_EQ(b, Flat(1000));
    const int16_t expected[] = {982, 982, 982, 982, 984, 984, 985, 986, 986, 987, 987, 988};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(t.Threshold_Trace[i], expected[i]) << i;
    EXPECT_EQ(t.Threshold_Trace[500], kUntouched);
  }
  Block b = Flat(1010);
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(Analyze(b, 2, 1.8, t).count, 0);
  EXPECT_EQ(t.Threshold_Trace[0], kUntouched);  // method 2 starts its trace at 1
  EXPECT_EQ(t.Threshold_Trace[1], -5);          // D = 0 less the minimum amplitude 5
  EXPECT_EQ(t.Threshold_Trace[499], -5);
  // Method 3's trace lies above a flat signal: one event at sample 1, never re-armed.
  DetectionTraces t3 = FreshTraces();
  EXPECT_EQ(Analyze(b, 3, 1.8, t3).count, 1);
  EXPECT_EQ(MarkedSamples(t3), std::vector<int>{1});
  EXPECT_EQ(t3.Threshold_Trace[0], 1818);
  DetectionTraces t1 = FreshTraces();
  EXPECT_EQ(Analyze(b, 3, 1.0, t1).count, 0);
}

TEST(AnalyzeRawBlock, WindowedMethodEvaluatesEvery30Samples) {
  // A dip in window 0..30, ten in window 31..60, one after the last window end (480).
  Block b = Rippled({15, 33, 35, 37, 39, 41, 43, 45, 47, 49, 51, 491});
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(Analyze(b, 0, 1.8, t).count, 2);
  EXPECT_EQ(MarkedSamples(t), (std::vector<int>{30, 60}));
}

TEST(AnalyzeRawBlock, CrossingsMarkTheirSamplesAndMarksAccumulate) {
  Block b = Rippled({101, 201, 301});
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(Analyze(b, 1, 1.8, t).count, 3);
  EXPECT_EQ(MarkedSamples(t), (std::vector<int>{101, 201, 301}));
  // The analysis never clears the marks: a second block adds to the first one's.
  Block c = Rippled({151, 251});
  EXPECT_EQ(Analyze(c, 1, 1.8, t).count, 2);
  EXPECT_EQ(MarkedSamples(t), (std::vector<int>{101, 151, 201, 251, 301}));
}

TEST(AnalyzeRawBlock, CrossingsReArmOnlyAboveTheTrace) {
  // Between two dips the signal climbs back to exactly the trace the analysis reports
  // (iterated until it no longer moves): the second dip is not counted.
  Block b = Rippled({101, 121});
  bool settled = false;
  for (int round = 0; round < 8 && !settled; ++round) {
    Block probe = b;
    DetectionTraces t = FreshTraces();
    Analyze(probe, 1, 1.8, t);
    settled = true;
    for (int i = 102; i <= 120; ++i) {
      settled &= b[i] == t.Threshold_Trace[i];
      b[i] = t.Threshold_Trace[i];
    }
  }
  ASSERT_TRUE(settled);
  Block equal = b;
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(Analyze(equal, 1, 1.8, t).count, 1);
  EXPECT_EQ(MarkedSamples(t), std::vector<int>{101});
  Block above = b;
  above[110] = static_cast<int16_t>(above[110] + 1);
  DetectionTraces u = FreshTraces();
  EXPECT_EQ(Analyze(above, 1, 1.8, u).count, 2);
}

TEST(AnalyzeRawBlock, SpikeIsClippedInPlaceInTheAnalysedChannelOnly) {
  // A = 18, B = 1009 over the raw pass: K = 4.21, the clipping trace settles at 1053 over
  // the 1010 envelope. Only the spike of channel 7 moves, in the caller's block.
  constexpr int kChannels = 385;
  Block spiky = Rippled();
  spiky[200] = 3000;
  Block ring = SampleMajorBlock(kChannels, 7, spiky, 1010);
  ring[200 * kChannels + 8] = 3000;
  DetectionParams p = Params(1);
  p.channel = 7;
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(AnalyzeRawBlock(ring, SampleMajor(kChannels), p, t).error, DetectionError::kNone);
  Block expected = SampleMajorBlock(kChannels, 7, Rippled(), 1010);
  expected[200 * kChannels + 7] = 1053;
  expected[200 * kChannels + 8] = 3000;
  EXPECT_EQ(ring, expected);

  // A row the block does not hold: nothing read, written or counted.
  for (int channel : {-1, 385, 100000}) {
    p.channel = channel;
    DetectionTraces u = FreshTraces();
    const DetectionResult bad = AnalyzeRawBlock(ring, SampleMajor(kChannels), p, u);
    EXPECT_EQ(bad.error, DetectionError::kBlockTooSmall) << channel;
    EXPECT_EQ(bad.count, 0);
    EXPECT_EQ(u.Threshold_Trace[0], kUntouched);
  }
  Block short_block(499, 1000);
  p.channel = 0;
  EXPECT_EQ(AnalyzeRawBlock(short_block, ChannelMajor(500), p, t).error,
            DetectionError::kBlockTooSmall);
  EXPECT_EQ(ring, expected);
}

TEST(AnalyzeRawBlock, MotilityCountsSustainedExcursions) {
  // A ramp up over 9 samples, a plateau, a ramp down: the 10-sample mean rises from
  // sample 91 and falls from 132, counting on the tenth step of each run.
  Block b = Flat(1000);
  for (int j = 0; j < 9; ++j) b[100 + j] = static_cast<int16_t>(1001 + j);
  for (int i = 109; i <= 140; ++i) b[i] = 1009;
  for (int j = 0; j < 9; ++j) b[141 + j] = static_cast<int16_t>(1008 - j);
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(Analyze(b, 2, 1.8, t).count, 2);
  EXPECT_EQ(t.Threshold_Trace[101], 1);   // D(101) = 6.2, less G = 5
  EXPECT_TRUE(MarkedSamples(t).empty());  // method 2 leaves Event_Marks alone

  // A rise of exactly ten steps followed by a flat stretch counts at every flat step.
  Block f = Flat(1000);
  f[100] = 1004;
  for (int i = 101; i <= 119; ++i) f[i] = 1008;
  testsupport::TempProgramFolder folder;
  DetectionTraces u = FreshTraces();
  EXPECT_EQ(AnalyzeRawBlock(f, ChannelMajor(500), Exporting(2, folder.path(), 5), u).count, 10);
  EXPECT_EQ(testsupport::ReadBytes(folder / "ch0.raw"),
            "5 " + MarksWithOnesAt({101, 102, 103, 104, 105, 106, 107, 108, 109, 110}) + "\r\n");

  // The floor search starts from 10000: a flat 12000 is an excursion of 2000.
  Block high = Flat(12000);
  DetectionTraces h = FreshTraces();
  EXPECT_EQ(Analyze(high, 2, 1.8, h).count, 0);
  EXPECT_EQ(h.Threshold_Trace[1], 1995);
}

TEST(AnalyzeRawBlock, DrosophilaTraceAndTwoSampleMean) {
  Block b = Rippled({101, 301});
  b[201] = 960;  // under the trace, but its two-sample means (985) are not
  DetectionTraces t = FreshTraces();
  // The trace is the peak mean times the threshold: 1010 x 0.97 = 979.7 -> 980. A dip
  // pulls two successive two-sample means under it but counts once.
  EXPECT_EQ(Analyze(b, 3, 0.97, t).count, 2);
  EXPECT_EQ(MarkedSamples(t), (std::vector<int>{101, 301}));
  for (int i = 0; i < 500; ++i) ASSERT_EQ(t.Threshold_Trace[i], 980) << i;
}

TEST(AnalyzeRawBlock, PeakMeansRoundHalfToEven) {
  // One peak at 16 makes the first window P(1..30) half base, half base + 1; with
  // threshold 1 the first four trace values are the means themselves.
  for (int16_t base : {1000, 1001}) {
    Block b = Flat(base);
    b[16] = static_cast<int16_t>(base + 1);
    DetectionTraces t = FreshTraces();
    Analyze(b, 3, 1.0, t);
    EXPECT_EQ(t.Threshold_Trace[0], base == 1000 ? 1000 : 1002);  // 1000.5, 1001.5
    EXPECT_EQ(t.Threshold_Trace[1], base == 1000 ? 1001 : 1002);  // 1000.53 -> 1001
  }
}

TEST(AnalyzeRawBlock, PassesAreSeededFromSamplesOneAndTwo) {
  // The raw pass seeds its peak track with sample 1: a dark sample there leaves the
  // track at 0 on a block without strict peaks, so the whole block is clipped to 0.
  Block dark_first = Flat(1000);
  dark_first[1] = 0;
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(Analyze(dark_first, 1, 1.8, t).count, 0);
  EXPECT_EQ(dark_first, Flat(0));
  // The clipped pass seeds with sample 2: there a dark sample sets the trace to 0.
  Block dark_second = Flat(1000);
  dark_second[2] = 0;
  DetectionTraces u = FreshTraces();
  EXPECT_EQ(Analyze(dark_second, 1, 1.8, u).count, 0);
  EXPECT_EQ(u.Threshold_Trace[0], 0);
  EXPECT_EQ(u.Threshold_Trace[499], 0);
  EXPECT_EQ(dark_second[10], 1000);
}

TEST(AnalyzeRawBlock, UnknownMethodClipsAndExportsZeros) {
  testsupport::TempProgramFolder folder;
  Block b = Rippled();
  b[200] = 3000;
  DetectionTraces t = FreshTraces();
  const DetectionResult r = AnalyzeRawBlock(b, ChannelMajor(500), Exporting(7, folder.path(), 37), t);
  EXPECT_EQ(r.count, 0);
  EXPECT_EQ(r.error, DetectionError::kNone);
  EXPECT_EQ(b[200], 1053);
  EXPECT_EQ(t.Threshold_Trace[0], kUntouched);
  EXPECT_TRUE(MarkedSamples(t).empty());
  EXPECT_EQ(testsupport::ReadBytes(folder / "ch0.raw"), "37 " + std::string(500, '0') + "\r\n");
}

TEST(AnalyzeRawBlock, MarksLinesAreAppendedOrTheirFailureReported) {
  testsupport::TempProgramFolder folder;
  constexpr int kChannels = 20;
  Block ring = SampleMajorBlock(kChannels, 12, Rippled({101, 201, 301}), 1010);
  DetectionParams p = Exporting(1, folder.path(), 37);
  p.channel = 12;
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(AnalyzeRawBlock(ring, SampleMajor(kChannels), p, t).count, 3);
  p.time = 38;
  AnalyzeRawBlock(ring, SampleMajor(kChannels), p, t);
  const std::string marks = MarksWithOnesAt({101, 201, 301});
  EXPECT_EQ(testsupport::ReadBytes(folder / "ch12.raw"),
            "37 " + marks + "\r\n" + "38 " + marks + "\r\n");

  // Only exactly 1 exports (a Boolean True of -1 does not).
  p.export_flag = -1;
  p.folder = (folder / "other").string();
  std::filesystem::create_directory(folder / "other");
  EXPECT_EQ(AnalyzeRawBlock(ring, SampleMajor(kChannels), p, t).error, DetectionError::kNone);
  EXPECT_FALSE(std::filesystem::exists(folder / "other" / "ch12.raw"));

  // A folder that cannot be written: still counted, the failure reported.
  for (const std::string& where : {(folder / "missing").string(), std::string()}) {
    p.export_flag = 1;
    p.folder = where;
    const DetectionResult r = AnalyzeRawBlock(ring, SampleMajor(kChannels), p, t);
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(r.error, DetectionError::kMarksWriteFailed);
  }
}

TEST(AnalyzeRawBlock, WideArithmeticOnSpikyChannelsAndLargeThresholds) {
  // Full-scale ripple with threshold 6: the clipping trace reaches 13 x 4095, beyond
  // 16 bits. It is worked out wide: nothing clipped, every low sample counted.
  Block spiky(500);
  for (int i = 0; i < 500; ++i) spiky[i] = i % 2 ? 4095 : 0;
  Block b = spiky;
  DetectionTraces t = FreshTraces();
  EXPECT_EQ(Analyze(b, 1, 6.0, t).count, 250);
  EXPECT_EQ(b, spiky);
  // A trace beyond 16 bits is saturated only where it is stored.
  Block flat = Flat(1010);
  DetectionTraces s = FreshTraces();
  EXPECT_EQ(Analyze(flat, 3, 1000.0, s).count, 1);
  EXPECT_EQ(s.Threshold_Trace[0], 32767);
}

TEST(AnalyzeRawBlock, BadInputGivesADefinedCount) {
  Block extremes(500);
  for (int i = 0; i < 500; ++i) extremes[i] = (i * 7919) % 3 == 0 ? -32768 : (i % 5 ? 32767 : 0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int method : {-1, 0, 1, 2, 3, 4}) {
    for (double threshold : {0.0, -3.0, 1.8, 1e9, nan}) {
      for (const Block& source : {extremes, Flat(-5), Flat(0), Flat(4095)}) {
        // Twice the same: any read of something unset would show as a difference.
        Block b1 = source, b2 = source;
        DetectionTraces t1 = FreshTraces(), t2 = FreshTraces();
        const int c1 = Analyze(b1, method, threshold, t1).count;
        EXPECT_GE(c1, 0);
        EXPECT_LE(c1, 500);
        EXPECT_EQ(c1, Analyze(b2, method, threshold, t2).count);
        EXPECT_EQ(b1, b2);
      }
    }
  }
  // A threshold of 0 or below leaves the margin at its floor of 1, like a flat block.
  for (double threshold : {0.0, -3.0}) {
    Block b = Rippled({101, 201});
    DetectionTraces t = FreshTraces();
    EXPECT_EQ(Analyze(b, 1, threshold, t).count, 2);
  }
}

TEST(DetectionRounding, MatchesTheSharedHalfToEvenRule) {
  for (double v : {0.5, 1.5, 2.5, -0.5, -2.5, 982.5, 1000.4999999, 3.5000001, 1e15 + 0.5,
                   4503599627370497.0}) {
    EXPECT_EQ(detection::internal::RoundEven(v), platform::RoundHalfEven(v)) << v;
  }
}

}  // namespace
