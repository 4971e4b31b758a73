// Channel calibration and auto-zero: the write-with-verify and its retries, the
// step rules, the auto-zero formula, and whole runs of each procedure against the
// simulated instrument (and a scripted port where the failure is the point).
#include "acquisition/calibration.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "acquisition/auto_zero.h"
#include "fake_instrument.h"
#include "run_fixture.h"
#include "storage/calibration_values.h"

namespace acqtest {
namespace {

namespace fs = std::filesystem;
using acquisition::StepState;

std::string Frame(int mode, int reg, int value) { return FakeInstrument::Frame(reg, value, mode); }

class CalView final : public acquisition::CalibrationView {
 public:
  void ShowFrame() override { frames.push_back("show"); }
  void HideFrame() override { frames.push_back("hide"); }
  void SetProgressText(const std::string& t) override { texts.push_back(t); }
  void ScaleProgressBar(double r, double b) override {
    scale = std::to_string(int(r)) + "x" + std::to_string(int(b));
  }
  void DrawProgressBar(double x) override { bars.push_back(x); }
  void ClearProgressBar() override { ++clears; }
  void ProcessEvents() override {
    ++yields;
    if (on_yield) on_yield(yields);
  }
  bool Shown(const std::string& t) const {
    for (const auto& s : texts)
      if (s == t) return true;
    return false;
  }
  std::vector<std::string> texts, frames;
  std::vector<double> bars;
  std::string scale;
  int clears = 0, yields = 0;
  std::function<void(int)> on_yield;
};

// ---------------------------------------------------------------------------
// Write-with-verify and read-back on a scripted port

class WriteVerifyTest : public RunFixture<FakeInstrument> {};

TEST_F(WriteVerifyTest, ConfirmedByTheNinthReplyOfAPassOnly) {
  // Channel 200, power 5, gain 3: mode 0x81, register 72, value 0x65.
  int n = 0;
  io_.query = [&](int reg, int, int) { return ++n == 9 ? reg : 0x11; };
  EXPECT_EQ(acquisition::WriteCalRegister(io_, 200, 5, 3), 1);
  EXPECT_EQ(io_.Count(Frame(0x81, 0x48, 0x65)), 9);
  EXPECT_EQ(clock_.MonotonicMs(), 0);  // pass 1 sends back to back

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
  CalView cal_view_;
  acquisition::ChannelCalibration cal_{io_, engine_, cal_view_};
  acquisition::AutoZero zero_{io_, engine_, cal_view_};
};

TEST_F(SimCalibrationTest, AutoAdjustReachesItsEndAndTheReadBackFillsTheTables) {
  auto& sh = storage::Shared();
  sh.Acq_State = 1;
  // Every channel stored as power 7, gain 5; the tables still hold the defaults.
  std::string stored = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n";
  for (int ch = 0; ch < storage::kChannelCount; ++ch) stored += std::to_string(ch) + ",7,5\r\n";
  testsupport::WriteBytes(folder_ / "calvalue.dat", stored);
  cal_.AutoCalibrationAtRunStart(run_folder_.string(), 7);  // a station above 3 is 0

  EXPECT_EQ(cal_view_.scale, "383x10");
  EXPECT_EQ(OnWire(Frame(0x00, 0x40, 0x6E)), 1);
  EXPECT_TRUE(cal_view_.Shown("Calibrating...100%"));
  EXPECT_TRUE(cal_view_.Shown("Saving Calibration values...100%"));
  EXPECT_EQ(sh.Acq_State, 1);

  int adjusted = 0;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    SCOPED_TRACE(ch);
    if (ch < 255 && (ch < 200 || ch > 207)) {
      const int setting = ModelSetting(ch);
      EXPECT_EQ(sh.PinHole[ch], setting % 32);
      EXPECT_EQ(sh.Gain[ch], setting / 32);
      adjusted += setting != 3 * 32 + 2;
    } else {
      // The factory record's addresses and the channels past the read-back keep theirs.
      EXPECT_EQ(sh.PinHole[ch], 7);
      EXPECT_EQ(sh.Gain[ch], 5);
    }
  }
  EXPECT_GT(adjusted, 100);  // the instrument really moved its settings
  // No read-back of the factory record's addresses.
  EXPECT_EQ(OnWire(Frame(0x00, 0x20, 200)), 0);

  std::string want = "channel, power, gain\r\n";
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const int setting = ch < 255 && (ch < 200 || ch > 207) ? ModelSetting(ch) : 5 * 32 + 7;
    want += std::to_string(ch) + "," + std::to_string(setting % 32) + "," +
            std::to_string(setting / 32) + "\r\n";
  }
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "calvalue.dat"), want);
  EXPECT_EQ(testsupport::ReadBytes(run_folder_ / "calvalue.dat"), want);
}

TEST_F(SimCalibrationTest, StopDuringTheAutoAdjustEndsWithoutReadBack) {
  auto& sh = storage::Shared();
  sh.Acq_State = 1;
  cal_view_.on_yield = [&](int n) {
    if (n == 3) engine_.Stop();
  };
  cal_.RunAutoCalibration(run_folder_.string(), 0);
  EXPECT_EQ(sh.Acq_State, 0);
  EXPECT_EQ(cal_view_.yields, 3);
  EXPECT_EQ(OnWire(Frame(0x00, 0x20, 0)), 0);
  EXPECT_FALSE(fs::exists(folder_ / "calvalue.dat"));
  EXPECT_EQ(sh.PinHole[0], 2);
}

TEST_F(SimCalibrationTest, AWriteThatIsNotEchoedIsRetriedThenReported) {
  (*sim_)->WithModel([](sim::InstrumentModel& m) { m.SetWriteEchoFailures(9); });
  EXPECT_EQ(acquisition::WriteCalRegister(io_, 200, 5, 3), 1);  // confirmed by pass 2
  EXPECT_EQ(ModelSetting(200), 0x65);
  EXPECT_EQ(clock_.MonotonicMs(), 150 + 150 + 9 * 100);  // pass 2 is paced
  EXPECT_EQ(OnWire(Frame(0x81, 0x48, 0x65)), 18);
  EXPECT_EQ(OnWire(Frame(0x00, 0x21, 0x00)), 1);

  (*sim_)->ClearReceived();
  (*sim_)->WithModel([](sim::InstrumentModel& m) { m.SetWriteEchoFailures(-1); });
  dialogs_.ExpectOk();
  EXPECT_EQ(acquisition::WriteCalRegister(io_, 200, 6, 1), -1);
  EXPECT_EQ(dialogs_.log().back(), "Ops...Data Writing ERROR: reg(200)... Check COM and Try again");
  EXPECT_EQ(OnWire(Frame(0x81, 0x48, 0x26)), 36);
  EXPECT_EQ(OnWire(Frame(0x00, 0x21, 0x00)), 3);
  EXPECT_EQ(ModelSetting(200), 0x65);
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
  EXPECT_EQ(cal_view_.frames, (std::vector<std::string>{"show", "hide"}));
  EXPECT_TRUE(cal_view_.Shown("Writing First Time Calibration..."));
  EXPECT_TRUE(cal_view_.Shown("Writing calibration...383"));
  EXPECT_TRUE(cal_view_.Shown("Calibrating... [383]"));
  EXPECT_EQ(cal_view_.texts.back(), "Calibration OK");
  EXPECT_TRUE(dialogs_.log().empty());
  EXPECT_EQ(engine_.state.Ring_Index, 0);

  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    SCOPED_TRACE(ch);
    EXPECT_EQ(ModelSetting(ch), sh.Gain[ch] * 32 + sh.PinHole[ch]);
    if (sh.Channel_Well[ch] < 0) {
      EXPECT_EQ(ModelSetting(ch), 0);
      continue;
    }
    // Inside the window but for the beam's own noise of half a percent.
    EXPECT_GE(ModelLevel(ch), 1638 - 12);
    EXPECT_LE(ModelLevel(ch), 1843 + 12);
    EXPECT_NEAR(engine_.state.RawAt(ch, 0), ModelLevel(ch), 12);
  }
  // The settings reached are in calvalue.dat.
  const auto pinhole = sh.PinHole;
  sh.SetCalDefaults();
  ASSERT_TRUE(storage::LoadCalValues());
  EXPECT_EQ(sh.PinHole, pinhole);
}

TEST_F(SimCalibrationTest, AFirstStageWriteFailureIsReportedTwiceAndNothingSaved) {
  auto& sh = storage::Shared();
  sh.Acq_State = 2;
  (*sim_)->WithModel([](sim::InstrumentModel& m) { m.SetWriteEchoFailures(-1); });
  dialogs_.ExpectOk().ExpectOk();
  cal_.CalibrateChannels();
  EXPECT_EQ(dialogs_.log(), (std::vector<std::string>{
                                "Ops...Data Writing ERROR: reg(0)... Check COM and Try again",
                                "Communication error. Check COM PORT and equipment connection."}));
  EXPECT_FALSE(cal_view_.Shown("Calibration OK"));
  EXPECT_EQ(sh.Acq_State, 2);  // the run goes on
}

TEST_F(SimCalibrationTest, AutoZeroSetsEveryChannelsStartingThreshold) {
  auto& sh = storage::Shared();
  (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
  (*sim_)->SetPacing(sim::kWireBytesPerSecond);  // samples spread over real time
  sh.Acq_State = 1;
  engine_.state.Plate_96 = true;
  engine_.state.SNR_Threshold = 1.8;
  engine_.controls.Auto_Calibration = true;
  engine_.controls.Auto_Zero = true;
  for (int ch = 0; ch < storage::kTableSize; ++ch) sh.ThresholdAt(0, ch) = -5;
  (*sim_)->ClearReceived();

  zero_.RunAutoZero();
  EXPECT_EQ(cal_view_.texts.front(), "AutoZero Calculation .... <000>");
  EXPECT_EQ(cal_view_.texts.back(), "AutoZero... <29>");
  EXPECT_EQ(cal_view_.scale, "30x10");
  EXPECT_EQ(cal_view_.yields, 3);  // after samples 0, 10, 20
  // Priming asks for the 96-well groups only; every sample asks for all eight.
  EXPECT_EQ(OnWire(Frame(0x00, 0x30, 16)), 1 + 30);
  EXPECT_EQ(OnWire(Frame(0x00, 0x30, 8)), 30);

  int moving = 0;
  std::vector<int16_t> series(30);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    SCOPED_TRACE(ch);
    for (int i = 0; i < 30; ++i) series[i] = engine_.state.RawAt(ch, i);
    EXPECT_DOUBLE_EQ(sh.ThresholdAt(0, ch), acquisition::AutoZeroThreshold(series, 1.8));
    if (ch % 2 == 1) {
      EXPECT_DOUBLE_EQ(sh.ThresholdAt(0, ch), 1.8);
    } else {
      EXPECT_GT(series[29], 0);
    }
    moving += sh.ThresholdAt(0, ch) > 1.8;
  }
  EXPECT_GT(moving, 50);
  EXPECT_EQ(sh.ThresholdAt(0, 384), -5);
}

TEST_F(SimCalibrationTest, AutoZeroStoppedMeanwhileChangesNoThreshold) {
  auto& sh = storage::Shared();
  (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
  sh.Acq_State = 1;
  for (int ch = 0; ch < storage::kTableSize; ++ch) sh.ThresholdAt(0, ch) = 7;
  cal_view_.on_yield = [&](int n) {
    if (n == 2) engine_.Stop();
  };
  (*sim_)->ClearReceived();
  zero_.RunAutoZero();
  EXPECT_EQ(cal_view_.texts.back(), "AutoZero... <10>");
  EXPECT_EQ(OnWire(Frame(0x00, 0x30, 56)), 1 + 11);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) EXPECT_EQ(sh.ThresholdAt(0, ch), 7);

  // From the button with no run: one sample pass, then nothing.
  cal_view_.on_yield = nullptr;
  cal_view_.texts.clear();
  zero_.Cmd_autozero_Click("1,2");
  EXPECT_EQ(engine_.state.SNR_Threshold, 1.2);  // no floor from the button
  EXPECT_EQ(cal_view_.texts.back(), "AutoZero... <0>");
  EXPECT_EQ(sh.ThresholdAt(0, 0), 7);
}

// ---------------------------------------------------------------------------
// Failures and refusals on a scripted port

class ScriptCalibrationTest : public RunFixture<FakeInstrument> {
 protected:
  CalView cal_view_;
  acquisition::ChannelCalibration cal_{io_, engine_, cal_view_};
  acquisition::AutoZero zero_{io_, engine_, cal_view_};
};

TEST_F(ScriptCalibrationTest, AFailedReadBackStopsTheRunAndChangesNothing) {
  auto& sh = storage::Shared();
  sh.Acq_State = 1;
  io_.read = [](const std::string& frame, int) {
    return uint8_t(frame[2]) == 0x40 ? std::string(1, char(191)) : std::string();
  };
  io_.query = [](int reg, int value, int) { return reg == 0x20 && value == 17 ? -1 : 101; };
  dialogs_.ExpectOk();
  cal_.RunAutoCalibration((project_ / "run").string(), 0);
  EXPECT_EQ(dialogs_.log(), std::vector<std::string>{"COM Error"});
  EXPECT_EQ(sh.Acq_State, 0);
  EXPECT_EQ(sh.PinHole[3], 2);
  EXPECT_FALSE(fs::exists(folder_ / "calvalue.dat"));
  EXPECT_EQ(io_.Count(Frame(0x00, 0x20, 17)), 3);  // three tries
  EXPECT_EQ(io_.Count(Frame(0x00, 0x20, 18)), 0);
}

TEST_F(ScriptCalibrationTest, ASilentAdjustmentIsBoundedAndTheStopButtonCanEndIt) {
  auto& sh = storage::Shared();
  sh.Acq_State = 1;
  io_.query = [](int, int, int) { return 101; };
  cal_.RunAutoCalibration((project_ / "run").string(), 0);
  // Ten empty reads, each a yield, then the read-back follows silently.
  EXPECT_EQ(cal_view_.yields, 10 + 254 / 16);
  EXPECT_TRUE(dialogs_.log().empty());
  EXPECT_EQ(sh.PinHole[17], 5);
  EXPECT_EQ(sh.Gain[17], 3);

  // Progress that never reaches the end: bounded by the time limit.
  io_.read = [](const std::string&, int) { return std::string(1, char(20)); };
  cal_view_.on_yield = [&](int) { clock_.Advance(1000); };
  cal_.RunAutoCalibration((project_ / "run").string(), 0);
  EXPECT_TRUE(cal_view_.Shown("Calibrating...10%"));
  EXPECT_EQ(sh.Acq_State, 1);
  EXPECT_EQ(io_.Count(Frame(0x00, 0x20, 254)), 2);

  // A line that answers only after a long wait: the read-back gives up as failed.
  io_.read = [](const std::string& frame, int) {
    return uint8_t(frame[2]) == 0x40 ? std::string(1, char(191)) : std::string();
  };
  cal_view_.on_yield = nullptr;
  io_.query = [&](int, int, int) {
    clock_.Advance(400);
    return 99;
  };
  dialogs_.ExpectOk();
  cal_.RunAutoCalibration((project_ / "run").string(), 0);
  EXPECT_EQ(dialogs_.log().back(), "COM Error");
  EXPECT_EQ(sh.Acq_State, 0);
  EXPECT_EQ(sh.PinHole[17], 5);  // as the first read-back left it

  // The stop button pressed during a silent wait.
  sh.Acq_State = 1;
  io_.read = nullptr;
  cal_view_.on_yield = [&](int) { engine_.Stop(); };
  io_.frames.clear();
  cal_.RunAutoCalibration((project_ / "run").string(), 0);
  EXPECT_EQ(io_.Count(Frame(0x00, 0x20, 0)), 0);
}

TEST_F(ScriptCalibrationTest, ASilentInstrumentEndsTheAutoZeroAfterTwoPasses) {
  auto& sh = storage::Shared();
  sh.Acq_State = 1;
  for (int ch = 0; ch < storage::kTableSize; ++ch) sh.ThresholdAt(0, ch) = 7;
  io_.silent = true;
  zero_.RunAutoZero();
  EXPECT_EQ(io_.CountFrames(0x30), 8 + 2 * 8);
  EXPECT_EQ(sh.ThresholdAt(0, 0), 7);
  EXPECT_EQ(sh.Acq_State, 1);
}

TEST_F(ScriptCalibrationTest, AWriteFailureDuringTheAdjustmentStopsTheRun) {
  auto& sh = storage::Shared();
  sh.Acq_State = 2;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) sh.Channel_Well[ch] = ch == 5 ? 0 : -1;
  // Every block reads 1000: channel 5 must step up, and that write is not echoed.
  io_.read = [](const std::string& frame, int count) {
    if (uint8_t(frame[2]) != 0x30) return std::string();
    std::string half;
    for (int i = 0; i < count / 2; ++i) half += std::string{char(0x03), char(0xE8)};
    return half;
  };
  int writes = 0;
  io_.query = [&](int reg, int, int mode) {
    if (!(mode & 0x80)) return 0;
    return ++writes <= 384 * 9 ? reg : -1;
  };
  dialogs_.ExpectOk();
  cal_.CalibrateChannels();
  EXPECT_EQ(dialogs_.log(), std::vector<std::string>{
                                "Ops...Data Writing ERROR: reg(5)... Check COM and Try again"});
  EXPECT_EQ(sh.Acq_State, 0);
  EXPECT_EQ(engine_.state.RawAt(5, 0), 1000);
  EXPECT_FALSE(cal_view_.Shown("Calibration OK"));
  // Only the file made at the start (the defaults) exists.
  const auto gain = sh.Gain[5];
  ASSERT_TRUE(storage::LoadCalValues());
  EXPECT_EQ(sh.Gain[5], 3);
  EXPECT_EQ(gain, 4);
}

TEST_F(ScriptCalibrationTest, WithoutARunTheButtonOnlyRewritesTheFile) {
  auto& sh = storage::Shared();
  for (int ch = 0; ch < storage::kChannelCount; ++ch) sh.Channel_Well[ch] = ch < 10 ? 0 : -1;
  std::string file = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n0,0,0\r\n1,4,5\r\n";
  for (int ch = 2; ch < 384; ++ch) file += std::to_string(ch) + ",3,3\r\n";
  testsupport::WriteBytes(folder_ / "calvalue.dat", file);

  cal_.cmd_calibra_Click("1.8");
  EXPECT_TRUE(io_.frames.empty());
  EXPECT_TRUE(cal_view_.Shown("Writing Calibration..."));
  EXPECT_EQ(cal_view_.texts.back(), "Calibration OK");
  std::string want = "\"<Num_Channel>, <PinHole>, <Gain> \"\r\n0,2,0\r\n1,4,5\r\n";
  for (int ch = 2; ch < 384; ++ch) want += std::to_string(ch) + (ch < 10 ? ",3,3\r\n" : ",0,0\r\n");
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "calvalue.dat"), want);
}

TEST_F(ScriptCalibrationTest, OfflineAndWhileSamplingTheButtonsRefuse) {
  auto& sh = storage::Shared();
  sh.Offline_Mode = true;
  dialogs_.ExpectOk();
  cal_.CalibrateChannels();
  EXPECT_EQ(dialogs_.log().back(), "Operation not possible in OFFLINE mode");
  EXPECT_FALSE(fs::exists(folder_ / "calvalue.dat"));

  sh.Offline_Mode = false;
  io_.read = [](const std::string&, int) { return std::string(); };
  Start();
  ASSERT_TRUE(engine_.TimerEnabled());
  io_.frames.clear();
  dialogs_.ExpectOk().ExpectOk();
  cal_.cmd_calibra_Click("1.8");
  zero_.Cmd_autozero_Click("1.8");
  EXPECT_EQ(dialogs_.log().back(), acquisition::kCalibrationWhileSampling);
  EXPECT_EQ(dialogs_.log()[dialogs_.log().size() - 2], acquisition::kCalibrationWhileSampling);
  EXPECT_TRUE(io_.frames.empty());
  EXPECT_TRUE(cal_view_.frames.empty());
}

}  // namespace
}  // namespace acqtest
