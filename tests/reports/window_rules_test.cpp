// The settings dialog's input checks and what decides the automatic report's second
// pass.
#include <gtest/gtest.h>

#include "storage/run_files.h"
#include "reports/raw_data_tools.h"
#include "reports/report_window_rules.h"
#include "reports/run_folder.h"
#include "support/temp_folder.h"

namespace reports {
namespace {

namespace fs = std::filesystem;

TEST(SettingsInput, BinMustBeAWholeNumberFrom2To1440) {
  const struct {
    const char* text;
    int bin;  // 0: refused
  } cases[] = {{"45", 45},   {" 2 ", 2},   {"1440", 1440},
               {"0030", 30}, {"60.0", 0},  {"1", 0},
               {"1441", 0},  {"45.5", 0},  {"", 0},
               {"abc", 0},   {"30min", 0}, {"-30", 0},
               {"+30", 0},   {"1e9", 0},   {"1e2", 0},
               {"0x1E", 0},  {"3 0", 0},   {"99999999999999999999", 0}};
  for (const auto& c : cases) {
    const auto bin = ParseSettingsBin(c.text);
    EXPECT_EQ(bin.value_or(0), c.bin) << c.text;
  }
  EXPECT_TRUE(SeparatorStorable(";"));
  EXPECT_TRUE(SeparatorStorable(""));
  EXPECT_FALSE(SeparatorStorable("a\"b"));
}

TEST(ChainAnalysis, TheRunsOwnSettingsAsItsAcquisitionUsedThem) {
  const struct {
    storage::RunAnalysis run;  // method, organism, snr_x10
    ChainAnalysis expected;
  } cases[] = {
      {{3, 3, 8}, {3, 3, "0.8"}},
      {{2, 1, 28}, {1, 2, "2.8"}},
      {{0, 0, 18}, {0, 1, "1.8"}},  // the acquisition counts method 0 as 1
      {{1, 0, 0}, {0, 1, "1.8"}},   // an SNR below 0.5 stands for the default
      {{7, 9, 25}, {0, 1, "2.5"}},
      // The run's copy holds the factor its counts were made with, whatever the organism
      // would choose (a calibration at the run start reads it from the SNR box).
      {{1, 0, 25}, {0, 1, "2.5"}},
      {{1, 1, 40}, {1, 1, "4.0"}},
      {{2, 2, 14}, {2, 2, "1.4"}},
      {{3, 3, 5}, {3, 3, "0.5"}},  // the lowest the Drosophila box takes
      {{3, 3, 4}, {3, 3, "1.8"}},
  };
  for (const auto& c : cases) {
    const ChainAnalysis a = ChainAnalysisFor(c.run);
    EXPECT_EQ(a.organism, c.expected.organism);
    EXPECT_EQ(a.method, c.expected.method);
    EXPECT_EQ(a.threshold_text, c.expected.threshold_text);
  }
}

TEST(ChainAnalysis, RawBlocksMustCoverEveryRecord) {
  testsupport::TempProgramFolder home;
  const fs::path run = home / "run";
  reports_test::WriteRunTexts(run);
  const size_t block = storage::RawBlockRecordBytes(500);
  const struct {
    const char* what;
    int records;
    std::vector<size_t> blocks_per_file;  // whole blocks in 0.bin, 1.bin, ...
    size_t extra_bytes;                   // a partial block after the last file's
    bool complete;
  } cases[] = {
      {"no records", 0, {}, 0, false},
      {"no raw files", 3, {}, 0, false},
      {"one file", 3, {3}, 0, true},
      {"a block short", 3, {2}, block - 1, false},
      {"twelve records over two files", 12, {11, 1}, 0, true},
      {"second file missing", 12, {11}, 0, false},
      {"more blocks than records", 2, {5}, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : fs::directory_iterator(run))
      if (e.path().extension() == ".bin") fs::remove(e.path());
    reports_test::AppendCounts(
        run, c.records, [](int r) { return r; }, [](int, int) { return 0; }, [](int) { return 0; });
    for (size_t f = 0; f < c.blocks_per_file.size(); ++f) {
      std::string bytes(c.blocks_per_file[f] * block, '\0');
      if (f + 1 == c.blocks_per_file.size()) bytes += std::string(c.extra_bytes, '\0');
      testsupport::WriteBytes(run / storage::RawFileName(static_cast<int>(f)), bytes);
    }
    EXPECT_EQ(RawBlocksComplete(run), c.complete);
  }
}

}  // namespace
}  // namespace reports
