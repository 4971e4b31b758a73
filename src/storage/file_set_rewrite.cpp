#include "storage/file_set_rewrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <system_error>
#include <utility>

#include "platform/dialogs.h"
#include "storage/file_io.h"
#include "storage/settings_text.h"

namespace storage {

namespace fs = std::filesystem;

namespace {

struct Rename {
  std::string temporary;
  std::string name;
};

bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

fs::file_type TypeOf(const fs::path& file) {
  std::error_code ec;
  return fs::symlink_status(file, ec).type();
}

bool IsRegularFile(const fs::path& file) { return TypeOf(file) == fs::file_type::regular; }

// A rename may replace a file, never anything else (a folder, a FIFO, a link).
bool MayRenameOnto(const fs::path& file) {
  const fs::file_type type = TypeOf(file);
  return type == fs::file_type::not_found || type == fs::file_type::regular;
}

// Only renames of our own temporaries onto files of the same folder are made.
bool OwnRename(const Rename& r) {
  return PlainName(r.name) && PlainName(r.temporary) && platform::IsTemporaryName(r.temporary) &&
         r.temporary.rfind(r.name + ".", 0) == 0;
}

// 0 when the rename was made (`sync_error` then holds the folder sync's result), else
// the rename's errno.
int RenameAndSync(const fs::path& folder, const Rename& r, int& sync_error) {
  if (std::rename((folder / r.temporary).c_str(), (folder / r.name).c_str()) != 0)
    return errno != 0 ? errno : EIO;
  sync_error = platform::SyncFolder(folder);
  return 0;
}

bool RightsError(int error) { return error == EACCES || error == EPERM || error == EROFS; }
bool SpaceError(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

// Why a folder does not let a list be finished, and what lets it: "<cause>" and
// "<advice>, then open the run again".
std::string BlockCause(int error, const std::string& in_the_way) {
  if (!in_the_way.empty()) return in_the_way + " is not a regular file";
  if (RightsError(error)) return "the folder cannot be written";
  if (SpaceError(error)) return "the disk is full";
  return std::string("the disk reported: ") + std::strerror(error != 0 ? error : EIO);
}

std::string BlockAdvice(int error, const std::string& in_the_way) {
  if (!in_the_way.empty()) return "Move " + in_the_way + " out of the folder";
  if (RightsError(error)) return "Make the folder writable";
  if (SpaceError(error)) return "Make room on the disk";
  return "Check the disk";
}

const std::string kBlocks =
    "While it is there, Replace cannot rewrite counts.bin and setup.dat in that folder and "
    "its groups cannot be saved.";
const std::string kKeepTheList = std::string(" Do not delete ") + kPendingRenamesName +
                                 ": the files it names would then stay of different versions.";

}  // namespace

platform::AtomicFileWriter& FileSetRewrite::File(const std::string& name) {
  files_.push_back({name, std::make_unique<platform::AtomicFileWriter>(folder_ / name)});
  return *files_.back().writer;
}

bool FileSetRewrite::Prepare() {
  for (Entry& e : files_) {
    if (e.writer->Prepare() != 0) {
      error_ = e.writer->error();
      return false;
    }
  }
  return true;
}

fs::path FileSetRewrite::FirstNotAFile() const {
  for (const Entry& e : files_) {
    const fs::path target = folder_ / e.name;
    if (!MayRenameOnto(target)) return target;
    const std::string& temporary = e.writer->temporary();
    if (!temporary.empty() && !IsRegularFile(temporary)) return temporary;
  }
  return {};
}

void FileSetRewrite::KeepTemporaries() {
  for (Entry& e : files_) e.writer->Keep();
}

SetCommit FileSetRewrite::Commit(const CommitStep& step) {
  const auto at = [&] {
    if (step) step();
  };
  renamed_ = 0;
  left_pending_ = false;
  error_ = 0;
  not_a_file_.clear();
  // A list left by an earlier commit is finished first, never overwritten.
  pending_ = FinishPendingRenames(folder_);
  if (pending_.state == PendingRenames::State::kUnseen) {
    error_ = EACCES;
    return SetCommit::kUnchanged;
  }
  if (pending_.state != PendingRenames::State::kNone) return SetCommit::kPendingList;
  not_a_file_ = FirstNotAFile();
  if (!not_a_file_.empty()) return SetCommit::kNotAFile;
  if (!Prepare()) return SetCommit::kUnchanged;
  at();
  std::vector<Rename> renames;
  SettingsWriter list;
  for (const Entry& e : files_) {
    renames.push_back({fs::path(e.writer->temporary()).filename().string(), e.name});
    list.Str(renames.back().temporary).Str(e.name).EndLine();
  }
  const fs::path list_file = folder_ / kPendingRenamesName;
  std::error_code ec;
  {
    platform::AtomicFileWriter writer(list_file);
    writer.Write(list.Bytes());
    if (writer.Commit() != 0) {
      error_ = writer.error();
      // A list that may not survive a power loss protects nothing: no rename is made on it.
      if (writer.in_place()) fs::remove(list_file, ec);
      return SetCommit::kUnchanged;
    }
  }
  int sync_error = 0;
  for (size_t i = 0; i < files_.size(); ++i) {
    at();
    if (i == 0) {
      // Checked again at the last moment: a name taken meanwhile by something else is
      // not replaced, and no rename is counted as made for what is not a file.
      not_a_file_ = FirstNotAFile();
      if (!not_a_file_.empty()) {
        fs::remove(list_file, ec);
        return SetCommit::kNotAFile;
      }
    }
    if (const int err = RenameAndSync(folder_, renames[i], sync_error); err != 0) {
      error_ = err;
      // With its temporary still there, the rest can be finished by the next read, as
      // after a kill. Otherwise nothing can finish it: the list goes, and the caller
      // puts back what it can.
      if (IsRegularFile(folder_ / renames[i].temporary) && (i > 0 || !fs::remove(list_file, ec))) {
        KeepTemporaries();
        left_pending_ = true;
        return SetCommit::kPartlyRenamed;
      }
      fs::remove(list_file, ec);
      return i == 0 ? SetCommit::kUnchanged : SetCommit::kPartlyRenamed;
    }
    files_[i].writer->Keep();
    renamed_ = i + 1;
  }
  at();
  // The list goes only once a sync after the last rename has succeeded: until then a
  // power loss could undo some renames and not others.
  if (sync_error != 0) sync_error = platform::SyncFolder(folder_);
  if (sync_error != 0) {
    error_ = sync_error;
    return SetCommit::kUnsynced;
  }
  fs::remove(list_file, ec);
  return SetCommit::kDone;
}

PendingRenames FinishPendingRenames(const fs::path& folder) {
  PendingRenames found;
  const auto damaged = [&](std::string damage) {
    found.state = PendingRenames::State::kDamaged;
    found.damage = std::move(damage);
    return found;
  };
  const auto blocked = [&](int error, bool renames_left, std::string in_the_way = {}) {
    found.state = PendingRenames::State::kBlocked;
    found.error = error;
    found.renames_left = renames_left;
    found.in_the_way = std::move(in_the_way);
    return found;
  };
  const fs::path list_file = folder / kPendingRenamesName;
  const fs::file_type type = TypeOf(list_file);
  if (type == fs::file_type::not_found) return found;
  if (type == fs::file_type::none) {
    // The folder cannot be looked into: a list may or may not be there.
    found.state = PendingRenames::State::kUnseen;
    return found;
  }
  if (type != fs::file_type::regular) return damaged("it is not a regular file");
  const TextFile text = ReadTextFileQuietly(list_file);
  if (text.refused_size != 0)
    return damaged("it holds " + std::to_string(text.refused_size) +
                   " bytes, far more than any list of renames");
  // Unread, it may still name files to be renamed.
  if (!text.bytes) return blocked(text.error, true);
  std::vector<Rename> renames;
  try {
    SettingsReader list(DecodeText(*text.bytes));
    while (!list.Eof()) {
      Rename r;
      r.temporary = list.ReadString();
      r.name = list.ReadString();
      if (!OwnRename(r)) return damaged("it names files that are not new files of a save");
      renames.push_back(std::move(r));
    }
  } catch (const FormatError&) {
    return damaged("it cannot be read as a list of renames");
  }
  // Renames are made in order: those done are a leading run of the list, whose
  // temporaries are gone, and every later temporary is still there as the file that
  // was written. Anything else is not what a kill or a failed rename leaves, and
  // finishing it could mix new files with old ones.
  size_t first = 0;
  while (first < renames.size() &&
         TypeOf(folder / renames[first].temporary) == fs::file_type::not_found)
    ++first;
  for (size_t i = first; i < renames.size(); ++i) {
    const fs::file_type t = TypeOf(folder / renames[i].temporary);
    if (t == fs::file_type::not_found)
      return damaged("the new files it names are not as an interrupted save leaves them");
    if (t != fs::file_type::regular)
      return damaged(renames[i].temporary + " is not a regular file");
  }
  for (size_t i = first; i < renames.size(); ++i)
    if (!MayRenameOnto(folder / renames[i].name)) return blocked(0, true, renames[i].name);
  int sync_error = 0;
  for (size_t i = first; i < renames.size(); ++i)
    if (const int err = RenameAndSync(folder, renames[i], sync_error); err != 0)
      return blocked(err, true);
  // Also when no rename was left: the commit that wrote the list may not have synced its
  // last one.
  if (first == renames.size() || sync_error != 0) sync_error = platform::SyncFolder(folder);
  if (sync_error != 0) return blocked(sync_error, false);
  std::error_code ec;
  fs::remove(list_file, ec);
  if (ec) return blocked(ec.value(), false);
  return found;
}

void FinishPendingRenamesBeforeReading(const fs::path& folder) {
  // Told once per folder: a run is read again at every plot and report, and the box
  // would come back each time. The saves it blocks say so whenever they are refused.
  static std::set<std::string> told;
  const PendingRenames pending = FinishPendingRenames(folder);
  if (pending.state != PendingRenames::State::kDamaged &&
      pending.state != PendingRenames::State::kBlocked)
    return;
  if (told.insert((folder / kPendingRenamesName).lexically_normal().string()).second)
    platform::GetDialogs().MsgBox(PendingRenamesRefusal(folder, pending));
}

std::string PendingRenamesRefusal(const fs::path& folder, const PendingRenames& pending) {
  const std::string list = kPendingRenamesName;
  const std::string where = "An earlier save could not be finished in the folder\r\n" +
                            folder.string() + "\r\nIts list of renames, " + list;
  if (pending.state == PendingRenames::State::kBlocked)
    return where + ", cannot be finished: " + BlockCause(pending.error, pending.in_the_way) + ". " +
           kBlocks + " " + BlockAdvice(pending.error, pending.in_the_way) +
           ", then open the run again: the save is then finished." +
           (pending.renames_left ? kKeepTheList : "");
  return where + ", is damaged: " + pending.damage + ". Nothing was renamed from it. " + kBlocks +
         " Check the files it names, then delete " + list + " from the folder.";
}

std::string SetCommitNote(const FileSetRewrite& rewrite, SetCommit result) {
  const int error = rewrite.error();
  const std::string reason = std::strerror(error != 0 ? error : EIO);
  switch (result) {
    case SetCommit::kDone:
      return "";
    case SetCommit::kUnchanged:
      return RightsError(error) || SpaceError(error) || error == 0
                 ? ""
                 : "The disk reported: " + reason + ".";
    case SetCommit::kUnsynced:
      return "The folder could not be synced to the disk (" + reason +
             "): the files were replaced but may not be safe on the disk until the run is "
             "opened again.";
    case SetCommit::kNotAFile:
      return rewrite.not_a_file().string() + " is not a regular file.";
    case SetCommit::kPendingList:
      return PendingRenamesRefusal(rewrite.folder(), rewrite.pending());
    case SetCommit::kPartlyRenamed:
      break;
  }
  const size_t made = rewrite.renamed();
  if (rewrite.left_pending())
    return "A rename failed (" + BlockCause(error, {}) + ") after " + std::to_string(made) +
           " of the " + std::to_string(rewrite.size()) +
           " new files were put in place; the others wait beside them with their list, " +
           kPendingRenamesName + ". " + BlockAdvice(error, {}) +
           ", then open the run again: the save is then finished." + kKeepTheList;
  std::string replaced;
  for (size_t i = 0; i < made; ++i) replaced += (i == 0 ? "" : ", ") + rewrite.name(i);
  return "The new " + rewrite.name(made) + " vanished before it was put in place: " + replaced +
         (made == 1 ? " was" : " were") + " replaced, the others were not.";
}

}  // namespace storage
