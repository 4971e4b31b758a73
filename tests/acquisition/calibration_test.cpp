// Channel calibration and auto-zero: the write-with-verify and its retries, the
// step rules, the auto-zero formula, and whole runs of each procedure against the
// simulated instrument (and a scripted port where the failure is the point).
#include "acquisition/calibration.h"

#include <gtest/gtest.h>

#include "acquisition/auto_zero.h"
#include "fake_instrument.h"
#include "run_fixture.h"
#include "storage/calibration_values.h"

namespace acqtest {
namespace {

namespace fs = std::filesystem;
using acquisition::StepState;

std::string Frame(int mode, int reg, int value) { return FakeInstrument::Frame(reg, value, mode); }

// ---------------------------------------------------------------------------
// Write-with-verify and read-back on a scripted port

class WriteVerifyTest : public RunFixture<FakeInstrument> {};

TEST_F(WriteVerifyTest, OnlyTheNinthReplyOfAPassConfirmsAndTheLastPassPurgesFirst) {
  // Channel 200, power 5, gain 3: mode 0x81, register 72, value 0x65; the echo is 72.
  const std::string write = Frame(0x81, 0x48, 0x65), resync = Frame(0x00, 0x21, 0x00);
  struct Case {
    int echo_at;  // the send whose reply echoes; 0: none does
    int result, sends, resyncs;
    int64_t paused_ms;
  } cases[] = {
      {9, 1, 9, 0, 0},                            // pass 1, back to back
      {18, 1, 18, 1, 150 + 150 + 9 * 100},        // pass 2, paced
      {8, -1, 36, 3, 3 * (150 + 150 + 9 * 100)},  // an echo before the ninth does not count
      {0, -1, 36, 3, 3 * (150 + 150 + 9 * 100)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.echo_at);
    io_.frames.clear();
    int n = 0;
    io_.query = [&](int reg, int, int mode) {
      return mode & 0x80 && ++n == c.echo_at ? reg : 0x11;
    };
    const int64_t t0 = clock_.MonotonicMs();
    if (c.result < 0) dialogs_.ExpectOk();
    EXPECT_EQ(acquisition::WriteCalRegister(io_, 200, 5, 3), c.result);
    EXPECT_EQ(io_.Count(write), c.sends);
    EXPECT_EQ(io_.Count(resync), c.resyncs);
    EXPECT_EQ(clock_.MonotonicMs() - t0, c.paused_ms);
  }
  // The purge comes before the last pass only: after pass 3, before its resync.
  EXPECT_EQ(io_.Count("flush"), 1);
  EXPECT_EQ(io_.frames[9 + 10 + 10], "flush");
  EXPECT_EQ(dialogs_.log().back(), "Ops...Data Writing ERROR: reg(200)... Check COM and Try again");

  // A setting that is not a byte is refused without sending.
  const int queries = io_.queries;
  dialogs_.ExpectOk().ExpectOk();
  EXPECT_EQ(acquisition::WriteCalRegister(io_, 384, 2, 3), -1);
  EXPECT_EQ(acquisition::WriteCalRegister(io_, 3, 2, 8), -1);
  EXPECT_EQ(io_.queries, queries);
  EXPECT_EQ(dialogs_.log().back(), "Ops...Data Writing ERROR: reg(3)... Check COM and Try again");
}

// ---------------------------------------------------------------------------
// Step rules

struct StepCase {
  int level;
  int pinhole, gain, direction;
  int want_pinhole, want_gain, want_direction;
  bool want_done, want_write;
};

TEST(StepChannel, RulesAtTheWindowAndTheEndsOfTheRange) {
  const StepCase cases[] = {
      {1000, 2, 7, 0, 3, 0, 1, false, true},  // up past gain 7
      {1000, 2, 3, 0, 2, 4, 1, false, true},
      {1000, 7, 7, 0, 7, 7, 0, true, false},   // no higher setting
      {2500, 1, 0, 0, 1, 0, 0, true, false},   // no lower setting
      {2500, 3, 0, 0, 2, 7, -1, false, true},  // down past gain 0
      {1900, 3, 4, 1, 3, 4, 0, false, true},   // turns: same setting written again
      {1500, 3, 4, -1, 3, 4, 0, true, false},  // came down below the window: stays
      {1638, 3, 4, 1, 3, 4, 0, true, false},   // window edges are inside
      {1843, 3, 4, -1, 3, 4, 0, true, false},
      {1637, 9, 7, 0, 9, 7, 0, true, false},  // loaded beyond the stepping range
  };
  for (const auto& c : cases) {
    int16_t p = int16_t(c.pinhole), g = int16_t(c.gain);
    StepState st{false, int16_t(c.direction)};
    bool in_window = false;
    const bool write = acquisition::StepChannel(c.level, p, g, st, in_window);
    SCOPED_TRACE(testing::Message() << "level " << c.level << " at " << c.pinhole << "/" << c.gain);
    EXPECT_EQ(p, c.want_pinhole);
    EXPECT_EQ(g, c.want_gain);
    EXPECT_EQ(st.direction, c.want_direction);
    EXPECT_EQ(st.done, c.want_done);
    EXPECT_EQ(write, c.want_write);
    EXPECT_EQ(in_window, c.level >= 1638 && c.level <= 1843);
  }
}

// ---------------------------------------------------------------------------
// Auto-zero formula

TEST(AutoZeroThreshold, SwingOverLevelTimesSnrWithAFloor) {
  std::vector<int16_t> alternating(30);
  for (int i = 0; i < 30; ++i) alternating[i] = i % 2 == 0 ? 100 : 110;
  EXPECT_NEAR(acquisition::AutoZeroThreshold(alternating, 1.8), 1.0 + 10.0 / 105.0 * 180.0, 1e-9);

  EXPECT_DOUBLE_EQ(acquisition::AutoZeroThreshold(std::vector<int16_t>(30, 2000), 1.8), 1.8);
  EXPECT_DOUBLE_EQ(acquisition::AutoZeroThreshold(std::vector<int16_t>(100, 0), 1.8), 1.8);

  // Only samples 11..N-2 count, with peak and trough starting from sample 10.
  std::vector<int16_t> edges(100, 1000);
  edges[0] = edges[9] = edges[99] = 4000;
  EXPECT_DOUBLE_EQ(acquisition::AutoZeroThreshold(edges, 1.8), 1.8);
  edges[10] = 1100;  // the starting peak, kept: no later strict peak replaces it
  edges[11] = 900;   // a strict trough: swing 200 on all 88 samples
  // L = Round(87900 / 88) = 999, S = 200.
  EXPECT_NEAR(acquisition::AutoZeroThreshold(edges, 2.0), 1.0 + 200.0 / 999.0 * 200.0, 1e-9);
}

// ---------------------------------------------------------------------------
// Against the simulated instrument

class SimCalibrationTest : public SimRunFixture {
 protected:
  void SetUp() override {
    SimRunFixture::SetUp();
    run_folder_ = project_ / "20260314_1005";
    fs::create_directories(run_folder_);
  }
  fs::path run_folder_;
  acquisition::ChannelCalibration cal_{io_, engine_, view_};
  acquisition::AutoZero zero_{io_, engine_, view_};
};

TEST_F(SimCalibrationTest, AutoAdjustReachesItsEndAndTheReadBackFillsTheTables) {
  auto& sh = storage::Shared();
  sh.Acq_State = 1;
  // Every channel stored as power 7, gain 5; the tables still hold the defaults.
  std::string stored = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n";
  for (int ch = 0; ch < storage::kChannelCount; ++ch) stored += std::to_string(ch) + ",7,5\r\n";
  testsupport::WriteBytes(folder_ / "calvalue.dat", stored);
  cal_.AutoCalibrationAtRunStart(run_folder_.string(), 7);  // a station above 3 is 0

  EXPECT_EQ(view_.scale, "383x10");
  EXPECT_EQ(OnWire(Frame(0x00, 0x40, 0x6E)), 1);
  EXPECT_TRUE(view_.Logged("progress:Calibrating...100%"));
  EXPECT_TRUE(view_.Logged("progress:Saving Calibration values...100%"));
  EXPECT_EQ(sh.Acq_State, 1);
  EXPECT_EQ(OnWire(Frame(0x00, 0x20, 200)), 0);  // the factory record is not read back

  // The read-back channels take the instrument's settings; the factory record's
  // addresses and the channels past the read-back keep the stored ones.
  std::string want = "channel, power, gain\r\n";
  int adjusted = 0;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int setting = ch < 255 && (ch < 200 || ch > 207) ? ModelSetting(ch) : 5 * 32 + 7;
    adjusted += ch < 200 && setting != 3 * 32 + 2;
    want += std::to_string(ch) + "," + std::to_string(setting % 32) + "," +
            std::to_string(setting / 32) + "\r\n";
  }
  EXPECT_GT(adjusted, 100);  // the instrument really moved its settings
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "calvalue.dat"), want);
  EXPECT_EQ(testsupport::ReadBytes(run_folder_ / "calvalue.dat"), want);
  EXPECT_EQ(sh.PinHole[300] * 10 + sh.Gain[300], 75);
}

TEST_F(SimCalibrationTest, StepCalibrationConvergesOnSimulatedChannels) {
  auto& sh = storage::Shared();
  (*sim_)->SetReplyMode(sim::ReplyMode::kBlock);
  (*sim_)->WithModel([](sim::InstrumentModel& m) { m.SetAnimalsPresent(false); });
  // A few wells on the plate; the rest are off it and get the setting 0.
  for (int ch = 0; ch < storage::kChannelCount; ++ch)
    sh.Channel_Well[ch] = (ch % 16 == 3 || ch == 200 || ch == 383) ? int16_t(ch / 16) : int16_t(-1);
  sh.Acq_State = 2;  // paused: the tick does not poll

  cal_.cmd_calibra_Click("2,5");
  EXPECT_EQ(engine_.state.SNR_Threshold, 2.5);
  EXPECT_EQ(view_.log.front() + "," + view_.log.back(), "frame,hide");
  for (const char* shown :
       {"Writing First Time Calibration...", "Writing calibration...383", "Calibrating... [383]"})
    EXPECT_TRUE(view_.Logged(std::string("progress:") + shown)) << shown;
  EXPECT_EQ(view_.With("progress:").back(), "Calibration OK");
  EXPECT_TRUE(dialogs_.log().empty());
  EXPECT_EQ(engine_.state.Ring_Index, 0);
  // Channels off the plate get 0; those on it end inside the window, but for the
  // beam's own noise of half a percent.
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    ASSERT_EQ(ModelSetting(ch), sh.Gain[ch] * 32 + sh.PinHole[ch]) << ch;
    if (sh.Channel_Well[ch] < 0) {
      ASSERT_EQ(ModelSetting(ch), 0) << ch;
    } else {
      ASSERT_NEAR(ModelLevel(ch), (1638 + 1843) / 2.0, (1843 - 1638) / 2.0 + 12) << ch;
      ASSERT_NEAR(engine_.state.RawAt(ch, 0), ModelLevel(ch), 12) << ch;
    }
  }
  // The settings reached are in calvalue.dat.
  const auto pinhole = sh.PinHole;
  sh.SetCalDefaults();
  ASSERT_TRUE(storage::LoadCalValues());
  EXPECT_EQ(sh.PinHole, pinhole);
}

TEST_F(SimCalibrationTest, AutoZeroSetsEveryChannelsStartingThreshold) {
  auto& sh = storage::Shared();
  (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
  (*sim_)->SetPacing(sim::kWireBytesPerSecond);  // samples spread over real time
  sh.Acq_State = 1;
  engine_.state.Plate_96 = true;
  engine_.controls.Auto_Calibration = engine_.controls.Auto_Zero = true;  // 30 samples
  for (int ch = 0; ch < storage::kTableSize; ++ch) sh.ThresholdAt(0, ch) = -5;
  (*sim_)->ClearReceived();

  zero_.RunAutoZero();
  const auto progress = view_.With("progress:");
  EXPECT_EQ(progress.front(), "AutoZero Calculation .... <000>");
  EXPECT_EQ(progress.back(), "AutoZero... <29>");
  EXPECT_EQ(view_.scale, "30x10");
  EXPECT_EQ(view_.yields, 3);  // after samples 0, 10, 20
  // Priming asks for the 96-well groups only; every sample asks for all eight.
  EXPECT_EQ(OnWire(Frame(0x00, 0x30, 16)), 1 + 30);
  EXPECT_EQ(OnWire(Frame(0x00, 0x30, 8)), 30);
  // Each channel's threshold from its own 30 samples; odd channels read 0: the floor.
  int moving = 0;
  std::vector<int16_t> series(30);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    for (int i = 0; i < 30; ++i) series[i] = engine_.state.RawAt(ch, i);
    ASSERT_DOUBLE_EQ(sh.ThresholdAt(0, ch), acquisition::AutoZeroThreshold(series, 1.8)) << ch;
    ASSERT_EQ(series[29] > 0, ch % 2 == 0) << ch;
    moving += sh.ThresholdAt(0, ch) > 1.8;
  }
  EXPECT_GT(moving, 50);
  EXPECT_EQ(sh.ThresholdAt(0, 384), -5);
}

// ---------------------------------------------------------------------------
// Failures and refusals on a scripted port

class ScriptCalibrationTest : public RunFixture<FakeInstrument> {
 protected:
  acquisition::ChannelCalibration cal_{io_, engine_, view_};
  acquisition::AutoZero zero_{io_, engine_, view_};
};

TEST_F(ScriptCalibrationTest, TheAdjustmentWaitIsBoundedAndTheReadBackAllOrNothing) {
  auto& sh = storage::Shared();
  const auto adjusted = [](const std::string& frame, int) {
    return uint8_t(frame[2]) == 0x40 ? std::string(1, char(191)) : std::string();
  };
  struct Case {
    const char* what;
    std::function<std::string(const std::string&, int)> read;  // progress bytes
    std::function<int(int reg, int value, int mode)> query;    // read-back answers
    int acq_state;
    int unread;  // a channel the read-back no longer reaches; -1: none
  } cases[] = {
      // Ten silent reads, each a yield, then the read-back follows silently.
      {"a silent adjustment", nullptr, [](int, int, int) { return 101; }, 1, -1},
      // Progress that never reaches the end: bounded by the time limit.
      {"progress that never ends", [](const std::string&, int) { return std::string(1, char(20)); },
       [](int, int, int) { return 101; }, 1, -1},
      {"a channel that never answers", adjusted,
       [](int reg, int value, int) { return reg == 0x20 && value == 17 ? -1 : 99; }, 0, 18},
      {"a line that answers only after long waits", adjusted,
       [&](int, int, int) { return clock_.Advance(400), 99; }, 0, 254},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sh.Acq_State = 1;
    io_.frames.clear();
    io_.read = c.read;
    io_.query = c.query;
    view_.on_yield = [&](int) { clock_.Advance(1000); };
    testsupport::ScriptedDialogs dialogs;
    if (c.acq_state == 0) dialogs.ExpectOk();
    cal_.RunAutoCalibration((project_ / "run").string(), 0);
    EXPECT_EQ(dialogs.log(), c.acq_state == 0 ? std::vector<std::string>{"COM Error"}
                                              : std::vector<std::string>{});
    EXPECT_EQ(sh.Acq_State, c.acq_state);
    EXPECT_EQ(sh.PinHole[17] * 10 + sh.Gain[17], 53);  // 101 read back once, then kept
    EXPECT_EQ(io_.Count(Frame(0x00, 0x20, c.unread < 0 ? 254 : c.unread)), c.unread < 0);
  }
  EXPECT_TRUE(view_.Logged("progress:Calibrating...10%"));

  // The stop button pressed during a silent wait.
  sh.Acq_State = 1;
  io_.read = nullptr;
  view_.on_yield = [&](int) {
    if (sh.Acq_State != 0) engine_.Stop();
  };
  io_.frames.clear();
  cal_.RunAutoCalibration((project_ / "run").string(), 0);
  EXPECT_EQ(io_.Count(Frame(0x00, 0x20, 0)), 0);
}

TEST_F(ScriptCalibrationTest, AnAutoZeroEndedEarlyChangesNoThreshold) {
  auto& sh = storage::Shared();
  struct Case {
    const char* what;
    bool silent;
    int stop_at_yield;
    int requests, acq_state;
  } cases[] = {
      {"a silent instrument: two passes", true, 0, 8 + 2 * 8, 1},
      {"stopped at the second yield (sample 10)", false, 2, 8 + 11 * 8, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sh.Acq_State = 1;
    for (int ch = 0; ch < storage::kTableSize; ++ch) sh.ThresholdAt(0, ch) = 7;
    io_.silent = c.silent;
    io_.frames.clear();
    view_.yields = 0;
    view_.on_yield = [&](int n) {
      if (n == c.stop_at_yield) engine_.Stop();
    };
    zero_.RunAutoZero();
    EXPECT_EQ(io_.CountFrames(0x30), c.requests);
    EXPECT_EQ(sh.Acq_State, c.acq_state);
    for (int ch = 0; ch < storage::kChannelCount; ++ch) ASSERT_EQ(sh.ThresholdAt(0, ch), 7);
  }
  // From the button with no run: one sample pass, then nothing.
  view_.on_yield = nullptr;
  zero_.Cmd_autozero_Click("1,2");
  EXPECT_EQ(engine_.state.SNR_Threshold, 1.2);  // no floor from the button
  EXPECT_EQ(view_.With("progress:").back(), "AutoZero... <0>");
  EXPECT_EQ(sh.ThresholdAt(0, 0), 7);
}

TEST_F(ScriptCalibrationTest, AWriteFailureOfTheStepCalibration) {
  auto& sh = storage::Shared();
  for (int ch = 0; ch < storage::kChannelCount; ++ch) sh.Channel_Well[ch] = ch == 5 ? 0 : -1;
  // Every block reads 1000: channel 5 must step up.
  io_.read = [](const std::string& frame, int count) {
    if (uint8_t(frame[2]) != 0x30) return std::string();
    std::string half;
    for (int i = 0; i < count / 2; ++i) half += std::string{char(0x03), char(0xE8)};
    return half;
  };
  struct Case {
    int echoed;  // writes echoed before they fail
    std::vector<std::string> messages;
    int acq_state;
  } cases[] = {
      // The first stage: both messages, nothing saved, the run goes on.
      {0,
       {"Ops...Data Writing ERROR: reg(0)... Check COM and Try again",
        "Communication error. Check COM PORT and equipment connection."},
       2},
      // A step: the run is stopped, nothing saved.
      {384 * 9, {"Ops...Data Writing ERROR: reg(5)... Check COM and Try again"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.echoed);
    sh.Acq_State = 2;
    std::filesystem::remove(folder_ / "calvalue.dat");
    int writes = 0;
    io_.query = [&](int reg, int, int mode) {
      if (!(mode & 0x80)) return 0;
      return ++writes <= c.echoed ? reg : -1;
    };
    testsupport::ScriptedDialogs dialogs;
    for (std::size_t i = 0; i < c.messages.size(); ++i) dialogs.ExpectOk();
    cal_.CalibrateChannels();
    EXPECT_EQ(dialogs.log(), c.messages);
    EXPECT_EQ(sh.Acq_State, c.acq_state);
    EXPECT_FALSE(view_.Logged("progress:Calibration OK"));
    // Only the file made at the start (the defaults) exists.
    ASSERT_TRUE(storage::LoadCalValues());
    EXPECT_EQ(sh.Gain[5], 3);
  }
  EXPECT_EQ(engine_.state.RawAt(5, 0), 1000);
}

TEST_F(ScriptCalibrationTest, TheButtonsWithoutARunOfflineAndWhileSampling) {
  auto& sh = storage::Shared();
  sh.Offline_Mode = true;
  dialogs_.ExpectOk();
  cal_.CalibrateChannels();
  EXPECT_EQ(dialogs_.log().back(), "Operation not possible in OFFLINE mode");
  EXPECT_FALSE(fs::exists(folder_ / "calvalue.dat"));

  // No run: the file only, with 0,0 off the plate and 2 for a power left at 0,0.
  sh.Offline_Mode = false;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) sh.Channel_Well[ch] = ch < 10 ? 0 : -1;
  std::string file = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n0,0,0\r\n1,4,5\r\n";
  for (int ch = 2; ch < 384; ++ch) file += std::to_string(ch) + ",3,3\r\n";
  testsupport::WriteBytes(folder_ / "calvalue.dat", file);
  cal_.cmd_calibra_Click("1.8");
  EXPECT_TRUE(view_.Logged("progress:Writing Calibration..."));
  EXPECT_EQ(view_.With("progress:").back(), "Calibration OK");
  std::string want = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n0,2,0\r\n1,4,5\r\n";
  for (int ch = 2; ch < 384; ++ch) want += std::to_string(ch) + (ch < 10 ? ",3,3\r\n" : ",0,0\r\n");
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "calvalue.dat"), want);

  // While the tick polls both buttons refuse.
  io_.read = [](const std::string&, int) { return std::string(); };
  Start();
  view_.log.clear();
  dialogs_.ExpectOk().ExpectOk();
  cal_.cmd_calibra_Click("1.8");
  zero_.Cmd_autozero_Click("1.8");
  EXPECT_EQ(dialogs_.log().back(), acquisition::kCalibrationWhileSampling);
  EXPECT_EQ(dialogs_.log()[dialogs_.log().size() - 2], acquisition::kCalibrationWhileSampling);
  EXPECT_EQ(io_.CountFrames(0x30) + io_.CountFrames(0x20), 0);
  EXPECT_FALSE(view_.Logged("frame"));
}

}  // namespace
}  // namespace acqtest
