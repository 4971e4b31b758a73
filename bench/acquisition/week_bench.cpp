// A week-long run: the run engine on the manual clock, a 30 ms tick after another,
// against the simulated instrument in process, for 7 days of a 384-channel plate
// without raw data (about 40,000 bins, 20 million ticks). Then every counts record
// is checked (whole, minutes from the run start across every midnight), the report
// engine reads the run back into a report, and the counts are compared with the
// beams' true interruption rates. Prints the wall time, the engine's memory after the
// first hour and at the end, and the report's figures. Fails when the memory grew by
// 10 MB or more or the counts follow the animals with r below 0.999.
//   bench_acquisition_week [days]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "acquisition/run_engine.h"
#include "storage/run_files.h"
#include "instrument-sim/instrument_model.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/program_folder.h"
#include "reports/report_engine.h"
#include "storage/plate_layout.h"
#include "storage/shared_state.h"

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr int kTickMs = 30;
constexpr int kReportBin = 30;
constexpr double kMaxGrowthMb = 10.0;
constexpr double kMinCorrelation = 0.999;

// The simulated instrument in this process: each frame answered by the model at the
// manual clock's time, its bytes through an input queue as on a serial line.
class ModelPort final : public acquisition::InstrumentIo {
 public:
  explicit ModelPort(sim::InstrumentModel& model) : model_(model) {}
  void Flush() override { input_.clear(); }
  int DiscardInput(int) override {
    const int n = int(input_.size());
    input_.clear();
    return n;
  }
  int Write(const std::string& bytes) override {
    if (bytes.size() == 5) {
      std::array<uint8_t, 5> frame;
      for (int i = 0; i < 5; ++i) frame[i] = uint8_t(bytes[i]);
      for (const auto& piece : model_.HandleFrame(frame, platform::MonotonicMs()))
        input_ += piece.bytes;
    }
    return int(bytes.size());
  }
  int Read(std::string& data, int count) override {
    data = input_.substr(0, std::size_t(count));
    input_.erase(0, data.size());
    return int(data.size());
  }
  bool DeviceWrite(int reg, int value, int mode) override {
    Write(devlink::DeviceFrame(reg, value, mode));
    return false;
  }
  int DeviceQuery(int reg, int value, int mode) override {
    input_.clear();
    Write(devlink::DeviceFrame(reg, value, mode));
    std::string reply;
    return Read(reply, 2) > 0 ? uint8_t(reply[0]) : -1;
  }

 private:
  sim::InstrumentModel& model_;
  std::string input_;
};

class BinCounter final : public acquisition::RunView {
 public:
  void DrawActivityPlot(int16_t) override { ++bins; }
  long bins = 0;
};

class QuietDialogs final : public platform::Dialogs {
 public:
  void MsgBox(const std::string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    messages.push_back(text);
    return false;
  }
  Answer AskYesNoCancel(const std::string& text) override {
    messages.push_back(text);
    return Answer::kCancel;
  }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& d) override {
    messages.push_back(prompt);
    return d;
  }
  std::vector<std::string> messages;
};

double RssMb() {
  std::ifstream in("/proc/self/statm");
  long pages = 0, resident = 0;
  in >> pages >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double Seconds(SteadyClock::time_point t0) {
  return std::chrono::duration<double>(SteadyClock::now() - t0).count();
}

double Pearson(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = double(x.size());
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < x.size(); ++i) mx += x[i] / n, my += y[i] / n;
  double sxy = 0, sxx = 0, syy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
    syy += (y[i] - my) * (y[i] - my);
  }
  return sxy / std::sqrt(sxx * syy);
}

}  // namespace

int main(int argc, char** argv) {
  const int days = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  std::string templ = (fs::temp_directory_path() / "quenlar-bench-week-XXXXXX").string();
  if (!mkdtemp(templ.data())) return 1;
  const fs::path home = templ;
  platform::SetProgramFolder(home);
  platform::ManualClock clock({2026, 3, 14, 10, 5, 0});
  platform::SetClock(&clock);
  QuietDialogs dialogs;
  platform::SetDialogs(&dialogs);
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);

  auto& sh = storage::Shared();
  fs::create_directories(home / "p00001");
  sh.Project_Path = (home / "p00001").string();
  sh.Actual_Project_Number = 1;
  sh.Plate_format = "w384";
  storage::ApplyPlateLayout(storage::BuiltInPlateLayout("w384"));
  sh.Aq_lapse = int16_t(days * 1440);
  sh.Save_real = 0;
  sh.Body_Bends = 0;

  sim::InstrumentModel model;
  model.SetReplyMode(sim::ReplyMode::kGroup);
  ModelPort port(model);
  BinCounter view;
  acquisition::RunEngine engine(port, view);
  engine.controls.Auto_Run = true;
  engine.controls.Temp_Enabled = true;
  engine.controls.txttemp = "25";
  if (engine.Start() != acquisition::StartResult::kStarted) {
    std::fprintf(stderr, "the run did not start\n");
    return 1;
  }
  const fs::path run = engine.RunFolderPath();

  std::printf(
      "%d-day run of a 384-channel plate without raw data, manual clock, the "
      "simulated instrument in process\n",
      days);
  const auto t_start = SteadyClock::now();
  double rss_first_hour = -1;
  long ticks = 0;
  int day_shown = 0;
  while (engine.TimerEnabled()) {
    clock.Advance(kTickMs);
    engine.Tick();
    ++ticks;
    const int64_t minutes = engine.state.Elapsed_Minutes;
    if (rss_first_hour < 0 && minutes >= 60) rss_first_hour = RssMb();
    if (minutes / 1440 > day_shown) {
      day_shown = int(minutes / 1440);
      std::printf("  day %d: %ld bins, %.0f s wall, %.1f MB resident\n", day_shown, view.bins,
                  Seconds(t_start), RssMb());
      std::fflush(stdout);
    }
  }
  const double run_s = Seconds(t_start);
  const double rss_end = RssMb();
  std::printf("  run: %ld ticks, %ld bins in %.1f s wall (%.1f us a tick, bin ends included)\n",
              ticks, view.bins, run_s, run_s * 1e6 / double(ticks));
  const double growth = rss_end - rss_first_hour;
  const bool memory_ok = rss_first_hour >= 0 && growth < kMaxGrowthMb;
  std::printf(
      "  engine memory: %.1f MB after the first hour, %.1f MB at the end: growth %.2f MB "
      "(goal < %.0f MB)%s\n",
      rss_first_hour, rss_end, growth, kMaxGrowthMb, memory_ok ? "" : ": FAILED");
  std::printf("  lost bins: %d; samples held back for a late tail: %d; end message: \"%s\"\n",
              engine.LostBins(), engine.RetractedSamples(),
              dialogs.messages.empty() ? "" : dialogs.messages.back().c_str());

  // Every record whole, minutes from the run start, never falling back at midnight.
  const auto bytes = fs::file_size(run / "counts.bin");
  const auto records = storage::ReadCountsFile(run / "counts.bin");
  int drops = 0, jumps = 0, midnights = 0;
  const int start_minute_of_day = 10 * 60 + 5;
  for (std::size_t i = 1; i < records.size(); ++i) {
    const int32_t a = records[i - 1].Elapsed_Minutes, b = records[i].Elapsed_Minutes;
    drops += b < a;
    jumps += b > a + 1;
    midnights += (start_minute_of_day + b) / 1440 > (start_minute_of_day + a) / 1440;
  }
  const bool whole =
      bytes % storage::kCountsRecordBytes == 0 && long(records.size()) == view.bins;
  std::printf(
      "  counts.bin: %.1f MB, %zu records (%s), minutes 0..%d, %d midnights crossed, "
      "%d falls, %d gaps\n",
      double(bytes) / 1e6, records.size(), whole ? "every record whole" : "NOT WHOLE",
      records.empty() ? 0 : records.back().Elapsed_Minutes, midnights, drops, jumps);

  // The counts follow the beams' true interruption rates.
  std::vector<double> counted, truth;
  for (int ch = 0; ch < 384; ch += 2) {
    double total = 0;
    for (const auto& r : records) total += r.Counts[ch];
    counted.push_back(total);
    truth.push_back(model.ActivityPerMille(ch));
  }
  const double r = Pearson(counted, truth);
  const bool counts_ok = r >= kMinCorrelation;  // false for a NaN too
  std::printf(
      "  counts against the simulated animals' crossing rates: r = %.4f over 192 beams "
      "(goal >= %.3f)%s\n",
      r, kMinCorrelation, counts_ok ? "" : ": FAILED");

  // The report engine reads the whole run back.
  reports::ReportChoices choices;
  choices.input_folder = run.string();
  choices.bin_text = std::to_string(kReportBin);
  choices.autoreport = true;
  reports::ReportEngine report;
  const auto t_report = SteadyClock::now();
  const auto status = report.Generate(choices);
  const double report_s = Seconds(t_report);
  std::size_t report_lines = 0;
  if (status == reports::ReportStatus::kWritten) {
    std::ifstream in(report.last_report_path);
    for (std::string line; std::getline(in, line);) ++report_lines;
  }
  std::printf("  report in %d-minute bins: %s, %zu lines, %.2f s\n", kReportBin,
              status == reports::ReportStatus::kWritten ? "written" : "FAILED", report_lines,
              report_s);

  platform::SetLauncher(nullptr);
  platform::SetDialogs(nullptr);
  platform::SetClock(nullptr);
  std::error_code ec;
  fs::remove_all(home, ec);
  const bool ok =
      whole && drops == 0 && memory_ok && counts_ok && status == reports::ReportStatus::kWritten;
  std::printf("  %s\n", ok ? "PASSED" : "FAILED");
  return ok ? 0 : 1;
}
