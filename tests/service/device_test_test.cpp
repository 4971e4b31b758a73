// The device test step by step against the simulated instrument: a perfect one, one
// with a dark and a stuck-bright beam, the frames of the gain/power 2 steps, and the
// early stops (a short block, No, Cancel, a failed write, an unwritable file).
#include "service/device_test.h"

#include <gtest/gtest.h>

#include <regex>

#include "service_fixture.h"
#include "storage/file_io.h"

namespace servicetest {
namespace {

class RecordingTestView final : public service::DeviceTestView {
 public:
  void EnableTestTimer(bool on) override { timer = on; }
  void DrawTestPlateGrid() override { log.push_back("grid"); }
  void DrawTestChannelLevels(const service::TestLevels&) override { ++level_draws; }
  void DrawTestProgress(double x) override { progress = x; }
  void ClearTestProgress() override { progress = 0; }
  void SetTestLabel(const std::string& text) override { labels.push_back(text); }
  void ShowDoorHint(bool show) override { door_hint = show; }
  void RestoreActivityPicture() override { log.push_back("restore"); }

  bool timer = false;
  bool door_hint = false;
  int level_draws = 0;
  double progress = -1;
  std::vector<std::string> labels, log;
};

class DeviceTestTest : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    Sim().SetReplyMode(sim::ReplyMode::kBlock);
    Model([](sim::InstrumentModel& m) { m.SetAnimalsPresent(false); });
  }
  void Begin() {
    dialogs_.AnswerOk();
    test_.mnstatustest_Click();
  }
  // Ticks while the timer runs, until the test reaches `step` (at most).
  void TicksTo(int step) {
    while (view_.timer && test_.Test_Step() < step) test_.Tick();
  }
  // The four boxes of a whole test: the prompt, steps 1 and 2, step 3's question.
  void ScriptWholeTest() { dialogs_.AnswerOk().ExpectOk().ExpectOk().AnswerYes(); }
  bool AllChannelsAt(int setting) {
    bool all = true;
    Model([&](sim::InstrumentModel& m) {
      for (int ch = 0; ch < 384; ++ch) all = all && m.channel_setting(ch) == setting;
    });
    return all;
  }
  std::vector<std::string> FileLines() {
    return storage::SplitLines(testsupport::ReadBytes(test_.Test_File()));
  }
  bool Labelled(const std::string& text) const {
    return std::find(view_.labels.begin(), view_.labels.end(), text) != view_.labels.end();
  }

  RecordingTestView view_;
  service::DeviceTest test_{io_, view_};
};

TEST_F(DeviceTestTest, APerfectInstrumentPassesEverythingAndEndsAtGainPower2) {
  ScriptWholeTest();
  test_.mnstatustest_Click();
  EXPECT_EQ(view_.log, std::vector<std::string>{"grid"});
  EXPECT_TRUE(view_.door_hint);
  EXPECT_EQ(view_.labels.front(), "SN77");
  EXPECT_EQ(test_.Test_File(), (folder_ / "testdev77.txt").string());

  TicksTo(80);
  Sim().ClearReceived();
  TicksTo(96);
  // Steps 80..95 write from both ends; channel 200 goes out as FF 81 48 42 F0.
  EXPECT_EQ(Count(Frame(0x48, 0x42, 0x81)), 9);
  std::string writes;
  const std::string wire = Sim().Received();
  for (size_t i = 0; i + 4 < wire.size(); ++i)
    if (uint8_t(wire[i]) == 0xFF && (uint8_t(wire[i + 1]) & 0x80) && uint8_t(wire[i + 4]) == 0xF0)
      writes += wire.substr(i, 5);
  const std::string first_writes = Repeat(Frame(0, 66, 0x80), 9) + Repeat(Frame(255, 66, 0x81), 9) +
                                   Repeat(Frame(16, 66, 0x80), 9);
  EXPECT_EQ(writes.substr(0, first_writes.size()), first_writes);
  EXPECT_EQ(writes.size(), 16u * 24 * 9 * 5);
  EXPECT_TRUE(AllChannelsAt(66));

  // Nothing can open the test file here: the box says where it is.
  launcher_.refuse = true;
  dialogs_.ExpectOk();
  TicksTo(200);
  EXPECT_TRUE(dialogs_.Exhausted());
  ASSERT_EQ(dialogs_.log().size(), 5u);
  EXPECT_EQ(dialogs_.log().back(),
            "No program could open the test file. It is saved as:\r\n" + test_.Test_File());
  EXPECT_FALSE(view_.timer);
  EXPECT_FALSE(view_.door_hint);
  EXPECT_EQ(view_.labels.back(),
            "T = __ \xC2\xB0"
            "C");
  EXPECT_EQ(view_.log.back(), "restore");
  EXPECT_NEAR(view_.progress, 110 * 0.83, 1e-9);
  EXPECT_EQ(view_.level_draws, 111);
  EXPECT_EQ(launcher_.calls, std::vector<std::string>{"shell: explorer " + test_.Test_File()});
  for (const char* label :
       {"[ON ALL]", "[Test100%=PASS!]", "[OFF ALL]", "[Test0%=PASS!]", "[1 COLUMN]",
        "Col[24]: PASS!", "[1 ROW]", "Row[P]: PASS!", "[GAIN/POWER=2]"})
    EXPECT_TRUE(Labelled(label)) << label;

  std::vector<std::string> want = {"Serial:SN77 2026-03-14_10:05",   "", "Test_all_100%: OK PASS!",
                                   "Number of Channels > 80% = 384", "", "Test_all_0%: OK PASS!",
                                   "Number of Channels < 20% = 384", "", "Test_24_Columns:"};
  for (int c = 1; c <= 24; ++c) want.push_back("Col[" + std::to_string(c) + "]: PASS!");
  want.insert(want.end(), {"", "Test_16_Rows:"});
  for (char r = 'A'; r <= 'P'; ++r) want.push_back(std::string("Row[") + r + "]: PASS!");
  want.insert(want.end(), {"", "Gain/Power[2] Values:"});
  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 437u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 53), want);
  const std::regex level_line(R"(CH\[(\d+)\] (\d+)%)");
  for (int ch = 0; ch < 384; ++ch) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[53 + ch], m, level_line)) << lines[53 + ch];
    EXPECT_EQ(m[1], std::to_string(ch));
  }
  EXPECT_EQ(testsupport::ReadBytes(test_.Test_File()).substr(0, 32),
            "Serial:SN77 2026-03-14_10:05\r\n\r\n");
}

TEST_F(DeviceTestTest, DarkAndStuckBeamsGiveTheirNonPassLines) {
  Model([](sim::InstrumentModel& m) {
    m.SetBeamFault(37, sim::BeamFault::kDark);
    m.SetBeamFault(200, sim::BeamFault::kStuckBright);
  });
  ScriptWholeTest();
  test_.mnstatustest_Click();
  TicksTo(200);
  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 1u + 4 + 4 + 2 + 24 + 2 + 16 + 2 + 384);
  const std::string stuck = "359CH < 20% (NONOK:CH200[199%], )";
  const std::pair<int, std::string> want[] = {
      {2, "Test_all_100%:  NEEDS REVISION!"},
      {3, "Number of Channels > 80% = 383"},
      {4, "Channels < 80%: CH37[1%], "},
      {6, "Test_all_0%:  NEEDS REVISION!"},
      {7, "Number of Channels < 20% = 383"},
      {8, "Channels > 20%: CH200[199%], "},
      {11, "Col[1]: NONPASS 16CH > 80% (NONOK:); 367CH < 20% (NONOK:CH200[199%], )"},
      {13, "Col[3]: NONPASS 15CH > 80% (NONOK:CH37[1%], ); 367CH < 20% (NONOK:CH200[199%], )"},
      {23, "Col[13]: PASS!"},
      {37, "Row[A]: NONPASS 24CH > 80% (NONOK:); " + stuck},
      {42, "Row[F]: NONPASS 23CH > 80% (NONOK:CH37[1%], ); " + stuck},
      {45, "Row[I]: PASS!"},
      {55 + 37, "CH[37] 1%"},
      {55 + 200, "CH[200] 199%"},
  };
  for (const auto& [index, line] : want) EXPECT_EQ(lines[index], line) << index;
  EXPECT_TRUE(Labelled("[Test100%= CHECK!]"));
  EXPECT_TRUE(Labelled("[Test0%= CHECK!]"));
  EXPECT_TRUE(Labelled("Col[3]: CHECK!"));
}

TEST_F(DeviceTestTest, EarlyStopsGiveGainPower2Back) {
  struct Case {
    const char* name;
    bool answer_no;  // No at "OK to proceed?"; otherwise a 191-byte block at step 6
    int stop_step;
    const char* last_box;
  };
  for (const Case c :
       {Case{"no", true, 4, "OK to proceed?"}, Case{"short block", false, 6, "COM Error"}}) {
    SCOPED_TRACE(c.name);
    dialogs_.AnswerOk().ExpectOk().ExpectOk();
    c.answer_no ? dialogs_.AnswerNo() : dialogs_.AnswerYes();
    test_.mnstatustest_Click();
    TicksTo(6);  // rows A and B switched on
    if (!c.answer_no) {
      Sim().SetFault(sim::Fault::kShortReply, 1);
      dialogs_.ExpectOk();
      test_.Tick();
    }
    EXPECT_EQ(dialogs_.log().back(), c.last_box);
    EXPECT_EQ(test_.Test_Step(), c.stop_step);  // a failed read does not advance
    EXPECT_FALSE(view_.timer);
    EXPECT_TRUE(view_.door_hint);  // left as it stands
    EXPECT_TRUE(AllChannelsAt(66));
    EXPECT_TRUE(dialogs_.Exhausted());
  }
}

// The instrument's port that falls silent on demand: from then on every exchange fails
// at once, and what the program still tries is counted.
class SilenceableIo final : public acquisition::InstrumentIo {
 public:
  explicit SilenceableIo(acquisition::InstrumentIo& port) : port_(port) {}
  void Flush() override { port_.Flush(); }
  int DiscardInput(int wait_us) override { return silent ? 0 : port_.DiscardInput(wait_us); }
  int Write(const std::string& bytes) override {
    return silent ? static_cast<int>(bytes.size()) : port_.Write(bytes);
  }
  int Read(std::string& data, int count) override {
    data.clear();
    return silent ? 0 : port_.Read(data, count);
  }
  bool DeviceWrite(int reg, int value, int mode) override {
    return silent ? false : port_.DeviceWrite(reg, value, mode);
  }
  int DeviceQuery(int reg, int value, int mode) override {
    if (!silent) return port_.DeviceQuery(reg, value, mode);
    ++queries_while_silent;
    if (mode & devlink::ModeWrite) ++writes_while_silent;
    return -1;
  }
  bool silent = false;
  int queries_while_silent = 0;
  int writes_while_silent = 0;

 private:
  acquisition::InstrumentIo& port_;
};

TEST_F(DeviceTestTest, AnInstrumentFallenSilentIsAskedOnceAndNotWritten) {
  SilenceableIo port(io_);
  service::DeviceTest test(port, view_);
  dialogs_.AnswerOk().ExpectOk().ExpectOk().AnswerYes();
  test.mnstatustest_Click();
  while (view_.timer && test.Test_Step() < 6) test.Tick();  // rows A and B switched on
  port.silent = true;
  dialogs_.ExpectOk();
  const int64_t t0 = clock_.MonotonicMs();
  test.Tick();
  EXPECT_EQ(dialogs_.log().back(), "COM Error");
  EXPECT_FALSE(view_.timer);
  // One question tells the instrument is gone; no channel write is tried after it.
  EXPECT_EQ(port.queries_while_silent, 1);
  EXPECT_EQ(port.writes_while_silent, 0);
  EXPECT_EQ(clock_.MonotonicMs() - t0, 100);  // the pause between the two level reads
}

TEST_F(DeviceTestTest, CancelCreatesNoFileAndRefusalsComeFirst) {
  dialogs_.AnswerCancel();
  test_.mnstatustest_Click();
  EXPECT_FALSE(view_.timer);
  EXPECT_EQ(view_.log, std::vector<std::string>{"restore"});
  EXPECT_FALSE(std::filesystem::exists(folder_ / "testdev77.txt"));
  EXPECT_EQ(Sim().FrameCount(), 0);

  auto& s = storage::Shared();
  struct Case {
    int acq_state;
    bool offline;
    const char* message;
  };
  for (const Case c :
       {Case{1, false, service::kTestDuringRun}, Case{2, false, service::kTestDuringRun},
        Case{0, true, service::kTestOffline}}) {
    s.Acq_State = int16_t(c.acq_state);
    s.Offline_Mode = c.offline;
    dialogs_.ExpectOk();
    test_.mnstatustest_Click();
    EXPECT_EQ(dialogs_.log().back(), c.message);
  }
  EXPECT_TRUE(dialogs_.Exhausted());
  EXPECT_EQ(Sim().FrameCount(), 0);
}

TEST_F(DeviceTestTest, AFailedWriteFinishesInTheSameTickWithTheVerdictsSoFar) {
  ScriptWholeTest();
  test_.mnstatustest_Click();
  TicksTo(45);
  // From now on channel 96 (column 7) is never echoed: step 45 switches it off.
  Sim().SetIntercept([](const std::array<uint8_t, 5>& f, std::string& reply) {
    if (f[1] != 0x80 || f[2] != 96) return false;
    reply = std::string(2, '\x01');
    return true;
  });
  dialogs_.ExpectOk();
  test_.Tick();
  EXPECT_EQ(dialogs_.log().back(), "Ops...Data Writing ERROR: reg(96)... Check COM and Try again");
  EXPECT_FALSE(view_.timer);
  EXPECT_EQ(view_.labels.back(),
            "T = __ \xC2\xB0"
            "C");
  EXPECT_EQ(view_.log.back(), "restore");
  const auto lines = FileLines();
  ASSERT_EQ(lines.size(), 1u + 3 + 3 + 2 + 7);
  EXPECT_EQ(lines.back(), "Col[7]: PASS!");
  EXPECT_TRUE(launcher_.calls.empty());
}

TEST_F(DeviceTestTest, AnUnwritableFileIsReportedOnceAndTheTestGoesOn) {
  std::filesystem::create_directory(folder_ / "testdev77.txt");
  dialogs_.AnswerOk().ExpectOk().ExpectOk().ExpectOk().AnswerYes();
  test_.mnstatustest_Click();
  TicksTo(39);
  EXPECT_EQ(dialogs_.log()[1], "The test file could not be written: " + test_.Test_File());
  EXPECT_TRUE(dialogs_.Exhausted());
  EXPECT_EQ(test_.Test_Step(), 39);
  EXPECT_TRUE(view_.timer);
}

}  // namespace
}  // namespace servicetest
