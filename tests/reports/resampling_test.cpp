#include "reports/resampling.h"

#include <gtest/gtest.h>

#include <numeric>

#include "storage/run_files.h"
#include "storage/run_loading.h"
#include "support/temp_folder.h"

namespace reports {
namespace {

// Records with the given minute stamps; channel 0 counts `per_record` in each, channel 5
// counts the record index, temperature 250.
CountsRecords MakeRecords(const std::vector<int32_t>& minutes, int per_record = 10) {
  CountsRecords r;
  const size_t n = minutes.size();
  r.RecordTime = minutes;
  r.RecordTime.push_back(0);
  r.RecordTemperature.assign(n + 1, 250);
  r.RecordTemperature[n] = 0;
  r.RecordCounts = Table2D<int16_t>(n + 1, kChannelEntries, 0);
  for (size_t j = 0; j < n; ++j) {
    r.RecordCounts(j, 0) = static_cast<int16_t>(per_record);
    r.RecordCounts(j, 5) = static_cast<int16_t>(j);
  }
  return r;
}

std::vector<int32_t> Minutes(int32_t first, int32_t last) {
  std::vector<int32_t> m;
  for (int32_t t = first; t <= last; ++t) m.push_back(t);
  return m;
}

// The partial-bin table for B = 30 on one-minute records 1..T of 10 counts each: whole
// bins collect 300 counts; a kept partial bin is scaled up (25 records x 10 x 1.1667).
TEST(ResampleCounts, PartialBinTable) {
  const struct {
    int32_t T, expect_T, expect_result, last_bin_counts;
  } cases[] = {
      {120, 120, 3, 300}, {110, 90, 2, 300}, {115, 120, 3, 292}, {20, 0, -1, 0}, {25, 30, 0, 292}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.T);
    const CountsRecords in = MakeRecords(Minutes(1, c.T));
    BinRecords out;
    int32_t T = c.T;
    const int32_t result = ResampleCounts(T, c.T - 1, 30, in, out);
    EXPECT_EQ(result, c.expect_result);
    EXPECT_EQ(T, c.expect_T);
    for (int32_t b = 0; b <= result; ++b) {
      const auto j = static_cast<size_t>(b);
      EXPECT_EQ(out.RecordTime[j], (b + 1) * 30);
      EXPECT_EQ(out.RecordTemperature[j], 250);
      EXPECT_EQ(out.RecordCounts(j, 0), b == result ? c.last_bin_counts : 300);
    }
  }
  // Records 30b .. 30b + 29 carry their own index in channel 5.
  const CountsRecords in = MakeRecords(Minutes(1, 120));
  BinRecords out;
  int32_t T = 120;
  ASSERT_EQ(ResampleCounts(T, 119, 30, in, out), 3);
  for (size_t b = 0; b < 4; ++b)
    EXPECT_EQ(out.RecordCounts(b, 5), static_cast<int32_t>(900 * b + 435));
  EXPECT_EQ(out.RecordCounts(0, kChannelCount), 0);
}

// Fifteen-second records share minute stamps (the minute of the tick before the bin
// closed); every count must land in a bin and the bins must not drift over a week.
TEST(ResampleCounts, ShortRecordsAreConservedWithoutDrift) {
  std::vector<int32_t> minutes;
  for (int r = 0; r < 4 * 60 * 24 * 7; ++r) minutes.push_back(r / 4);
  CountsRecords in = MakeRecords(minutes, 1);
  // Activity only during hour 150 of the run.
  for (size_t j = 0; j < minutes.size(); ++j) in.RecordCounts(j, 7) = (j / 240 == 150) ? 4 : 0;
  const int32_t N = static_cast<int32_t>(minutes.size()) - 1;
  int32_t T = minutes.back();
  BinRecords out;
  const int32_t result = ResampleCounts(T, N, 60, in, out);
  ASSERT_EQ(result, 24 * 7 - 1);
  EXPECT_EQ(T, 10080);
  int64_t total = 0;
  for (int32_t b = 0; b <= result; ++b) total += out.RecordCounts(static_cast<size_t>(b), 0);
  EXPECT_NEAR(static_cast<double>(total), 40320.0, 8.0);
  EXPECT_GE(out.RecordCounts(150, 7), 940);
  EXPECT_NEAR(out.RecordCounts(149, 7) + out.RecordCounts(150, 7) + out.RecordCounts(151, 7), 960,
              1);
  EXPECT_EQ(out.RecordCounts(148, 7), 0);
  EXPECT_EQ(out.RecordCounts(156, 7), 0);
}

TEST(ResampleCounts, GapFollowsRecordTime) {
  // Minutes 1..30, then nothing until 91..120: an interrupted recording.
  std::vector<int32_t> minutes = Minutes(1, 30);
  const std::vector<int32_t> later = Minutes(91, 120);
  minutes.insert(minutes.end(), later.begin(), later.end());
  ASSERT_TRUE(HasRecordingGap(minutes, 59));
  const CountsRecords in = MakeRecords(minutes);
  BinRecords out;
  int32_t T = 120;
  ASSERT_EQ(ResampleCounts(T, 59, 30, in, out), 3);
  EXPECT_EQ(out.RecordCounts(0, 0), 300);
  EXPECT_EQ(out.RecordCounts(1, 0), 0);
  EXPECT_EQ(out.RecordCounts(2, 0), 0);
  EXPECT_EQ(out.RecordCounts(3, 0), 300);
  EXPECT_EQ(out.RecordTemperature[1], 0);
  // The interruption's bins got no record: no data, rather than no activity.
  EXPECT_TRUE(out.HasRecords(0));
  EXPECT_FALSE(out.HasRecords(1));
  EXPECT_FALSE(out.HasRecords(2));
  EXPECT_TRUE(out.HasRecords(3));
  // Without a gap every bin holds records.
  T = 120;
  ASSERT_EQ(ResampleCounts(T, 119, 30, MakeRecords(Minutes(1, 120)), out), 3);
  EXPECT_TRUE(out.BinHasRecords.empty());
  EXPECT_TRUE(out.HasRecords(2));
}

TEST(ResampleCounts, GapDetection) {
  const struct {
    std::vector<int32_t> minutes;
    bool gap;
  } cases[] = {
      {{0, 0, 0, 1, 1, 1, 1, 2, 2}, false},  // 15-second records: the first interval is 1 minute
      {{0, 0, 0, 1, 5, 5}, true},            // a jump of 4 minutes
      {{5, 10, 15, 20}, false},              // 5-minute records
      {{5, 10, 15, 40}, true},
      {{5, 10, 2, 12}, false},  // a step back is skipped
      {{3}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HasRecordingGap(c.minutes, static_cast<int32_t>(c.minutes.size()) - 1), c.gap)
        << c.minutes.back();
}

TEST(ResampleCounts, TemperatureKeepsLastPositiveReading) {
  CountsRecords in = MakeRecords(Minutes(1, 60));
  for (size_t j = 0; j < 60; ++j) in.RecordTemperature[j] = j < 20 ? 300 : (j < 30 ? 0 : -5);
  BinRecords out;
  int32_t T = 60;
  ASSERT_EQ(ResampleCounts(T, 59, 30, in, out), 1);
  EXPECT_EQ(out.RecordTemperature[0], 300);
  EXPECT_EQ(out.RecordTemperature[1], 0);
}

TEST(ResampleCounts, EndTimesAreNotLimitedTo16Bits) {
  const CountsRecords in = MakeRecords(Minutes(1, 30 * 1440));
  BinRecords out;
  int32_t T = 30 * 1440;
  const int32_t result = ResampleCounts(T, 30 * 1440 - 1, 5, in, out);
  ASSERT_EQ(result, 30 * 1440 / 5 - 1);
  EXPECT_EQ(out.RecordTime[static_cast<size_t>(result)], 43200);
}

TEST(ResampleCounts, NothingToReport) {
  BinRecords out;
  int32_t T = 0;
  EXPECT_EQ(ResampleCounts(T, 0, 30, MakeRecords({0}), out), -1);  // shorter than a minute
  T = 30;
  EXPECT_EQ(ResampleCounts(T, 0, 0, MakeRecords({30}), out), -1);  // bin 0
  T = 30;
  EXPECT_EQ(ResampleCounts(T, 5, 30, MakeRecords({30}), out), -1);  // N past the tables
  EXPECT_EQ(T, 0);
  // A single record of one minute is a run of one minute.
  T = 1;
  EXPECT_EQ(ResampleCounts(T, 0, 1, MakeRecords({1}), out), 0);
  EXPECT_EQ(out.RecordCounts(0, 0), 10);
  // A damaged file whose last minute lies near the 32-bit limit: with 30000-minute bins
  // the last bin would end past that limit.
  T = INT32_MAX;
  EXPECT_EQ(ResampleCounts(T, 1, 30000, MakeRecords({1000, INT32_MAX}), out), -1);
  EXPECT_EQ(T, 0);
}

// The records kept as stored in counts.bin rebin exactly as the loaded table does:
// runs of quarter-minute records without and with an interruption, a short last bin,
// temperatures missing now and then.
TEST(ResampleCounts, StoredRecordsRebinAsTheLoadedTable) {
  testsupport::TempProgramFolder home;
  const struct {
    const char* what;
    int records;
    int gap_after;  // record after which 40 minutes go missing, -1 for none
    int32_t bin;
  } cases[] = {{"steady", 1000, -1, 30}, {"interrupted", 600, 300, 15}, {"one bin", 90, -1, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto file = home / (std::string(c.what) + ".bin");
    std::string bytes;
    storage::CountsRecord rec;
    for (int k = 0; k < c.records; ++k) {
      rec.Elapsed_Minutes = k / 4 + (c.gap_after >= 0 && k > c.gap_after ? 40 : 0);
      for (int ch = 0; ch < 385; ++ch)
        rec.Counts[static_cast<size_t>(ch)] = static_cast<int16_t>((k * 7 + ch * 13) % 41 - 3);
      rec.Counts[384] = static_cast<int16_t>(k % 9 == 0 ? 0 : 200 + k % 50);
      bytes += storage::EncodeCountsRecord(rec);
    }
    testsupport::WriteBytes(file, bytes);
    CountsRecords loaded;
    storage::StoredCountsRecords stored;
    const int32_t N = storage::LoadCountsFile(file, loaded);
    ASSERT_EQ(storage::LoadStoredCountsFile(file, stored), N);
    int32_t T_loaded = loaded.RecordTime[static_cast<size_t>(N)], T_stored = T_loaded;
    BinRecords a, b;
    const int32_t last = ResampleCounts(T_loaded, N, c.bin, loaded, a);
    ASSERT_EQ(ResampleCounts(T_stored, N, c.bin, stored, b), last);
    EXPECT_EQ(T_stored, T_loaded);
    EXPECT_EQ(b.RecordTime, a.RecordTime);
    EXPECT_EQ(b.RecordTemperature, a.RecordTemperature);
    EXPECT_EQ(b.BinHasRecords, a.BinHasRecords);
    ASSERT_EQ(b.RecordCounts.rows(), a.RecordCounts.rows());
    for (size_t j = 0; j < a.RecordCounts.rows(); ++j)
      for (size_t ch = 0; ch < kChannelEntries; ++ch)
        ASSERT_EQ(b.RecordCounts(j, ch), a.RecordCounts(j, ch)) << j << " " << ch;
  }
}

}  // namespace
}  // namespace reports
