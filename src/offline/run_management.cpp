#include "offline/run_management.h"

#include <system_error>

#include "offline/loaded_run.h"
#include "offline/run_catalogue.h"
#include "platform/numeric.h"
#include "storage/file_io.h"
#include "storage/run_description.h"
#include "storage/settings_text.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"

namespace offline {
namespace fs = std::filesystem;

namespace {

// The key of a tags_id.dat line and where its tags start (npos: no tags).
struct TagKey {
  std::string key;
  size_t tags_from = std::string::npos;
};

TagKey KeyOf(const std::string& line) {
  const size_t blank = line.find(' ');
  if (blank == std::string::npos || blank == 0) return {line};
  return {line.substr(0, blank), blank + 1};
}

bool IsFolder(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

std::string Two(int v) { return platform::FormatZeroPadded(v, 2); }

}  // namespace

// ---- Tags ----

std::string KineticTag(int index) {
  return index >= 1 && index <= 4 ? "[K" + std::to_string(index) + "]" : "";
}

TagEdit AddTag(std::vector<std::string> lines, const std::string& run_folder,
               const std::string& tag) {
  TagEdit edit;
  // Its line would be read as another run's, and no line would ever be its own.
  if (run_folder.find_first_of(" \r\n") != std::string::npos) {
    edit.status = TagEdit::Status::kNoKey;
    edit.lines = std::move(lines);
    return edit;
  }
  if (lines.size() > kMaxTagLines) {
    edit.status = TagEdit::Status::kTooMany;
    edit.lines = std::move(lines);
    return edit;
  }
  bool found = false;
  for (std::string& line : lines) {
    const TagKey k = KeyOf(line);
    if (k.key != run_folder) continue;
    found = true;
    if (tag.empty()) {
      line = k.key;
    } else {
      // A line without a blank is searched whole.
      const size_t from = k.tags_from == std::string::npos ? 0 : k.tags_from;
      if (line.find(tag, from) == std::string::npos) line += " " + tag;
    }
  }
  if (!found && !tag.empty()) {
    if (lines.size() >= kMaxTagLines) {
      edit.status = TagEdit::Status::kTooMany;
      edit.lines = std::move(lines);
      return edit;
    }
    lines.push_back(run_folder + " " + tag);
    found = true;
  }
  edit.status = found ? TagEdit::Status::kChanged : TagEdit::Status::kUnchanged;
  edit.lines = std::move(lines);
  return edit;
}

TagFileResult TagRun(const fs::path& project_folder, const std::string& run_folder,
                     const std::string& tag) {
  const fs::path file = project_folder / kTagFileName;
  std::vector<std::string> lines;
  std::error_code ec;
  if (fs::exists(file, ec)) {
    const auto text = storage::ReadTextFile(file);
    if (!text) return TagFileResult::kFailed;
    lines = storage::SplitLines(*text);
  }
  const TagEdit edit = AddTag(std::move(lines), run_folder, tag);
  if (edit.status == TagEdit::Status::kTooMany) return TagFileResult::kTooMany;
  if (edit.status == TagEdit::Status::kNoKey) return TagFileResult::kNoKey;
  if (edit.status == TagEdit::Status::kUnchanged || edit.lines.empty())
    return TagFileResult::kUnchanged;
  std::string bytes;
  for (const std::string& line : edit.lines) bytes += line + "\r\n";
  return storage::WriteFileAtomic(file, bytes) ? TagFileResult::kWritten : TagFileResult::kFailed;
}

std::string LiveTaggedRuns(const fs::path& project_folder, const std::string& tag) {
  const std::string ids = storage::FindTagIds(project_folder.string(), tag);
  std::string live;
  size_t from = 0;
  while (from < ids.size()) {
    const size_t blank = ids.find(' ', from);
    const size_t end = blank == std::string::npos ? ids.size() : blank;
    const std::string id = ids.substr(from, end - from);
    from = end + 1;
    if (id.empty() || (FolderNameToDate(id) && !IsFolder(project_folder / id))) continue;
    if (!live.empty()) live += " ";
    live += id;
  }
  return live;
}

// ---- Renaming ----

RenameResult RenameRun(const fs::path& run_folder, const std::string& typed) {
  const std::string name = storage::CleanTypedName(typed);
  if (name.empty()) return RenameResult::kUnchanged;
  if (!IsFolder(run_folder)) return RenameResult::kFailed;
  const std::string folder = run_folder.string();
  if (!storage::FileExists(run_folder / "subproj.dat"))
    return storage::WriteSubproject(folder, name, "") ? RenameResult::kRenamed
                                                      : RenameResult::kFailed;
  return storage::RenameSubproject(folder, name).empty() ? RenameResult::kFailed
                                                         : RenameResult::kRenamed;
}

RenameResult RenameProjectFolder(const fs::path& project_folder, const std::string& typed) {
  const std::string name = storage::CleanTypedName(typed);
  if (name.empty()) return RenameResult::kUnchanged;
  if (!storage::FileExists(project_folder / "setup.dat")) return RenameResult::kFailed;
  return storage::RenameProject(project_folder.string(), name).empty() ? RenameResult::kFailed
                                                                       : RenameResult::kRenamed;
}

// ---- Archiving ----

std::string ArchivedName(const std::string& run_folder, const platform::WallTime& now) {
  return run_folder + "removed" + platform::FormatZeroPadded(now.year, 4) + Two(now.month) +
         Two(now.day) + Two(now.hour) + Two(now.second);
}

bool IsRunBeingRecorded(const fs::path& run_folder) {
  const storage::SharedState& s = storage::Shared();
  if (s.Acq_State == 0) return false;
  // A run without a known folder could be any of them.
  std::error_code ec;
  return s.Run_Folder_Path.empty() || fs::equivalent(run_folder, s.Run_Folder_Path, ec);
}

ArchiveResult ArchiveRun(const fs::path& run_folder, const platform::WallTime& now) {
  if (IsRunBeingRecorded(run_folder)) return ArchiveResult::kRunning;
  std::error_code ec;
  if (!IsFolder(run_folder)) return ArchiveResult::kFailed;
  const fs::path target =
      run_folder.parent_path() / ArchivedName(run_folder.filename().string(), now);
  // A rename onto an existing empty folder would replace it.
  if (fs::exists(target, ec) || ec) return ArchiveResult::kFailed;
  fs::rename(run_folder, target, ec);
  return ec ? ArchiveResult::kFailed : ArchiveResult::kArchived;
}

// ---- The report hand-off ----

std::vector<std::string> BasalChoices(const fs::path& project_folder, int order) {
  std::vector<std::string> choices = {"-"};
  for (const std::string& run : ListedRuns(project_folder, order))
    choices.push_back(run.substr(0, 13));
  return choices;
}

}  // namespace offline
