#pragma once
// Files of one folder replaced together, all or nothing across a kill (counts.bin with
// setup.dat, groups.dat with chgroup.dat, each pair with its backups). Every new file is
// written whole beside its target first; then the list of the renames to make reaches
// the disk, the renames are made in order, each followed by a sync of the folder, and
// the list goes once a sync after the last rename succeeded. A kill before the list is
// written leaves the old files (and temporaries the next start clears); a kill after it
// leaves renames that FinishPendingRenames makes wherever the folder is read next, so
// the new files arrive together and the old ones go only once the new ones are all on
// the disk.
//
// A rename that was made counts as made, whatever fails after it: the commit goes on
// to the set's end, or leaves its list (with the new files still to be renamed) for
// the next read to finish. So once a command has ended, a pair is old/old or new/new,
// or its list is still there to make it new/new.
//
// The list, kPendingRenamesName, is a settings text of one line per file, in the order
// of the renames: "<temporary name>","<file name>".
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_write.h"

namespace storage {

inline constexpr const char* kPendingRenamesName = "renames.pending";

// Runs at each point of a commit where a kill may land: before the list is written,
// before each rename and before the list is removed.
using CommitStep = std::function<void()>;

// What FinishPendingRenames found in a folder.
struct PendingRenames {
  enum class State {
    kNone,     // no list is left: there was none, or it was finished
    kUnseen,   // the folder cannot be looked into: whether it holds a list is not known
    kDamaged,  // the list is not as a commit leaves it: nothing was renamed from it
    kBlocked,  // a list as a commit leaves it that the folder does not let be finished
  };
  State state = State::kNone;
  // kDamaged: what is wrong with the list, to follow "it is damaged: ".
  std::string damage;
  // kBlocked: the errno of the rename, sync or removal that failed, or
  int error = 0;
  // a name to be renamed onto that is not a regular file.
  std::string in_the_way;
  // kBlocked: renames may still be left to make (not when only the sync or the list's
  // removal failed).
  bool renames_left = false;
};

enum class SetCommit {
  kDone,           // every file replaced, and the folder synced
  kUnsynced,       // every file replaced, but no sync of the folder succeeded after the
                   // last rename: the list stays until a read of the folder syncs it
  kUnchanged,      // a new file, the list or the first rename could not be written: every
                   // old file stays
  kNotAFile,       // a temporary or a target is not a regular file: every old file stays
  kPendingList,    // an earlier commit's list could not be finished: every old file stays
  kPartlyRenamed,  // a rename failed: the files before it are new; unless its temporary
                   // is gone, the list and the rest stay for the next read to finish
};

class FileSetRewrite {
 public:
  explicit FileSetRewrite(std::filesystem::path folder) : folder_(std::move(folder)) {}

  // The writer of the new file `name` of the folder; renamed in the order asked for.
  platform::AtomicFileWriter& File(const std::string& name);
  // Writes every new file whole beside its target, nothing replaced yet; false when one
  // could not be.
  bool Prepare();
  // Nothing is renamed before every new file is on the disk and no earlier list is
  // left: files that must change only with the set (its backups) go in it, first.
  SetCommit Commit(const CommitStep& step = {});
  const std::filesystem::path& folder() const { return folder_; }
  // How many files Commit renamed into place.
  size_t renamed() const { return renamed_; }
  size_t size() const { return files_.size(); }
  // The name of file `i`, in the order of the renames.
  const std::string& name(size_t i) const { return files_[i].name; }
  // kPartlyRenamed: the list was left, with the files still to be renamed.
  bool left_pending() const { return left_pending_; }
  // The errno of the write, rename or sync that failed.
  int error() const { return error_; }
  // kNotAFile: the path that is not a regular file.
  const std::filesystem::path& not_a_file() const { return not_a_file_; }
  // kPendingList: the earlier list, as FinishPendingRenames found it.
  const PendingRenames& pending() const { return pending_; }

 private:
  struct Entry {
    std::string name;
    std::unique_ptr<platform::AtomicFileWriter> writer;
  };
  // The first temporary or target that is not a regular file (a missing target is
  // fine); empty when none.
  std::filesystem::path FirstNotAFile() const;
  void KeepTemporaries();

  std::filesystem::path folder_;
  std::vector<Entry> files_;
  size_t renamed_ = 0;
  bool left_pending_ = false;
  int error_ = 0;
  std::filesystem::path not_a_file_;
  PendingRenames pending_;
};

// Makes the renames a killed or failed commit left pending in `folder` and removes its
// list once the folder is synced. Nothing is touched when the list, or what it names,
// is not as a commit leaves it (kDamaged); a failed rename, sync or removal leaves the
// list for the next read (kBlocked).
PendingRenames FinishPendingRenames(const std::filesystem::path& folder);
// FinishPendingRenames before `folder` is read. A list it cannot finish blocks every
// later save in the folder, so the user is told, once a session: the first read that
// meets it says so (each save it blocks says so again).
void FinishPendingRenamesBeforeReading(const std::filesystem::path& folder);
// What the user is told of a list FinishPendingRenames could not finish: where it is,
// why it stays and what to do about it. The advice never leads to a mixed pair: a list
// that can still be finished is never to be deleted.
std::string PendingRenamesRefusal(const std::filesystem::path& folder,
                                  const PendingRenames& pending);
// What the user is told after a commit's own headline when it did not end kDone (empty
// for kUnchanged, whose headline says it all): what became of the files, what to do.
std::string SetCommitNote(const FileSetRewrite& rewrite, SetCommit result);

}  // namespace storage
