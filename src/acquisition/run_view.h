#pragma once
// What a run asks of the main window. The run engine updates its model and files,
// then asks the window to show them; it never draws inside a serial exchange. Every
// call has an empty default so a window (or a test recorder) implements only what
// it shows.
#include <cstdint>
#include <string>

namespace acquisition {

class RunView {
 public:
  virtual ~RunView() = default;

  // ---- Real-time view (every second tick, and once at the warm-up) ----
  // DrawRealtimeTraces for the station, from Raw_Ring and the lower envelope.
  virtual void DrawRealtimeTraces(int16_t /*station*/) {}
  // ShowTemperatureReading: "T=" & Temp_Text & "*C" and the tick number.
  virtual void ShowTemperatureReading() {}
  // Warm-up refresh when Sample_Count reaches DSP_Interval: with Zoom_Level > 0 the
  // window lowers it by one and runs Cmdzoom_plus_Click, otherwise DrawRealtimePlot.
  virtual void WarmUpRefresh(int16_t /*station*/) {}

  // ---- Activity plot, once per bin end, before the bin's records are appended ----
  virtual void DrawActivityPlot(int16_t /*station*/) {}

  // ---- Elapsed time and progress ----
  // Txt_time: "hh:mm:ss [Nd]".
  virtual void SetElapsedText(const std::string& /*text*/) {}
  // picturetime: a blue filled box from 0 to `percent` of the lapse (drawn over).
  virtual void DrawProgress(double /*percent*/) {}

  // ---- Status panel frm_autotext ----
  // Shows the panel with `headline` in lbl_autotext ("<COM ERROR>", "<< PAUSED >>",
  // "<AUTOCALIBRATION>"), repainted at once.
  virtual void ShowStatus(const std::string& /*headline*/) {}
  // lbl_autochannel ("Restarting COM..10", "VERIFY COM PORT!", "Time Counter = OFF").
  virtual void SetStatusDetail(const std::string& /*detail*/) {}
  virtual void HideStatus() {}

  // ---- Temperature and light panel ----
  // Captions of cmd_luz, cmd_frio, cmd_ontemp and the fills of shape_light and
  // shape_temp, after every send of the state.
  virtual void ShowTempLightState(bool /*light_on*/, bool /*heat_mode*/, bool /*temp_power*/) {}
  // shape_light alone, filled at the press of cmd_luz (its caption waits for the send).
  virtual void FillLightShape(bool /*light_on*/) {}

  // ---- Run control ----
  // Before the name prompt: hide lst_report_export, tick station 1, "STATION 1",
  // stop the device-test timer.
  virtual void PrepareRunStart() {}
  // The run name in txt_subproject.
  virtual void ShowRunName(const std::string& /*name*/) {}
  // Cmdsetup_Click: the setup window (a refused start in project 0, No at the disk warning).
  virtual void OpenSetup() {}
  // The selected group's well list; clear Picact and draw the empty frame and current
  // view of Plot_Kind.
  virtual void ResetActivityPlot() {}
  // The run folder is made: lock Txt_description; CmdPlay, Cmdsetup, Cmdoffline
  // disabled, CmdPause enabled, the setup and offline windows hidden, Cmb_organism and
  // txt_snr_umbral locked.
  virtual void RunStarting() {}
  // Just before the first tick: clear Picreal (and scale it when not zoomed),
  // Plot_Scale 1.0, ClearRealtimePlot, clear picturetime, disable chk_bodybends.
  virtual void RunStarted() {}
  // Stop: buttons back, Txt_description, Cmb_organism, txt_snr_umbral unlocked,
  // chk_bodybends enabled, lblcalibrando hidden, the device-test timer off.
  virtual void RunStopped() {}
  // Let pending window events run once (the start and stop do it around the flush).
  virtual void ProcessEvents() {}
  // The window is closing or the program ending: a start that waits gives up.
  virtual bool Ending() { return false; }

  // ---- End of run hand-off ----
  // Cmdreport_Click for the run. With `auto_report` (the "User Defined BIN size"
  // menu item checked) the window first ticks frm_report's chk_autoreport, and shows
  // Frm_Main after it; otherwise the engine then shows "Acquisition finished".
  virtual void OpenReport(bool /*auto_report*/) {}
};

}  // namespace acquisition
