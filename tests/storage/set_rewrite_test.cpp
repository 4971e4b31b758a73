// Files written as a pair survive a kill at any point of their save whole: both old or
// both new, whichever reader comes first after the kill.
#include <gtest/gtest.h>

#include "storage/file_set_rewrite.h"
#include "storage/project_folders.h"
#include "storage/run_files.h"
#include "storage/run_loading.h"
#include "support/kill_at.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadBytes;

TEST(SetRewrite, AKillAnywhereLeavesThePairOldOrNewForItsNextReader) {
  testsupport::TempProgramFolder home;
  const fs::path run = home / "p00001" / "20261206_1000";
  // Replace in a run holding the old files, killed at its step `kill_at` (-1: never).
  const auto replace_killed_at = [&](int kill_at) {
    fs::remove_all(home / "p00001");
    testsupport::WriteBytes(home / "p00001" / "setup.dat", "project\r\n");
    for (const char* name : {"counts.bin", "setup.dat"}) testsupport::WriteBytes(run / name, "old");
    return testsupport::KilledAt(kill_at, [&](const auto& step) {
      storage::ReplaceCountsAndSetup(run, {storage::CountsRecord{}}, "new\r\n", step);
    });
  };
  const auto pair = [&] { return ReadBytes(run / "counts.bin") + ReadBytes(run / "setup.dat"); };
  const auto temporaries = [&] {
    return std::count_if(fs::directory_iterator(run), {}, [](const fs::directory_entry& e) {
      return platform::IsTemporaryName(e.path().filename().string());
    });
  };
  ASSERT_FALSE(replace_killed_at(-1));
  const std::string both_new = pair();
  // Kills before the list of renames is written, before each rename, before it goes.
  for (int kill_at = 0; kill_at < 4; ++kill_at) {
    for (const bool at_start : {false, true}) {
      SCOPED_TRACE(std::to_string(kill_at) + (at_start ? ", the start" : ", the run loader"));
      ASSERT_TRUE(replace_killed_at(kill_at));
      storage::RunPlate plate;
      if (at_start) {
        storage::RemoveStaleTemporaries(home.path());
        EXPECT_EQ(temporaries(), 0);
      } else {
        storage::LoadProjectGroups(run, plate);
      }
      EXPECT_EQ(pair(), kill_at >= 1 ? both_new : "oldold");
      EXPECT_FALSE(fs::exists(run / storage::kPendingRenamesName));
    }
  }
  // A list whose second new file is gone while the first is still to be renamed is
  // not what a kill leaves: finishing it would mix the pair, so nothing is touched.
  ASSERT_TRUE(replace_killed_at(1));
  for (const auto& e : fs::directory_iterator(run))
    if (e.path().filename().string().rfind("setup.dat.", 0) == 0) fs::remove(e.path());
  EXPECT_FALSE(storage::FinishPendingRenames(run));
  EXPECT_EQ(pair(), "oldold");
  EXPECT_EQ(temporaries(), 1);
}

}  // namespace
