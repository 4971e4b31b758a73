// The re-analysis of a run's raw blocks: which blocks each record reads, what Replace
// rewrites and keeps, the marks files, STOP, the same counts on one thread and on many,
// and the runs it refuses without touching a file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "detection/raw_block_analysis.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "reports/raw_reanalysis.h"
#include "reports/run_folder.h"
#include "storage/file_set_rewrite.h"
#include "storage/run_files.h"
#include "support/file_size_limit.h"
#include "support/folder_sync_fault.h"
#include "support/read_only_folder.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace reports {
namespace {

namespace fs = std::filesystem;
using reports_test::Lines;

// Channel-tagged levels: a base of its own per channel, a small ripple, and
// 1 + (block + channel) % 6 dips, so every block of a channel counts differently.
int16_t Level(int block, int channel, int sample) {
  const int base = 1500 + 10 * channel;
  const int ripple = (sample * 7 + channel * 13 + block * 5) % 7 - 3;
  const int dips = 1 + (block + channel) % 6;
  for (int d = 0; d < dips; ++d)
    if (sample >= 30 + d * 80 && sample < 38 + d * 80) return static_cast<int16_t>(base - 600);
  return static_cast<int16_t>(base + ripple);
}

storage::RawBlockRecord Block(int block, int rt_buffer = 500) {
  storage::RawBlockRecord r(rt_buffer);
  for (int s = 0; s <= rt_buffer; ++s)
    for (int c = 0; c < 384; ++c) r.At(c, s) = Level(block, c, s);
  return r;
}

// What the detection counts on block `block` of channel `channel`, one channel alone.
int16_t Expected(int block, int channel, int method, double threshold) {
  storage::RawBlockRecord r = Block(block);
  detection::DetectionParams p;
  p.channel = channel;
  p.method = method;
  p.threshold = threshold;
  detection::DetectionTraces traces;
  return detection::AnalyzeRawBlock(r.levels, detection::SampleMajor(385), p, traces).count;
}

// Every file of a folder with its size and a hash of its bytes (raw block files are
// megabytes: a failure must not print them).
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string bytes = testsupport::ReadBytes(e.path());
    files[e.path().filename().string()] =
        std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
  }
  return files;
}

const std::vector<int> kPlateChannels = {0, 1, 16, 17};

// Records at minutes 1, 2, 3...
int FromOne(int record) { return record + 1; }

class ReanalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClock(&clock_);
    platform::SetLauncher(&launcher_);
    reports_test::WritePlateFile(home_.path());
    run_ = home_ / "p00001" / "20261206_1000";
    reports_test::WriteRunTexts(run_, texts_);
    request_.run_folder = run_.string();
    request_.method_text = "1_Threshold Avrg (Default.Agar&Liquid)";
    request_.organism_text = "C elegans(>L4)";
    request_.threshold_text = "1.8";
    request_.lapse_text = "533";
    choices_.input_folder = run_.string();
    choices_.bin_text = "2";
  }
  void TearDown() override {
    platform::SetLauncher(nullptr);
    platform::SetClock(nullptr);
  }

  // `n` records at minute(r), temperature 200 + r, every channel counting 7.
  static void Record(const fs::path& run, int n, const std::function<int(int)>& minute = FromOne) {
    reports_test::AppendCounts(
        run, n, minute, [](int, int) { return 7; }, [](int r) { return 200 + r; });
  }
  static void WriteBlocks(const fs::path& run, int n) {
    for (int k = 0; k < n; ++k)
      storage::AppendRawBlock(run / storage::RawFileName(k / 11), Block(k).levels.data(), 500);
  }
  // A run folder made afresh: its texts, `records` records, its first `blocks` blocks.
  void NewRun(const fs::path& run, int records, int blocks,
              const std::function<int(int)>& minute = FromOne) {
    fs::remove_all(run);
    reports_test::WriteRunTexts(run, texts_);
    Record(run, records, minute);
    WriteBlocks(run, blocks);
  }

  // Starts and waits until the blocks are analysed, letting `during` act meanwhile;
  // nullptr when the run was refused.
  std::unique_ptr<ReanalysisJob> Analyse(int threads = 0,
                                         const std::function<void(ReanalysisJob&)>& during = {}) {
    std::unique_ptr<ReanalysisJob> job = StartRawReanalysis(request_, choices_, threads);
    while (job && !job->Analysed()) {
      if (during) during(*job);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return job;
  }
  std::optional<ToolOutcome> Reanalyse(int threads = 0,
                                       const std::function<void(ReanalysisJob&)>& during = {}) {
    const std::unique_ptr<ReanalysisJob> job = Analyse(threads, during);
    if (!job) return std::nullopt;
    return job->Finish();
  }

  testsupport::TempProgramFolder home_;
  platform::ManualClock clock_{platform::WallTime{2026, 12, 6, 10, 30, 0}};
  platform::RecordingLauncher launcher_;
  reports_test::RunTexts texts_;
  fs::path run_;
  ReanalysisRequest request_;
  ReportChoices choices_;
};

TEST_F(ReanalysisTest, ReplaceRewritesOnlyTheCountsOfTwelveRecordsFromTwoBlockFiles) {
  NewRun(run_, 12, 12);
  const std::string old_counts = testsupport::ReadBytes(run_ / "counts.bin");
  const std::string old_setup = testsupport::ReadBytes(run_ / "setup.dat");
  request_.replace_data = true;
  request_.organism = 3;
  request_.method = 3;
  request_.threshold_text = "0.8";
  testsupport::ScriptedDialogs dialogs;
  ASSERT_EQ(Reanalyse(), ToolOutcome::kDone);
  EXPECT_TRUE(dialogs.log().empty());

  // Record 11 is block 0 of 1.bin: its counts differ from every block of 0.bin.
  std::set<int16_t> seen;
  for (int k = 0; k < 12; ++k) seen.insert(Expected(k, 0, 3, 0.8));
  ASSERT_GE(seen.size(), 5u);
  const std::vector<storage::CountsRecord> records = storage::ReadCountsFile(run_ / "counts.bin");
  ASSERT_EQ(records.size(), 12u);
  for (int k = 0; k < 12; ++k) {
    SCOPED_TRACE(k);
    const auto& r = records[static_cast<size_t>(k)];
    EXPECT_EQ(r.Elapsed_Minutes, k + 1);
    EXPECT_EQ(r.Counts[384], 200 + k);
    for (int c = 0; c < 384; ++c) {
      const bool on_plate = std::count(kPlateChannels.begin(), kPlateChannels.end(), c) > 0;
      ASSERT_EQ(r.Counts[static_cast<size_t>(c)], on_plate ? Expected(k, c, 3, 0.8) : 0) << c;
    }
  }
  std::string setup = old_setup;
  setup.replace(setup.find("1,30,99,500,1,30"), 16, "1,30,99,500,3,30");
  setup.replace(setup.find("0,1,1,18,0,0"), 12, "3,1,1,8,0,0");
  EXPECT_EQ(testsupport::ReadBytes(run_ / "setup.dat"), setup);
  EXPECT_EQ(testsupport::ReadBytes(run_ / "setup.bak"), old_setup);
  EXPECT_EQ(testsupport::ReadBytes(run_ / "counts.bak"), old_counts);
  // The report of the new counts is headed by the rewritten setup.
  EXPECT_NE(testsupport::ReadBytes(run_ / "report.csv").find("\"SETTING:\",\"Mode3 [snr=0.8]\""),
            std::string::npos);
}

TEST_F(ReanalysisTest, BlocksOfALongerBinAreReadWithTheirOwnStride) {
  std::string setup = testsupport::ReadBytes(run_ / "setup.dat");
  setup.replace(setup.find("1,30,99,500"), 11, "1,30,99,600");
  testsupport::WriteBytes(run_ / "setup.dat", setup);
  Record(run_, 12);
  for (int k = 0; k < 12; ++k)
    storage::AppendRawBlock(run_ / storage::RawFileName(k / 11), Block(k, 600).levels.data(), 600);
  request_.replace_data = true;
  testsupport::ScriptedDialogs dialogs;
  ASSERT_EQ(Reanalyse(), ToolOutcome::kDone);
  const std::vector<storage::CountsRecord> records = storage::ReadCountsFile(run_ / "counts.bin");
  ASSERT_EQ(records.size(), 12u);
  for (int k = 0; k < 12; ++k)
    for (int c : kPlateChannels)
      EXPECT_EQ(records[static_cast<size_t>(k)].Counts[static_cast<size_t>(c)],
                Expected(k, c, 1, 1.8));
}

TEST_F(ReanalysisTest, ManyThreadsCountAndMarkByteForByteAsOne) {
  texts_.plate = "w384";  // the built-in plate: every channel analysed
  const fs::path one = home_ / "p00001" / "20261207_1000";
  const fs::path many = home_ / "p00001" / "20261208_1000";
  // Minutes of the day across midnight: each record keeps the minute it was stored with.
  const auto minute = [](int r) { return (1430 + r) % 1440; };
  for (const fs::path& run : {one, many}) NewRun(run, 30, 30, minute);
  request_.replace_data = true;
  request_.raw_export = true;
  testsupport::ScriptedDialogs dialogs;
  request_.run_folder = choices_.input_folder = one.string();
  ASSERT_EQ(Reanalyse(1), ToolOutcome::kDone);
  request_.run_folder = choices_.input_folder = many.string();
  ASSERT_EQ(Reanalyse(8), ToolOutcome::kDone);
  const std::vector<storage::CountsRecord> records = storage::ReadCountsFile(one / "counts.bin");
  ASSERT_EQ(records.size(), 30u);
  for (int k = 0; k < 30; ++k) {
    EXPECT_EQ(records[static_cast<size_t>(k)].Elapsed_Minutes, minute(k));
    EXPECT_EQ(records[static_cast<size_t>(k)].Counts[383], Expected(k, 383, 1, 1.8));
  }
  const auto a = Snapshot(one), b = Snapshot(many);
  ASSERT_TRUE(a.count("ch383.raw"));
  for (const auto& [name, digest] : a) {
    if (name.rfind("report", 0) == 0) continue;  // stamped with each folder's path
    EXPECT_EQ(digest, b.at(name)) << name;
  }
}

TEST_F(ReanalysisTest, StopLeavesEveryFileAsItWas) {
  // STOP lands while the blocks are analysed. On a busy machine the pass can outrun the
  // poll and analyse every block first: the case is then tried on a fresh run.
  request_.replace_data = true;
  request_.raw_export = true;
  for (int attempt = 0; attempt < 20; ++attempt) {
    const fs::path run = home_ / "p00001" / ("20261206_11" + std::to_string(10 + attempt));
    NewRun(run, 40, 40);
    testsupport::WriteBytes(run / "ch0.raw", "earlier line\r\n");
    request_.run_folder = choices_.input_folder = run.string();
    const auto before = Snapshot(run);
    launcher_.calls.clear();
    testsupport::ScriptedDialogs dialogs;
    std::unique_ptr<ReanalysisJob> job = Analyse(1, [](ReanalysisJob& job) {
      if (job.BlocksDone() >= 5) job.Stop();
    });
    ASSERT_TRUE(job);
    if (job->BlocksDone() == job->BlockCount()) continue;
    EXPECT_EQ(job->Finish(), ToolOutcome::kStopped);
    job.reset();
    EXPECT_EQ(Snapshot(run), before);
    EXPECT_TRUE(launcher_.calls.empty());
    return;
  }
  FAIL() << "every pass ended before STOP reached it";
}

TEST_F(ReanalysisTest, ExportRawAppendsOneMarksLinePerBlockOnEveryRun) {
  NewRun(run_, 3, 3, [](int r) { return 37 + r; });
  request_.raw_export = true;
  testsupport::ScriptedDialogs dialogs;
  ASSERT_EQ(Reanalyse(), ToolOutcome::kDone);
  const std::string once = testsupport::ReadBytes(run_ / "ch16.raw");
  ASSERT_EQ(once.size(), 3u * (3 + 500 + 2));
  EXPECT_EQ(once.substr(0, 3), "37 ");
  EXPECT_EQ(once.substr(503, 2), "\r\n");
  EXPECT_EQ(once.substr(505, 3), "38 ");
  EXPECT_EQ(once.substr(3, 500).find_first_not_of("01"), std::string::npos);
  EXPECT_NE(once.substr(3, 500).find('1'), std::string::npos);
  ASSERT_EQ(Reanalyse(), ToolOutcome::kDone);
  EXPECT_EQ(testsupport::ReadBytes(run_ / "ch16.raw"), once + once);
  EXPECT_FALSE(fs::exists(run_ / "ch2.raw"));  // off the plate
}

TEST_F(ReanalysisTest, RefusedRunsChangeNothing) {
  const std::string setup = testsupport::ReadBytes(run_ / "setup.dat");
  const struct {
    const char* what;
    std::function<void()> damage;
    std::string message;
  } cases[] = {
      {"a block file missing", [&] { fs::remove(run_ / "1.bin"); },
       "Raw data file 1.bin is missing: nothing was analysed"},
      {"a block file short",
       [&] { fs::resize_file(run_ / "1.bin", storage::RawBlockRecordBytes(500) - 2); },
       "Raw data file 1.bin is shorter than the run's blocks: nothing was analysed"},
      {"RT_Buffer 300",
       [&] {
         std::string s = setup;
         s.replace(s.find("1,30,99,500"), 11, "1,30,99,300");
         testsupport::WriteBytes(run_ / "setup.dat", s);
       },
       "The run was recorded with 300 samples per bin, the analysis needs 500: nothing was "
       "analysed"},
      {"a partial last record",
       [&] {
         testsupport::WriteBytes(run_ / "counts.bin",
                                 testsupport::ReadBytes(run_ / "counts.bin") + "abc");
       },
       "counts.bin is damaged (it ends in a partial record): nothing was analysed"},
      {"minutes going back",
       [&] {
         fs::remove(run_ / "counts.bin");
         Record(run_, 12, [](int r) { return r == 7 ? 3 : r + 1; });
       },
       "counts.bin is damaged (its minutes go back at record 7): nothing was analysed"},
      {"no counts.bin", [&] { fs::remove(run_ / "counts.bin"); }, "Activity file not Found"},
      // What the report of the new counts would refuse after Replace had rewritten
      // counts.bin and setup.dat: minutes beyond the records' reach, no histo files.
      {"a last minute of 100000",
       [&] {
         request_.replace_data = true;
         fs::remove(run_ / "counts.bin");
         Record(run_, 12, [](int r) { return r == 11 ? 100000 : r + 1; });
       },
       "Resampling ERROR: nothing was analysed"},
      {"a histogram report",
       [&] {
         request_.replace_data = true;
         choices_.option = OutputOption::kHistogram;
       },
       "Error getting Histogram.bin data: nothing was analysed"},
      // The histogram tables hold 3000 slots and a report takes its bins + 2: 2999 bins
      // of 2 minutes are too many, histo files or not.
      {"a histogram report of 2999 bins",
       [&] {
         request_.replace_data = true;
         choices_.option = OutputOption::kHistogram;
         fs::remove(run_ / "counts.bin");
         Record(run_, 100, [](int r) { return r == 99 ? 5998 : r + 1; });
         testsupport::WriteBytes(run_ / storage::HistoFileName(0), "");
       },
       "Report Calculation Error: nothing was analysed"},
      {"a bin that is not a number", [&] { choices_.bin_text = "2x"; },
       "Bin size (min): not a number: nothing was analysed"},
      {"a lapse that is not a number", [&] { request_.lapse_text = ""; },
       "Analyze: the hours are not a number: nothing was analysed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    NewRun(run_, 12, 12);
    choices_.bin_text = "2";
    choices_.option = OutputOption::kRows;
    request_.lapse_text = "533";
    request_.replace_data = false;
    c.damage();
    const auto before = Snapshot(run_);
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk();
    EXPECT_EQ(Reanalyse(), std::nullopt);
    EXPECT_EQ(dialogs.log(), std::vector<std::string>{c.message});
    EXPECT_EQ(Snapshot(run_), before);
  }
}

TEST_F(ReanalysisTest, AReplaceThatCannotBeWrittenKeepsTheOldFiles) {
  const struct {
    bool full_disk;
    bool raw_export;
  } cases[] = {{true, false}, {false, false}, {false, true}};
  for (const auto& [full_disk, raw_export] : cases) {
    SCOPED_TRACE(std::string(full_disk ? "full disk" : "read-only folder") +
                 (raw_export ? ", marks exported" : ""));
    NewRun(run_, 12, 12);
    request_.replace_data = true;
    request_.raw_export = raw_export;
    // Marks files of an earlier analysis: their lines are all that may stay.
    if (raw_export)
      for (int c : kPlateChannels)
        testsupport::WriteBytes(run_ / ("ch" + std::to_string(c) + ".raw"), "earlier line\r\n");
    const auto before = Snapshot(run_);
    const std::unique_ptr<ReanalysisJob> job = Analyse();
    ASSERT_TRUE(job);
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk();
    {
      // Smaller than the new counts.bin: its temporary cannot be written whole.
      std::unique_ptr<testsupport::FileSizeLimit> limit;
      std::unique_ptr<testsupport::ReadOnlyFolder> read_only;
      if (full_disk) {
        limit = std::make_unique<testsupport::FileSizeLimit>(4000);
      } else {
        read_only = std::make_unique<testsupport::ReadOnlyFolder>(run_);
        if (!read_only->works()) GTEST_SKIP() << "the folder cannot be made read-only here";
      }
      EXPECT_EQ(job->Finish(), ToolOutcome::kFailed);
    }
    EXPECT_EQ(dialogs.log(), std::vector<std::string>{
                                 "counts.bin and setup.dat could not be rewritten (a full disk "
                                 "or a read-only folder): nothing was changed"});
    EXPECT_EQ(Snapshot(run_), before);
  }
}

// Faults below the program: the message says what became of the files.
TEST_F(ReanalysisTest, AReplaceSaysWhatBecameOfTheFiles) {
  const std::string headline =
      "counts.bin and setup.dat could not be rewritten: nothing was changed";
  const struct {
    const char* what;
    int first_failed_sync, failed_syncs;  // 0 is the list's, 1 to 4 the files' renames'
    bool folder_at_counts_bak;
    ToolOutcome outcome;
    std::string message;
    bool changed;
  } cases[] = {
      {"no sync succeeds", 0, testsupport::FolderSyncFault::kEvery, false, ToolOutcome::kFailed,
       headline + "\r\nThe disk reported: Input/output error.", false},
      {"no sync succeeds after the last rename", 4, 2, false, ToolOutcome::kDone,
       "counts.bin and setup.dat were rewritten\r\nThe folder could not be synced to the disk "
       "(Input/output error): the files were replaced but may not be safe on the disk until the "
       "run is opened again.",
       true},
      {"a folder named counts.bak", 0, 0, true, ToolOutcome::kFailed,
       headline + "\r\n" + (run_ / "counts.bak").string() + " is not a regular file.", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    NewRun(run_, 12, 12);
    request_.replace_data = true;
    if (c.folder_at_counts_bak) fs::create_directory(run_ / "counts.bak");
    const auto before = Snapshot(run_);
    testsupport::ScriptedDialogs dialogs;
    dialogs.ExpectOk();
    std::optional<ToolOutcome> outcome;
    {
      const testsupport::FolderSyncFault fault(c.first_failed_sync, c.failed_syncs);
      outcome = Reanalyse();
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(dialogs.log(), std::vector<std::string>{c.message});
    EXPECT_EQ(Snapshot(run_).at("counts.bin") != before.at("counts.bin"), c.changed);
  }
}

TEST_F(ReanalysisTest, AReplaceBlockedByAnUnfinishedListSaysWhereTheListIs) {
  NewRun(run_, 12, 12);
  request_.replace_data = true;
  // setup.dat's new file is gone while counts.bin's is still to be renamed.
  testsupport::WriteBytes(run_ / "counts.bin.AAAAAA.tmp~", "new");
  testsupport::WriteBytes(run_ / storage::kPendingRenamesName,
                          "\"counts.bin.AAAAAA.tmp~\",\"counts.bin\"\r\n"
                          "\"setup.dat.BBBBBB.tmp~\",\"setup.dat\"\r\n");
  testsupport::ScriptedDialogs dialogs;
  dialogs.ExpectOk().ExpectOk();
  EXPECT_EQ(Reanalyse(), ToolOutcome::kFailed);
  // The run's load tells of the list first.
  const std::string list =
      storage::PendingRenamesRefusal(run_, storage::FinishPendingRenames(run_));
  const std::string refused =
      "counts.bin and setup.dat could not be rewritten: nothing was changed";
  EXPECT_EQ(dialogs.log(), (std::vector<std::string>{list, refused + "\r\n" + list}));
}

TEST_F(ReanalysisTest, BinAndLapseAreClampedToTheRun) {
  const struct {
    int minutes;
    const char* bin;
    const char* lapse;
    const char* bin_shown;
    const char* lapse_shown;
    size_t blocks;
  } cases[] = {
      {45, "1", "533", "2", "533", 45},
      {45, "60", "533", "45", "533", 45},
      {25, "60", "533", "25", "533", 25},
      {100, "60", "533", "60", "533", 100},
      // One bound for reading and analysing: up to the first record reaching the lapse.
      {100, "30", "0.5", "30", "0.5", 30},
      {100, "30", "0.01", "5", "0.08", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.minutes) + " " + c.bin + " " + c.lapse);
    NewRun(run_, c.minutes, static_cast<int>(c.blocks));
    choices_.bin_text = c.bin;
    request_.lapse_text = c.lapse;
    testsupport::ScriptedDialogs dialogs;
    std::unique_ptr<ReanalysisJob> job = StartRawReanalysis(request_, choices_, 0);
    ASSERT_TRUE(job);
    EXPECT_EQ(choices_.bin_text, c.bin_shown);
    EXPECT_EQ(request_.lapse_text, c.lapse_shown);
    EXPECT_EQ(job->BlockCount(), c.blocks);
  }
}

}  // namespace
}  // namespace reports
