#include "offline/signal_view.h"

#include "offline/group_editor.h"
#include "platform/launcher.h"
#include "raw_fixture.h"

namespace offline_test {
namespace {

using offline::Rgb;

// The 2 x 2 plate "w3b": A1 has beams 0..2 on channels 0, 2, 4; B1, A2 and B2 one beam
// each on channels 1, 16 and 17.
class SignalTest : public RawTest {
 protected:
  SignalTest() {
    WritePlate("w3b", 2, 2, {{0, 0, 0}, {2, 0, 1}, {4, 0, 2}, {1, 1, 0}, {16, 2, 0}, {17, 3, 0}});
    folder_ = MakeRawRun({"w3b"});
    run_ = LoadRun(folder_);
  }
  fs::path folder_;
  offline::LoadedRun run_;
};

TEST(SignalView, BeamColours) {
  const std::vector<int32_t> three = offline::BeamColours(2);
  EXPECT_EQ(three, (std::vector<int32_t>{0x0000FF, 0xFF0000, 0x00FF00, Rgb(200, 128, 0), 0}));
  // Six beams: a ramp from pure green to pure red.
  EXPECT_EQ(offline::BeamColours(5),
            (std::vector<int32_t>{Rgb(0, 255, 0), Rgb(51, 204, 0), Rgb(102, 153, 0),
                                  Rgb(153, 102, 0), Rgb(204, 51, 0), Rgb(255, 0, 0)}));
  // k / B x 255 rounds half to even: 25.5 -> 26, 76.5 -> 76, 127.5 -> 128.
  const std::vector<int32_t> eleven = offline::BeamColours(10);
  ASSERT_EQ(eleven.size(), 11u);
  EXPECT_EQ(eleven[1], Rgb(26, 229, 0));
  EXPECT_EQ(eleven[3], Rgb(76, 179, 0));
  EXPECT_EQ(eleven[5], Rgb(128, 127, 0));
}

TEST_F(SignalTest, TheBeamListHoldsTheChannelsOfTheChosenWell) {
  EXPECT_EQ(offline::BeamList(run_, 2), (std::vector<int>{0, 2, 4, -1, -1}));
  EXPECT_EQ(offline::BeamList(run_, 17), (std::vector<int>{17, -1, -1, -1, -1}));
  EXPECT_EQ(offline::BeamList(run_, 300), (std::vector<int>(5, -1)));  // on no well
  EXPECT_EQ(offline::BeamList(run_, -1), (std::vector<int>(5, -1)));
}

TEST_F(SignalTest, TheWellChoiceIsValidated) {
  struct Case {
    const char *row, *col, *sub;
    int channel;
    bool message;
  };
  const std::vector<Case> cases = {
      {"A", "1", "0", 0, false},  {"A", "1", "2", 4, false},   {"B", "2", "0", 17, false},
      {"A", "2", "", 16, false},                              // an empty beam box reads as 0
      {"", "1", "0", -1, false},  {"A", "", "0", -1, false},  // empty combos: no choice
      {"C", "1", "0", -1, true},  {"a", "1", "0", -1, true},   {"A", "3", "0", -1, true},
      {"A", "0", "0", -1, true},  {"A", "1.5", "0", -1, true}, {"A", "1", "3", -1, true},
      {"A", "1", "-1", -1, true}, {"B", "1", "1", -1, true},  // B1 has no beam 1
  };
  for (const Case& c : cases) {
    const offline::WellChoice got = offline::ChooseWell(run_, c.row, c.col, c.sub);
    EXPECT_EQ(got.channel, c.channel) << c.row << c.col << "." << c.sub;
    EXPECT_EQ(!got.message.empty(), c.message) << c.row << c.col << "." << c.sub;
  }

  struct Entry {
    const char* text;
    int row, col;
  };
  for (const Entry& e : std::vector<Entry>{{"B2", 1, 1},
                                           {"A1", 0, 0},
                                           {"A1.2", 0, 0},
                                           {"B2.0", 1, 1},
                                           {"B.1", -1, -1},
                                           {"C1", -1, -1},
                                           {"A0", -1, -1},
                                           {"A3", -1, -1},
                                           {"", -1, -1}}) {
    const offline::WellIndexes got = offline::WellOfListEntry(run_, e.text);
    EXPECT_EQ(got.row_index, e.row) << e.text;
    EXPECT_EQ(got.col_index, e.col) << e.text;
    EXPECT_EQ(got.message.empty(), e.row >= 0) << e.text;
  }
}

TEST_F(SignalTest, TheGroupListHoldsTheEnabledChannelsOfTheGroupOnAWell) {
  // Group 1: A1's beams 0 and 2, B2 and the off-plate channel 300; group 0: B1. Beam 2
  // of A1 (channel 4) is disabled.
  WriteGroups(folder_, {"G0", "G1"}, {{0, 1}, {4, 1}, {17, 1}, {1, 0}, {300, 1}});
  testsupport::WriteBytes(folder_ / "status.dat", Crlf({"\"h\"", "0,1", "1,1", "2,1", "3,1", "4,0"}));
  offline::LoadedRun run = LoadRun(folder_);
  const setup::GroupModel groups = offline::RunGroupModel(run);
  EXPECT_EQ(offline::GroupChannelLabels(groups, 1), (std::vector<std::string>{"A1.0", "B2.0"}));
  EXPECT_EQ(offline::GroupChannelLabels(groups,  0), (std::vector<std::string>{"B1.0"}));
  EXPECT_EQ(offline::GroupChannelLabels(groups,  -1), (std::vector<std::string>{"A1.1", "A2.0"}));
  EXPECT_TRUE(offline::GroupChannelLabels(groups,  -2).empty());
  EXPECT_TRUE(offline::GroupChannelLabels(groups,  384).empty());
}

// Bin b, channel c, row s: 1000 c + 10 b + s % 10.
int16_t Level(int64_t bin, int c, int s) {
  return static_cast<int16_t>(c > 10 ? 0 : 1000 * c + 10 * bin + s % 10);
}

TEST_F(SignalTest, ThePagePictureDrawsEachBeamOfEachBlockAsOneTrace) {
  SparseFile(folder_ / "4.bin", 6 * kRecordBytes);  // bins 44..49, all zero
  AppendRawBins(folder_, 50, 2, Level);             // bins 50 and 51
  const offline::RawFiles files = offline::CountRawFiles(folder_, 500);
  ASSERT_EQ(files.pages, 2);
  const offline::RawPage page = offline::LoadRawPage(folder_, 500, files, 2);
  const std::vector<int> beams = offline::BeamList(run_, 0);
  const offline::PlotPicture pic =
      offline::SignalPagePicture(page, beams, offline::BeamColours(run_.Run_Max_Beam));

  EXPECT_EQ(pic.scale, (offline::PlotScale{-1000, 2150, 25000, -150}));
  std::vector<std::tuple<double, double, std::string>> texts;
  std::vector<const ui::DrawOp*> traces, block_lines;
  for (const ui::DrawOp& op : pic.plan.Ops()) {
    if (op.kind == ui::OpKind::kText) texts.emplace_back(op.x1, op.y1, op.text);
    if (op.kind == ui::OpKind::kTrace) traces.push_back(&op);
    if (op.kind == ui::OpKind::kLine && op.color == Rgb(200, 200, 200)) block_lines.push_back(&op);
  }
  EXPECT_EQ(texts, (std::vector<std::tuple<double, double, std::string>>{{-1000, 2150, "100%"},
                                                                         {-1000, 100, "  0%"},
                                                                         {0, -30, "25k"},
                                                                         {12000, -25, "[sample]"},
                                                                         {23500, -30, "50k"}}));
  ASSERT_EQ(traces.size(), 50u * 3u);
  ASSERT_EQ(block_lines.size(), 50u);
  EXPECT_EQ(block_lines[3]->x1, 1500);
  // Block 1, beam 2 (channel 4): 501 samples one unit apart from x = 500, in green.
  const ui::DrawOp& beam2 = *traces[3 + 2];
  ASSERT_EQ(beam2.points.size(), 501u);
  EXPECT_EQ(beam2.color, Rgb(0, 255, 0));
  EXPECT_EQ(beam2.x1, 500);
  EXPECT_EQ(beam2.x2, 1);
  EXPECT_EQ(beam2.points[0], Level(51, 4, 0));
  EXPECT_EQ(beam2.points[500], Level(51, 4, 499));
  // Block 2 was never recorded: a flat line at 0.
  EXPECT_EQ(traces[6]->points[250], 0);
}

TEST_F(SignalTest, DatafileHoldsTheHeaderAndOneLineOfLevelsPerSample) {
  WritePlate("w2b", 1, 1, {{3, 0, 0}, {5, 0, 1}});
  const fs::path folder = MakeRun(Home() / "p00001", "20240316_1000", "", {}, {"w2b"});
  const offline::LoadedRun run = LoadRun(folder);
  AppendRawBins(folder, 0, 1, Level);
  const offline::RawFiles files = offline::CountRawFiles(folder, 500);
  const offline::RawPage page = offline::LoadRawPage(folder, 500, files, 1);
  const std::vector<int> beams = offline::BeamList(run, 3);
  ASSERT_EQ(beams, (std::vector<int>{3, 5, -1, -1, -1}));

  const offline::DataFileHeader header{"Raw", "/data/p00001/20240316_1000", "A1", "1/1"};
  const std::string bytes = offline::DataFileBytes(header, page, beams);
  const std::string head =
      "\"Raw\"\r\n\"/data/p00001/20240316_1000\"\r\n\r\nWell: A1 Page[1/1] [#0k-25k]\r\n\r\n"
      "A1.0 A1.1 \r\n";
  ASSERT_EQ(bytes.substr(0, head.size()), head);
  // Block 0 from sample 1: 3001 5001, 3002 5002, ...; sample 500 repeats 499.
  const std::string block0 = bytes.substr(head.size(), 3 * 12);
  EXPECT_EQ(block0, "3001 5001 \r\n3002 5002 \r\n3003 5003 \r\n");
  std::string lines;
  for (int s = 1; s <= 500; ++s)
    lines += std::to_string(Level(0, 3, s == 500 ? 499 : s)) + " " +
             std::to_string(Level(0, 5, s == 500 ? 499 : s)) + " \r\n";
  for (int b = 1; b < 50; ++b)
    for (int s = 1; s <= 500; ++s) lines += "0 0 \r\n";
  EXPECT_EQ(bytes.substr(head.size()), lines);
}

TEST_F(SignalTest, DatafileNamesTheWellByItsRowLetterAndColumnNumber) {
  // An 8 x 12 plate, wells numbered down the columns; channel 4 is on no well.
  WritePlate("w8x12", 8, 12, {{0, 0, 0}, {1, 7, 0}, {2, 8, 0}, {3, 95, 0}});
  const offline::LoadedRun run =
      LoadRun(MakeRun(Home() / "p00001", "20240316_1000", "", {}, {"w8x12"}));
  const std::pair<int, const char*> cases[] = {
      {0, "A1"}, {1, "H1"}, {2, "A2"}, {3, "H12"}, {4, ""}};
  for (const auto& [channel, label] : cases)
    EXPECT_EQ(offline::WellLabel(run, channel), label) << channel;
}

TEST_F(SignalTest, TheExportOpensTheFileByItsAbsolutePathOrSaysWhyNot) {
  platform::RecordingLauncher launcher;
  platform::SetLauncher(&launcher);
  offline::RawPage page;
  page.page = 1;
  const offline::DataFileHeader header{"Raw", "x", "A1", "1/1"};
  EXPECT_EQ(offline::ExportDataFile(Home(), header, page, {0}), "");
  ASSERT_EQ(launcher.calls.size(), 1u);
  EXPECT_EQ(launcher.calls[0], "shell: notepad " + (Home() / "datafile.txt").string());
  EXPECT_TRUE(fs::exists(Home() / "datafile.txt"));
  launcher.refuse = true;
  EXPECT_EQ(offline::ExportDataFile(Home(), header, page, {0}),
            "No program could open the data file. It is saved as:\r\n" +
                (Home() / "datafile.txt").string());

  const std::string failed = offline::ExportDataFile(Home() / "no such folder", header, page, {0});
  EXPECT_NE(failed.find("datafile.txt"), std::string::npos) << failed;
  EXPECT_EQ(launcher.calls.size(), 2u);
  platform::SetLauncher(nullptr);
}

}  // namespace
}  // namespace offline_test
