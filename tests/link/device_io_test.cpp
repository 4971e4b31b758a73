// Frames and replies against the simulated instrument and a scripted line.
#include <chrono>

#include "link/device_frame.h"
#include "link_fixture.h"

namespace {

using linktest::LinkTest;
using linktest::ScriptedLine;
using linktest::SecondsSince;

TEST_F(LinkTest, ExactFramesOnTheWire) {
  ASSERT_EQ(OpenCom4(), 0);
  EXPECT_FALSE(devlink::DeviceWrite(0x10, 5, 0));
  EXPECT_EQ(devlink::DeviceQuery(devlink::RegTemperature, 0, 0) >= 0, true);
  // A setting write for channel 200 goes to register 72 with mode 0x81.
  auto a = devlink::ChannelSettingAddress(200);
  EXPECT_EQ(devlink::DeviceQuery(a.reg, devlink::ChannelSetting(3, 5), a.mode), 72);
  for (int i = 0; i < 100 && sim_->FrameCount() < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(sim_->Received(), std::string("\xFF\x00\x10\x05\xF0"
                                          "\xFF\x00\x21\x00\xF0"
                                          "\xFF\x81\x48\x65\xF0",
                                          15));
  int code = -1;
  sim_->WithModel([&](sim::InstrumentModel& m) { code = m.temp_light_code(); });
  EXPECT_EQ(code, 5);
  int setting = -1;
  sim_->WithModel([&](sim::InstrumentModel& m) { setting = m.channel_setting(200); });
  EXPECT_EQ(setting, 0x65);
}

TEST_F(LinkTest, ArgumentsThatAreNotBytesSendNothing) {
  ASSERT_EQ(OpenCom4(), 0);
  EXPECT_TRUE(devlink::DeviceWrite(256, 0, 0));
  EXPECT_EQ(devlink::DeviceQuery(0x20, 300, 0), -1);
  EXPECT_EQ(devlink::DeviceQuery(0x20, 0, -1), -1);
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 256), -1);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(sim_->Received(), "");
}

TEST_F(LinkTest, QueryAnswersTheFirstByteOrMinusOne) {
  ScriptedLine line(folder_.path(), 5);
  ASSERT_EQ(devlink::CommOpen(5, "COM5", devlink::kInstrumentSettings), 0);
  devlink::SetInstrumentPort(5);
  line.Reply("\x5A");
  line.Reply(std::string(1, '\0'));
  EXPECT_EQ(devlink::DeviceQuery(0x21, 0, 0), 90);
  EXPECT_EQ(line.Sent(), std::string("\xFF\x00\x21\x00\xF0", 5));
  // One byte only still gives it.
  line.Reply("\x07");
  EXPECT_EQ(devlink::DeviceQuery(0x20, 201, 0), 7);
  // Nothing: -1 after a bounded wait.
  auto t = std::chrono::steady_clock::now();
  EXPECT_EQ(devlink::DeviceQuery(0x21, 0, 0), -1);
  EXPECT_LT(SecondsSince(t), 5.0);
}

TEST_F(LinkTest, WritesGoToThePortTheConnectionOpened) {
  ASSERT_EQ(OpenCom4(), 0);
  devlink::SetInstrumentPort(4);
  storage::Shared().Serial_COM = 9;  // the COM menu changed meanwhile
  EXPECT_FALSE(devlink::DeviceWrite(0x10, 1, 0));
  devlink::SetInstrumentPort(0);
  EXPECT_TRUE(devlink::DeviceWrite(0x10, 1, 0));  // COM9 is not open
}

TEST_F(LinkTest, BlockReadMapsWordsToChannels) {
  ASSERT_EQ(OpenCom4(), 0);
  devlink::SetInstrumentPort(4);
  sim_->SetReplyMode(sim::ReplyMode::kBlock);
  sim_->SetPacing(sim::kWireBytesPerSecond);
  // Give each channel a distinct lit level and keep the animals still.
  sim_->WithModel([](sim::InstrumentModel& m) {
    for (int ch = 0; ch < 384; ++ch) m.set_channel_setting(ch, ch % 8 * 32 + ch / 8 % 8);
  });
  ASSERT_EQ(devlink::DeviceReadChannels(devlink::RegLevels, 32, 0), 0);
  for (int word = 0; word < 96; ++word) {
    int ch = devlink::BlockWordChannel(32, word);
    int base = 0;
    sim_->WithModel([&](sim::InstrumentModel& m) { base = m.BaseLevel(ch); });
    // An animal may dim the beam; it never brightens it past the noise.
    EXPECT_LE(devlink::Level_Block[word], base * 1.01) << word;
    EXPECT_GE(devlink::Level_Block[word], base * 0.3) << word;
  }
  EXPECT_EQ(devlink::Level_Block[96], -1);
}

TEST_F(LinkTest, BlockReadFailsOnBadWordsShortRepliesAndSilence) {
  ScriptedLine line(folder_.path(), 5);
  ASSERT_EQ(devlink::CommOpen(5, "COM5", devlink::kInstrumentSettings), 0);
  devlink::SetInstrumentPort(5);

  // Byte 10 (the hi byte of word 5) is 16: words 0..4 stay decoded.
  std::string block;
  for (int w = 0; w < 96; ++w) block += std::string{char(w >> 8), char(w & 0xFF)};
  block[10] = 16;
  line.Reply(block);
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 0), -1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(devlink::Level_Block[i], i);
  for (int i = 5; i <= 96; ++i) EXPECT_EQ(devlink::Level_Block[i], -1) << i;
  EXPECT_EQ(line.Sent(), std::string("\xFF\x00\x30\x00\xF0", 5));

  // 191 bytes is not a block.
  line.Reply(std::string(191, '\x01'));
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 0), -1);
  EXPECT_EQ(devlink::Level_Block[0], -1);

  // A good block arriving in two parts is whole.
  block[10] = 0;
  line.Reply(block.substr(0, 100));
  line.Reply(block.substr(100));
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 0), 0);
  EXPECT_EQ(devlink::Level_Block[95], 95);
  EXPECT_EQ(devlink::Level_Block[96], -1);

  // Silence: one bounded wait, not 20000 of them.
  auto t = std::chrono::steady_clock::now();
  EXPECT_EQ(devlink::DeviceReadChannels(0x30, 0, 0), -1);
  EXPECT_LT(SecondsSince(t), 5.0);
}

TEST_F(LinkTest, GroupRepliesFromTheSimulatorDecodeAndFaultsShow) {
  ASSERT_EQ(OpenCom4(), 0);
  sim_->SetReplyMode(sim::ReplyMode::kGroup);
  auto poll = [&](int g, std::array<int32_t, 24>& levels) {
    devlink::CommFlush(4);
    devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, g, 0));
    std::string reply;
    devlink::CommRead(4, reply, 48);
    return devlink::DecodeGroupReply(reply, levels);
  };
  std::array<int32_t, 24> levels{};
  for (int g = 0; g < 64; g += 8) {
    ASSERT_TRUE(poll(g, levels)) << g;
    for (int w = 0; w < 24; ++w) {
      int base = 0;
      sim_->WithModel([&](sim::InstrumentModel& m) { base = m.BaseLevel(devlink::GroupWordChannel(g, w)); });
      EXPECT_LE(levels[w], base * 1.01);
    }
  }
  sim_->SetFault(sim::Fault::kBadParity, 1);
  EXPECT_FALSE(poll(0, levels));
  EXPECT_TRUE(poll(0, levels));
  sim_->SetFault(sim::Fault::kStrayBytes, 1);
  EXPECT_FALSE(poll(8, levels));
  EXPECT_TRUE(poll(8, levels));
}

TEST(SimulatedAnimals, CountsVaryByWell) {
  // Over a minute of 30 ms samples, some wells stay still and others are busy.
  sim::InstrumentModel model;
  int still = 0, busy = 0;
  for (int ch = 0; ch < 384; ch += 4) {
    int dips = 0;
    int base = model.BaseLevel(ch);
    for (int64_t t = 0; t < 60000; t += 30)
      if (model.Level(ch, t) < base * 0.9) ++dips;
    if (dips == 0) ++still;
    if (dips > 20) ++busy;
  }
  EXPECT_GT(still, 5);
  EXPECT_GT(busy, 20);
}

TEST(SimulatedInstrument, TemperatureFollowsTheHeater) {
  sim::InstrumentModel model;
  model.SetTemperature(24.0, 0);
  auto frame = [](int reg, int value) { return std::array<uint8_t, 5>{0xFF, 0, uint8_t(reg), uint8_t(value), 0xF0}; };
  EXPECT_TRUE(model.HandleFrame(frame(0x10, 3), 0).empty());  // power on, heat
  EXPECT_GT(model.Temperature(60000), 30.0);
  model.HandleFrame(frame(0x10, 1), 60000);  // power on, cool
  double warm = model.Temperature(60000);
  EXPECT_LT(model.Temperature(120000), warm);
  // The raw reading goes through the instrument's own record: offset 0.5, slope 0.219.
  model.SetTemperature(22.4, 200000);
  model.HandleFrame(frame(0x10, 0), 200000);
  auto reply = model.HandleFrame(frame(0x21, 0), 200000);
  ASSERT_EQ(reply.size(), 1u);
  EXPECT_EQ(static_cast<uint8_t>(reply[0].bytes[0]), 100);
}

TEST(SimulatedInstrument, AutoAdjustSendsProgressUntilDone) {
  sim::InstrumentModel model;
  auto pieces = model.HandleFrame({0xFF, 0, 0x40, 110, 0xF0}, 0);
  ASSERT_GE(pieces.size(), 3u);
  int last = -1;
  for (const auto& p : pieces) {
    ASSERT_EQ(p.bytes.size(), 1u);
    int v = static_cast<uint8_t>(p.bytes[0]);
    EXPECT_GT(v, last);
    last = v;
  }
  EXPECT_GE(last, 191);
  // Every channel now sits near 110 x 16.
  for (int ch = 0; ch < 384; ch += 17) EXPECT_NEAR(model.BaseLevel(ch), 1760, 80) << ch;
}

}  // namespace
