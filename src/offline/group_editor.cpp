#include "offline/group_editor.h"

#include <cmath>
#include <optional>
#include <system_error>

#include "platform/numeric.h"
#include "storage/channel_files.h"
#include "storage/file_io.h"

namespace offline {
namespace fs = std::filesystem;

namespace {

constexpr int32_t kBeamUnusable = Rgb(255, 255, 0);
constexpr int32_t kBeamUsable = Rgb(0, 0, 255);
constexpr int32_t kSelection = Rgb(0, 0, 0);

PlateCells EditorCells(const LoadedRun& run) {
  return {std::floor(100 * run.Run_Col_Pitch), std::floor(100 * run.Run_Col_Offset),
          std::floor(100 * run.Run_Row_Pitch), std::floor(100 * run.Run_Row_Offset)};
}

}  // namespace

setup::GroupModel RunGroupModel(LoadedRun& run) {
  return setup::GroupModel(run.Plate(), run.Run_Enabled,
                           setup::GroupTables{run.Run_Group, run.Run_Group_Name});
}

PlotPicture PlateEditorPicture(const LoadedRun& run) {
  PlotPicture pic;
  pic.scale = {100 * run.Run_Col_Offset - 50, 100 * run.Run_Row_Offset - 50, 2450, 1650};
  ui::DrawPlan& plan = pic.plan;
  plan.SetWidth(1);
  for (int ch = 0; ch < storage::kChannelCount; ++ch) {
    const auto c = static_cast<size_t>(ch);
    const bool usable = run.Run_Enabled[c] != 0 && run.Run_Channel_Well[c] >= 0;
    plan.Circle(100 * (ch / 16) + 50, 100 * (ch % 16) + 50, 5,
                usable ? kBeamUsable : kBeamUnusable);
  }
  PlateWells(run, EditorCells(run), 100 * run.Run_Row_Offset - 50, plan);
  return pic;
}

ui::DrawPlan SelectionOutline(const LoadedRun& run, const setup::CellRect& rect) {
  const PlateCells c = EditorCells(run);
  ui::DrawPlan plan;
  plan.SetWidth(2);
  plan.Outline(rect.col_first * c.px + c.ox, rect.row_first * c.py + c.oy,
               (rect.col_last + 1) * c.px + c.ox, (rect.row_last + 1) * c.py + c.oy, kSelection);
  plan.SetWidth(1);
  return plan;
}

std::vector<std::string> GroupWellLabels(const setup::GroupModel& model, int group) {
  std::vector<std::string> labels;
  for (int well : model.WellsOfGroup(group))
    labels.push_back(storage::WellLabel(well, model.Plate().rows));
  return labels;
}

std::string GroupBackupStamp(const platform::WallTime& now) {
  const auto two = [](int v) { return platform::FormatZeroPadded(v, 2); };
  return platform::FormatZeroPadded(now.year, 4) + two(now.month) + two(now.day) + two(now.hour) +
         two(now.minute);
}

storage::SetCommit SaveRunGroupFiles(const fs::path& run_folder, const LoadedRun& run,
                                     const storage::CommitStep& step, std::string* note) {
  std::error_code ec;
  if (!fs::is_directory(run_folder, ec)) return storage::SetCommit::kUnchanged;
  std::vector<storage::FileCopy> backups;
  const auto copy = [&](const std::string& name) {
    const std::optional<std::string> bytes = storage::ReadTextFile(run_folder / (name + ".dat"));
    if (!bytes) return;
    backups.push_back({name + ".bak", *bytes});
    // The time is read again for each stamped copy.
    backups.push_back({name + GroupBackupStamp(platform::Now()) + ".bak", *bytes});
  };
  copy("chgroup");
  copy("groups");
  return storage::SaveGroupFiles(run_folder.string(), run.Run_Group_Name, run.Run_Group, backups,
                                 step, note);
}

}  // namespace offline
