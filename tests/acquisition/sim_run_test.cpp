// A whole run against the simulated instrument over a pseudo-terminal, on a manual
// clock: faults mid-run, a temperature change, and the run ending by itself.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "acquisition/run_engine.h"
#include "acquisition/run_files.h"
#include "run_fixture.h"

namespace acqtest {
namespace {

namespace fs = std::filesystem;

// Each tick takes this long on the manual clock: a 30-minute run in 12,000 ticks.
constexpr int kTickMs = 150;

class SimRunTest : public SimRunFixture {
 protected:
  void SetUp() override {
    SimRunFixture::SetUp();
    (*sim_)->SetReplyMode(sim::ReplyMode::kGroup);
    (*sim_)->SetTemperature(30.0);
    storage::Shared().Temp_Offset = 0.5;
  }
  std::vector<int> TempLightCodesOnWire() const {
    std::vector<int> codes;
    const std::string wire = (*sim_)->Received();
    for (std::size_t i = 0; i + 4 < wire.size(); ++i)
      if (uint8_t(wire[i]) == 0xFF && wire[i + 1] == 0 && wire[i + 2] == 0x10 &&
          uint8_t(wire[i + 4]) == 0xF0)
        codes.push_back(uint8_t(wire[i + 3]));
    return codes;
  }
};

TEST_F(SimRunTest, ThirtyMinuteRunEndsByItselfWithItsFiles) {
  auto& sh = storage::Shared();
  sh.Aq_lapse = 30;
  sh.Body_Bends = 1;
  engine_.controls.Temp_Enabled = true;
  engine_.controls.txttemp = "25";
  dialogs_.ExpectOk();
  Start();
  EXPECT_EQ(RunFolder().filename().string(), "20260314_1005");

  int tick = 0;
  bool com_error_seen = false;
  while (engine_.TimerEnabled() && tick < 20000) {
    // Faults mid-run: short replies, bad parity, a short silence, then recovery.
    if (tick == 3000) (*sim_)->SetFault(sim::Fault::kShortReply, 8);
    if (tick == 3100) (*sim_)->SetFault(sim::Fault::kBadParity, 16);
    if (tick == 3200) (*sim_)->SetFault(sim::Fault::kSilence, 1);
    // Two stray bytes ahead of a reply make a good word: the reply still passes parity.
    if (tick == 3300) (*sim_)->SetStrayBytes(std::string(2, '\0'));
    if (tick == 3300) (*sim_)->SetFault(sim::Fault::kStrayBytes, 60);
    if (tick == 6000) (*sim_)->SetTemperature(20.0);
    Ticks(1, kTickMs);
    com_error_seen |= engine_.state.Com_Error_Count > 0;
    ++tick;
  }
  EXPECT_FALSE(engine_.TimerEnabled());
  EXPECT_EQ(sh.Acq_State, 0);
  EXPECT_EQ(dialogs_.log().back(), "Acquisition finished");
  EXPECT_TRUE(view_.Logged("report"));
  EXPECT_EQ(view_.activity_plots, 24);
  EXPECT_TRUE(com_error_seen);
  EXPECT_FALSE(view_.Logged("status:<COM ERROR>"));  // never 21 failed ticks in a row

  const fs::path run = RunFolder();
  for (const char* f : {"setup.dat", "status.dat", "threshld.dat", "groups.dat", "chgroup.dat",
                        "subproj.dat"})
    EXPECT_TRUE(fs::exists(run / f)) << f;
  const auto counts_bytes = fs::file_size(run / "counts.bin");
  EXPECT_EQ(counts_bytes % 774, 0u);
  const auto counts = acquisition::ReadCountsFile(run / "counts.bin");
  // Bins of 500 x 150 ms (plus two 50 ms priming pauses): 75.1 s; the 24th ends at 30 min 2 s.
  ASSERT_EQ(counts.size(), 24u);
  for (std::size_t i = 1; i < counts.size(); ++i)
    EXPECT_GE(counts[i].Elapsed_Minutes, counts[i - 1].Elapsed_Minutes);
  EXPECT_EQ(counts.back().Elapsed_Minutes, 30);
  // Activity differs from well to well as the animals move; empty wells count nothing.
  std::map<int, int> totals;
  int empty = 0;
  for (int ch = 0; ch < 384; ch += 2) {
    int activity = 0;
    (*sim_)->WithModel([&](sim::InstrumentModel& m) { activity = m.ActivityPerMille(ch); });
    empty += activity == 0;
    for (const auto& c : counts) {
      totals[c.Counts[ch]]++;
      EXPECT_TRUE(activity > 0 || c.Counts[ch] == 0) << ch;
    }
  }
  EXPECT_GT(empty, 10);
  EXPECT_GT(totals.size(), 3u);
  // The temperature field follows the simulator: first near 30 C, at the end near 20 C.
  EXPECT_NEAR(counts.front().Counts[384] / 10.0, 30.0, 0.5);
  // The simulator's temperature moves in real time as its heater works: compare the
  // last record with the simulator's reading at the end.
  double sim_temperature = 0;
  (*sim_)->WithModel([&](sim::InstrumentModel& m) { sim_temperature = m.Temperature((*sim_)->NowMs()); });
  EXPECT_LT(sim_temperature, 25.0);
  EXPECT_NEAR(counts.back().Counts[384] / 10.0, sim_temperature, 1.0);

  for (int n = 0; n < 2; ++n) {
    EXPECT_EQ(fs::file_size(run / acquisition::RawFileName(n)), 11u * 385770) << n;
    EXPECT_EQ(fs::file_size(run / acquisition::HistoFileName(n)), 11u * 78556) << n;
  }
  EXPECT_EQ(fs::file_size(run / "2.bin"), 2u * 385770);
  EXPECT_EQ(acquisition::ReadHistoFile(run / "histo0002.bin").size(), 2u);
  acquisition::HistoRecord last;
  ASSERT_TRUE(acquisition::ReadRunHistoRecord(run, 23, last));
  EXPECT_NEAR(last.Sample_Seconds, 0.150, 0.001);

  // The regulation cooled towards 25 C at 30 C, heated at 20 C, and the end switched
  // the output and light off keeping the direction: codes 1 (cool, on), 3 (heat, on), 2.
  // The simulator reads the last frames on its own thread: give it a moment.
  int model_code = -1;
  for (int i = 0; i < 100 && model_code != 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    (*sim_)->WithModel([&](sim::InstrumentModel& m) { model_code = m.temp_light_code(); });
  }
  EXPECT_EQ(model_code, 2);
  const auto codes = TempLightCodesOnWire();
  ASSERT_FALSE(codes.empty());
  EXPECT_NE(std::find(codes.begin(), codes.end(), 1), codes.end());
  EXPECT_NE(std::find(codes.begin(), codes.end(), 3), codes.end());
  EXPECT_EQ(codes.back(), 2);
}

}  // namespace
}  // namespace acqtest
