#pragma once
// What the browser list's pop-up menu does to recorded projects and runs on disk: the
// kinetic tags of a project's tags_id.dat, renaming, archiving a run folder, and what
// the report hand-off needs of a run. Every write stays inside the folder it is given
// (a list line's own run or project folder); nothing here looks at the open project.
//
// tags_id.dat (one per project folder, plain CR LF lines, no header, at most 1000):
//   "<run folder>[ <tag>]..."   tags "[K1]".."[K4]", each after one blank, in the
//                               order they were given; a cleared run keeps a bare line.
// The key of a line is its text before the first blank; a line without a blank, or
// whose first character is one, is its own key. Keys are compared whole, so
// "20240315_0930" never matches the line of "20240315_0930_s2". A run folder whose
// name holds a blank or a line break can have no line of its own: it is never tagged.
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace offline {

// ---- Tags ----
inline constexpr const char* kTagFileName = "tags_id.dat";
inline constexpr size_t kMaxTagLines = 1000;

// "[K1]".."[K4]" for entries 1..4; "" (clear) for anything else.
std::string KineticTag(int index);

struct TagEdit {
  enum class Status { kUnchanged, kChanged, kTooMany, kNoKey } status = Status::kUnchanged;
  std::vector<std::string> lines;
};
// The lines of tags_id.dat after tagging `run_folder` with `tag`: every line with
// that key gets " " & tag unless its tags already hold it, or, with an empty tag, is
// cut back to its key; a run without a line gets "<run folder> <tag>" at the end
// (an empty tag adds nothing). A found key counts as a change even when the line
// stays as it was. More than 1000 lines, before or after: kTooMany; a run folder name
// that cannot be a key: kNoKey; lines unchanged either way.
TagEdit AddTag(std::vector<std::string> lines, const std::string& run_folder,
               const std::string& tag);

enum class TagFileResult { kUnchanged, kWritten, kTooMany, kNoKey, kFailed };
// AddTag on project_folder/tags_id.dat, rewritten whole when changed. A missing file
// reads as no lines, so clearing a run never creates one.
TagFileResult TagRun(const std::filesystem::path& project_folder, const std::string& run_folder,
                     const std::string& tag);

// The runs of the project carrying `tag`, blank-separated in file order, without the
// run folder names whose folder is gone (archived runs keep their lines). Ids that
// are no run folder name are kept, so the kinetics can say they were not found.
std::string LiveTaggedRuns(const std::filesystem::path& project_folder, const std::string& tag);

// ---- Renaming ----
enum class RenameResult { kRenamed, kUnchanged, kFailed };
// A typed name without double quotes and control characters; empty (Cancel, or
// nothing left) changes nothing.
// The run's name, the first field of subproj.dat (comments kept); a run without
// subproj.dat gets one with the name and no comments.
RenameResult RenameRun(const std::filesystem::path& run_folder, const std::string& typed);
// The project's name in setup.dat (after its backup to setup.bak).
RenameResult RenameProjectFolder(const std::filesystem::path& project_folder,
                                 const std::string& typed);

// ---- Archiving ----
// The run folder's name, "removed" and the local time "yyyymmddhhss": the year,
// month, day, hour and second, without the minutes.
std::string ArchivedName(const std::string& run_folder, const platform::WallTime& now);

// True for the folder of the run being recorded (running or paused).
bool IsRunBeingRecorded(const std::filesystem::path& run_folder);

enum class ArchiveResult { kArchived, kRunning, kFailed };
// Renames the run folder to its archived name in the same project folder; nothing is
// deleted. The folder of the run being recorded (running or paused) is refused, and so
// is a name already taken or a folder that is gone.
ArchiveResult ArchiveRun(const std::filesystem::path& run_folder, const platform::WallTime& now);

// ---- The report hand-off ----
// The basal choices of the report window: "-", then the stamp "yyyymmdd_hhmm" (no
// station suffix) of every run listed under the project, in list order.
std::vector<std::string> BasalChoices(const std::filesystem::path& project_folder, int order);

}  // namespace offline
