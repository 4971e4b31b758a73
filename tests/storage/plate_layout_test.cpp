#include "storage/plate_layout.h"

#include <filesystem>

#include "storage_fixture.h"

namespace {

using storagetest::Crlf;

class PlateLayoutTest : public storagetest::StorageTest {
 protected:
  void LoadFormat(const std::string& format) {
    S().Plate_format = format;
    storage::LoadPlateLayout();
  }
  std::string Message(const std::string& format, int stage) {
    return "Error [\\" + format + ".dat] ID#" + std::to_string(stage) +
           " => Loading plate format from default: 384,96f or 96u...";
  }
};

TEST_F(PlateLayoutTest, BuiltInOneBeamLayoutWhenFileMissing) {
  dialogs_.ExpectOk();
  LoadFormat("w96u");
  EXPECT_EQ(dialogs_.log()[0], Message("w96u", 0));
  EXPECT_EQ(S().Plate_format, "w96u");
  for (int r = 0; r < 8; ++r) EXPECT_EQ(S().Channel_Well[static_cast<size_t>(2 * r)], r);
  EXPECT_EQ(S().Channel_Well[1], -1);
  for (int ch = 16; ch < 32; ++ch) EXPECT_EQ(S().Channel_Well[static_cast<size_t>(ch)], -1);
  EXPECT_EQ(S().Channel_Well[32], 8);
  EXPECT_EQ(S().Channel_Well[22 * 16 + 14], 95);
  EXPECT_EQ(S().Max_Well, 95);
  EXPECT_EQ(S().Max_Beam, 0);
  EXPECT_DOUBLE_EQ(S().Col_Offset, -0.5);
  EXPECT_EQ(S().WellGridAt(8, 0), 32);
}

TEST_F(PlateLayoutTest, BuiltInTwoBeamLayoutAndUnknownNamesBecomeW96f) {
  dialogs_.ExpectOk();
  LoadFormat("w96f");
  EXPECT_EQ(S().Channel_Well[16], 0);
  EXPECT_EQ(S().Channel_Beam[16], 1);
  EXPECT_EQ(S().WellGridAt(0, 1), 16);
  EXPECT_EQ(S().WellGridAt(0, 0), 0);
  EXPECT_EQ(S().Max_Beam, 1);

  dialogs_.ExpectOk();
  LoadFormat("96f");  // the setup default names no file
  EXPECT_EQ(dialogs_.log().back(), Message("96f", 0));
  EXPECT_EQ(S().Plate_format, "w96f");

  dialogs_.ExpectOk();
  LoadFormat("../config");  // never leaves the program folder
  EXPECT_EQ(S().Plate_format, "w96f");

  dialogs_.ExpectOk();
  LoadFormat("w384");
  EXPECT_EQ(S().Channel_Well[383], 383);
  EXPECT_EQ(S().Max_Well, 383);
  EXPECT_EQ(S().WellGridAt(200, 0), 200);
}

TEST_F(PlateLayoutTest, InstalledLayoutFilesLoadWithoutFallback) {
  const auto data = testsupport::SourceDir() / "data";
  for (const char* name : {"w96", "w96u", "w32_flytube", "w6"})
    std::filesystem::copy_file(data / (std::string(name) + ".dat"),
                               folder_ / (std::string(name) + ".dat"));

  // One beam per well: the poll of a 96-well format reads no other channel.
  for (const char* name : {"w96", "w96u"}) {
    LoadFormat(name);
    EXPECT_EQ(S().Channel_Well, storage::BuiltInPlateLayout("w96u").channel_well) << name;
    EXPECT_EQ(S().Max_Beam, 0);
    EXPECT_EQ(S().Plate_Rows * 100 + S().Plate_Cols, 812);
    EXPECT_DOUBLE_EQ(S().Row_Offset, -0.5);
  }

  LoadFormat("w32_flytube");
  EXPECT_EQ(S().Max_Well, 31);
  EXPECT_EQ(S().Max_Beam, 5);
  EXPECT_EQ(S().Plate_Rows * S().Plate_Cols, 32);
  // Every (tube, beam) slot is claimed by exactly one channel of an even grid row.
  std::vector<int> seen(384, 0);
  for (int w = 0; w <= 31; ++w)
    for (int b = 0; b <= 5; ++b) ++seen[static_cast<size_t>(S().WellGridAt(w, b))];
  for (int ch = 0; ch < 384; ++ch) EXPECT_EQ(seen[static_cast<size_t>(ch)], 1 - ch % 2) << ch;

  // Six wells of 32 beams: again every even-row channel claimed once.
  LoadFormat("w6");
  EXPECT_EQ(S().Max_Well, 5);
  EXPECT_EQ(S().Max_Beam, 31);
  EXPECT_EQ(S().Plate_Rows * 100 + S().Plate_Cols, 203);
  EXPECT_EQ(S().WellGridAt(3, 5), 9 * 16 + 10);  // well B2: grid column 9, row 10
  std::fill(seen.begin(), seen.end(), 0);
  for (int w = 0; w <= 5; ++w)
    for (int b = 0; b <= 31; ++b) ++seen[static_cast<size_t>(S().WellGridAt(w, b))];
  for (int ch = 0; ch < 384; ++ch) EXPECT_EQ(seen[static_cast<size_t>(ch)], 1 - ch % 2) << ch;
  EXPECT_TRUE(dialogs_.log().empty());
}

// Each built-in name is installed as a file made from its built-in table: loading the
// file fills the shared tables exactly as the built-in path does.
TEST_F(PlateLayoutTest, InstalledBuiltInLayoutsAreTheBuiltInTables) {
  const auto data = testsupport::SourceDir() / "data";
  for (const char* name : storage::kBuiltInPlateLayouts) {
    const std::string file = std::string(name) + ".dat";
    EXPECT_EQ(testsupport::ReadBytes(data / file), storage::BuiltInPlateLayoutFileText(name))
        << file << " is not what quenlar-plate-layouts writes";

    std::filesystem::remove(folder_ / file);
    const size_t boxes = dialogs_.log().size();
    dialogs_.ExpectOk();
    LoadFormat(name);
    ASSERT_EQ(dialogs_.log().size(), boxes + 1) << name;  // the built-in path's box
    const storage::SharedState built_in = S();

    // Other tables in between, so the file's load has everything to fill.
    storage::ApplyPlateLayout(storage::BuiltInPlateLayout(name == std::string("w384") ? "w96f" : "w384"));
    std::filesystem::copy_file(data / file, folder_ / file);
    LoadFormat(name);
    EXPECT_EQ(dialogs_.log().size(), boxes + 1) << name;
    EXPECT_EQ(S().Plate_format, name);
    EXPECT_EQ(S().Channel_Well, built_in.Channel_Well) << name;
    EXPECT_EQ(S().Channel_Beam, built_in.Channel_Beam) << name;
    EXPECT_EQ(S().Well_Grid, built_in.Well_Grid) << name;
    EXPECT_EQ(S().Max_Well, built_in.Max_Well) << name;
    EXPECT_EQ(S().Max_Beam, built_in.Max_Beam) << name;
    EXPECT_EQ(S().Plate_Rows * 100 + S().Plate_Cols, built_in.Plate_Rows * 100 + built_in.Plate_Cols);
    EXPECT_DOUBLE_EQ(S().Row_Pitch, built_in.Row_Pitch);
    EXPECT_DOUBLE_EQ(S().Row_Offset, built_in.Row_Offset);
    EXPECT_DOUBLE_EQ(S().Col_Pitch, built_in.Col_Pitch);
    EXPECT_DOUBLE_EQ(S().Col_Offset, built_in.Col_Offset) << name;
    std::filesystem::remove(folder_ / file);
  }
}

TEST_F(PlateLayoutTest, ShortFileLeavesUnlistedChannelsOffThePlate) {
  Write("small.dat", Crlf({"\"Plate\",\"small\"", "2,1,0,2,1,0.5", "\"<Label>, <Well>, <Beam>\"",
                           "\"A1\",0,0", "\"B1\",1,0", "\"A2\",2,0", "\"B2\",3,1"}));
  dialogs_.ExpectOk();
  LoadFormat("w384");  // every channel on a well first
  LoadFormat("small");
  ASSERT_EQ(dialogs_.log().size(), 1u);
  EXPECT_EQ(S().Max_Well, 3);
  EXPECT_EQ(S().Max_Beam, 1);
  EXPECT_EQ(S().Channel_Well[4], -1);
  EXPECT_EQ(S().Channel_Well[383], -1);
  EXPECT_EQ(S().WellGridAt(3, 1), 3);
  EXPECT_EQ(S().WellGridAt(3, 0), 0);  // nobody's slot
  EXPECT_DOUBLE_EQ(S().Col_Offset, 0.5);
}

TEST_F(PlateLayoutTest, DamagedFilesTakeTheBuiltInPathOrReachTheCaller) {
  const std::string head = "\"Plate\",\"bad\"\r\n";
  std::string spare_record_past_the_plate;
  for (int ch = 0; ch < 384; ++ch) spare_record_past_the_plate += "\"-\",-1,0\r\n";
  spare_record_past_the_plate += "\"spare\",30000,30000\r\n";
  struct Case {
    std::string body;
    int stage;
  };
  const Case cases[] = {
      {"x,1,0,2,1,0\r\n", 1},                             // geometry not a number
      {"2,1,0,2,1,0\r\n\"h\"\r\n\"A1\",0\r\n", 2},        // record cut short
      {"2,1,0,2,1,0\r\n\"h\"\r\n\"A1\",4,0\r\n", 3},      // well past the plate
      {"2,1,0,2,1,0\r\n\"h\"\r\n\"A1\",0,-2\r\n", 3},     // negative beam
      {"0,1,0,2,1,0\r\n\"h\"\r\n\"A1\",0,0\r\n", 3},      // no rows
      {"2,1,0,2,1,0\r\n\"h\"\r\n\"A1\",70000,0\r\n", 2},  // 16-bit overflow
      {"2,1,0,2,1,0\r\n\"h\"\r\n\"-\",-1,30000\r\n", 3},  // off the plate, beam past the grid
      {"2,1,0,2,1,0\r\n\"h\"\r\n" + spare_record_past_the_plate, 3},  // the spare record too
      {"2,0,0,2,1,0\r\n\"h\"\r\n\"A1\",0,0\r\n", 3},                  // zero row pitch
      {"2,1,0,2,-1,0\r\n\"h\"\r\n\"A1\",0,0\r\n", 3},                 // negative column pitch
  };
  for (const Case& c : cases) {
    Write("bad.dat", head + c.body);
    S().Plate_format = "bad";
    dialogs_.ExpectOk();
    storage::LoadPlateLayout();
    EXPECT_EQ(dialogs_.log().back(), Message("bad", c.stage)) << c.body;
    EXPECT_EQ(S().Plate_format, "w96f");

    const storage::SharedState before = S();
    S().Plate_format = "bad";
    std::string error;
    EXPECT_FALSE(storage::LoadPlateLayoutNoTrap(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(S().Channel_Well, before.Channel_Well);
    EXPECT_EQ(S().Well_Grid, before.Well_Grid);
  }
}

TEST(WellLabels, RowLetterThenColumnNumberThenBeam) {
  struct Row {
    int well, rows;
    const char* label;
  };
  for (const Row& r : {Row{0, 8, "A1"}, Row{7, 8, "H1"}, Row{8, 8, "A2"}, Row{17, 8, "B3"},
                       Row{13, 8, "F2"}, Row{383, 16, "P24"}, Row{-1, 8, ""}, Row{5, 0, ""}}) {
    EXPECT_EQ(storage::WellLabel(r.well, r.rows), r.label) << r.well;
  }
}

// A layout's view claims a slot only for the channel that maps back to it; a well past
// Max_Well or an empty slot has no channel.
TEST(PlateViewTest, ClaimedChannels) {
  storage::ResetSharedState();
  storage::ApplyPlateLayout(storage::BuiltInPlateLayout("w96f"));
  auto& s = storage::Shared();
  const storage::PlateView v = storage::SharedPlateView(s);
  EXPECT_EQ(v.ClaimedChannel(17, 1), 82);
  EXPECT_EQ(storage::ChannelLabel(v, 82), "B3.1");
  EXPECT_EQ(storage::ChannelLabel(v, 1), "");
  EXPECT_EQ(storage::ChannelLabel(v, 384), "");
  s.Max_Well = 500;  // set without a rebuild of the grid
  EXPECT_EQ(storage::SharedPlateView(s).ClaimedChannel(200, 0), -1);
  storage::ResetSharedState();
}

}  // namespace
