// Files written as a pair survive a kill at any point of their save whole: both old or
// both new, whichever reader comes first after the kill.
#include <gtest/gtest.h>

#include "storage/channel_files.h"
#include "storage/file_set_rewrite.h"
#include "storage/project_folders.h"
#include "storage/run_files.h"
#include "storage/run_loading.h"
#include "support/kill_at.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadBytes;

struct Pair {
  const char* first;  // renamed first
  const char* second;
  std::function<void(const fs::path&, const storage::CommitStep&)> save;
};
const Pair kPairs[] = {
    {"counts.bin", "setup.dat",  // Replace
     [](const fs::path& run, const storage::CommitStep& step) {
       storage::CountsRecord r;
       r.Counts.fill(3);
       storage::ReplaceCountsAndSetup(run, {r}, "new setup\r\n", step);
     }},
    {"groups.dat", "chgroup.dat",  // the group editor's save
     [](const fs::path& run, const storage::CommitStep& step) {
       storage::ChannelTableText names;
       names.fill("Saved");
       storage::SaveGroupFiles(run.string(), names, storage::ChannelTable16{}, step);
     }},
};

class SetRewrite : public ::testing::Test {
 protected:
  // A project with one run holding the old files.
  void NewRun() {
    fs::remove_all(home_ / "p00001");
    testsupport::WriteBytes(home_ / "p00001" / "setup.dat", "project\r\n");
    for (const char* name : {"counts.bin", "setup.dat", "groups.dat", "chgroup.dat"})
      testsupport::WriteBytes(run_ / name, "old");
  }
  size_t Temporaries() const {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(run_))
      n += platform::IsTemporaryName(e.path().filename().string()) ? 1 : 0;
    return n;
  }

  testsupport::TempProgramFolder home_;
  const fs::path run_ = home_ / "p00001" / "20261206_1000";
};

TEST_F(SetRewrite, AKillAnywhereLeavesThePairOldOrNewForItsNextReader) {
  for (const Pair& pair : kPairs) {
    NewRun();
    pair.save(run_, {});
    const std::string first_new = ReadBytes(run_ / pair.first);
    const std::string second_new = ReadBytes(run_ / pair.second);
    // Kills before the list of renames is written, before each rename, before it goes.
    for (int kill_at = 0; kill_at < 4; ++kill_at) {
      for (const bool at_start : {false, true}) {
        SCOPED_TRACE(std::string(pair.first) + ", kill at " + std::to_string(kill_at) +
                     (at_start ? ", the start" : ", the run loader"));
        NewRun();
        ASSERT_TRUE(testsupport::KilledAt(
            kill_at, [&](const storage::CommitStep& step) { pair.save(run_, step); }));
        // The pair as the kill left it: mixed between the renames.
        EXPECT_EQ(ReadBytes(run_ / pair.first), kill_at >= 2 ? first_new : "old");
        EXPECT_EQ(ReadBytes(run_ / pair.second), kill_at >= 3 ? second_new : "old");
        EXPECT_EQ(fs::exists(run_ / storage::kPendingRenamesName), kill_at >= 1);
        storage::RunPlate plate;
        if (at_start) {
          storage::RemoveStaleTemporaries(home_.path());
          EXPECT_EQ(Temporaries(), 0u);
        } else {
          storage::LoadProjectGroups(run_, plate);
        }
        EXPECT_EQ(ReadBytes(run_ / pair.first), kill_at >= 1 ? first_new : "old");
        EXPECT_EQ(ReadBytes(run_ / pair.second), kill_at >= 1 ? second_new : "old");
        EXPECT_FALSE(fs::exists(run_ / storage::kPendingRenamesName));
      }
    }
  }
  // A list whose second new file is gone while the first is still to be renamed is
  // not what a kill leaves: finishing it would mix the pair, so nothing is touched.
  NewRun();
  ASSERT_TRUE(testsupport::KilledAt(
      1, [&](const storage::CommitStep& step) { kPairs[1].save(run_, step); }));
  for (const auto& e : fs::directory_iterator(run_))
    if (e.path().filename().string().rfind("chgroup.dat.", 0) == 0) fs::remove(e.path());
  EXPECT_FALSE(storage::FinishPendingRenames(run_));
  EXPECT_EQ(ReadBytes(run_ / "groups.dat"), "old");
  EXPECT_EQ(Temporaries(), 1u);
}

}  // namespace
