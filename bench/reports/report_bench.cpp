// A 7-day run of 15-second bins (40,320 counts records, about 31 MB) reported whole in
// 30-minute bins: run folder read, rebinning, statistics and the report file. Prints
// the time, the peak memory the report added, and the same binning and group means
// done by a pandas script on the same counts.bin (when /usr/bin/python3 has pandas).
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "storage/run_files.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/program_folder.h"
#include "reports/group_statistics.h"
#include "reports/report_engine.h"
#include "reports/report_layout.h"
#include "reports/resampling.h"
#include "storage/run_loading.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 4 * 60 * 24 * 7;
constexpr int kBin = 30;

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

void MakeRun(const fs::path& run) {
  fs::create_directories(run);
  std::string setup;
  const char* lines[20] = {"\"Project Setup\"",
                           "1,\"Bench\",\"/tmp/\",\"w384\"",
                           "\"h\"",
                           "1,10080,99,500,1,30",
                           "\"h\"",
                           "1,300,80,1,1,1",
                           "\"h\"",
                           "1,0,0,0,0,0",
                           "\"h\"",
                           "0,1,1,18,0,0",
                           "\"h\"",
                           "0,9,21,0,0,0",
                           "\"h\"",
                           "0,200,0,0,0,0",
                           "\"h\"",
                           "0,0,0,0,0,0",
                           "\"h\"",
                           "0,0,0,0,0,0",
                           "\"h\"",
                           "0,0,0,0,0,0"};
  for (const char* l : lines) setup += std::string(l) + "\r\n";
  WriteText(run / "setup.dat", setup);
  std::string groups = "\"<Group_Number>, <Group_Name>\"\r\n";
  std::string chgroup = "\"<Channel>, <Group: -1=Free>\"\r\n";
  for (int i = 0; i < 385; ++i) {
    groups += std::to_string(i) + ",\"" +
              (i < 13 ? "Group" + std::to_string(i) : std::string("Free")) + "\"\r\n";
    chgroup += std::to_string(i) + "," + std::to_string((i / 16 + 1) / 2) + "\r\n";
  }
  WriteText(run / "groups.dat", groups);
  WriteText(run / "chgroup.dat", chgroup);

  std::mt19937 rng(7);
  std::uniform_int_distribution<int> count(0, 40);
  std::string bytes;
  bytes.reserve(static_cast<size_t>(kRecords) * storage::kCountsRecordBytes);
  storage::CountsRecord r;
  for (int k = 0; k < kRecords; ++k) {
    r.Elapsed_Minutes = k / 4;
    for (int c = 0; c < 384; ++c)
      r.Counts[static_cast<size_t>(c)] = static_cast<int16_t>(count(rng));
    r.Counts[384] = 250;
    bytes += storage::EncodeCountsRecord(r);
  }
  WriteText(run / "counts.bin", bytes);
}

long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string k = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.compare(0, k.size(), k) == 0) return std::atol(line.c_str() + k.size());
  return -1;
}

// Seconds the pandas script reports, or a negative value when it could not run.
double RunPandas(const fs::path& counts) {
  const std::string cmd = std::string("/usr/bin/python3 ") + QUENLAR_PANDAS_SCRIPT + " " +
                          counts.string() + " " + std::to_string(kBin) + " " +
                          (counts.parent_path() / "pandas_report.csv").string() + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1.0;
  char buf[64] = {};
  const bool got = std::fgets(buf, sizeof buf, p) != nullptr;
  const int status = pclose(p);
  if (!got || status != 0) return -1.0;
  return std::atof(buf);
}

}  // namespace

int main() {
  const fs::path home = fs::temp_directory_path() / "quenlar-bench-reports";
  fs::remove_all(home);
  platform::SetProgramFolder(home);
  const fs::path run = home / "p00001" / "20260101_0000";
  MakeRun(run);
  const double counts_mb = static_cast<double>(fs::file_size(run / "counts.bin")) / 1e6;

  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  reports::ReportChoices choices;
  choices.input_folder = run.string();
  choices.bin_text = std::to_string(kBin);
  choices.autoreport = true;

  // Peak memory of the report alone: reset the high-water mark first.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long rss_before = StatusKb("VmRSS");
  reports::ReportEngine engine;
  const auto t0 = std::chrono::steady_clock::now();
  const reports::ReportStatus status = engine.Generate(choices);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const long peak = StatusKb("VmHWM");

  std::printf("report of a 7-day run (%d records, %.1f MB counts.bin) in %d-minute bins\n",
              kRecords, counts_mb, kBin);
  std::printf("  status            %s\n",
              status == reports::ReportStatus::kWritten ? "written" : "FAILED");
  std::printf("  report file       %.1f KB\n",
              static_cast<double>(fs::file_size(engine.last_report_path)) / 1e3);
  std::printf("  whole report      %.3f s (goal < 1 s)\n", seconds);
  std::printf(
      "  peak memory added %.1f MB = %.2f x counts.bin (goal < 1.5 x); process peak %.1f MB\n",
      static_cast<double>(peak - rss_before) / 1024.0,
      static_cast<double>(peak - rss_before) / 1024.0 / (counts_mb / 1.048576),
      static_cast<double>(peak) / 1024.0);

  // Where the time goes, stage by stage.
  {
    using Clock = std::chrono::steady_clock;
    auto lap = [](Clock::time_point& t) {
      const auto now = Clock::now();
      const double ms = std::chrono::duration<double, std::milli>(now - t).count();
      t = now;
      return ms;
    };
    auto t = Clock::now();
    const int32_t duration = storage::GetCountsDuration(run / "counts.bin");
    const double d_ms = lap(t);
    reports::CountsRecords loaded;
    int32_t n = storage::LoadCountsFile(run / "counts.bin", loaded);
    const double l_ms = lap(t);
    int32_t end = duration;
    reports::BinRecords bins;
    n = reports::ResampleCounts(end, n, kBin, loaded, bins);
    const double r_ms = lap(t);
    reports::GroupStatistics stats;
    reports::BuildGroupStatistics(end, n, kBin, reports::OutputOption::kRows, run, bins,
                                  engine.plate, stats);
    const double s_ms = lap(t);
    reports::ReportLayout layout;
    layout.L = end;
    layout.B = kBin;
    const std::string text = reports::FormatReport(layout, engine.plate, stats);
    const double f_ms = lap(t);
    std::printf(
        "  stages: duration %.1f ms, load %.1f ms, rebin %.1f ms, statistics %.1f ms, format %.1f "
        "ms\n",
        d_ms, l_ms, r_ms, s_ms, f_ms);
  }

  const double pandas = RunPandas(run / "counts.bin");
  if (pandas > 0)
    std::printf("  pandas, the same report %.3f s; ratio pandas / ours = %.1f (goal >= 10)\n",
                pandas, pandas / seconds);
  else
    std::printf("  pandas: not available in /usr/bin/python3 (no ratio)\n");

  // The same week in body-bends mode: a histogram record per counts record, eleven to a
  // histo file (about 3.2 GB), reported in the histogram layout.
  {
    storage::HistoRecord h;
    h.Sample_Seconds = 0.03;
    std::string file_bytes;
    for (int k = 0; k < kRecords; ++k) {
      h.Elapsed_Minutes_Exact = k / 4.0;
      for (int c = 0; c < 384; ++c) h.At(c, 2 + (k + c) % 40) += 1;
      file_bytes += storage::EncodeHistoRecord(h);
      if (k % storage::kRecordsPerFile == storage::kRecordsPerFile - 1 ||
          k + 1 == kRecords) {
        WriteText(run / storage::HistoFileName(k / storage::kRecordsPerFile), file_bytes);
        file_bytes.clear();
      }
    }
    choices.option = reports::OutputOption::kHistogram;
    choices.bin_text = std::to_string(kBin);
    std::vector<double> runs;
    for (int i = 0; i < 3; ++i) {
      reports::ReportEngine histo_engine;
      const auto h0 = std::chrono::steady_clock::now();
      const bool written = histo_engine.Generate(choices) == reports::ReportStatus::kWritten;
      runs.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - h0).count());
      if (!written) std::printf("  body-bends report FAILED\n");
    }
    std::sort(runs.begin(), runs.end());
    std::printf(
        "  body-bends report of the same week (%d histo records): best %.3f s, median %.3f s "
        "(goal < 1 s)\n",
        kRecords, runs.front(), runs[runs.size() / 2]);
  }
  platform::SetLauncher(nullptr);
  fs::remove_all(home);
  return status == reports::ReportStatus::kWritten ? 0 : 1;
}
