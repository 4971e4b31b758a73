#include "storage/project_folders.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace {
namespace fs = std::filesystem;

TEST(ProjectFolders, ListsOnlyRealProjectsInNumberOrder) {
  testsupport::TempProgramFolder home;
  testsupport::WriteBytes(home / "p00012/setup.dat", "x");
  testsupport::WriteBytes(home / "p00003/setup.dat", "x");
  fs::create_directories(home / "p00002");                 // no setup.dat
  testsupport::WriteBytes(home / "p00004", "a file");      // named like a project
  testsupport::WriteBytes(home / "p0001/setup.dat", "x");  // five characters
  testsupport::WriteBytes(home / "pabcde/setup.dat", "x");
  testsupport::WriteBytes(home / "p000001/setup.dat", "x");
  fs::create_directory_symlink(home / "p00012", home / "p00013");
  const auto projects = storage::ListProjectFolders(home.path());
  ASSERT_EQ(projects.size(), 2u);
  EXPECT_EQ(projects[0].number, 3);
  EXPECT_EQ(projects[0].name, "p00003");
  EXPECT_EQ(projects[1].number, 12);
}

TEST(ProjectFolders, NamesAndPaths) {
  EXPECT_EQ(storage::ProjectFolderName(12), "p00012");
  EXPECT_EQ(storage::ProjectFolderName(32000), "p32000");
  EXPECT_EQ(storage::ProjectFolderPath("/h", 0), fs::path("/h"));
  EXPECT_EQ(storage::ProjectFolderPath("/h", 7), fs::path("/h/p00007"));
  EXPECT_EQ(storage::ParseProjectFolderName("p00000"), 0);
  EXPECT_EQ(storage::ParseProjectFolderName("p3200a"), -1);
  EXPECT_EQ(storage::ParseProjectFolderName("q00001"), -1);
}

TEST(ProjectFolders, RunFoldersSortedWithoutDots) {
  testsupport::TempProgramFolder home;
  for (const char* name : {"20240315_0930_s2", "20240101_0000", "20240315_0930", "2024.0101_0000",
                           "20240315_09", "20240315_0930removed20240601"}) {
    fs::create_directories(home / name);
  }
  testsupport::WriteBytes(home / "20230101_0000", "a file");
  EXPECT_EQ(storage::ListRunFolders(home.path()),
            (std::vector<std::string>{"20240101_0000", "20240315_0930", "20240315_0930_s2",
                                      "20240315_0930removed20240601"}));
}

}  // namespace

namespace {

TEST(ProjectFolders, StaleTemporariesOfEveryLevelGoAtStart) {
  testsupport::TempProgramFolder home;
  for (const char* f : {"config.dat.aB3dE9.tmp~", "p00001/setup.dat", "p00001/status.dat.Q1w2E3.tmp~",
                        "p00001/20240101_1000/subproj.dat.zz9zz9.tmp~", "p00001/20240101_1000/counts.bin"})
    testsupport::WriteBytes(home / f, "x");
  EXPECT_EQ(storage::RemoveStaleTemporaries(home.path()), 3);
  EXPECT_TRUE(std::filesystem::exists(home / "p00001/20240101_1000/counts.bin"));
}

}  // namespace
