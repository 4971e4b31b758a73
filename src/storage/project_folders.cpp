#include "storage/project_folders.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <system_error>

#include "platform/file_write.h"
#include "platform/numeric.h"
#include "storage/file_set_rewrite.h"

namespace storage {
namespace fs = std::filesystem;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Sub-folders of `folder` by name; a folder that cannot be read lists nothing.
std::vector<std::string> SubFolderNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (it->is_symlink(type_ec) || !it->is_directory(type_ec)) continue;
    names.push_back(it->path().filename().string());
  }
  return names;
}

}  // namespace

std::string ProjectFolderName(int number) { return "p" + platform::FormatZeroPadded(number, 5); }

fs::path ProjectFolderPath(const fs::path& program_folder, int number) {
  if (number <= 0) return program_folder;
  return program_folder / ProjectFolderName(number);
}

int ParseProjectFolderName(const std::string& name) {
  if (name.size() != 6 || name[0] != 'p') return -1;
  int number = 0;
  for (size_t i = 1; i < 6; ++i) {
    if (!IsDigit(name[i])) return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

std::vector<ProjectFolder> ListProjectFolders(const fs::path& program_folder) {
  std::vector<ProjectFolder> projects;
  for (const std::string& name : SubFolderNames(program_folder)) {
    const int number = ParseProjectFolderName(name);
    if (number < 0 || number > 32767) continue;
    std::error_code ec;
    if (!fs::is_regular_file(program_folder / name / "setup.dat", ec)) continue;
    projects.push_back({static_cast<int16_t>(number), name});
  }
  std::sort(projects.begin(), projects.end(),
            [](const ProjectFolder& a, const ProjectFolder& b) { return a.number < b.number; });
  return projects;
}

bool IsRunFolderName(const std::string& name) {
  return name.size() >= 13 && name[8] == '_' && name.find('.') == std::string::npos;
}

std::optional<platform::WallTime> RunFolderStart(const std::string& name) {
  if (!IsRunFolderName(name)) return std::nullopt;
  for (size_t i = 0; i < 13; ++i)
    if (i != 8 && !IsDigit(name[i])) return std::nullopt;
  auto number = [&](size_t at, size_t digits) { return std::stoi(name.substr(at, digits)); };
  platform::WallTime t;
  t.year = number(0, 4);
  t.month = number(4, 2);
  t.day = number(6, 2);
  t.hour = number(9, 2);
  t.minute = number(11, 2);
  const std::chrono::year_month_day date{std::chrono::year(t.year),
                                         std::chrono::month(static_cast<unsigned>(t.month)),
                                         std::chrono::day(static_cast<unsigned>(t.day))};
  if (!date.ok() || t.hour > 23 || t.minute > 59) return std::nullopt;
  return t;
}

std::vector<std::string> ListRunFolders(const fs::path& project_folder) {
  std::vector<std::string> runs;
  for (std::string& name : SubFolderNames(project_folder)) {
    if (IsRunFolderName(name)) runs.push_back(std::move(name));
  }
  std::sort(runs.begin(), runs.end());
  return runs;
}

bool RemoveUnrecordedRunFolder(const fs::path& run_folder) {
  static constexpr std::string_view kStartCopies[] = {
      "setup.dat", "setup.bak", "status.dat", "threshld.dat", "groups.dat",
      "chgroup.dat", "subproj.dat", "subproj.bak"};
  std::vector<fs::path> copies;
  std::error_code ec;
  if (fs::symlink_status(run_folder, ec).type() != fs::file_type::directory) return false;
  for (fs::directory_iterator it(run_folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code type_ec;
    const bool copy = it->symlink_status(type_ec).type() == fs::file_type::regular &&
                      std::find(std::begin(kStartCopies), std::end(kStartCopies), name) !=
                          std::end(kStartCopies);
    if (!copy) return false;
    copies.push_back(it->path());
  }
  if (ec) return false;
  for (const fs::path& file : copies)
    if (!fs::remove(file, ec) && ec) return false;
  return fs::remove(run_folder, ec) && !ec;
}

int RemoveStaleTemporaries(const fs::path& program_folder) {
  const auto tidy = [](const fs::path& folder) {
    // A list that cannot be finished keeps its temporaries: they may be all that is left
    // of the new files.
    return FinishPendingRenames(folder).state == PendingRenames::State::kNone
               ? platform::RemoveStaleTemporaries(folder)
               : 0;
  };
  int removed = tidy(program_folder);
  for (const ProjectFolder& p : ListProjectFolders(program_folder)) {
    const fs::path project = program_folder / p.name;
    removed += tidy(project);
    for (const std::string& run : ListRunFolders(project)) removed += tidy(project / run);
  }
  return removed;
}

}  // namespace storage
