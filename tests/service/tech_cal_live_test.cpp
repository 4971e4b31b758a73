// The channel-calibration window's live reads, read-back and setting writes, on the
// simulated compact instrument (and a scripted port where silence would be slow).
#include <gtest/gtest.h>

#include "link/device_io.h"
#include "tech_cal_fixture.h"

namespace servicetest {
namespace {

using Answer = platform::Dialogs::Answer;

// A 48-byte group reply of good zero words with `hi lo` as its first word.
std::string GroupWith(uint8_t hi, uint8_t lo) {
  std::string r(48, '\0');
  r[0] = static_cast<char>(hi);
  r[1] = static_cast<char>(lo);
  return r;
}

class TechCalLive : public TechCalSim {
 protected:
  // Replies to the level request of `group` with `reply` instead of the instrument.
  void ReplaceGroup(int group, std::string reply) {
    Sim().SetIntercept([group, reply](const std::array<uint8_t, 5>& f, std::string& out) {
      if (f[2] != 0x30 || f[3] != group) return false;
      out = reply;
      return true;
    });
  }
};

TEST_F(TechCalLive, GroupWordsAreCheckedAndOddChannelsReadZero) {
  AllRegisters(500);
  struct Case {
    uint8_t hi, lo;
    bool good;
    int32_t stored;  // as Level_Block keeps it
  };
  const Case cases[] = {
      {0x0F, 0x00, true, 3840}, {0x07, 0x00, false, 1792}, {0x87, 0x00, true, 1792},
      {0x8F, 0x00, false, 3840}, {0x91, 0x00, false, 3840},
  };
  // Group 56's first word is channel 112; channel 113 beside it has no beam.
  for (const auto& c : cases) {
    ReplaceGroup(56, GroupWith(c.hi, c.lo));
    auto& t = cal_.traces();
    t.sample_index = 9;
    t.Level(112, 9) = 77;
    t.Level(113, 9) = 77;
    cal_.ReadAllLevels();
    EXPECT_EQ(t.Level(112, 9), c.good ? c.stored : 77) << int(c.hi);
    EXPECT_EQ(t.Level(113, 9), c.good ? 0 : 77) << int(c.hi);
    EXPECT_EQ(devlink::Level_Block[0], c.stored) << int(c.hi);
    EXPECT_EQ(devlink::Level_Block[3], 0);   // the odd triple of the spread
    EXPECT_EQ(devlink::Level_Block[48], -1);
    // The other groups came from the instrument: register 1 is window channel 2.
    EXPECT_EQ(t.Level(2, 9), 500);
    EXPECT_EQ(t.Level(3, 9), 0);
    EXPECT_EQ(t.sample_index, 10);
  }
  EXPECT_EQ(view_.draws, 5);
}

TEST_F(TechCalLive, AShortGroupLeavesItsChannelsAsTheyWere) {
  AllRegisters(600);
  ReplaceGroup(8, std::string(47, '\0'));
  auto& t = cal_.traces();
  for (int ch : {16, 17, 31, 144, 287, 0, 32}) t.Level(ch, 0) = 9;
  cal_.ReadAllLevels();
  for (int ch : {16, 17, 31, 144, 287}) EXPECT_EQ(t.Level(ch, 0), 9) << ch;
  EXPECT_EQ(t.Level(0, 0), 600);
  EXPECT_EQ(t.Level(32, 0), 600);
  EXPECT_EQ(Count(LevelFrame(8)), 1);
  EXPECT_EQ(Count(LevelFrame(56)), 1);
}

TEST_F(TechCalLive, AReplyShiftedByStrayBytesIsNotStored) {
  AllRegisters(700);
  Sim().SetStrayBytes(std::string(2, '\0'));  // two bytes: the parity still passes
  Sim().SetFault(sim::Fault::kStrayBytes, 1);
  auto& t = cal_.traces();
  t.Level(0, 0) = 9;
  t.Level(16, 0) = 9;
  cal_.ReadAllLevels();
  EXPECT_EQ(t.Level(0, 0), 9);
  EXPECT_EQ(t.Level(16, 0), 700);
}

TEST_F(TechCalLive, TheDotsAreLitAStepBeforeTheirReadAndOfflineEndsTheSweepAtOnce) {
  storage::Shared().Offline_Mode = true;
  ASSERT_TRUE(cal_.Cmd_online_Click(48, 32));  // cells of 2 x 2: sweeps of 3 reads
  EXPECT_FALSE(cal_.online_enabled());
  EXPECT_EQ(cal_.Step(), 0);
  EXPECT_EQ(view_.greys, (std::vector<int>{255}));  // lit, not read
  EXPECT_EQ(cal_.Step(), 0);
  EXPECT_EQ(cal_.Step(), 0);
  cal_.Cmd_offline_Click();
  EXPECT_TRUE(cal_.online_enabled());
  EXPECT_EQ(cal_.Step(), -1);
  EXPECT_EQ(view_.draws, 1);
  EXPECT_EQ(cal_.traces().read_count, 1);
  EXPECT_EQ(view_.greys, (std::vector<int>{255, 0, 255, 0}));  // the lit dots put out
  EXPECT_TRUE(Sim().Received().empty());
}

TEST_F(TechCalLive, ARunStartedMeanwhileEndsTheLiveViewAndRefusesTheNext) {
  ASSERT_TRUE(cal_.Cmd_online_Click(240, 160));
  EXPECT_EQ(cal_.Step(), 0);
  storage::Shared().Acq_State = 1;
  dialogs_.ExpectOk().ExpectOk().ExpectOk();
  EXPECT_EQ(cal_.Step(), -1);
  EXPECT_FALSE(cal_.online());
  Sim().ClearReceived();
  EXPECT_FALSE(cal_.Cmd_online_Click(240, 160));
  cal_.cmdTEST_Click();
  EXPECT_FALSE(cal_.Stepping());
  EXPECT_EQ(dialogs_.log(), (std::vector<std::string>{storage::kRunningRefusal,
                                                      storage::kRunningRefusal, storage::kRunningRefusal}));
  EXPECT_TRUE(Sim().Received().empty());
}

TEST_F(TechCalLive, TheMapClickReadsBackTheRegisterTheWritesUse) {
  Model([](sim::InstrumentModel& m) { m.compact().Write(18, 229); });
  // Idle, or an odd channel: nothing is asked.
  EXPECT_FALSE(cal_.ReadBackSetting(36));
  ASSERT_TRUE(cal_.Cmd_online_Click(240, 160));
  EXPECT_FALSE(cal_.ReadBackSetting(37));
  EXPECT_TRUE(Sim().Received().empty());

  Sim().SetFault(sim::Fault::kSilence, 2);
  const auto setting = cal_.ReadBackSetting(36);
  ASSERT_TRUE(setting);
  EXPECT_EQ(setting->gain, 7);
  EXPECT_EQ(setting->power, 5);
  EXPECT_EQ(Sim().Received(), Repeat(Frame(0x20, 18, 0), 3));
  EXPECT_EQ(view_.outs, (std::vector<int>{229}));

  // The gain bar moved on channel 36 writes register 18 nine times, channel 37 nothing.
  Sim().ClearReceived();
  cal_.WriteSelectedSetting(36, "9", "2");
  cal_.WriteSelectedSetting(37, "3", "2");
  EXPECT_EQ(Sim().Received(), Repeat(WriteFrame(18, 7 * 32 + 2), 9));
  Model([](sim::InstrumentModel& m) { EXPECT_EQ(m.compact().setting(18), 226); });
}

TEST_F(TechCalLive, WorkUnderWayRefusesWhatItsEventsWouldStart) {
  ASSERT_TRUE(cal_.Cmd_online_Click(240, 160));
  int events = 0;
  view_.events = [&] {
    if (events++) return;
    EXPECT_EQ(cal_.Step(), service::kBusyRetryMs);
    cal_.cmd_setcalibra_Click("1", "1");
    cal_.Cmd_setall_Click("1", "1");
    cal_.WriteSelectedSetting(36, "1", "1");
    EXPECT_FALSE(cal_.ReadBackSetting(36));
  };
  cal_.cmd_setcalibra_Click("6", "6");
  EXPECT_GT(events, 192);  // at least once a register
  EXPECT_FALSE(cal_.busy());
  std::string wire;
  for (int reg = 0; reg < 192; ++reg) wire += Repeat(WriteFrame(reg, 6 * 32 + 6), 9);
  EXPECT_EQ(Sim().Received(), wire);
}

TEST_F(TechCalLive, TheEnableToggleChangesNothingOnNoOrCancel) {
  auto& enabled = storage::Shared().Enabled;
  enabled[36] = -1;
  dialogs_.Answer3(Answer::kNo).Answer3(Answer::kCancel).Answer3(Answer::kYes).Answer3(Answer::kYes);
  EXPECT_EQ(cal_.ToggleEnabled("36", "ENABLED"), "ENABLED");
  EXPECT_EQ(cal_.ToggleEnabled("36", "ENABLED"), "ENABLED");
  EXPECT_EQ(enabled[36], -1);
  EXPECT_EQ(cal_.ToggleEnabled("36", "ENABLED"), "DISABLED");
  EXPECT_EQ(enabled[36], 0);
  EXPECT_EQ(cal_.ToggleEnabled("36", "DISABLED"), "ENABLED");
  EXPECT_EQ(enabled[36], -1);
  EXPECT_EQ(dialogs_.log()[0], "Do you like to Disable Channel 36?");
  EXPECT_EQ(dialogs_.log()[3], "Do you like to Enable Channel 36?");
}

TEST_F(TechCalLive, ZoomStaysWithinItsRange) {
  for (int i = 0; i < 12; ++i) cal_.ZoomIn();
  EXPECT_EQ(cal_.zoom(), 10);
  for (int i = 0; i < 12; ++i) cal_.ZoomOut();
  EXPECT_EQ(cal_.zoom(), 0);
}

// ---- Writes on a scripted port ----

class TechCalWrites : public ManualClockTest {
 protected:
  ScriptedIo io_;
  RecordingView view_;
  service::TechCal cal_{io_, view_};
};

TEST_F(TechCalWrites, SetWritesEveryRegisterOnceAndFixesItsBoxes) {
  io_.reply = [](int reg, int, int) { return reg; };
  struct Case {
    const char* gain;
    const char* power;
    const char* gain_box;
    const char* power_box;
    int value;
  };
  const Case cases[] = {
      {"9", "-1", "0", "0", 0},  {"8", "8", "0", "8", 8},  // gain has three bits
      {"7.9", "3", "7.9", "3", 227},
  };
  for (const auto& c : cases) {
    io_.wire.clear();
    view_.fan_lines = 0;
    const auto boxes = cal_.cmd_setcalibra_Click(c.gain, c.power);
    EXPECT_EQ(boxes.first, c.gain_box);
    EXPECT_EQ(boxes.second, c.power_box);
    std::string expected;
    for (int reg = 0; reg < 192; ++reg) expected += Repeat(WriteFrame(reg, c.value), 9);
    EXPECT_EQ(io_.wire, expected) << c.gain;
    EXPECT_EQ(view_.fan_lines, 192);
  }
}

TEST_F(TechCalWrites, ANinthEchoAfterEightSilencesIsAWrite) {
  int sends = 0;
  io_.reply = [&sends](int reg, int, int) { return ++sends % 9 == 0 ? reg : -1; };
  service::CompactInstrument instrument(io_);
  EXPECT_EQ(instrument.WriteChannelSetting(191, 5, 7), 1);
  EXPECT_EQ(io_.wire, Repeat(WriteFrame(191, 7 * 32 + 5), 9));
  EXPECT_EQ(clock_.MonotonicMs(), 0);
}

TEST_F(TechCalWrites, SetStopsAtTheFirstFailedWrite) {
  dialogs_.ExpectOk().ExpectOk();
  cal_.cmd_setcalibra_Click("6", "6");
  EXPECT_EQ(dialogs_.log(), (std::vector<std::string>{
                                "Ops...Data Writing ERROR: reg(0)... Check COM and Try again",
                                service::kSetFailedMessage}));
  // Three passes of nine, each retry after its resynchronising read.
  const std::string write = Repeat(WriteFrame(0, 6 * 32 + 6), 9);
  const std::string resync = Frame(0x21, 0, 0);
  EXPECT_EQ(io_.wire, write + resync + write + resync + write);
  EXPECT_EQ(clock_.MonotonicMs(), 2 * (100 + 100 + 9 * 50));
  EXPECT_EQ(view_.fan_lines, 0);
}

TEST_F(TechCalWrites, SetAllNeedsTheLiveViewAndStopsWhenNothingAnswers) {
  cal_.Cmd_setall_Click("3", "2");
  EXPECT_TRUE(io_.wire.empty());
  storage::Shared().Offline_Mode = true;  // the live view runs, its reads stay off the port
  ASSERT_TRUE(cal_.Cmd_online_Click(240, 160));
  io_.reply = [](int reg, int, int) { return reg; };
  cal_.Cmd_setall_Click("3", "2");
  EXPECT_EQ(io_.wire.size(), 192u * 9 * 5);
  EXPECT_EQ(view_.outs.size(), 192u * 9);
  EXPECT_EQ(view_.outs.back(), 191);
  io_.wire.clear();
  io_.reply = [](int reg, int, int) { return reg < 4 ? reg : -1; };
  dialogs_.ExpectOk();
  cal_.Cmd_setall_Click("3", "2");
  EXPECT_EQ(io_.wire.size(), 5u * 9 * 5);
  EXPECT_EQ(dialogs_.log().back(), "Ops...Data Writing ERROR: reg(4)... Check COM and Try again");
}

TEST_F(TechCalWrites, AutoAdjustTargetsAndItsEnd) {
  struct Case {
    const char* text;
    const char* shown;
    int sent;
    std::string input;
    std::vector<int> progress;
    std::string unread;
  };
  const Case cases[] = {
      {"250", "110", 110, "\x10\x20\xC0\x05", {16, 32, 192}, "\x05"},  // ends at the first >= 191
      {"20", "110", 110, "", {}, ""},                                     // ten empty reads end it
      {"abc", "110", 110, "\xBF", {191}, ""},
      {"30", "30", 30, "\xBF", {191}, ""},
      {"220", "220", 220, "\xBF", {191}, ""},
  };
  for (const auto& c : cases) {
    io_.wire.clear();
    io_.input = c.input;
    view_.progress.clear();
    const int64_t t0 = clock_.MonotonicMs();
    EXPECT_EQ(cal_.cmd_autocalibra_Click(c.text), c.shown);
    EXPECT_EQ(io_.wire, Frame(0x40, c.sent, 0)) << c.text;
    EXPECT_EQ(view_.progress, c.progress) << c.text;
    EXPECT_EQ(clock_.MonotonicMs() - t0, c.input.empty() ? 10 : 0) << c.text;
    EXPECT_EQ(io_.input, c.unread) << c.text;
  }
}

}  // namespace
}  // namespace servicetest
