// The browser's raw views on a 6-well run (32 beams a well): one page of 50 bins read
// from its 5 raw files and drawn on a picture of the plot's size, for a 3-beam well and
// for a 32-beam well; the re-analysis of that page; and tracking 100 blocks (10 raw
// files), played with drawing as the 20 ms timer does and run through as the data export
// does. Then the same through the browser window itself at 1600 x 1000, as a user meets
// it: the channel view opened on a 32-beam well (page 1 counted, loaded and drawn), a page
// change, and "Analyze" (the page and the analysis drawn). The re-analysis and the tracking without drawing are also timed the way they
// went before the plate analysis took them in batches (one call per channel and block),
// and both ways are checked to give the same results. Prints min and median of several
// runs (the files stay in the page cache after the first read, so the figures are
// warm-cache reads).
//
//   bench_offline [runs]     (runs offscreen unless QT_QPA_PLATFORM is set)
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "detection/raw_block_analysis.h"
#include "storage/run_files.h"
#include "ui/plot_paint.h"
#include "offline/loaded_run.h"
#include "offline/page_reanalysis.h"
#include "offline/path_tracking.h"
#include "offline/raw_pages.h"
#include "offline/signal_view.h"
#include "offline/forms/frm_offline.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/program_folder.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"
#include "ui/form.h"
#include "ui/picture_box.h"

namespace fs = std::filesystem;

namespace {

// The 6-well plate: 2 x 3 wells, each over 8 x 8 grid points, the even grid rows read.
offline::LoadedRun SixWellRun(const fs::path& folder) {
  offline::LoadedRun run;
  run.Chosen_Run_Path = folder;
  run.Run_Plate_format = "w6";
  run.Run_Plate_Rows = 2;
  run.Run_Plate_Cols = 3;
  run.Run_Row_Pitch = run.Run_Col_Pitch = 8;
  run.Run_Row_Offset = run.Run_Col_Offset = 0;
  run.Run_Channel_Well.fill(-1);
  run.Run_Max_Well = 5;
  run.Run_Max_Beam = 31;
  run.Run_Well_Grid.assign(6 * 32, -1);
  for (int wc = 0; wc < 3; ++wc)
    for (int wr = 0; wr < 2; ++wr)
      for (int gc = 8 * wc; gc < 8 * wc + 8; ++gc)
        for (int gr = 8 * wr; gr < 8 * wr + 8; gr += 2) {
          const int ch = gc * 16 + gr, well = wc * 2 + wr;
          const int beam = (gc - 8 * wc) * 4 + (gr - 8 * wr) / 2;
          run.Run_Channel_Well[size_t(ch)] = int16_t(well);
          run.Run_Channel_Beam[size_t(ch)] = int16_t(beam);
          run.Run_Well_Grid[size_t(well) * 32 + size_t(beam)] = int16_t(ch);
        }
  return run;
}

// Bins of levels near 2000 with noise and an animal's shadow wandering over each well.
void WriteRawBins(const fs::path& folder, int bins) {
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0, 6);
  std::vector<int16_t> rec(size_t{501} * storage::kChannelSlots);
  for (int bin = 0; bin < bins; ++bin) {
    for (int s = 0; s <= 500; ++s) {
      const int t = bin * 500 + s;
      const int shadow_col = (t / 37) % 8, shadow_row = (t / 91) % 8;
      for (int c = 0; c < storage::kChannelSlots; ++c) {
        double v = 2000 + noise(rng);
        if (c < 384 && (c / 16) % 8 == shadow_col && (c % 16) % 8 == shadow_row) v -= 400;
        rec[size_t(s) * storage::kChannelSlots + size_t(c)] = int16_t(v);
      }
    }
    std::ofstream out(folder / storage::RawFileName(bin / 11),
                      std::ios::binary | std::ios::app);
    const std::string bytes = storage::EncodeRawBlock(rec.data(), 500);
    out.write(bytes.data(), std::streamsize(bytes.size()));
  }
  std::string counts;
  for (int bin = 0; bin < bins; ++bin) {
    storage::CountsRecord r;
    r.Elapsed_Minutes = bin / 4;
    counts += storage::EncodeCountsRecord(r);
  }
  std::ofstream(folder / "counts.bin", std::ios::binary) << counts;
}

// The route the re-analysis and the tracking took before they used the plate
// analysis in batches: one call per channel and block, each on its own copy.
offline::PageAnalysis OneChannelPageAnalysis(const offline::RawPage& page,
                                             const std::vector<int>& beams, double threshold,
                                             int method) {
  offline::PageAnalysis out;
  out.page = page.page;
  out.beams = beams;
  out.traces.assign(beams.size(),
                    std::vector<std::array<int16_t, offline::kBlockSamples>>(offline::kPageBlocks));
  out.sums.assign(beams.size(), {});
  detection::DetectionParams params;
  params.threshold = threshold;
  params.method = method;
  detection::DetectionTraces traces;
  std::array<int16_t, offline::kBlockSamples> copy{};
  for (int b = 0; b < offline::kPageBlocks; ++b) {
    for (size_t k = 0; k < beams.size(); ++k) {
      if (beams[k] < 0) continue;
      page.CopySamples(beams[k], b, copy.data());
      const auto result =
          detection::AnalyzeRawBlock(copy, detection::ChannelMajor(500), params, traces);
      out.sums[k][static_cast<size_t>(b / offline::kBlocksPerSum)] += result.count;
      std::copy_n(traces.Threshold_Trace.begin(), offline::kBlockSamples,
                  out.traces[k][static_cast<size_t>(b)].begin());
    }
  }
  return out;
}

class OneChannelMarks final : public offline::TrackMarksSource {
 public:
  explicit OneChannelMarks(fs::path folder) : folder_(std::move(folder)) {}
  void Marks(int64_t block, double threshold, const std::vector<int>& channels,
             offline::BlockMarks& marks) override {
    for (int c : channels)
      for (int s = 0; s <= 500; ++s) marks.Set(c, s, false);
    storage::RawBlockRecord record(0);
    if (!storage::ReadRunRawBlock(folder_, static_cast<size_t>(block), 500, record)) return;
    detection::DetectionParams params;
    params.threshold = threshold;
    params.method = 1;
    detection::DetectionTraces traces;
    std::array<int16_t, 500> copy{};
    for (int c : channels) {
      for (int s = 0; s < 500; ++s) copy[static_cast<size_t>(s)] = record.At(c, s);
      traces.Event_Marks.fill(0);
      detection::AnalyzeRawBlock(copy, detection::ChannelMajor(500), params, traces);
      for (int s = 0; s <= 500; ++s)
        if (traces.Event_Marks[static_cast<size_t>(s)] == -1) marks.Set(c, s, true);
    }
  }

 private:
  fs::path folder_;
};

bool SameAnalysis(const offline::PageAnalysis& a, const offline::PageAnalysis& b) {
  return a.sums == b.sums && a.traces == b.traces;
}

struct Figures {
  double min = 0, median = 0;
};

Figures Measure(int runs, const std::function<void()>& f) {
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

void Report(const char* what, Figures f) {
  std::printf("%-66s min %8.2f ms  median %8.2f ms\n", what, f.min, f.median);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

  std::string tmpl = (fs::temp_directory_path() / "quenlar-bench-offline-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path page_run = fs::path(tmpl) / "page", track_run = fs::path(tmpl) / "track";
  fs::create_directories(page_run);
  fs::create_directories(track_run);
  WriteRawBins(page_run, 55);    // 5 raw files
  WriteRawBins(track_run, 100);  // 10 raw files
  const offline::LoadedRun run = SixWellRun(page_run);

  // The plot picture as the browser sizes it in a 1600 x 1000 window.
  ui::PictureBox picreal;
  picreal.resize(900, 520);
  std::printf("Offline raw views, 6-well run, %d runs each, picture %dx%d\n", runs, picreal.width(),
              picreal.height());

  const auto show = [&](const offline::PlotPicture& pic) {
    picreal.Scale(pic.scale.left, pic.scale.top, pic.scale.right, pic.scale.bottom);
    picreal.Cls();
    ui::PaintPlan(picreal, pic.plan);
  };
  offline::RawFiles files;
  offline::RawPage page;
  Report("count the raw files and load page 1 (5 files)", Measure(runs, [&] {
           files = offline::CountRawFiles(page_run, 500);
           page = offline::LoadRawPage(page_run, 500, files, 1);
         }));
  for (int channel : {0, 2}) {
    std::vector<int> beams = offline::BeamList(run, channel);
    if (channel == 2) beams.resize(3);  // a well of three beams
    const auto colours = offline::BeamColours(channel == 2 ? 2 : run.Run_Max_Beam);
    const std::string what =
        "draw the page, " +
        std::to_string(std::count_if(beams.begin(), beams.end(), [](int c) { return c >= 0; })) +
        " beams";
    Report(what.c_str(),
           Measure(runs, [&] { show(offline::SignalPagePicture(page, beams, colours)); }));
    const std::string load_draw = "load and draw page 1, " + what.substr(15);
    Report(load_draw.c_str(), Measure(runs, [&] {
             const offline::RawFiles f = offline::CountRawFiles(page_run, 500);
             const offline::RawPage p = offline::LoadRawPage(page_run, 500, f, 1);
             show(offline::SignalPagePicture(p, beams, colours));
           }));
    offline::PageAnalysis before, after;
    const std::string beams_text = what.substr(15);
    Report(("re-analyse the page, " + beams_text + ", one call per channel (before)").c_str(),
           Measure(runs, [&] { before = OneChannelPageAnalysis(page, beams, 1.8, 1); }));
    Report(("re-analyse the page, " + beams_text + ", plate analysis in batches").c_str(),
           Measure(runs, [&] {
             after = offline::AnalyzePage(page, beams, page_run / "counts.bin", 1.8, 1);
           }));
    std::printf("  (the same counts and traces both ways: %s)\n",
                SameAnalysis(before, after) ? "yes" : "NO");
    Report(("re-analyse and draw the page, " + beams_text).c_str(), Measure(runs, [&] {
             const offline::PageAnalysis a =
                 offline::AnalyzePage(page, beams, page_run / "counts.bin", 1.8, 1);
             ui::PaintPlan(picreal, offline::PageAnalysisPlan(a, colours));
           }));
  }

  const offline::LoadedRun track = SixWellRun(track_run);
  const offline::PlotPicture wells = offline::TrackWellsPicture(track);
  auto tracker = [&](bool one_channel = false) {
    const offline::TrackStart start = offline::ReadTrackStart(track_run, 500);
    std::unique_ptr<offline::TrackMarksSource> marks;
    if (one_channel) {
      marks = std::make_unique<OneChannelMarks>(track_run);
    } else {
      marks = std::make_unique<offline::RawTrackMarks>(track_run, 500);
    }
    return offline::PathTracker(offline::MakeTrackPlate(track), start.record_times,
                                std::move(marks), 1.8);
  };
  const auto run_through = [](offline::PathTracker& t) {
    while (!t.Finished()) {
      t.Step(nullptr);
      ++t.play_position;
    }
  };
  std::string csv_before, csv_after;
  Report("track 100 blocks without drawing, one call per channel (before)", Measure(runs, [&] {
           offline::PathTracker t = tracker(true);
           run_through(t);
           csv_before = offline::TravelDistanceCsv(track, t, t.Blocks() - 1, ",", "");
         }));
  int64_t steps = 0;
  Report("track 100 blocks, drawing every step (playback)", Measure(runs, [&] {
           show(wells);
           offline::PathTracker t = tracker();
           for (steps = 0; !t.Finished(); ++steps, ++t.play_position) {
             ui::DrawPlan plan;
             t.Step(&plan);
             if (plan.Size()) ui::PaintPlan(picreal, plan);
           }
         }));
  std::printf("  (%lld steps; playback itself is paced at one step per 20 ms)\n",
              static_cast<long long>(steps));
  Report("track 100 blocks without drawing (data export)", Measure(runs, [&] {
           offline::PathTracker t = tracker();
           run_through(t);
           csv_after = offline::TravelDistanceCsv(track, t, t.Blocks() - 1, ",", "");
         }));
  std::printf("  (the same travel distances both ways: %s)\n",
              csv_before == csv_after ? "yes" : "NO");

  // The window: a program folder with the 6-well layout and a w6 run of two whole pages.
  const fs::path home = fs::path(tmpl) / "home";
  const fs::path window_run = home / "p00001" / "20260101_0800";
  fs::create_directories(window_run);
  platform::SetProgramFolder(home);
  platform::LoggingDialogs quiet;
  platform::SetDialogs(&quiet);
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  fs::copy_file(fs::path(QUENLAR_DATA_DIR) / "w6.dat", home / "w6.dat");
  storage::ResetSharedState();
  storage::Shared().Plate_format = "w6";
  std::ofstream(window_run / "setup.dat", std::ios::binary) << storage::SetupFileBytes();
  WriteRawBins(window_run, 110);  // 10 raw files, pages 1 and 2 whole
  auto& window = ui::Default<offline::Frm_offline>();
  window.showNormal();
  window.resize(1600, 1000);
  QCoreApplication::processEvents();
  if (!window.LoadRun(window_run, -1, "p00001_Bench")) {
    std::printf("the window could not load the run\n");
    return 1;
  }
  window.cmdchannels_Click();
  const std::vector<int> window_beams = offline::BeamList(window.Run(), window.ChosenChannel());
  std::printf("\nThrough the window at 1600x1000 (plot picture %dx%d), well of channel %d, %d beams\n",
              window.Picreal->width(), window.Picreal->height(), window.ChosenChannel(),
              static_cast<int>(std::count_if(window_beams.begin(), window_beams.end(),
                                             [](int c) { return c >= 0; })));
  Report("Channel Signal: files counted, page 1 loaded and drawn", Measure(runs, [&] {
           window.cmdchannels_Click();
         }));
  int next_page = 2;
  Report("page change: a page loaded and drawn", Measure(runs, [&] {
           window.scrollpage->setValue(next_page);
           next_page = 3 - next_page;
         }));
  window.frmtxt_threshold->setText("1.8");
  Report("Analyze: the page analysed, the page and the analysis drawn", Measure(runs, [&] {
           window.Cmd_analyze_Click();
         }));
  ui::Unload<offline::Frm_offline>();
  platform::SetLauncher(nullptr);
  platform::SetDialogs(nullptr);

  std::error_code ec;
  fs::remove_all(tmpl, ec);
  return 0;
}
