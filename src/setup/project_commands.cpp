// Project management of the setup window: new project, save, the project list and
// opening an entry, rename. Project files are written and read by storage.
#include <filesystem>
#include <system_error>

#include "platform/dialogs.h"
#include "platform/program_folder.h"
#include "setup/project_list.h"
#include "setup/run_guard.h"
#include "setup/setup_controller.h"
#include "storage/config_file.h"
#include "storage/project_folders.h"
#include "storage/settings_text.h"
#include "storage/setup_file.h"
#include "storage/shared_state.h"

namespace setup {

namespace fs = std::filesystem;

namespace {

platform::Dialogs& Boxes() { return platform::GetDialogs(); }

// A folder of our own for the project: a real folder, made when missing. A file or
// a link in its place is not used (a link could lead out of the program folder).
bool ProjectFolderReady(const fs::path& folder, bool exists) {
  std::error_code ec;
  if (exists) return !fs::is_symlink(folder, ec) && fs::is_directory(folder, ec);
  return fs::create_directory(folder, ec) && !ec;
}

}  // namespace

bool SetupController::SaveInPlace() {
  const auto& s = storage::Shared();
  if (storage::SaveProjectSetup(s.Project_Path, s.Actual_Project_Number, -1)) return true;
  Boxes().MsgBox("Error saving the project files in " + s.Project_Path);
  return false;
}

void SetupController::SaveUnderNewNumber(const std::string& title) {
  auto& s = storage::Shared();
  const int16_t number = NextProjectNumber(s.Last_Project);
  const auto answer = Boxes().InputBoxTitled("Enter the New Project Name", title);
  // A cancelled prompt changes nothing; an empty name is a name.
  if (!answer) return;
  const std::string name = storage::CleanTypedName(*answer);

  const int16_t old_number = s.Actual_Project_Number;
  const int16_t old_last = s.Last_Project;
  const std::string old_path = s.Project_Path;
  const std::string old_name = s.Project_Name;
  const auto roll_back = [&](const std::string& message) {
    s.Actual_Project_Number = old_number;
    s.Last_Project = old_last;
    s.Project_Path = old_path;
    s.Project_Name = old_name;
    ShowProjectCaption();
    view_.Refresh();
    Boxes().MsgBox(message);
  };

  const std::string folder_name = storage::ProjectFolderName(number);
  const fs::path folder = platform::ProgramFolder() / folder_name;
  std::error_code ec;
  const bool exists = fs::exists(fs::symlink_status(folder, ec));
  if (exists && (fs::is_symlink(folder, ec) || !fs::is_directory(folder, ec))) {
    roll_back("Not possible to create the project folder " + folder.string());
    return;
  }
  s.Last_Project = number;
  // Refused: nothing is written, but the number stays taken for the next try.
  if (exists && !Boxes().AskYesNo(OverwriteQuestion(folder_name))) return;
  if (!ProjectFolderReady(folder, exists)) {
    roll_back("Not possible to create the project folder " + folder.string());
    return;
  }

  s.Project_Path = folder.string();
  s.Actual_Project_Number = number;
  s.Project_Name = name;
  ShowProjectCaption();
  view_.Refresh();
  if (!storage::SaveProjectSetup(s.Project_Path, s.Actual_Project_Number, -1)) {
    roll_back("Error saving the project files in " + folder.string());
    return;
  }
  storage::SaveConfig();
}

void SetupController::Cmdnewpj_Click() {
  ApplyPendingPlatePick();
  if (RefusedDuringRun()) return;
  if (!Boxes().AskOkCancel("Do you like to Create a New Project?")) return;
  const int16_t number = NextProjectNumber(storage::Shared().Last_Project);
  SaveUnderNewNumber("Saving <" + std::to_string(number) + "> with a new name");
}

void SetupController::Cmdsavepj_Click() {
  ApplyPendingPlatePick();
  switch (Boxes().AskYesNoCancel("Do you like to Update <" + c_.txtprj.text + "> values?")) {
    case platform::Dialogs::Answer::kYes:
      SaveInPlace();
      break;
    case platform::Dialogs::Answer::kNo:
      if (RefusedDuringRun()) return;
      SaveUnderNewNumber("Saving <" + c_.txtprj.text + "> with a new name");
      break;
    case platform::Dialogs::Answer::kCancel:
      break;
  }
}

void SetupController::cmdLoad_Click() {
  ApplyPendingPlatePick();
  if (RefusedDuringRun()) return;
  switch (Boxes().AskYesNoCancel("Do you like to save current values before new load?")) {
    case platform::Dialogs::Answer::kYes:
      // Values the user wanted kept are not left behind by a failed save.
      if (!SaveInPlace()) return;
      break;
    case platform::Dialogs::Answer::kNo:
      break;
    case platform::Dialogs::Answer::kCancel:
      return;
  }
  ListProjects();
  c_.frm_project_visible = true;
}

void SetupController::Cmd_cancel_Click() { c_.frm_project_visible = false; }

void SetupController::ListProjects() {
  c_.List_project = ListProjectEntries(platform::ProgramFolder());
  c_.List_project_index = -1;
}

void SetupController::UserSelectProject(int index) {
  if (index >= -1 && index < static_cast<int>(c_.List_project.size()))
    c_.List_project_index = index;
}

void SetupController::List_project_DblClick() {
  const int index = c_.List_project_index;
  if (index < 0 || index >= static_cast<int>(c_.List_project.size())) return;
  if (c_.List_project[static_cast<size_t>(index)].text.empty()) return;
  if (RefusedDuringRun()) return;
  // The number kept beside the entry, never read back from its text.
  const int16_t number = c_.List_project[static_cast<size_t>(index)].number;
  auto& s = storage::Shared();
  s.Project_Path = storage::ProjectFolderPath(platform::ProgramFolder(), number).string();
  s.Actual_Project_Number = number;
  storage::SaveConfig();
  storage::LoadProjectSetup(number);
  Form_Load();
}

void SetupController::txtprj_DblClick() {
  auto& s = storage::Shared();
  if (s.Actual_Project_Number <= 0) {
    Boxes().MsgBox("Not possible to rename the Default project. Save it with another Name");
    return;
  }
  const auto answer = Boxes().InputBox("Rename Project: Entre New Name");
  if (answer) {
    const std::string name = storage::CleanTypedName(*answer);
    if (!name.empty()) s.Project_Name = name;
  }
  ShowProjectCaption();
}

}  // namespace setup
