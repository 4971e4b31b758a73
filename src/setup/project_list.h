#pragma once
// Project numbering and the project list of the setup window, without a window.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "setup/setup_controller.h"

namespace setup {

// The number a new project takes after `last_project`: the next one, or 1 again
// after 32000 (and for a last number below 1).
int16_t NextProjectNumber(int last_project);

// "12_Larvae": the project caption of the setup window.
std::string ProjectCaption(int number, const std::string& name);

// The question asked when the new project's folder exists; the folder name runs
// straight into "already".
std::string OverwriteQuestion(const std::string& folder_name);

// The text of a project list entry from its folder name and its title
// ("<Project> p00012: name"): the folder, "_" and what follows the title's first
// colon and the blank after it (the whole title when it has no colon).
std::string ProjectEntryText(const std::string& folder_name, const std::string& title);

// The projects of the program folder, by number, each with its entry text.
std::vector<ProjectEntry> ListProjectEntries(const std::filesystem::path& program_folder);

}  // namespace setup
