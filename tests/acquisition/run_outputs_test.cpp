// The temperature and light sends of a run, as bytes handed to the port, and the
// bin end's stages failing one at a time.
#include <gtest/gtest.h>

#include <memory>

#include "fake_instrument.h"
#include "run_fixture.h"

namespace acqtest {
namespace {

class RunOutputsTest : public RunFixture<FakeInstrument> {
 protected:
  // Ticks up to and including the next bin end.
  void ToBinEnd() {
    const int plots = view_.activity_plots;
    for (int i = 0; i < 600 && view_.activity_plots == plots; ++i) Ticks(1);
  }
};

TEST_F(RunOutputsTest, BinEndRegulatesAndAppliesTheLightHours) {
  auto& sh = storage::Shared();
  engine_.controls.Temp_Enabled = true;
  engine_.controls.txttemp = "25";
  engine_.controls.Light_Enabled = true;
  engine_.controls.txt_lon = "10";  // the clock reads 10:05
  engine_.controls.txt_loff = "21";
  Start();
  // At the start the light follows the hours: on (10 <= 10 < 21).
  ASSERT_EQ(io_.TempLightCodes(), (std::vector<int>{4}));
  ToBinEnd();
  // 21.9 C against 25: heat with the output on, light on -> 7.
  EXPECT_EQ(io_.TempLightCodes().back(), 7);
  EXPECT_EQ(view_.panel, "ON/HEAT/ON");
  io_.temperature_raw = 200;  // 43.8 C: outside the window, everything off but the light
  ToBinEnd();
  EXPECT_EQ(io_.TempLightCodes().back(), 4);
  engine_.controls.txt_lon = "x";  // a box being edited: that stage alone fails
  ToBinEnd();
  EXPECT_TRUE(view_.Logged("status:<LIGHT ERROR>"));
  EXPECT_EQ(storage::RecordCount(RunFolder() / "counts.bin", 774), 3u);
  EXPECT_EQ(sh.Temp_Text, "43.8");
}

TEST_F(RunOutputsTest, ButtonsWaitForTheTickWhileRunningAndSendAtOnceOtherwise) {
  engine_.cmd_luz_Click();  // stopped: sent at once
  EXPECT_EQ(io_.TempLightCodes(), (std::vector<int>{4}));
  engine_.cmd_luz_Click();
  Start();
  Ticks(3);
  io_.frames.clear();
  engine_.cmd_ontemp_Click();
  engine_.cmd_frio_Click();  // direction heat, output off again
  EXPECT_TRUE(io_.TempLightCodes().empty());
  Ticks(21);  // Ring_Index 24
  EXPECT_TRUE(io_.TempLightCodes().empty());
  Ticks(1);  // Ring_Index 25: the pending state goes out once
  EXPECT_EQ(io_.TempLightCodes(), (std::vector<int>{2}));
  EXPECT_FALSE(engine_.flags.State_Send_Pending);
  dialogs_.AnswerNo();
  engine_.Pause();
  io_.frames.clear();
  engine_.cmd_luz_Click();  // paused: at once
  EXPECT_EQ(io_.TempLightCodes(), (std::vector<int>{6}));
}

TEST_F(RunOutputsTest, LightPulsesFromTheRunStart) {
  auto& sh = storage::Shared();
  engine_.controls.Light_Enabled = true;
  engine_.controls.txt_lon = "3";
  engine_.controls.txt_loff = "4";
  sh.MnAt(2, 3) = 3;   // three pulses
  sh.MnAt(2, 4) = 10;  // 1.0 min on
  sh.MnAt(2, 5) = 20;  // 2.0 min off
  sh.Aq_lapse = 20;
  Start();
  auto light_at = [&](double minute) {
    while (engine_.state.Elapsed_Minutes_Exact < minute) Ticks(25);
    return engine_.flags.Light_On;
  };
  EXPECT_TRUE(light_at(0.5));
  EXPECT_FALSE(light_at(1.5));
  EXPECT_TRUE(light_at(6.5));
  EXPECT_FALSE(light_at(10.0));
}

TEST_F(RunOutputsTest, LostBinsAreCountedAtTheEndAndLeaveTheOthersInPlace) {
  storage::Shared().Aq_lapse = 1;  // four bins
  struct Case {
    const char* what;
    int full_from_bin, full_to_bin;  // a file size limit during these bins
    bool vanish;
    int lost;
  } cases[] = {
      {"the disk full for the third bin: its raw block fits only partly", 3, 3, false, 1},
      {"the disk full from the start", 1, 4, false, 4},
      {"the run folder gone", 0, 0, true, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clock_.Advance(60000);  // a new minute, a new run folder
    engine_.controls.Auto_Run = true;
    dialogs_.ExpectOk();
    std::unique_ptr<FileSizeLimit> full;
    if (c.full_from_bin == 1) full = std::make_unique<FileSizeLimit>(0);
    Start();
    const auto run = RunFolder();
    if (c.vanish) std::filesystem::remove_all(run);
    for (int bin = 1; bin <= 4; ++bin) {
      if (bin == c.full_from_bin && bin > 1)
        full = std::make_unique<FileSizeLimit>(2 * 385770 + 1000);
      ToBinEnd();
      if (bin == c.full_to_bin) full.reset();
    }
    EXPECT_TRUE(view_.Logged("status:<DISK ERROR>"));
    EXPECT_EQ(storage::Shared().Acq_State, 0) << "the end of run still came";
    EXPECT_EQ(engine_.LostBins(), c.lost);
    EXPECT_EQ(dialogs_.log().back(), "Acquisition finished\r\n" + std::to_string(c.lost) +
                                         " of 4 bins could not be recorded: check the disk");
  }
  // The bin that lost its raw block kept its counts, and the next block its place.
  const auto run = project_ / "20260314_1006";
  EXPECT_EQ(storage::RecordCount(run / "counts.bin", 774), 4u);
  storage::RawBlockRecord block;
  ASSERT_TRUE(storage::ReadRunRawBlock(run, 3, 500, block));
  EXPECT_NE(block.At(0, 0), 0);
  ASSERT_TRUE(storage::ReadRunRawBlock(run, 2, 500, block));
  EXPECT_EQ(block.At(0, 0), 0) << "the lost block reads as empty";
}

}  // namespace
}  // namespace acqtest
