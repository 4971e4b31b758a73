// Placeholders for the activity plot, the real-time view and the plate, group and
// well selectors: the plot code replaces this file. Each procedure is called from
// the paths the window already has (start-up, layout, run start, the tick).
#include "mainwindow/frm_main.h"

namespace mainwindow {

void Frm_Main::FillPlateSelectors() {}
void Frm_Main::FillGroupWellList(int16_t) {}
void Frm_Main::lstgrup_DblClick() {}
void Frm_Main::lblcanal_Change() {}
void Frm_Main::ClearRealtimePlot() {}
void Frm_Main::DrawActivityAxes() {}
void Frm_Main::UpdateTimePlot(int16_t) {}
void Frm_Main::UpdateBarPlot(int16_t) {}
void Frm_Main::UpdateGridPlot(int16_t) {}
void Frm_Main::UpdateHistoPlot(int16_t) {}
void Frm_Main::DrawActivityPlot(int16_t) {}
void Frm_Main::DrawRealtimeTraces(int16_t) {}
void Frm_Main::DrawRealtimePlot(int16_t) {}
void Frm_Main::ShowTemperatureReading() {}
void Frm_Main::Dibujar_ejes_barplot() {}
void Frm_Main::Dibujar_ejes_histoplot() {}
void Frm_Main::Dibujar_ejes_gridplot() {}
void Frm_Main::Dibujar_barplot(int16_t) {}
void Frm_Main::Dibujar_histoplot(int16_t) {}
void Frm_Main::Dibujar_gridplot(int16_t) {}
void Frm_Main::Cmd_barplot_Click() {}
void Frm_Main::Cmd_gridplot_Click() {}
void Frm_Main::Cmd_histoplot_Click() {}
void Frm_Main::cmd_pgup_Click() {}
void Frm_Main::cmd_pgdown_Click() {}
void Frm_Main::Cmdzoom_plus_Click() {}
void Frm_Main::Cmdzoom_minus_Click() {}
void Frm_Main::combogrup_Click() {}
void Frm_Main::Combofila_Click() {}
void Frm_Main::Combocol_Click() {}
void Frm_Main::cmdbeam_plus_Click() {}
void Frm_Main::cmdbeam_minus_Click() {}
void Frm_Main::cmd_stack_pos_Click(int) {}

}  // namespace mainwindow
