#include <gtest/gtest.h>

#include "reports/run_folder.h"
#include "reports/run_loading.h"
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
  ASSERT_EQ(LoadCountsFile(run_ / "counts.bin", r), 2);
  EXPECT_EQ(r.RecordTime, (std::vector<int32_t>{1, 2, 3, 0}));
  EXPECT_EQ(r.RecordCounts(2, 3), 3);
  EXPECT_EQ(r.RecordTemperature[1], 201);
  EXPECT_EQ(GetCountsDuration(run_ / "counts.bin"), 3);

  fs::remove(run_ / "counts.bin");
  WriteMinutes({1, 3, 2});
  ASSERT_EQ(LoadCountsFile(run_ / "counts.bin", r), 1);
  EXPECT_EQ(r.RecordTime, (std::vector<int32_t>{1, 3, 0}));
}

TEST_F(RunLoadingTest, MinutesFallingBackAddADay) {
  fs::create_directories(run_);
  WriteMinutes({100, 1200, 50, 1300});
  CountsRecords r;
  ASSERT_EQ(LoadCountsFile(run_ / "counts.bin", r), 3);
  // The record that drops is raised itself, and every later one.
  EXPECT_EQ(r.RecordTime, (std::vector<int32_t>{100, 1200, 1490, 2740, 0}));
  // The duration adds the day from the record after the drop.
  EXPECT_EQ(GetCountsDuration(run_ / "counts.bin"), 2740);
}

TEST_F(RunLoadingTest, EmptyMissingAndPartialFiles) {
  fs::create_directories(run_);
  testsupport::WriteBytes(run_ / "counts.bin", "");
  CountsRecords r;
  EXPECT_EQ(LoadCountsFile(run_ / "counts.bin", r), -1);
  EXPECT_EQ(GetCountsDuration(run_ / "counts.bin"), 0);

  testsupport::WriteBytes(run_ / "counts.bin", std::string(700, '\x01'));  // less than one record
  EXPECT_EQ(LoadCountsFile(run_ / "counts.bin", r), -1);

  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk().ExpectOk();
  EXPECT_EQ(LoadCountsFile(run_ / "gone.bin", r), -2);
  EXPECT_EQ(GetCountsDuration(run_ / "gone.bin"), 0);
  EXPECT_EQ(dialogs.log(),
            (std::vector<std::string>{"Error loading " + (run_ / "gone.bin").string(),
                                      "Error reading " + (run_ / "gone.bin").string()}));
}

TEST_F(RunLoadingTest, PlateFromBackupOrBuiltIn) {
  reports_test::WritePlateFile(home_.path(), "wbak");
  fs::rename(home_ / "wbak.dat", home_ / "wbak.bak");
  reports_test::RunTexts texts;
  texts.plate = "wbak";
  reports_test::WriteRunTexts(run_, texts);
  RunPlate plate;
  ASSERT_EQ(LoadProjectGroups(run_, plate), LoadStatus::kOk);
  EXPECT_EQ(plate.RepPlateRows, 2);

  // The default project's "96f" has no file: the built-in two-beam 96 plate.
  texts.plate = "96f";
  reports_test::WriteRunTexts(run_, texts);
  ASSERT_EQ(LoadProjectGroups(run_, plate), LoadStatus::kOk);
  EXPECT_EQ(plate.RepPlateRows, 8);
  EXPECT_EQ(plate.RepPlateCols, 12);
  EXPECT_EQ(plate.MaxBeam, 1);
  EXPECT_EQ(plate.WellBeamChannel(0, 1), 16);
}

TEST_F(RunLoadingTest, SharedPositionKeepsTheHigherChannel) {
  testsupport::WriteBytes(
      home_ / "wdup.dat",
      reports_test::Lines({"\"P\",\"x\"", "1,1,0,1,1,0", "\"C\"", "\"a\",0,0", "\"b\",0,0"}));
  reports_test::RunTexts texts;
  texts.plate = "wdup";
  reports_test::WriteRunTexts(run_, texts);
  RunPlate plate;
  ASSERT_EQ(LoadProjectGroups(run_, plate), LoadStatus::kOk);
  EXPECT_EQ(plate.WellBeamChannel(0, 0), 1);
}

}  // namespace
}  // namespace reports
