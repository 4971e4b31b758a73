#pragma once
// The channel-calibration logic against the simulated compact instrument, or against
// a scripted port where a silent instrument would cost a second a query; a view that
// records what the window would show.
#include <functional>
#include <string>
#include <vector>

#include "service/tech_cal.h"
#include "service_fixture.h"

namespace servicetest {

class RecordingView final : public service::TechCalView {
 public:
  void DrawLevels() override { ++draws; }
  void StartLiveDisplay(int, int) override {}
  void DrawScanPoints(const std::vector<std::pair<double, double>>&, int grey, int) override {
    greys.push_back(grey);
  }
  int ScanBrightness() override { return 255; }
  int ScanDotSize() override { return 1; }
  void ClearFan() override {}
  void DrawFanLine(double) override { ++fan_lines; }
  void ShowOut(int reply) override { outs.push_back(reply); }
  void ShowAutoProgress(int value) override { progress.push_back(value); }
  void ShowState() override {}
  void LetEventsRun() override { events(); }

  std::function<void()> events = [] {};  // what the window's events do while work waits
  int draws = 0;
  int fan_lines = 0;
  std::vector<int> greys, outs, progress;
};

// Answers each query from `reply` (-1: nothing came) and logs the frames; reads give
// the bytes of `input`, one read at a time.
class ScriptedIo final : public acquisition::InstrumentIo {
 public:
  void Flush() override {}
  int DiscardInput(int) override { return 0; }
  int Write(const std::string& b) override {
    wire += b;
    return int(b.size());
  }
  int Read(std::string& d, int count) override {
    d = input.substr(0, static_cast<size_t>(count));
    input.erase(0, d.size());
    return int(d.size());
  }
  bool DeviceWrite(int, int, int) override { return false; }
  int DeviceQuery(int reg, int value, int mode) override {
    if (reg < 0 || reg > 255 || value < 0 || value > 255) return -1;
    wire += Frame(reg, value, mode);
    return reply ? reply(reg, value, mode) : -1;
  }
  std::function<int(int reg, int value, int mode)> reply;
  std::string wire;
  std::string input;
};

// The frames of a verified or plain write of `value` to `reg`.
inline std::string WriteFrame(int reg, int value) { return Frame(reg, value, 0x80); }
inline std::string LevelFrame(int value) { return Frame(0x30, value, 0); }

// The distinct settings written to a register, in order (each write is nine frames).
inline std::vector<int> SettingsWritten(const std::string& wire, int reg) {
  std::vector<int> values;
  int run = 0;
  for (size_t p = 0; p + 5 <= wire.size(); ++p) {
    if (static_cast<uint8_t>(wire[p]) != 0xFF || static_cast<uint8_t>(wire[p + 1]) != 0x80 ||
        static_cast<uint8_t>(wire[p + 2]) != reg || static_cast<uint8_t>(wire[p + 4]) != 0xF0)
      continue;
    const int v = static_cast<uint8_t>(wire[p + 3]);
    if (run == 0) values.push_back(v);
    run = (run + 1) % 9;
  }
  return values;
}

// One level table for every setting.
inline sim::CompactLevelTable Flat(int level) {
  sim::CompactLevelTable t;
  t.fill(level);
  return t;
}
inline int At(int power, int gain) { return power * 8 + gain; }

// No instrument: the shared state afresh, a manual clock and scripted boxes, for the
// logic on a port the test scripts.
class ManualClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::ResetSharedState();
    platform::SetClock(&clock_);
  }
  void TearDown() override {
    platform::SetClock(nullptr);
    storage::ResetSharedState();
  }
  platform::ManualClock clock_;
  testsupport::ScriptedDialogs dialogs_;
};

class TechCalSim : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    Model([](sim::InstrumentModel& m) { m.SetCompact(true); });
  }
  // Every register reads `level` whatever its setting.
  void AllRegisters(int level) {
    Model([level](sim::InstrumentModel& m) {
      for (int r = 0; r < service::kCompactRegisters; ++r) m.compact().SetLevels(r, Flat(level));
    });
  }
  int Steps(int max = 100000) {
    int n = 0;
    while (n < max && cal_.Step() >= 0) ++n;
    return n;
  }

  RecordingView view_;
  service::TechCal cal_{io_, view_};
};

}  // namespace servicetest
