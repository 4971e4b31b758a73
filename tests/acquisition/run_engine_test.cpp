// The run engine on a scripted instrument: start and its refusals, the poll with its
// faults, the envelope stage, the bin end's rules, serial errors, pause and stop.
#include "acquisition/run_engine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>

#include "fake_instrument.h"
#include "platform/numeric.h"
#include "platform/shutdown.h"
#include "run_fixture.h"
#include "storage/plate_layout.h"
#include "storage/project_folders.h"
#include "storage/run_loading.h"

namespace acqtest {
namespace {

using acquisition::RunState;
using acquisition::StartResult;
namespace fs = std::filesystem;

// Every file of a folder with its bytes.
std::map<std::string, std::string> FolderBytes(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder))
    files[e.path().filename().string()] = testsupport::ReadBytes(e.path());
  return files;
}

std::string MinuteFolder(const platform::WallTime& t) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute);
  return name;
}

class RunEngineTest : public RunFixture<FakeInstrument> {
 protected:
  // A new run up to the last sample of its first bin (levels 1000 + channel, that sample
  // 500 higher), whose last reply hands its tail on late; with `late_tail` that reply
  // was shifted by two stray bytes and its tail waits now.
  void RunToTheFirstBinsLastSample(bool late_tail) {
    raise_ = 0;
    io_.level_of = [this](int ch, long) { return 1000 + ch + raise_; };
    clock_.Advance(60000);
    engine_.controls.Auto_Run = true;
    Start();
    Ticks(499);
    raise_ = 500;
    if (late_tail) io_.stray_groups = {{56, std::string(2, '\0')}};
    io_.late_tails = io_.tails_after_listen = true;
    Ticks(1);
    io_.stray_groups.clear();
    io_.late_tails = io_.tails_after_listen = false;
    if (late_tail) io_.HandOnLateBytes();
    raise_ = 0;
  }
  // The first bin's raw block as recorded: its last sample taken back (holding the one
  // before it) after a late tail, else raised (the detection clips it, hence "greater").
  void ExpectTheFirstBinsLastSample(bool taken_back) {
    storage::RawBlockRecord block;
    ASSERT_TRUE(storage::ReadRunRawBlock(RunFolder(), 0, 500, block));
    EXPECT_EQ(block.At(2, 498), 1002);
    if (taken_back) {
      EXPECT_EQ(block.At(2, 499), 1002);
    } else {
      EXPECT_GT(block.At(2, 499), 1002);
    }
  }

  int raise_ = 0;
};

TEST_F(RunEngineTest, StartMakesTheRunFolderWithSettingsAndPreparesTheInstrument) {
  engine_.controls.Auto_Run = false;
  engine_.controls.Txt_description = "line one\nwith \"quotes\"";
  storage::Shared().RT_Buffer = 400;  // the setup's value; a run's bin is 500 samples
  dialogs_.AnswerInput("Larvae \"A\"\nday 2");
  Start();
  const fs::path run = project_ / "20260314_1005";
  EXPECT_EQ(RunFolder(), run);
  // The name loses its line break, the description keeps it as CR LF.
  EXPECT_EQ(testsupport::ReadBytes(run / "subproj.dat"),
            "\"Larvae Aday 2\"\r\n\"line one\r\nwith quotes\"\r\n");
  EXPECT_NE(testsupport::ReadBytes(run / "setup.dat").find("\r\n1,30,99,500,"), std::string::npos);
  EXPECT_EQ(storage::Shared().RT_Buffer, 400);
  EXPECT_NE(dialogs_.log()[0].find("> Auto Calibration is OFF: Remember to read Blank."),
            std::string::npos);
  EXPECT_EQ(dialogs_.input_titles(), std::vector<std::string>{"New Acquisition"});
  // The temperature first, then the plate type twice (0 for a 384 plate).
  EXPECT_EQ(std::vector<std::string>(io_.frames.end() - 3, io_.frames.end()),
            (std::vector<std::string>{FakeInstrument::Frame(0x21, 0, 0),
                                      FakeInstrument::Frame(0x4A, 0, 0),
                                      FakeInstrument::Frame(0x4A, 0, 0)}));
  EXPECT_EQ(storage::Shared().Temp_Text, "21.9");  // 100 x 0.219 + 0.0
}

TEST_F(RunEngineTest, TheRunsSettingsCopyHoldsTheSnrItCountsWith) {
  const struct {
    const char* what;
    int method;
    bool calibration, zero;
    double chosen;        // the factor the organism choice left
    int16_t project_x10;  // the project's SNRx10; the box shows it
    int16_t stored_x10;   // the run's copy
    double counting;
  } cases[] = {
      {"Drosophila, method 1, calibrated", 1, true, false, 0.8, 8, 18, 1.8},
      {"Drosophila, method 1, zeroed", 1, false, true, 0.8, 8, 18, 1.8},
      {"Drosophila, method 1", 1, false, false, 0.8, 8, 8, 0.8},
      {"Drosophila, its own method, calibrated", 3, true, true, 0.8, 8, 8, 0.8},
      {"C. elegans with 2.5 stored", 1, false, false, 1.8, 25, 18, 1.8},
      {"a project's 0 already reads as 1.8", 1, false, false, 1.8, 0, 0, 1.8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    clock_.Advance(60000);  // a folder of its own
    auto& sh = storage::Shared();
    sh.DSP_Method = static_cast<int16_t>(c.method);
    sh.MnAt(1, 3) = c.project_x10;
    engine_.controls.txt_snr_umbral = platform::FormatFixed(c.project_x10 / 10.0, 1);
    engine_.controls.Auto_Calibration = c.calibration;
    engine_.controls.Auto_Zero = c.zero;
    engine_.RunAutoCalibration = [](const std::string&, int) {};
    engine_.RunAutoZero = [] {};
    engine_.state.SNR_Threshold = c.chosen;
    Start();
    EXPECT_EQ(engine_.state.SNR_Threshold, c.counting);
    storage::RunAnalysis run;
    ASSERT_TRUE(storage::ReadRunAnalysis(RunFolder(), run));
    EXPECT_EQ(run.snr_x10, c.stored_x10);
    EXPECT_EQ(sh.MnAt(1, 3), c.project_x10);
  }
}

TEST_F(RunEngineTest, StartRefusals) {
  auto& sh = storage::Shared();
  struct Case {
    std::function<void()> set;
    StartResult result;
    const char* message;
  } cases[] = {
      {[&] { engine_.controls.Auto_Run = false, dialogs_.CancelInput(); }, StartResult::kNoName,
       "Each Experiment Requires a name"},
      {[&] { sh.Actual_Project_Number = 0; }, StartResult::kDefaultProject,
       "Operation not allowed in Project #0:Default. Go to <Setup> and Save it with another name"},
      {[&] { sh.Offline_Mode = true; }, StartResult::kOffline,
       "Acquisition not allowed in OFFLINE MODE. Connect the equipment and restart the program."},
      {[&] { sh.Aq_lapse = 0; }, StartResult::kBadLapse,
       "Invalid Acquisition lapse: 0 minutes. Set it between 1 and 32000 in <Setup>."},
      {[&] { sh.Project_Path = (folder_ / "p00009").string(); }, StartResult::kFolderFailed,
       nullptr},
  };
  for (const Case& c : cases) {
    SetUp();
    c.set();
    dialogs_.ExpectOk();
    EXPECT_EQ(engine_.Start(), c.result);
    if (c.message) {
      EXPECT_EQ(dialogs_.log().back(), c.message);
    }
    EXPECT_EQ(sh.Acq_State, 0);
    EXPECT_FALSE(engine_.TimerEnabled());
  }
  EXPECT_TRUE(view_.Logged("setup"));  // project 0 opens the setup window
  EXPECT_TRUE(dialogs_.Exhausted());
}

TEST_F(RunEngineTest, ASecondStartInTheSameMinute) {
  Start();
  Ticks(600);
  engine_.Stop();
  const auto first_counts = testsupport::ReadBytes(project_ / "20260314_1005" / "counts.bin");
  ASSERT_EQ(first_counts.size(), storage::kCountsRecordBytes);
  clock_.Advance(20000);
  // Started by hand: refused, nothing added to the first run.
  dialogs_.AnswerInput("again").ExpectOk();
  EXPECT_EQ(engine_.Start(), StartResult::kSameMinute);
  EXPECT_NE(dialogs_.log().back().find("20260314_1005"), std::string::npos);
  // Unattended (the automatic restart): it waits for a folder of its own, saying so,
  // with the window's events running all along.
  engine_.controls.Auto_Run = true;
  int64_t last_yield = clock_.MonotonicMs(), longest = 0;
  view_.on_yield = [&](int) {
    longest = std::max(longest, clock_.MonotonicMs() - last_yield);
    last_yield = clock_.MonotonicMs();
  };
  const int64_t waited_from = clock_.MonotonicMs();
  Start();
  EXPECT_GE(clock_.MonotonicMs() - waited_from, 20000);
  EXPECT_LE(longest, 100);
  EXPECT_TRUE(view_.Logged("status:<WAITING FOR THE NEXT MINUTE>"));
  EXPECT_EQ(engine_.state.Run_Folder, "20260314_1006");
  Ticks(600);
  EXPECT_EQ(testsupport::ReadBytes(project_ / "20260314_1005" / "counts.bin"), first_counts);
  EXPECT_EQ(fs::file_size(project_ / "20260314_1006" / "counts.bin"),
            storage::kCountsRecordBytes);

  // Stop clicked during the wait (it acts at once) ends it, and no folder is made.
  engine_.Stop();
  engine_.controls.Auto_Run = true;
  clock_.Advance(10000);
  view_.on_yield = [this](int n) {
    if (n == 5) engine_.Stop();
  };
  view_.yields = 0;
  const int64_t stop_from = clock_.MonotonicMs();
  EXPECT_EQ(engine_.Start(), StartResult::kCalledOff);
  EXPECT_LT(clock_.MonotonicMs() - stop_from, 400);  // three steps of the wait, not its minute
  EXPECT_EQ(view_.log.back(), "hide");
  EXPECT_EQ(storage::Shared().Acq_State, 0);
  view_.on_yield = nullptr;
  EXPECT_EQ(storage::ListRunFolders(project_).size(), 2u);

  // A termination request ends the wait at once, and no folder is made.
  engine_.controls.Auto_Run = true;
  platform::RequestShutdown();
  const int64_t before = clock_.MonotonicMs();
  EXPECT_EQ(engine_.Start(), StartResult::kShutdown);
  platform::ResetShutdown();
  EXPECT_EQ(clock_.MonotonicMs(), before);
  EXPECT_EQ(storage::ListRunFolders(project_).size(), 2u);
}

// A start that fails after making its folder (the calibration gives up) leaves no run
// behind: a second start in that minute gets the folder. A folder with anything but a
// start's copies in it is a run's: refused by hand, waited out when unattended, and
// never touched.
TEST_F(RunEngineTest, AFailedStartLeavesTheMinuteFree) {
  const fs::path minute = project_ / "20260314_1005";
  engine_.controls.Auto_Run = false;
  engine_.controls.Auto_Calibration = true;
  engine_.RunAutoCalibration = [this](const std::string&, int) { engine_.Stop(); };
  dialogs_.AnswerInput("first");
  EXPECT_EQ(engine_.Start(), StartResult::kStoppedByCalibration);
  EXPECT_FALSE(fs::exists(minute));

  engine_.RunAutoCalibration = nullptr;
  dialogs_.AnswerInput("second");
  Start();
  EXPECT_EQ(RunFolder(), minute);
  EXPECT_EQ(testsupport::ReadBytes(minute / "subproj.dat"), "\"second\"\r\n\"\"\r\n");
  engine_.Stop();

  struct Row {
    const char* left;  // beside the start's copies; nullptr: nothing else
    bool auto_run;
    StartResult result;
  };
  const Row rows[] = {
      {nullptr, false, StartResult::kStarted},       // a start killed before its first bin
      {nullptr, true, StartResult::kStarted},        // taken over, not waited out
      {"counts.bin", false, StartResult::kSameMinute},
      {"0.bin", false, StartResult::kSameMinute},
      {"calvalue.dat", false, StartResult::kSameMinute},
      {"setup.dat.tmp3f", false, StartResult::kSameMinute},  // a rewrite cut short
      {"counts.bin", true, StartResult::kStarted},   // in the next minute's folder
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.left ? r.left : "copies only") + (r.auto_run ? ", unattended" : ""));
    fs::remove_all(project_);
    fs::create_directories(project_);
    const fs::path taken = project_ / MinuteFolder(clock_.Now());
    // What the start copies, as a start that got no further left it.
    dialogs_.AnswerInput("left");
    engine_.controls.Auto_Run = false;
    Start();
    engine_.Stop();
    if (r.left) testsupport::WriteBytes(taken / r.left, "recorded");
    const auto before = FolderBytes(taken);

    engine_.controls.Auto_Run = r.auto_run;
    if (!r.auto_run) dialogs_.AnswerInput("next");
    if (r.result == StartResult::kSameMinute) dialogs_.ExpectOk();
    EXPECT_EQ(engine_.Start(), r.result);
    if (r.left) {
      EXPECT_EQ(FolderBytes(taken), before);
    } else {
      EXPECT_EQ(RunFolder(), taken);  // not the next minute's: nothing was waited out
      EXPECT_FALSE(fs::exists(taken / "setup.bak"));  // a folder as a new start makes it
    }
    if (r.result == StartResult::kStarted && r.left) EXPECT_NE(RunFolder(), taken);
    engine_.Stop();
    clock_.Advance(60000);
  }
  EXPECT_TRUE(dialogs_.Exhausted());
}

TEST_F(RunEngineTest, DiskSpaceQuestion) {
  const std::string head =
      "WARNING:\r\nProgrammed Acquisition lapse = 31minutes & RealTime_recording=YES\r\n"
      "Required Disk space for RealTime Saving = ";
  struct Case {
    int32_t free_mb, required_mb;
    const char* lines;  // nullptr: no question
  } cases[] = {
      {1100, 12, nullptr},
      {1012, 12, nullptr},
      {1011, 12, "LOW DISK SPACE\r\n"},
      {212, 12, "LOW DISK SPACE\r\n"},
      {211, 12,
       "LOW DISK SPACE\r\nNOT ENOUGH DISK SPACE\r\n (Please, Increase Disk Space Availablility "
       "or Deselect Realtime recording)"},
      {900000, 1000, nullptr},
      {900000, 1001, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.free_mb << " MB free, " << c.required_mb << " needed");
    const auto q = acquisition::DiskSpaceWarning(31, c.free_mb, c.required_mb);
    ASSERT_EQ(q.has_value(), c.lines != nullptr);
    if (c.lines) {
      EXPECT_EQ(*q, head + std::to_string(c.required_mb) + "MB\r\nCurrent Disk Space=" +
                        std::to_string(c.free_mb) + "MB\r\n" + c.lines + "\r\nPROCEED?");
    }
  }
  // 3000 min x 4 bins x (385,770 + 774) bytes = 4424 MB: asked; No opens the setup.
  storage::Shared().Aq_lapse = 3000;
  engine_.controls.Auto_Run = false;
  dialogs_.AnswerInput("big").AnswerNo();
  EXPECT_EQ(engine_.Start(), StartResult::kDiskDeclined);
  EXPECT_NE(dialogs_.log().back().find("Saving = 4424MB"), std::string::npos);
  EXPECT_TRUE(view_.Logged("setup"));
  EXPECT_TRUE(fs::is_empty(project_));
}

TEST_F(RunEngineTest, EveryShippedLayoutListsOnlyChannelsItsPollReads) {
  // Files as installed, and the built-in 96-well layouts; a 96-well format polls 4
  // groups. (The built-in "w384", and its file, put every channel on a well, odd ones
  // included.)
  struct Case {
    std::string format;
    bool file;
    int groups;
  } cases[] = {{"w96", true, 4},
               {"w96u", true, 4},
               {"w32_flytube", true, 8},
               {"w6", true, 8},
               {"w96f", true, 8},
               {"w96f", false, 8},
               {"w96u", false, 4}};
  io_.level_of = [](int ch, long) { return 1000 + ch; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format + (c.file ? ".dat" : " built in"));
    auto& sh = storage::Shared();
    sh.Plate_format = c.format;
    const auto layout = c.file
                            ? storage::ReadPlateLayoutFile(
                                  testsupport::SourceDir() / "data" / (c.format + ".dat"), nullptr)
                            : storage::BuiltInPlateLayout(c.format);
    ASSERT_TRUE(layout.has_value());
    storage::ApplyPlateLayout(*layout);
    clock_.Advance(60000);
    engine_.controls.Auto_Run = true;
    Start();
    EXPECT_EQ(io_.frames.back(), FakeInstrument::Frame(0x4A, c.groups == 4 ? 1 : 0, 0));
    const long polls = io_.polls;
    Ticks(5);
    EXPECT_EQ(io_.polls - polls, 5 * c.groups + 2 * c.groups);  // two primed samples
    int on_plate = 0;
    for (int ch = 0; ch < storage::kChannelCount; ++ch) {
      on_plate += sh.Channel_Well[ch] >= 0;
      const int want = sh.Channel_Well[ch] >= 0 ? 1000 + ch : ch % 2 ? 0 : -1;
      for (int r = 0; r < 5 && want >= 0; ++r)
        ASSERT_EQ(engine_.state.RawAt(ch, r), want) << "channel " << ch;
    }
    EXPECT_GE(on_plate, 96);
    engine_.Stop();
  }
}

TEST_F(RunEngineTest, FailedAndShiftedRepliesHoldTheirSamples) {
  // Two stray bytes form a good word, so a reply they shift still passes parity.
  const std::string two("\x00\x00", 2);
  struct Case {
    const char* what;
    int parity_group, short_group, stray_group;  // -1: none
    std::string stray;
    bool late_tail;  // the bytes after the 48 read arrive later
    int held_group;  // -1: every group of the tick
    int errors;      // the tick counts as failed
  } cases[] = {
      {"bad parity in group 8", 8, -1, -1, "", false, 8, 0},
      {"a short reply from the last group", -1, 56, -1, "", false, 56, 1},
      {"stray bytes ahead of a middle reply, the tail waiting", -1, -1, 24, two, false, -1, 1},
      {"stray bytes ahead of a middle reply, the tail shifting the next", -1, -1, 24, two, true, -1,
       1},
      {"stray bytes ahead of the last reply, the tail after it", -1, -1, 56, two, true, -1, 1},
      {"an odd count of stray bytes", -1, -1, 0, "\x5A", true, -1, 1},
  };
  io_.level_of = [](int ch, long poll) { return 1000 + ch + int(poll % 3) * 100; };
  Start();
  Ticks(10);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int r = engine_.state.Ring_Index;
    io_.bad_parity_groups = {c.parity_group};
    io_.short_groups = {c.short_group};
    io_.stray_groups = {{c.stray_group, c.stray}};
    io_.late_tails = c.late_tail;
    Ticks(1);
    for (int ch = 0; ch < storage::kChannelCount; ch += 2) {
      const bool held = c.held_group < 0 || (ch % 128) / 16 == c.held_group / 8;
      ASSERT_EQ(engine_.state.RawAt(ch, r) == engine_.state.RawAt(ch, r - 1), held) << ch;
    }
    EXPECT_EQ(engine_.state.Com_Error_Count, c.errors);
    io_.bad_parity_groups.clear();
    io_.short_groups.clear();
    io_.stray_groups.clear();
    io_.late_tails = false;
    Ticks(1);
    EXPECT_EQ(engine_.state.RawAt(2, r + 1), io_.level_of(2, io_.polls - 7));
    EXPECT_EQ(engine_.state.Com_Error_Count, 0);
  }
}

TEST_F(RunEngineTest, ALateTailTakesBackTheSampleOfTheTickBefore) {
  // The last reply of the shifted tick comes with two stray bytes ahead of it, and its
  // tail neither at once nor within the tick's listening wait.
  enum class Tail { kNone, kBeforeNextTick, kWithNextFrame };
  struct Case {
    const char* what;
    int position;  // of the shifted tick
    int spike;     // raised level of the tick before it
    Tail tail;
    bool next_held;  // the next tick's own sample is held too
    int errors;      // failed ticks counted after the next tick
  } cases[] = {
      {"no stray bytes: nothing taken back", 35, 0, Tail::kNone, false, 0},
      {"the tail waiting ahead of the next poll", 40, 0, Tail::kBeforeNextTick, false, 1},
      // The shifted sample had the spike before it removed: taken back, it stays.
      {"a spike before the shifted sample", 45, 2000, Tail::kBeforeNextTick, false, 1},
      {"the tail shifting the next poll's first reply", 50, 0, Tail::kWithNextFrame, true, 1},
      {"the bin's last sample, the tail ahead of the priming pass", 499, 0, Tail::kBeforeNextTick,
       false, 1},
      {"the bin's last sample, the tail shifting a priming reply", 499, 0, Tail::kWithNextFrame,
       false, 1},
  };
  // A flat level per channel, raised while the shifted tick and the ones beside it poll.
  int raise = 0;
  io_.level_of = [&](int ch, long) { return 1000 + ch + raise; };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Ticks(1);
    while (engine_.state.Ring_Index != c.position - 1) Ticks(1);
    raise = c.spike;
    Ticks(1);
    const int retracted = engine_.RetractedSamples();
    const int plots = view_.activity_plots;
    const int32_t summed = engine_.state.Sum_Count[0];
    raise = 500;
    if (c.tail != Tail::kNone) io_.stray_groups = {{56, std::string(2, '\0')}};
    io_.late_tails = io_.tails_after_listen = true;
    Ticks(1);
    EXPECT_EQ(engine_.state.Com_Error_Count, 0) << "the tick alone cannot tell";
    EXPECT_EQ(view_.activity_plots, plots) << "a bin waits for the tick after its last sample";
    io_.stray_groups.clear();
    raise = 750;
    if (c.tail == Tail::kBeforeNextTick) io_.HandOnLateBytes();
    Ticks(1);
    const int next = (c.position + 1) % acquisition::kBinSamples;
    const bool taken_back = c.tail != Tail::kNone;
    for (int ch = 0; ch < storage::kChannelCount; ch += 2) {
      const int before = 1000 + ch + c.spike;
      ASSERT_EQ(engine_.state.RawAt(ch, c.position - 1), before) << ch;
      ASSERT_EQ(engine_.state.RawAt(ch, c.position), taken_back ? before : 1500 + ch) << ch;
      ASSERT_EQ(engine_.state.RawAt(ch, next), c.next_held ? before : 1750 + ch) << ch;
    }
    EXPECT_EQ(engine_.state.Com_Error_Count, c.errors);
    EXPECT_EQ(engine_.RetractedSamples() - retracted, taken_back ? 1 : 0);
    EXPECT_EQ(view_.activity_plots, plots + (next == 0 ? 1 : 0));
    if (next > 1) {
      EXPECT_EQ(engine_.state.Sum_Count[0], summed + 2) << "each sample summed once";
    }
    io_.late_tails = io_.tails_after_listen = false;
    raise = 0;
  }
}

TEST_F(RunEngineTest, ARunHaltedRightAfterABinsLastSampleRecordsThatBinAtOnce) {
  // However long a pause, the complete bin does not wait for it in memory only.
  enum class Halt { kStop, kLapseWhilePaused, kPause };
  struct Case {
    const char* what;
    Halt halt;
    bool late_tail;  // of the last sample's last reply, waiting when the halt comes
  } cases[] = {
      {"stopped", Halt::kStop, false},
      {"stopped, the last sample's tail waiting", Halt::kStop, true},
      {"the lapse reached while paused", Halt::kLapseWhilePaused, false},
      {"paused", Halt::kPause, false},
      {"paused, the last sample's tail waiting", Halt::kPause, true},
  };
  std::size_t recorded_at_report = 0;
  view_.on_report = [&] {
    recorded_at_report = storage::RecordCount(RunFolder() / "counts.bin", 774);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunToTheFirstBinsLastSample(c.late_tail);
    EXPECT_FALSE(fs::exists(RunFolder() / "counts.bin"));
    const int plots = view_.activity_plots;
    if (c.halt == Halt::kStop) {
      engine_.Stop();
    } else if (c.halt == Halt::kPause) {
      dialogs_.AnswerYes();
      engine_.Pause();
    } else {
      dialogs_.AnswerNo().ExpectOk();  // the time goes on while paused
      engine_.Pause();
      Ticks(1, 30 * 60000);
      EXPECT_EQ(storage::Shared().Acq_State, 0);
      EXPECT_EQ(recorded_at_report, 1u) << "the report opens on every bin";
    }
    EXPECT_EQ(view_.activity_plots, plots + 1);
    EXPECT_EQ(fs::file_size(RunFolder() / "counts.bin"), storage::kCountsRecordBytes);
    ExpectTheFirstBinsLastSample(c.late_tail);
    if (c.halt != Halt::kPause) continue;
    // Resumed, the next bin starts afresh: the one recorded is not recorded again.
    engine_.Pause();
    Ticks(1);
    EXPECT_EQ(fs::file_size(RunFolder() / "counts.bin"), storage::kCountsRecordBytes);
    EXPECT_EQ(view_.activity_plots, plots + 1);
    engine_.Stop();
  }
}

TEST_F(RunEngineTest, EnvelopeStageRemovesSpikesAndReadsItsWindowBackIntoThePreviousBin) {
  // Channel 0, threshold 10 %, a window of 5 samples.
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
      // (60 + 0.9 x 700) / 4 = 172.5 and (600 + 1.1 x 700) / 4 = 342.5, halves to even.
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
       342},
      // 900 between 100 and 120 becomes 110: (0.9 x 110) / 4, (500 + 1.1 x 110) / 4.
      {"a spike above the upper envelope",
       12,
       {{10, 100, 0, 0}, {11, 900, 0, 500}},
       120,
       110,
       25,
       155},
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
    for (auto* table : {&st.Raw_Ring, &st.RT_Planes, &st.Envelope})
      std::fill(table->begin(), table->end(), 0);
    for (const Cell& cell : c.cells) {
      st.RawAt(0, cell.pos) = int16_t(cell.raw);
      st.RT_Planes[RunState::Cell(0, cell.pos)] = int16_t(cell.lower);
      st.Envelope[RunState::Cell(0, cell.pos)] = int16_t(cell.upper);
    }
    st.Ring_Index = int16_t(c.r);
    st.Sample_Count = 100;
    io_.level_of = [&](int ch, long) { return ch == 0 ? c.own : 1000; };
    Ticks(1);
    EXPECT_EQ(st.RawAt(0, c.r - 1), c.want_previous);
    EXPECT_EQ(st.RT_Planes[RunState::Cell(0, c.r)], c.want_lower);
    EXPECT_EQ(st.Envelope[RunState::Cell(0, c.r)], c.want_upper);
  }
}

TEST_F(RunEngineTest, BinEndThresholdsMethodAndTotals) {
  struct Case {
    int32_t spread, level;
    double snr, want;
  } cases[] = {
      {200, 200, 1.8, 181.0},                  // level not above the spread
      {0, 0, 1.8, 181.0},                      // a bin without samples
      {-5, -1, 2.0, 201.0},                    // no level at all
      {10, 105, 1.8, 1.0 + 10.0 / 105 * 180},  // (1 - (L - S) / L) x 100 x SNR + 1
      {5, 1000, 1.8, 1.9},
      {2, 1000, 1.8, 1.8},  // 1.36 is raised to the floor
      {0, 1000, 1.8, 1.8},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(acquisition::BinEndThreshold(c.spread, c.level, c.snr), c.want, 1e-9)
        << c.spread << " / " << c.level;

  // Animals cross every beam now and then; method 0 becomes 1 at the first bin end; a
  // running total stops growing once it reached 10000.
  auto& sh = storage::Shared();
  sh.DSP_Method = 0;
  io_.level_of = [](int ch, long poll) { return (poll / 8 + ch) % 40 < 3 ? 600 : 1500; };
  Start();
  engine_.state.Count_Total[0] = 9999;
  engine_.state.Count_Total[2] = 10000;
  Ticks(501);  // the bin closes at the tick after its last sample
  ASSERT_GT(engine_.state.Counts[0], 0);
  ASSERT_GT(engine_.state.Counts[2], 0);
  EXPECT_EQ(engine_.state.Count_Total[0], 9999 + engine_.state.Counts[0]);
  EXPECT_EQ(engine_.state.Count_Total[2], 10000);
  EXPECT_EQ(sh.DSP_Method, 1);
  engine_.Stop();
  // Without a channel on the plate the method is left as it is.
  sh.DSP_Method = 0;
  sh.Channel_Well.fill(-1);
  clock_.Advance(60000);
  engine_.controls.Auto_Run = true;
  Start();
  Ticks(501);
  EXPECT_EQ(sh.DSP_Method, 0);
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
  EXPECT_EQ(launcher_.calls, std::vector<std::string>{"self: /run"});
  EXPECT_EQ(process_ends_, 1);

  // A termination asked for before the restart is due: the program ends as asked, no
  // new instance takes its place.
  clock_.Advance(60000);
  Start();
  Ticks(30);
  platform::RequestShutdown();
  Ticks(1);
  platform::ResetShutdown();
  EXPECT_EQ(view_.log.back(), "detail:Restarting COM..0");
  EXPECT_EQ(launcher_.calls.size(), 1u);
  EXPECT_EQ(process_ends_, 1);

  // Without the automatic restart the count stays at 20 and the run goes on.
  engine_.controls.chk_zmonitor = false;
  clock_.Advance(60000);
  Start();
  io_.silent = true;
  Ticks(40);
  EXPECT_EQ(engine_.state.Com_Error_Count, 20);
  EXPECT_EQ(view_.log.back(), "detail:VERIFY COM PORT!");
  EXPECT_EQ(launcher_.calls.size(), 1u);
  EXPECT_TRUE(engine_.TimerEnabled());
}

TEST_F(RunEngineTest, PauseFreezesOrKeepsTheTimeCounter) {
  auto& sh = storage::Shared();
  sh.Aq_lapse = 100;
  Start();
  Ticks(20000);  // 10 minutes and a bit
  ASSERT_EQ(engine_.state.Elapsed_Minutes, 10);
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
