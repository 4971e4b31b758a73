// Random and mutated bytes through every loader: no crash, no sanitizer report, and
// the tables stay within the values the rest of the program relies on.
#include <map>
#include <random>

#include "storage/calibration_values.h"
#include "storage/channel_files.h"
#include "storage/config_file.h"
#include "storage/plate_layout.h"
#include "storage/report_settings.h"
#include "storage/run_description.h"
#include "storage/setup_file.h"
#include "storage_fixture.h"
#include "support/fuzz_bytes.h"

namespace {

class Fuzz : public storagetest::StorageTest {
 protected:
  Fuzz() { dialogs_.AllowAnyOk(); }

  std::string Bytes(const std::string& valid) { return fuzz_(valid); }

  void CheckTables() {
    const auto& s = S();
    for (int ch = 0; ch < 384; ++ch) {
      const auto i = static_cast<size_t>(ch);
      ASSERT_TRUE(s.Enabled[i] == -1 || s.Enabled[i] == 0);
      ASSERT_GE(s.Group[i], -1);
      ASSERT_LT(s.Group[i], 384);
      ASSERT_GE(s.PinHole[i], 0);
      ASSERT_LE(s.Gain[i], 7);
      if (s.Channel_Well[i] >= 0) {
        ASSERT_LE(s.Channel_Well[i], s.Max_Well);
        ASSERT_GE(s.Channel_Beam[i], 0);
        ASSERT_LE(s.Channel_Beam[i], s.Max_Beam);
        // Two channels may name one slot; the slot then holds one of them.
        const auto owner = static_cast<size_t>(s.WellGridAt(s.Channel_Well[i], s.Channel_Beam[i]));
        ASSERT_EQ(s.Channel_Well[owner], s.Channel_Well[i]);
        ASSERT_EQ(s.Channel_Beam[owner], s.Channel_Beam[i]);
      }
    }
    ASSERT_EQ(s.Well_Grid.size(),
              static_cast<size_t>(s.Max_Well + 1) * static_cast<size_t>(s.Max_Beam + 1));
    ASSERT_GE(s.Serial_COM, 1);
    ASSERT_LE(s.Serial_COM, 16);
  }

  testsupport::FuzzBytes fuzz_{20240611, "0123456789,\"\r\n -.e+x\t\xE9\x80"};
};

TEST_F(Fuzz, EveryLoaderSurvivesDamagedFiles) {
  // Valid files to mutate, written by our own writers.
  ASSERT_TRUE(storage::SaveConfig());
  S().Plate_format = "w96";
  ASSERT_TRUE(storage::SaveProjectSetup(folder_.path().string(), 1, -1));
  ASSERT_TRUE(storage::SaveCalValues());
  storage::LoadReportConfig(1);
  ASSERT_TRUE(storage::WriteSubproject(folder_.path().string(), "run", "a\nb"));
  testsupport::WriteBytes(folder_ / "w96.dat",
                          testsupport::ReadBytes(testsupport::SourceDir() / "data" / "w96.dat"));
  testsupport::WriteBytes(folder_ / "tags_id.dat", "20240101_1000 [K1]\r\n");
  const char* names[] = {"config.dat",  "setup.dat",   "status.dat",   "threshld.dat",
                         "groups.dat",  "chgroup.dat", "calvalue.dat", "repoconf.dat",
                         "subproj.dat", "w96.dat",     "tags_id.dat"};
  std::map<std::string, std::string> valid;
  for (const char* n : names) valid[n] = Read(n);

  for (int round = 0; round < 150; ++round) {
    for (const char* n : names) Write(n, Bytes(valid[n]));
    Write("setup.bak", Bytes(valid["setup.dat"]));
    S().Project_Path = folder_.path().string();
    storage::LoadConfig();
    storage::LoadProjectSetup(static_cast<int16_t>(round % 3));  // 0: no restores
    S().Plate_format = "w96";
    storage::LoadPlateLayout();
    std::string error;
    (void)storage::LoadPlateLayoutNoTrap(&error);
    (void)storage::LoadCalValues();
    (void)storage::LoadReportConfig(1);
    (void)storage::GetProjectTitle(folder_.path().string());
    (void)storage::ReadSubprojectName(folder_.path().string());
    (void)storage::ReadSubprojectComments(folder_.path().string());
    (void)storage::GetTagText(folder_.path().string(), "20240101_1000");
    (void)storage::FindTagIds(folder_.path().string(), "[K1]");
    (void)storage::RenameProject(folder_.path().string(), "renamed");
    CheckTables();
    if (HasFatalFailure()) FAIL() << "round " << round;
    // What we write after any of it must load back without a message.
    const size_t boxes = dialogs_.log().size();
    ASSERT_TRUE(storage::SaveProjectSetup(folder_.path().string(), 1, -1));
    S().Actual_Project_Number = 1;
    storage::ReadSetupFile(1);
    ASSERT_EQ(dialogs_.log().size(), boxes) << dialogs_.log().back();
  }
}

}  // namespace
