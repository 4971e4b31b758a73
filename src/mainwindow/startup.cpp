#include "mainwindow/startup.h"

#include <system_error>

#include "platform/numeric.h"
#include "storage/project_folders.h"

namespace mainwindow {

bool IsAutoRunCommandLine(std::string_view command_line) {
  const auto first = command_line.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  const auto last = command_line.find_last_not_of(' ');
  const std::string_view trimmed = command_line.substr(first, last - first + 1);
  return trimmed == "/run" || trimmed == "/RUN" || trimmed == "/Run";
}

ProjectChoice ChooseProject(const std::filesystem::path& program_folder, int project_number) {
  ProjectChoice choice;
  if (project_number >= 1) {
    const auto folder = storage::ProjectFolderPath(program_folder, project_number);
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) {
      choice.path = folder;
      choice.number = static_cast<int16_t>(project_number);
      return choice;
    }
  }
  choice.path = program_folder;
  choice.number = 0;
  return choice;
}

std::optional<std::string> OrganismTextForCode(int code) {
  switch (code) {
    case 0:
      return "C elegans(>L4)";
    case 1:
      return "Zebrafish(larvae)";
    case 2:
      return "Echinococcus";
    case 3:
      return "Drosophila";
    case 7:
      return "size <100um";
    case 8:
      return "size 0.1-1mm";
    case 9:
      return "size >1mm";
    default:
      return std::nullopt;
  }
}

std::string ExitQuestion(int project_number, const std::string& project_name) {
  return "Update values to project " + std::to_string(project_number) + "_" + project_name +
         " before Exit?";
}

std::string ProjectCaption(int project_number, const std::string& project_name) {
  return std::to_string(project_number) + "_" + project_name;
}

std::string ConnectedStatusText(int serial_com) {
  return "status: Connected in COM" + std::to_string(serial_com);
}

}  // namespace mainwindow
