#include "storage/setup_file.h"

#include <filesystem>

#include "storage/file_io.h"
#include "storage_fixture.h"

namespace {

namespace fs = std::filesystem;
using storagetest::Crlf;

const char* const kRecheck = "Warning!! PLEASE Re-Check setup values before RUN";

// A setup.dat as the layout gives it, with chosen name, plate and two marker values.
std::string SetupText(int number, const std::string& name, const std::string& plate, int lapse, int organism) {
  return Crlf({"\"Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>\"",
               std::to_string(number) + ",\"" + name + "\",\"C:\\q\\p0000" + std::to_string(number) + "\\\",\"" + plate + "\"",
               "\"<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>\"",
               "2," + std::to_string(lapse) + ",50,400,2,20",
               "\"<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>\"",
               "0,100,70,0,0,0",
               "\"Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>\"",
               "0,1,1,4,5,6",
               "\"Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,\"",
               std::to_string(organism) + ",0,0,25,0,0",
               "\"Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,\"", "1,8,20,3,15,25",
               "\"Mn3: <v1:Enable>, <v2:Tempx10>,,,,\"", "1,250,0,0,0,0",
               "\"Mn4: ,,,,,\"", "4,0,0,0,0,0", "\"Mn5: ,,,,,\"", "5,0,0,0,0,0",
               "\"Mn6: ,,,,,\"", "6,0,0,0,0,7"});
}

class SetupFile : public storagetest::StorageTest {
 protected:
  // Project folder p0000N inside the program folder, made the open project.
  std::string Project(int n) {
    const std::string p = Path("p0000" + std::to_string(n));
    fs::create_directories(p);
    S().Project_Path = p;
    S().Actual_Project_Number = static_cast<int16_t>(n);
    return p;
  }
  void Put(const std::string& file, const std::string& bytes) { testsupport::WriteBytes(file, bytes); }
  void ExpectAllProjectDefaults() {
    storage::SharedState d;
    EXPECT_EQ(S().Project_Name, "Default");
    EXPECT_EQ(S().Plate_format, "96f");
    EXPECT_EQ(S().Aq_lapse, 30);
    EXPECT_EQ(S().RT_Buffer, 500);
    EXPECT_EQ(S().Cal_value, 80);
    EXPECT_EQ(S().Menu1, 1);
    EXPECT_EQ(S().Menu6, 0);
    EXPECT_EQ(S().Mn, d.Mn);
  }
};

TEST_F(SetupFile, SaveWritesTheTwentyLinesAndKeepsABackup) {
  const std::string p = Project(3);
  S().Project_Name = "Dose \"A\"";
  S().Working_folder = "/q/p00003/";
  S().Plate_format = "w96";
  S().Mn[22] = 25;  // Mn(1,3): the SNR value
  Put(p + "/setup.dat", "old");
  ASSERT_TRUE(storage::SaveProjectSetup(p, 99, -1));
  EXPECT_EQ(testsupport::ReadBytes(p + "/setup.bak"), "old");
  EXPECT_EQ(testsupport::ReadBytes(p + "/setup.dat"),
            Crlf({"\"Project Setup: <Num_proj>,<Name>,<Working_folder>,<Plate_format>\"",
                  "3,\"Dose A\",\"/q/p00003/\",\"w96\"",
                  "\"<Aq_mode>,<Aq_lapse>,<Sample_Rate>,<RT_Buffer>,<DSP_Method>,<DSP_Interval>\"",
                  "1,30,99,500,1,30",
                  "\"<Binary_Acq>,<Threshold_Counter>,<Cal_value>,<Cal_mode>,<Save_counts>,<Save_real>\"",
                  "1,300,80,1,1,1",
                  "\"Tools: <Menu1:Cal>, <Menu2:Light>, <Menu3:Temp>, <Menu4>, <Menu5>, <Menu6>\"",
                  "1,0,0,0,0,0",
                  "\"Mn1: <Organism>, <Enab_Cal>, <Enab_Zero>, <SNRx10>,,\"", "0,1,1,25,0,0",
                  "\"Mn2: <Enable>, <Time_ON>, <v3:Time_OFF>,,,\"", "0,9,21,0,0,0",
                  "\"Mn3: <v1:Enable>, <v2:Tempx10>,,,,\"", "0,200,0,0,0,0",
                  "\"Mn4: ,,,,,\"", "0,0,0,0,0,0", "\"Mn5: ,,,,,\"", "0,0,0,0,0,0",
                  "\"Mn6: ,,,,,\"", "0,0,0,0,0,0"}));
}

TEST_F(SetupFile, RoundTripThroughSaveAndLoad) {
  const std::string p = Project(2);
  Put(p + "/setup.dat", SetupText(2, "Alpha", "w96u", 45, 3));
  storage::ReadSetupFile(2);
  ASSERT_TRUE(storage::SaveProjectSetup(p, 2, -1));
  const std::string first = testsupport::ReadBytes(p + "/setup.dat");
  storage::ResetSharedState();
  S().Project_Path = p;
  S().Actual_Project_Number = 2;
  storage::ReadSetupFile(2);
  EXPECT_EQ(S().Project_Name, "Alpha");
  EXPECT_EQ(S().Aq_lapse, 45);
  EXPECT_EQ(S().MnAt(1, 0), 3);
  EXPECT_EQ(S().MnAt(6, 5), 7);
  EXPECT_EQ(S().Mn[3 + 7 * 1], 250);
  ASSERT_TRUE(storage::SaveProjectSetup(p, 2, -1));
  EXPECT_EQ(testsupport::ReadBytes(p + "/setup.dat"), first);
}

TEST_F(SetupFile, TwelveLineFileKeepsToolFlagsAndMn) {
  const std::string p = Project(1);
  S().Menu4 = 9;
  S().MnAt(2, 1) = 7;
  std::string text = SetupText(1, "Short", "w384", 60, 2);
  size_t cut = 0;
  for (int i = 0; i < 12; ++i) cut = text.find("\r\n", cut) + 2;
  Put(p + "/setup.dat", text.substr(0, cut));
  storage::ReadSetupFile(1);
  EXPECT_EQ(S().Project_Name, "Short");
  EXPECT_EQ(S().Plate_format, "w384");
  EXPECT_EQ(S().Aq_lapse, 60);
  EXPECT_EQ(S().Cal_value, 70);
  EXPECT_EQ(S().Menu4, 9);
  EXPECT_EQ(S().MnAt(2, 1), 7);
  EXPECT_TRUE(dialogs_.log().empty());
}

TEST_F(SetupFile, MissingFileRestoredFromBackup) {
  const std::string p = Project(5);
  Put(p + "/setup.bak", SetupText(5, "FromBak", "w96", 90, 1));
  dialogs_.ExpectOk().ExpectOk();
  storage::ReadSetupFile(5);
  ASSERT_EQ(dialogs_.log().size(), 2u);
  EXPECT_EQ(dialogs_.log()[0], "Error [\\p00005\\setup.dat] ID#1 => Loading values from: p00005\\");
  EXPECT_EQ(dialogs_.log()[1], kRecheck);
  EXPECT_EQ(S().Project_Name, "FromBak");
  EXPECT_EQ(S().Aq_lapse, 90);
  EXPECT_TRUE(storage::FileExists(p + "/setup.dat"));
}

TEST_F(SetupFile, MissingFileRestoredFromNewestRunFolder) {
  const std::string p = Project(4);
  Put(p + "/20991231_2359x/setup.dat", SetupText(4, "NotARun", "w96", 11, 0));  // 14 chars: ignored
  Put(p + "/31122023_0900/setup.dat", SetupText(4, "DayFirst", "w96", 12, 0));
  Put(p + "/20240102_0800/setup.dat", SetupText(4, "Newest", "w96", 13, 0));
  Put(p + "/20231231_2300/setup.dat", SetupText(4, "Older", "w96", 14, 0));
  dialogs_.ExpectOk().ExpectOk();
  storage::ReadSetupFile(4);
  // The year counts: 2024 beats the day-first name that would win on its first digits.
  EXPECT_EQ(dialogs_.log()[0], "Error [\\p00004\\setup.dat] ID#1 => Loading values from: p00004\\20240102_0800");
  EXPECT_EQ(S().Project_Name, "Newest");
  EXPECT_EQ(storage::FindLatestRunFolder(p), "20240102_0800");
}

TEST_F(SetupFile, NothingToRestoreGivesEveryDefault) {
  Project(5);
  S().Project_Name = "Old";
  S().Aq_lapse = 77;
  S().MnAt(3, 1) = 345;
  dialogs_.ExpectOk().ExpectOk();
  storage::ReadSetupFile(5);
  EXPECT_EQ(dialogs_.log()[0], "Error [\\p00005\\setup.dat] ID#1 => Loading default values...");
  EXPECT_EQ(dialogs_.log()[1], kRecheck);
  ExpectAllProjectDefaults();
  EXPECT_EQ(S().Working_folder, Path("p00005") + "/");
}

TEST_F(SetupFile, ShortFileAndBrokenBackupRestoreOnlyOnce) {
  const std::string p = Project(6);
  S().Project_Name = "Old";
  Put(p + "/setup.dat", Crlf({"\"h\"", "6,\"x\""}));
  Put(p + "/setup.bak", Crlf({"\"h\"", "6,\"x\"", "\"h\""}));  // restores, fails the same way
  dialogs_.ExpectOk().ExpectOk().ExpectOk().ExpectOk();
  storage::ReadSetupFile(6);
  ASSERT_EQ(dialogs_.log().size(), 4u);
  EXPECT_EQ(dialogs_.log()[2], "Error [\\p00006\\setup.dat] ID#1 => Loading default values...");
  ExpectAllProjectDefaults();
}

TEST_F(SetupFile, DefaultProjectNeverRestoresAndDamageLaterKeepsEarlierRecords) {
  const std::string p = Project(0);
  Put(p + "/setup.bak", SetupText(0, "Bak", "w96", 1, 1));
  std::string text = SetupText(0, "Zero", "w384", 41, 2);
  text.replace(text.find("0,1,1,4,5,6"), 11, "0,1,x,4,5,6");  // tool flags damaged: stage 4
  Put(p + "/setup.dat", text);
  S().MnAt(1, 3) = 99;
  dialogs_.ExpectOk().ExpectOk();
  storage::ReadSetupFile(0);
  EXPECT_EQ(dialogs_.log()[0], "Error [\\p00000\\setup.dat] ID#4 => Loading default values...");
  EXPECT_EQ(S().Project_Name, "Zero");
  EXPECT_EQ(S().Aq_lapse, 41);
  EXPECT_EQ(S().Menu1, 1);
  EXPECT_EQ(S().MnAt(1, 3), 0);
}

// The ten records of setup.dat as they stand in the settings, in file order: name and
// plate, the acquisition line, the saving line, the tool flags, Mn rows 1 to 6.
std::vector<std::vector<std::string>> Records(const storage::SharedState& s) {
  auto six = [](std::initializer_list<int> v) {
    std::vector<std::string> out;
    for (int x : v) out.push_back(std::to_string(x));
    return out;
  };
  std::vector<std::vector<std::string>> r = {
      {s.Project_Name, s.Plate_format},
      six({s.Aq_mode, s.Aq_lapse, s.Sample_Rate, s.RT_Buffer, s.DSP_Method, s.DSP_Interval}),
      six({s.Binary_Acq, s.Threshold_Counter, s.Cal_value, s.Cal_mode, s.Save_counts, s.Save_real}),
      six({s.Menu1, s.Menu2, s.Menu3, s.Menu4, s.Menu5, s.Menu6})};
  for (int row = 1; row <= 6; ++row)
    r.push_back(six({s.MnAt(row, 0), s.MnAt(row, 1), s.MnAt(row, 2), s.MnAt(row, 3), s.MnAt(row, 4),
                     s.MnAt(row, 5)}));
  return r;
}

TEST_F(SetupFile, DamageAtEachStageKeepsTheRecordsReadAndDefaultsTheRest) {
  // Each record of the file, of the defaults and of the project loaded before differs
  // from the two others, so each record tells which of them it holds: F, D or P.
  const std::string p = Project(0);
  const std::string good = SetupText(0, "Zero", "w384", 41, 2);
  Put(p + "/setup.dat", good);
  storage::ReadSetupFile(0);
  const auto from_file = Records(S());
  const auto defaults = Records(storage::SharedState());
  auto previous_project = [&] {
    storage::SharedState& s = S();
    s.Project_Name = "Before";
    s.Plate_format = "w32_flytube";
    s.Aq_mode = 3, s.Aq_lapse = 77, s.Sample_Rate = 11, s.RT_Buffer = 222;
    s.DSP_Method = 3, s.DSP_Interval = 44;
    s.Binary_Acq = 5, s.Threshold_Counter = 55, s.Cal_value = 56, s.Cal_mode = 5;
    s.Save_counts = 5, s.Save_real = 5;
    s.Menu1 = s.Menu2 = s.Menu3 = s.Menu4 = s.Menu5 = s.Menu6 = 7;
    for (int row = 1; row <= 6; ++row)
      for (int c = 0; c < 6; ++c) s.MnAt(row, c) = int16_t(90 + row);
  };
  previous_project();
  const auto previous = Records(S());

  struct Case {
    int stage;
    int damaged_line;  // its first value is not a number; 0: the file has five lines
    const char* records;
  } cases[] = {
      {1, 0, "DDDDDDDDDD"},  {2, 4, "FDDDDDDDDD"},  {3, 6, "FFDDDDDDDD"},  {4, 8, "FFFDDDDDDD"},
      {5, 10, "FFFFDDDDDD"}, {6, 12, "FFFFFDDDDD"}, {7, 14, "FFFFFFDDDD"}, {8, 16, "FFFFFFFDDD"},
      {9, 18, "FFFFFFFFDD"}, {10, 20, "FFFFFFFFFD"},
      // The stored number: every record was read.
      {11, 2, "FFFFFFFFFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "stage " << c.stage);
    std::vector<std::string> lines = storage::SplitLines(good);
    if (c.damaged_line == 0) {
      lines.resize(5);
    } else {
      std::string& line = lines[std::size_t(c.damaged_line - 1)];
      line = "x" + line.substr(line.find(','));
    }
    Put(p + "/setup.dat", Crlf(lines));
    previous_project();
    const std::size_t seen = dialogs_.log().size();
    dialogs_.ExpectOk().ExpectOk();
    storage::ReadSetupFile(0);
    ASSERT_EQ(dialogs_.log().size(), seen + 2);
    EXPECT_EQ(dialogs_.log()[seen], "Error [\\p00000\\setup.dat] ID#" + std::to_string(c.stage) +
                                        " => Loading default values...");
    const auto now = Records(S());
    std::string held;
    for (std::size_t r = 0; r < now.size(); ++r)
      held += now[r] == from_file[r]  ? 'F'
              : now[r] == defaults[r] ? 'D'
              : now[r] == previous[r] ? 'P'
                                      : '?';
    EXPECT_EQ(held, c.records);
  }
}

TEST_F(SetupFile, ProjectNumberMismatchWarnsAndKeepsValues) {
  const std::string p = Project(5);
  Put(p + "/setup.dat", SetupText(7, "Other", "w96", 33, 0));
  std::string news;
  storage::SetProjectNewsHandler([&](const std::string& t) { news = t; });
  dialogs_.ExpectOk();
  storage::ReadSetupFile(5);
  storage::SetProjectNewsHandler(nullptr);
  EXPECT_EQ(dialogs_.log()[0], "Warning: Project ID# <> Folder Name [p005]");
  EXPECT_EQ(news, dialogs_.log()[0]);
  EXPECT_EQ(S().Project_Name, "Other");
}

TEST_F(SetupFile, ProjectTitleRecoversOrReportsNotFound) {
  const std::string p = Path("p00003");
  Put(p + "/setup.dat", SetupText(3, "Gamma", "w96", 30, 0));
  EXPECT_EQ(storage::GetProjectTitle(p), "<Project> p00003: Gamma");

  const std::string q = Path("p00004");
  Put(q + "/setup.dat", Crlf({"\"h\"", "4,\"x\"", "\"h\"", "1,2,3,4,5,6"}));
  EXPECT_EQ(storage::GetProjectTitle(q), "<Project> p: SETUP NOT FOUND!!");

  Put(q + "/20250101_1200/setup.dat", SetupText(4, "Delta", "w96", 30, 0));
  dialogs_.ExpectOk();
  EXPECT_EQ(storage::GetProjectTitle(q), "<Project> p00004: Delta");
  EXPECT_EQ(dialogs_.log().back(), "Error reading Setup.dat -> recovered from " + q + "/20250101_1200");

  const std::string r = Path("p00008");
  Put(r + "/setup.bak", SetupText(8, "Eps", "w96", 30, 0));
  dialogs_.ExpectOk();
  EXPECT_EQ(storage::GetProjectTitle(r), "<Project> p00008: Eps");
  EXPECT_EQ(dialogs_.log().back(), "Error reading Setup.dat -> recovered from Setup.bak");
}

TEST_F(SetupFile, RenameChangesOnlyTheNameField) {
  const std::string p = Path("p00003");
  const std::string before = SetupText(3, "Old, with comma", "w96", 30, 0);
  Put(p + "/setup.dat", before);
  EXPECT_EQ(storage::RenameProject(p, "New \"name\""), "New name");
  std::string expected = before;
  expected.replace(expected.find("\"Old, with comma\""), 17, "\"New name\"");
  EXPECT_EQ(testsupport::ReadBytes(p + "/setup.dat"), expected);
  EXPECT_EQ(testsupport::ReadBytes(p + "/setup.bak"), before);
  EXPECT_EQ(storage::GetProjectTitle(p), "<Project> p00003: New name");
  EXPECT_EQ(storage::RenameProject(Path("nowhere"), "X"), "X");
}

}  // namespace
