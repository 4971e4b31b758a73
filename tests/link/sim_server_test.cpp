// The simulated instrument itself: it stays up when started twice, its temperature
// follows the heater whenever it was set, and it idles while nobody reads its replies.
#include <sys/resource.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "link_fixture.h"

namespace {

using linktest::LinkTest;

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST_F(LinkTest, ASecondStartIsRefusedAndTheServerGoesOn) {
  std::string error;
  EXPECT_FALSE(sim_->Start(folder_.path(), 5, &error));
  EXPECT_EQ(error, "already running");
  EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "ports" / "COM4"));
  ASSERT_EQ(OpenCom(4), 0);
  EXPECT_EQ(devlink::DeviceQuery(devlink::RegIdentify, 0, 0), 0);  // 77 answers 0, 77
}

TEST(SimServer, TemperatureSetBeforeTheStartFollowsTheHeater) {
  testsupport::TempProgramFolder folder;
  sim::SimServer server;
  server.SetTemperature(30.0);
  ASSERT_TRUE(server.Start(folder.path(), 5));
  double later = 0.0;
  server.WithModel([&](sim::InstrumentModel& m) {
    m.HandleFrame({0xFF, 0x00, 0x10, 3, 0xF0}, server.NowMs());  // heater on
    later = m.Temperature(server.NowMs() + 600'000);
  });
  server.Stop();
  EXPECT_GT(later, 40.0);
}

TEST_F(LinkTest, ServerIdlesWhileTheProgramLeavesItsRepliesUnread) {
  ASSERT_EQ(OpenCom(4), 0);
  sim_->SetReplyMode(sim::ReplyMode::kBlock);
  // Far more reply bytes than the pseudo-terminal holds.
  constexpr int kFrames = 800;
  for (int i = 0; i < kFrames; ++i)
    ASSERT_EQ(devlink::CommWrite(4, devlink::DeviceFrame(devlink::RegLevels, 0, 0)), 5);
  for (int i = 0; i < 200 && sim_->FrameCount() < kFrames; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(sim_->FrameCount(), kFrames);

  const auto wall = std::chrono::steady_clock::now();
  const double cpu = ProcessCpuSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_LT(ProcessCpuSeconds() - cpu, 0.5 * linktest::SecondsSince(wall));

  // Reading drains what was held back, and the link still works.
  std::string reply;
  int drained = 0;
  while (drained < kFrames * 192) {
    const int32_t got = devlink::CommRead(4, reply, 512);
    if (got == 0) break;
    drained += got;
  }
  EXPECT_EQ(drained, kFrames * 192);
  EXPECT_EQ(devlink::DeviceQuery(devlink::RegIdentify, 0, 0), 0);
}

TEST_F(LinkTest, ALateTailFollowsTheRestOfItsShiftedReplyBy2To20Ms) {
  std::set<int> delays;
  for (int n = 0; n < 19; ++n) delays.insert(sim::LateTailMs(n));
  EXPECT_EQ(delays.size(), 19u);
  EXPECT_EQ(*delays.begin(), 2);
  EXPECT_EQ(*delays.rbegin(), 20);

  ASSERT_EQ(OpenCom(4), 0);
  std::string reply;
  for (int i = 0; i < 48; ++i) reply += char(0x10 + i);
  Script({{0x30, reply}});
  sim_->SetStrayBytes(std::string(2, '\0'));
  const std::string frame = devlink::DeviceFrame(devlink::RegLevels, 8, 0);
  // Read whole, each reply takes at least its tail's delay; one of them 20 ms.
  double longest_ms = 0;
  for (int n = 0; n < 19; ++n) {
    sim_->SetFault(sim::Fault::kLateTail, 1);
    const auto t = std::chrono::steady_clock::now();
    ASSERT_EQ(devlink::CommWrite(4, frame), 5);
    std::string got;
    ASSERT_EQ(devlink::CommRead(4, got, 50), 50);
    const double ms = linktest::SecondsSince(t) * 1000.0;
    EXPECT_EQ(got, std::string(2, '\0') + reply);
    EXPECT_GE(ms, 2.0);
    longest_ms = std::max(longest_ms, ms);
  }
  EXPECT_GE(longest_ms, 20.0);
  // The fault used up: the reply comes alone and whole.
  ASSERT_EQ(devlink::CommWrite(4, frame), 5);
  std::string got;
  EXPECT_EQ(devlink::CommRead(4, got, 48), 48);
  EXPECT_EQ(got, reply);
  EXPECT_EQ(devlink::CommDiscardInput(4, 25000), 0);
}

TEST(SimModel, ChannelListsOfTheBeamFaultOptions) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<int> channels;
  };
  const Case cases[] = {
      {"37", true, {37}},   {"0,383", true, {0, 383}}, {"100-103,7", true, {100, 101, 102, 103, 7}},
      {"384", false, {}},   {"5-4", false, {}},        {"", false, {}},
      {"3,", false, {}},    {"3;4", false, {}},        {"-3", false, {}},
      {"00012", false, {}},
  };
  for (const auto& c : cases) {
    std::vector<int> got;
    EXPECT_EQ(sim::ParseChannelList(c.text, got), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(got, c.channels) << c.text;
    }
  }
}

// The default reply mode answers each level request as the program means it, from the
// order of its requests: "id" identifies, "w" writes a channel setting, "<v>g" / "<v>b"
// ask for level value v and expect a group / a block.
TEST(SimModel, LevelRequestsGetTheReplyTheirSequenceAsksFor) {
  const std::pair<const char*, const char*> rows[] = {
      {"a poll after the connection (its priming drops the block)",
       "id 0b 8g 16g 24g 32g 40g 48g 56g 0g 8g"},
      {"the device test after a run", "0g 56g id 0b 32b 64b 96b 0b 32b 64b 96b w 0b 32b"},
      {"a calibration after a run (its first pass is dropped)", "0g 56g w 0g 32b 64b 96b 0b w 0b"},
      {"a block read tried again", "0g 56g 0g 0b 32b 64b"},
      {"a poll stopped after its first request and begun again", "0g w 0g 8g"},
  };
  for (const auto& [what, sequence] : rows) {
    sim::InstrumentModel m;
    std::istringstream in(sequence);
    for (std::string token; in >> token;) {
      std::array<uint8_t, 5> frame{0xFF, 0x00, 0x30, 0x00, 0xF0};
      if (token == "id") frame[2] = 0x00;
      if (token == "w") frame = {0xFF, 0x80, 0x05, 0x40, 0xF0};
      const bool level = token != "id" && token != "w";
      if (level) frame[3] = static_cast<uint8_t>(std::stoi(token));
      const auto reply = m.HandleFrame(frame, 0);
      if (!level) continue;
      ASSERT_EQ(reply.size(), 1u) << what << ": " << token;
      EXPECT_EQ(reply[0].bytes.size(), token.back() == 'b' ? 192u : 48u) << what << ": " << token;
    }
  }
}

TEST(SimModel, FaultyBeamsIgnoreOrShrinkTheirSetting) {
  sim::InstrumentModel m;
  m.SetAnimalsPresent(false);
  m.SetBeamFault(1, sim::BeamFault::kDark);
  m.SetBeamFault(2, sim::BeamFault::kStuckBright);
  m.SetBeamFault(3, sim::BeamFault::kWeak);
  for (int setting : {0, 231}) {
    for (int ch = 0; ch < 4; ++ch) m.set_channel_setting(ch, setting);
    EXPECT_EQ(m.Level(1, 1000), sim::kDarkLevel);
    EXPECT_EQ(m.Level(2, 1000), 4095);
    EXPECT_NEAR(m.Level(3, 1000), m.BaseLevel(3) * 0.3, m.BaseLevel(3) * 0.01 + 1);
  }
  // Fully on, a sound beam is bright and a weak one is not.
  EXPECT_GE(m.Level(0, 1000), 1639);
  EXPECT_LT(m.Level(3, 1000), 1639);
}

TEST(SimModel, ASensorOfItsOwnIgnoresTheRecord) {
  sim::InstrumentModel m;
  m.SetFactoryRecord(sim::InstrumentModel::EncodeFactoryRecord(0.0, 0.219, 1, 26));
  m.SetTemperature(24.09, 0);
  EXPECT_EQ(m.RawTemperature(0), 110);
  m.SetFactoryRecord(sim::InstrumentModel::EncodeFactoryRecord(3.0, 0.219, 1, 26));
  EXPECT_EQ(m.RawTemperature(0), 96);  // follows the record: (24.09 - 3) / 0.219
  m.SetSensor(0.0, 0.219);
  EXPECT_EQ(m.RawTemperature(0), 110);
}

}  // namespace
