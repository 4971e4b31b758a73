#include <gtest/gtest.h>

#include "storage/shared_state.h"

namespace {

TEST(SharedState, MnFlatPositionAndRowColumnNameTheSameElement) {
  storage::ResetSharedState();
  auto& s = storage::Shared();
  s.Mn[22] = 25;
  EXPECT_EQ(s.MnAt(1, 3), 25);  // the SNR value of the "Mn1:" line
  s.MnAt(3, 1) = 300;
  EXPECT_EQ(s.Mn[10], 300);
}

TEST(SharedState, DefaultsComeBackAfterReset) {
  auto& s = storage::Shared();
  s.Serial_COM = 9;
  s.Enabled[5] = 0;
  s.Group_Name[3] = "x";
  s.ThresholdAt(0, 7) = 9.5;
  storage::ResetSharedState();
  EXPECT_EQ(s.Serial_COM, 4);
  EXPECT_EQ(s.Enabled[5], -1);
  EXPECT_EQ(s.Enabled[384], 0);  // the spare slot is never a channel
  EXPECT_EQ(s.Group_Name[3], "Group3");
  EXPECT_EQ(s.Group_Name[12], "Free");
  EXPECT_EQ(s.Group_Name_s4[11], "Group11");
  EXPECT_DOUBLE_EQ(s.Threshold[5 * 7], 3.0);
  // Default groups follow the beam columns of 16 channels: column c is group (c + 1) / 2.
  EXPECT_EQ(s.Group[0], 0);
  EXPECT_EQ(s.Group[16], 1);
  EXPECT_EQ(s.Group[2 * 16 + 5], 1);
  EXPECT_EQ(s.Group[23 * 16 + 15], 12);
  EXPECT_EQ(s.MnAt(2, 1), 9);
  EXPECT_EQ(s.MnAt(2, 2), 21);
}

TEST(SharedState, WellGridOutsideItsBoundsReadsZeroAndIgnoresWrites) {
  storage::ResetSharedState();
  auto& s = storage::Shared();
  s.ResizeWellGrid(95, 1);
  s.SetWellGrid(95, 1, 383);
  s.SetWellGrid(96, 0, 7);
  s.SetWellGrid(-1, 0, 7);
  EXPECT_EQ(s.WellGridAt(95, 1), 383);
  EXPECT_EQ(s.WellGridAt(96, 0), 0);
  EXPECT_EQ(s.WellGridAt(0, 2), 0);
}

}  // namespace
