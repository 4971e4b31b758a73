// A whole run against the simulated instrument over a pseudo-terminal, on a manual
// clock: faults mid-run, a temperature change, and the run ending by itself.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "platform/serial_port.h"
#include "run_fixture.h"

namespace acqtest {
namespace {

namespace fs = std::filesystem;

// Each tick takes this long on the manual clock: a 30-minute run in 12,000 ticks.
constexpr int kTickMs = 150;

// The run's port, arming the simulator's late-tail fault for the reply to a tick's
// last group request when the test asks for it.
class LateTailArming final : public acquisition::InstrumentIo {
 public:
  explicit LateTailArming(sim::SimServer& sim) : sim_(sim) {}
  void Flush() override { link_.Flush(); }
  int DiscardInput(int wait_us) override { return link_.DiscardInput(wait_us); }
  int Write(const std::string& bytes) override {
    if (armed && bytes == devlink::DeviceFrame(devlink::RegLevels, 56, devlink::ModeCommand)) {
      sim_.SetFault(sim::Fault::kLateTail, 1);
      armed = false;
    }
    return link_.Write(bytes);
  }
  int Read(std::string& data, int count) override { return link_.Read(data, count); }
  bool DeviceWrite(int reg, int value, int mode) override {
    return link_.DeviceWrite(reg, value, mode);
  }
  int DeviceQuery(int reg, int value, int mode) override {
    return link_.DeviceQuery(reg, value, mode);
  }

  bool armed = false;

 private:
  sim::SimServer& sim_;
  acquisition::LinkIo link_;
};

TEST_F(SimRunFixture, ThirtyMinuteRunEndsByItselfWithItsFiles) {
  auto& sh = storage::Shared();
  (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
  (*sim_)->SetTemperature(30.0);
  sh.Temp_Offset = 0.5;
  sh.Aq_lapse = 30;
  sh.Body_Bends = 1;
  engine_.controls.Temp_Enabled = true;
  engine_.controls.txttemp = "25";
  dialogs_.ExpectOk();
  Start();

  bool com_error_seen = false;
  for (int tick = 0; engine_.TimerEnabled() && tick < 20000; ++tick) {
    // Faults mid-run: short replies, bad parity, a short silence; two stray bytes ahead
    // of a reply make a good word, so a shifted reply still passes parity.
    if (tick == 3000) (*sim_)->SetFault(sim::Fault::kShortReply, 8);
    if (tick == 3100) (*sim_)->SetFault(sim::Fault::kBadParity, 16);
    if (tick == 3200) (*sim_)->SetFault(sim::Fault::kSilence, 1);
    if (tick == 3300) (*sim_)->SetStrayBytes(std::string(2, '\0'));
    if (tick == 3300) (*sim_)->SetFault(sim::Fault::kStrayBytes, 60);
    if (tick == 6000) (*sim_)->SetTemperature(20.0);
    Ticks(1, kTickMs);
    com_error_seen |= engine_.state.Com_Error_Count > 0;
  }
  EXPECT_EQ(sh.Acq_State, 0);
  EXPECT_EQ(dialogs_.log().back(), "Acquisition finished");
  EXPECT_TRUE(view_.Logged("report"));
  EXPECT_TRUE(com_error_seen);
  EXPECT_FALSE(view_.Logged("status:<COM ERROR>"));  // never 21 failed ticks in a row

  const fs::path run = RunFolder();
  for (const char* f :
       {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat", "subproj.dat"})
    EXPECT_TRUE(fs::exists(run / f)) << f;
  // Eleven bins a raw and a histogram file: bin k is record k % 11 of file k / 11.
  EXPECT_EQ(storage::RecordCount(run / "1.bin", 385770), 11u);
  EXPECT_EQ(storage::ReadHistoFile(run / "histo0002.bin").size(), 2u);
  storage::RawBlockRecord block;
  EXPECT_TRUE(storage::ReadRunRawBlock(run, 23, 500, block));
  EXPECT_FALSE(storage::ReadRunRawBlock(run, 24, 500, block));
  EXPECT_NE(block.At(0, 0), 0);
  // Bins of 500 x 150 ms (plus two 50 ms priming pauses): 75.1 s; the 24th ends at 30 min 2 s.
  const auto counts = storage::ReadCountsFile(run / "counts.bin");
  ASSERT_EQ(counts.size(), 24u);
  EXPECT_EQ(fs::file_size(run / "counts.bin"), 24u * 774);
  for (std::size_t i = 1; i < counts.size(); ++i)
    EXPECT_GE(counts[i].Elapsed_Minutes, counts[i - 1].Elapsed_Minutes);
  EXPECT_EQ(counts.back().Elapsed_Minutes, 30);
  // Activity differs from well to well as the animals move; empty wells count nothing.
  std::set<int> values;
  int empty = 0;
  for (int ch = 0; ch < 384; ch += 2) {
    int activity = 0;
    (*sim_)->WithModel([&](sim::InstrumentModel& m) { activity = m.ActivityPerMille(ch); });
    empty += activity == 0;
    for (const auto& c : counts) {
      values.insert(c.Counts[ch]);
      EXPECT_TRUE(activity > 0 || c.Counts[ch] == 0) << ch;
    }
  }
  EXPECT_GT(empty, 10);
  EXPECT_GT(values.size(), 3u);
  // The temperature field follows the simulator: near 30 C first; at the end near the
  // simulator's own reading, which fell towards 20 C while the heater worked.
  EXPECT_NEAR(counts.front().Counts[384] / 10.0, 30.0, 0.5);
  double sim_temperature = 0;
  (*sim_)->WithModel(
      [&](sim::InstrumentModel& m) { sim_temperature = m.Temperature((*sim_)->NowMs()); });
  EXPECT_LT(sim_temperature, 25.0);
  EXPECT_NEAR(counts.back().Counts[384] / 10.0, sim_temperature, 1.0);
  storage::HistoRecord last;
  ASSERT_TRUE(storage::ReadRunHistoRecord(run, 23, last));
  EXPECT_NEAR(last.Sample_Seconds, 0.150, 0.001);
}

TEST_F(SimRunFixture, OnlyFramesThatGetNoReplyAreDrained) {
  // A drain costs a USB adapter a round trip: a request whose reply is read next needs
  // none, a frame nothing answers needs one before anything may purge it away.
  (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
  acquisition::LinkIo io;
  acquisition::GroupPoll poll;
  const auto command = devlink::ModeCommand;
  struct Case {
    const char* what;
    std::function<void()> exchange;
    uint64_t drains;
  } cases[] = {
      {"a poll of the eight groups", [&] { acquisition::PollGroups(io, 8, poll); }, 0},
      {"a priming pass", [&] { acquisition::PrimeGroupRequests(io, 16); }, 0},
      {"a temperature query", [&] { io.DeviceQuery(devlink::RegTemperature, 0, command); }, 0},
      {"the temperature and light frame",
       [&] { io.DeviceWrite(devlink::RegTempLight, 5, command); }, 1},
      {"the plate type frame", [&] { io.DeviceWrite(devlink::RegPlateType, 1, command); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint64_t before = platform::SerialDrainCount();
    c.exchange();
    EXPECT_EQ(platform::SerialDrainCount() - before, c.drains);
  }
  EXPECT_EQ(poll.groups, 8);
  EXPECT_TRUE(poll.good[7]);
}

TEST_F(SimRunFixture, EmptyWellsCountNothingWhenShiftedRepliesHandTheirTailsOnLate) {
  // Two stray bytes form a good word: a shifted reply passes parity, and its tail comes
  // 2..20 ms after the tick that read it.
  (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
  (*sim_)->SetStrayBytes(std::string(2, '\0'));
  storage::Shared().Save_real = 0;
  LateTailArming io(sim_->server());
  acquisition::RunEngine engine(io, view_);
  engine.controls.Auto_Run = true;
  ASSERT_EQ(engine.Start(), acquisition::StartResult::kStarted);
  std::vector<std::array<int16_t, storage::kChannelSlots>> bins;
  for (int tick = 0; bins.size() < 3 && tick < 2000; ++tick) {
    io.armed = tick % 5 == 2;
    const int plots = view_.activity_plots;
    clock_.Advance(30);
    engine.Tick();
    if (view_.activity_plots != plots) bins.push_back(engine.state.Counts);
  }
  engine.Stop();
  ASSERT_EQ(bins.size(), 3u);
  EXPECT_GT(engine.RetractedSamples(), 250);
  EXPECT_FALSE(view_.Logged("status:<COM ERROR>"));
  int empty = 0, counted = 0;
  for (int ch = 0; ch < storage::kChannelCount; ch += 2) {
    int activity = 0;
    (*sim_)->WithModel([&](sim::InstrumentModel& m) { activity = m.ActivityPerMille(ch); });
    empty += activity == 0;
    for (const auto& counts : bins) {
      EXPECT_TRUE(activity > 0 || counts[std::size_t(ch)] == 0) << "channel " << ch;
      counted += counts[std::size_t(ch)] > 0;
    }
  }
  EXPECT_GT(empty, 10);
  EXPECT_GT(counted, 100);
}

}  // namespace
}  // namespace acqtest
