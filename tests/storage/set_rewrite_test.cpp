// Files written as a pair survive a kill at any point of their save whole: both old or
// both new, whichever reader comes first after the kill.
#include <gtest/gtest.h>

#include "storage/file_set_rewrite.h"
#include "storage/project_folders.h"
#include "storage/run_files.h"
#include "storage/run_loading.h"
#include "support/file_size_limit.h"
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
  for (int kill_at = 0; kill_at < 6; ++kill_at) {
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
  EXPECT_EQ(temporaries(), 3);
}

// A Replace that cannot be made leaves the backups it found: the acquisition's copies
// are not lost to a refusal, and the two backups stay of one version.
TEST(SetRewrite, ARefusedReplaceKeepsThePairOldAndTheBackupsOfOneVersion) {
  testsupport::TempProgramFolder home;
  const fs::path run = home / "20261206_1000";
  // Larger than the per-file limit below, which the other files are not.
  const std::string old_setup(3000, 's');
  const std::string acquired_setup(3000, 'a');
  // Which version a counts file and a setup file hold, "old", "acquired" or "other".
  const auto version = [&](const char* counts, const char* setup) {
    const auto of = [&](const char* name, const std::string& old, const std::string& acquired) {
      const std::string bytes = ReadBytes(run / name);
      return bytes == old ? "old" : bytes == acquired ? "acquired" : "other";
    };
    return std::string(of(counts, "old", "acquired")) + " " + of(setup, old_setup, acquired_setup);
  };
  const struct {
    const char* what;
    storage::RunRewrite result;
    const char* backups;  // the versions counts.bak and setup.bak hold afterwards
  } cases[] = {
      {"an earlier list that cannot be finished", storage::RunRewrite::kPendingList,
       "acquired acquired"},
      {"no room for setup.bak", storage::RunRewrite::kBackupFailed, "acquired acquired"},
      {"setup.dat's rename fails", storage::RunRewrite::kBackupsOnly, "old old"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(run);
    testsupport::WriteBytes(run / "counts.bin", "old");
    testsupport::WriteBytes(run / "setup.dat", old_setup);
    testsupport::WriteBytes(run / "counts.bak", "acquired");
    testsupport::WriteBytes(run / "setup.bak", acquired_setup);
    std::optional<testsupport::FileSizeLimit> full;
    storage::CommitStep step;
    if (c.result == storage::RunRewrite::kPendingList)
      testsupport::WriteBytes(run / storage::kPendingRenamesName,
                              "\"../x.dat.AAAAAA.tmp~\",\"../x.dat\"\r\n");
    if (c.result == storage::RunRewrite::kBackupFailed) full.emplace(2000);
    if (c.result == storage::RunRewrite::kBackupsOnly)
      step = [&, at = 0]() mutable {
        if (at++ != 4) return;  // before setup.dat's rename, counts.bin's made
        for (const auto& e : fs::directory_iterator(run))
          if (e.path().filename().string().rfind("setup.dat.", 0) == 0) fs::remove(e.path());
      };
    EXPECT_EQ(storage::ReplaceCountsAndSetup(run, {storage::CountsRecord{}}, "new\r\n", step),
              c.result);
    full.reset();
    EXPECT_EQ(version("counts.bin", "setup.dat"), "old old");
    EXPECT_EQ(version("counts.bak", "setup.bak"), c.backups);
  }
}

}  // namespace
