#pragma once
// The group editor of a recorded run: the setup window's group model working on the
// loaded run's own tables (its plate, channel states, channel groups and group names),
// the plate picture the editor draws on the plot picture, and the save of the run's
// groups.dat and chgroup.dat with their backups. Nothing here reaches the open
// project or another run: the tables are the run's copy, the files its own folder's.
#include <filesystem>
#include <string>
#include <vector>

#include "offline/loaded_run.h"
#include "offline/offline_plots.h"
#include "platform/clock.h"
#include "setup/group_model.h"
#include "storage/file_set_rewrite.h"
#include "ui/draw_plan.h"

namespace offline {

// The group model over the run's tables; valid while `run` is neither moved nor replaced.
setup::GroupModel RunGroupModel(LoadedRun& run);

// The plate in hundredths of its layout units, from (100 x column offset - 50,
// 100 x row offset - 50) to (2450, 1650): red well cells of the whole part of 100 x
// pitch, the instrument's 24 x 16 beams as small circles (yellow when disabled or on
// no well, blue otherwise), "G" & group on grouped wells, column numbers along the
// top and row letters at the left.
PlotPicture PlateEditorPicture(const LoadedRun& run);
// The outline of the cells a pointer selects, on top of the picture.
ui::DrawPlan SelectionOutline(const LoadedRun& run, const setup::CellRect& rect);

// The labels of the wells whose beam-0 channel belongs to `group` ("A1", "B1", ...);
// none for a group outside 0..383.
std::vector<std::string> GroupWellLabels(const setup::GroupModel& model, int group);

// The time stamp of the stamped backups, "yyyymmddhhmm".
std::string GroupBackupStamp(const platform::WallTime& now);

// Saves the run's groups: chgroup.dat copied to chgroup.bak and to
// "chgroup<stamp>.bak", groups.dat to groups.bak and "groups<stamp>.bak" (a file that
// cannot be read, such as a missing one, gets no copies), then groups.dat and
// chgroup.dat written anew from the tables (385 CR LF lines each, -1 for a free
// channel), the copies and the files as one set (storage::SaveGroupFiles): a save that
// cannot be made leaves every file as it was. kUnchanged also when the folder is gone.
// `note`: what the user is told after the save's own headline (storage::SetCommitNote).
storage::SetCommit SaveRunGroupFiles(const std::filesystem::path& run_folder, const LoadedRun& run,
                                     const storage::CommitStep& step = {},
                                     std::string* note = nullptr);

}  // namespace offline
