// Run start, pause and stop, and the temperature and light panel's logic.
#include "acquisition/run_engine.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "acquisition/snr.h"
#include "link/device_frame.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/numeric.h"
#include "platform/shutdown.h"
#include "platform/system.h"
#include "platform/waiting.h"
#include "storage/project_folders.h"
#include "storage/run_description.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"

namespace acquisition {
namespace fs = std::filesystem;

namespace {

constexpr const char* kCrLf = "\r\n";
// The acquisition's nominal tick: the most bins a minute can hold.
constexpr double kNominalTickSeconds = 0.030;
constexpr int kMaxLapseMinutes = 32000;
constexpr int kFolderWaitStepMs = 100;

std::string RunFolderName(const platform::WallTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d_%02d%02d", t.year, t.month, t.day, t.hour, t.minute);
  return buf;
}

// A typed name or comment becomes one quoted field: no quotes, no line breaks.
std::string FieldSafe(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '"' && c != '\r' && c != '\n') out += c;
  return out;
}

std::string NamePrompt(bool both_calibrations) {
  const std::string stars(49, '*');
  std::string p =
      stars + kCrLf + "***   Enter a Name for this Experiment  ***" + kCrLf + stars + kCrLf;
  if (!both_calibrations)
    p += std::string("Comments:") + kCrLf + "~~~~~~~" + kCrLf +
         "> Auto Calibration is OFF: Remember to read Blank." + kCrLf;
  return p;
}

}  // namespace

RunState::RunState()
    : Raw_Ring(std::size_t(kRingRows) * storage::kChannelSlots, 0),
      Envelope(std::size_t(kRingRows) * storage::kChannelSlots, 0),
      RT_Planes(std::size_t(kRingRows) * storage::kChannelSlots, 0),
      Peak_Hold(std::size_t(kHoldRows) * storage::kChannelSlots, 0),
      Trough_Hold(std::size_t(kHoldRows) * storage::kChannelSlots, 0) {}

RunEngine::RunEngine(InstrumentIo& io, RunView& view) : io_(io), view_(view) {
  EndProcess = [] { std::_Exit(0); };
}

RunEngine::~RunEngine() { platform::DropPortTurns(this); }

fs::path RunEngine::RunFolderPath() const { return run_path_; }

double RunEngine::BytesPerBin(bool save_raw, bool body_bends) {
  double bytes = double(storage::kCountsRecordBytes);
  if (save_raw) bytes += double(storage::RawBlockRecordBytes(kBinSamples));
  if (body_bends) bytes += double(storage::kHistoRecordBytes);
  return bytes;
}

int RunEngine::DspInterval() const {
  // The envelope window reaches back at most one bin plus one sample.
  const int v = storage::Shared().DSP_Interval;
  return v < 1 ? 1 : (v > kBinSamples + 1 ? kBinSamples + 1 : v);
}

void RunEngine::ClearRunState() {
  RunState& s = state;
  std::fill(s.Raw_Ring.begin(), s.Raw_Ring.end(), 0);
  std::fill(s.Envelope.begin(), s.Envelope.end(), 0);
  std::fill(s.RT_Planes.begin(), s.RT_Planes.end(), 0);
  s.Level_Peak.fill(0);
  s.Counts.fill(0);
  s.Count_Total.fill(0);
  std::fill(s.Histo.Histo.begin(), s.Histo.Histo.end(), 0);
  s.Ring_Index = s.Redraw_Count = s.Trace_Toggle = s.Interval_Step = 0;
  s.Histo_Bin_Index = s.File_Index = s.Com_Error_Count = 0;
  s.Tick_Count = s.Run_Ticks = s.Sample_Count = s.Histo_Records = 0;
  s.Sample_Seconds = s.Sample_Seconds_Total = 0.0;
  s.Plot_Scale = 1.0;
  s.Elapsed_Minutes = 0;
  s.Elapsed_Minutes_Exact = 0.0;
  recorded_bins_ = 0;
  run_bins_ = lost_bins_ = retracted_samples_ = 0;
  bin_close_pending_ = false;
  undo_.valid = false;
  run_start_ms_ = bin_start_ms_ = platform::MonotonicMs();
}

std::optional<std::string> DiskSpaceWarning(int lapse_minutes, int32_t free_mb,
                                            int32_t required_mb) {
  std::string text = "Programmed Acquisition lapse = " + std::to_string(lapse_minutes) +
                     "minutes & RealTime_recording=YES" + kCrLf +
                     "Required Disk space for RealTime Saving = " + std::to_string(required_mb) +
                     "MB" + kCrLf + "Current Disk Space=" + std::to_string(free_mb) + "MB" + kCrLf;
  bool warn = false;
  const int64_t left = int64_t(free_mb) - required_mb;
  if (left < 1000) {
    text += std::string("LOW DISK SPACE") + kCrLf;
    warn = true;
  }
  if (left < 200) {
    text += std::string("NOT ENOUGH DISK SPACE") + kCrLf +
            " (Please, Increase Disk Space Availablility or Deselect Realtime recording)";
    warn = true;
  }
  if (required_mb > 1000) warn = true;
  if (!warn) return std::nullopt;
  return std::string("WARNING:") + kCrLf + text + kCrLf + "PROCEED?";
}

bool RunEngine::CheckDiskSpace() {
  auto& sh = storage::Shared();
  const double bins_per_minute = 60.0 / (kBinSamples * kNominalTickSeconds);
  const double bytes =
      double(sh.Aq_lapse) * bins_per_minute * BytesPerBin(true, sh.Body_Bends == 1);
  const int32_t required = platform::RoundToInt(bytes / (1024.0 * 1024.0));
  const auto question =
      DiskSpaceWarning(sh.Aq_lapse, platform::GetFreeDiskMB(sh.Project_Path), required);
  return !question || platform::GetDialogs().AskYesNo(*question);
}

StartResult RunEngine::Start() {
  starting_ = true;
  start_called_off_ = false;
  const StartResult result = StartRun();
  starting_ = false;
  return result;
}

StartResult RunEngine::StartRun() {
  auto& sh = storage::Shared();
  auto& dialogs = platform::GetDialogs();
  view_.PrepareRunStart();
  controls.Station_Index = 0;

  std::string name;
  if (controls.Auto_Run) {
    name = "Autorun project";
  } else {
    const auto answer = dialogs.InputBoxTitled(NamePrompt(controls.mnCalibra && controls.mnZero),
                                               "New Acquisition", "");
    name = FieldSafe(answer.value_or(""));
    if (name.empty()) {
      dialogs.MsgBox("Each Experiment Requires a name");
      return StartResult::kNoName;
    }
  }
  view_.ShowRunName(name);

  if (sh.Actual_Project_Number == 0) {
    dialogs.MsgBox(
        "Operation not allowed in Project #0:Default. Go to <Setup> and Save it with another "
        "name");
    view_.OpenSetup();
    return StartResult::kDefaultProject;
  }
  if (sh.Offline_Mode) {
    dialogs.MsgBox(
        "Acquisition not allowed in OFFLINE MODE. Connect the equipment and restart the "
        "program.");
    return StartResult::kOffline;
  }
  if (sh.Aq_lapse < 1 || sh.Aq_lapse > kMaxLapseMinutes) {
    dialogs.MsgBox("Invalid Acquisition lapse: " + std::to_string(sh.Aq_lapse) +
                   " minutes. Set it between 1 and 32000 in <Setup>.");
    return StartResult::kBadLapse;
  }
  std::error_code ec;
  if (sh.Project_Path.empty() || !fs::is_directory(sh.Project_Path, ec)) {
    dialogs.MsgBox("Project folder not found: " + sh.Project_Path);
    return StartResult::kFolderFailed;
  }

  view_.ProcessEvents();
  io_.Flush();
  view_.ProcessEvents();
  if (StartCalledOff()) return StartResult::kCalledOff;
  view_.ResetActivityPlot();

  if (sh.Save_real == 1 && sh.Aq_lapse >= 31 && !controls.Auto_Run && !CheckDiskSpace()) {
    view_.OpenSetup();
    return StartResult::kDiskDeclined;
  }

  // A folder of this minute belongs to another run: appending to its files would
  // mix two runs, so the start is refused instead of reusing it. A folder that holds
  // only what a failed start copied into it belongs to no run, and is taken over.
  const auto run_there = [](const fs::path& p) {
    std::error_code exists_ec;
    return fs::exists(p, exists_ec) && !storage::RemoveUnrecordedRunFolder(p);
  };
  std::string folder = RunFolderName(platform::Now());
  fs::path path = fs::path(sh.Project_Path) / folder;
  // An unattended start (the automatic restart among them) has nobody to answer a
  // refusal, so it waits for the next minute's folder instead. The window runs
  // meanwhile (another instrument command clicked waits for the start's end), and Stop
  // or the window's close ends the wait.
  const bool waits = controls.Auto_Run && run_there(path);
  if (waits) {
    view_.ShowStatus("<WAITING FOR THE NEXT MINUTE>");
    view_.SetStatusDetail("A run was already started at " + folder);
  }
  for (int waited_ms = 0; controls.Auto_Run && run_there(path) && waited_ms <= 61000;
       waited_ms += kFolderWaitStepMs) {
    // A termination request is not kept waiting, and makes no folder afterwards.
    if (platform::ShutdownRequested()) return StartResult::kShutdown;
    view_.ProcessEvents();
    if (StartCalledOff()) {
      view_.HideStatus();
      return StartResult::kCalledOff;
    }
    platform::Sleep(kFolderWaitStepMs);
    folder = RunFolderName(platform::Now());
    path = fs::path(sh.Project_Path) / folder;
  }
  if (platform::ShutdownRequested()) return StartResult::kShutdown;
  if (waits) view_.HideStatus();
  if (run_there(path)) {
    dialogs.MsgBox("A run was already started at " + folder +
                   ". Wait for the next minute to start a new one.");
    return StartResult::kSameMinute;
  }
  if (!fs::create_directory(path, ec) || ec) {
    dialogs.MsgBox("Run folder could not be created: " + path.string());
    return StartResult::kFolderFailed;
  }
  sh.Save_Run = true;
  state.Run_Folder = folder;
  state.Run_Name = name;
  run_path_ = path;
  sh.Run_Folder_Path = path.string();

  // A start that calibrates or zeroes first reads the SNR box anew; any other counts
  // with the factor the organism choice left.
  const bool calibrates =
      (controls.Auto_Calibration && RunAutoCalibration) || (controls.Auto_Zero && RunAutoZero);
  const double counting_snr =
      calibrates ? RunStartSnr(controls.txt_snr_umbral, sh.DSP_Method) : state.SNR_Threshold;

  // The run's copy records the bin the run really uses, whatever the setup asked for:
  // the readers size its raw records by it. It records the factor it counts with too:
  // which one that is depends on the way through the windows, not only on the project's
  // settings, and the reports re-analyse the run with it.
  const int16_t project_rt_buffer = sh.RT_Buffer;
  const int16_t project_snr = sh.MnAt(1, 3);
  const int16_t counting_snr_x10 = Saturate16(counting_snr * 10.0);
  sh.RT_Buffer = kBinSamples;
  if (storage::RunSnrX10(project_snr) != counting_snr_x10) sh.MnAt(1, 3) = counting_snr_x10;
  const bool settings_ok = storage::SaveProjectSetup(path.string(), sh.Actual_Project_Number, 0);
  sh.RT_Buffer = project_rt_buffer;
  sh.MnAt(1, 3) = project_snr;
  // The description keeps its line breaks (written as CR LF); only names lose them.
  const bool subproj_ok = storage::WriteSubproject(path.string(), name, controls.Txt_description);

  view_.RunStarting();
  sh.Acq_State = 1;
  ClearRunState();
  if (!settings_ok || !subproj_ok) {
    view_.ShowStatus("<FILE ERROR>");
    view_.SetStatusDetail("Run settings not saved in " + folder);
  }

  sh.Temp_Setpoint = platform::Val(controls.txttemp);
  const int raw = io_.DeviceQuery(devlink::RegTemperature, 0, devlink::ModeCommand);
  sh.Temperature = raw * sh.Temp_Slope + sh.Temp_Offset;
  sh.Temp_Text = platform::FormatFixed(sh.Temperature, 1);

  if (controls.Light_Enabled && platform::Val(controls.txt_pulsetimes) == 0) {
    const int on = int(platform::Val(controls.txt_lon));
    const int off = int(platform::Val(controls.txt_loff));
    flags.Light_On = LightForHour(platform::Now().hour, on, off);
    SendTempLightState();
  }

  state.Plate_96 = sh.Plate_format == "w96" || sh.Plate_format == "w96u";
  for (int i = 0; i < 2; ++i) {
    io_.DeviceWrite(devlink::RegPlateType, state.Plate_96 ? 1 : 0, devlink::ModeCommand);
    platform::Sleep(100);
  }

  if (controls.Auto_Calibration && RunAutoCalibration) {
    view_.ShowStatus("<AUTOCALIBRATION>");
    state.SNR_Threshold = counting_snr;
    RunAutoCalibration(path.string(), 0);
    view_.HideStatus();
  }
  if (controls.Auto_Zero && RunAutoZero && sh.Acq_State != 0) {
    view_.ShowStatus("<AUTOCALIBRATION>");
    state.SNR_Threshold = counting_snr;
    RunAutoZero();
    view_.HideStatus();
  }
  if (sh.Acq_State == 0) {
    // Nothing was recorded: the folder would only stand in the way of the next start.
    if (storage::RemoveUnrecordedRunFolder(path)) sh.Run_Folder_Path.clear();
    return StartResult::kStoppedByCalibration;
  }

  view_.RunStarted();
  state.Plot_Scale = 1.0;
  state.Sample_Count = 0;
  run_start_ms_ = bin_start_ms_ = platform::MonotonicMs();
  state.Sample_Seconds_Total = 0.0;
  state.Histo_Records = 0;
  state.Com_Error_Count = 0;
  timer_enabled_ = true;
  sh.Acq_State = 1;
  return StartResult::kStarted;
}

void RunEngine::Pause() {
  auto& sh = storage::Shared();
  // A bin complete before the pause is recorded now, not after a pause of any length
  // (a power loss meanwhile would take it); its last sample gets its late-tail test here.
  if (sh.Acq_State == 1) FinishPendingBin();
  // A pause comes between two polls: the sample before it is not tested by the next.
  undo_.valid = false;
  if (sh.Acq_State == 1) {
    if (platform::GetDialogs().AskYesNo("Pause Time Counter?")) {
      timer_enabled_ = false;
      sh.Acq_State = 2;
      pause_elapsed_ms_ = platform::MonotonicMs() - run_start_ms_;
      state.Pause_Flag = true;
      view_.SetStatusDetail("Time Counter = OFF");
    } else {
      state.Pause_Flag = false;
      sh.Acq_State = 2;
      view_.SetStatusDetail("Time Counter = ON");
    }
    view_.ShowStatus("<< PAUSED >>");
    // Nothing regulates while paused: the temperature output must not stay powered.
    if (flags.Temp_Power) {
      flags.Temp_Power = false;
      SendTempLightState();
    }
  } else if (sh.Acq_State == 2) {
    if (state.Pause_Flag) run_start_ms_ = platform::MonotonicMs() - pause_elapsed_ms_;
    state.Sample_Count = 0;
    state.Com_Error_Count = 0;
    timer_enabled_ = true;
    sh.Acq_State = 1;
    state.Pause_Flag = false;
    view_.HideStatus();
  }
}

void RunEngine::Stop() {
  auto& sh = storage::Shared();
  if (starting_) start_called_off_ = true;
  if (sh.Acq_State == 1 || sh.Acq_State == 2) FinishPendingBin();
  view_.RunStopped();
  if (sh.Acq_State == 1 || sh.Acq_State == 2) {
    sh.Acq_State = 0;
    controls.Auto_Run = false;
  }
  timer_enabled_ = false;
  view_.HideStatus();
  // The purge comes before the outputs-off frame: a purge can drop a frame the port
  // has not yet handed on, and this one must reach the instrument.
  view_.ProcessEvents();
  io_.Flush();
  platform::Sleep(5);
  view_.ProcessEvents();
  flags.Temp_Power = false;
  flags.Light_On = false;
  SendTempLightState();
  state.Sample_Count = 0;
}

void RunEngine::SendTempLightState() { SendTempLightState(flags); }

void RunEngine::SendTempLightState(const TempLightFlags& sent) {
  // A state sent after its turn came is what the instrument has from now on, whatever
  // went out in between.
  flags.Light_On = sent.Light_On;
  flags.Heat_Mode = sent.Heat_Mode;
  flags.Temp_Power = sent.Temp_Power;
  io_.DeviceWrite(devlink::RegTempLight, TempLightCode(sent), devlink::ModeCommand);
  view_.ShowTempLightState(sent.Light_On, sent.Heat_Mode, sent.Temp_Power);
}

void RunEngine::ButtonSend() {
  if (storage::Shared().Acq_State == 1) {
    flags.State_Send_Pending = true;
    return;
  }
  const TempLightFlags sent = flags;
  platform::WhenPortFree([this, sent] { SendTempLightState(sent); }, this);
}

void RunEngine::cmd_ontemp_Click() {
  flags.Temp_Power = !flags.Temp_Power;
  ButtonSend();
}

void RunEngine::cmd_frio_Click() {
  flags.Heat_Mode = !flags.Heat_Mode;
  flags.Temp_Power = false;
  ButtonSend();
}

void RunEngine::cmd_luz_Click() {
  flags.Light_On = !flags.Light_On;
  view_.FillLightShape(flags.Light_On);
  ButtonSend();
}

void RunEngine::Cmd_settemp_Click() {
  storage::Shared().Temp_Setpoint = platform::Val(controls.txttemp);
}

}  // namespace acquisition
