// The run parameter boxes: each box's boundary values in and out, the exact refusal
// messages, the defaults, bad input of every kind, and the beam box.
#include "acquisition/validators.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"

namespace {

using acquisition::RunParamBox;
using B = RunParamBox;

class ValidatorsTest : public ::testing::Test {
 protected:
  void SetUp() override { storage::ResetSharedState(); }
  testsupport::ScriptedDialogs dialogs_;
};

struct Case {
  B box;
  const char* text;
  bool accepted;
  const char* shown;
  int stored;
};

TEST_F(ValidatorsTest, BoundariesInAndOutWithMessagesAndDefaults) {
  const Case cases[] = {
      // Hours: whole numbers shown "00", halves to even.
      {B::txt_loff, "7", true, "07", 7},
      {B::txt_loff, "0", true, "00", 0},
      {B::txt_loff, "23", true, "23", 23},
      {B::txt_loff, " 7 ", true, "07", 7},
      {B::txt_loff, "22.5", true, "22", 22},
      {B::txt_loff, "21.5", true, "22", 22},
      {B::txt_loff, "24", false, "21", 21},
      {B::txt_loff, "23.5", false, "21", 21},
      {B::txt_loff, "-1", false, "21", 21},
      {B::txt_loff, "x", false, "21", 21},
      {B::txt_lon, "-0.4", false, "9", 9},
      {B::txt_lon, "", false, "9", 9},
      {B::txt_lon, "1e1", true, "10", 10},
      // Pulses.
      {B::txt_pulsetimes, "99", true, "99", 99},
      {B::txt_pulsetimes, "3", true, "3", 3},
      {B::txt_pulsetimes, "100", false, "0", 0},
      // Pulse minutes: one decimal, what is shown is what is stored.
      {B::txt_pulseon, "2.25", true, "2.3", 23},
      {B::txt_pulseon, "2.24", true, "2.2", 22},
      {B::txt_pulseon, "0", true, "0.0", 0},
      {B::txt_pulseon, "1440", true, "1440.0", 14400},
      {B::txt_pulseon, "1440.04", false, "0", 0},
      {B::txt_pulseon, "-5", false, "0", 0},
      {B::txt_pulseoff, "0.05", true, "0.1", 1},
      {B::txt_pulseoff, "1440.1", false, "0", 0},
      // SNR: 1.0 excluded, 5.0 included; a value shown as 1.0 is not kept.
      {B::txt_snr_umbral, "1.0", false, "1.8", 18},
      {B::txt_snr_umbral, "1.04", false, "1.8", 18},
      {B::txt_snr_umbral, "1.05", true, "1.1", 11},
      {B::txt_snr_umbral, "5.0", true, "5.0", 50},
      {B::txt_snr_umbral, "5.01", false, "1.8", 18},
      // Temperature.
      {B::txttemp, "4.9", false, "20", 200},
      {B::txttemp, "5", true, "5.0", 50},
      {B::txttemp, "50", true, "50.0", 500},
      {B::txttemp, "50.04", false, "20", 200},
      {B::txttemp, "37.45", true, "37.5", 375},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(acquisition::RuleOf(c.box).message) + " <- \"" + c.text + "\"");
    const auto& rule = acquisition::RuleOf(c.box);
    auto& mn = storage::Shared().MnAt(rule.mn_row, rule.mn_col);
    mn = -99;
    if (!c.accepted) dialogs_.ExpectOk();
    const auto r = acquisition::ValidateRunParam(c.box, c.text);
    EXPECT_EQ(r.accepted, c.accepted);
    EXPECT_EQ(r.text, c.shown);
    EXPECT_EQ(r.stored, c.stored);
    EXPECT_EQ(mn, c.stored);
    if (!c.accepted) {
      ASSERT_FALSE(dialogs_.log().empty());
      EXPECT_EQ(dialogs_.log().back(), rule.message);
    }
  }
  EXPECT_TRUE(dialogs_.Exhausted());
}

TEST_F(ValidatorsTest, EachBoxHasItsEntryMessageAndDefault) {
  struct Want {
    B box;
    int row, col;
    const char* message;
    const char* text;
    int value;
  };
  const Want wants[] = {
      {B::txt_lon, 2, 1, "Invalid value: 0 to 23", "9", 9},
      {B::txt_loff, 2, 2, "Invalid value: 0 to 23", "21", 21},
      {B::txt_pulsetimes, 2, 3, "Invalid value: 0-99", "0", 0},
      {B::txt_pulseon, 2, 4, "Invalid value: 0.0 to 1440.0", "0", 0},
      {B::txt_pulseoff, 2, 5, "Invalid value: 0.0 to 1440.0", "0", 0},
      {B::txt_snr_umbral, 1, 3, "Invalid value: 1.1 to 5.0", "1.8", 18},
      {B::txttemp, 3, 1, "Invalid value: 5.0 to 50.0", "20", 200},
  };
  // Bad input of every kind gets the box's message and default, never a crash.
  const char* bad[] = {"",     "abc",   "1,5",   ",",     ".",
                       "-",    "1.2.3", "e5",    "1e",    "0x10",
                       "inf",  "nan",   "1e308", "1e999", "99999999999999999999999",
                       "12abc"};
  for (const Want& w : wants) {
    for (const char* text : bad) {
      SCOPED_TRACE(std::string(w.message) + " <- \"" + text + "\"");
      dialogs_.ExpectOk();
      const auto r = acquisition::ValidateRunParam(w.box, text);
      EXPECT_FALSE(r.accepted);
      EXPECT_EQ(r.text, w.text);
      EXPECT_EQ(storage::Shared().MnAt(w.row, w.col), w.value);
      EXPECT_EQ(dialogs_.log().back(), w.message);
    }
  }
}

TEST_F(ValidatorsTest, PulsesDisableTheHourBoxes) {
  acquisition::ValidateRunParam(B::txt_pulsetimes, "3");
  EXPECT_FALSE(acquisition::LightHourBoxesEnabled());
  acquisition::ValidateRunParam(B::txt_pulsetimes, "0");
  EXPECT_TRUE(acquisition::LightHourBoxesEnabled());
  acquisition::ValidateRunParam(B::txt_pulsetimes, "2");
  dialogs_.ExpectOk();
  acquisition::ValidateRunParam(B::txt_pulsetimes, "-3");
  EXPECT_TRUE(acquisition::LightHourBoxesEnabled());
}

TEST(ParseNumber, PlainDecimalsOnly) {
  EXPECT_EQ(acquisition::ParseNumber(" 7 "), 7.0);
  EXPECT_EQ(acquisition::ParseNumber("+3"), 3.0);
  EXPECT_EQ(acquisition::ParseNumber(".5"), 0.5);
  EXPECT_EQ(acquisition::ParseNumber("5."), 5.0);
  EXPECT_EQ(acquisition::ParseNumber("-2.5E1"), -25.0);
  for (const char* t : {"1,5", "1 5", "--1", "+", "1e+", "$5", "&H10"})
    EXPECT_FALSE(acquisition::ParseNumber(t).has_value()) << t;
}

TEST_F(ValidatorsTest, BeamBoxSelectsTheChannelOfTheWellAndBeam) {
  auto& sh = storage::Shared();
  sh.Plate_Rows = 8;
  sh.Max_Beam = 1;
  sh.ResizeWellGrid(95, 1);
  sh.SetWellGrid(9, 1, 37);  // column 2, row B, beam 1
  sh.Selected_Channel = 4;

  auto r = acquisition::SelectBeam("5", "2", "B");
  EXPECT_EQ(r.txtsub, "1");
  ASSERT_TRUE(r.channel.has_value());
  EXPECT_EQ(*r.channel, 37);
  EXPECT_EQ(sh.Selected_Channel, 37);

  sh.Selected_Channel = 4;
  r = acquisition::SelectBeam("1", "2", "");  // no row chosen
  EXPECT_FALSE(r.channel.has_value());
  EXPECT_FALSE(acquisition::SelectBeam("-1", "2", "B").channel.has_value());
  EXPECT_FALSE(acquisition::SelectBeam("0", "99", "B").channel.has_value());
  EXPECT_FALSE(acquisition::SelectBeam("0", "1", "@").channel.has_value());
  EXPECT_EQ(sh.Selected_Channel, 4);
  EXPECT_TRUE(dialogs_.log().empty());
}

}  // namespace
