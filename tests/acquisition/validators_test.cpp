// The run parameter boxes: each box's boundary values in and out, the exact refusal
// messages, the defaults, bad input of every kind, and the beam box.
#include "acquisition/validators.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

// Each box: where it stores, its refusal message, and the default it puts back.
struct Box {
  B box;
  int row, col;
  const char* message;
  const char* text;
  int value;
} const kBoxes[] = {
    {B::txt_lon, 2, 1, "Invalid value: 0 to 23", "9", 9},
    {B::txt_loff, 2, 2, "Invalid value: 0 to 23", "21", 21},
    {B::txt_pulsetimes, 2, 3, "Invalid value: 0-99", "0", 0},
    {B::txt_pulseon, 2, 4, "Invalid value: 0.0 to 1440.0", "0", 0},
    {B::txt_pulseoff, 2, 5, "Invalid value: 0.0 to 1440.0", "0", 0},
    {B::txt_snr_umbral, 1, 3, "Invalid value: 1.1 to 5.0", "1.8", 18},
    {B::txttemp, 3, 1, "Invalid value: 5.0 to 50.0", "20", 200},
};

// Validates `text` in box `b`, expecting a refusal with the box's message and default.
void ExpectRefused(testsupport::ScriptedDialogs& dialogs, const Box& b, const char* text) {
  SCOPED_TRACE(std::string(b.message) + " <- \"" + text + "\"");
  dialogs.ExpectOk();
  storage::Shared().MnAt(b.row, b.col) = -99;
  const auto r = acquisition::ValidateRunParam(b.box, text);
  EXPECT_FALSE(r.accepted);
  EXPECT_EQ(r.text, b.text);
  EXPECT_EQ(storage::Shared().MnAt(b.row, b.col), b.value);
  EXPECT_EQ(dialogs.log().back(), b.message);
}

TEST_F(ValidatorsTest, BoundariesInAndOutWithMessagesAndDefaults) {
  // Accepted: what is shown is what is stored (hours "00", halves to even, one decimal).
  const struct {
    int box;  // index into kBoxes
    const char* text;
    const char* shown;
    int stored;
  } accepted[] = {
      {1, "0", "00", 0},     {1, " 7 ", "07", 7},          {1, "23", "23", 23},
      {1, "22.5", "22", 22}, {1, "21.5", "22", 22},        {0, "1e1", "10", 10},
      {2, "99", "99", 99},   {3, "2.25", "2.3", 23},       {3, "2.24", "2.2", 22},
      {3, "0", "0.0", 0},    {3, "1440", "1440.0", 14400}, {4, ".05", "0.1", 1},
      {4, "+5.", "5.0", 50}, {5, "1.05", "1.1", 11},       {5, "5.0", "5.0", 50},
      {6, "5", "5.0", 50},   {6, "50", "50.0", 500},       {6, "37.45", "37.5", 375},
  };
  for (const auto& c : accepted) {
    const Box& b = kBoxes[c.box];
    SCOPED_TRACE(std::string(b.message) + " <- \"" + c.text + "\"");
    const auto r = acquisition::ValidateRunParam(b.box, c.text);
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(r.text, c.shown);
    EXPECT_EQ(storage::Shared().MnAt(b.row, b.col), c.stored);
  }
  // Refused just outside each range; SNR 1.0 is excluded, and so is what shows as 1.0.
  const std::pair<int, const char*> refused[] = {
      {1, "24"},     {1, "23.5"}, {1, "-1"},   {0, "-0.4"}, {2, "100"}, {3, "1440.04"}, {3, "-5"},
      {4, "1440.1"}, {5, "1.0"},  {5, "1.04"}, {5, "5.01"}, {6, "4.9"}, {6, "50.04"}};
  for (const auto& [box, text] : refused) ExpectRefused(dialogs_, kBoxes[box], text);
  EXPECT_TRUE(dialogs_.Exhausted());
  // Light pulses replace the daily hours: the hour boxes are off while there are any.
  acquisition::ValidateRunParam(B::txt_pulsetimes, "3");
  EXPECT_FALSE(acquisition::LightHourBoxesEnabled());
  ExpectRefused(dialogs_, kBoxes[2], "-3");
  EXPECT_TRUE(acquisition::LightHourBoxesEnabled());
}

TEST_F(ValidatorsTest, BadInputOfEveryKindGetsTheMessageAndTheDefault) {
  const char* bad[] = {"",     "abc", "1,5",  ",",    ".",     "-",     "1.2.3",
                       "e5",   "1e",  "0x10", "&H10", "$5",    "1 5",   "--1",
                       "+",    "1e+", "inf",  "nan",  "1e308", "1e999", "99999999999999999999999",
                       "12abc"};
  for (const Box& b : kBoxes)
    for (const char* text : bad) ExpectRefused(dialogs_, b, text);
}

TEST_F(ValidatorsTest, BeamBoxSelectsTheChannelOfTheWellAndBeam) {
  auto& sh = storage::Shared();
  sh.Plate_Rows = 8;
  sh.Max_Beam = 1;
  sh.ResizeWellGrid(95, 1);
  sh.SetWellGrid(9, 1, 37);  // column 2, row B, beam 1
  // No row chosen, a negative beam, a well past the plate, a row before "A": nothing.
  for (auto [beam, column, row] :
       {std::tuple{"1", "2", ""}, {"-1", "2", "B"}, {"0", "99", "B"}, {"0", "1", "@"}})
    EXPECT_FALSE(acquisition::SelectBeam(beam, column, row).channel.has_value()) << beam << row;
  EXPECT_EQ(sh.Selected_Channel, 0);
  // A beam past the plate's beams is the last one.
  const auto r = acquisition::SelectBeam("5", "2", "B");
  EXPECT_EQ(r.txtsub, "1");
  EXPECT_EQ(r.channel.value_or(-1), 37);
  EXPECT_EQ(sh.Selected_Channel, 37);
  EXPECT_TRUE(dialogs_.log().empty());
}

}  // namespace
