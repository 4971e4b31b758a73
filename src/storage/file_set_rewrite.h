#pragma once
// Files of one folder replaced together, all or nothing across a kill (counts.bin with
// setup.dat, groups.dat with chgroup.dat, each pair with its backups). Every new file is
// written whole beside its target first; then the list of the renames to make reaches
// the disk, the renames are made in order and the list goes. A kill before the list is
// written leaves the old files (and temporaries the next start clears); a kill after it
// leaves renames that FinishPendingRenames makes wherever the folder is read next, so
// the new files arrive together and the old ones go only once the new ones are all on
// the disk.
//
// The list, kPendingRenamesName, is a settings text of one line per file, in the order
// of the renames: "<temporary name>","<file name>".
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

enum class SetCommit {
  kDone,
  kUnchanged,      // a new file or the list could not be written: every old file stays
  kPendingList,    // an earlier commit's list could not be finished: every old file stays
  kPartlyRenamed,  // a rename failed: the files before it are new, the others old
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
  // How many files Commit renamed into place.
  size_t renamed() const { return renamed_; }

 private:
  struct Entry {
    std::string name;
    std::unique_ptr<platform::AtomicFileWriter> writer;
  };
  std::filesystem::path folder_;
  std::vector<Entry> files_;
  size_t renamed_ = 0;
};

// Makes the renames a killed commit left pending in `folder` and removes its list. True
// when nothing is left pending; false when the list or its files are not as a commit
// leaves them (nothing is then touched) or a rename fails (the list stays for the next read).
bool FinishPendingRenames(const std::filesystem::path& folder);
// FinishPendingRenames before `folder` is read. A list it cannot finish blocks every
// later save in the folder, so the user is told, once a session: the first read that
// meets it says so (each save it blocks says so again).
void FinishPendingRenamesBeforeReading(const std::filesystem::path& folder);
// What the user is told of a list FinishPendingRenames could not finish: where it is
// and what to do about it.
std::string PendingRenamesRefusal(const std::filesystem::path& folder);

}  // namespace storage
