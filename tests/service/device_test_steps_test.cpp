// The device test's limits, a column's and a row's verdicts, and the step table (the
// whole test against the simulator is in device_test_test.cpp).
#include "service/device_test_steps.h"

#include <gtest/gtest.h>

namespace {

using service::TestLevels;

// Every channel on (or off), then the listed exceptions.
TestLevels Levels(int all, std::initializer_list<std::pair<int, int>> except = {}) {
  TestLevels l{};
  l.fill(static_cast<int16_t>(all));
  for (auto [ch, level] : except) l[static_cast<size_t>(ch)] = static_cast<int16_t>(level);
  return l;
}

TEST(DeviceTestLimits, OnOffPercentAndGrey) {
  struct Case {
    int level;
    bool on, off;
    int percent, grey;
  };
  const Case cases[] = {
      {0, false, true, 0, 0},        {12, false, true, 0, 2},  // 1.5 rounds to 2
      {20, false, true, 0, 2},                                 // 2.5 rounds to 2
      {1024, false, true, 50, 128},  {1025, false, false, 50, 128},
      {1638, false, false, 79, 205},                                // 204.75
      {1639, true, false, 80, 205},  {2036, true, false, 99, 254},  // 254.5 to even
      {2044, true, false, 99, 255},                                 // 255.5 would be 256: clipped
      {4095, true, false, 199, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.level);
    EXPECT_EQ(service::IsOnLevel(c.level), c.on);
    EXPECT_EQ(service::IsOffLevel(c.level), c.off);
    EXPECT_EQ(service::TestPercent(c.level), c.percent);
    EXPECT_EQ(service::TestGrey(c.level), c.grey);
  }
}

TEST(DeviceTestVerdicts, ColumnsAndRows) {
  // Column 3 lit (channels 32..47) but channel 37 weak.
  TestLevels col = Levels(0);
  for (int ch = 32; ch < 48; ++ch) col[ch] = 4095;
  col[37] = 1250;
  struct Case {
    TestLevels levels;
    bool column;
    int index;
    std::string label, line;
  };
  TestLevels row_b = Levels(0);
  for (int c = 0; c < 24; ++c) row_b[16 * c + 1] = 2000;
  TestLevels row_b_bad = row_b;
  row_b_bad[2] = 2000;  // row C lit too
  row_b_bad[17] = 100;  // one well of row B dark
  const Case cases[] = {
      {col, true, 2, "Col[3]: CHECK!",
       "Col[3]: NONPASS 15CH > 80% (NONOK:CH37[61%], ); 368CH < 20% (NONOK:)"},
      {col, true, 0, "Col[1]: CHECK!",
       "Col[1]: NONPASS 0CH > 80% (NONOK:CH0[0%], CH1[0%], CH2[0%], CH3[0%], CH4[0%], CH5[0%], "
       "CH6[0%], CH7[0%], CH8[0%], CH9[0%], CH10[0%], CH11[0%], CH12[0%], CH13[0%], CH14[0%], "
       "CH15[0%], ); 352CH < 20% (NONOK:CH32[199%], CH33[199%], CH34[199%], CH35[199%], "
       "CH36[199%], CH37[61%], CH38[199%], CH39[199%], CH40[199%], CH41[199%], CH42[199%], "
       "CH43[199%], "
       "CH44[199%], CH45[199%], CH46[199%], CH47[199%], )"},
      {row_b, false, 1, "Row[B]: PASS!", "Row[B]: PASS!"},
      {row_b_bad, false, 1, "Row[B]: CHECK!",
       "Row[B]: NONPASS 23CH > 80% (NONOK:CH17[4%], ); 359CH < 20% (NONOK:CH2[97%], )"},
  };
  for (const auto& c : cases) {
    const auto j = c.column ? service::JudgeTestColumn(c.levels, c.index)
                            : service::JudgeTestRow(c.levels, c.index);
    EXPECT_EQ(j.label, c.label);
    EXPECT_EQ(j.line, c.line);
  }
}

TEST(DeviceTestSteps, LabelsJudgementsWritesAndPauses) {
  using service::TestJudge;
  struct Case {
    int step;
    std::string label;
    TestJudge judge;
    int judged;
    size_t writes;
    int first_channel;
    service::TestSetting first;
    int pause_ms;
  };
  const service::TestSetting on = service::kBeamOn, off = service::kBeamOff,
                             gp2 = service::kGainPower2;
  const Case cases[] = {
      {0, "", TestJudge::kNone, 0, 0, -1, {}, 0},
      {1, "", TestJudge::kNone, 0, 4, 0, on, 0},
      {2, "", TestJudge::kNone, 0, 4, 0, off, 0},
      {4, "[ON ALL]", TestJudge::kNone, 0, 24, 0, on, 100},
      {19, "[ON ALL]", TestJudge::kNone, 0, 24, 15, on, 100},
      {20, "", TestJudge::kAllOn, 0, 0, -1, {}, 500},
      {21, "[OFF ALL]", TestJudge::kNone, 0, 24, 0, off, 100},
      {37, "", TestJudge::kAllOff, 0, 0, -1, {}, 500},
      {38, "[1 COLUMN]", TestJudge::kNone, 0, 16, 0, on, 100},
      {39, "[1 COLUMN]", TestJudge::kColumn, 0, 32, 0, off, 100},
      {61, "[1 COLUMN]", TestJudge::kColumn, 22, 32, 352, off, 100},
      {62, "", TestJudge::kColumn, 23, 16, 368, off, 500},
      {63, "[1 ROW]", TestJudge::kNone, 0, 24, 0, on, 100},
      {64, "[1 ROW]", TestJudge::kRow, 0, 48, 0, off, 100},
      {79, "", TestJudge::kRow, 15, 24, 15, off, 0},
      {80, "[GAIN/POWER=2]", TestJudge::kNone, 0, 24, 0, gp2, 0},
      {95, "[GAIN/POWER=2]", TestJudge::kNone, 0, 24, 15, gp2, 0},
      {96, "", TestJudge::kNone, 0, 0, -1, {}, 0},
      {110, "", TestJudge::kNone, 0, 0, -1, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    const auto t = service::DeviceTestStep(c.step);
    EXPECT_EQ(t.label, c.label);
    EXPECT_EQ(t.judge, c.judge);
    EXPECT_EQ(t.judged, c.judged);
    ASSERT_EQ(t.writes.size(), c.writes);
    if (c.writes > 0) {
      EXPECT_EQ(t.writes.front().channel, c.first_channel);
      EXPECT_EQ(t.writes.front().setting, c.first);
    }
    EXPECT_EQ(t.pause_ms, c.pause_ms);
  }
  // Step 39 switches column 1 off, then column 2 on; step 64 row A off, then row B on.
  EXPECT_EQ(service::DeviceTestStep(39).writes[16], (service::ChannelSwitch{16, on}));
  EXPECT_EQ(service::DeviceTestStep(64).writes[23], (service::ChannelSwitch{368, off}));
  EXPECT_EQ(service::DeviceTestStep(64).writes[24], (service::ChannelSwitch{1, on}));
}

}  // namespace
