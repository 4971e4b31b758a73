#pragma once
// One acquisition run: start, pause and resume, stop, and the 30 ms tick that polls
// the channel groups, closes a bin every 500 samples (detection, temperature
// regulation, light schedule, records) and ends the run when its lapse is reached.
//
// The main window owns one RunEngine, implements RunView, keeps RunControls in step
// with its controls, and calls Tick() from its 30 ms timer while TimerEnabled().
// Elapsed run time comes from the monotonic clock; dates and the hour of the light
// schedule from the wall clock (both through platform::GetClock()).
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/instrument_io.h"
#include "storage/run_files.h"
#include "acquisition/run_view.h"
#include "acquisition/temp_light.h"

namespace acquisition {

// The bin of the acquisition: one detection block, whatever setup.dat says.
inline constexpr int kBinSamples = storage::kDefaultRtBuffer;
inline constexpr int kRingRows = kBinSamples + 1;  // sample positions 0..500
inline constexpr int kHoldRows = 502;              // peak/trough tracks 0..501
inline constexpr int kErrorsBeforeReport = 20;
inline constexpr int kErrorsBeforeRestart = 30;

// x rounded half to even and held to 16 bits: the tick's tables never overflow.
int16_t Saturate16(double x);

// "N of M bins could not be recorded: check the disk".
std::string LostBinsText(int lost_bins, int bins);
// "Acquisition finished", and how many of the run's bins could not be recorded.
std::string FinishedText(int lost_bins, int bins);

// The question before a long recorded run ("WARNING:" ... "PROCEED?") when the disk
// would keep less than 1000 MB or the run needs more than 1000 MB; nothing otherwise.
std::optional<std::string> DiskSpaceWarning(int lapse_minutes, int32_t free_mb,
                                            int32_t required_mb);

// A channel's detection threshold for the next bin from its bin's mean envelope spread
// and mean level: 100 x SNR + 1 without a usable level, never below 1.8.
double BinEndThreshold(int32_t spread, int32_t level, double snr);

// What the main window's controls hold; the window keeps these in step.
struct RunControls {
  std::string txttemp = "20";        // temperature set-point
  std::string txt_lon = "9";         // lights-on hour
  std::string txt_loff = "21";       // lights-off hour
  std::string txt_pulsetimes = "0";  // number of light pulses
  std::string txt_snr_umbral = "1.8";
  std::string Txt_description;  // the run description written to subproj.dat
  bool mnCalibra = false;       // menu check marks read by the name prompt
  bool mnZero = false;
  bool Auto_Calibration = false;
  bool Auto_Zero = false;
  bool chk_zmonitor = true;    // "AutoRestart on ComError"
  bool mn_userbin = false;     // "User Defined BIN size"
  bool Temp_Enabled = false;   // Chk_tenabled
  bool Light_Enabled = false;  // Chk_lenabled
  bool Auto_Run = false;       // started with "/run"
  int16_t Station_Index = 0;
};

// The run's buffers and counters, read by the plots. Tables with a channel index
// have 385 entries (channel 384 spare); per-sample tables are [sample * 385 + channel].
struct RunState {
  RunState();

  std::vector<int16_t> Raw_Ring;     // kRingRows rows: the current bin's raw levels
  std::vector<int16_t> Envelope;     // upper envelope (plane 0), kRingRows rows
  std::vector<int16_t> RT_Planes;    // lower envelope (plane 0), kRingRows rows
  std::vector<int16_t> Peak_Hold;    // kHoldRows rows
  std::vector<int16_t> Trough_Hold;  // kHoldRows rows
  std::array<int32_t, storage::kChannelSlots> Spread_Sums{};
  std::array<int32_t, storage::kChannelSlots> Level_Sums{};
  std::array<int32_t, storage::kChannelSlots> Sum_Count{};
  std::array<int16_t, storage::kChannelSlots> Level_Peak{};
  std::array<int16_t, storage::kChannelSlots> Counts{};       // last bin; [384] = temperature x 10
  std::array<int16_t, storage::kChannelSlots> Count_Total{};  // station 1's running totals
  storage::HistoRecord Histo;  // cumulative peak-interval histograms of the run

  int16_t Ring_Index = 0;
  int16_t Redraw_Count = 0;
  int16_t Trace_Toggle = 0;
  int16_t Interval_Step = 0;
  int16_t Histo_Bin_Index = 0;
  int16_t File_Index = 0;
  int16_t Com_Error_Count = 0;
  int32_t Tick_Count = 0;
  int32_t Run_Ticks = 0;
  int32_t Sample_Count = 0;
  int32_t Histo_Records = 0;
  double Sample_Seconds = 0.0;
  double Sample_Seconds_Total = 0.0;
  double Plot_Scale = 1.0;
  int32_t Elapsed_Minutes = 0;
  double Elapsed_Minutes_Exact = 0.0;
  double SNR_Threshold = 1.8;
  bool Plate_96 = false;
  bool Pause_Flag = false;
  std::string Run_Folder;  // "yyyymmdd_hhmm"
  std::string Run_Name;

  int16_t& RawAt(int channel, int sample) { return Raw_Ring[Cell(channel, sample)]; }
  int16_t RawAt(int channel, int sample) const { return Raw_Ring[Cell(channel, sample)]; }
  static std::size_t Cell(int channel, int sample) {
    return std::size_t(sample) * storage::kChannelSlots + std::size_t(channel);
  }
};

enum class StartResult {
  kStarted,
  kNoName,          // "Each Experiment Requires a name"
  kDefaultProject,  // project 0
  kOffline,
  kBadLapse,
  kDiskDeclined,  // No at the disk-space warning
  kSameMinute,    // a run folder of this minute already holds a run
  kFolderFailed,  // the run folder could not be made
  kStoppedByCalibration,
  kShutdown,  // a termination request came while the start waited
  kCalledOff,  // Stop, or the window's end, during the start, before the run folder
};

class RunEngine {
 public:
  RunEngine(InstrumentIo& io, RunView& view);
  ~RunEngine();
  RunEngine(const RunEngine&) = delete;
  RunEngine& operator=(const RunEngine&) = delete;

  // CmdPlay_Click: checks, name, disk space, run folder and settings copies,
  // instrument preparation, then the timer.
  StartResult Start();
  // CmdPause_Click: pause (asking "Pause Time Counter?") or resume.
  void Pause();
  // CmdStop_Click.
  void Stop();
  // Timeradq_Timer: one sample; the window calls it every 30 ms while TimerEnabled().
  void Tick();
  bool TimerEnabled() const { return timer_enabled_; }

  // The temperature and light panel's buttons (cmd_ontemp, cmd_frio, cmd_luz) and
  // the set-point button; while running they only raise State_Send_Pending. Clicked
  // while another window's instrument work holds the port, the state of the click is
  // sent once that work has ended.
  void cmd_ontemp_Click();
  void cmd_frio_Click();
  void cmd_luz_Click();
  void Cmd_settemp_Click();
  // Sends TempLightCode to the instrument and shows it on the panel.
  void SendTempLightState();
  void SendTempLightState(const TempLightFlags& sent);

  RunControls controls;
  RunState state;
  TempLightFlags flags;

  // Filled by the calibration work: run at start when Auto_Calibration / Auto_Zero.
  // They may call Stop() to give up; the start then does not enable the timer.
  std::function<void(const std::string& run_folder, int station)> RunAutoCalibration;
  std::function<void()> RunAutoZero;
  // Ends the process at once after the automatic restart was launched.
  std::function<void()> EndProcess;

  // The run folder of the current (or last) run.
  std::filesystem::path RunFolderPath() const;
  // Bins of the current (or last) recorded run, and those of them whose records could
  // not all be written.
  int RecordedRunBins() const { return run_bins_; }
  int LostBins() const { return lost_bins_; }
  // Samples of the run that the tick after them found shifted and held back.
  int RetractedSamples() const { return retracted_samples_; }
  // Bytes the run's records take per bin (raw, counts, and histo in body-bends mode).
  static double BytesPerBin(bool save_raw, bool body_bends);

 private:
  StartResult StartRun();
  // Stop clicked during the start (it acts at once, through the start's yields).
  bool starting_ = false;
  bool start_called_off_ = false;
  bool StartCalledOff() { return start_called_off_ || view_.Ending(); }

  // What a tick's sample changed, so that the next tick can take it back when it finds
  // the late tail of that sample's last reply.
  struct SampleUndo {
    bool valid = false;
    int16_t position = 0;
    bool envelope = false;  // the envelope stage ran at `position` (else the reset stage)
    int interval = 0;
    std::array<int16_t, storage::kChannelSlots> column{};    // before the poll wrote it
    std::array<int16_t, storage::kChannelSlots> previous{};  // position - 1, before spike removal
    std::array<int32_t, storage::kChannelSlots> spread{}, level{}, count{};
  };

  // Tick stages.
  void RunningTick();
  void PausedTick();
  // The poll's levels into column Ring_Index, failed groups holding the column before.
  void StoreSample();
  void HoldGroup(int g, int r);
  // The previous tick's sample held back as a failed poll's, and its envelope redone.
  void RetractPreviousSample();
  // A bin whose last sample is still pending is closed at once (pause, stop, end).
  void FinishPendingBin();
  void AdvanceCounters(int interval);
  // Closes the pending bin and runs the end-of-run test; true when the run ended (the
  // tick's counters advanced, nothing else of the tick to do).
  bool CloseBinAndEnd(int interval);
  // False when the tick must end here (the restart was launched or failed).
  bool CountSerialError(bool last_failed);
  void EnvelopeStage(int ch, int16_t r, int interval, double thr);
  void ResetStage(int ch, int16_t r);
  // The bin end's exchanges, in the tick of the bin's last sample: the sample period,
  // the temperature and its regulation, the light hours, the state sent.
  void BinEnd();
  // The rest, once that sample has stood the next tick's poll: detection, the activity
  // plot, the records.
  void CloseBin();
  void BinDetection();
  // False when a record of the bin could not be written.
  bool AppendRecords();
  // Elapsed time, its display and, when `may_end`, the end-of-run test; true when the
  // run ended.
  bool ElapsedAndEnd(bool may_end);
  void ProgressPulsesPending(bool pulses);
  void EndOfRun();
  double ElapsedDays() const;
  bool CheckDiskSpace();
  void ClearRunState();
  int DspInterval() const;
  void ButtonSend();
  void ReportStageFailure(const std::string& headline, const std::string& detail);

  InstrumentIo& io_;
  RunView& view_;
  bool timer_enabled_ = false;
  int64_t run_start_ms_ = 0;
  int64_t bin_start_ms_ = 0;
  int64_t pause_elapsed_ms_ = 0;
  std::filesystem::path run_path_;
  std::size_t recorded_bins_ = 0;  // counts records written in this run
  int run_bins_ = 0;
  int lost_bins_ = 0;
  int retracted_samples_ = 0;
  // The bin's last sample waits for the next tick's poll before the bin is closed.
  bool bin_close_pending_ = false;
  int64_t bin_end_ms_ = 0;
  SampleUndo undo_;
  GroupPoll poll_;
};

}  // namespace acquisition
