// The main window's activity plot (Picact) and real-time view (Picreal): the view
// buttons, pages, zoom and the redraws the run asks for. The drawing plans come from
// plot_geometry and realtime_view; this file feeds them the window's fields and the
// run's buffers and paints the result.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <algorithm>

#include "mainwindow/frm_main.h"
#include "mainwindow/plot_geometry.h"
#include "ui/plot_paint.h"
#include "mainwindow/realtime_view.h"
#include "storage/shared_state.h"

namespace mainwindow {
namespace {

constexpr int kBarsPerPage = 12;

ActivityData ActivityOf(Frm_Main& f, int station) {
  const storage::SharedState& s = storage::Shared();
  const acquisition::RunState& st = f.engine().state;
  ActivityData d;
  d.shared = &s;
  d.groups = GroupsOfStation(s, station);
  // Only the first station is ever counted; the others show empty plots.
  if (station == 0) {
    d.count_total = &st.Count_Total;
    d.histo = &st.Histo.Histo;
  }
  d.histo_records = st.Histo_Records;
  d.sample_seconds_total = st.Sample_Seconds_Total;
  return d;
}

RealtimeData RealtimeOf(Frm_Main& f, int station) {
  const acquisition::RunState& st = f.engine().state;
  RealtimeData d;
  if (station == 0) {
    d.ring = st.Raw_Ring.data();
    d.planes = st.RT_Planes.data();
    d.rows = static_cast<int>(std::min(st.Raw_Ring.size(), st.RT_Planes.size()) /
                              storage::kChannelSlots);
  }
  d.Ring_Index = st.Ring_Index;
  d.RT_Buffer = storage::Shared().RT_Buffer;
  d.Zoom_Level = f.Zoom_Level;
  d.Level_Peak = &st.Level_Peak;
  d.Trace_Toggle = st.Trace_Toggle;
  d.channel = storage::Shared().Selected_Channel;
  return d;
}

void SetBarFrame(ui::PictureBox& pic) {
  pic.Cls();
  pic.Scale(-30, 300, 300, -30);
}

}  // namespace

// ---- Activity plot ----

void Frm_Main::DrawActivityPlot(int16_t station) {
  switch (Plot_Kind) {
    case 0:
      UpdateTimePlot(station);
      break;
    case 1:
      UpdateBarPlot(station);
      break;
    case 2:
      UpdateGridPlot(station);
      break;
    case 3:
      UpdateHistoPlot(station);
      break;
    default:
      break;
  }
}

void Frm_Main::DrawActivityAxes() {
  DrawPlan plan;
  ActivityAxes(plan, engine().state.Plot_Scale);
  ui::PaintPlan(*Picact, plan);
}

void Frm_Main::UpdateTimePlot(int16_t station) {
  DrawPlan plan;
  TimePlot(plan, ActivityOf(*this, station), combogrup->currentText().toStdString(), Group_Channels,
           Group_Channel_Count, engine().state.Plot_Scale);
  ui::PaintPlan(*Picact, plan);
}

void Frm_Main::UpdateBarPlot(int16_t station) {
  ActivityPlotState ps{engine().state.Plot_Scale, Page, Page_Count, false};
  DrawPlan plan;
  BarPlot(plan, ActivityOf(*this, station), ps);
  engine().state.Plot_Scale = ps.Plot_Scale;
  Page_Count = ps.Page_Count;
  if (ps.show_page_buttons) {
    cmd_pgup->show();
    cmd_pgdown->show();
  }
  ui::PaintPlan(*Picact, plan);
}

void Frm_Main::UpdateGridPlot(int16_t station) {
  DrawPlan plan;
  GridPlot(plan, ActivityOf(*this, station));
  ui::PaintPlan(*Picact, plan);
}

void Frm_Main::UpdateHistoPlot(int16_t station) {
  ActivityPlotState ps{engine().state.Plot_Scale, Page, Page_Count, false, Picact->width()};
  DrawPlan plan;
  HistoPlot(plan, ActivityOf(*this, station), ps);
  engine().state.Plot_Scale = ps.Plot_Scale;
  Page_Count = ps.Page_Count;
  cmd_pgdown->show();
  cmd_pgup->show();
  ui::PaintPlan(*Picact, plan);
}

void Frm_Main::Dibujar_ejes_barplot() {
  DrawPlan plan;
  BarAxes(plan);
  ui::PaintPlan(*Picact, plan);
}

void Frm_Main::Dibujar_ejes_histoplot() { Dibujar_ejes_barplot(); }

void Frm_Main::Dibujar_ejes_gridplot() {
  DrawPlan plan;
  GridFrame(plan, storage::Shared());
  ui::PaintPlan(*Picact, plan);
}

void Frm_Main::Dibujar_barplot(int16_t station) {
  SetBarFrame(*Picact);
  const int in_use = CountGroupsInUse(GroupsOfStation(storage::Shared(), station));
  Dibujar_ejes_barplot();
  if (in_use > kBarsPerPage) {
    cmd_pgup->show();
    cmd_pgdown->show();
  }
  UpdateBarPlot(station);
}

void Frm_Main::Dibujar_histoplot(int16_t station) {
  SetBarFrame(*Picact);
  Dibujar_ejes_histoplot();
  cmd_pgup->show();
  cmd_pgdown->show();
  UpdateHistoPlot(station);
}

void Frm_Main::Dibujar_gridplot(int16_t station) {
  Picact->Cls();
  const auto scale = GridFrameScale(storage::Shared());
  Picact->Scale(scale[0], scale[1], scale[2], scale[3]);
  Dibujar_ejes_gridplot();
  UpdateGridPlot(station);
  // Outlines and labels again, on top of the fills.
  Dibujar_ejes_gridplot();
}

void Frm_Main::Cmd_barplot_Click() {
  Plot_Kind = 1;
  Page = 0;
  Picact->Cls();
  Dibujar_barplot(Station_Index);
}

void Frm_Main::Cmd_gridplot_Click() {
  Plot_Kind = 2;
  cmd_pgup->hide();
  cmd_pgdown->hide();
  Dibujar_gridplot(Station_Index);
}

void Frm_Main::Cmd_histoplot_Click() {
  Plot_Kind = 3;
  cmd_pgup->show();
  cmd_pgdown->show();
  Dibujar_histoplot(Station_Index);
}

namespace {

void RedrawPage(Frm_Main& f) {
  f.Picact->Cls();
  if (f.Plot_Kind == 1) f.Dibujar_barplot(f.Station_Index);
  if (f.Plot_Kind == 3) f.Dibujar_histoplot(f.Station_Index);
}

}  // namespace

void Frm_Main::cmd_pgup_Click() {
  if (Page < Page_Count - 1) ++Page;
  RedrawPage(*this);
}

void Frm_Main::cmd_pgdown_Click() {
  if (Page > 0) --Page;
  RedrawPage(*this);
}

// ---- Real-time view ----

void Frm_Main::ClearRealtimePlot() { Picreal->Cls(); }

void Frm_Main::DrawRealtimeTraces(int16_t station) {
  DrawPlan plan;
  RealtimeTraces(plan, RealtimeOf(*this, station));
  ui::PaintPlan(*Picreal, plan);
}

void Frm_Main::DrawRealtimePlot(int16_t station) {
  ClearRealtimePlot();
  DrawPlan plan;
  RealtimePlot(plan, RealtimeOf(*this, station));
  ui::PaintPlan(*Picreal, plan);
}

void Frm_Main::ShowTemperatureReading() {
  SetTemperatureCaption("T=" + storage::Shared().Temp_Text + "*C");
  DrawPlan plan;
  TickCounter(plan, engine().state.Tick_Count);
  ui::PaintPlan(*Picreal, plan);
}

namespace {

void RecomputeLevelPeaks(Frm_Main& f) {
  const RealtimeData d = RealtimeOf(f, f.Station_Index);
  ComputeLevelPeaks(d.ring, d.rows, f.engine().state.Ring_Index, f.engine().state.Level_Peak);
}

}  // namespace

void Frm_Main::Cmdzoom_plus_Click() {
  if (Zoom_Level < kZoomMax) ++Zoom_Level;
  txtzoom->setText(QString::number(Zoom_Level));
  RecomputeLevelPeaks(*this);
  DrawRealtimePlot(Station_Index);
}

void Frm_Main::Cmdzoom_minus_Click() {
  if (Zoom_Level > 0) --Zoom_Level;
  txtzoom->setText(QString::number(Zoom_Level));
  if (Zoom_Level != 0) RecomputeLevelPeaks(*this);
  DrawRealtimePlot(Station_Index);
}

}  // namespace mainwindow
