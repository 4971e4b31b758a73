#pragma once
// The device test: every beam switched fully on and off, all together, a column at
// a time and a row at a time, the 384 levels read after each switch, judged and
// written to testdev<serial>.txt in the program folder; it ends with every channel
// at gain/power 2 and their levels listed.
//
// One step a tick of the window's 100 ms timer (Tick). The timer is off while a tick
// runs, so no tick runs under a message box; the tick turns it back on when the test
// goes on. A test stopped early while the instrument still answers gives the
// channels it switched gain/power 2 back, as the normal end does.
#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/instrument_io.h"
#include "service/device_test_steps.h"

namespace service {

// What the test draws and shows on the main window.
class DeviceTestView {
 public:
  virtual ~DeviceTestView() = default;
  // Timer_test on (interval 100 ms) or off.
  virtual void EnableTestTimer(bool on) = 0;
  // The empty test grid on the activity picture, in its own scale.
  virtual void DrawTestPlateGrid() = 0;
  // The levels as grey wells in the grid, then the wells' outlines and centres again.
  virtual void DrawTestChannelLevels(const TestLevels& levels) = 0;
  // The progress bar: a filled blue box from 0 to `x` on the 0..100 scale.
  virtual void DrawTestProgress(double x) = 0;
  // The progress bar emptied (a run's bar may still fill it).
  virtual void ClearTestProgress() = 0;
  // lbl_temperature.
  virtual void SetTestLabel(const std::string& text) = 0;
  // lbl_autostart with the door hint, or hidden.
  virtual void ShowDoorHint(bool show) = 0;
  // The activity picture cleared and its empty frame drawn again.
  virtual void RestoreActivityPicture() = 0;
};

inline constexpr const char* kDoorHint = "Open and close Quenlar Door to see sensing changes";
inline constexpr const char* kTestPrompt =
    "DEVICE TEST:\r\nLigth Microbeams will be adjusted to maximum and minimum.\r\n"
    "Please, remove any microplate from the slot\r\n and close Quenlar door";
inline constexpr const char* kTestDuringRun = "Stop acquisition before Testing";
inline constexpr const char* kTestOffline = "Operation not possible in OFFLINE mode";
inline constexpr const char* kFinishedLabel =
    "T = __ \xC2\xB0"
    "C";

class DeviceTest {
 public:
  DeviceTest(acquisition::InstrumentIo& io, DeviceTestView& view) : io_(io), view_(view) {}

  // "Test DEVICE": refused during a run and offline; otherwise the prompt, and on OK
  // a new test from step 0 with a new file. Cancel tidies up after a stopped test.
  void mnstatustest_Click();
  // One step.
  void Tick();
  // Ends a running test at once (a run is starting), as an early stop.
  void Stop();

  bool Running() const { return running_; }
  int16_t Test_Step() const { return step_; }
  const TestLevels& Test_Levels() const { return levels_; }
  const std::string& Test_File() const { return file_; }

 private:
  // One read of the four blocks; marks `failed` on a block that is not 192 bytes.
  void ReadLevels(bool& failed);
  void RunStep(const TestStep& step);
  void Finish();
  void TidyPicture();
  // Gain/power 2 back on every channel, when some were switched and the instrument
  // still answers.
  void RestoreAfterEarlyStop();
  void StartFile(int32_t serial);
  void AppendLines(const std::vector<std::string>& lines);
  bool WriteFile(const std::string& bytes, bool append);

  acquisition::InstrumentIo& io_;
  DeviceTestView& view_;
  bool running_ = false;
  int16_t step_ = 0;
  TestLevels levels_{};
  std::string file_;
  bool file_error_shown_ = false;
  // Some channel was switched away from gain/power 2 and not yet switched back.
  bool switched_ = false;
};

}  // namespace service
