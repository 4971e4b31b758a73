// A 7-day run of 15-second bins (40,320 counts records, about 31 MB) reported whole in
// 30-minute bins: run folder read, rebinning, statistics and the report file. The
// report is made several times; prints the best and the median time, the peak memory
// the first report added, and the same for a pandas script that does the same work on
// the same run folder (when /usr/bin/python3 has pandas). The script must write the
// engine's own text: the benchmark compares the two files and fails when they differ.
//
//   bench_reports [--runs N] [--no-body-bends] [--keep]   (--keep leaves the run folder)
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_write.h"
#include "platform/launcher.h"
#include "platform/program_folder.h"
#include "reports/group_statistics.h"
#include "reports/report_engine.h"
#include "reports/report_layout.h"
#include "reports/resampling.h"
#include "storage/run_files.h"
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

struct Figures {
  double best = 0;
  double median = 0;
};

Figures Summary(std::vector<double> seconds) {
  if (seconds.empty()) return {};
  std::sort(seconds.begin(), seconds.end());
  return {seconds.front(), seconds[seconds.size() / 2]};
}

// Seconds the pandas script reports, or a negative value when it could not run.
double RunPandas(const fs::path& run, const fs::path& out, const std::string& date) {
  const std::string cmd = std::string("/usr/bin/python3 ") + QUENLAR_PANDAS_SCRIPT + " '" +
                          run.string() + "' " + std::to_string(kBin) + " '" + out.string() +
                          "' '" + date + "' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1.0;
  std::string said;
  char buf[256];
  while (std::fgets(buf, sizeof buf, p)) said += buf;
  const int status = pclose(p);
  if (status != 0) {
    std::printf("  pandas failed: %s", said.c_str());
    return -1.0;
  }
  return std::atof(said.c_str());
}

std::vector<std::string> Lines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Prints how the two reports differ; true when they are the same bytes.
bool SameReport(const fs::path& ours, const fs::path& theirs) {
  const std::vector<std::string> a = Lines(ours), b = Lines(theirs);
  size_t differing = 0;
  std::vector<size_t> first;
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const bool same = i < a.size() && i < b.size() && a[i] == b[i];
    if (same) continue;
    ++differing;
    if (first.size() < 3) first.push_back(i);
  }
  if (differing == 0) {
    std::printf("  the two reports are the same %zu lines\n", a.size());
    return true;
  }
  std::printf("  REPORTS DIFFER: %zu of %zu lines (pandas wrote %zu)\n", differing, a.size(),
              b.size());
  for (size_t i : first) {
    std::printf("    line %zu engine: %.100s\n", i + 1, i < a.size() ? a[i].c_str() : "(none)");
    std::printf("    line %zu pandas: %.100s\n", i + 1, i < b.size() ? b[i].c_str() : "(none)");
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 7;
  bool body_bends = true, keep = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--keep") == 0) keep = true;
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    if (std::strcmp(argv[i], "--no-body-bends") == 0) body_bends = false;
  }
  std::string pattern = (fs::temp_directory_path() / "quenlar-bench-reports-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path home = pattern;
  platform::SetProgramFolder(home);
  const fs::path run = home / "p00001" / "20260101_0000";
  MakeRun(run);
  const double counts_mb = static_cast<double>(fs::file_size(run / "counts.bin")) / 1e6;

  // A fixed DATE line, so the peer can write the very same text.
  const platform::WallTime when{2026, 1, 1, 12, 0, 0};
  platform::ManualClock clock(when);
  platform::SetClock(&clock);
  const std::string date = reports::ReportDateText(when.year, when.month, when.day, when.hour,
                                                   when.minute, when.second);
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  reports::ReportChoices choices;
  choices.input_folder = run.string();
  choices.bin_text = std::to_string(kBin);
  choices.autoreport = true;
  choices.separator = ",";
  choices.decimal_symbol = '.';

  // The engine's runs follow one another, then the peer's (each a fresh interpreter).
  std::vector<double> ours;
  long added_kb = 0, process_kb = 0;
  reports::ReportStatus status = reports::ReportStatus::kWritten;
  std::string report_path;
  for (int i = 0; i < runs && status == reports::ReportStatus::kWritten; ++i) {
    // Peak memory of the report alone: reset the high-water mark first.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long rss_before = StatusKb("VmRSS");
    reports::ReportEngine engine;
    choices.bin_text = std::to_string(kBin);
    const auto t0 = std::chrono::steady_clock::now();
    status = engine.Generate(choices);
    ours.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    if (i == 0) {
      process_kb = StatusKb("VmHWM");
      added_kb = process_kb - rss_before;
    }
    report_path = engine.last_report_path;
  }
  const Figures engine = Summary(ours);
  // The same after the process sat idle for a while, as a report made from the window
  // is: on a shared machine the first milliseconds after a pause run slower.
  std::vector<double> after_pause;
  for (int i = 0; i < runs && status == reports::ReportStatus::kWritten; ++i) {
    usleep(100000);
    reports::ReportEngine engine_after_pause;
    choices.bin_text = std::to_string(kBin);
    const auto t0 = std::chrono::steady_clock::now();
    status = engine_after_pause.Generate(choices);
    after_pause.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  const Figures paused = Summary(after_pause);

  std::printf("report of a 7-day run (%d records, %.1f MB counts.bin) in %d-minute bins, %d runs\n",
              kRecords, counts_mb, kBin, runs);
  std::printf("  status            %s\n",
              status == reports::ReportStatus::kWritten ? "written" : "FAILED");
  if (status != reports::ReportStatus::kWritten) return 1;
  std::printf("  report file       %.1f KB\n", static_cast<double>(fs::file_size(report_path)) / 1e3);
  std::printf("  engine            best %.1f ms, median %.1f ms (goal < 1 s)\n", engine.best * 1e3,
              engine.median * 1e3);
  std::printf("  engine after 100 ms idle: best %.1f ms, median %.1f ms\n", paused.best * 1e3,
              paused.median * 1e3);
  std::printf(
      "  peak memory added %.1f MB = %.2f x counts.bin (goal < 1.5 x); process peak %.1f MB\n",
      static_cast<double>(added_kb) / 1024.0,
      static_cast<double>(added_kb) / 1024.0 / (counts_mb / 1.048576),
      static_cast<double>(process_kb) / 1024.0);

  // Where the time goes, stage by stage (best of the runs).
  {
    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point t) {
      return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    };
    std::vector<double> load_ms, rebin_ms, stats_ms, format_ms, write_ms;
    storage::RunPlate plate;
    storage::LoadProjectGroups(run, plate);
    for (int i = 0; i < runs; ++i) {
      auto t = Clock::now();
      storage::StoredCountsRecords loaded;
      int32_t duration = 0;
      int32_t n = storage::LoadStoredCountsFile(run / "counts.bin", loaded, &duration);
      load_ms.push_back(since(t));
      t = Clock::now();
      int32_t end = duration;
      reports::BinRecords bins;
      n = reports::ResampleCounts(end, n, kBin, loaded, bins);
      rebin_ms.push_back(since(t));
      loaded = storage::StoredCountsRecords{};
      t = Clock::now();
      reports::GroupStatistics stats;
      reports::BuildGroupStatistics(end, n, kBin, reports::OutputOption::kRows, run, bins, plate,
                                    stats);
      stats_ms.push_back(since(t));
      t = Clock::now();
      reports::ReportLayout layout;
      layout.L = end;
      layout.B = kBin;
      const std::string text = reports::FormatReport(layout, plate, stats);
      format_ms.push_back(since(t));
      t = Clock::now();
      platform::WriteFileAtomic(run / "stage_text.csv", text);
      write_ms.push_back(since(t));
    }
    std::printf(
        "  stages (best): load %.1f ms, rebin %.1f ms, statistics %.1f ms, text %.1f ms, "
        "written and synced %.1f ms\n",
        Summary(load_ms).best, Summary(rebin_ms).best, Summary(stats_ms).best,
        Summary(format_ms).best, Summary(write_ms).best);
  }

  bool same = true;
  std::vector<double> theirs;
  const fs::path pandas_out = run / "pandas_report.csv";
  for (int i = 0; i < runs; ++i) {
    const double seconds = RunPandas(run, pandas_out, date);
    if (seconds < 0) break;
    theirs.push_back(seconds);
  }
  if (theirs.empty()) {
    std::printf("  pandas: not available in /usr/bin/python3 or failed (no ratio)\n");
  } else {
    const Figures pandas = Summary(theirs);
    std::printf("  pandas, the same report: best %.1f ms, median %.1f ms\n", pandas.best * 1e3,
                pandas.median * 1e3);
    std::printf(
        "  ratio pandas / engine: best against best %.1f, median against median %.1f (goal >= "
        "10); against the engine after idling %.1f, %.1f\n",
        pandas.best / engine.best, pandas.median / engine.median, pandas.best / paused.best,
        pandas.median / paused.median);
    same = SameReport(report_path, pandas_out);
  }

  // The same week in body-bends mode: a histogram record per counts record, eleven to a
  // histo file (about 3.2 GB), reported in the histogram layout.
  if (body_bends) {
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
  platform::SetClock(nullptr);
  if (keep)
    std::printf("  run folder kept: %s\n", run.string().c_str());
  else
    fs::remove_all(home);
  return same ? 0 : 1;
}
