// The browser's group activity on big runs: a 7-day run of 15-second bins (40,320
// counts records, 31 MB) loaded and drawn in each view, and the kinetics of 99 tagged
// 6-hour runs, each counts.bin read once. Each view is timed from the files to the
// painted picture (plot picture of 1100 x 660 pixels, the browser's at 1600 x 1000),
// and the whole double click (run loading and its bar plot, through the window) too.
// Prints min and median of several runs; the files stay in the page cache after the
// first read, so the figures are warm-cache reads.
//
//   bench_offline_activity [runs]     (runs offscreen unless QT_QPA_PLATFORM is set)
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "storage/run_files.h"
#include "ui/plot_paint.h"
#include "offline/forms/frm_offline.h"
#include "offline/group_activity.h"
#include "offline/loaded_run.h"
#include "offline/offline_plots.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/program_folder.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"
#include "ui/picture_box.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWeekRecords = 4 * 60 * 24 * 7;
constexpr int kTaggedRuns = 99;
constexpr int kTaggedRecords = 4 * 60 * 6;

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// A run folder of the 96-well layout "w96u": setup.dat, the 96 wells in 12 groups of
// eight, and `records` counts records four to a minute.
void MakeRun(const fs::path& run, int records, unsigned seed) {
  fs::create_directories(run);
  auto& s = storage::Shared();
  s.Plate_format = "w96u";
  s.Aq_lapse = static_cast<int16_t>(std::min(records / 4, 32767));
  WriteText(run / "setup.dat", storage::SetupFileBytes());
  std::string groups = "\"<Group_Number>, <Group_Name>\"\r\n";
  std::string chgroup = "\"<Channel>, <Group: -1=Free>\"\r\n";
  for (int i = 0; i < 384; ++i) {
    groups += std::to_string(i) + ",\"" +
              (i < 12 ? "Group" + std::to_string(i) : std::string("Free")) + "\"\r\n";
    chgroup += std::to_string(i) + "," + std::to_string(i % 2 == 0 ? (i / 16) / 2 : -1) + "\r\n";
  }
  WriteText(run / "groups.dat", groups);
  WriteText(run / "chgroup.dat", chgroup);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> count(0, 40);
  std::vector<storage::CountsRecord> rec(static_cast<size_t>(records));
  for (int k = 0; k < records; ++k) {
    rec[static_cast<size_t>(k)].Elapsed_Minutes = k / 4;
    for (int c = 0; c < 384; ++c)
      rec[static_cast<size_t>(k)].Counts[static_cast<size_t>(c)] = int16_t(count(rng));
  }
  storage::WriteCountsFile(run / "counts.bin", rec);
}

struct Figures {
  double min = 0, median = 0;
};

Figures Time(int runs, const std::function<void()>& f) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2]};
}

void Report(const char* what, const Figures& f) {
  std::printf("%-58s min %9.2f ms   median %9.2f ms\n", what, f.min, f.median);
}

void Paint(ui::PictureBox& pic, const offline::PlotPicture& p) {
  pic.Scale(p.scale.left, p.scale.top, p.scale.right, p.scale.bottom);
  pic.Cls();
  ui::PaintPlan(pic, p.plan);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

  char pattern[] = "/tmp/quenlar-offline-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path home = pattern;
  platform::SetProgramFolder(home);
  platform::LoggingDialogs quiet;
  platform::SetDialogs(&quiet);
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  fs::copy_file(fs::path(QUENLAR_DATA_DIR) / "w96u.dat", home / "w96u.dat");
  storage::ResetSharedState();

  const fs::path project = home / "p00001";
  const fs::path week = project / "20260101_0800";
  std::printf("writing a 7-day run (%d records) and %d tagged 6-hour runs in %s ...\n",
              kWeekRecords, kTaggedRuns, home.c_str());
  MakeRun(week, kWeekRecords, 1);
  std::string tag_list;
  for (int k = 0; k < kTaggedRuns; ++k) {
    const int day = 1 + k / 4;
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "202602%02d_%02d00", day, 2 + 6 * (k % 4));
    MakeRun(project / stamp, kTaggedRecords, 100 + static_cast<unsigned>(k));
    tag_list += (tag_list.empty() ? "" : " ") + std::string(stamp);
  }
  std::printf("counts.bin of the week: %.1f MB\n\n", fs::file_size(week / "counts.bin") / 1e6);

  ui::PictureBox pic;
  pic.resize(1100, 660);
  offline::LoadedRun run = *offline::LoadAcquisitionSetup(week, home).run;
  offline::ActivityTables tables;
  std::vector<std::string> items;
  for (int g = 0; g < 12; ++g)
    items.push_back("0" + std::string(g < 10 ? "0" : "") + std::to_string(g) + "_Group" +
                    std::to_string(g));

  Report("load the run's settings, tables and plate",
         Time(runs, [&] { run = *offline::LoadAcquisitionSetup(week, home).run; }));
  Report("bar plot: whole-run group means, drawn", Time(runs, [&] {
           const auto load = offline::LoadGroupActivity(week, run.Run_Group, 30, false, tables);
           Paint(pic, offline::BarPlot({&tables, &items, 0, 0, load.max, pic.FontSize()}));
         }));
  Report("grid plot: channel totals, drawn", Time(runs, [&] {
           offline::LoadChannelTotals(week, tables);
           Paint(pic, offline::GridPlot(run, tables));
         }));
  for (const int bin : {30, 5}) {
    const std::string what = "line plot in " + std::to_string(bin) + "-minute bins (" +
                             std::to_string(10080 / bin + 1) + " bins), drawn";
    Report(what.c_str(), Time(runs, [&] {
             const auto load = offline::LoadGroupActivity(week, run.Run_Group, bin, true, tables);
             offline::LinePlotInput in;
             in.tables = &tables;
             in.items = &items;
             in.bin = bin;
             in.max = load.max;
             in.picture_width = pic.width();
             Paint(pic, offline::LinePlotPlan(in).picture);
           }));
  }
  Report("kinetics of 99 tagged 6-hour runs, drawn", Time(runs, [&] {
           const auto load = offline::LoadTaggedKinetics(project, tag_list, run.Run_Group, tables);
           offline::LinePlotInput in;
           in.tables = &tables;
           in.items = &items;
           in.tagged = true;
           in.max = load.max;
           Paint(pic, offline::LinePlotPlan(in).picture);
         }));

  // The whole double click: the run loaded through the window, which draws its bars.
  auto& window = ui::Default<offline::Frm_offline>();
  window.resize(1600, 1000);
  window.ArrangeControls();
  Report("double click: the week loaded and its bars drawn, window",
         Time(runs, [&] { window.LoadRun(week, -1, "p00001_Bench"); }));
  Report("kinetics of 99 tagged runs through the window (progress)",
         Time(runs, [&] { window.DrawLinePlot(5, tag_list, false); }));
  ui::Unload<offline::Frm_offline>();

  platform::SetLauncher(nullptr);
  platform::SetDialogs(nullptr);
  std::error_code ec;
  fs::remove_all(home, ec);
  return 0;
}
