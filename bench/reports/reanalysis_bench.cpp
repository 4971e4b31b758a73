// The re-analysis of a one-day run on a 384-channel plate: 5,760 raw blocks of 15-second
// bins (about 2.2 GB of raw files, written into a unique temporary folder and removed
// afterwards), counted with one worker and with one per core, beside the time to read
// the same files alone (warm cache: every timing follows a full read). Prints the best
// and the median of several runs, and the machine's load around them.
//
//   bench_reanalysis                     the one-day run
//   bench_reanalysis --callgrind N       N blocks, one read and one single-thread pass
//                                        only: for valgrind --tool=callgrind, whose
//                                        instruction counts do not depend on the load
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/launcher.h"
#include "platform/program_folder.h"
#include "reports/block_pass.h"
#include "reports/raw_reanalysis.h"
#include "storage/run_files.h"

namespace fs = std::filesystem;

namespace {

int kBlocks = 4 * 60 * 24;  // one day of 15-second bins
constexpr int kRt = 500;
constexpr int kTemplates = 23;  // distinct blocks, cycled (prime: no file repeats another)
constexpr int kRunsOne = 3;
constexpr int kRunsAll = 5;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Figures {
  double best = 0.0, median = 0.0;
  double cpu = 0.0;  // processor seconds of every thread, the median run's
};

Figures Time(int runs, const std::function<void()>& work) {
  std::vector<std::pair<double, double>> s;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    const std::clock_t c0 = std::clock();
    work();
    s.emplace_back(Seconds(t0), double(std::clock() - c0) / CLOCKS_PER_SEC);
  }
  std::sort(s.begin(), s.end());
  return {s.front().first, s[s.size() / 2].first, s[s.size() / 2].second};
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// A plate's worth of levels: a base per channel, noise, and a few dips of varying depth.
std::vector<int16_t> TemplateBlock(int t) {
  std::vector<int16_t> levels(size_t(kRt + 1) * storage::kChannelSlots);
  uint32_t seed = 12345u + 977u * static_cast<uint32_t>(t);
  for (int c = 0; c < storage::kChannelSlots; ++c) {
    const int base = 1200 + (c * 37) % 600;
    const int dips = (t * 31 + c * 17) % 9;
    for (int s = 0; s <= kRt; ++s) {
      seed = seed * 1664525u + 1013904223u;
      int level = base + static_cast<int>(seed >> 28) - 8;
      for (int d = 0; d < dips; ++d)
        if (s >= 20 + d * 53 && s < 20 + d * 53 + 6 + d % 4) level -= 150 + 40 * (d % 5);
      levels[size_t(s) * storage::kChannelSlots + size_t(c)] = static_cast<int16_t>(level);
    }
  }
  return levels;
}

void MakeRun(const fs::path& run) {
  fs::create_directories(run);
  const char* lines[20] = {"\"Project Setup\"",
                           "1,\"Bench\",\"/tmp/\",\"w384\"",
                           "\"h\"",
                           "1,1440,99,500,1,30",
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
  std::string setup;
  for (const char* l : lines) setup += std::string(l) + "\r\n";
  WriteText(run / "setup.dat", setup);
  std::string groups = "\"<Group_Number>, <Group_Name>\"\r\n";
  std::string chgroup = "\"<Channel>, <Group: -1=Free>\"\r\n";
  for (int i = 0; i < 385; ++i) {
    groups += std::to_string(i) + ",\"" + (i < 24 ? "Col" + std::to_string(i) : "Free") + "\"\r\n";
    chgroup += std::to_string(i) + "," + std::to_string(i < 384 ? i / 16 : -1) + "\r\n";
  }
  WriteText(run / "groups.dat", groups);
  WriteText(run / "chgroup.dat", chgroup);

  std::string counts;
  storage::CountsRecord r;
  for (int k = 0; k < kBlocks; ++k) {
    r.Elapsed_Minutes = (k + 1) / 4;
    r.Counts[384] = 250;
    counts += storage::EncodeCountsRecord(r);
  }
  WriteText(run / "counts.bin", counts);

  std::vector<std::string> templates;
  for (int t = 0; t < kTemplates; ++t) {
    const std::vector<int16_t> levels = TemplateBlock(t);
    templates.push_back(storage::EncodeRawBlock(levels.data(), kRt));
  }
  for (int f = 0; f * storage::kRecordsPerFile < kBlocks; ++f) {
    std::ofstream out(run / storage::RawFileName(f), std::ios::binary);
    for (int i = 0; i < storage::kRecordsPerFile && f * 11 + i < kBlocks; ++i) {
      const std::string& b = templates[size_t((f * 11 + i) % kTemplates)];
      out.write(b.data(), static_cast<std::streamsize>(b.size()));
    }
  }
}

// Every block read once with the re-analysis's reader, by `threads` threads taking every
// threads-th block.
void ReadAll(const fs::path& run, int threads) {
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&run, t, threads] {
      storage::RunRawBlockReader reader(run, kRt);
      std::vector<int16_t> block(reader.block_bytes() / 2);
      for (int k = t; k < kBlocks; k += threads)
        if (!reader.Read(static_cast<size_t>(k), block.data())) std::abort();
    });
  }
  for (auto& p : pool) p.join();
}

// Removes the folder however the bench ends.
struct Scratch {
  fs::path path;
  ~Scratch() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const bool callgrind = argc == 3 && std::string(argv[1]) == "--callgrind";
  if (callgrind) kBlocks = std::max(1, std::atoi(argv[2]));
  const fs::path tmp = fs::temp_directory_path();
  const double raw_gb = double(kBlocks) * double(storage::RawBlockRecordBytes(kRt)) / 1e9;
  const std::uintmax_t free_bytes = fs::space(tmp).available;
  if (double(free_bytes) < raw_gb * 1e9 * 1.5 + 1e9) {
    std::printf("reanalysis bench: %.1f GB free in %s, needs %.1f GB: not run\n",
                double(free_bytes) / 1e9, tmp.c_str(), raw_gb * 1.5 + 1);
    return 2;
  }
  std::string pattern = (tmp / "quenlar-bench-reanalysis-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    std::printf("reanalysis bench: cannot make a folder in %s\n", tmp.c_str());
    return 1;
  }
  Scratch scratch{pattern};
  platform::SetProgramFolder(scratch.path);
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  const fs::path run = scratch.path / "p00001" / "20260101_0000";
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

  std::printf(
      "re-analysis of a one-day run: %d blocks of %d samples x 384 channels, %.2f GB of "
      "raw files, %d cores\n",
      kBlocks, kRt, raw_gb, cores);
  std::printf("  load average before: %s\n", LoadAverage().c_str());
  const auto made = Clock::now();
  MakeRun(run);
  std::printf("  run written in %.1f s\n", Seconds(made));

  reports::BlockPassPlan plan;
  plan.run_folder = run;
  plan.rt_buffer = kRt;
  plan.marks_times.assign(kBlocks, 0);
  for (int c = 0; c < 384; ++c) plan.channels.push_back(c);
  plan.threshold = 1.8;
  plan.method = 1;

  ReadAll(run, 1);  // warm the cache
  if (callgrind) {
    storage::Table2D<int16_t> counts;
    reports::PassControl control;
    reports::RunBlockPass(plan, nullptr, 1, control, counts);
    std::printf("  one read and one single-thread pass of %d blocks done\n", kBlocks);
    return 0;
  }
  const Figures read_one = Time(kRunsAll, [&] { ReadAll(run, 1); });
  const Figures read_all = Time(kRunsAll, [&] { ReadAll(run, cores); });

  storage::Table2D<int16_t> counts_one, counts_all;
  auto pass = [&](int threads, storage::Table2D<int16_t>& counts) {
    reports::PassControl control;
    if (reports::RunBlockPass(plan, nullptr, threads, control, counts) !=
        reports::PassOutcome::kDone)
      std::abort();
  };
  const Figures one = Time(kRunsOne, [&] { pass(1, counts_one); });
  const Figures all = Time(kRunsAll, [&] { pass(0, counts_all); });
  const bool same = counts_one.rows() == counts_all.rows() &&
                    std::memcmp(counts_one.row(0), counts_all.row(0),
                                counts_one.rows() * counts_one.cols() * sizeof(int16_t)) == 0;

  // The whole re-analysis from the window's request: checks, pass and report.
  reports::ReanalysisRequest request;
  request.run_folder = run.string();
  request.method = 1;
  request.threshold_text = "1.8";
  request.lapse_text = "533";
  reports::ReportChoices choices;
  choices.input_folder = run.string();
  choices.bin_text = "30";
  choices.autoreport = true;
  auto whole = [&](bool marks) {
    request.raw_export = marks;
    reports::ReportChoices c = choices;
    std::unique_ptr<reports::ReanalysisJob> job = reports::StartRawReanalysis(request, c);
    if (!job) std::abort();
    while (!job->Analysed()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (job->Finish() != reports::ToolOutcome::kDone) std::abort();
  };
  const Figures reanalysis = Time(kRunsAll, [&] { whole(false); });
  const Figures with_marks = Time(1, [&] { whole(true); });
  double marks_gb = 0.0;
  for (const auto& e : fs::directory_iterator(run))
    if (e.path().extension() == ".raw") marks_gb += double(e.file_size()) / 1e9;

  auto rate = [](double s) { return kBlocks / s; };
  std::printf("  read alone, 1 thread         best %6.3f s  median %6.3f s  (%.2f GB/s best)\n",
              read_one.best, read_one.median, raw_gb / read_one.best);
  std::printf("  read alone, %2d threads       best %6.3f s  median %6.3f s  (%.2f GB/s best)\n",
              cores, read_all.best, read_all.median, raw_gb / read_all.best);
  std::printf(
      "  block pass, 1 thread         best %6.3f s  median %6.3f s  = %6.0f blocks/s best, "
      "%6.0f median\n",
      one.best, one.median, rate(one.best), rate(one.median));
  std::printf(
      "  block pass, %2d threads       best %6.3f s  median %6.3f s  = %6.0f blocks/s best, "
      "%6.0f median\n",
      cores, all.best, all.median, rate(all.best), rate(all.median));
  std::printf("  counts of %d threads %s those of 1\n", cores, same ? "equal" : "DIFFER FROM");
  std::printf(
      "  processor time of the median pass: %.3f s on 1 thread, %.3f s on %d (the "
      "workers add %.1f%%; the rest of the gap is cores busy elsewhere)\n",
      one.cpu, all.cpu, cores, 100.0 * (all.cpu / one.cpu - 1.0));
  std::printf(
      "  scaling: %.2f x one thread (goal >= 0.6 x %d = %.1f), best against best; "
      "%.2f x median against median\n",
      one.best / all.best, cores, 0.6 * cores, one.median / all.median);
  std::printf("  whole re-analysis with its report, %d threads: best %.3f s  median %.3f s\n",
              cores, reanalysis.best, reanalysis.median);
  std::printf("  re-analysis / read alone (1 thread): %.2f best, %.2f median (goal <= 2)\n",
              reanalysis.best / read_one.best, reanalysis.median / read_one.median);
  std::printf("  re-analysis / read alone (%d threads): %.2f best, %.2f median\n", cores,
              reanalysis.best / read_all.best, reanalysis.median / read_all.median);
  std::printf("  with Export Raw (%.2f GB of marks lines), once: %.3f s\n", marks_gb,
              with_marks.best);
  std::printf("  load average after: %s\n", LoadAverage().c_str());
  platform::SetLauncher(nullptr);
  return same ? 0 : 1;
}
