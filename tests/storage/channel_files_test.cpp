#include "storage/channel_files.h"

#include "storage/file_io.h"
#include "storage/setup_file.h"
#include "storage_fixture.h"
#include "support/address_space_limit.h"

namespace {

using storagetest::Crlf;

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

class ChannelFiles : public storagetest::StorageTest {
 protected:
  static std::string Table(const std::string& header, int lines, const std::string& value) {
    std::string out = "\"" + header + "\"\r\n";
    for (int k = 0; k < lines; ++k) out += std::to_string(k) + "," + value + "\r\n";
    return out;
  }
};

TEST_F(ChannelFiles, SavedFilesFollowTheLayoutExactly) {
  S().Enabled[1] = 0;
  S().Enabled[2] = 5;
  S().ThresholdAt(0, 0) = 2.34567;
  S().ThresholdAt(0, 1) = 1.875;
  S().ThresholdAt(0, 2) = 3.0;
  S().Group_Name[0] = "Ctrl \"A\"";
  S().Group[0] = -1;
  ASSERT_TRUE(storage::SaveChannelFiles(folder_.path().string(), -1));

  const std::string status = Read("status.dat");
  EXPECT_PRED2(StartsWith, status, "\"<Channel>, <Enabled>\"\r\n0,1\r\n1,0\r\n2,1\r\n");
  EXPECT_EQ(status.size(), std::string("\"<Channel>, <Enabled>\"\r\n").size() + 10 * 5 + 90 * 6 +
                               284 * 7);  // "k,1\r\n" for k = 0..383
  EXPECT_EQ(status.substr(status.size() - 7), "383,1\r\n");

  const std::string thr = Read("threshld.dat");
  EXPECT_PRED2(StartsWith, thr, "\"<Channel>, <Threshold>\"\r\n0,2.346\r\n1,1.875\r\n2,3\r\n");

  const std::string groups = Read("groups.dat");
  EXPECT_PRED2(StartsWith, groups,
               "\"<Group_Number>, <Group_Name>\"\r\n0,\"Ctrl A\"\r\n1,\"Group1\"");
  EXPECT_EQ(groups.substr(groups.size() - 12), "383,\"Free\"\r\n");
  EXPECT_NE(groups.find("\r\n12,\"Free\"\r\n"), std::string::npos);

  const std::string chg = Read("chgroup.dat");
  EXPECT_PRED2(StartsWith, chg, "\"<Channel>, <Group: -1=Free>\"\r\n0,-1\r\n1,0\r\n2,");
  EXPECT_EQ(chg.substr(chg.size() - 8), "383,12\r\n");
}

TEST_F(ChannelFiles, StationChoosesGroupTablesAndUnknownStationWritesNone) {
  S().Group_Name_s3[0] = "Third";
  ASSERT_TRUE(storage::SaveChannelFiles(folder_.path().string(), 2));
  EXPECT_NE(Read("groups.dat").find("0,\"Third\""), std::string::npos);
  std::filesystem::remove(Path("groups.dat"));
  std::filesystem::remove(Path("chgroup.dat"));
  ASSERT_TRUE(storage::SaveProjectSetup(folder_.path().string(), 1, 5));
  EXPECT_FALSE(std::filesystem::exists(Path("groups.dat")));
  EXPECT_FALSE(std::filesystem::exists(Path("chgroup.dat")));
  EXPECT_TRUE(std::filesystem::exists(Path("status.dat")));
  EXPECT_TRUE(std::filesystem::exists(Path("threshld.dat")));
}

TEST_F(ChannelFiles, ShortFilesChangeOnlyTheEntriesTheyList) {
  S().ThresholdAt(0, 150) = 7.5;
  Write("threshld.dat", Table("<Channel>, <Threshold>", 100, "1.25"));
  storage::LoadThresholds(1);
  EXPECT_DOUBLE_EQ(S().ThresholdAt(0, 99), 1.25);
  EXPECT_DOUBLE_EQ(S().ThresholdAt(0, 150), 7.5);

  // status: -1 enables like 1, 0 disables, channels past the end stay usable.
  S().Enabled[300] = 0;
  Write("status.dat", Crlf({"\"<Channel>, <Enabled>\"", "0,-1", "1,0", "2,1"}));
  storage::LoadChannelStatus(1);
  EXPECT_EQ(S().Enabled[0], -1);
  EXPECT_EQ(S().Enabled[1], 0);
  EXPECT_EQ(S().Enabled[2], -1);
  EXPECT_EQ(S().Enabled[300], -1);

  // Group numbers no table holds become Free.
  Write("chgroup.dat", Crlf({"\"<Channel>, <Group: -1=Free>\"", "0,5", "1,384", "2,-7", "3,383"}));
  S().Group[10] = 4;
  storage::LoadChannelGroups(1);
  EXPECT_EQ(S().Group[0], 5);
  EXPECT_EQ(S().Group[1], -1);
  EXPECT_EQ(S().Group[2], -1);
  EXPECT_EQ(S().Group[3], 383);
  EXPECT_EQ(S().Group[10], 4);
  EXPECT_TRUE(dialogs_.log().empty());
}

TEST_F(ChannelFiles, MissingGroupFilesGiveDefaultsSilentlyOthersWithMessages) {
  S().Group_Name[3] = "x";
  S().Group[20] = 7;
  storage::LoadGroups(5);
  storage::LoadChannelGroups(5);
  EXPECT_TRUE(dialogs_.log().empty());
  EXPECT_EQ(S().Group_Name[3], "Group3");
  EXPECT_EQ(S().Group_Name[12], "Free");
  EXPECT_EQ(S().Group[20], 1);
  EXPECT_EQ(S().Group[23 * 16], 12);

  S().Enabled[4] = 0;
  S().ThresholdAt(0, 4) = 9.0;
  dialogs_.ExpectOk().ExpectOk();
  storage::LoadChannelStatus(5);
  storage::LoadThresholds(5);
  EXPECT_EQ(dialogs_.log()[0], "Error [\\p0005\\status.dat] => Loading default values...");
  EXPECT_EQ(dialogs_.log()[1], "Error [\\p0005\\threshld.dat] => Loading default values...");
  EXPECT_EQ(S().Enabled[4], -1);
  EXPECT_DOUBLE_EQ(S().ThresholdAt(0, 4), 3.0);
}

TEST_F(ChannelFiles, DamagedFilesGiveDefaultsWithTheirMessages) {
  S().Group_Name_s2[0] = "s2";
  Write("groups.dat", Crlf({"\"<Group_Number>, <Group_Name>\"", "0,\"A\"", "1"}));
  Write("chgroup.dat", Crlf({"\"<Channel>, <Group: -1=Free>\"", "0,3", "1,70000"}));
  Write("threshld.dat", Crlf({"\"<Channel>, <Threshold>\"", "0,1.5", "1,abc"}));
  dialogs_.ExpectOk().ExpectOk().ExpectOk();
  storage::LoadGroups(12);
  storage::LoadChannelGroups(12);
  storage::LoadThresholds(12);
  EXPECT_EQ(dialogs_.log()[0], "Error [\\p0012\\groups.dat] => Loading default groups...");
  EXPECT_EQ(dialogs_.log()[1], "Error [\\p0012\\chgroup.dat] => Loading default groups...");
  EXPECT_EQ(dialogs_.log()[2], "Error [\\p0012\\threshld.dat] => Loading default values...");
  EXPECT_EQ(S().Group_Name[0], "Group0");
  EXPECT_EQ(S().Group_Name_s2[0], "Group0");
  EXPECT_EQ(S().Group[0], 0);
  EXPECT_DOUBLE_EQ(S().ThresholdAt(0, 0), 3.0);
}

TEST_F(ChannelFiles, RoundTrip) {
  for (int ch = 0; ch < 384; ++ch) {
    S().Enabled[static_cast<size_t>(ch)] = ch % 3 ? -1 : 0;
    S().ThresholdAt(0, ch) = ch * 0.125;
    S().Group[static_cast<size_t>(ch)] = static_cast<int16_t>(ch % 7 - 1);
    S().Group_Name[static_cast<size_t>(ch)] = "G, " + std::to_string(ch);
  }
  const storage::SharedState saved = S();
  ASSERT_TRUE(storage::SaveChannelFiles(folder_.path().string(), 0));
  storage::ResetSharedState();
  S().Project_Path = folder_.path().string();
  storage::LoadChannelStatus(1);
  storage::LoadThresholds(1);
  storage::LoadGroups(1);
  storage::LoadChannelGroups(1);
  EXPECT_EQ(S().Enabled, saved.Enabled);
  EXPECT_EQ(S().Threshold, saved.Threshold);
  EXPECT_EQ(S().Group, saved.Group);
  EXPECT_EQ(S().Group_Name, saved.Group_Name);
}

TEST_F(ChannelFiles, ValuesOfAnyFolderStopAtTheTableOrTheFault) {
  struct Case {
    const char* name;
    std::string bytes;  // empty: no file
    bool found;
    bool damaged;
    size_t count;
    std::string last;
  };
  const std::vector<Case> cases = {
      {"missing", "", false, false, 0, ""},
      {"header only", Crlf({"\"h\""}), true, false, 0, ""},
      {"quoted name with a comma", Crlf({"\"h\"", "0,\"a, b\""}), true, false, 1, "a, b"},
      {"record cut short", Crlf({"\"h\"", "0,5", "1"}), true, true, 1, "5"},
      {"more than the table", Table("h", 400, "7"), true, false, 385, "7"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Path("t.dat"));
    if (!c.bytes.empty()) Write("t.dat", c.bytes);
    bool damaged = false;
    const auto values = storage::ReadChannelTableValues(Path("t.dat"), damaged);
    ASSERT_EQ(values.has_value(), c.found) << c.name;
    EXPECT_EQ(damaged, c.damaged) << c.name;
    if (!values) continue;
    EXPECT_EQ(values->size(), c.count) << c.name;
    if (c.count > 0) {
      EXPECT_EQ(values->back(), c.last) << c.name;
    }
  }
}

// A settings text past the bound is refused unread: its size is all that is looked at,
// the user is told it (once for one file and size), and the loader goes on as for a
// file it cannot read.
TEST_F(ChannelFiles, AFilePastTheTextBoundIsRefusedUnreadAndNamed) {
  const std::string path = Path("status.dat");
  const std::string defaults = "Error [\\p0005\\status.dat] => Loading default values...";
  const auto sparse = [&](std::uint64_t size) {
    Write("status.dat", "");
    std::filesystem::resize_file(path, size);
  };
  sparse(storage::kTextFileLimit);
  ASSERT_TRUE(storage::ReadTextFile(path));
  EXPECT_EQ(storage::ReadTextFile(path)->size(), storage::kTextFileLimit);
  EXPECT_TRUE(dialogs_.log().empty());

  const std::uint64_t past = storage::kTextFileLimit + 1;
  sparse(past);
  S().Enabled[4] = 0;
  dialogs_.ExpectOk().ExpectOk().ExpectOk();
  storage::LoadChannelStatus(5);
  storage::LoadChannelStatus(5);
  EXPECT_EQ(dialogs_.log(),
            (std::vector<std::string>{path + " was not read: it holds 16777217 bytes, far more "
                                             "than a file of its kind ever holds.",
                                      defaults, defaults}));
  EXPECT_EQ(S().Enabled[4], -1);

  // 3 GB, where memory is short: were it read, the load would end the program.
  if (!testsupport::AddressSpaceLimit::kAvailable) GTEST_SKIP() << "no memory limit here";
  sparse(std::uint64_t{3} << 30);
  dialogs_.ExpectOk().ExpectOk();
  {
    const testsupport::AddressSpaceLimit limit(256u << 20);
    storage::LoadChannelStatus(5);
  }
  EXPECT_EQ(dialogs_.log().at(3), storage::TooLargeText(path, std::uint64_t{3} << 30));
}

}  // namespace
