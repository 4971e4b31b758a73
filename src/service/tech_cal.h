#pragma once
// The channel-calibration window's work without widgets: the live view, the channel
// setting writes and read-back, the stepping calibration, the instrument's own
// auto-adjust and the pinhole and gain scan test, on the compact instrument model
// (compact_instrument.h).
//
// The live view, the stepping calibration and the scan test are state machines that
// the window's timer steps: Step() does one step of whichever runs (the lit scan dots
// or one read of the live view, one register of the calibration, one sample of the
// scan test) and says how long to wait before the next. Only one of them runs at a
// time, and none while a run exists.
//
// All instrument work lets the window's events run while it waits (a step, SET, Set
// All, a bar move, a read-back, the auto-adjust), and one piece of work at a time
// holds the port (platform/waiting.h): what the events would start meanwhile, here
// or in another window, is refused here (the windows let it wait its turn until the
// port is free). The work ends at its next wait on OFFLINE, when the window is put
// away, when a run starts (with a message), or when the instrument has not answered
// its own exchanges as it should for kNoAnswerMs (with a message).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/instrument_io.h"
#include "platform/waiting.h"
#include "service/channel_stepping.h"
#include "service/channel_traces.h"
#include "service/compact_instrument.h"
#include "service/scan_test.h"

namespace service {

// What the window draws and shows for the logic.
class TechCalView {
 public:
  virtual ~TechCalView() = default;
  // ColourWells, then DrawChannelSignal, for the sample just read (the traces'
  // sample index).
  virtual void DrawLevels() = 0;
  // The start of a live view: the plate map drawn afresh, the signal plot emptied
  // to its frame, the scan display cleared and scaled (0, 0)-(width, height).
  virtual void StartLiveDisplay(int width, int height) = 0;
  // The scan display's points in grey `grey`, `size` pixels wide.
  virtual void DrawScanPoints(const std::vector<std::pair<double, double>>& points, int grey,
                              int size) = 0;
  // The whole parts of txt_brillo and txt_pixsize, read at every step.
  virtual int ScanBrightness() = 0;
  virtual int ScanDotSize() = 0;
  // picturecal emptied; a black line from (0, 0) to (x, 10) on its 383 x 10 scale.
  virtual void ClearFan() = 0;
  virtual void DrawFanLine(double x) = 0;
  // lblout with a reply, shown at once.
  virtual void ShowOut(int reply) = 0;
  // The caption of cmd_autocalibra, shown at once.
  virtual void ShowAutoProgress(int value) = 0;
  // Lamps, labels and buttons from the logic's state, shown at once.
  virtual void ShowState() = 0;
  // The window's pending events (repaints, clicks) run once.
  virtual void LetEventsRun() = 0;
};

// How long the instrument may leave the window's exchanges without a proper answer
// before the work ends: a silent query costs about a second.
inline constexpr int64_t kNoAnswerMs = 3000;
// When a step comes while other work holds the port, it is tried again this much later.
inline constexpr int kBusyRetryMs = 20;

inline constexpr const char* kEnabledText = "ENABLED";
inline constexpr const char* kDisabledText = "DISABLED";
inline constexpr const char* kMaxGainMode = "Max.Gain";
inline constexpr const char* kSetFailedMessage =
    "Communication error. Check COM PORT and equipment connection.";

// Combomode's text after loading: "0_Max.Gain" when Cal_mode is 0, else "Max.Gain".
std::string CalibrationModeText(int cal_mode);

// A channel's setting as read back: gain = byte \ 32, power = the rest (at most 7).
struct ReadSetting {
  int gain = 0;
  int power = 0;
};
ReadSetting DecodeSetting(int byte);

class TechCal {
 public:
  TechCal(acquisition::InstrumentIo& io, TechCalView& view);

  ChannelTraces& traces() { return traces_; }
  const ChannelTraces& traces() const { return traces_; }
  bool online() const { return online_; }
  bool scan_running() const { return scan_running_; }
  bool progress_visible() const { return progress_visible_; }
  const std::string& progress_text() const { return progress_text_; }
  const std::string& test_text() const { return test_text_; }
  bool online_enabled() const { return online_enabled_; }
  bool test_enabled() const { return test_enabled_; }
  int zoom() const { return zoom_; }
  // A live view, calibration or scan test still has steps to run.
  bool Stepping() const { return active_ != Machine::kNone; }
  // Instrument work is under way (events it lets run may not start more).
  bool busy() const { return busy_; }
  // This window's work or another window's holds the port.
  bool PortTaken() const;
  // SET, Set All or the auto-adjust: the window shows it waits and offers no other
  // instrument work.
  bool writing() const { return writing_; }

  // ---- live view ----
  // ONLINE, with the scan display's scale: the live view starts (true), unless a run
  // exists (refused with a message) or a calibration or scan test runs.
  bool Cmd_online_Click(double scan_width, double scan_height);
  // OFFLINE: the flags drop; what runs, and any work under way, ends at its next wait
  // or step without a message.
  void Cmd_offline_Click();
  // The window hidden or closed: what runs ends, the work under way at its next wait.
  void StopWork();
  // One live sample of all channels (nothing is read offline), its threshold trace,
  // the drawing, and the next sample. Nothing of it when its work was stopped
  // meanwhile (false).
  bool ReadAllLevels();
  // One step of what runs; the milliseconds to wait before the next, -1 when nothing
  // runs any more.
  int Step();

  // ---- the selected channel ----
  // The map click's read-back, while the live view runs and for a channel with a
  // register: the byte (lblout shows it; -1 after three unanswered queries, and a
  // message) decoded, or nullopt when nothing came or nothing was asked.
  std::optional<ReadSetting> ReadBackSetting(int channel);
  // The gain and power boxes written to the selected channel's register, nine times
  // without echo check, while the live view runs; a message when none was answered.
  void WriteSelectedSetting(int channel, const std::string& gain_text,
                            const std::string& power_text);
  // lblstatus double-clicked: the question, and the label's new text.
  std::string ToggleEnabled(const std::string& channel_text, const std::string& label_text);
  // "+" and "-" of the zoom; the peaks are worked out again when zoomed.
  void ZoomIn();
  void ZoomOut();

  // ---- writes ----
  // "Set All": the boxes' setting to every register while the live view runs.
  void Cmd_setall_Click(const std::string& gain_text, const std::string& power_text);
  // "SET": the verified write of txt_ganancia and txt_power to registers 0..191,
  // stopping at the first failure. Returns the boxes' texts (an out-of-range value
  // becomes "0").
  std::pair<std::string, std::string> cmd_setcalibra_Click(const std::string& gain_text,
                                                            const std::string& power_text);

  // ---- calibration ----
  // "<CALIBRATE>& Auto-Gain" with Txtajuste's and Combomode's texts.
  void Cmdcalibrar_Click(const std::string& target_text, const std::string& mode_text);
  // "Autocalibra": the instrument's own adjustment, followed to its end. Returns the
  // text for txt_autocal.
  std::string cmd_autocalibra_Click(const std::string& target_text);
  // "TEST CURVA DE GANANCIA".
  void cmdTEST_Click();

 private:
  enum class Machine { kNone, kLive, kStepping, kScan };
  enum class Stop { kNone, kUser, kLeft, kRun, kSilent };
  // One piece of instrument work: it holds the port, lets the window's events run
  // while it waits, and ends at the wait after something stopped it. A fresh piece
  // counts its own silence, the machine's set aside meanwhile; a machine's step
  // carries on the machine's. Writing work shows as such while it lasts.
  class Work {
   public:
    Work(TechCal& cal, Machine machine, bool fresh, bool writing = false);
    ~Work();
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;
    bool Stopped() const { return platform::WaitStopped(); }

   private:
    TechCal& cal_;
    bool writing_;
    bool fresh_;
    AnswerWatch::SetAside machine_silence_{};
    platform::WaitHook hook_;
  };
  // Why the work under way must end (kNone: it goes on).
  Stop WhyStop() const;
  // The message for a stopped piece of work: a run's refusal, or `silent` when the
  // instrument stopped answering.
  static void ReportStop(Stop why, const std::vector<std::string>& silent);
  void EraseLitDots();
  int LiveStep();
  int SteppingStep();
  int ScanStep();
  // Ends a scan test that has not finished: TEST and ONLINE usable again.
  void EndScan();
  bool FinishScanStep(int power, int gain);
  // Ends what runs before another machine starts; the live view and a scan test at
  // once, a calibration too.
  void StopMachines();
  static bool RefusedDuringRun();

  TechCalView& view_;
  CompactInstrument instrument_;
  ChannelTraces traces_;
  Machine active_ = Machine::kNone;
  bool busy_ = false;
  bool writing_ = false;
  Machine work_ = Machine::kNone;  // the machine whose step is the work under way
  bool leaving_ = false;
  bool offline_asked_ = false;  // OFFLINE came during the work under way

  bool online_ = false;
  bool scan_running_ = false;
  bool progress_visible_ = false;
  std::string progress_text_;
  std::string test_text_;
  bool online_enabled_ = true;
  bool test_enabled_ = true;
  int zoom_ = 0;

  struct Live {
    int cell_width = 1;
    int cell_height = 1;
    int x = 0;
    int y = 0;
    bool lit = false;  // the step's dots are drawn, its read not yet taken
    int size = 1;
    bool connected = false;  // at ONLINE
  } live_;

  struct Stepping {
    bool initial = true;
    int reg = 0;
    LevelBand band;
    std::array<int16_t, kCompactRegisters> power{};
    std::array<int16_t, kCompactRegisters> gain{};
  } stepping_;

  struct Scan {
    int step = 0;  // power x 8 + gain
    int tick = 0;  // within the step: set-all, pause, two discarded samples, six readings
    int previous_readings = 0;
    ScanReadings readings{};
  } scan_;
};

}  // namespace service
