// A run recorded by the acquisition engine against the simulated instrument, then
// reported: what the acquisition writes is what the report reads.
#include <gtest/gtest.h>

#include <sstream>

#include "storage/run_files.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "reports/report_engine.h"
#include "reports/run_folder.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

namespace reports {
namespace {

namespace fs = std::filesystem;

// The cells after the third field of the lines of one section, summed.
int64_t SumChannelSection(const std::string& report) {
  const size_t start = report.find("\"<<<<<< Channel Activity >>>>>>\"");
  if (start == std::string::npos) return -1;
  std::istringstream in(report.substr(start));
  std::string line;
  std::getline(in, line);  // title
  std::getline(in, line);  // header
  int64_t sum = 0;
  while (std::getline(in, line)) {
    std::istringstream cells(line);
    std::string cell;
    for (int field = 0; std::getline(cells, cell, ','); ++field)
      if (field >= 3) sum += std::stoll(cell);
  }
  return sum;
}

TEST(RecordedRun, ReportOfARunRecordedAgainstTheSimulator) {
  testsupport::TempProgramFolder home;
  platform::ManualClock clock({2026, 3, 14, 10, 20, 0});
  platform::SetClock(&clock);
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  const fs::path run = reports_test::RecordSimulatedRun(home.path(), 10, false);
  ASSERT_FALSE(run.empty());
  const auto records = storage::ReadCountsFile(run / "counts.bin");
  ASSERT_GE(records.size(), 7u);
  int64_t recorded = 0;
  for (const auto& r : records)
    for (int ch = 0; ch < 384; ++ch) recorded += r.Counts[static_cast<size_t>(ch)];
  ASSERT_GT(recorded, 0);

  ReportChoices choices;
  choices.input_folder = run.string();
  choices.bin_text = "5";
  choices.autoreport = true;
  ReportEngine report;
  ASSERT_EQ(report.Generate(choices), ReportStatus::kWritten);
  const std::string text = testsupport::ReadBytes(run / "report.csv");
  EXPECT_NE(text.find("\"SETTING:\",\"Mode1 C.elegans[snr=1.8]\"\r\n"), std::string::npos);
  EXPECT_NE(text.find("Group/Time[m],5,10\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"012_Free\","), std::string::npos);  // default groups 0..12
  EXPECT_NE(text.find("CH383,P24.0,\"012_Free\","), std::string::npos);
  // Every recorded count is in the report (rounding of shared records aside).
  EXPECT_NEAR(static_cast<double>(SumChannelSection(text)), static_cast<double>(recorded),
              384.0 * 2);
  platform::SetLauncher(nullptr);
  platform::SetClock(nullptr);
}

}  // namespace
}  // namespace reports
