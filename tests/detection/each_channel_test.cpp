// The plate analysis with every channel's own trace and marks: each channel's display
// is the one a call for that channel alone leaves.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "detection/raw_block_analysis.h"

namespace {

using detection::DetectionParams;
using detection::DetectionResult;
using detection::DetectionTraces;

TEST(AnalyzeRawBlocks, EachChannelGetsTheDisplayOfItsOwnCall) {
  constexpr int kRows = 37;  // more than two passes of lanes, the last one part-filled
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> base(1500, 3000), noise(0, 20), dip(0, 45);
  std::vector<int16_t> block(static_cast<size_t>(kRows) * 500);
  for (int c = 0; c < kRows; ++c) {
    const int level = base(rng);
    for (int s = 0; s < 500; ++s) {
      int v = level + noise(rng);
      if (dip(rng) == 0) v -= 200 + 7 * c;
      if (s == 77 + c) v += 2500;  // a spike the analysis clips
      block[static_cast<size_t>(c) * 500 + static_cast<size_t>(s)] = static_cast<int16_t>(v);
    }
  }
  // Every row but two, out of order.
  std::vector<int> channels;
  for (int c = 0; c < kRows; ++c)
    if (c != 4 && c != 20) channels.push_back((c * 11) % kRows);

  for (int method : {0, 1, 2, 3, 7}) {
    for (double threshold : {1.8, 4.0}) {
      SCOPED_TRACE(::testing::Message() << "method " << method << " threshold " << threshold);
      DetectionParams params;
      params.method = method;
      params.threshold = threshold;
      std::vector<int16_t> batch = block;
      std::vector<DetectionResult> results(channels.size());
      // Entries the analysis never writes keep what the caller put there.
      DetectionTraces untouched;
      untouched.Threshold_Trace.fill(9);
      untouched.Event_Marks.fill(5);
      DetectionTraces last = untouched;
      std::vector<DetectionTraces> each(channels.size(), untouched);
      detection::AnalyzeRawBlocks(batch, detection::ChannelMajor(500), channels, params, results,
                                  last, each);

      for (size_t k = 0; k < channels.size(); ++k) {
        std::vector<int16_t> alone = block;
        DetectionTraces own = untouched;
        params.channel = channels[k];
        const DetectionResult r =
            detection::AnalyzeRawBlock(alone, detection::ChannelMajor(500), params, own);
        ASSERT_EQ(results[k].count, r.count) << "channel " << channels[k];
        ASSERT_EQ(each[k].Threshold_Trace, own.Threshold_Trace) << "channel " << channels[k];
        ASSERT_EQ(each[k].Event_Marks, own.Event_Marks) << "channel " << channels[k];
        if (k + 1 == channels.size()) {
          EXPECT_EQ(last.Threshold_Trace, own.Threshold_Trace);  // the shared display as before
        }
      }
      EXPECT_EQ(batch, [&] {
        std::vector<int16_t> clipped = block;
        for (int c : channels) {
          params.channel = c;
          DetectionTraces t;
          detection::AnalyzeRawBlock(clipped, detection::ChannelMajor(500), params, t);
        }
        return clipped;
      }());
    }
  }
}

}  // namespace
