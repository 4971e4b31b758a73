// A run recorded by the acquisition engine against the simulated instrument, then
// reported: what the acquisition writes is what the report reads.
#include <gtest/gtest.h>

#include <sstream>

#include "acquisition/link_io.h"
#include "acquisition/run_engine.h"
#include "acquisition/run_files.h"
#include "link/comm_port.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "reports/report_engine.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/sim_harness.h"
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
  storage::ResetSharedState();
  testsupport::TempProgramFolder home;
  platform::ManualClock clock({2026, 3, 14, 10, 5, 0});
  platform::SetClock(&clock);
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  auto& sh = storage::Shared();
  const fs::path project = home / "p00001";
  fs::create_directories(project);
  sh.Project_Path = project.string();
  sh.Actual_Project_Number = 1;
  sh.Plate_format = "w384";  // no file: the built-in 384-well plate, as the report takes it too
  sh.Aq_lapse = 10;
  sh.Save_real = 0;
  for (int ch = 0; ch < storage::kChannelCount; ++ch)
    sh.Channel_Well[static_cast<size_t>(ch)] = static_cast<int16_t>(ch);

  testsupport::SimHarness sim(4, home.path());
  sim->SetReplyMode(sim::ReplyMode::kGroup);
  sim->SetTemperature(24.0);
  ASSERT_EQ(devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings), 0);
  devlink::SetInstrumentPort(4);

  testsupport::ScriptedDialogs dialogs;
  dialogs.AllowAnyOk();
  acquisition::LinkIo io;
  acquisition::RunView view;
  acquisition::RunEngine engine{io, view};
  engine.EndProcess = [] {};
  engine.controls.Auto_Run = true;
  ASSERT_EQ(engine.Start(), acquisition::StartResult::kStarted);
  for (int tick = 0; engine.TimerEnabled() && tick < 8000; ++tick) {
    clock.Advance(150);
    engine.Tick();
  }
  EXPECT_FALSE(engine.TimerEnabled());
  devlink::CommClose(4);
  devlink::SetInstrumentPort(0);
  const fs::path run = engine.RunFolderPath();
  const auto records = acquisition::ReadCountsFile(run / "counts.bin");
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
