#include <gtest/gtest.h>

#include "storage/run_files.h"
#include "reports/group_statistics.h"
#include "reports/run_folder.h"
#include "support/temp_folder.h"

namespace reports {
namespace {

// A one-beam plate: well w is channel w; the groups are given per well.
RunPlate OneBeamPlate(const std::vector<int>& well_groups) {
  std::vector<reports_test::PlateChannel> channels;
  for (int w = 0; w < static_cast<int>(well_groups.size()); ++w)
    channels.push_back({w, w, well_groups[static_cast<size_t>(w)]});
  return reports_test::MakePlate(2, 2, channels);
}

// Bins ending at (j + 1) x B with the given counts of channels 0.. per bin.
BinRecords Bins(int32_t B, const std::vector<std::vector<int>>& counts,
                std::vector<int> temps = {}) {
  BinRecords b;
  const size_t n = counts.size();
  b.RecordTime.assign(n + 1, 0);
  b.RecordTemperature.assign(n + 1, 0);
  b.RecordCounts = Table2D<int32_t>(n + 1, kChannelEntries, 0);
  for (size_t j = 0; j < n; ++j) {
    b.RecordTime[j] = static_cast<int32_t>((j + 1) * static_cast<size_t>(B));
    if (j < temps.size()) b.RecordTemperature[j] = temps[j];
    for (size_t c = 0; c < counts[j].size(); ++c) b.RecordCounts(j, c) = counts[j][c];
  }
  return b;
}

TEST(BuildGroupStatistics, MeanAndSampleDeviationOfGroupWells) {
  // Group 999 is beyond the tables: Free.
  const RunPlate plate = OneBeamPlate({0, 0, 0, 1, -1, 999});
  const BinRecords bins = Bins(30, {{10, 20, 40, 7, 99, 3}, {5, 5, 5, 8, 1, 3}}, {250, 9});
  GroupStatistics st;
  ASSERT_EQ(BuildGroupStatistics(60, 1, 30, OutputOption::kRows, "", bins, plate, st),
            StatisticsStatus::kOk);
  EXPECT_EQ(st.slot_count, 4);
  // Bin j lands in slot j + 1.
  EXPECT_EQ(st.GroupMean(1, 0), 23);
  EXPECT_EQ(st.GroupStdDev(1, 0), 15);
  EXPECT_EQ(st.GroupMean(2, 0), 5);
  EXPECT_EQ(st.GroupStdDev(2, 0), 0);
  EXPECT_EQ(st.GroupMean(1, 1), 7);  // a group of one well
  EXPECT_EQ(st.GroupStdDev(1, 1), 0);
  EXPECT_EQ(st.GroupWellCount[0], 3);
  EXPECT_EQ(st.GroupWellCount[1], 1);
  EXPECT_EQ(st.GroupWellCount[2], 0);
  EXPECT_EQ(st.WellBinActivity(1, 4), 99);  // a Free well still has its activity
  EXPECT_EQ(st.WellBinActivity(1, 5), 3);
  EXPECT_EQ(st.ChannelBinActivity(2, 3), 8);
  EXPECT_TRUE(st.Valid(1));
  EXPECT_TRUE(st.Valid(2));
  EXPECT_FALSE(st.Valid(3));
  EXPECT_EQ(st.BinRecordCount[1], 1);
  EXPECT_EQ(st.BinTemperature[1], 250);
  EXPECT_EQ(st.BinTemperature[2], 0);  // below 1.0 degree: no reading
}

TEST(BuildGroupStatistics, MultiBeamWellAddsRoundedMeanOfBeams) {
  const RunPlate plate = reports_test::MakePlate(1, 1, {{0, 0, 0}, {16, 0, -1, 1}});
  std::vector<int> counts(17, 0);
  counts[0] = 3;
  counts[16] = 6;
  GroupStatistics st;
  BuildGroupStatistics(30, 0, 30, OutputOption::kList, "", Bins(30, {counts}), plate, st);
  EXPECT_EQ(st.WellBinActivity(1, 0), 4);  // 4.5 rounds to the even 4
  EXPECT_EQ(st.GroupMean(1, 0), 4);
}

TEST(BuildGroupStatistics, GroupMeanOfWholeCountsRoundsHalvesToEven) {
  // Two wells of group 0; each bin's mean lies exactly half-way.
  const RunPlate plate = OneBeamPlate({0, 0});
  const BinRecords bins = Bins(30, {{2, 3}, {3, 4}});
  GroupStatistics st;
  ASSERT_EQ(BuildGroupStatistics(60, 1, 30, OutputOption::kRows, "", bins, plate, st),
            StatisticsStatus::kOk);
  EXPECT_EQ(st.GroupMean(1, 0), 2);  // 2.5
  EXPECT_EQ(st.GroupMean(2, 0), 4);  // 3.5
}

TEST(BuildGroupStatistics, HistogramsFromTheRunsHistoFiles) {
  testsupport::TempProgramFolder home;
  const auto folder = home / "run";
  std::filesystem::create_directories(folder);
  // Two records in the first 30-minute slot: the later one is the slot's.
  reports_test::AppendHisto(folder, 0, 10.0, 0.03, 2, 5);
  reports_test::AppendHisto(folder, 0, 29.5, 0.05, 2, 9);
  reports_test::AppendHisto(folder, 1, 45.0, 0.1, 3, 4);
  reports_test::AppendHisto(folder, 1, 50.0, 0.2, 3, 6);
  const RunPlate plate = OneBeamPlate({0, 0});
  GroupStatistics st;
  ASSERT_EQ(BuildGroupStatistics(60, 1, 30, OutputOption::kHistogram, folder, Bins(30, {{}, {}}),
                                 plate, st),
            StatisticsStatus::kOk);
  EXPECT_EQ(st.ChannelHistogram(1, 0, 2), 9);
  EXPECT_EQ(st.ChannelHistogram(2, 1, 3), 6);
  EXPECT_EQ(st.WellHistogram(1, 1, 2), 9);
  EXPECT_EQ(st.GroupHistogram(2, 0, 3), 6);
  EXPECT_EQ(st.GroupWellCount[0], 2);
  // The mean seconds per sample of the last file read only.
  EXPECT_DOUBLE_EQ(st.HistoSampleSeconds, 0.15);
}

TEST(BuildGroupStatistics, HistogramWithoutFilesFillsOnlyTemperatures) {
  testsupport::TempProgramFolder home;
  const RunPlate plate = OneBeamPlate({0});
  GroupStatistics st;
  EXPECT_EQ(BuildGroupStatistics(30, 0, 30, OutputOption::kHistogram, home.path(),
                                 Bins(30, {{3}}, {200}), plate, st),
            StatisticsStatus::kNoHistogramFiles);
  EXPECT_STREQ(StatisticsMessage(StatisticsStatus::kNoHistogramFiles),
               "Error getting Histogram.bin data");
  EXPECT_EQ(st.BinTemperature[1], 200);
  EXPECT_FALSE(st.Valid(1));
}

TEST(BuildGroupStatistics, NeverReadsPastTheRecords) {
  const RunPlate plate = OneBeamPlate({0});
  GroupStatistics st;
  // N beyond the tables and records beyond the slots are ignored, not read.
  BinRecords bins = Bins(30, {{1}, {2}});
  bins.RecordTime[1] = 100000;
  BuildGroupStatistics(30, 50, 30, OutputOption::kRows, "", bins, plate, st);
  EXPECT_EQ(st.ChannelBinActivity(1, 0), 1);
  EXPECT_EQ(st.slot_count, 3);
}

}  // namespace
}  // namespace reports
