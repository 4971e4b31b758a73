// The wire protocol: frames, level words and their parity, which channel each reply
// word belongs to; and the exchanges against the simulated instrument, own or scripted replies.
#include <set>
#include <thread>

#include "link_fixture.h"

namespace {

using linktest::LinkTest;
using linktest::SecondsSince;

TEST(LevelWord, GroupParityAndBlockRange) {
  struct Case {
    uint8_t hi, lo;
    bool good;
    int level;
  } cases[] = {
      {0x81, 0x00, true, 256},                              // one level bit, parity set
      {0x01, 0x00, false, 256},                             // one level bit, parity clear
      {0x80, 0x03, false, 3},                               // two level bits, parity set
      {0x00, 0x03, true, 3},     {0x87, 0x00, true, 1792},  // three bits, set
      {0x8F, 0x00, false, 3840},                            // four bits, set
      {0x91, 0x00, false, 3840},  // parity right but hi 17: limited to 15 and bad
      {0x8F, 0xFE, true, 4094},   // 4 + 7 ones: odd
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.hi) << " " << int(c.lo));
    auto w = devlink::DecodeGroupWord(c.hi, c.lo);
    EXPECT_EQ(w.good, c.good);
    EXPECT_EQ(w.level, c.level);
  }
  // Block words have no parity bit: a hi above 15 is just too high.
  EXPECT_TRUE(devlink::DecodeBlockWord(0x0F, 0xFF).good);
  EXPECT_EQ(devlink::DecodeBlockWord(0x0F, 0xFF).level, 4095);
  EXPECT_FALSE(devlink::DecodeBlockWord(0x81, 0x02).good);
}

TEST(Replies, WordsMapToChannelsAndGroupRepliesNeedEveryWord) {
  // Group g carries the even channels 2g..2g+14 of each bank; eight groups cover 192.
  EXPECT_EQ(devlink::GroupWordChannel(0, 1), 128);
  EXPECT_EQ(devlink::GroupWordChannel(0, 3), 2);
  EXPECT_EQ(devlink::GroupWordChannel(56, 23), 2 * 56 + 14 + 256);
  std::set<int> seen;
  for (int g = 0; g < 64; g += 8)
    for (int w = 0; w < 24; ++w) seen.insert(devlink::GroupWordChannel(g, w));
  EXPECT_EQ(seen.size(), 192u);
  for (int ch : seen) EXPECT_EQ(ch % 2, 0);
  // Blocks interleave the three banks word by word and together cover all 384.
  EXPECT_EQ(devlink::BlockWordChannel(32, 1), 160);
  EXPECT_EQ(devlink::BlockWordChannel(96, 95), 96 + 31 + 256);
  seen.clear();
  for (int n = 0; n < 128; n += 32)
    for (int w = 0; w < 96; ++w) seen.insert(devlink::BlockWordChannel(n, w));
  EXPECT_EQ(seen.size(), 384u);

  std::string reply(48, '\0');
  std::array<int32_t, 24> levels{};
  reply[2] = static_cast<char>(0x81);  // word 1 = 256, parity right
  EXPECT_TRUE(devlink::DecodeGroupReply(reply, levels));
  EXPECT_EQ(levels[1], 256);
  reply[4] = 0x01;  // word 2: parity wrong, still stored
  EXPECT_FALSE(devlink::DecodeGroupReply(reply, levels));
  EXPECT_EQ(levels[2], 256);
  EXPECT_FALSE(devlink::DecodeGroupReply(std::string(47, '\0'), levels));
  EXPECT_FALSE(devlink::DecodeGroupReply(std::string(50, '\0'), levels));

  // Identification b1 x 255 + b2: only 10..250 is the instrument.
  const std::pair<std::string, int32_t> ids[] = {{"", -1},
                                                 {"\x01", 255},
                                                 {std::string("\x00\x05", 2), 5},
                                                 {std::string("\x00\x0A", 2), 10},
                                                 {std::string("\x00\xFA", 2), 250},
                                                 {std::string("\x00\xFB", 2), 251},
                                                 {"\xFF\xFF", 65280}};
  for (const auto& [reply, id] : ids) {
    EXPECT_EQ(devlink::IdentificationValue(reply), id);
    EXPECT_EQ(devlink::IsInstrumentId(id), id == 10 || id == 250);
  }
}

TEST_F(LinkTest, ExactFramesOnTheWireAndNothingForArgumentsThatAreNotBytes) {
  ASSERT_EQ(OpenCom(4), 0);
  EXPECT_TRUE(devlink::DeviceWrite(256, 0, 0));
  EXPECT_EQ(devlink::DeviceQuery(0x20, 300, 0), -1);
  EXPECT_EQ(devlink::DeviceQuery(0x20, 0, -1), -1);
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 256), -1);

  EXPECT_FALSE(devlink::DeviceWrite(0x10, 5, 0));
  EXPECT_GE(devlink::DeviceQuery(devlink::RegTemperature, 0, 0), 0);
  // The second bank starts at channel 128: its first channel is register 0 with mode 0x81.
  const auto last_of_first = devlink::ChannelSettingAddress(127);
  const auto first_of_second = devlink::ChannelSettingAddress(128);
  EXPECT_EQ(last_of_first.mode, devlink::ModeWrite);
  EXPECT_EQ(last_of_first.reg, 127);
  EXPECT_EQ(first_of_second.mode, devlink::ModeWrite | 0x01);
  EXPECT_EQ(first_of_second.reg, 0);
  // A setting write for channel 200 goes to register 72 with mode 0x81.
  auto a = devlink::ChannelSettingAddress(200);
  EXPECT_EQ(devlink::DeviceQuery(a.reg, devlink::ChannelSetting(3, 5), a.mode), 72);
  for (int i = 0; i < 100 && sim_->FrameCount() < 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(sim_->Received(), std::string("\xFF\x00\x10\x05\xF0"
                                          "\xFF\x00\x21\x00\xF0"
                                          "\xFF\x81\x48\x65\xF0",
                                          15));
  int code = -1, setting = -1;
  sim_->WithModel([&](sim::InstrumentModel& m) {
    code = m.temp_light_code();
    setting = m.channel_setting(200);
  });
  EXPECT_EQ(code, 5);
  EXPECT_EQ(setting, 0x65);
}

TEST_F(LinkTest, QueriesGoToThePortTheConnectionOpened) {
  ASSERT_EQ(OpenCom(4), 0);
  devlink::SetInstrumentPort(4);
  storage::Shared().Serial_COM = 9;  // the COM menu changed meanwhile
  Script({{0x21, std::string("\x5A\0", 2)}, {0x20, "\x07"}, {0x11, ""}});
  EXPECT_EQ(devlink::DeviceQuery(0x21, 0, 0), 90);
  EXPECT_EQ(devlink::DeviceQuery(0x20, 201, 0), 7);  // one byte only still gives it
  auto t = std::chrono::steady_clock::now();
  EXPECT_EQ(devlink::DeviceQuery(0x11, 0, 0), -1);
  EXPECT_LT(SecondsSince(t), 5.0);
  devlink::SetInstrumentPort(0);
  EXPECT_TRUE(devlink::DeviceWrite(0x10, 1, 0));  // COM9 is not open
}

TEST_F(LinkTest, BlockReadMapsWordsToChannels) {
  ASSERT_EQ(OpenCom(4), 0);
  devlink::SetInstrumentPort(4);
  sim_->SetReplyMode(sim::ReplyMode::kBlock);
  sim_->SetPacing(sim::kWireBytesPerSecond);
  // A distinct lit level for each channel.
  sim_->WithModel([](sim::InstrumentModel& m) {
    for (int ch = 0; ch < 384; ++ch) m.set_channel_setting(ch, ch % 8 * 32 + ch / 8 % 8);
  });
  ASSERT_EQ(devlink::DeviceReadChannels(devlink::RegLevels, 32, 0), 0);
  for (int word = 0; word < 96; ++word) {
    int base = 0;
    sim_->WithModel(
        [&](sim::InstrumentModel& m) { base = m.BaseLevel(devlink::BlockWordChannel(32, word)); });
    // An animal may dim the beam; it never brightens it past the noise.
    EXPECT_LE(devlink::Level_Block[word], base * 1.01) << word;
    EXPECT_GE(devlink::Level_Block[word], base * 0.3) << word;
  }
  EXPECT_EQ(devlink::Level_Block[96], -1);
}

TEST_F(LinkTest, BlockReadFailsOnBadWordsShortRepliesAndSilence) {
  ASSERT_EQ(OpenCom(4), 0);
  devlink::SetInstrumentPort(4);
  // Byte 10 (the hi byte of word 5) is 16: words 0..4 stay decoded.
  std::string block;
  for (int w = 0; w < 96; ++w) block += std::string{char(w >> 8), char(w & 0xFF)};
  block[10] = 16;
  Script({{0x30, block}});
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 0), -1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(devlink::Level_Block[i], i);
  for (int i = 5; i <= 96; ++i) EXPECT_EQ(devlink::Level_Block[i], -1) << i;

  Script({{0x30, std::string(191, '\x01')}});  // 191 bytes is not a block
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 0), -1);
  EXPECT_EQ(devlink::Level_Block[0], -1);

  Script({{0x30, ""}});  // silence: one bounded wait, not 20,000 reads
  auto t = std::chrono::steady_clock::now();
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 0), -1);
  EXPECT_LT(SecondsSince(t), 5.0);
}

TEST_F(LinkTest, GroupRepliesFromTheSimulatorDecodeAndFaultsShow) {
  ASSERT_EQ(OpenCom(4), 0);
  sim_->SetReplyMode(sim::ReplyMode::kGroup);
  std::array<int32_t, 24> levels{};
  auto poll = [&](int g) {
    devlink::CommFlush(4);
    devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, g, 0));
    std::string reply;
    devlink::CommRead(4, reply, 48);
    return devlink::DecodeGroupReply(reply, levels);
  };
  for (int g = 0; g < 64; g += 8) {
    ASSERT_TRUE(poll(g)) << g;
    for (int w = 0; w < 24; ++w) {
      int base = 0;
      sim_->WithModel(
          [&](sim::InstrumentModel& m) { base = m.BaseLevel(devlink::GroupWordChannel(g, w)); });
      EXPECT_LE(levels[w], base * 1.01);
    }
  }
  for (auto fault : {sim::Fault::kBadParity, sim::Fault::kStrayBytes}) {
    sim_->SetFault(fault, 1);
    EXPECT_FALSE(poll(8));
    EXPECT_TRUE(poll(8));
  }
}

}  // namespace
