// The stepping calibration and the scan test driven step by step against the
// simulated compact instrument, whose registers are given level tables.
#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "tech_cal_fixture.h"

namespace servicetest {
namespace {

// Band for the target 90: 1741..1946.
sim::CompactLevelTable Table(std::initializer_list<std::pair<std::pair<int, int>, int>> levels,
                             int others) {
  sim::CompactLevelTable t = Flat(others);
  for (const auto& [setting, level] : levels) t[static_cast<size_t>(At(setting.first, setting.second))] = level;
  return t;
}

class SteppingCalibration : public TechCalSim {
 protected:
  void SetUp() override {
    TechCalSim::SetUp();
    Sim().SetReplyMode(sim::ReplyMode::kBlock);
    AllRegisters(1800);
  }
};

TEST_F(SteppingCalibration, EachRegisterStepsIntoTheBand) {
  struct Case {
    const char* what;
    sim::CompactLevelTable levels;
    std::vector<int> written;  // gain x 32 + power, in order
  };
  const Case cases[] = {
      {"1745 is in the band", Table({{{3, 7}, 1745}}, 0), {227}},
      {"1740 is raised", Table({{{3, 7}, 1740}, {{4, 7}, 1800}}, 0), {227, 228}},
      {"dark to the end", Flat(100), {227, 228, 229, 230, 231}},
      {"bright: gain 0, power 2, gain 0, then gain down from 7",
       Table({{{3, 7}, 3000}, {{3, 0}, 2500}, {{2, 7}, 2400}, {{2, 0}, 2000}, {{2, 6}, 2300},
              {{2, 5}, 2100}, {{2, 4}, 1900}},
             0),
       {227, 3, 226, 2, 226, 194, 162, 130}},
      {"second chance kept",
       Table({{{3, 7}, 3000}, {{3, 0}, 1000}, {{2, 7}, 1500}}, 2000),
       {227, 3, 227, 195, 163, 131, 99, 67, 35, 3, 226}},
      {"second chance undone",
       Table({{{3, 7}, 3000}, {{3, 0}, 1000}, {{2, 7}, 900}}, 2000),
       {227, 3, 227, 195, 163, 131, 99, 67, 35, 3, 226, 3}},
      {"second chance as dark as before is kept",
       Table({{{3, 7}, 3000}, {{3, 0}, 1000}, {{2, 7}, 1000}}, 2000),
       {227, 3, 227, 195, 163, 131, 99, 67, 35, 3, 226}},
  };
  const int n = static_cast<int>(std::size(cases));
  Model([&](sim::InstrumentModel& m) {
    for (int r = 0; r < n; ++r) m.compact().SetLevels(r, cases[r].levels);
  });
  cal_.Cmdcalibrar_Click("90", "Max.Gain");
  EXPECT_EQ(cal_.progress_text(), "starting");
  EXPECT_FALSE(cal_.online_enabled());
  // The initial pass, then one register a step.
  for (int i = 0; i < 192 + n; ++i) ASSERT_EQ(cal_.Step(), 0) << i;
  EXPECT_EQ(cal_.progress_text(), "Calibrating CH" + std::to_string(2 * (n - 1)));
  const std::string wire = Sim().Received();
  for (int r = 0; r < n; ++r) EXPECT_EQ(SettingsWritten(wire, r), cases[r].written) << cases[r].what;
  EXPECT_EQ(SettingsWritten(wire, 191), (std::vector<int>{227}));
  // No address past the compact model, no second bank.
  for (size_t p = wire.find("\xFF\x81"); p != std::string::npos; p = wire.find("\xFF\x81", p + 1))
    ADD_FAILURE() << "mode 0x81 at " << p;
  // Every write is measured: the four blocks in turn (register 5 lies in block 0).
  const std::string measure = LevelFrame(0) + LevelFrame(32) + LevelFrame(64) + LevelFrame(96);
  EXPECT_NE(wire.find(Repeat(WriteFrame(5, 3), 9) + measure), std::string::npos);

  cal_.Cmd_offline_Click();  // stops before the next register
  EXPECT_EQ(cal_.Step(), -1);
  EXPECT_TRUE(cal_.online_enabled());
  EXPECT_EQ(SettingsWritten(Sim().Received(), n), (std::vector<int>{227}));
}

TEST_F(SteppingCalibration, OnlyMaxGainRuns) {
  for (const char* mode : {"Max.Power", "0_Max.Gain"}) {
    cal_.Cmdcalibrar_Click("90", mode);
    EXPECT_FALSE(cal_.Stepping()) << mode;
    EXPECT_FALSE(cal_.progress_visible());
    EXPECT_FALSE(cal_.online_enabled());
  }
  EXPECT_TRUE(Sim().Received().empty());
}

TEST_F(SteppingCalibration, AFailedBlockReadStopsWithTheLabelShown) {
  Sim().SetIntercept([](const std::array<uint8_t, 5>& f, std::string& out) {
    out.clear();
    return f[2] == 0x30 && f[3] == 32;  // block 32 never comes
  });
  dialogs_.ExpectOk();
  cal_.Cmdcalibrar_Click("90", "Max.Gain");
  int steps = Steps();
  EXPECT_EQ(steps, 192);
  EXPECT_EQ(dialogs_.log(), (std::vector<std::string>{"Ops...Data Sending ERROR reg(32)... Try again"}));
  EXPECT_EQ(Count(LevelFrame(32)), 3);
  EXPECT_EQ(Count(LevelFrame(64)), 0);
  EXPECT_TRUE(cal_.progress_visible());
  EXPECT_FALSE(cal_.online_enabled());
  cal_.Cmd_offline_Click();
  EXPECT_TRUE(cal_.online_enabled());
}

TEST_F(SteppingCalibration, AFailedWriteEndsItAfterItsOneMessage) {
  Model([](sim::InstrumentModel& m) { m.compact().SetLevels(0, Flat(100)); });
  cal_.Cmdcalibrar_Click("90", "Max.Gain");
  for (int i = 0; i < 192; ++i) ASSERT_EQ(cal_.Step(), 0);
  Model([](sim::InstrumentModel& m) { m.SetWriteEchoFailures(27); });  // one whole write
  dialogs_.ExpectOk();
  EXPECT_EQ(cal_.Step(), -1);
  EXPECT_EQ(dialogs_.log(), (std::vector<std::string>{
                                "Ops...Data Writing ERROR: reg(0)... Check COM and Try again"}));
  EXPECT_TRUE(cal_.progress_visible());
  EXPECT_FALSE(cal_.online_enabled());
}

// ---- Scan test ----

class ScanTest : public TechCalSim {
 protected:
  void SetUp() override {
    TechCalSim::SetUp();
    Sim().SetReplyMode(sim::ReplyMode::kGroup);
    AllRegisters(1000);
  }
  // Ten steps make one combination: set-all, pause, two samples dropped, six kept.
  void Combination() {
    for (int i = 0; i < 10; ++i) ASSERT_GE(cal_.Step(), 0) << i;
  }
  std::string File(int i) { return testsupport::ReadBytes(folder_ / service::kScanFiles[i]); }
  static int Lines(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
  }
};

TEST_F(ScanTest, AConstantLevelGivesItsExactLines) {
  testsupport::WriteBytes(folder_ / "test_mean.txt", "old");
  cal_.cmdTEST_Click();
  EXPECT_FALSE(testsupport::ReadBytes(folder_ / "test_mean.txt").size());
  EXPECT_FALSE(cal_.test_enabled());
  EXPECT_FALSE(cal_.online_enabled());
  Combination();
  std::string levels, zeros;
  for (int ch = 0; ch < 384; ++ch) {
    levels += ch % 2 ? " 0" : " 1000";  // odd window channels have no beam
    zeros += " 0";
  }
  std::string raw = "p=0,g=0\r\n";
  for (int r = 0; r < 6; ++r) raw += "[" + std::to_string(r) + "]" + levels + "\r\n";
  EXPECT_EQ(File(0), raw);
  EXPECT_EQ(File(1), "[p0,g0]" + levels + "\r\n");
  EXPECT_EQ(File(2), "[p0,g0]" + zeros + "\r\n");
  EXPECT_EQ(cal_.test_text(), "Gain=0;Pinhole=0");

  // The frames of a combination: set-all, then eight samples of eight groups.
  std::string groups;
  for (int g = 0; g <= 56; g += 8) groups += LevelFrame(g);
  EXPECT_EQ(Sim().Received(), Frame(0x11, 0, 0) + Repeat(groups, 8));

  // A stop during the next combination's readings leaves no line of it.
  for (int i = 0; i < 8; ++i) ASSERT_GE(cal_.Step(), 0);
  EXPECT_EQ(cal_.progress_text(), "Reading...");
  EXPECT_EQ(cal_.test_text(), "Gain=1;Pinhole=0");
  cal_.Cmd_offline_Click();
  EXPECT_EQ(cal_.Step(), -1);
  EXPECT_EQ(File(0), raw);
  EXPECT_EQ(Lines(File(1)), 1);
  EXPECT_TRUE(cal_.test_enabled());
  EXPECT_TRUE(cal_.online_enabled());
  EXPECT_NE(Sim().Received().find(Frame(0x11, 32, 0)), std::string::npos);
}

TEST_F(ScanTest, ACompleteTestWritesEveryCombination) {
  Model([](sim::InstrumentModel& m) {
    sim::CompactLevelTable t{};
    for (int p = 0; p < 8; ++p)
      for (int g = 0; g < 8; ++g) t[static_cast<size_t>(At(p, g))] = 100 * p + g;
    for (int r = 0; r < 192; ++r) m.compact().SetLevels(r, t);
  });
  cal_.cmdTEST_Click();
  EXPECT_EQ(Steps(), 639);
  EXPECT_FALSE(cal_.Stepping());
  EXPECT_FALSE(cal_.scan_running());
  EXPECT_FALSE(cal_.progress_visible());
  EXPECT_EQ(Lines(File(0)), 64 * 7);
  EXPECT_EQ(Lines(File(1)), 64);
  EXPECT_EQ(Lines(File(2)), 64);
  // Power outer, gain inner, each mean the level of its setting.
  const std::string mean = File(1);
  EXPECT_EQ(mean.substr(0, 14), "[p0,g0] 0 0 0 ");
  EXPECT_NE(mean.find("\r\n[p7,g6] 706 0 706 "), std::string::npos);
  EXPECT_EQ(mean.rfind("[p7,g7] 707 0 "), mean.rfind("\r\n[p") + 2);
}

}  // namespace
}  // namespace servicetest
