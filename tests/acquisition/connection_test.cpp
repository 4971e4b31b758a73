// Connecting to the instrument: port search, identification, typed port, factory
// record, disconnect; against the simulated instrument on a manual clock.
#include "acquisition/connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/factory_record.h"
#include "link/comm_port.h"
#include "link/device_io.h"
#include "platform/clock.h"
#include "platform/shutdown.h"
#include "storage/shared_state.h"
#include "support/scripted_dialogs.h"
#include "support/sim_harness.h"
#include "support/temp_folder.h"

namespace {

class ViewLog final : public acquisition::ConnectionView {
 public:
  void ShowProgressFrame() override { log.push_back("frame"); }
  void SetHeading(const std::string& t) override { log.push_back("heading:" + t); }
  void SetProgress(const std::string& t) override { log.push_back("progress:" + t); }
  void HideProgressFrame() override { log.push_back("hide"); }
  void SetStartWindowStatus(const std::string& t) override { log.push_back("news:" + t); }
  void CheckComMenu(int port) override { log.push_back("menu:" + std::to_string(port)); }
  void ShowStartWindow() override { log.push_back("start-window"); }
  void ArmUnattendedStart() override { log.push_back("arm"); }
  void DoEvents() override {
    ++events;
    if (on_events) on_events();
  }
  bool Has(const std::string& e) const { return std::find(log.begin(), log.end(), e) != log.end(); }
  std::vector<std::string> With(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : log)
      if (e.rfind(prefix, 0) == 0) out.push_back(e.substr(prefix.size()));
    return out;
  }
  std::vector<std::string> log;
  int events = 0;
  std::function<void()> on_events;
};

// Identification frames seen, answered by `reply` (empty: the instrument's own answer).
struct IdScript {
  std::atomic<int> count{0};
  std::vector<std::string> replies;  // by try; beyond the end the instrument answers
  sim::SimServer::Intercept Make() {
    return [this](const std::array<uint8_t, 5>& f, std::string& reply) {
      if (f[1] != 0 || f[2] != 0x00) return false;
      size_t n = static_cast<size_t>(count++);
      if (n >= replies.size()) return false;
      reply = replies[n];
      return true;
    };
  }
};

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::ResetSharedState();
    platform::SetClock(&clock_);
    devlink::SetInstrumentPort(0);
    std::filesystem::create_directories(folder_ / "ports");
  }
  void TearDown() override {
    devlink::CommCloseAll();
    devlink::SetInstrumentPort(0);
    platform::SetClock(nullptr);
  }
  std::unique_ptr<testsupport::SimHarness> StartSim(int com) {
    return std::make_unique<testsupport::SimHarness>(com, folder_.path());
  }

  testsupport::TempProgramFolder folder_;
  platform::ManualClock clock_;
  testsupport::ScriptedDialogs dialogs_;
  ViewLog view_;
  acquisition::InstrumentConnection connection_{&view_};
};

TEST_F(ConnectionTest, ConfiguredPortAnswersAtOnce) {
  auto sim = StartSim(4);
  (*sim)->SetSerialNumber(123);
  (*sim)->SetFactoryRecord(sim::InstrumentModel::EncodeFactoryRecord(-1.2, 0.25, 6, 24));
  auto& s = storage::Shared();
  s.Serial_COM = 4;
  connection_.Connect(false);

  EXPECT_TRUE(s.Connected);
  EXPECT_EQ(s.Serial_Number, 123);
  EXPECT_EQ(devlink::InstrumentPort(), 4);
  EXPECT_TRUE(s.Factory_Calibrated);
  EXPECT_DOUBLE_EQ(s.Temp_Offset, -1.2);
  EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.25);
  EXPECT_EQ(view_.With("progress:"), (std::vector<std::string>{"STARTING.....", "Opening Port [4]",
                                                               "Reading Factory Calibration..."}));
  EXPECT_TRUE(view_.Has("heading:CONNECTING:"));
  EXPECT_TRUE(view_.With("news:").empty());  // no "Connected on" caption on the first try
  EXPECT_EQ(view_.With("menu:"), std::vector<std::string>{"4"});
  EXPECT_EQ(view_.log.back(), "hide");
  EXPECT_FALSE(std::filesystem::exists(folder_ / "config.dat"));
  EXPECT_TRUE(dialogs_.log().empty());
  // The first frame on the wire is the identification.
  EXPECT_EQ((*sim)->Received().substr(0, 5), std::string("\xFF\x00\x00\x00\xF0", 5));
}

TEST_F(ConnectionTest, SearchFindsTheInstrumentOnCom12WhenConfigSaysCom3) {
  auto sim = StartSim(12);
  auto& s = storage::Shared();
  s.Serial_COM = 3;
  connection_.Connect(false);

  EXPECT_EQ(s.Serial_COM, 12);
  EXPECT_TRUE(s.Connected);
  EXPECT_EQ(devlink::InstrumentPort(), 12);
  std::vector<std::string> expected = {"STARTING....."};
  expected.push_back("Opening Port [3]");
  for (int p = 1; p <= 12; ++p) expected.push_back("Opening Port [" + std::to_string(p) + "]");
  expected.push_back("Connected on COM[ 12 ]");
  expected.push_back("Reading Factory Calibration...");
  EXPECT_EQ(view_.With("progress:"), expected);
  EXPECT_EQ(view_.With("news:"), std::vector<std::string>{"Status = Connected on COM[ 12 ]"});
  EXPECT_EQ(view_.With("menu:"), std::vector<std::string>{"12"});
  EXPECT_GE(view_.events, 13);
}

TEST_F(ConnectionTest, ForeignIdentificationsAreFailedTriesAndTheSearchGoesOn) {
  // 5, 251, a value beyond 16 bits and a single byte: none is the instrument.
  for (const std::string& bad : {std::string("\x00\x05", 2), std::string("\x00\xFB", 2),
                                 std::string("\xFF\xFF", 2), std::string("\x01", 1)}) {
    storage::ResetSharedState();
    auto sim = StartSim(4);
    IdScript script;
    script.replies = {bad, bad, bad};
    (*sim)->SetIntercept(script.Make());
    storage::Shared().Serial_COM = 4;
    dialogs_.AnswerInput("");
    dialogs_.ExpectOk();
    connection_.Connect(false);
    auto& s = storage::Shared();
    // The configured port once, then twice more when the search reaches it.
    EXPECT_EQ(script.count, 3);
    EXPECT_TRUE(s.Offline_Mode);
    EXPECT_FALSE(s.Connected);
    EXPECT_EQ(s.Serial_Number, 0);
    EXPECT_FALSE(devlink::CommIsOpen(4));
    sim.reset();
  }
  EXPECT_EQ(dialogs_.log()[0], "COM(15) PORT ERROR. Type New Port number or <Enter> to go Offline");
  EXPECT_EQ(dialogs_.log()[1], "PORT NOT FOUND");
  EXPECT_TRUE(view_.Has("start-window"));
  EXPECT_TRUE(view_.Has("menu:15"));
  EXPECT_TRUE(view_.Has("progress:Equipment not found"));
}

TEST_F(ConnectionTest, TypedPortThatAnswersIsSavedAndConnected) {
  auto sim = StartSim(4);
  IdScript script;
  std::string bad("\x00\x05", 2);
  script.replies = {bad, bad, bad};  // the search fails, the typed port then answers
  (*sim)->SetIntercept(script.Make());
  storage::Shared().Serial_COM = 4;
  dialogs_.AnswerInput(" 4 ");
  connection_.Connect(false);
  auto& s = storage::Shared();
  EXPECT_EQ(s.Serial_COM, 4);
  EXPECT_FALSE(s.Offline_Mode);
  EXPECT_TRUE(s.Connected);
  EXPECT_TRUE(devlink::CommIsOpen(4));
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "config.dat"),
            "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n"
            "1,1,4,0\r\n");
}

TEST_F(ConnectionTest, TypedAnswersThatGiveNoInstrument) {
  struct Case {
    std::string answer;
    bool message;  // "Invalid Port Number. Offline Mode"
  } cases[] = {{"", false},   {"16", false},    {"0", false}, {"abc", false},
               {"4x", false}, {"99999", false}, {"9", true},  {"4", true}};
  auto sim = StartSim(4);
  (*sim)->SetSerialNumber(5);  // the instrument on COM4 never identifies
  for (const auto& c : cases) {
    storage::ResetSharedState();
    storage::Shared().Serial_COM = 4;
    testsupport::ScriptedDialogs dialogs;
    dialogs.AnswerInput(c.answer);
    if (c.message) dialogs.ExpectOk();
    dialogs.ExpectOk();  // PORT NOT FOUND
    connection_.Connect(false);
    EXPECT_TRUE(storage::Shared().Offline_Mode) << c.answer;
    EXPECT_FALSE(storage::Shared().Connected) << c.answer;
    EXPECT_FALSE(devlink::CommIsOpen(4)) << c.answer;
    EXPECT_EQ(dialogs.log().size(), c.message ? 3u : 2u) << c.answer;
    if (c.message) {
      EXPECT_EQ(dialogs.log()[1], "Invalid Port Number. Offline Mode");
    }
    EXPECT_TRUE(dialogs.Exhausted()) << c.answer;
  }
}

TEST_F(ConnectionTest, ReconnectDisconnectAndTheUnattendedStart) {
  auto sim = StartSim(4);
  auto& s = storage::Shared();
  s.Serial_COM = 4;
  connection_.Connect(true);
  EXPECT_TRUE(s.Connected);
  EXPECT_TRUE(view_.Has("arm"));

  // Connecting again while connected reopens the same port.
  connection_.Connect(false);
  EXPECT_TRUE(s.Connected);
  EXPECT_TRUE(devlink::CommIsOpen(4));
  EXPECT_TRUE(dialogs_.log().empty());

  // The COM menu moved meanwhile: disconnect still closes the port in use.
  s.Serial_COM = 7;
  s.Acq_State = 1;
  EXPECT_EQ(connection_.Disconnect(), acquisition::DisconnectResult::kRefusedRunning);
  EXPECT_TRUE(devlink::CommIsOpen(4));
  // Nor does a connect pull the port from under the run.
  const auto shown = view_.log.size();
  EXPECT_FALSE(connection_.Connect(false));
  EXPECT_TRUE(devlink::CommIsOpen(4));
  EXPECT_EQ(devlink::InstrumentPort(), 4);
  EXPECT_TRUE(s.Connected);
  EXPECT_EQ(view_.log.size(), shown);
  s.Acq_State = 0;
  EXPECT_EQ(connection_.Disconnect(), acquisition::DisconnectResult::kClosed);
  EXPECT_FALSE(devlink::CommIsOpen(4));
  EXPECT_FALSE(s.Connected);

  s.Offline_Mode = true;
  EXPECT_EQ(connection_.Disconnect(), acquisition::DisconnectResult::kOffline);
}

TEST_F(ConnectionTest, AnUnattendedStartSearchesEveryFiveSecondsForTenMinutes) {
  auto& s = storage::Shared();
  s.Serial_COM = 4;
  // The instrument's adapter comes back during the second wait.
  std::unique_ptr<testsupport::SimHarness> sim;
  view_.on_events = [&] {
    if (!sim && clock_.MonotonicMs() > 12000) sim = StartSim(4);
  };
  connection_.Connect(true);
  EXPECT_TRUE(s.Connected);
  EXPECT_EQ(view_.With("progress:Instrument not found"),
            (std::vector<std::string>{" (attempt 1): searching again in 5 s",
                                      " (attempt 2): searching again in 5 s"}));
  EXPECT_TRUE(dialogs_.log().empty());
  EXPECT_TRUE(view_.Has("arm"));
  sim.reset();
  devlink::CommCloseAll();

  // No instrument at all: after ten minutes the port box, then offline, still armed.
  view_.log.clear();
  view_.on_events = nullptr;
  const int64_t start = clock_.MonotonicMs();
  dialogs_.AnswerInput("").ExpectOk();
  connection_.Connect(true);
  EXPECT_TRUE(s.Offline_Mode);
  EXPECT_GT(clock_.MonotonicMs() - start, acquisition::kUnattendedSearchMs - 10000);
  EXPECT_LE(clock_.MonotonicMs() - start, acquisition::kUnattendedSearchMs);
  EXPECT_EQ(dialogs_.log().back(), "PORT NOT FOUND");
  EXPECT_TRUE(view_.Has("arm"));

  // A termination request during a wait ends the search without a box.
  view_.log.clear();
  view_.on_events = [&] {
    if (clock_.MonotonicMs() - start > acquisition::kUnattendedSearchMs + 8000)
      platform::RequestShutdown();
  };
  connection_.Connect(true);
  platform::ResetShutdown();
  EXPECT_EQ(view_.With("progress:Instrument not found").size(), 2u);
  EXPECT_FALSE(view_.Has("arm"));
  EXPECT_FALSE(s.Connected);
  EXPECT_EQ(dialogs_.log().size(), 2u);
}

TEST_F(ConnectionTest, Port16ChecksNoMenuItem) {
  auto sim = StartSim(16);
  storage::Shared().Serial_COM = 16;
  connection_.Connect(false);
  EXPECT_TRUE(storage::Shared().Connected);
  EXPECT_EQ(view_.With("menu:"), std::vector<std::string>{"0"});
}

// ---- The factory record ----

TEST(FactoryRecord, ChecksAndDefaults) {
  storage::ResetSharedState();
  auto& s = storage::Shared();
  auto apply = [&](acquisition::FactoryBytes b) {
    s.Temp_Offset = 0.0;
    s.Temp_Slope = 0.219;
    acquisition::ApplyFactoryRecord(b, s);
  };

  apply({0, 6, 24, 1, 12, 250, 0, 9});
  EXPECT_TRUE(s.Factory_Calibrated);
  EXPECT_DOUBLE_EQ(s.Temp_Offset, -1.2);
  EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.25);
  EXPECT_EQ(s.Cal_Month * 100 + s.Cal_Year, 624);
  apply({0, 1, 0, 1, 100, 200, 0, 0});  // -10.0 is still accepted
  EXPECT_TRUE(s.Factory_Calibrated);
  EXPECT_DOUBLE_EQ(s.Temp_Offset, -10.0);
  EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.2);

  // A blank record fails at the month; year and sign keep their earlier values.
  s.Cal_Year = 19;
  apply({255, 255, 255, 255, 255, 255, 255, 255});
  EXPECT_EQ(s.Cal_Year, 19);
  struct Bad {
    acquisition::FactoryBytes b;
    const char* why;
  } bad[] = {
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
      {{255, 255, 255, 255, 255, 255, 255, 255}, "blank"},
  };
  for (const auto& c : bad) {
    apply(c.b);
    EXPECT_FALSE(s.Factory_Calibrated) << c.why;
    EXPECT_DOUBLE_EQ(s.Temp_Offset, 0.0) << c.why;
    EXPECT_DOUBLE_EQ(s.Temp_Slope, 0.219) << c.why;
  }
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
