#include "storage/file_set_rewrite.h"

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

bool IsRegularFile(const fs::path& file) {
  std::error_code ec;
  return fs::symlink_status(file, ec).type() == fs::file_type::regular;
}

// A list FinishPendingRenames left in place, not a folder it could not look into.
bool PendingListLeft(const fs::path& folder) {
  std::error_code ec;
  const fs::file_type type = fs::symlink_status(folder / kPendingRenamesName, ec).type();
  return type != fs::file_type::not_found && type != fs::file_type::none;
}

// Only renames of our own temporaries onto files of the same folder are made.
bool OwnRename(const Rename& r) {
  return PlainName(r.name) && PlainName(r.temporary) && platform::IsTemporaryName(r.temporary) &&
         r.temporary.rfind(r.name + ".", 0) == 0;
}

}  // namespace

platform::AtomicFileWriter& FileSetRewrite::File(const std::string& name) {
  files_.push_back({name, std::make_unique<platform::AtomicFileWriter>(folder_ / name)});
  return *files_.back().writer;
}

bool FileSetRewrite::Prepare() {
  for (Entry& e : files_)
    if (e.writer->Prepare() != 0) return false;
  return true;
}

SetCommit FileSetRewrite::Commit(const CommitStep& step) {
  const auto at = [&] {
    if (step) step();
  };
  renamed_ = 0;
  // A list left by an earlier kill is finished first, never overwritten.
  if (!FinishPendingRenames(folder_))
    return PendingListLeft(folder_) ? SetCommit::kPendingList : SetCommit::kUnchanged;
  if (!Prepare()) return SetCommit::kUnchanged;
  at();
  SettingsWriter list;
  for (const Entry& e : files_)
    list.Str(fs::path(e.writer->temporary()).filename().string()).Str(e.name).EndLine();
  const fs::path list_file = folder_ / kPendingRenamesName;
  if (!WriteFileAtomic(list_file, list.Bytes())) return SetCommit::kUnchanged;
  std::error_code ec;
  for (size_t i = 0; i < files_.size(); ++i) {
    at();
    if (files_[i].writer->Commit() != 0) {
      // The files not renamed are dropped with their writers: the list must go first.
      fs::remove(list_file, ec);
      return i == 0 ? SetCommit::kUnchanged : SetCommit::kPartlyRenamed;
    }
    renamed_ = i + 1;
  }
  at();
  fs::remove(list_file, ec);
  return SetCommit::kDone;
}

bool FinishPendingRenames(const fs::path& folder) {
  const fs::path list_file = folder / kPendingRenamesName;
  std::error_code ec;
  if (fs::symlink_status(list_file, ec).type() == fs::file_type::not_found) return true;
  if (!IsRegularFile(list_file)) return false;
  std::vector<Rename> renames;
  try {
    auto list = SettingsReader::Open(list_file);
    if (!list) return false;
    while (!list->Eof()) {
      Rename r;
      r.temporary = list->ReadString();
      r.name = list->ReadString();
      if (!OwnRename(r)) return false;
      renames.push_back(std::move(r));
    }
  } catch (const FormatError&) {
    return false;
  }
  // Renames are made in order: those done are a leading run of the list, and every
  // later temporary is still there. Anything else is not what a kill leaves, and
  // finishing it could mix new files with old ones.
  size_t first = 0;
  while (first < renames.size() && !IsRegularFile(folder / renames[first].temporary)) ++first;
  for (size_t i = first; i < renames.size(); ++i)
    if (!IsRegularFile(folder / renames[i].temporary)) return false;
  for (size_t i = first; i < renames.size(); ++i) {
    fs::rename(folder / renames[i].temporary, folder / renames[i].name, ec);
    if (ec) return false;
  }
  if (first < renames.size() && platform::SyncFolder(folder) != 0) return false;
  fs::remove(list_file, ec);
  return !ec;
}

void FinishPendingRenamesBeforeReading(const fs::path& folder) {
  // Told once per folder: a run is read again at every plot and report, and the box
  // would come back each time. The saves it blocks say so whenever they are refused.
  static std::set<std::string> told;
  if (FinishPendingRenames(folder) || !PendingListLeft(folder)) return;
  if (told.insert((folder / kPendingRenamesName).lexically_normal().string()).second)
    platform::GetDialogs().MsgBox(PendingRenamesRefusal(folder));
}

std::string PendingRenamesRefusal(const fs::path& folder) {
  const std::string list = kPendingRenamesName;
  return "An earlier save could not be finished in the folder\r\n" + folder.string() +
         "\r\nIts list of renames, " + list +
         ", is damaged or names files that cannot be renamed. While it is there, Replace "
         "cannot rewrite counts.bin and setup.dat in that folder and its groups cannot be "
         "saved. Check the files it names, then delete " +
         list + " from the folder.";
}

}  // namespace storage
