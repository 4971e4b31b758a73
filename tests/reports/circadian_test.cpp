// The one-file-per-well export: file names on a 96-well plate, stamps from the run
// folder's name, the clamped bin for both binning and stamps, the channel files with
// time.txt, and a first No that writes and opens nothing.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/launcher.h"
#include "reports/circadian_export.h"
#include "reports/run_folder.h"
#include "storage/file_io.h"
#include "storage/run_files.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace reports {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FileLines(const fs::path& file) {
  return storage::SplitLines(testsupport::ReadBytes(file));
}

size_t TextFiles(const fs::path& folder) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder)) n += e.path().extension() == ".txt";
  return n;
}

class CircadianTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClock(&clock_);
    platform::SetLauncher(&launcher_);
    fs::copy_file(testsupport::SourceDir() / "data" / "w96.dat", home_ / "w96.dat");
    texts_.plate = "w96";
    run_ = home_ / "p00001" / "20261206_1000";
  }
  void TearDown() override {
    platform::SetLauncher(nullptr);
    platform::SetClock(nullptr);
  }
  // A run of records at minutes 1..minutes, every channel counting 1 in each.
  void Record(int minutes) {
    reports_test::WriteRunTexts(run_, texts_);
    std::vector<storage::CountsRecord> records(static_cast<size_t>(minutes));
    for (int r = 0; r < minutes; ++r) {
      records[static_cast<size_t>(r)].Elapsed_Minutes = r + 1;
      records[static_cast<size_t>(r)].Counts.fill(1);
      records[static_cast<size_t>(r)].Counts[384] = 250;
    }
    ASSERT_TRUE(storage::WriteCountsFile(run_ / "counts.bin", records));
  }
  ToolOutcome Export(const std::string& bin, bool with_time) {
    request_.run_folder = run_.string();
    request_.bin_text = bin;
    testsupport::ScriptedDialogs dialogs;
    dialogs.AnswerYes();
    with_time ? dialogs.AnswerYes() : dialogs.AnswerNo();
    const ToolOutcome outcome = ExportCircadian(request_);
    EXPECT_TRUE(dialogs.Exhausted());
    return outcome;
  }

  testsupport::TempProgramFolder home_;
  platform::ManualClock clock_{platform::WallTime{2027, 1, 2, 3, 4, 5}};
  platform::RecordingLauncher launcher_;
  reports_test::RunTexts texts_;
  fs::path run_;
  CircadianRequest request_;
};

TEST_F(CircadianTest, OneFilePerWellStampedFromTheRunFolderName) {
  Record(1440);
  ASSERT_EQ(Export("30", true), ToolOutcome::kDone);
  EXPECT_EQ(TextFiles(run_), 96u);
  const std::vector<std::string> lines = FileLines(run_ / "008_A2.txt");
  ASSERT_EQ(lines.size(), 48u);
  EXPECT_EQ(lines.front(), "06/12/2026 10:30 30");
  EXPECT_EQ(lines.back(), "07/12/2026 10:00 30");
  EXPECT_EQ(FileLines(run_ / "095_H12.txt").size(), 48u);
  EXPECT_TRUE(fs::exists(run_ / "000_A1.txt"));
  EXPECT_EQ(launcher_.calls, std::vector<std::string>{"shell: explorer " + run_.string()});
  launcher_.refuse = true;  // nothing can open the folder: the box says where the files are
  testsupport::ScriptedDialogs dialogs;
  dialogs.AnswerYes().AnswerYes().ExpectOk();
  ASSERT_EQ(ExportCircadian(request_), ToolOutcome::kDone);
  EXPECT_EQ(dialogs.log().back(),
            "No program could open the folder. The files are saved in:\r\n" + run_.string());
}

TEST_F(CircadianTest, ChannelFilesAndTheirTimes) {
  // `n` values, `first` and its multiples or `first` again, blank-separated.
  const auto series = [](int first, int n, bool multiples) {
    std::string s;
    for (int k = 1; k <= n; ++k)
      s += (k > 1 ? " " : "") + std::to_string(multiples ? k * first : first);
    return s;
  };
  const struct {
    int minutes;
    const char* bin;
    const char* shown;
    std::string times;
    std::string channel;
  } cases[] = {
      {1440, "30", "30", series(1800, 48, true), series(30, 48, false)},
      // A bin past a short run becomes the run and a minute; the box keeps its text.
      {20, "60", "60", "1260", "20"},
      {100, "60", "60", "3600 7200", "60 40"},
      {100, "1", "2", series(120, 50, true), series(2, 50, false)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.minutes) + " " + c.bin);
    fs::remove_all(run_);
    Record(c.minutes);
    ASSERT_EQ(Export(c.bin, false), ToolOutcome::kDone);
    EXPECT_EQ(request_.bin_text, c.shown);
    EXPECT_EQ(TextFiles(run_), 385u);
    EXPECT_EQ(testsupport::ReadBytes(run_ / "time.txt"), c.times + "\r\n");
    for (const char* file : {"ch000000.txt", "ch000383.txt"})
      EXPECT_EQ(testsupport::ReadBytes(run_ / file), c.channel + "\r\n") << file;
  }
}

TEST_F(CircadianTest, WithoutAStampedFolderTheStampsStartNowAndOddWellsAreSkipped) {
  run_ = home_ / "p00001" / "run";
  // Well 3 of a 2 x 2 plate has only a beam-1 channel.
  testsupport::WriteBytes(
      home_ / "w96.dat",
      reports_test::Lines({"\"Plate\",\"w\"", "2,1,0,2,1,0", "\"Channels\"", "\"A1\",0,0",
                           "\"B1\",1,0", "\"A2\",2,0", "\"B2\",3,1"}));
  Record(60);
  ASSERT_EQ(Export("30", true), ToolOutcome::kDone);
  EXPECT_EQ(FileLines(run_ / "002_A2.txt"),
            (std::vector<std::string>{"02/01/2027 03:34 30", "02/01/2027 04:04 30"}));
  EXPECT_EQ(TextFiles(run_), 3u);
}

TEST_F(CircadianTest, AFirstNoWritesAndOpensNothing) {
  Record(60);
  request_.run_folder = run_.string();
  request_.bin_text = "30";
  testsupport::ScriptedDialogs dialogs;
  dialogs.AnswerNo();
  EXPECT_EQ(ExportCircadian(request_), ToolOutcome::kStopped);
  EXPECT_EQ(dialogs.log(), std::vector<std::string>{"Do you like to Export 384 text files?"});
  EXPECT_EQ(TextFiles(run_), 0u);
  EXPECT_TRUE(launcher_.calls.empty());
}

TEST_F(CircadianTest, AnUnusableBinStopsWithAMessage) {
  Record(60);
  request_.run_folder = run_.string();
  request_.bin_text = "thirty";
  testsupport::ScriptedDialogs dialogs;
  dialogs.AnswerYes().AnswerYes().ExpectOk();
  EXPECT_EQ(ExportCircadian(request_), ToolOutcome::kFailed);
  EXPECT_EQ(dialogs.log().back(), "Bin size (min): not a number: nothing was exported");
  EXPECT_EQ(TextFiles(run_), 0u);
}

}  // namespace
}  // namespace reports
