#include "offline/path_tracking.h"

#include <map>
#include <set>

#include "detection/raw_block_analysis.h"
#include "platform/launcher.h"
#include "raw_fixture.h"
#include "reports/report_writer.h"
#include "support/address_space_limit.h"

namespace offline_test {
namespace {

using offline::GridPoint;
using offline::PathTracker;
using offline::Rgb;

// Marks by (block, channel, sample); every block asked is noted.
class ScriptedMarks final : public offline::TrackMarksSource {
 public:
  ScriptedMarks(std::set<std::tuple<int64_t, int, int>> marks, std::vector<int64_t>* asked)
      : marks_(std::move(marks)), asked_(asked) {}
  void Marks(int64_t block, double, const std::vector<int>& channels,
             offline::BlockMarks& m) override {
    for (int c : channels)
      for (int s = 0; s <= 500; ++s) m.Set(c, s, marks_.count({block, c, s}) > 0);
    if (asked_) asked_->push_back(block);
  }

 private:
  std::set<std::tuple<int64_t, int, int>> marks_;
  std::vector<int64_t>* asked_;
};

// Well 0: channels 18 (column 1, row 2), 19 (column 1, row 3) and 34 (column 2, row 2);
// well 1: channel 1.
offline::TrackPlate TwoWells() {
  offline::TrackPlate p;
  p.max_well = 1;
  p.max_beam = 2;
  p.grid = {18, 19, 34, 1, -1, -1};
  return p;
}

PathTracker Tracker(std::set<std::tuple<int64_t, int, int>> marks, int blocks,
                    std::vector<int64_t>* asked = nullptr) {
  std::vector<double> times;
  for (int t = 0; t < blocks; ++t) times.push_back(t);
  return PathTracker(TwoWells(), times, std::make_unique<ScriptedMarks>(std::move(marks), asked),
                     1.8);
}

TEST(PathTracking, FiredBeamsPlaceTheWellAndMovesAddTheirDistance) {
  // The step to sample s reads the marks of sample s.
  const std::set<std::tuple<int64_t, int, int>> marks = {
      {0, 18, 1}, {0, 19, 1}, {0, 18, 3}, {0, 34, 4}, {0, 1, 4}};
  struct Row {
    GridPoint at;     // well 0 after the step
    double distance;  // grid units, well 0
    bool drawn;       // some well fired: its frame is drawn
  };
  const std::vector<Row> rows = {
      {{1, 2.5}, 0, true},   // 18 and 19 fire: the mean; a first position adds nothing
      {{1, 2.5}, 0, false},  // nothing fires: position and distance stay
      {{1, 2}, 0.5, true},   // 18 alone
      {{2, 2}, 1.5, true},   // 34: one column on (and well 1's channel 1)
      {{2, 2}, 1.5, false},
  };
  for (bool draw : {false, true}) {
    PathTracker t = Tracker(marks, 2);
    for (size_t i = 0; i < rows.size(); ++i) {
      ui::DrawPlan plan;
      t.Step(draw ? &plan : nullptr);
      EXPECT_EQ(t.History(0, 0), rows[i].at) << "step " << i + 1 << " draw " << draw;
      EXPECT_DOUBLE_EQ(t.Distance(0), rows[i].distance) << "step " << i + 1 << " draw " << draw;
      EXPECT_EQ(plan.Size() > 0, draw && rows[i].drawn) << "step " << i + 1;
    }
    EXPECT_EQ(t.History(1, 0), (GridPoint{0, 1}));
    EXPECT_DOUBLE_EQ(t.Distance(1), 0);
    EXPECT_DOUBLE_EQ(t.Distance(0) * offline::kGridMillimetres, 6.75);
  }
}

TEST(PathTracking, AFrameDrawsTheTrackAndTheDistanceOfItsWell) {
  PathTracker t = Tracker({{0, 18, 1}, {0, 34, 2}}, 1);
  t.Step(nullptr);
  ui::DrawPlan plan;
  t.Step(&plan);
  std::vector<ui::DrawOp> red_circles, texts;
  for (const ui::DrawOp& op : plan.Ops()) {
    if (op.kind == ui::OpKind::kCircle && op.color == Rgb(255, 0, 0)) red_circles.push_back(op);
    if (op.kind == ui::OpKind::kText) texts.push_back(op);
  }
  ASSERT_EQ(red_circles.size(), 1u);
  EXPECT_EQ(red_circles[0].x1, 250);  // column 2, row 2 in plot units
  EXPECT_EQ(red_circles[0].y1, 250);
  EXPECT_EQ(red_circles[0].x2, 16);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].text, "4mm");  // 4.5 mm, whole millimetres half to even
  EXPECT_EQ(texts[0].x1, 25);
  EXPECT_EQ(texts[0].y1, 700);
}

TEST(PathTracking, EveryBlockOfTheRunIsPlayedAndItsDistanceKept) {
  std::vector<int64_t> asked;
  PathTracker t = Tracker({{0, 18, 5}, {0, 34, 6}, {2, 18, 10}, {2, 34, 499}}, 3, &asked);
  EXPECT_EQ(t.TotalSteps(), 1500);
  int64_t steps = 0;
  while (!t.Finished()) {
    t.Step(nullptr);
    ++t.play_position;
    ++steps;
  }
  EXPECT_EQ(steps, 1500);
  EXPECT_EQ(asked, (std::vector<int64_t>{0, 1, 2}));
  EXPECT_DOUBLE_EQ(t.BlockDistance(0, 0), 1);
  EXPECT_DOUBLE_EQ(t.BlockDistance(1, 0), 0);
  EXPECT_DOUBLE_EQ(t.BlockDistance(2, 0), 2);  // the last block, to its sample 499, too
  EXPECT_EQ(t.StepText(), "1500/1500");
}

TEST(PathTracking, PictureNames) {
  EXPECT_EQ(offline::TrackPictureName(70 * 500), "35000.bmp");
  EXPECT_EQ(offline::TrackPictureName(7), "00007.bmp");
  EXPECT_EQ(offline::TrackPictureName(123456), "123456.bmp");
}

class TrackRunTest : public RawTest {
 protected:
  TrackRunTest() {
    // Well A1: channels 18, 19, 34; well B1: channel 1. Channel 18 is in group 2.
    WritePlate("wtrk", 2, 1, {{18, 0, 0}, {19, 0, 1}, {34, 0, 2}, {1, 1, 0}}, 8.0, 0.0);
    folder_ = MakeRawRun({"wtrk"});
    WriteGroups(folder_, {"Control", "Drug", "Mutants"}, {{18, 2}, {34, 0}});
    run_ = LoadRun(folder_);
  }
  fs::path folder_;
  offline::LoadedRun run_;
};

TEST_F(TrackRunTest, TheCsvHoldsTheDistancesOfEveryBlockPerWell) {
  PathTracker t(offline::MakeTrackPlate(run_), {0, 1, 2},
                std::make_unique<ScriptedMarks>(
                    std::set<std::tuple<int64_t, int, int>>{
                        {0, 18, 5}, {0, 34, 6}, {0, 18, 7}, {2, 18, 10}, {2, 34, 11}},
                    nullptr),
                1.8);
  while (!t.Finished()) {
    t.Step(nullptr);
    ++t.play_position;
  }
  const std::string csv = offline::TravelDistanceCsv(run_, t, 2, ";", "15/03/2024 09:30:00");
  EXPECT_EQ(csv,
            "\"DATE:\";\"15/03/2024 09:30:00\"\r\n"
            "\"FILE:\";\"" +
                folder_.string() +
                "\"\r\n"
                "\r\n"
                "\"<<<<<< Travel Distance: [milimeter/acq_block] >>>>>>\"\r\n"
                "Group/Time[m];0.0;1.0;2.0\r\n"
                "\"002_Mutants\";9;0;4\r\n"
                "\"999_Free\";0;0;0\r\n"
                "\r\n");
}

TEST_F(TrackRunTest, TheReportNameNeverTouchesAnExistingFile) {
  testsupport::WriteBytes(folder_ / "report.csv", "kept");
  std::string message;
  EXPECT_EQ(offline::ClaimReportFile(folder_, ".csv", message), folder_ / "report_1.csv");
  EXPECT_EQ(offline::ClaimReportFile(folder_, ".csv", message), folder_ / "report_2.csv");
  EXPECT_EQ(testsupport::ReadBytes(folder_ / "report.csv"), "kept");
  EXPECT_EQ(message, "");

  for (int n = 3; n <= reports::kMaxReportNames; ++n)
    testsupport::WriteBytes(folder_ / ("report_" + std::to_string(n) + ".csv"), "");
  EXPECT_FALSE(offline::ClaimReportFile(folder_, ".csv", message).has_value());
  EXPECT_NE(message.find("is taken"), std::string::npos) << message;

  message.clear();
  EXPECT_FALSE(offline::ClaimReportFile(folder_ / "gone", ".csv", message).has_value());
  EXPECT_NE(message.find("gone"), std::string::npos) << message;
}

TEST_F(TrackRunTest, TheExportWritesANewFileAndOpensIt) {
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  testsupport::WriteBytes(folder_ / "report.csv", "kept");
  PathTracker t(offline::MakeTrackPlate(run_), {0},
                std::make_unique<ScriptedMarks>(std::set<std::tuple<int64_t, int, int>>{}, nullptr),
                1.8);
  EXPECT_EQ(offline::ExportTravelDistance(run_, t), "");
  EXPECT_EQ(launcher.calls,
            (std::vector<std::string>{"shell: explorer " + (folder_ / "report_1.csv").string()}));
  EXPECT_NE(testsupport::ReadBytes(folder_ / "report_1.csv").find("Group/Time[m]"),
            std::string::npos);
  launcher.refuse = true;
  EXPECT_EQ(offline::ExportTravelDistance(run_, t),
            "No program could open the distance file. It is saved as:\r\n" +
                (folder_ / "report_2.csv").string());
  platform::SetLauncher(nullptr);
}

TEST_F(TrackRunTest, TheStartNeedsRecordsAndRawData) {
  EXPECT_EQ(offline::ReadTrackStart(folder_, 500).message, offline::kActivityFileNotFound);
  WriteCountsMinutes(folder_, {});
  EXPECT_EQ(offline::ReadTrackStart(folder_, 500).message, offline::kNoCountsRecords);
  WriteCountsMinutes(folder_, {0, 1, 3});
  EXPECT_EQ(offline::ReadTrackStart(folder_, 500).message, offline::kNoRawDataToTrack);
  // A stray empty file far out is no raw data, and costs nothing to look at.
  SparseFile(folder_ / "999999999.bin", 0);
  EXPECT_EQ(offline::ReadTrackStart(folder_, 500).message, offline::kNoRawDataToTrack);
  SparseFile(folder_ / "0.bin", kRecordBytes);
  const offline::TrackStart start = offline::ReadTrackStart(folder_, 500);
  EXPECT_EQ(start.message, "");
  EXPECT_EQ(start.record_times, (std::vector<double>{0, 1, 3}));
}

TEST_F(TrackRunTest, TheRecordTimesAreReadInBoundedMemory) {
  if (!testsupport::AddressSpaceLimit::kAvailable) GTEST_SKIP() << "no address space limit here";
  // A sparse counts.bin of 200 MB read in 64 MB.
  constexpr std::uintmax_t kRecords = 200'000'000 / storage::kCountsRecordBytes;
  SparseFile(folder_ / "counts.bin", kRecords * storage::kCountsRecordBytes);
  SparseFile(folder_ / "0.bin", kRecordBytes);
  const offline::TrackStart start = [&] {
    const testsupport::AddressSpaceLimit limit(64u << 20);
    return offline::ReadTrackStart(folder_, 500);
  }();
  EXPECT_EQ(start.record_times.size(), kRecords);
}

TEST_F(TrackRunTest, ThePlatePictureLabelsEachChangeOfGroup) {
  const offline::PlotPicture pic = offline::TrackWellsPicture(run_);
  EXPECT_EQ(pic.scale, (offline::PlotScale{-50, -50, 2400, 1600}));
  std::vector<std::string> texts;
  std::map<std::pair<double, double>, int32_t> dots;
  for (const ui::DrawOp& op : pic.plan.Ops()) {
    if (op.kind == ui::OpKind::kText) texts.push_back(op.text);
    if (op.kind == ui::OpKind::kCircle) dots[{op.x1, op.y1}] = op.color;
  }
  // Well A1 (beam 0 on channel 18) is in group 2; well B1 is Free.
  EXPECT_EQ(texts, (std::vector<std::string>{"G2", "1", "A", "B"}));
  EXPECT_EQ(dots.size(), 384u);
  EXPECT_EQ((dots[{150, 250}]), Rgb(0, 0, 255));  // channel 18, on a well
  EXPECT_EQ((dots[{50, 50}]), Rgb(255, 255, 0));  // channel 0, off the plate

  // Both wells in group 0: the first is labelled, the second repeats its group.
  WriteGroups(folder_, {"Control"}, {{18, 0}, {1, 0}});
  texts.clear();
  const offline::PlotPicture regrouped = offline::TrackWellsPicture(LoadRun(folder_));
  for (const ui::DrawOp& op : regrouped.plan.Ops())
    if (op.kind == ui::OpKind::kText) texts.push_back(op.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"G0", "1", "A", "B"}));
}

// Activity on channel `active` in bin `bin` only; everything else flat.
int16_t Dips(int64_t bin, int c, int s, int64_t active_bin, int active) {
  int v = 2000 + (s * 7 + c) % 13;
  if (bin == active_bin && c == active && s % 40 < 3) v -= 400;
  return static_cast<int16_t>(v);
}

TEST_F(TrackRunTest, MarksComeFromBinBOfFileBDiv11AtRecordBMod11) {
  AppendRawBins(folder_, 0, 22, [](int64_t bin, int c, int s) {
    return bin == 13 ? Dips(bin, c, s, 13, 18) : Dips(bin, c, s, 2, 34);
  });
  offline::RawTrackMarks source(folder_, 500);
  offline::BlockMarks marks;
  const auto count = [&](int c) {
    int n = 0;
    for (int s = 0; s <= 500; ++s) n += marks.At(c, s);
    return n;
  };
  struct Row {
    int64_t block;
    bool on_18, on_34;
  };
  for (const Row& r : std::vector<Row>{{13, true, false},  // record 2 of file 1
                                       {2, false, true},
                                       {12, false, false},
                                       {22, false, false}}) {  // no such bin
    source.Marks(r.block, 1.8, {18, 34}, marks);
    EXPECT_EQ(count(18) > 0, r.on_18) << "block " << r.block;
    EXPECT_EQ(count(34) > 0, r.on_34) << "block " << r.block;
  }
  // The marks of a block are those of one call per channel on its samples.
  source.Marks(2, 1.8, {34, 18}, marks);
  for (int c : {18, 34}) {
    std::array<int16_t, 500> samples{};
    for (int s = 0; s < 500; ++s) samples[size_t(s)] = Dips(2, c, s, 2, 34);
    detection::DetectionParams p;
    p.method = 1;
    detection::DetectionTraces t;
    detection::AnalyzeRawBlock(samples, detection::ChannelMajor(500), p, t);
    for (int s = 0; s <= 500; ++s)
      ASSERT_EQ(marks.At(c, s), t.Event_Marks[size_t(s)] == -1) << c << " " << s;
  }
}

}  // namespace
}  // namespace offline_test
