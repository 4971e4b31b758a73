#include "offline/group_activity.h"

#include "offline_fixture.h"

namespace offline_test {
namespace {

using offline::ActivityStatus;
using offline::ActivityTables;

// Channel 0 alone in group 0, one count per record: a bin's mean is its record count.
storage::ChannelTable16 OneChannelGroup() {
  storage::ChannelTable16 g;
  g.fill(-1);
  g[0] = 0;
  return g;
}

std::vector<Record> OnePerRecord(const std::vector<int>& minutes) {
  std::vector<Record> out;
  for (int m : minutes) out.push_back({m, {{0, 1}}});
  return out;
}

std::vector<int> Range(int from, int to, int each = 1) {
  std::vector<int> out;
  for (int m = from; m <= to; ++m)
    for (int k = 0; k < each; ++k) out.push_back(m);
  return out;
}

class Activity : public OfflineTest {
 protected:
  fs::path Run(const std::vector<Record>& records) {
    static int n = 0;
    const fs::path folder = Home() / ("run" + std::to_string(n++));
    fs::create_directories(folder);
    AppendRecords(folder, records);
    return folder;
  }
  // Bin sums of group 0 for bins 1..Bin_Count.
  static std::vector<double> Bins(const ActivityTables& t) {
    std::vector<double> out;
    for (int b = 1; b <= t.Bin_Count; ++b) out.push_back(t.At(b, 0));
    return out;
  }
};

TEST_F(Activity, RecordsFallIntoBinsByTheirMinutes) {
  struct Case {
    const char* name;
    std::vector<int> minutes;
    int bin;
    std::vector<double> bins;
  };
  std::vector<int> last_minute_twice = Range(0, 20);
  last_minute_twice.push_back(20);
  const std::vector<Case> cases = {
      {"one a minute, bin 5", Range(0, 19), 5, {5, 5, 5, 5, 0}},
      // The first record reaching a bin's last minute closes it; the rest of that minute
      // already counts in the next bin.
      {"four a minute", Range(0, 9, 4), 5, {17, 20, 3}},
      {"shorter than a bin: maxT 20, bin 30", last_minute_twice, 30, {21, 1}},
      {"half-way bin count: maxT 25, bin 10", Range(0, 25), 10, {10, 10, 6}},
      {"a gap leaves empty bins", {0, 20}, 5, {1, 0, 0, 0, 1}},
      {"minutes that go back are not used", {0, 1, 2, 1, 3, 4}, 5, {5, 0}},
      {"an empty file", {}, 5, {0}},
  };
  for (const Case& c : cases) {
    const fs::path folder = Run(OnePerRecord(c.minutes));
    if (c.minutes.empty()) testsupport::WriteBytes(folder / "counts.bin", "");
    ActivityTables t;
    const auto load = offline::LoadGroupActivity(folder, OneChannelGroup(), c.bin, true, t);
    EXPECT_EQ(load.status, ActivityStatus::kOk) << c.name;
    EXPECT_EQ(Bins(t), c.bins) << c.name;
    EXPECT_EQ(t.Bin_Size_Used, c.bin) << c.name;
  }
}

TEST_F(Activity, MeansPerGroupAndTheFreeSum) {
  storage::ChannelTable16 groups;
  groups.fill(-1);
  groups[0] = 0;
  groups[1] = 0;
  groups[2] = 2;
  groups[3] = 2;
  const fs::path folder = Run({{0, {{0, 2}, {1, 3}, {2, 3}, {3, 4}, {100, 6}, {200, 1}}},
                               {7, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {100, 1}}}});
  ActivityTables t;
  const auto whole = offline::LoadGroupActivity(folder, groups, 30, false, t);
  EXPECT_EQ(t.Bin_Count, 1);
  EXPECT_EQ(t.At(1, 0), 2);    // 5 / 2 = 2.5, halves to even
  EXPECT_EQ(t.At(1, 1), 0);    // no channels
  EXPECT_EQ(t.At(1, 2), 4);    // 9 / 2 = 4.5
  EXPECT_EQ(t.At(1, 384), 8);  // the Free channels' plain sum
  EXPECT_EQ(whole.max, 4);     // 4.5 before rounding, then rounded

  const auto timed = offline::LoadGroupActivity(folder, groups, 5, true, t);
  EXPECT_EQ(t.Bin_Count, 2);  // round(7 / 5) + 1
  EXPECT_EQ(t.At(2, 2), 1);
  EXPECT_EQ(t.At(2, 384), 1);
  EXPECT_EQ(timed.max, 4);
}

TEST_F(Activity, MissingOrDamagedFilesKeepTheTables) {
  const fs::path good = Run(OnePerRecord({0, 1}));
  ActivityTables t;
  offline::LoadGroupActivity(good, OneChannelGroup(), 30, false, t);
  ASSERT_EQ(offline::LoadChannelTotals(good, t), ActivityStatus::kOk);
  EXPECT_EQ(t.Channel_Totals[0], 2);

  const fs::path empty = Home() / "empty";
  fs::create_directories(empty);
  EXPECT_EQ(offline::LoadGroupActivity(empty, OneChannelGroup(), 30, false, t).status,
            ActivityStatus::kNoFile);
  EXPECT_EQ(offline::LoadChannelTotals(empty, t), ActivityStatus::kNoFile);
  EXPECT_EQ(t.At(1, 0), 2);
  EXPECT_EQ(t.Channel_Totals[0], 2);

  // A counts.bin that is a folder cannot be read.
  fs::create_directories(empty / "counts.bin" / "x");
  EXPECT_NE(offline::LoadGroupActivity(empty, OneChannelGroup(), 30, false, t).status,
            ActivityStatus::kOk);
  EXPECT_EQ(t.At(1, 0), 2);
}

TEST_F(Activity, HugeMinutesAreCappedInBinsNotInMemory) {
  const fs::path folder = Run(OnePerRecord({0, 2000000000}));
  ActivityTables t;
  offline::LoadGroupActivity(folder, OneChannelGroup(), 1, true, t);
  EXPECT_EQ(t.Bin_Count, offline::kMaxBins);
  EXPECT_EQ(t.At(1, 0), 1);  // the record beyond the last bin is dropped
  EXPECT_EQ(offline::ValidBinSize(0.4), 5);
  EXPECT_EQ(offline::ValidBinSize(1), 1);  // the lowest size is itself a size
  EXPECT_EQ(offline::ValidBinSize(1440.4), 1440);
  EXPECT_EQ(offline::ValidBinSize(1441), 5);
  EXPECT_EQ(offline::ValidBinSize(2.5), 2);
}

class Kinetics : public Activity {
 protected:
  fs::path project_ = Home() / "p00001";
  fs::path Tagged(const std::string& id, int count) {
    const fs::path folder = project_ / id;
    fs::create_directories(folder);
    AppendRecords(folder, {{0, {{0, count}}}, {1, {{0, count}}}});
    return folder;
  }
};

TEST_F(Kinetics, OnePointPerRunInDateOrder) {
  Tagged("20240502_0900", 5);
  Tagged("20240501_0900", 3);
  Tagged("20240501_0900_s2", 4);  // the same minute: keeps its place in the list
  fs::create_directories(project_ / "20240503_0900");  // no counts.bin: a point of 0
  ActivityTables t;
  std::vector<std::pair<size_t, size_t>> progress;
  const auto k = offline::LoadTaggedKinetics(
      project_,
      "20240502_0900 20240501_0900_s2  20240503_0900 20240501_0900 ../p00002 20240509_0900",
      OneChannelGroup(), t, [&](size_t done, size_t total) { progress.emplace_back(done, total); });
  // Once per run read, the skipped names not counted.
  EXPECT_EQ(progress, (std::vector<std::pair<size_t, size_t>>{{0, 4}, {1, 4}, {2, 4}, {3, 4}}));
  EXPECT_EQ(k.status, offline::KineticsLoad::Status::kOk);
  EXPECT_EQ(t.Sorted_Tag_List, " 20240501_0900_s2 20240501_0900 20240502_0900 20240503_0900");
  EXPECT_EQ(Bins(t), (std::vector<double>{8, 6, 10, 0}));
  EXPECT_EQ(t.Point_Dates[4] - t.Point_Dates[1], 2880);
  EXPECT_EQ(k.max, 10);
  EXPECT_EQ(k.skipped, (std::vector<std::string>{"../p00002", "20240509_0900"}));
  EXPECT_EQ(k.without_counts, std::vector<fs::path>{project_ / "20240503_0900"});
}

TEST_F(Kinetics, NinetyNineRunsLoadAndAHundredRefuse) {
  std::string list;
  for (int k = 0; k < 99; ++k) {
    const std::string id = "2024010" + std::to_string(1 + k / 24 % 9) + "_" +
                           (k % 24 < 10 ? "0" : "") + std::to_string(k % 24) + "00";
    Tagged(id, 1);
    list += (list.empty() ? "" : " ") + id;
  }
  ActivityTables t;
  EXPECT_EQ(offline::LoadTaggedKinetics(project_, list, OneChannelGroup(), t).status,
            offline::KineticsLoad::Status::kOk);
  EXPECT_EQ(t.Bin_Count, 99);
  const ActivityTables before = t;
  const auto refused =
      offline::LoadTaggedKinetics(project_, list + " 20240201_0000", OneChannelGroup(), t);
  EXPECT_EQ(refused.status, offline::KineticsLoad::Status::kTooMany);
  EXPECT_EQ(t.Bin_Count, 99);
  EXPECT_EQ(t.Sorted_Tag_List, before.Sorted_Tag_List);
}

}  // namespace
}  // namespace offline_test
