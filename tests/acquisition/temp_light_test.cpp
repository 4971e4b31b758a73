#include "acquisition/temp_light.h"

#include <gtest/gtest.h>

#include "acquisition/snr.h"

namespace acquisition {
namespace {

TEST(TempLight, RegulationAroundTheSetPoint) {
  struct Case {
    double t;
    bool heat_before, heat, power;
  } cases[] = {
      {24.5, false, true, false},                                // heat, output off
      {24.3, false, true, true},                                 // heat, output on
      {25.3, true, true, false},                                 // direction unchanged, output off
      {25.3, false, false, false}, {25.55, true, false, false},  // cool, off
      {25.7, true, false, true},                                 // cool, on
      {10.0, true, false, false},  // the window's edges count as outside
      {38.0, true, false, false},
  };
  for (const auto& c : cases) {
    TempLightFlags f;
    f.Heat_Mode = c.heat_before;
    f.Temp_Power = true;
    RegulateTemperature(c.t, 25.0, true, f);
    EXPECT_EQ(f.Heat_Mode, c.heat) << c.t;
    EXPECT_EQ(f.Temp_Power, c.power) << c.t;
  }
  TempLightFlags manual;
  manual.Heat_Mode = manual.Temp_Power = true;
  RegulateTemperature(20.0, 25.0, false, manual);  // regulation off: cool and off
  EXPECT_EQ(TempLightCode(manual), 0);
}

TEST(TempLight, LightHoursAndStartRule) {
  EXPECT_FALSE(LightForHour(21, 9, 21));
  EXPECT_TRUE(LightForHour(2, 20, 8));
  EXPECT_FALSE(LightForHour(12, 7, 7));
  TempLightFlags f;
  EXPECT_TRUE(ApplyLightHours(9, "9", "21", f));
  EXPECT_TRUE(f.Light_On);
  EXPECT_TRUE(ApplyLightHours(12, "9", "21", f));
  EXPECT_TRUE(f.Light_On) << "outside the two hours the light keeps its value";
  EXPECT_TRUE(ApplyLightHours(7, "07", "07", f));
  EXPECT_FALSE(f.Light_On) << "off wins";
  f.Light_On = true;
  EXPECT_FALSE(ApplyLightHours(9, "9a", "21", f));
  EXPECT_TRUE(f.Light_On);
}

TEST(TempLight, PulseTrain) {
  // 3 pulses of 1.0 min on, 2.0 min off; after the train the light keeps its state.
  const struct {
    double minute;
    bool before, after;
  } cases[] = {{0.0, false, true}, {0.99, false, true}, {1.0, true, false},
               {6.2, false, true}, {8.0, true, false},  {9.5, true, true}};
  for (const auto& c : cases) {
    TempLightFlags f;
    f.Light_On = c.before;
    ApplyLightPulses(c.minute, 3, 10, 20, f);
    EXPECT_EQ(f.Light_On, c.after) << c.minute;
  }
  TempLightFlags zero;
  ApplyLightPulses(1.0, 3, 0, 0, zero);  // no period: nothing changes
  EXPECT_FALSE(zero.Light_On);
}

TEST(Snr, OneParserEachCallerItsFloor) {
  EXPECT_DOUBLE_EQ(ParseSnrText("2,5"), 2.5);
  EXPECT_DOUBLE_EQ(ParseSnrText("1.4x"), 1.4);
  EXPECT_DOUBLE_EQ(RunStartSnr("1.2", 1), 1.8);
  EXPECT_DOUBLE_EQ(RunStartSnr("1.3", 0), 1.3);
  EXPECT_DOUBLE_EQ(RunStartSnr("0,7", 3), 0.7);  // Drosophila keeps its factor
  // The box's factor is raised at 1.4 too, below Drosophila.
  EXPECT_DOUBLE_EQ(CountingSnr(2, 1.4), 1.8);
  EXPECT_DOUBLE_EQ(CountingSnr(2, 1.5), 1.5);
  EXPECT_DOUBLE_EQ(CountingSnr(3, 1.4), 1.4);
}

}  // namespace
}  // namespace acquisition
