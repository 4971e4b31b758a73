// The simulator's compact instrument model: its registers, what it refuses and where
// each register's level shows in the level replies.
#include <gtest/gtest.h>

#include "instrument-sim/instrument_model.h"

namespace {

std::string Reply(sim::InstrumentModel& m, int mode, int reg, int value) {
  std::string out;
  for (const auto& piece : m.HandleFrame({0xFF, uint8_t(mode), uint8_t(reg), uint8_t(value), 0xF0}, 0))
    out += piece.bytes;
  return out;
}

int Word(const std::string& reply, int w) {
  return (static_cast<uint8_t>(reply[2 * w]) & 0x0F) * 256 + static_cast<uint8_t>(reply[2 * w + 1]);
}

TEST(CompactSim, RegistersRepliesAndRefusals) {
  sim::InstrumentModel m;
  m.SetCompact(true);
  for (int r = 0; r < 192; ++r) {
    sim::CompactLevelTable t;
    t.fill(1000 + r);
    m.compact().SetLevels(r, t);
  }
  struct Write {
    int mode, reg;
    bool taken;
  };
  for (const Write w : {Write{0x80, 191, true}, Write{0x80, 192, false}, Write{0x81, 5, false},
                        Write{0x80, 0, true}}) {
    const std::string r = Reply(m, w.mode, w.reg, 0x65);
    EXPECT_EQ(static_cast<uint8_t>(r[0]) == w.reg, w.taken) << w.mode << " " << w.reg;
  }
  EXPECT_EQ(static_cast<uint8_t>(Reply(m, 0, 0x20, 191)[0]), 0x65);
  EXPECT_EQ(m.compact().setting(5), 3 * 32 + 2);  // the 0x81 write went nowhere

  // Group 8, word 3m + b: register 8 + m + 64b; a block's odd channels read 0.
  m.SetReplyMode(sim::ReplyMode::kGroup);
  const std::string group = Reply(m, 0, 0x30, 8);
  ASSERT_EQ(group.size(), 48u);
  EXPECT_EQ(Word(group, 0), 1008);
  EXPECT_EQ(Word(group, 3 * 7 + 2), 1000 + 8 + 7 + 128);
  m.SetReplyMode(sim::ReplyMode::kBlock);
  const std::string block = Reply(m, 0, 0x30, 96);
  ASSERT_EQ(block.size(), 192u);
  EXPECT_EQ(Word(block, 0), 1048);               // channel 96
  EXPECT_EQ(Word(block, 3), 0);                  // channel 97
  EXPECT_EQ(Word(block, 3 * 31 + 2), 0);         // channel 383
  EXPECT_EQ(Word(block, 3 * 30 + 2), 1000 + 191);  // channel 382

  const std::string progress = Reply(m, 0, 0x40, 110);
  EXPECT_EQ(static_cast<uint8_t>(progress.back()), 191);
}

}  // namespace
