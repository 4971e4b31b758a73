#pragma once
// The program folder holds config.dat, the plate layout files, the test files and
// the project folders p00001...; it is the executable's folder unless QUENLAR_HOME
// names another (tests, the demo, a read-only installation).
#include <filesystem>
#include <string>

namespace platform {

// Records the running executable (from /proc/self/exe, else argv0); call once from main.
void InitProgramFolder(const char* argv0);
// The program folder, without a trailing separator.
std::filesystem::path ProgramFolder();
// The executable's full path (used to restart ourselves).
std::filesystem::path ExecutablePath();
// Overrides the folder for this process (tests); an empty path restores the default rule.
void SetProgramFolder(const std::filesystem::path& folder);

}  // namespace platform
