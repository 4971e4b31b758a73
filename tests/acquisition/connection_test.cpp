// Connecting to the instrument: port search, identification, typed port, factory
// record, disconnect; against the simulated instrument on a manual clock.
#include "acquisition/connection.h"

#include <gtest/gtest.h>

#include <atomic>

#include "acquisition/factory_record.h"
#include "fake_instrument.h"
#include "platform/shutdown.h"
#include "run_fixture.h"

namespace {

// Scripted identification answers by try (empty: silence); then the instrument's own.
struct IdScript {
  std::atomic<int> count{0};
  std::vector<std::string> replies;
  sim::SimServer::Intercept Make() {
    return [this](const std::array<uint8_t, 5>& f, std::string& reply) {
      const size_t n = f[2] == 0x00 ? size_t(count++) : replies.size();
      return n < replies.size() && (reply = replies[n], true);
    };
  }
};

class ConnectionTest : public acqtest::RunFixture<acqtest::FakeInstrument> {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    devlink::SetInstrumentPort(0);
    std::filesystem::create_directories(folder_ / "ports");
  }
  void TearDown() override {
    devlink::CommCloseAll();
    devlink::SetInstrumentPort(0);
    RunFixture::TearDown();
  }
  std::unique_ptr<testsupport::SimHarness> StartSim(int com) {
    return std::make_unique<testsupport::SimHarness>(com, folder_.path());
  }
  acquisition::InstrumentConnection connection_{&view_};
};

TEST_F(ConnectionTest, ThePortSearchFromTheConfiguredPort) {
  struct Case {
    int configured, instrument;
    std::vector<int> opened;  // the "Opening Port [n]" captions
    int menu;                 // the checked COM menu item
  } cases[] = {
      {4, 4, {4}, 4},  // at once: no "Connected on" caption, config.dat not written
      {3, 12, {3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 12},
      {16, 16, {16}, 0},  // no menu item for port 16
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.configured);
    storage::ResetSharedState();
    view_.log.clear();
    auto sim = StartSim(c.instrument);
    (*sim)->SetSerialNumber(123);
    (*sim)->SetFactoryRecord(sim::InstrumentModel::EncodeFactoryRecord(-1.2, 0.25, 6, 24));
    auto& s = storage::Shared();
    s.Serial_COM = int16_t(c.configured);
    connection_.Connect(false);
    EXPECT_TRUE(s.Connected);
    EXPECT_EQ(s.Serial_COM, c.instrument);
    EXPECT_EQ(s.Serial_Number, 123);
    EXPECT_EQ(devlink::InstrumentPort(), c.instrument);
    EXPECT_DOUBLE_EQ(s.Temp_Offset, -1.2);
    EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.25);
    std::vector<std::string> progress = {"STARTING....."};
    for (int port : c.opened) progress.push_back("Opening Port [" + std::to_string(port) + "]");
    const std::string found = "Connected on COM[ " + std::to_string(c.instrument) + " ]";
    if (c.opened.size() > 1) progress.push_back(found);
    progress.push_back("Reading Factory Calibration...");
    EXPECT_EQ(view_.With("progress:"), progress);
    EXPECT_EQ(view_.With("news:").size(), c.opened.size() > 1 ? 1u : 0u);
    EXPECT_EQ(view_.With("menu:"), std::vector<std::string>{std::to_string(c.menu)});
    EXPECT_TRUE(view_.Logged("heading:CONNECTING:"));
    EXPECT_EQ(view_.log.back(), "hide");
    // The first frame on the wire is the identification.
    EXPECT_EQ((*sim)->Received().substr(0, 5), std::string("\xFF\x00\x00\x00\xF0", 5));
    devlink::CommCloseAll();
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ / "config.dat"));
  EXPECT_TRUE(dialogs_.log().empty());
}

TEST_F(ConnectionTest, TheTypedPortAfterAFailedSearch) {
  struct Case {
    std::string answer;
    bool message;  // "Invalid Port Number. Offline Mode"
    bool answers;  // the instrument identifies on the typed port
  } cases[] = {{"", false, false},    {"16", false, false}, {"0", false, false},
               {"abc", false, false}, {"4x", false, false}, {"99999", false, false},
               {"9", true, false},    {"4", true, false},   {" 4 ", false, true}};
  auto sim = StartSim(4);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    storage::ResetSharedState();
    storage::Shared().Serial_COM = 4;
    // The configured port and the search's two tries fail; the typed port's tries answer.
    IdScript script;
    script.replies.assign(c.answers ? 3 : 99, std::string("\x00\x05", 2));
    (*sim)->SetIntercept(script.Make());
    testsupport::ScriptedDialogs dialogs;
    dialogs.AnswerInput(c.answer);
    if (c.message) dialogs.ExpectOk();
    if (!c.answers) dialogs.ExpectOk();  // PORT NOT FOUND
    connection_.Connect(false);
    EXPECT_EQ(dialogs.log()[0],
              "COM(15) PORT ERROR. Type New Port number or <Enter> to go Offline");
    EXPECT_EQ(storage::Shared().Offline_Mode, !c.answers);
    EXPECT_EQ(storage::Shared().Connected, c.answers);
    EXPECT_EQ(devlink::CommIsOpen(4), c.answers);
    EXPECT_TRUE(dialogs.Exhausted());
    if (c.message) {
      EXPECT_EQ(dialogs.log()[1], "Invalid Port Number. Offline Mode");
    }
    devlink::CommCloseAll();
  }
  EXPECT_TRUE(view_.Logged("start-window"));
  EXPECT_TRUE(view_.Logged("progress:Equipment not found"));
  // The typed port that opens is kept for the next start.
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "config.dat"),
            "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n"
            "1,1,4,0\r\n");
}

TEST_F(ConnectionTest, ReconnectDisconnectAndTheUnattendedStart) {
  auto sim = StartSim(4);
  auto& s = storage::Shared();
  s.Serial_COM = 4;
  connection_.Connect(true);
  EXPECT_TRUE(view_.Logged("arm"));
  connection_.Connect(false);  // again while connected: the same port reopened
  EXPECT_TRUE(s.Connected && devlink::CommIsOpen(4));
  EXPECT_TRUE(dialogs_.log().empty());

  // During a run neither a disconnect nor a connect pulls the port from under it.
  s.Serial_COM = 7;  // and the COM menu moved meanwhile
  s.Acq_State = 1;
  const auto shown = view_.log.size();
  EXPECT_EQ(connection_.Disconnect(), acquisition::DisconnectResult::kRefusedRunning);
  EXPECT_FALSE(connection_.Connect(false));
  EXPECT_TRUE(s.Connected && devlink::CommIsOpen(4));
  EXPECT_EQ(devlink::InstrumentPort(), 4);
  EXPECT_EQ(view_.log.size(), shown);
  s.Acq_State = 0;
  EXPECT_EQ(connection_.Disconnect(), acquisition::DisconnectResult::kClosed);
  EXPECT_FALSE(s.Connected || devlink::CommIsOpen(4));
  s.Offline_Mode = true;
  EXPECT_EQ(connection_.Disconnect(), acquisition::DisconnectResult::kOffline);
}

TEST_F(ConnectionTest, AnUnattendedStartSearchesEveryFiveSecondsForTenMinutes) {
  auto& s = storage::Shared();
  s.Serial_COM = 4;
  // The instrument's adapter comes back during the second wait.
  std::unique_ptr<testsupport::SimHarness> sim;
  view_.on_yield = [&](int) {
    if (!sim && clock_.MonotonicMs() > 12000) sim = StartSim(4);
  };
  connection_.Connect(true);
  EXPECT_TRUE(s.Connected);
  EXPECT_EQ(view_.With("progress:Instrument not found"),
            (std::vector<std::string>{" (attempt 1): searching again in 5 s",
                                      " (attempt 2): searching again in 5 s"}));
  EXPECT_TRUE(dialogs_.log().empty());
  EXPECT_TRUE(view_.Logged("arm"));
  sim.reset();
  devlink::CommCloseAll();

  // No instrument at all: after ten minutes the port box, then offline, still armed.
  view_.log.clear();
  view_.on_yield = nullptr;
  const int64_t start = clock_.MonotonicMs();
  dialogs_.AnswerInput("").ExpectOk();
  connection_.Connect(true);
  EXPECT_TRUE(s.Offline_Mode);
  EXPECT_GT(clock_.MonotonicMs() - start, acquisition::kUnattendedSearchMs - 10000);
  EXPECT_LE(clock_.MonotonicMs() - start, acquisition::kUnattendedSearchMs);
  EXPECT_EQ(dialogs_.log().back(), "PORT NOT FOUND");
  EXPECT_TRUE(view_.Logged("arm"));

  // A termination request during the second wait ends the search without a box.
  view_.log.clear();
  view_.on_yield = [&](int) {
    if (view_.With("progress:Instrument not found").size() == 2) platform::RequestShutdown();
  };
  connection_.Connect(true);
  platform::ResetShutdown();
  EXPECT_FALSE(view_.Logged("arm") || s.Connected);
  EXPECT_EQ(dialogs_.log().size(), 2u);
}

// ---- The factory record ----

TEST(FactoryRecord, ChecksAndDefaults) {
  storage::ResetSharedState();
  auto& s = storage::Shared();
  struct Case {
    acquisition::FactoryBytes b;
    const char* why;
    double offset = 0.0, slope = 0.219;  // the defaults unless every check passes
  } cases[] = {
      {{0, 6, 24, 1, 12, 250, 0, 9}, "offset -1.2, slope 0.25", -1.2, 0.25},
      {{0, 1, 0, 1, 100, 200, 0, 0}, "offset -10.0 is still accepted", -10.0, 0.2},
      {{0, 1, 0, 1, 101, 200, 0, 0}, "offset -10.1"},
      {{0, 6, 24, 0, 5, 0, 1, 0}, "slope low byte 0"},
      {{0, 6, 24, 0, 5, 99, 0, 0}, "slope 0.099"},
      {{0, 6, 24, 0, 5, 195, 1, 0}, "slope 0.451"},
      {{0, 6, 24, 0, 5, 200, 128, 0}, "high byte 128"},
      {{1, 6, 24, 0, 5, 200, 0, 0}, "marker"},
      {{0, 13, 24, 0, 5, 200, 0, 0}, "month 13"},
      {{0, 6, 100, 0, 5, 200, 0, 0}, "year 100"},
      {{0, 6, 24, 2, 5, 200, 0, 0}, "sign 2"},
      {{0, 6, 24, 0, -1, 200, 0, 0}, "offset unread"},
      {{-1, -1, -1, -1, -1, -1, -1, -1}, "nothing read"},
  };
  for (const auto& c : cases) {
    s.Temp_Offset = 0.0;
    s.Temp_Slope = 0.219;
    acquisition::ApplyFactoryRecord(c.b, s);
    EXPECT_EQ(s.Factory_Calibrated, c.offset != 0.0) << c.why;
    EXPECT_DOUBLE_EQ(s.Temp_Offset, c.offset) << c.why;
    EXPECT_DOUBLE_EQ(s.Temp_Slope, c.slope) << c.why;
  }
  // A blank record fails at the month; year and sign keep their earlier values.
  s.Cal_Year = 19;
  acquisition::ApplyFactoryRecord({255, 255, 255, 255, 255, 255, 255, 255}, s);
  EXPECT_FALSE(s.Factory_Calibrated);
  EXPECT_EQ(s.Cal_Year, 19);
}

TEST_F(ConnectionTest, FactoryRecordNeedsTwoEqualAnswersAndAClosedPortGivesDefaults) {
  auto sim = StartSim(4);
  (*sim)->SetFactoryRecord(sim::InstrumentModel::EncodeFactoryRecord(3.7, 0.3, 11, 25));
  // Address 204 answers 37, 38, then 37, 37; address 201 is silent on its first read;
  // a stray byte comes ahead of the first answer of 202, its last byte left waiting.
  auto reads = std::make_shared<std::array<std::atomic<int>, 256>>();
  auto ids = std::make_shared<std::atomic<int>>(0);
  (*sim)->SetIntercept([reads, ids](const std::array<uint8_t, 5>& f, std::string& reply) {
    if (f[2] == 0x00) ++*ids;
    if (f[2] != 0x20) return false;
    int n = (*reads)[f[3]]++;
    if (f[3] == 204 && n < 4) {
      reply = std::string(1, static_cast<char>(n == 1 ? 38 : 37)) + '\0';
      return true;
    }
    if (f[3] == 201 && n == 0) {
      reply.clear();
      return true;
    }
    if (f[3] == 202 && n == 0) {
      reply = std::string("\x09\x19\x00", 3);
      return true;
    }
    return false;
  });
  auto& s = storage::Shared();
  s.Serial_COM = 4;
  // On a closed port nothing answers: the defaults.
  s.Temp_Offset = 5;
  s.Factory_Calibrated = true;
  acquisition::ReadFactoryCalibration();
  EXPECT_FALSE(s.Factory_Calibrated);
  EXPECT_DOUBLE_EQ(s.Temp_Offset, 0.0);
  EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.219);
  ASSERT_EQ(devlink::CommOpen(4, "COM4", devlink::kInstrumentSettings), 0);
  acquisition::ReadFactoryCalibration();
  EXPECT_TRUE(s.Factory_Calibrated);
  EXPECT_DOUBLE_EQ(s.Temp_Offset, 3.7);
  EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.3);
  EXPECT_EQ(s.Cal_Month, 11);
  EXPECT_EQ(s.Cal_Year, 25);
  EXPECT_EQ((*reads)[202].load(), 4);  // 9 then 25: a second try
  EXPECT_EQ((*reads)[204].load(), 4);
  EXPECT_EQ((*reads)[201].load(), 4);  // the silent try, then a good one
  EXPECT_EQ((*reads)[200].load(), 2);
  EXPECT_EQ(ids->load(), 1);  // after the silent read only
}

}  // namespace
