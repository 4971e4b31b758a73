// Drawing cost of the main window's plots against the 30 ms acquisition tick: the
// real-time update drawn every second tick, and each view's redraw at a bin end,
// painted on picture boxes of the size the main window gives them.
//
//   bench_mainwindow [repetitions]     (runs offscreen unless QT_QPA_PLATFORM is set)
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "mainwindow/plot_geometry.h"
#include "ui/plot_paint.h"
#include "mainwindow/realtime_view.h"
#include "storage/plate_layout.h"
#include "storage/shared_state.h"
#include "ui/picture_box.h"

namespace {

constexpr double kTickMs = 30.0;

double MsPerCall(int reps, const std::function<void()>& f) {
  f();  // warm-up
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < reps; ++i) f();
  const auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::milli>(t1 - t0).count() / reps;
}

void Report(const char* what, double ms) {
  std::printf("%-46s %9.4f ms  %6.2f %% of the 30 ms tick\n", what, ms, 100.0 * ms / kTickMs);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int reps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

  storage::ResetSharedState();
  auto& s = storage::Shared();
  storage::ApplyPlateLayout(storage::BuiltInPlateLayout("w96f"));
  // 96 wells in 12 groups of 8 wells (16 beams) each, every channel busy.
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int w = s.Channel_Well[static_cast<std::size_t>(ch)];
    s.Group[static_cast<std::size_t>(ch)] = static_cast<int16_t>(w >= 0 ? w / 8 : -1);
  }
  std::array<int16_t, storage::kTableSize> totals{};
  for (int ch = 0; ch < storage::kChannelCount; ++ch) totals[std::size_t(ch)] = int16_t(ch * 37 % 900);
  std::vector<int32_t> histo(std::size_t(51) * storage::kTableSize);
  for (std::size_t i = 0; i < histo.size(); ++i) histo[i] = int32_t(i % 13);

  mainwindow::ActivityData data;
  data.shared = &s;
  data.groups = mainwindow::GroupsOfStation(s, 0);
  data.count_total = &totals;
  data.histo = &histo;
  data.histo_records = 3;
  data.sample_seconds_total = 0.09;

  // Sizes of the main window's pictures on a 1280 x 1024 screen.
  ui::PictureBox picact;
  picact.resize(620, 470);
  ui::PictureBox picreal;
  picreal.resize(620, 230);
  picreal.Scale(0, 2100, s.RT_Buffer + 20, 0);
  picreal.Cls();

  const int rows = 501;
  std::vector<int16_t> ring(std::size_t(rows) * 385), planes(std::size_t(rows) * 385);
  for (int i = 0; i < rows; ++i) {
    for (int ch = 0; ch < 385; ++ch) {
      ring[std::size_t(i) * 385 + ch] = int16_t(1500 + (i * 7 + ch) % 200);
      planes[std::size_t(i) * 385 + ch] = int16_t(1450);
    }
  }
  std::array<int16_t, 385> peaks{};
  mainwindow::ComputeLevelPeaks(ring.data(), rows, 400, peaks);
  mainwindow::RealtimeData rt;
  rt.ring = ring.data();
  rt.planes = planes.data();
  rt.rows = rows;
  rt.RT_Buffer = s.RT_Buffer;
  rt.Level_Peak = &peaks;
  rt.channel = 66;

  std::printf("Plot drawing, %d repetitions, pictures 620x470 (Picact) and 620x230 (Picreal)\n",
              reps);

  int tick = 0;
  for (int zoom : {0, 4}) {
    rt.Zoom_Level = zoom;
    const double per_tick = MsPerCall(reps, [&] {
      rt.Ring_Index = int16_t(6 + tick % 490);
      mainwindow::DrawPlan plan;
      mainwindow::RealtimeTraces(plan, rt);
      mainwindow::TickCounter(plan, ++tick);
      ui::PaintPlan(picreal, plan);
    });
    Report(zoom == 0 ? "real-time update (every 2nd tick), zoom 0" : "real-time update (every 2nd tick), zoom 4",
           per_tick);
    rt.Ring_Index = 250;
    Report(zoom == 0 ? "real-time whole view (selection), zoom 0" : "real-time whole view (selection), zoom 4",
           MsPerCall(reps / 4 + 1, [&] {
             picreal.Cls();
             mainwindow::DrawPlan plan;
             mainwindow::RealtimePlot(plan, rt);
             ui::PaintPlan(picreal, plan);
           }));
  }

  picact.Scale(-30, 300, 300, -30);
  picact.Cls();
  std::vector<int16_t> wells;
  for (int w = 16; w < 24; ++w) wells.push_back(int16_t(w));
  wells.resize(385, 0);
  Report("bin end: wells view (8 wells)", MsPerCall(reps, [&] {
           double scale = 1.0;
           mainwindow::DrawPlan plan;
           mainwindow::TimePlot(plan, data, "002_Group2", wells, 8, scale);
           ui::PaintPlan(picact, plan);
         }));
  std::vector<int16_t> all_wells;
  for (int w = 0; w < 96; ++w) all_wells.push_back(int16_t(w));
  all_wells.resize(385, 0);
  Report("bin end: wells view (96 wells)", MsPerCall(reps, [&] {
           double scale = 1.0;
           mainwindow::DrawPlan plan;
           mainwindow::TimePlot(plan, data, "002_Group2", all_wells, 96, scale);
           ui::PaintPlan(picact, plan);
         }));
  Report("bin end: bar view (12 groups)", MsPerCall(reps, [&] {
           mainwindow::ActivityPlotState st{1.0, 0, 0, false};
           mainwindow::DrawPlan plan;
           mainwindow::BarPlot(plan, data, st);
           ui::PaintPlan(picact, plan);
         }));
  Report("bin end: histogram view (26 classes)", MsPerCall(reps, [&] {
           mainwindow::ActivityPlotState st{1.0, 2, 0, false};
           mainwindow::DrawPlan plan;
           mainwindow::HistoPlot(plan, data, st);
           ui::PaintPlan(picact, plan);
         }));
  const auto gs = mainwindow::GridFrameScale(s);
  picact.Scale(gs[0], gs[1], gs[2], gs[3]);
  Report("bin end: plate grid view (96 wells)", MsPerCall(reps, [&] {
           mainwindow::DrawPlan plan;
           mainwindow::GridPlot(plan, data);
           ui::PaintPlan(picact, plan);
         }));
  Report("grid view button (frame, fills, frame)", MsPerCall(reps, [&] {
           picact.Cls();
           mainwindow::DrawPlan plan;
           mainwindow::GridFrame(plan, s);
           mainwindow::GridPlot(plan, data);
           mainwindow::GridFrame(plan, s);
           ui::PaintPlan(picact, plan);
         }));
  return 0;
}
