#include "setup/project_list.h"

#include "storage/project_folders.h"
#include "storage/setup_file.h"

namespace setup {

int16_t NextProjectNumber(int last_project) {
  if (last_project < 1 || last_project >= 32000) return 1;
  return static_cast<int16_t>(last_project + 1);
}

std::string ProjectCaption(int number, const std::string& name) {
  return std::to_string(number) + "_" + name;
}

std::string OverwriteQuestion(const std::string& folder_name) {
  return "The project number to generate (" + folder_name +
         "already exists. do you like to overwrite?";
}

std::string ProjectEntryText(const std::string& folder_name, const std::string& title) {
  std::string name = title;
  if (const size_t colon = title.find(':'); colon != std::string::npos) {
    name = title.substr(colon + 1);
    if (!name.empty() && name.front() == ' ') name.erase(0, 1);
  }
  return folder_name + "_" + name;
}

std::vector<ProjectEntry> ListProjectEntries(const std::filesystem::path& program_folder) {
  std::vector<ProjectEntry> entries;
  for (const storage::ProjectFolder& p : storage::ListProjectFolders(program_folder)) {
    const std::string title = storage::GetProjectTitle((program_folder / p.name).string());
    entries.push_back({p.number, ProjectEntryText(p.name, title)});
  }
  return entries;
}

}  // namespace setup
