#pragma once
// The one scan of project and run folders: the setup window's project list, the
// offline browser's tree and every path built from a project number use it.
//
// Project n (1..32000) is the folder "p" + n in five digits directly inside the
// program folder; project 0 is the program folder itself. A run folder's name is a
// "yyyymmdd_hhmm" stamp, possibly followed by more characters ("_s2", an archive
// mark), and holds no ".".
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace storage {

// "p" and the number in five digits ("p00012").
std::string ProjectFolderName(int number);

// The folder of project `number` inside `program_folder`; the program folder itself
// for 0 and below.
std::filesystem::path ProjectFolderPath(const std::filesystem::path& program_folder, int number);

// The project number of a folder name "p" + five digits, or -1 for any other name.
int ParseProjectFolderName(const std::string& name);

struct ProjectFolder {
  int16_t number = 0;
  std::string name;  // "p00012"
};

// The projects of `program_folder`: folders (not files, not links to elsewhere)
// named "p" + five digits that hold a setup.dat, sorted by number. Folder listings
// come in no particular order on Linux, so the order never depends on them.
std::vector<ProjectFolder> ListProjectFolders(const std::filesystem::path& program_folder);

// True for a run-folder name: eight characters, "_", four characters, then anything
// without a ".".
bool IsRunFolderName(const std::string& name);

// The moment a run folder's name stamps ("yyyymmdd_hhmm", more characters may follow);
// nullopt for a name that does not start with a real date and time.
std::optional<platform::WallTime> RunFolderStart(const std::string& name);

// The run folders of a project folder (folders whose names pass IsRunFolderName),
// sorted by name, oldest stamp first. Callers filter further (counts.bin, archives).
std::vector<std::string> ListRunFolders(const std::filesystem::path& project_folder);

// Removes a run folder that holds nothing but what a run start copies into it before
// the run records anything (setup.dat, status.dat, threshld.dat, groups.dat,
// chgroup.dat, subproj.dat and the .bak copies of setup.dat and subproj.dat): a start
// that failed before its first record. True when the folder is gone. A folder holding
// anything else (a record, a report, a calibration, a file left half written, a
// sub-folder), or that cannot be looked into, is a run's and stays as it is.
bool RemoveUnrecordedRunFolder(const std::filesystem::path& run_folder);

// Removes what killed rewrites left behind in the program folder, its projects'
// folders and their run folders (the start-up does it once); the number removed. The
// renames a killed set rewrite left pending are made first: their temporaries are the
// new files, not leftovers.
int RemoveStaleTemporaries(const std::filesystem::path& program_folder);

}  // namespace storage
