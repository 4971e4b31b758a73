#include "offline/page_reanalysis.h"

#include "detection/raw_block_analysis.h"
#include "offline/signal_view.h"
#include "raw_fixture.h"

namespace offline_test {
namespace {

using offline::Rgb;

TEST(PageReanalysis, TheThresholdBox) {
  struct Case {
    const char* text;
    double value;
    bool replaced;
  };
  const std::vector<Case> cases = {
      {"6", 6.0, false},   {"6.1", 1.8, true},  {"1.0", 1.8, true}, {"2,5", 2.5, false},
      {"1,8", 1.8, false}, {"1.1", 1.1, false}, {"abc", 1.8, true}, {"", 1.8, true},
  };
  for (const Case& c : cases) {
    const offline::ThresholdChoice got = offline::ReadThresholdBox(c.text);
    EXPECT_DOUBLE_EQ(got.value, c.value) << c.text;
    EXPECT_EQ(got.replaced, c.replaced) << c.text;
  }
  EXPECT_EQ(offline::ThresholdBoxText(1.8, '.'), "1.8");
  EXPECT_EQ(offline::ThresholdBoxText(1.8, ','), "1,8");
  EXPECT_EQ(offline::AnalysisMethod(1), 1);
  EXPECT_EQ(offline::AnalysisMethod(0), 0);
  EXPECT_EQ(offline::AnalysisMethod(-1), 0);
}

// A level around 2000 with a little ripple, a dip every 40 samples (deeper in later bins
// and on higher channels) and an upward spike the detection clips.
int16_t Activity(int64_t bin, int c, int s) {
  int v = 2000 + (s * 7 + c) % 13;
  if (s % 40 < 3) v -= 300 + 10 * static_cast<int>(bin % 5) + c;
  if (s == 123) v += 3000;
  return static_cast<int16_t>(v);
}

class ReanalysisTest : public RawTest {
 protected:
  ReanalysisTest() {
    // A1 has three beams (channels 0, 2, 4), beam list entries 3 and 4 stay empty.
    WritePlate("w3b", 1, 1, {{0, 0, 0}, {2, 0, 1}, {4, 0, 2}});
    folder_ = MakeRawRun({"w3b"});
    run_ = LoadRun(folder_);
    beams_ = offline::BeamList(run_, 0);
    // Bins 0..61: file 5 ends after bin 61, counts.bin holds records 0..62.
    SparseFile(folder_ / "4.bin", 6 * kRecordBytes);
    AppendRawBins(folder_, 50, 12, Activity);
    std::vector<int32_t> minutes;
    for (int r = 0; r < 63; ++r) minutes.push_back(1000 + r);
    WriteCountsMinutes(folder_, minutes);
    files_ = offline::CountRawFiles(folder_, 500);
    page_ = offline::LoadRawPage(folder_, 500, files_, 2);
  }
  fs::path folder_;
  offline::LoadedRun run_;
  std::vector<int> beams_;
  offline::RawFiles files_;
  offline::RawPage page_;
};

TEST_F(ReanalysisTest, CountsEachBeamOnACopyAndLeavesThePageAsRecorded) {
  const offline::RawPage before = page_;
  const offline::PageAnalysis got =
      offline::AnalyzePage(page_, beams_, folder_ / "counts.bin", 2.5, 1);

  // The sums of blocks 0..9 per beam are the counts of bins 50..59 analysed one by one,
  // and each block's trace is the one its own call leaves.
  for (size_t k = 0; k < 3; ++k) {
    int32_t expected = 0;
    for (int b = 0; b < 10; ++b) {
      std::array<int16_t, 500> samples{};
      for (int s = 0; s < 500; ++s) samples[size_t(s)] = Activity(50 + b, beams_[k], s);
      detection::DetectionParams p;
      p.threshold = 2.5;
      p.method = 1;
      detection::DetectionTraces t;
      expected += detection::AnalyzeRawBlock(samples, detection::ChannelMajor(500), p, t).count;
      for (int s = 0; s < 500; ++s)
        ASSERT_EQ(got.traces[k][size_t(b)][size_t(s)], t.Threshold_Trace[size_t(s)])
            << "beam " << k << " block " << b << " sample " << s;
    }
    EXPECT_GT(expected, 0);
    EXPECT_EQ(got.sums[k][0], expected) << "beam " << k;
  }
  EXPECT_EQ(got.sums[3], (std::array<int32_t, 5>{}));
  // Minutes over block 9 of page 2 come from record 59; counts.bin ends before record 69.
  EXPECT_EQ(got.minutes[0], 1059);
  EXPECT_FALSE(got.minutes[1].has_value());
  EXPECT_FALSE(got.minutes[4].has_value());

  for (int b = 0; b < offline::kPageBlocks; ++b)
    for (int c : {0, 2, 4})
      for (int s = 0; s <= 500; ++s)
        ASSERT_EQ(page_.Level(c, b, s), before.Level(c, b, s)) << b << " " << c << " " << s;
}

TEST_F(ReanalysisTest, DrawsTheCountRowsTheMinutesAndAKeyBarPerBeam) {
  const offline::PageAnalysis got =
      offline::AnalyzePage(page_, beams_, folder_ / "counts.bin", 1.8, 0);
  const ui::DrawPlan plan = offline::PageAnalysisPlan(got, offline::BeamColours(2));
  std::vector<std::tuple<double, double, std::string>> texts;
  std::vector<std::tuple<double, double, int32_t>> bars;
  size_t traces = 0;
  for (const ui::DrawOp& op : plan.Ops()) {
    if (op.kind == ui::OpKind::kText) texts.emplace_back(op.x1, op.y1, op.text);
    if (op.kind == ui::OpKind::kFill) bars.emplace_back(op.y1, op.y2, op.color);
    if (op.kind == ui::OpKind::kTrace) {
      ++traces;
      EXPECT_EQ(op.color, Rgb(128, 128, 128));
      EXPECT_EQ(op.points.size(), 500u);
    }
  }
  EXPECT_EQ(traces, 50u * 3u);
  std::vector<std::tuple<double, double, std::string>> expected;
  for (int t = 0; t < 5; ++t) {
    for (size_t k = 0; k < 3; ++k)
      expected.emplace_back(5000.0 * t + 4000, 100.0 * k + 100,
                            std::to_string(got.sums[k][size_t(t)]));
    if (t == 0) expected.emplace_back(4000, 2150, "1059");
  }
  expected.emplace_back(100, 2150, "Time(min)");
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(bars,
            (std::vector<std::tuple<double, double, int32_t>>{
                {20, 40, Rgb(255, 0, 0)}, {120, 140, Rgb(0, 0, 255)}, {220, 240, Rgb(0, 255, 0)}}));
}

TEST(PageReanalysis, CountRowsStayBelowTheMinutes) {
  // Entries and a text line in picture units; rows, columns, spacing, column width.
  const std::tuple<int, double, int, int, double, double> cases[] = {
      {32, 0, 32, 1, 100, 0},      // text size unknown: 100 apart
      {21, 50, 21, 1, 100, 0},     // row 20's top at 2100, the minutes from 2100 up
      {21, 80, 21, 1, 98.5, 480},  // closer
      {32, 80, 16, 2, 100, 480},   // 25 would fit at a line apart: two columns
      {32, 130, 11, 3, 130, 480},  // a line above 100 units: the rows a line apart
      {32, 700, 2, 16, 700, 480},
  };
  for (const auto& [entries, line, rows, columns, spacing, width] : cases) {
    const offline::CountRows got = offline::CountRowsLayout(entries, {line, 120}, 3);
    EXPECT_EQ(std::tuple(got.rows, got.columns, got.spacing, got.column_width),
              std::tuple(rows, columns, spacing, width))
        << entries << " " << line;
  }
}

TEST_F(ReanalysisTest, AMissingCountsFileLeavesTheMinutesOut) {
  const offline::PageAnalysis got =
      offline::AnalyzePage(page_, beams_, folder_ / "no counts.bin", 1.8, 1);
  for (const auto& m : got.minutes) EXPECT_FALSE(m.has_value());
}

}  // namespace
}  // namespace offline_test
