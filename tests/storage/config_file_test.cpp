#include "storage/config_file.h"

#include "storage_fixture.h"

namespace {

using storagetest::Crlf;

class ConfigFile : public storagetest::StorageTest {
 protected:
  void Load(const std::string& values) {
    Write("config.dat", Crlf({"\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"", values}));
    storage::LoadConfig();
  }
  void ExpectConfig(int project, int last, int com, int restart) {
    EXPECT_EQ(S().Actual_Project_Number, project);
    EXPECT_EQ(S().Last_Project, last);
    EXPECT_EQ(S().Serial_COM, com);
    EXPECT_EQ(S().Restart_Time, restart);
  }
};

TEST_F(ConfigFile, ValuesAreClampedOnLoad) {
  Load("-5,2,0,9");
  ExpectConfig(0, 2, 1, 0);
  Load("8,3,20,0");
  ExpectConfig(8, 8, 16, 0);
}

TEST_F(ConfigFile, SaveWritesHeaderAndValuesExactly) {
  Load("8,3,20,0");
  ASSERT_TRUE(storage::SaveConfig());
  EXPECT_EQ(Read("config.dat"),
            "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n"
            "8,8,16,0\r\n");
}

TEST_F(ConfigFile, DamagedOrMissingFileGivesDefaultsWithMessage) {
  const std::string message = "Error opening config File >>>> Loading DEFAULT configuration...";
  for (const std::string& bytes : {std::string("\"Config\"\r\n"), std::string("\"Config\"\r\n3,7,x,0\r\n"),
                                  std::string("\"Config\"\r\n3,7,99999,0\r\n")}) {
    S().Serial_COM = 9;
    S().Last_Project = 9;
    dialogs_.ExpectOk();
    Write("config.dat", bytes);
    storage::LoadConfig();
    ExpectConfig(1, 1, 4, 0);
    EXPECT_EQ(dialogs_.log().back(), message);
  }
  std::filesystem::remove(Path("config.dat"));
  dialogs_.ExpectOk();
  storage::LoadConfig();
  EXPECT_EQ(dialogs_.log().back(), message);
  EXPECT_FALSE(std::filesystem::exists(Path("config.dat")));  // not rewritten
}

TEST_F(ConfigFile, UnwritableFolderShowsSaveMessage) {
  std::filesystem::create_directory(Path("config.dat"));  // a folder where the file should be
  dialogs_.ExpectOk();
  EXPECT_FALSE(storage::SaveConfig());
  EXPECT_EQ(dialogs_.log().back(), "<Error Saving Config File>");
}

}  // namespace
