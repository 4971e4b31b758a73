// Files written as a pair survive a kill at any point of their save whole: both old or
// both new, whichever reader comes first after the kill.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <optional>

#include "storage/channel_files.h"
#include "storage/file_set_rewrite.h"
#include "storage/project_folders.h"
#include "storage/run_files.h"
#include "storage/run_loading.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"
#include "support/file_size_limit.h"
#include "support/folder_sync_fault.h"
#include "support/kill_at.h"
#include "support/read_only_folder.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

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
  EXPECT_EQ(storage::FinishPendingRenames(run).state, storage::PendingRenames::State::kDamaged);
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
      {"setup.dat's new file vanishes before its rename", storage::RunRewrite::kBackupsOnly,
       "old old"},
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

using State = storage::PendingRenames::State;

// Replace and the group save with the folder's sync failing at each of their steps (the
// list's, then each rename's), once or from there on: after the command and at the next
// load, a pair and its backups are all old or all new, and the result says which.
TEST(SetRewrite, AFolderSyncThatFailsNeverSplitsASet) {
  testsupport::TempProgramFolder home;
  testsupport::ScriptedDialogs dialogs;
  const fs::path run = home / "p00001" / "20261206_1000";
  const storage::ChannelTableText names;
  const storage::ChannelTable16 groups{};
  const auto fresh = [&] {
    fs::remove_all(run);
    for (const char* name : {"counts.bin", "setup.dat", "groups.dat", "chgroup.dat"})
      testsupport::WriteBytes(run / name, std::string("old ") + name);
    for (const char* name : {"counts.bak", "setup.bak", "groups.bak", "chgroup.bak"})
      testsupport::WriteBytes(run / name, "acquired");
  };
  const struct {
    const char* what;
    std::vector<std::string> files;  // a pair and its backups
    std::function<std::string(std::string&)> save;
  } saves[] = {
      {"Replace",
       {"counts.bin", "setup.dat", "counts.bak", "setup.bak"},
       [&](std::string& note) {
         const auto r =
             storage::ReplaceCountsAndSetup(run, {storage::CountsRecord{}}, "new\r\n", {}, &note);
         return r == storage::RunRewrite::kOk            ? "done"
                : r == storage::RunRewrite::kWriteFailed ? "unchanged"
                : r == storage::RunRewrite::kUnsynced    ? "unsynced"
                                                         : "other";
       }},
      {"the group save",
       {"groups.dat", "chgroup.dat", "groups.bak", "chgroup.bak"},
       [&](std::string& note) {
         const std::vector<storage::FileCopy> backups{
             {"groups.bak", ReadBytes(run / "groups.dat")},
             {"chgroup.bak", ReadBytes(run / "chgroup.dat")}};
         const auto r = storage::SaveGroupFiles(run.string(), names, groups, backups, {}, &note);
         return r == storage::SetCommit::kDone        ? "done"
                : r == storage::SetCommit::kUnchanged ? "unchanged"
                : r == storage::SetCommit::kUnsynced  ? "unsynced"
                                                      : "other";
       }},
  };
  for (const auto& save : saves) {
    fresh();
    std::map<std::string, std::string> old_bytes, new_bytes;
    for (const auto& f : save.files) old_bytes[f] = ReadBytes(run / f);
    std::string note;
    ASSERT_EQ(save.save(note), "done");
    for (const auto& f : save.files) new_bytes[f] = ReadBytes(run / f);
    const auto versions = [&] {
      std::string out;
      for (const auto& f : save.files) {
        const std::string bytes = ReadBytes(run / f);
        out += bytes == old_bytes[f] ? "old " : bytes == new_bytes[f] ? "new " : "other ";
      }
      return out;
    };
    // Sync 0 follows the list's rename, 1 to 4 the files'.
    for (int at = 0; at <= 4; ++at) {
      for (const bool onward : {false, true}) {
        SCOPED_TRACE(std::string(save.what) + ", sync " + std::to_string(at) +
                     (onward ? " and every later one" : " alone"));
        fresh();
        std::string outcome;
        {
          testsupport::FolderSyncFault fault(at, onward ? testsupport::FolderSyncFault::kEvery : 1);
          outcome = save.save(note);
          if (at > 0 && onward) {
            // Every file is in place; the list stays until a sync succeeds, and its
            // advice is not to keep it for renames.
            const storage::PendingRenames left = storage::FinishPendingRenames(run);
            EXPECT_EQ(left.state, State::kBlocked);
            EXPECT_EQ(storage::PendingRenamesRefusal(run, left).find("Do not delete"),
                      std::string::npos);
          }
        }
        const bool changed = at > 0;
        EXPECT_EQ(outcome, !changed ? "unchanged" : onward ? "unsynced" : "done");
        EXPECT_EQ(versions(), changed ? "new new new new " : "old old old old ");
        if (!changed) {
          EXPECT_EQ(note, "The disk reported: Input/output error.");
        } else if (onward) {
          EXPECT_NE(note.find("may not be safe on the disk"), std::string::npos) << note;
        }
        storage::RunPlate plate;
        storage::LoadProjectGroups(run, plate);
        EXPECT_EQ(versions(), changed ? "new new new new " : "old old old old ");
        EXPECT_FALSE(fs::exists(run / storage::kPendingRenamesName));
      }
    }
  }
}

// Only regular files are renamed, or renamed onto: anything else at a new file's or a
// target's name stops the renames before they start, and is named.
TEST(SetRewrite, WhatIsNotARegularFileStopsTheRenames) {
  testsupport::TempProgramFolder home;
  testsupport::ScriptedDialogs dialogs;
  const fs::path run = home / "20261206_1000";
  const fs::path list = run / storage::kPendingRenamesName;
  const auto pair = [&] {
    return ReadBytes(run / "counts.bin") + " " + ReadBytes(run / "setup.dat");
  };
  const auto fresh = [&] {
    fs::remove_all(run);
    testsupport::WriteBytes(run / "counts.bin", "old");
    testsupport::WriteBytes(run / "setup.dat", "old");
  };
  // The list a kill leaves before counts.bin's rename, setup.dat's new file beside it.
  const auto killed = [&] {
    testsupport::WriteBytes(run / "setup.dat.BBBBBB.tmp~", "new");
    testsupport::WriteBytes(list,
                            "\"counts.bin.AAAAAA.tmp~\",\"counts.bin\"\r\n"
                            "\"setup.dat.BBBBBB.tmp~\",\"setup.dat\"\r\n");
  };
  const fs::path fifo = run / "counts.bin.AAAAAA.tmp~";

  fresh();
  killed();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  storage::PendingRenames found = storage::FinishPendingRenames(run);
  EXPECT_EQ(found.state, State::kDamaged);
  EXPECT_EQ(found.damage, "counts.bin.AAAAAA.tmp~ is not a regular file");
  EXPECT_EQ(pair(), "old old");

  // counts.bin renamed, a folder where setup.dat is: the list waits for it to go.
  fresh();
  killed();
  testsupport::WriteBytes(run / "counts.bin", "new");
  fs::remove(run / "setup.dat");
  fs::create_directory(run / "setup.dat");
  found = storage::FinishPendingRenames(run);
  EXPECT_EQ(found.state, State::kBlocked);
  const std::string told = storage::PendingRenamesRefusal(run, found);
  EXPECT_NE(told.find("Move setup.dat out of the folder, then open the run again"),
            std::string::npos)
      << told;
  EXPECT_NE(told.find("Do not delete"), std::string::npos) << told;
  fs::remove(run / "setup.dat");
  EXPECT_EQ(storage::FinishPendingRenames(run).state, State::kNone);
  EXPECT_EQ(pair(), "new new");

  // Replace with a FIFO for a backup, or one put at its first new file's name before its
  // rename: nothing is replaced, and the name is given.
  for (const bool at_the_backup : {true, false}) {
    SCOPED_TRACE(at_the_backup ? "counts.bak" : "counts.bak's new file");
    fresh();
    fs::path named = run / "counts.bak";
    if (at_the_backup) {
      ASSERT_EQ(mkfifo(named.c_str(), 0644), 0);
    }
    const storage::CommitStep step = [&, n = 0]() mutable {
      if (n++ != 1) return;
      for (const auto& e : fs::directory_iterator(run))
        if (e.path().filename().string().rfind("counts.bak.", 0) == 0) named = e.path();
      fs::remove(named);
      mkfifo(named.c_str(), 0644);
    };
    std::string note;
    EXPECT_EQ(storage::ReplaceCountsAndSetup(run, {storage::CountsRecord{}}, "new\r\n",
                                             at_the_backup ? storage::CommitStep{} : step, &note),
              storage::RunRewrite::kNotAFile);
    EXPECT_EQ(note, named.string() + " is not a regular file.");
    EXPECT_EQ(pair(), "old old");
    EXPECT_FALSE(fs::exists(list));
    EXPECT_EQ(fs::exists(run / "counts.bak"), at_the_backup);
  }

  // A list far past any a commit writes: refused unread, without a word at the start.
  fresh();
  testsupport::WriteBytes(list, "");
  fs::resize_file(list, 300u << 20);
  found = storage::FinishPendingRenames(run);
  EXPECT_EQ(found.state, State::kDamaged);
  EXPECT_EQ(found.damage, "it holds 314572800 bytes, far more than any list of renames");
  EXPECT_TRUE(dialogs.log().empty());
}

// A rename refused after the first, the folder made read-only meanwhile: the renames
// made count, the rest wait with their list, and the first read once the folder can
// be written again makes them (a run's load, a project's).
TEST(SetRewrite, ARenameRefusedMidwayIsFinishedByTheNextRead) {
  testsupport::TempProgramFolder home;
  testsupport::ScriptedDialogs dialogs;
  dialogs.AllowAnyOk();  // the project's other files are missing: their loaders say so
  const storage::ChannelTableText names;
  const storage::ChannelTable16 groups{};
  for (const bool group_save : {false, true}) {
    SCOPED_TRACE(group_save ? "the project's group save" : "Replace");
    const fs::path run = group_save ? home / "p00001" : home / "p00001" / "20261206_1000";
    fs::remove_all(home / "p00001");
    for (const char* name : {"counts.bin", "setup.dat", "groups.dat", "chgroup.dat"})
      testsupport::WriteBytes(run / name, "old");
    std::optional<testsupport::ReadOnlyFolder> read_only;
    // Before the pair's second rename: the first file of the pair is new.
    const storage::CommitStep step = [&, n = 0]() mutable {
      if (n++ == (group_save ? 2 : 4)) read_only.emplace(run);
    };
    std::string note;
    const bool left =
        group_save ? storage::SaveGroupFiles(run.string(), names, groups, {}, step, &note) ==
                         storage::SetCommit::kPartlyRenamed
                   : storage::ReplaceCountsAndSetup(run, {storage::CountsRecord{}}, "new\r\n", step,
                                                    &note) == storage::RunRewrite::kLeftPending;
    if (!read_only->works()) GTEST_SKIP() << "the folder cannot be made read-only here";
    EXPECT_TRUE(left);
    EXPECT_NE(note.find("(the folder cannot be written)"), std::string::npos) << note;
    EXPECT_NE(note.find("Make the folder writable, then open the run again"), std::string::npos);
    EXPECT_NE(note.find("Do not delete"), std::string::npos);
    read_only.reset();
    if (group_save) {
      storage::Shared().Project_Path = run.string();
      storage::LoadProjectSetup(1);
    } else {
      storage::RunPlate plate;
      storage::LoadProjectGroups(run, plate);
    }
    const char* first = group_save ? "groups.dat" : "counts.bin";
    const char* second = group_save ? "chgroup.dat" : "setup.dat";
    EXPECT_NE(ReadBytes(run / first), "old");
    EXPECT_NE(ReadBytes(run / second), "old");
    EXPECT_FALSE(fs::exists(run / storage::kPendingRenamesName));
  }
  storage::ResetSharedState();
}

// Folder permissions do not stop root: these run with root's rights dropped.
TEST(SetRewrite, AListTheFolderDoesNotLetBeFinishedIsNotCalledDamaged) {
  testsupport::TempProgramFolder home;
  const fs::path run = home / "20261206_1000";
  // A kill between the renames: counts.bin is new, setup.dat's new file waits.
  testsupport::WriteBytes(run / "counts.bin", "new");
  testsupport::WriteBytes(run / "setup.dat", "old");
  testsupport::WriteBytes(run / "setup.dat.BBBBBB.tmp~", "new");
  testsupport::WriteBytes(run / storage::kPendingRenamesName,
                          "\"counts.bin.AAAAAA.tmp~\",\"counts.bin\"\r\n"
                          "\"setup.dat.BBBBBB.tmp~\",\"setup.dat\"\r\n");
  const auto told = testsupport::AsUnprivileged(home.path(), [&] {
    chmod(run.c_str(), 0555);
    const storage::PendingRenames found = storage::FinishPendingRenames(run);
    const std::string text = (found.state == State::kBlocked ? "blocked\n" : "not blocked\n") +
                             storage::PendingRenamesRefusal(run, found);
    chmod(run.c_str(), 0755);
    return text;
  });
  if (!told) GTEST_SKIP() << "root's rights could not be dropped: permissions not checked";
  EXPECT_EQ(told->substr(0, told->find('\n')), "blocked");
  EXPECT_NE(told->find("cannot be finished: the folder cannot be written."), std::string::npos)
      << *told;
  EXPECT_NE(told->find("Make the folder writable, then open the run again"), std::string::npos);
  EXPECT_NE(told->find("Do not delete renames.pending"), std::string::npos);
  EXPECT_EQ(told->find("damaged"), std::string::npos);
  EXPECT_EQ(ReadBytes(run / "setup.dat"), "old");
  EXPECT_EQ(storage::FinishPendingRenames(run).state, State::kNone);
  EXPECT_EQ(ReadBytes(run / "setup.dat"), "new");
}

TEST(SetRewrite, AFolderThatCannotBeLookedIntoIsNotToldAsHoldingAList) {
  testsupport::TempProgramFolder home;
  const fs::path run = home / "20261206_1000";
  testsupport::WriteBytes(run / storage::kPendingRenamesName,
                          "\"../x.dat.AAAAAA.tmp~\",\"../x.dat\"\r\n");
  const auto seen = testsupport::AsUnprivileged(home.path(), [&] {
    chmod(run.c_str(), 0644);  // readable, not searchable
    testsupport::ScriptedDialogs dialogs;
    dialogs.AllowAnyOk();
    storage::FinishPendingRenamesBeforeReading(run);
    const bool unseen = storage::FinishPendingRenames(run).state == State::kUnseen;
    const bool refused =
        storage::SaveGroupFiles(run.string(), {}, {}) == storage::SetCommit::kUnchanged;
    chmod(run.c_str(), 0755);
    return std::to_string(dialogs.log().size()) + (unseen ? " unseen" : " seen") +
           (refused ? " unchanged" : " other");
  });
  if (!seen) GTEST_SKIP() << "root's rights could not be dropped: permissions not checked";
  EXPECT_EQ(*seen, "0 unseen unchanged");
}

}  // namespace
