#include "offline/run_catalogue.h"
#include "offline/watched_folders.h"
#include "offline_fixture.h"

namespace offline_test {
namespace {

using offline::LineKind;
using offline::RunCatalogue;

const std::vector<Record> kOneRecord = {{0, {}}};

class Catalogue : public OfflineTest {
 protected:
  std::vector<std::string> Texts(const RunCatalogue& c) const {
    std::vector<std::string> out;
    for (const auto& l : c.Lines()) out.push_back(l.text);
    return out;
  }
};

TEST(LineLayout, FormatsAndParsesBackTheFolders) {
  struct Case {
    const char* name;
    std::string run;
    std::string run_name;
    bool tag_file;
    std::string tags;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"plain", "20240315_0930", "Dose 1", false, "", "  > 2024.0315\t ACQ09:30 \"Dose 1\""},
      {"station suffix", "20240315_0930_s2", "Dose 1", false, "",
       "  > 2024.0315_s2\t ACQ09:30 \"Dose 1\""},
      {"tags", "20240315_0930", "Dose 1", true, "[K1] [K3]",
       "  > 2024.0315\t ACQ09:30 \"Dose 1\"\t\t[K1] [K3]"},
      {"tag file, run untagged", "20240315_0930", "x", true, "",
       "  > 2024.0315\t ACQ09:30 \"x\"\t\t"},
      {"no name", "20240101_2359", "", false, "", "  > 2024.0101\t ACQ23:59 \"\""},
      {"name with markers", "20231231_0005_s4", "a.b: >ACQ12:34", false, "",
       "  > 2023.1231_s4\t ACQ00:05 \"a.b: >ACQ12:34\""},
      {"line break in a name", "20240315_0930", "a\r\nb", false, "",
       "  > 2024.0315\t ACQ09:30 \"a  b\""},
  };
  for (const Case& c : cases) {
    const std::string line = offline::RunLineText(c.run, c.run_name, c.tag_file, c.tags);
    EXPECT_EQ(line, c.line) << c.name;
    EXPECT_EQ(offline::ParseRunLine(line), c.run) << c.name;
  }
  EXPECT_EQ(offline::ParseRunLine("+ 2024.0315\tp00007_x"), "");

  EXPECT_EQ(offline::ProjectLineText("", "p00007", "<Project> p00007: Dose response"),
            "+         \tp00007_Dose response");
  EXPECT_EQ(offline::ProjectLineText("20240315_0930", "p00007", "<Project> p00007: Dose response"),
            "+ 2024.0315\tp00007_Dose response");
  EXPECT_EQ(offline::ParseProjectLine("+ 2024.0315\tp00007_Dose response"), "p00007");

  const std::vector<std::pair<std::string, std::string>> titles = {
      {"<Project> p00007: Dose: 10 mM", "Dose: 10 mM"},
      {"ERROR on SETUP.DAT FILE!!!", "ERROR on SETUP.DAT FILE!!!"},
      {"<Project> p: SETUP NOT FOUND!!", "SETUP NOT FOUND!!"},
      {"x:", ""},
  };
  for (const auto& [title, shown] : titles)
    EXPECT_EQ(offline::TitleAfterColon(title), shown) << title;
}

TEST(LineLayout, SearchTermsAreWordsOrQuotedPhrasesAtMostTen) {
  using Terms = std::vector<std::string>;
  EXPECT_EQ(offline::SplitSearchTerms("Dose  ACQ"), (Terms{"dose", "acq"}));
  EXPECT_EQ(offline::SplitSearchTerms("\"dose 1\" ctrl"), (Terms{"dose 1", "ctrl"}));
  EXPECT_EQ(offline::SplitSearchTerms("a\"b c\"d"), (Terms{"ab c", "d"}));
  EXPECT_EQ(offline::SplitSearchTerms("   "), Terms{});
  EXPECT_EQ(offline::SplitSearchTerms("1 2 3 4 5 6 7 8 9 10 11 12"),
            (Terms{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
}

TEST_F(Catalogue, ListsProjectsAndRunsThatPassTheFilters) {
  const fs::path p1 = MakeProject(1, "Alpha");
  MakeRun(p1, "20240101_0800", "first", kOneRecord);
  MakeRun(p1, "20240102_0800", "no counts", {});
  MakeRun(p1, "20240103_0800.x", "dotted", kOneRecord);
  MakeRun(p1, "20240104_0800removed202406010942", "archived", kOneRecord);
  MakeRun(p1, "20240105_0800_s2", "second", kOneRecord);
  MakeRun(p1, "2024010_0800", "short stamp", kOneRecord);
  MakeProject(3, "Gamma");
  fs::create_directories(Home() / "p00004");        // no setup.dat
  fs::create_directories(Home() / "p0005");         // five characters
  testsupport::WriteBytes(Home() / "p00006", "x");  // a file named like a project
  fs::create_directories(Home() / "p000077");       // seven characters

  RunCatalogue c(Home());
  EXPECT_EQ(c.CountProjects(), 2);
  c.ToggleExpanded("p00001");
  c.FillProjectList(0);
  EXPECT_EQ(Texts(c), (std::vector<std::string>{
                          "+ 2024.0101\tp00001_Alpha",
                          "  > 2024.0101\t ACQ08:00 \"first\"",
                          "  > 2024.0105_s2\t ACQ08:00 \"second\"",
                          "+         \tp00003_Gamma",
                      }));
  EXPECT_EQ(c.Lines()[2].folder, p1 / "20240105_0800_s2");
  EXPECT_EQ(c.Lines()[2].project, "p00001");
  EXPECT_EQ(c.Lines()[2].kind, LineKind::kRun);

  c.FillProjectList(1);
  EXPECT_EQ(Texts(c), (std::vector<std::string>{
                          "+         \tp00003_Gamma",
                          "+ 2024.0101\tp00001_Alpha",
                          "  > 2024.0105_s2\t ACQ08:00 \"second\"",
                          "  > 2024.0101\t ACQ08:00 \"first\"",
                      }));
  EXPECT_EQ(c.ProjectLineAbove(3), 1);
  EXPECT_EQ(c.ProjectLineAbove(0), 0);
  EXPECT_EQ(c.ProjectLineAbove(9), -1);
}

TEST_F(Catalogue, ExpansionFollowsTheProjectNotItsPlaceInTheList) {
  const fs::path p5 = MakeProject(5, "Five");
  MakeRun(p5, "20240101_0800", "r", kOneRecord);
  RunCatalogue c(Home());
  c.ToggleExpanded("p00005");
  c.FillProjectList(0);
  ASSERT_EQ(c.Lines().size(), 2u);
  // A project made before it (while the browser was hidden) does not take its place.
  MakeProject(2, "Two");
  c.FillProjectList(0);
  EXPECT_EQ(Texts(c)[0], "+         \tp00002_Two");
  EXPECT_EQ(Texts(c)[2], "  > 2024.0101\t ACQ08:00 \"r\"");
  c.ToggleExpanded("p00005");
  c.FillProjectList(0);
  EXPECT_EQ(c.Lines().size(), 2u);
}

TEST_F(Catalogue, RunLinesShowTagsWhereTheProjectKeepsThem) {
  const fs::path p = MakeProject(7, "Dose response");
  MakeRun(p, "20240315_0930", "Dose 1", kOneRecord);
  MakeRun(p, "20240316_0930", "", kOneRecord);  // no subproj.dat
  testsupport::WriteBytes(p / "tags_id.dat", "20240315_0930 [K1] [K3]\r\n");
  RunCatalogue c(Home());
  c.ToggleExpanded("p00007");
  c.FillProjectList(0);
  EXPECT_EQ(Texts(c), (std::vector<std::string>{
                          "+ 2024.0315\tp00007_Dose response",
                          "  > 2024.0315\t ACQ09:30 \"Dose 1\"\t\t[K1] [K3]",
                          "  > 2024.0316\t ACQ09:30 \"\"\t\t",
                      }));
}

TEST_F(Catalogue, SearchSelectsLinesMatchingEveryTerm) {
  const fs::path p1 = MakeProject(1, "Screen");
  MakeRun(p1, "20240101_0800", "Dose 1", kOneRecord);
  MakeRun(p1, "20240102_0800", "Vehicle", kOneRecord);
  const fs::path p2 = MakeProject(2, "Pilot");
  MakeRun(p2, "20240201_0800removed202406010942", "Dose 2 archived", kOneRecord);
  MakeProject(3, "Dose finding");
  RunCatalogue c(Home());
  c.ToggleExpanded("p00001");
  c.FillProjectList(0);
  // 0 Screen, 1 Dose 1, 2 Vehicle, 3 Pilot (collapsed), 4 Dose finding.
  using Found = std::vector<int>;
  const auto search = [&](const std::string& text) {
    return c.Search(offline::SplitSearchTerms(text));
  };
  EXPECT_EQ(search("dose"), (Found{0, 1, 3, 4}));  // runs select their project, archived too
  EXPECT_EQ(search("\"dose 1\""), (Found{0, 1}));  // one term with its blank
  EXPECT_EQ(search("dose vehicle"), (Found{0}));   // each term somewhere in the project
  EXPECT_EQ(search("dose finding"), (Found{4}));
  EXPECT_EQ(search("acq08:00 \"vehicle\""), (Found{0, 2}));
  EXPECT_EQ(search(""), Found{});
  EXPECT_EQ(search("1 2 3 4 5 6 7 8 9 10 nothing-matches-this"), (Found{}));
}

TEST_F(Catalogue, AFolderListingKeepsEachRunsFolder) {
  const fs::path p = MakeProject(4, "Four");
  MakeRun(p, "20240101_0800", "Dose 1", kOneRecord);
  MakeRun(p, "20240102_0800removed202406010942", "gone", kOneRecord);
  MakeRun(p, "20240103_0800", "no counts", {});
  RunCatalogue c(Home());
  ASSERT_TRUE(c.ListRunsOfFolder(p, 1));
  EXPECT_EQ(Texts(c), (std::vector<std::string>{"20240102_0800removed202406010942 gone",
                                                "20240101_0800 Dose 1"}));
  EXPECT_EQ(c.Lines()[1].kind, LineKind::kFolderRun);
  EXPECT_EQ(c.Lines()[1].folder, p / "20240101_0800");
  EXPECT_FALSE(c.ListRunsOfFolder(Home() / "nowhere", 0));
  EXPECT_EQ(c.Lines().size(), 2u);
}

}  // namespace
}  // namespace offline_test

namespace offline_test {
namespace {

class WatchedFolders : public OfflineTest {};

TEST_F(WatchedFolders, WholeLinesAreReadAndFiveLinesWritten) {
  const fs::path comma = Home() / "data, old";
  fs::create_directories(comma);
  EXPECT_EQ(offline::ReadWatchedFolders(Home()), offline::DefaultFolderCaptions());
  testsupport::WriteBytes(Home() / "foldview.dat",
                          comma.string() + "\r\n/no/such/folder\n" + Home().string());
  const offline::WatchedFolders read = offline::ReadWatchedFolders(Home());
  EXPECT_EQ(read, (offline::WatchedFolders{comma.string(), "_folder2", Home().string(), "_folder4",
                                           "_folder5"}));
  ASSERT_TRUE(offline::WriteWatchedFolders(Home(), read));
  EXPECT_EQ(testsupport::ReadBytes(Home() / "foldview.dat"),
            comma.string() + "\r\n_folder2\r\n" + Home().string() + "\r\n_folder4\r\n_folder5\r\n");
  EXPECT_FALSE(offline::IsWatchable(""));
  EXPECT_FALSE(offline::IsWatchable((Home() / "nothing").string()));
  EXPECT_TRUE(offline::IsWatchable(comma.string()));
}

}  // namespace
}  // namespace offline_test
