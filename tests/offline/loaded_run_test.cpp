#include "offline/loaded_run.h"

#include <optional>

#include "offline_fixture.h"
#include "storage/file_io.h"
#include "support/address_space_limit.h"

namespace offline_test {
namespace {

using offline::LoadAcquisitionSetup;
using offline::RunLoadStatus;

class LoadedRunTest : public OfflineTest {
 protected:
  LoadedRunTest() { WriteTestPlate(); }
  offline::RunLoad Load(const fs::path& folder) { return LoadAcquisitionSetup(folder, Home()); }
};

TEST_F(LoadedRunTest, ReadsTheRunsOwnFilesIntoAFreshRun) {
  const fs::path p = MakeProject(7, "Dose response");
  const fs::path a = MakeRun(p, "20240315_0930", "A", {}, {"wtest", 45, 2, 1, 25});
  testsupport::WriteBytes(a / "threshld.dat", Crlf({"\"<Channel>, <Threshold>\"", "0,2.5", "1,4"}));
  testsupport::WriteBytes(a / "status.dat", Crlf({"\"<Channel>, <Enabled>\"", "0,0", "1,1"}));
  WriteGroups(a, {"Control", "Drug"}, {{0, 0}, {1, 999}, {16, 1}, {17, -5}});

  const offline::RunLoad ra = Load(a);
  ASSERT_EQ(ra.status, RunLoadStatus::kOk) << ra.message;
  const offline::LoadedRun& A = *ra.run;
  EXPECT_EQ(A.Chosen_Project, "p00007");
  EXPECT_EQ(A.Chosen_Run, "20240315_0930");
  EXPECT_EQ(A.Chosen_Run_Path, a);
  EXPECT_EQ(A.Run_Aq_lapse, 45);
  EXPECT_EQ(A.Run_DSP_Method, 2);
  EXPECT_EQ(A.Organism(), 1);
  EXPECT_EQ(A.Run_Threshold[0], "2.5");
  EXPECT_EQ(A.Run_Enabled[0], 0);
  EXPECT_EQ(A.Run_Enabled[1], -1);
  EXPECT_EQ(A.Run_Enabled[300], -1);
  EXPECT_EQ(A.Run_Group[0], 0);
  EXPECT_EQ(A.Run_Group[1], -1);   // 999: no such group
  EXPECT_EQ(A.Run_Group[17], -1);  // -5
  EXPECT_EQ(A.Run_Group_Name[1], "Drug");
  EXPECT_EQ(A.Run_Plate_Rows, 2);
  EXPECT_EQ(A.WellGridAt(2, 0), 16);
  EXPECT_EQ(A.WellGridAt(2, 1), -1);
  EXPECT_EQ(A.Plate().ClaimedChannel(3, 0), 17);

  // Run B has neither threshld.dat nor groups files nor status.dat: nothing of A.
  const fs::path b = MakeRun(p, "20240316_0930", "B", {});
  const offline::RunLoad rb = Load(b);
  ASSERT_EQ(rb.status, RunLoadStatus::kOk);
  const offline::LoadedRun fresh;
  EXPECT_EQ(rb.run->Run_Threshold, fresh.Run_Threshold);
  EXPECT_EQ(rb.run->Run_Threshold[0], "3");
  EXPECT_EQ(rb.run->Run_Group, fresh.Run_Group);
  EXPECT_EQ(rb.run->Run_Group_Name[1], "Group1");
  EXPECT_EQ(rb.run->Run_Enabled[0], -1);
  EXPECT_TRUE(dialogs_.log().empty());
}

TEST_F(LoadedRunTest, ShortSetupKeepsTheDefaultToolTables) {
  const fs::path p = MakeProject(1, "P");
  const fs::path run = MakeRun(p, "20240101_0800", "", {}, {"wtest", 30, 1, 3, 0});
  const std::string six = Crlf(
      {"\"h\"", "1,\"P\",\"\",\"wtest\"", "\"h\"", "1,90,99,500,3,30", "\"h\"", "1,300,80,1,1,1"});
  testsupport::WriteBytes(run / "setup.dat", six);
  const offline::RunLoad r = Load(run);
  ASSERT_EQ(r.status, RunLoadStatus::kOk);
  const offline::LoadedRun fresh;
  EXPECT_EQ(r.run->Run_Aq_lapse, 90);
  EXPECT_EQ(r.run->Run_Menu, fresh.Run_Menu);
  EXPECT_EQ(r.run->Organism(), fresh.Organism());
  // The default SNR x 10 of 0 reads as 1.8.
  EXPECT_EQ(r.run->SnrX10(), 18);
  EXPECT_EQ(offline::SnrText(*r.run), "1.8");
  EXPECT_EQ(
      r.run->Details_Text,
      "\r\n\t***** CONFIG ******\r\n\tMicroplate format: [wtest]\r\n\tAcquisition Lapse = 90min"
      "\r\n\tSetting: Mode3\r\n\t[C.elegans SNR=1.8]");
}

TEST_F(LoadedRunTest, RefusesWhatCannotBeARun) {
  const fs::path p = MakeProject(1, "P");
  struct Case {
    const char* name;
    std::function<fs::path()> make;
    RunLoadStatus status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"no folder", [&] { return p / "20240101_0000"; }, RunLoadStatus::kNoFolder, ""},
      {"no setup.dat",
       [&] {
         fs::create_directories(p / "20240101_0100");
         return p / "20240101_0100";
       },
       RunLoadStatus::kNoSetup, ""},
      {"setup.dat with words for numbers",
       [&] {
         const fs::path f = MakeRun(p, "20240101_0200", "", {});
         testsupport::WriteBytes(f / "setup.dat",
                                 Crlf({"\"h\"", "1,\"P\",\"\",\"wtest\"", "\"h\"", "x,y"}));
         return f;
       },
       RunLoadStatus::kBadSetup, ""},
      {"no plate file", [&] { return MakeRun(p, "20240101_0300", "", {}, {"w1536x"}); },
       RunLoadStatus::kNoPlate, "Multiwell Configuration File w1536x.dat or .bak not found"},
      {"plate name leaving the folder",
       [&] { return MakeRun(p, "20240101_0400", "", {}, {"../wtest"}); }, RunLoadStatus::kNoPlate,
       "Multiwell Configuration File ../wtest.dat or .bak not found"},
      {"plate with a huge beam",
       [&] {
         WritePlate("whuge", 2, 2, {{0, 0, 30000}});
         return MakeRun(p, "20240101_0500", "", {}, {"whuge"});
       },
       RunLoadStatus::kBadPlate, ""},
  };
  for (const Case& c : cases) {
    const offline::RunLoad r = Load(c.make());
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_FALSE(r.run.has_value()) << c.name;
    EXPECT_FALSE(r.message.empty()) << c.name;
    if (!c.message.empty()) EXPECT_EQ(r.message, c.message) << c.name;
  }
}

// A stored SNR reads as itself down to 0.5, the lowest the Drosophila box takes; only
// less stands for the default.
TEST_F(LoadedRunTest, ADrosophilaRunKeepsItsLowestSnr) {
  const fs::path p = MakeProject(1, "P");
  const struct {
    int16_t stored;
    const char* shown;
  } cases[] = {{5, "0.5"}, {4, "1.8"}};
  for (const auto& c : cases) {
    const fs::path run = MakeRun(p, "20240101_080" + std::to_string(c.stored), "", {},
                                 {"wtest", 30, 3, 3, c.stored});
    const offline::RunLoad r = Load(run);
    ASSERT_EQ(r.status, RunLoadStatus::kOk) << r.message;
    EXPECT_EQ(offline::SnrText(*r.run), c.shown);
    EXPECT_NE(r.run->Details_Text.find(std::string("[Drosophila SNR=") + c.shown + "]"),
              std::string::npos)
        << r.run->Details_Text;
  }
}

// A settings file far past any real one is not read: the load goes on as for a file it
// cannot read, and says which file and how large it is.
TEST_F(LoadedRunTest, AStatusFileOfGigabytesIsNotRead) {
  const fs::path run = MakeRun(MakeProject(1, "P"), "20240101_0800", "", {});
  const std::uint64_t size = testsupport::AddressSpaceLimit::kAvailable
                                 ? std::uint64_t{3} << 30
                                 : storage::kTextFileLimit + 1;
  testsupport::WriteBytes(run / "status.dat", "");
  fs::resize_file(run / "status.dat", size);
  dialogs_.ExpectOk();
  std::optional<offline::RunLoad> r;
  {
    std::optional<testsupport::AddressSpaceLimit> limit;
    if (testsupport::AddressSpaceLimit::kAvailable) limit.emplace(256u << 20);
    r = Load(run);
  }
  ASSERT_EQ(r->status, RunLoadStatus::kOk) << r->message;
  EXPECT_EQ(dialogs_.log(),
            std::vector<std::string>{storage::TooLargeText(run / "status.dat", size)});
  EXPECT_EQ(r->run->Run_Enabled[5], -1);
}

TEST_F(LoadedRunTest, PlateBackupServesWhenTheLayoutFileIsMissing) {
  const fs::path p = MakeProject(1, "P");
  const fs::path run = MakeRun(p, "20240101_0800", "", {}, {"wbak"});
  WritePlate("wbak", 3, 1, {{5, 2, 0}});
  fs::rename(Home() / "wbak.dat", Home() / "wbak.bak");
  const offline::RunLoad r = Load(run);
  ASSERT_EQ(r.status, RunLoadStatus::kOk) << r.message;
  EXPECT_EQ(r.run->Run_Plate_Rows, 3);
  EXPECT_EQ(r.run->WellGridAt(2, 0), 5);
}

// A run recorded on a built-in layout opens on the table its acquisition used, from
// the installed file or, in a program folder without it, from the built-in table.
TEST_F(LoadedRunTest, RunsOnBuiltInLayoutsLoadWithOrWithoutTheirFiles) {
  const fs::path p = MakeProject(1, "P");
  struct Row {
    const char* format;
    bool installed;
    int rows, cols;
    int beam1_of_well0;  // -1: one beam a well
  };
  const Row rows[] = {
      {"w96f", true, 8, 12, 16},  {"w96f", false, 8, 12, 16}, {"w384", true, 16, 24, -1},
      {"w384", false, 16, 24, -1}, {"w96u", true, 8, 12, -1}, {"w96u", false, 8, 12, -1},
  };
  int minute = 0;
  for (const Row& r : rows) {
    const std::string file = std::string(r.format) + ".dat";
    fs::remove(Home() / file);
    if (r.installed) fs::copy_file(testsupport::SourceDir() / "data" / file, Home() / file);
    char run[16];
    std::snprintf(run, sizeof run, "20240101_%04d", minute++);
    const offline::RunLoad load = Load(MakeRun(p, run, "", {{0, {{0, 3}}}}, {r.format}));
    const std::string where = std::string(r.format) + (r.installed ? " file" : " built-in");
    ASSERT_EQ(load.status, RunLoadStatus::kOk) << where << ": " << load.message;
    EXPECT_EQ(load.run->Run_Plate_Rows, r.rows) << where;
    EXPECT_EQ(load.run->Run_Plate_Cols, r.cols) << where;
    EXPECT_EQ(load.run->WellGridAt(0, 0), 0) << where;
    EXPECT_EQ(load.run->Plate().ClaimedChannel(0, 1), r.beam1_of_well0) << where;
    EXPECT_EQ(load.run->Run_Channel_Well, storage::BuiltInPlateLayout(r.format).channel_well)
        << where;
  }
  EXPECT_TRUE(dialogs_.log().empty());
}

TEST_F(LoadedRunTest, SelectorsListTheGroupsInUse) {
  offline::LoadedRun run;
  run.Run_Plate_Rows = 2;
  run.Run_Plate_Cols = 3;
  run.Run_Group.fill(-1);
  using Items = std::vector<std::string>;
  auto s = offline::FillWellAndGroupCombos(run);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->rows, (Items{"A", "B"}));
  EXPECT_EQ(s->cols, (Items{"1", "2", "3"}));
  EXPECT_EQ(s->group_items, Items{"999_Free"});
  EXPECT_EQ(s->plot_items, Items{"999_Free"});

  run.Run_Group[4] = 3;
  run.Run_Group[9] = 3;
  run.Run_Group[10] = 12;
  run.Run_Group_Name[3] = "Mutants";
  run.Run_Group_Name[12] = "Wild";
  s = offline::FillWellAndGroupCombos(run);
  EXPECT_EQ(s->group_items, (Items{"003_Mutants", "012_Wild", "999_Free"}));
  EXPECT_EQ(s->plot_items, (Items{"003_Mutants", "012_Wild"}));

  run.Run_Plate_Rows = 0;
  EXPECT_FALSE(offline::FillWellAndGroupCombos(run));

  EXPECT_EQ(offline::GroupOfItem("003_Mutants"), 3);
  EXPECT_EQ(offline::GroupOfItem("383_x"), 383);
  EXPECT_EQ(offline::GroupOfItem("999_Free"), 384);
  EXPECT_EQ(offline::GroupOfItem("ab"), 384);
}

TEST(LoadedRunRules, ChoicesTagsTrackingAndDates) {
  EXPECT_EQ(offline::ChoiceIndex(3), 3);
  EXPECT_EQ(offline::ChoiceIndex(4), -1);
  EXPECT_EQ(offline::ChoiceIndex(-1), -1);
  EXPECT_EQ(offline::OrganismName(2), "Echinococcus");
  EXPECT_EQ(offline::OrganismName(7), "");

  using Items = std::vector<std::string>;
  EXPECT_EQ(offline::TagItems("[K1] [K3]"), (Items{"[K1]", "[K3]"}));
  EXPECT_EQ(offline::TagItems("[a[b] ]["), (Items{"[a[b]", "[b]"}));
  EXPECT_EQ(offline::TagItems(""), Items{});

  offline::LoadedRun run;
  run.Run_Plate_format = "w6";
  for (int organism = 0; organism < 5; ++organism) {
    run.Run_Mn[1] = static_cast<int16_t>(organism);
    EXPECT_EQ(offline::OffersTracking(run), organism == 1 || organism == 3) << organism;
  }
  run.Run_Plate_format = "w96";
  EXPECT_FALSE(offline::OffersTracking(run));

  const auto date = [](const std::string& s) { return offline::FolderNameToDate(s); };
  EXPECT_EQ(date("19700101_0001"), 1);
  EXPECT_EQ(date("20240502_0900").value() - date("20240501_0900").value(), 1440);
  EXPECT_EQ(date("20240229_2359_s2").value() - date("20240229_0000").value(), 1439);
  for (const char* bad : {"20230229_0000", "20241301_0000", "20240101_2400", "2024010_10000",
                          "20240101_0000/../x", "2024O101_0000", "20240101"})
    EXPECT_FALSE(date(bad)) << bad;
}

}  // namespace
}  // namespace offline_test
