#include "acquisition/run_engine.h"

#include <gtest/gtest.h>

#include "acquisition/run_files.h"
#include "fake_instrument.h"
#include "platform/shutdown.h"
#include "run_fixture.h"
#include "storage/plate_layout.h"
#include "storage/project_folders.h"
#include "support/temp_folder.h"

namespace acqtest {
namespace {

using acquisition::StartResult;
namespace fs = std::filesystem;

class RunEngineTest : public RunFixture<FakeInstrument> {};

TEST_F(RunEngineTest, StartMakesTheRunFolderWithSettingsAndPreparesTheInstrument) {
  engine_.controls.Auto_Run = false;
  engine_.controls.Txt_description = "line one\nwith \"quotes\"";
  storage::Shared().RT_Buffer = 400;  // the setup's value; a run's bin is 500 samples
  dialogs_.AnswerInput("Larvae \"A\"\nday 2");
  Start();
  EXPECT_EQ(engine_.state.Run_Folder, "20260314_1005");
  const fs::path run = project_ / "20260314_1005";
  // The name loses its line break, the description keeps it as CR LF.
  EXPECT_EQ(testsupport::ReadBytes(run / "subproj.dat"),
            "\"Larvae Aday 2\"\r\n\"line one\r\nwith quotes\"\r\n");
  const std::string setup = testsupport::ReadBytes(run / "setup.dat");
  EXPECT_NE(setup.find("\r\n1,30,99,500,"), std::string::npos) << setup;
  EXPECT_EQ(storage::Shared().RT_Buffer, 400);
  EXPECT_TRUE(engine_.TimerEnabled());
  // The prompt warns about the blank when the calibrations are not both ticked.
  ASSERT_FALSE(dialogs_.log().empty());
  EXPECT_NE(dialogs_.log()[0].find("> Auto Calibration is OFF: Remember to read Blank."),
            std::string::npos);
  // Plate type twice (0 for a 384 plate), after the temperature query.
  EXPECT_EQ(io_.CountFrames(0x4A), 2);
  EXPECT_EQ(io_.frames.back(), FakeInstrument::Frame(0x4A, 0, 0));
  EXPECT_EQ(io_.CountFrames(0x21), 1);
  EXPECT_EQ(storage::Shared().Temp_Text, "21.9");  // 100 x 0.219 + 0.0
}

TEST_F(RunEngineTest, StartRefusals) {
  auto& sh = storage::Shared();
  engine_.controls.Auto_Run = false;
  dialogs_.CancelInput().ExpectOk();
  EXPECT_EQ(engine_.Start(), StartResult::kNoName);
  EXPECT_EQ(dialogs_.log().back(), "Each Experiment Requires a name");

  engine_.controls.Auto_Run = true;
  sh.Actual_Project_Number = 0;
  dialogs_.ExpectOk();
  EXPECT_EQ(engine_.Start(), StartResult::kDefaultProject);
  EXPECT_EQ(dialogs_.log().back(),
            "Operation not allowed in Project #0:Default. Go to <Setup> and Save it with another "
            "name");
  EXPECT_TRUE(view_.Logged("setup"));

  sh.Actual_Project_Number = 1;
  sh.Offline_Mode = true;
  dialogs_.ExpectOk();
  EXPECT_EQ(engine_.Start(), StartResult::kOffline);
  EXPECT_EQ(dialogs_.log().back(),
            "Acquisition not allowed in OFFLINE MODE. Connect the equipment and restart the "
            "program.");

  sh.Offline_Mode = false;
  sh.Aq_lapse = 0;
  dialogs_.ExpectOk();
  EXPECT_EQ(engine_.Start(), StartResult::kBadLapse);

  sh.Aq_lapse = 30;
  sh.Project_Path = (folder_ / "p00009").string();  // vanished
  dialogs_.ExpectOk();
  EXPECT_EQ(engine_.Start(), StartResult::kFolderFailed);
  EXPECT_EQ(sh.Acq_State, 0);
  EXPECT_FALSE(engine_.TimerEnabled());
  EXPECT_TRUE(dialogs_.Exhausted());
}

TEST_F(RunEngineTest, SecondStartInTheSameMinuteIsRefused) {
  Start();
  Ticks(3);
  engine_.Stop();
  EXPECT_FALSE(engine_.controls.Auto_Run);
  clock_.Advance(20000);
  dialogs_.AnswerInput("again").ExpectOk();
  EXPECT_EQ(engine_.Start(), StartResult::kSameMinute);
  EXPECT_NE(dialogs_.log().back().find("20260314_1005"), std::string::npos);
  EXPECT_EQ(storage::Shared().Acq_State, 0);
}

TEST_F(RunEngineTest, UnattendedStartInTheSameMinuteWaitsForTheNextOne) {
  // The automatic restart can come within the minute its run started: the new start
  // must record, in a folder of its own, without a box nobody answers.
  Start();
  Ticks(600);
  engine_.Stop();
  const auto first_counts = testsupport::ReadBytes(project_ / "20260314_1005" / "counts.bin");
  ASSERT_EQ(first_counts.size(), acquisition::kCountsRecordBytes);
  clock_.Advance(20000);
  engine_.controls.Auto_Run = true;
  Start();
  EXPECT_EQ(engine_.state.Run_Folder, "20260314_1006");
  EXPECT_TRUE(engine_.TimerEnabled());
  Ticks(600);
  EXPECT_EQ(testsupport::ReadBytes(project_ / "20260314_1005" / "counts.bin"), first_counts);
  EXPECT_EQ(fs::file_size(project_ / "20260314_1006" / "counts.bin"),
            acquisition::kCountsRecordBytes);
  EXPECT_TRUE(dialogs_.log().empty());

  // A termination request during the wait ends it at once, and no folder is made.
  struct SignalOnThirdSleep final : platform::Clock {
    explicit SignalOnThirdSleep(platform::ManualClock& c) : inner(c) {}
    platform::WallTime Now() const override { return inner.Now(); }
    int64_t MonotonicMs() const override { return inner.MonotonicMs(); }
    void Sleep(int64_t ms) override {
      inner.Sleep(ms);
      if (++sleeps == 3) platform::RequestShutdown();
    }
    platform::ManualClock& inner;
    int sleeps = 0;
  } signalling(clock_);
  engine_.Stop();
  platform::SetClock(&signalling);
  engine_.controls.Auto_Run = true;
  EXPECT_EQ(engine_.Start(), StartResult::kShutdown);
  platform::ResetShutdown();
  platform::SetClock(&clock_);
  EXPECT_EQ(signalling.sleeps, 3);
  EXPECT_EQ(storage::ListRunFolders(project_).size(), 2u);
}

TEST_F(RunEngineTest, DiskSpaceEstimateUsesTheRecordSizes) {
  auto& sh = storage::Shared();
  engine_.controls.Auto_Run = false;
  sh.Aq_lapse = 3000;
  // 3000 min x 4 bins x (385,770 + 774) bytes = 4424 MB, over 1000: always asked.
  dialogs_.AnswerInput("big").AnswerNo();
  EXPECT_EQ(engine_.Start(), StartResult::kDiskDeclined);
  const std::string q = dialogs_.log().back();
  EXPECT_EQ(q.rfind("WARNING:\r\nProgrammed Acquisition lapse = 3000minutes & "
                    "RealTime_recording=YES\r\nRequired Disk space for RealTime Saving = 4424MB\r\n"
                    "Current Disk Space=",
                    0),
            0u)
      << q;
  EXPECT_EQ(q.substr(q.size() - 10), "\r\nPROCEED?");
  EXPECT_TRUE(view_.Logged("setup"));
  EXPECT_TRUE(fs::is_empty(project_));

  // 30 minutes: no check at all.
  sh.Aq_lapse = 30;
  dialogs_.AnswerInput("short");
  Start();
}

TEST_F(RunEngineTest, PollSpreadsEvenChannelsAndZeroesOddOnes) {
  Start();
  Ticks(1);
  // Priming pass then the poll: 16 level requests, values 0, 8, ..., 56.
  EXPECT_EQ(io_.CountFrames(0x30), 16);
  EXPECT_EQ(io_.frames[io_.frames.size() - 1], FakeInstrument::Frame(0x30, 56, 0));
  const auto& s = engine_.state;
  EXPECT_EQ(s.RawAt(0, 0), io_.level_of(0, 0) & 0xFFF);
  EXPECT_EQ(s.RawAt(1, 0), 0);
  EXPECT_EQ(s.RawAt(382, 0), 1500 + 382);
  EXPECT_EQ(s.RawAt(383, 0), 0);
  Ticks(2);
  EXPECT_EQ(io_.CountFrames(0x30), 16 + 16 + 8);  // no priming from the third sample
  EXPECT_EQ(s.Ring_Index, 3);
}

TEST_F(RunEngineTest, EveryShippedLayoutListsOnlyChannelsItsPollReads) {
  // Files as installed, and the built-in 96-well layouts; a 96-well format polls 4
  // groups. (The built-in "w384" puts every channel on a well, odd ones included.)
  struct Case {
    std::string format;
    bool file;
    int groups;
  } cases[] = {{"w96", true, 4},
               {"w96u", true, 4},
               {"w32_flytube", true, 8},
               {"w96f", false, 8},
               {"w96u", false, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format + (c.file ? ".dat" : " built in"));
    auto& sh = storage::Shared();
    sh.Plate_format = c.format;
    int stage = 0;
    const auto layout = c.file
                            ? storage::ReadPlateLayoutFile(
                                  testsupport::SourceDir() / "data" / (c.format + ".dat"), &stage)
                            : storage::BuiltInPlateLayout(c.format);
    ASSERT_TRUE(layout.has_value());
    storage::ApplyPlateLayout(*layout);
    clock_.Advance(60000);
    engine_.controls.Auto_Run = true;
    io_.frames.clear();
    Start();
    EXPECT_EQ(io_.frames.back(), FakeInstrument::Frame(0x4A, c.groups == 4 ? 1 : 0, 0));
    const long polls = io_.polls;
    Ticks(5);
    EXPECT_EQ(io_.polls - polls, 5 * c.groups + 2 * c.groups);  // two primed samples
    int on_plate = 0;
    for (int ch = 0; ch < storage::kChannelCount; ++ch) {
      if (sh.Channel_Well[ch] < 0) continue;
      ++on_plate;
      for (int r = 0; r < 5; ++r) ASSERT_NE(engine_.state.RawAt(ch, r), 0) << "channel " << ch;
    }
    EXPECT_GE(on_plate, 96);
    engine_.Stop();
  }
}

TEST_F(RunEngineTest, EnvelopeStageRemovesSpikesAndReadsItsWindowBackIntoThePreviousBin) {
  // Channel 0, threshold 10 %, a window of 5 samples; the tick's own sample is 120.
  struct Cell {
    int pos, raw, lower, upper;
  };
  struct Case {
    const char* what;
    int r;
    std::vector<Cell> cells;
    int own;  // the level the poll brings for position r
    int want_previous, want_lower, want_upper;
  } cases[] = {
      // Positions 0 and 495 are outside the window: 0 is read at 499, -1 at 498.
      {"window wrapping into the previous bin",
       2,
       {{495, 4000, 0, 0},
        {496, 700, 0, 0},
        {497, 300, 0, 0},
        {498, 200, 10, 100},
        {499, 100, 20, 200},
        {0, 3500, 0, 0},
        {1, 50, 30, 300}},
       120,
       50,
       172,
       342},  // (60 + 0.9 x 700) / 4 = 172.5, (600 + 1.1 x 700) / 4 = 342.5
      // 900 between 100 and 120 becomes 110: (0.9 x 110) / 4, (500 + 1.1 x 110) / 4.
      {"a spike above the upper envelope",
       12,
       {{10, 100, 0, 0}, {11, 900, 0, 500}},
       120,
       110,
       25,
       155},
      // (0.9 x 900) / 4 = 202.5 and (500 + 990) / 4 = 372.5, halves to even.
      {"no spike without a fall after it",
       12,
       {{10, 100, 0, 0}, {11, 900, 0, 500}},
       900,
       900,
       202,
       372},
  };
  storage::Shared().DSP_Interval = 5;
  for (int ch = 0; ch < storage::kChannelCount; ++ch) storage::Shared().ThresholdAt(0, ch) = 10.0;
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto& st = engine_.state;
    std::fill(st.Raw_Ring.begin(), st.Raw_Ring.end(), 0);
    std::fill(st.RT_Planes.begin(), st.RT_Planes.end(), 0);
    std::fill(st.Envelope.begin(), st.Envelope.end(), 0);
    for (const Cell& cell : c.cells) {
      st.RawAt(0, cell.pos) = int16_t(cell.raw);
      st.RT_Planes[acquisition::RunState::Cell(0, cell.pos)] = int16_t(cell.lower);
      st.Envelope[acquisition::RunState::Cell(0, cell.pos)] = int16_t(cell.upper);
    }
    st.Ring_Index = int16_t(c.r);
    st.Sample_Count = 100;
    io_.level_of = [&](int ch, long) { return ch == 0 ? c.own : 1000; };
    Ticks(1);
    EXPECT_EQ(st.RawAt(0, c.r - 1), c.want_previous);
    EXPECT_EQ(st.RT_Planes[acquisition::RunState::Cell(0, c.r)], c.want_lower);
    EXPECT_EQ(st.Envelope[acquisition::RunState::Cell(0, c.r)], c.want_upper);
  }
}

TEST_F(RunEngineTest, FailedGroupHoldsItsPreviousSample) {
  io_.level_of = [](int ch, long poll) { return 1000 + ch + int(poll % 50) * 10; };
  Start();
  Ticks(10);
  ASSERT_EQ(engine_.state.Ring_Index, 10);
  io_.bad_parity_groups = {8};
  Ticks(1);
  const auto& s = engine_.state;
  for (int ch : {16, 31, 144, 159, 272, 287}) EXPECT_EQ(s.RawAt(ch, 10), s.RawAt(ch, 9)) << ch;
  EXPECT_EQ(s.RawAt(0, 10), io_.level_of(0, io_.polls - 7)) << "group 0 answered";
  EXPECT_NE(s.RawAt(0, 10), s.RawAt(0, 9));
  // Only the last group decides the tick's status.
  EXPECT_EQ(s.Com_Error_Count, 0);
  io_.bad_parity_groups.clear();
  io_.short_groups = {56};
  Ticks(1);
  EXPECT_EQ(s.Com_Error_Count, 1);
}

TEST_F(RunEngineTest, RepliesShiftedByStrayBytesAreHeldAsAFailedPoll) {
  // Two stray bytes form a good word, so a shifted reply still passes parity.
  const std::string two("\x00\x00", 2);
  struct Case {
    const char* what;
    int group;
    std::string stray;
    bool late_tail;
  } cases[] = {
      {"ahead of a middle reply, its tail waiting for the next request", 24, two, false},
      {"ahead of a middle reply, its tail shifting the next reply", 24, two, true},
      {"ahead of the last reply, its tail arriving after it", 56, two, true},
      {"an odd count", 0, "\x5A", true},
  };
  io_.level_of = [](int ch, long poll) { return 1000 + ch + int(poll % 3) * 100; };
  Start();
  Ticks(10);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int r = engine_.state.Ring_Index;
    io_.stray_groups = {{c.group, c.stray}};
    io_.late_tails = c.late_tail;
    Ticks(1);
    for (int ch = 0; ch < storage::kChannelCount; ++ch)
      ASSERT_EQ(engine_.state.RawAt(ch, r), engine_.state.RawAt(ch, r - 1)) << ch;
    EXPECT_EQ(engine_.state.Com_Error_Count, 1);
    io_.stray_groups.clear();
    Ticks(1);
    EXPECT_EQ(engine_.state.RawAt(2, r + 1), io_.level_of(2, io_.polls - 7));
    EXPECT_EQ(engine_.state.Com_Error_Count, 0);
  }
}

TEST_F(RunEngineTest, SerialErrorsReportAndRestart) {
  Start();
  Ticks(3);
  io_.short_groups = {56};
  Ticks(20);
  EXPECT_FALSE(view_.Logged("status:<COM ERROR>"));
  Ticks(1);
  EXPECT_EQ(view_.log.back(), "detail:Restarting COM..10");
  Ticks(5);
  // A good tick clears the count but leaves the panel as it was.
  io_.short_groups.clear();
  Ticks(1);
  EXPECT_EQ(engine_.state.Com_Error_Count, 0);
  EXPECT_EQ(view_.log.back(), "detail:Restarting COM..5");
  io_.short_groups = {56};
  Ticks(30);
  EXPECT_TRUE(launcher_.calls.empty());
  EXPECT_EQ(view_.log.back(), "detail:Restarting COM..1");
  Ticks(1);
  EXPECT_EQ(view_.log.back(), "detail:Restarting COM..0");
  ASSERT_EQ(launcher_.calls.size(), 1u);
  EXPECT_EQ(launcher_.calls[0], "self: /run");
  EXPECT_EQ(process_ends_, 1);
}

TEST_F(RunEngineTest, SerialErrorsWithoutRestartKeepPolling) {
  engine_.controls.chk_zmonitor = false;
  Start();
  io_.silent = true;
  Ticks(40);
  EXPECT_EQ(engine_.state.Com_Error_Count, 20);
  EXPECT_EQ(view_.log.back(), "detail:VERIFY COM PORT!");
  EXPECT_TRUE(launcher_.calls.empty());
  EXPECT_TRUE(engine_.TimerEnabled());
}

TEST_F(RunEngineTest, PauseFreezesOrKeepsTheTimeCounter) {
  auto& sh = storage::Shared();
  sh.Aq_lapse = 100;
  Start();
  Ticks(20000);  // 10 minutes and a bit
  const int at_pause = engine_.state.Elapsed_Minutes;
  ASSERT_EQ(at_pause, 10);
  dialogs_.AnswerYes();
  engine_.Pause();
  EXPECT_EQ(sh.Acq_State, 2);
  EXPECT_FALSE(engine_.TimerEnabled());
  EXPECT_TRUE(view_.Logged("detail:Time Counter = OFF"));
  EXPECT_TRUE(view_.Logged("status:<< PAUSED >>"));
  clock_.Advance(5 * 60000);
  engine_.Pause();
  EXPECT_EQ(sh.Acq_State, 1);
  Ticks(1);
  EXPECT_EQ(engine_.state.Elapsed_Minutes, 10);

  // Paused with the counter running: the paused time counts and the run can end.
  sh.Aq_lapse = 12;
  dialogs_.AnswerNo().ExpectOk();
  engine_.Pause();
  EXPECT_TRUE(engine_.TimerEnabled());
  const long polls = io_.polls;
  Ticks(3000, 1000);
  EXPECT_EQ(io_.polls, polls) << "no polling while paused";
  EXPECT_EQ(sh.Acq_State, 0);
  EXPECT_EQ(engine_.state.Elapsed_Minutes, 12);
  EXPECT_EQ(dialogs_.log().back(), "Acquisition finished");
}

TEST_F(RunEngineTest, StopWhilePausedSwitchesTheOutputsOff) {
  Start();
  Ticks(5);
  engine_.flags.Heat_Mode = true;
  engine_.cmd_ontemp_Click();  // running: only pending
  EXPECT_TRUE(engine_.flags.State_Send_Pending);
  dialogs_.AnswerYes();
  engine_.Pause();
  // The heater is never left powered while nothing regulates it.
  EXPECT_EQ(io_.TempLightCodes().back(), 2);
  engine_.Stop();
  EXPECT_EQ(storage::Shared().Acq_State, 0);
  EXPECT_EQ(io_.TempLightCodes().back(), 2);  // heat direction kept, output and light off
  EXPECT_EQ(view_.panel, "OFF/HEAT/OFF");
}

}  // namespace
}  // namespace acqtest
