// The wire protocol as pure functions: frames, level words, reply mapping.
#include <gtest/gtest.h>

#include <set>

#include "link/comm_port.h"
#include "link/device_frame.h"

namespace {

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

TEST(DeviceFrame, BytesInOrder) {
  EXPECT_EQ(Hex(devlink::DeviceFrame(0x10, 5, 0)), "FF 00 10 05 F0");
  EXPECT_EQ(Hex(devlink::DeviceFrame(0x00, 0, 0)), "FF 00 00 00 F0");
  EXPECT_EQ(Hex(devlink::DeviceFrame(72, 0x65, 0x81)), "FF 81 48 65 F0");
}

TEST(LevelWord, GroupParityTable) {
  struct Case {
    uint8_t hi, lo;
    bool good;
    int level;
  } cases[] = {
      {0x81, 0x00, true, 256},   // one level bit, parity set
      {0x01, 0x00, false, 256},  // one level bit, parity clear
      {0x80, 0x03, false, 3},    // two level bits, parity set
      {0x00, 0x03, true, 3},
      {0x0F, 0x00, true, 3840},  // four bits, clear
      {0x07, 0x00, false, 1792}, // three bits, clear
      {0x87, 0x00, true, 1792},  // three bits, set
      {0x8F, 0x00, false, 3840}, // four bits, set
      {0x91, 0x00, false, 3840}, // parity right but hi 17: limited to 15 and bad
      {0x00, 0x00, true, 0},
      {0x8F, 0xFE, true, 4094},  // 4 + 7 ones: odd
  };
  for (const auto& c : cases) {
    auto w = devlink::DecodeGroupWord(c.hi, c.lo);
    EXPECT_EQ(w.good, c.good) << std::hex << int(c.hi) << " " << int(c.lo);
    EXPECT_EQ(w.level, c.level) << std::hex << int(c.hi) << " " << int(c.lo);
  }
}

TEST(LevelWord, BlockWordsHaveNoParity) {
  EXPECT_TRUE(devlink::DecodeBlockWord(0x0F, 0xFF).good);
  EXPECT_EQ(devlink::DecodeBlockWord(0x0F, 0xFF).level, 4095);
  EXPECT_TRUE(devlink::DecodeBlockWord(0x01, 0x00).good);
  EXPECT_FALSE(devlink::DecodeBlockWord(0x10, 0x00).good);
  EXPECT_EQ(devlink::DecodeBlockWord(0x81, 0x02).level, 15 * 256 + 2);
}

TEST(Replies, GroupAndBlockWordsCoverTheirChannels) {
  // Group g carries the even channels 2g..2g+14 of each bank, no odd one.
  EXPECT_EQ(devlink::GroupWordChannel(0, 0), 0);
  EXPECT_EQ(devlink::GroupWordChannel(0, 1), 128);
  EXPECT_EQ(devlink::GroupWordChannel(0, 2), 256);
  EXPECT_EQ(devlink::GroupWordChannel(0, 3), 2);
  EXPECT_EQ(devlink::GroupWordChannel(56, 23), 2 * 56 + 14 + 256);
  std::set<int> seen;
  for (int g = 0; g < 64; g += 8)
    for (int w = 0; w < 24; ++w) seen.insert(devlink::GroupWordChannel(g, w));
  EXPECT_EQ(seen.size(), 192u);
  for (int ch : seen) EXPECT_EQ(ch % 2, 0);

  // Blocks interleave the three banks word by word and together cover all 384.
  EXPECT_EQ(devlink::BlockWordChannel(32, 0), 32);
  EXPECT_EQ(devlink::BlockWordChannel(32, 1), 160);
  EXPECT_EQ(devlink::BlockWordChannel(32, 2), 288);
  EXPECT_EQ(devlink::BlockWordChannel(96, 95), 96 + 31 + 256);
  seen.clear();
  for (int n = 0; n < 128; n += 32)
    for (int w = 0; w < 96; ++w) seen.insert(devlink::BlockWordChannel(n, w));
  EXPECT_EQ(seen.size(), 384u);
}

TEST(Replies, GroupReplyNeedsAllWordsGoodAndTheExactLength) {
  std::string reply(48, '\0');
  std::array<int32_t, 24> levels{};
  EXPECT_TRUE(devlink::DecodeGroupReply(reply, levels));
  reply[2] = static_cast<char>(0x81);  // word 1 = 256, parity right
  EXPECT_TRUE(devlink::DecodeGroupReply(reply, levels));
  EXPECT_EQ(levels[1], 256);
  reply[4] = 0x01;  // word 2: parity wrong, still stored
  EXPECT_FALSE(devlink::DecodeGroupReply(reply, levels));
  EXPECT_EQ(levels[2], 256);
  EXPECT_FALSE(devlink::DecodeGroupReply(std::string(47, '\0'), levels));
  EXPECT_FALSE(devlink::DecodeGroupReply(std::string(50, '\0'), levels));
}

TEST(Identification, ValueAndRange) {
  EXPECT_EQ(devlink::IdentificationValue(""), -1);
  EXPECT_EQ(devlink::IdentificationValue(std::string{0, 77}), 77);
  EXPECT_EQ(devlink::IdentificationValue(std::string(1, '\x01')), 255);
  // Beyond 16 bits: the value is kept wide and simply fails the range.
  EXPECT_EQ(devlink::IdentificationValue("\xFF\xFF"), 255 * 255 + 255);
  EXPECT_FALSE(devlink::IsInstrumentId(9));
  EXPECT_TRUE(devlink::IsInstrumentId(10));
  EXPECT_TRUE(devlink::IsInstrumentId(250));
  EXPECT_FALSE(devlink::IsInstrumentId(251));
}

TEST(ChannelSetting, AddressRule) {
  auto a = devlink::ChannelSettingAddress(200);
  EXPECT_EQ(a.mode, 0x81);
  EXPECT_EQ(a.reg, 72);
  a = devlink::ChannelSettingAddress(127);
  EXPECT_EQ(a.mode, 0x80);
  EXPECT_EQ(a.reg, 127);
  a = devlink::ChannelSettingAddress(128);
  EXPECT_EQ(a.mode, 0x81);
  EXPECT_EQ(a.reg, 0);
  EXPECT_EQ(devlink::ChannelSetting(3, 5), 101);
}

TEST(CommSettings, ParsesTheBuildCommDcbText) {
  platform::SerialLineSettings s;
  s.baud = 9600;
  s.parity = 'E';
  ASSERT_TRUE(devlink::ParseCommSettings("baud=115200 parity=N data=8 stop=1", s));
  EXPECT_EQ(s.baud, 115200);
  EXPECT_EQ(s.parity, 'N');
  EXPECT_EQ(s.data_bits, 8);
  EXPECT_EQ(s.stop_bits, 1);
  platform::SerialLineSettings before = s;
  EXPECT_FALSE(devlink::ParseCommSettings("baud=fast", s));
  EXPECT_FALSE(devlink::ParseCommSettings("parity=X", s));
  EXPECT_FALSE(devlink::ParseCommSettings("", s));
  EXPECT_FALSE(devlink::ParseCommSettings("colour=blue", s));
  EXPECT_EQ(s.baud, before.baud);
}

}  // namespace
