#include <gtest/gtest.h>

#include <fstream>

#include "reports/run_folder.h"
#include "storage/run_loading.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace reports {
namespace {

namespace fs = std::filesystem;

int Temp(int r) { return 200 + r; }

class RunLoadingTest : public ::testing::Test {
 protected:
  void WriteMinutes(const std::vector<int>& minutes) {
    reports_test::AppendCounts(
        run_, static_cast<int>(minutes.size()),
        [&](int r) { return minutes[static_cast<size_t>(r)]; },
        [](int r, int ch) { return ch == 3 ? r + 1 : 0; }, Temp);
  }
  testsupport::TempProgramFolder home_;
  fs::path run_ = home_ / "run";
};

TEST_F(RunLoadingTest, RecordsUpToTheLargestMinute) {
  fs::create_directories(run_);
  WriteMinutes({1, 2, 3});
  CountsRecords r;
  ASSERT_EQ(storage::LoadCountsFile(run_ / "counts.bin", r), 2);
  EXPECT_EQ(r.RecordTime, (std::vector<int32_t>{1, 2, 3, 0}));
  EXPECT_EQ(r.RecordCounts(2, 3), 3);
  EXPECT_EQ(r.RecordTemperature[1], 201);
  EXPECT_EQ(storage::GetCountsDuration(run_ / "counts.bin"), 3);

  fs::remove(run_ / "counts.bin");
  WriteMinutes({1, 3, 2});
  ASSERT_EQ(storage::LoadCountsFile(run_ / "counts.bin", r), 1);
  EXPECT_EQ(r.RecordTime, (std::vector<int32_t>{1, 3, 0}));
}

TEST_F(RunLoadingTest, MinutesFallingBackAddADay) {
  fs::create_directories(run_);
  WriteMinutes({100, 1200, 50, 1300});
  CountsRecords r;
  ASSERT_EQ(storage::LoadCountsFile(run_ / "counts.bin", r), 3);
  // The record that drops is raised itself, and every later one.
  EXPECT_EQ(r.RecordTime, (std::vector<int32_t>{100, 1200, 1490, 2740, 0}));
  // The duration adds the day from the record after the drop.
  EXPECT_EQ(storage::GetCountsDuration(run_ / "counts.bin"), 2740);
}

TEST_F(RunLoadingTest, EmptyMissingAndPartialFiles) {
  fs::create_directories(run_);
  testsupport::WriteBytes(run_ / "counts.bin", "");
  CountsRecords r;
  EXPECT_EQ(storage::LoadCountsFile(run_ / "counts.bin", r), -1);
  EXPECT_EQ(storage::GetCountsDuration(run_ / "counts.bin"), 0);

  testsupport::WriteBytes(run_ / "counts.bin", std::string(700, '\x01'));  // less than one record
  EXPECT_EQ(storage::LoadCountsFile(run_ / "counts.bin", r), -1);

  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk().ExpectOk();
  EXPECT_EQ(storage::LoadCountsFile(run_ / "gone.bin", r), -2);
  EXPECT_EQ(storage::GetCountsDuration(run_ / "gone.bin"), 0);
  EXPECT_EQ(dialogs.log(),
            (std::vector<std::string>{"Error loading " + (run_ / "gone.bin").string(),
                                      "Error reading " + (run_ / "gone.bin").string()}));
}

// The records kept as stored give what the loaded table gives, row by row, for each
// kind of counts file.
TEST_F(RunLoadingTest, StoredRecordsMatchTheLoadedTable) {
  fs::create_directories(run_);
  const std::vector<std::vector<int>> files = {
      {1, 2, 3}, {1, 3, 2}, {100, 1200, 50, 1300}, {5, 5, 4, 6, 6}, {}};
  for (const auto& minutes : files) {
    SCOPED_TRACE(::testing::PrintToString(minutes));
    testsupport::WriteBytes(run_ / "counts.bin", "");
    WriteMinutes(minutes);
    // A torn record at the end is left out by both.
    std::ofstream(run_ / "counts.bin", std::ios::binary | std::ios::app) << "torn";
    CountsRecords loaded;
    storage::StoredCountsRecords stored;
    int32_t loaded_duration = -1, stored_duration = -1;
    const int32_t last = storage::LoadCountsFile(run_ / "counts.bin", loaded, &loaded_duration);
    ASSERT_EQ(storage::LoadStoredCountsFile(run_ / "counts.bin", stored, &stored_duration), last);
    EXPECT_EQ(stored_duration, loaded_duration);
    EXPECT_EQ(stored.RecordTime, loaded.RecordTime);
    for (int32_t r = 0; r <= last; ++r) {
      EXPECT_EQ(stored.Temperature(static_cast<size_t>(r)), loaded.RecordTemperature[r]);
      for (size_t ch = 0; ch < kChannelCount; ++ch)
        ASSERT_EQ(stored.Counts(static_cast<size_t>(r))[ch], loaded.RecordCounts(r, ch)) << r;
    }
  }
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk();
  storage::StoredCountsRecords stored;
  EXPECT_EQ(storage::LoadStoredCountsFile(run_ / "gone.bin", stored), -2);
  EXPECT_EQ(dialogs.log(),
            std::vector<std::string>{"Error loading " + (run_ / "gone.bin").string()});
}

// The layout file, its backup, a built-in name; a name with neither file is refused
// with the message instead of being reported on another plate.
TEST_F(RunLoadingTest, PlateFromFileBackupOrBuiltIn) {
  reports_test::WritePlateFile(home_.path(), "wbak");
  fs::rename(home_ / "wbak.dat", home_ / "wbak.bak");
  testsupport::WriteBytes(home_ / "wbad.dat", "\"P\",\"x\"\r\nnot numbers\r\n");
  const struct {
    const char* plate;
    storage::LoadStatus status;
    int rows, max_beam;
    const char* message;
  } cases[] = {
      {"wtest", storage::LoadStatus::kOk, 2, 0, nullptr},
      {"wbak", storage::LoadStatus::kOk, 2, 0, nullptr},
      {"w96f", storage::LoadStatus::kOk, 8, 1, nullptr},
      {"w384", storage::LoadStatus::kOk, 16, 0, nullptr},
      {"wbad", storage::LoadStatus::kUnreadable, 0, 0, nullptr},
      {"96f", storage::LoadStatus::kNoPlateLayout, 0, 0,
       "Multiwell Configuration File 96f.dat or .bak not found"},
      {"../w", storage::LoadStatus::kNoPlateLayout, 0, 0,
       "Multiwell Configuration File ../w.dat or .bak not found"},
  };
  reports_test::WritePlateFile(home_.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plate);
    reports_test::RunTexts texts;
    texts.plate = c.plate;
    reports_test::WriteRunTexts(run_, texts);
    RunPlate plate;
    testsupport::ScriptedDialogs dialogs;
    if (c.message) dialogs.ExpectOk();
    ASSERT_EQ(storage::LoadProjectGroups(run_, plate), c.status);
    EXPECT_EQ(plate.RepPlateRows, c.rows);
    EXPECT_EQ(plate.MaxBeam, c.max_beam);
    EXPECT_EQ(dialogs.log(), c.message ? std::vector<std::string>{c.message}
                                       : std::vector<std::string>{});
  }
}

TEST_F(RunLoadingTest, SharedPositionKeepsTheHigherChannel) {
  testsupport::WriteBytes(
      home_ / "wdup.dat",
      reports_test::Lines({"\"P\",\"x\"", "1,1,0,1,1,0", "\"C\"", "\"a\",0,0", "\"b\",0,0"}));
  reports_test::RunTexts texts;
  texts.plate = "wdup";
  reports_test::WriteRunTexts(run_, texts);
  RunPlate plate;
  ASSERT_EQ(storage::LoadProjectGroups(run_, plate), storage::LoadStatus::kOk);
  EXPECT_EQ(plate.WellBeamChannel(0, 0), 1);
}

}  // namespace
}  // namespace reports
