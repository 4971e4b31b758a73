// The plate-format change of the setup window: a pick in the format list arms a
// 200 ms timer, which runs the change once. The change is all or nothing: the new
// layout is read first, and only a layout that loads clears the groups and replaces
// the format and layout.
#include <algorithm>

#include "platform/dialogs.h"
#include "setup/plate_choice.h"
#include "setup/run_guard.h"
#include "setup/setup_controller.h"
#include "storage/file_io.h"
#include "storage/plate_layout.h"
#include "storage/shared_state.h"

namespace setup {

void SetupController::Combowell_Click(int index) {
  ListBox& box = c_.Combowell;
  if (index < 0 || index >= static_cast<int>(box.items.size())) return;
  box.index = index;
  box.text = box.items[static_cast<size_t>(index)];
  format_typed_ = false;
  // The code is taken at the pick: whatever the box shows when the timer fires.
  picked_format_ = box.text;
  view_.ArmPlateTimer();
}

void SetupController::TypedFormatDone() {
  if (!format_typed_) return;
  format_typed_ = false;
  const auto& items = c_.Combowell.items;
  const auto it = std::find(items.begin(), items.end(), c_.Combowell.text);
  if (it != items.end()) {
    Combowell_Click(static_cast<int>(it - items.begin()));
    return;
  }
  // A format the list does not offer would show under a plate it never loaded; a pick
  // still waiting is overruled by what was typed after it.
  picked_format_.reset();
  view_.DisarmPlateTimer();
  ShowPlateFormat();
}

void SetupController::Timer1_Timer() {
  // Disarmed before anything is asked, so an open question starts no second change.
  view_.DisarmPlateTimer();
  if (!picked_format_) return;
  const std::string code = *picked_format_;
  picked_format_.reset();
  ChangePlateFormat(code);
}

void SetupController::ApplyPendingPlatePick() {
  for (List id : {List::Combo_aqmode, List::Combosavecount, List::Combosavereal})
    TypedTextDone(id);
  TypedFormatDone();
  if (picked_format_) Timer1_Timer();
}

void SetupController::ChangePlateFormat(const std::string& code) {
  auto& dialogs = platform::GetDialogs();
  const auto& offered = c_.Combowell.items;
  if (RefusedDuringRun()) {
    ShowPlateFormat();
    view_.Refresh();
    return;
  }
  const auto path = storage::PlateLayoutPath(code);
  if (std::find(offered.begin(), offered.end(), code) == offered.end() || !path ||
      !storage::FileExists(*path)) {
    dialogs.MsgBox("Selection Error");
    return;
  }
  if (!dialogs.AskYesNo("Load New Plate configuration?")) {
    ShowPlateFormat();
    view_.Refresh();
    return;
  }
  std::string error;
  const auto layout = storage::ReadPlateLayout(code, &error);
  if (!layout) {
    ShowPlateFormat();
    view_.Refresh();
    dialogs.MsgBox("Plate configuration not loaded, nothing changed: " + error);
    return;
  }
  view_.ClearAllGroups();
  if (const auto description = PlateDescription(code)) dialogs.MsgBox(*description);
  storage::Shared().Plate_format = code;
  storage::ApplyPlateLayout(*layout);
  Form_Load();
}

}  // namespace setup
