// Project numbering, the project list, new, save, open and rename, without a window.
#include <gtest/gtest.h>

#include "setup/project_list.h"
#include "setup_fixture.h"
#include "storage/config_file.h"

namespace setuptest {
namespace {

namespace fs = std::filesystem;
using Answer = platform::Dialogs::Answer;

TEST(ProjectNumbers, NextNumberWrapsAfter32000) {
  const std::pair<int, int> rows[] = {{1, 2},     {31999, 32000}, {32000, 1},
                                      {32767, 1}, {0, 1},         {-5, 1}};
  for (const auto& [last, next] : rows) EXPECT_EQ(setup::NextProjectNumber(last), next) << last;
}

TEST(ProjectNumbers, EntryTextFollowsTheTitlesColon) {
  EXPECT_EQ(setup::ProjectEntryText("p00012", "<Project> p00012: Larvae: day 2"),
            "p00012_Larvae: day 2");
  EXPECT_EQ(setup::ProjectEntryText("p00012", "ERROR on SETUP.DAT FILE!!!"),
            "p00012_ERROR on SETUP.DAT FILE!!!");
}

class Projects : public ControllerTest {
 protected:
  std::string Config() { return testsupport::ReadBytes(folder / "config.dat"); }
  std::string ConfigOf(int project, int last) {
    return "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n" +
           std::to_string(project) + "," + std::to_string(last) + ",4,0\r\n";
  }
};

TEST_F(Projects, NewAfter31999MakesP32000AndRewritesTheConfig) {
  OpenProject(5, "Worms");
  auto& s = storage::Shared();
  s.Last_Project = 31999;
  Loaded();
  dialogs.AnswerOk().AnswerInput("Larvae");
  controller.Cmdnewpj_Click();
  EXPECT_EQ(dialogs.log(), (std::vector<std::string>{"Do you like to Create a New Project?",
                                                     "Enter the New Project Name"}));
  EXPECT_EQ(dialogs.input_titles().back(), "Saving <32000> with a new name");
  EXPECT_EQ(s.Actual_Project_Number, 32000);
  EXPECT_EQ(s.Project_Path, (folder / "p32000").string());
  EXPECT_EQ(controller.controls().txtprj.text, "32000_Larvae");
  EXPECT_EQ(storage::GetProjectTitle((folder / "p32000").string()), "<Project> p32000: Larvae");
  EXPECT_EQ(Config(), ConfigOf(32000, 32000));
}

TEST_F(Projects, After32000TheNumberingRestartsAndAnExistingFolderIsAsked) {
  OpenProject(1, "Worms");
  auto& s = storage::Shared();
  s.Last_Project = 32000;
  Loaded();
  const std::string before = testsupport::ReadBytes(folder / "p00001" / "setup.dat");
  dialogs.AnswerOk().AnswerInput("Other").AnswerNo();
  controller.Cmdnewpj_Click();
  EXPECT_EQ(dialogs.input_titles().back(), "Saving <1> with a new name");
  EXPECT_EQ(dialogs.log().back(),
            "The project number to generate (p00001already exists. do you like to overwrite?");
  // No: nothing is written, the number stays taken.
  EXPECT_EQ(testsupport::ReadBytes(folder / "p00001" / "setup.dat"), before);
  EXPECT_FALSE(fs::exists(folder / "config.dat"));
  EXPECT_EQ(s.Last_Project, 1);
  EXPECT_EQ(s.Actual_Project_Number, 1);
  dialogs.AnswerOk().AnswerInput("Next");
  controller.Cmdnewpj_Click();
  EXPECT_EQ(dialogs.input_titles().back(), "Saving <2> with a new name");
  EXPECT_EQ(s.Actual_Project_Number, 2);
}

TEST_F(Projects, CancelledNameOrAFileInTheWayChangesNothing) {
  OpenProject(1, "Worms");
  auto& s = storage::Shared();
  Loaded();
  dialogs.AnswerOk().CancelInput();
  controller.Cmdnewpj_Click();
  EXPECT_EQ(s.Last_Project, 1);
  EXPECT_FALSE(fs::exists(folder / "p00002"));

  // The folder cannot be made, or its files cannot be written: the number is given back.
  const struct {
    const char* in_the_way;  // under p00002, "" for a file named p00002
    std::string box;
  } cases[] = {
      {"", "Not possible to create the project folder " + (folder / "p00002").string()},
      {"setup.dat", "Error saving the project files in " + (folder / "p00002").string()},
  };
  for (const auto& c : cases) {
    fs::remove_all(folder / "p00002");
    dialogs.AnswerOk().AnswerInput("Blocked");
    if (*c.in_the_way) {
      fs::create_directories(folder / "p00002" / c.in_the_way);
      dialogs.AnswerYes();  // the project there is overwritten
    } else {
      testsupport::WriteBytes(folder / "p00002", "a file");
    }
    dialogs.ExpectOk();
    controller.Cmdnewpj_Click();
    EXPECT_TRUE(dialogs.Exhausted());
    EXPECT_EQ(dialogs.log().back(), c.box);
    EXPECT_EQ(s.Last_Project, 1);
    EXPECT_EQ(s.Actual_Project_Number, 1);
    EXPECT_EQ(s.Project_Name, "Worms");
    EXPECT_EQ(s.Project_Path, (folder / "p00001").string());
    EXPECT_EQ(controller.controls().txtprj.text, "1_Worms");
    EXPECT_FALSE(fs::exists(folder / "config.dat"));
  }
}

TEST_F(Projects, NamesLoseQuotesAndControlCharactersAndKeepCommas) {
  OpenProject(1, "Worms");
  Loaded();
  dialogs.AnswerOk().AnswerInput("N2, \"day\"\r\n\t2");
  controller.Cmdnewpj_Click();
  auto& s = storage::Shared();
  EXPECT_EQ(s.Project_Name, "N2, day2");
  storage::ResetSharedState();
  s.Project_Path = (folder / "p00002").string();
  storage::LoadProjectSetup(2);
  EXPECT_EQ(s.Project_Name, "N2, day2");
  controller.ListProjects();
  EXPECT_EQ(controller.controls().List_project.back().text, "p00002_N2, day2");
}

TEST_F(Projects, SaveAsksWithTheCaptionAndNoSavesUnderANewNumber) {
  OpenProject(1, "Worms");
  Loaded();
  auto& s = storage::Shared();
  s.Aq_lapse = 90;
  dialogs.Answer3(Answer::kCancel);
  controller.Cmdsavepj_Click();
  EXPECT_EQ(dialogs.log().back(), "Do you like to Update <1_Worms> values?");
  dialogs.Answer3(Answer::kYes);
  controller.Cmdsavepj_Click();
  storage::ResetSharedState();
  s.Project_Path = (folder / "p00001").string();
  storage::ReadSetupFile(1);
  EXPECT_EQ(s.Aq_lapse, 90);
  EXPECT_FALSE(fs::exists(folder / "config.dat"));

  OpenProject(1, "Worms");
  controller.Form_Load();
  dialogs.Answer3(Answer::kNo).AnswerInput("Copy");
  controller.Cmdsavepj_Click();
  EXPECT_EQ(dialogs.input_titles().back(), "Saving <1_Worms> with a new name");
  EXPECT_EQ(s.Actual_Project_Number, 2);
  EXPECT_TRUE(fs::exists(folder / "p00002" / "setup.dat"));
}

TEST_F(Projects, ListShowsOnlyRealProjectsAndOpensByTheKeptNumber) {
  OpenProject(1, "Worms");
  fs::create_directories(folder / "p00002");       // no setup.dat
  testsupport::WriteBytes(folder / "p00003", "");  // a file
  fs::create_directories(folder / "p0004");        // five characters
  OpenProject(0, "Default");
  fs::create_directories(folder / "p00000");
  fs::copy_file(folder / "setup.dat", folder / "p00000" / "setup.dat");
  OpenProject(1, "Worms");
  Loaded();
  dialogs.Answer3(Answer::kNo);
  controller.cmdLoad_Click();
  EXPECT_EQ(dialogs.log().back(), "Do you like to save current values before new load?");
  const auto& c = controller.controls();
  EXPECT_TRUE(c.frm_project_visible);
  ASSERT_EQ(c.List_project.size(), 2u);
  EXPECT_EQ(c.List_project[0].text, "p00000_Default");
  EXPECT_EQ(c.List_project[1].text, "p00001_Worms");

  // Nothing selected: nothing happens.
  controller.List_project_DblClick();
  EXPECT_EQ(storage::Shared().Actual_Project_Number, 1);

  controller.UserSelectProject(0);
  controller.List_project_DblClick();
  auto& s = storage::Shared();
  EXPECT_EQ(s.Actual_Project_Number, 0);
  EXPECT_EQ(s.Project_Path, folder.path().string());
  EXPECT_EQ(c.txtprj.text, "0_Default");
  EXPECT_FALSE(c.frm_project_visible);
  EXPECT_EQ(Config(), ConfigOf(0, 1));
}

TEST_F(Projects, RenameStaysInMemoryAndTheDefaultProjectRefusesIt) {
  OpenProject(4, "Worms");
  Loaded();
  const std::string stored = testsupport::ReadBytes(folder / "p00004" / "setup.dat");
  dialogs.AnswerInput("").AnswerInput("Larvae");
  controller.txtprj_DblClick();
  EXPECT_EQ(storage::Shared().Project_Name, "Worms");
  controller.txtprj_DblClick();
  EXPECT_EQ(dialogs.log().back(), "Rename Project: Entre New Name");
  EXPECT_EQ(controller.controls().txtprj.text, "4_Larvae");
  EXPECT_EQ(testsupport::ReadBytes(folder / "p00004" / "setup.dat"), stored);

  storage::Shared().Actual_Project_Number = 0;
  dialogs.ExpectOk();
  controller.txtprj_DblClick();
  EXPECT_EQ(dialogs.log().back(),
            "Not possible to rename the Default project. Save it with another Name");
  EXPECT_EQ(storage::Shared().Project_Name, "Larvae");
}

TEST_F(Projects, WhileARunExistsProjectsAreNeitherMadeNorOpened) {
  OpenProject(1, "Worms");
  Loaded();
  controller.ListProjects();
  controller.UserSelectProject(0);
  auto& s = storage::Shared();
  s.Acq_State = 2;
  dialogs.ExpectOk().ExpectOk().ExpectOk().Answer3(Answer::kNo).ExpectOk();
  controller.Cmdnewpj_Click();
  controller.cmdLoad_Click();
  controller.List_project_DblClick();
  controller.Cmdsavepj_Click();
  EXPECT_EQ(dialogs.log(),
            (std::vector<std::string>{
                storage::kRunningRefusal, storage::kRunningRefusal, storage::kRunningRefusal,
                "Do you like to Update <1_Worms> values?", storage::kRunningRefusal}));
  EXPECT_EQ(s.Last_Project, 1);
  EXPECT_FALSE(fs::exists(folder / "p00002"));
  EXPECT_FALSE(fs::exists(folder / "config.dat"));
}

}  // namespace
}  // namespace setuptest
