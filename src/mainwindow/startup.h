#pragma once
// The decisions of program start-up that need no window: the command line, the
// open project's folder, the texts the start-up shows. Kept apart so they are
// tested without a screen.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace mainwindow {

// Only "/run", "/RUN" and "/Run" (blanks around them allowed) start an unattended run.
bool IsAutoRunCommandLine(std::string_view command_line);

struct ProjectChoice {
  std::filesystem::path path;  // the open project's folder, no trailing separator
  int16_t number = 0;          // 0: the Default project in the program folder
};
// A number below 1, or one whose folder is missing, opens the Default project.
ProjectChoice ChooseProject(const std::filesystem::path& program_folder, int project_number);

// The organism text start-up puts into the organism box for a project's code;
// nothing for a code it does not know.
std::optional<std::string> OrganismTextForCode(int code);

// "Update values to project 12_Larvae before Exit?"
std::string ExitQuestion(int project_number, const std::string& project_name);

// The project caption of the main window: number first, "5_Larvae".
std::string ProjectCaption(int project_number, const std::string& project_name);

// "status: Connected in COM" and the port, no blank.
std::string ConnectedStatusText(int serial_com);

// The start window's status while no instrument is connected.
inline constexpr std::string_view kNotConnectedStatus = "status = not connected yet";

// The technical menu's password, compared exactly.
inline constexpr std::string_view kTechnicalPassword = "Fenix8306";

inline constexpr std::string_view kVersionBanner = "Quenlar Activity Monitor  v1.0";

}  // namespace mainwindow
