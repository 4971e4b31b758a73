#include "offline/run_catalogue.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "storage/file_io.h"
#include "storage/project_folders.h"
#include "storage/run_description.h"
#include "storage/setup_file.h"

namespace offline {
namespace fs = std::filesystem;

namespace {

constexpr const char* kCounts = "counts.bin";
constexpr const char* kTagFile = "tags_id.dat";
constexpr char kTab = '\t';

// Text from a file shown in one list line: line breaks would split the line.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool HoldsCounts(const fs::path& run_folder) { return storage::FileExists(run_folder / kCounts); }

// Archived runs carry "removed" from the 12th character of their name on.
bool IsArchived(const std::string& run_folder) {
  return run_folder.size() > 11 && run_folder.find("removed", 11) != std::string::npos;
}

// "  > 2024.0315<TAB> ACQ09:30 "name"": the part of a run line the search reads.
std::string RunLineStart(const std::string& date, const std::string& run_folder,
                         const std::string& name) {
  return "  > " + date + kTab + " ACQ" + RunTimeText(run_folder) + " \"" + OneLine(name) + "\"";
}

std::string PlainDate(const std::string& run_folder) {
  return run_folder.substr(0, 4) + "." + run_folder.substr(4, 4);
}

// Visits names first to last, or last to first for any order but 0.
template <typename Visit>
void InOrder(const std::vector<std::string>& names, int order, Visit visit) {
  if (order == 0) {
    for (const std::string& n : names) visit(n);
  } else {
    for (auto it = names.rbegin(); it != names.rend(); ++it) visit(*it);
  }
}

}  // namespace

std::string RunDateText(const std::string& run_folder) {
  if (run_folder.size() < 8) return run_folder;
  std::string date = PlainDate(run_folder);
  const std::string last = run_folder.size() >= 3 ? run_folder.substr(run_folder.size() - 3) : "";
  if (last.find("_s") != std::string::npos) date += last;
  return date;
}

std::string RunTimeText(const std::string& run_folder) {
  if (run_folder.size() < 13) return "";
  return run_folder.substr(9, 2) + ":" + run_folder.substr(11, 2);
}

std::string TitleAfterColon(const std::string& title) {
  const size_t colon = title.find(':');
  if (colon == std::string::npos) return title;
  return colon + 2 <= title.size() ? title.substr(colon + 2) : "";
}

std::string ProjectLineText(const std::string& first_run, const std::string& project,
                            const std::string& title) {
  const std::string date = first_run.empty() ? std::string(8, ' ') : PlainDate(first_run);
  return "+ " + date + kTab + project + "_" + OneLine(TitleAfterColon(title));
}

std::string RunLineText(const std::string& run_folder, const std::string& name, bool has_tag_file,
                        const std::string& tags) {
  std::string line = RunLineStart(RunDateText(run_folder), run_folder, name);
  if (has_tag_file) line += std::string(2, kTab) + OneLine(tags);
  return line;
}

std::string ParseRunLine(const std::string& line) {
  const size_t gt = line.find('>');
  const size_t dot = line.find('.');
  const size_t acq = line.find("ACQ");
  const size_t colon = line.find(':');
  if (gt == std::string::npos || dot == std::string::npos || acq == std::string::npos ||
      colon == std::string::npos)
    return "";
  const auto piece = [&](size_t from, size_t count) {
    return from < line.size() ? line.substr(from, count) : std::string();
  };
  std::string run =
      piece(gt + 2, 4) + piece(dot + 1, 4) + "_" + piece(acq + 3, 2) + piece(colon + 1, 2);
  const std::string station = piece(dot + 5, 3);
  if (station == "_s1" || station == "_s2" || station == "_s3" || station == "_s4") run += station;
  return run;
}

std::string ParseProjectLine(const std::string& line) {
  const size_t tab = line.find(kTab);
  if (tab == std::string::npos) return "";
  return line.substr(tab + 1, 6);
}

std::string ProjectText(const fs::path& project_folder) {
  return project_folder.filename().string() + "_" +
         OneLine(TitleAfterColon(storage::GetProjectTitle(project_folder.string())));
}

std::vector<std::string> SplitSearchTerms(const std::string& text) {
  std::vector<std::string> terms(1);
  bool quoted = false;
  const auto next = [&] {
    if (!terms.back().empty()) terms.emplace_back();
  };
  for (char c : text) {
    if (c == '"') {
      // An opening quote starts the phrase in the current term; the closing one ends it.
      if (quoted) next();
      quoted = !quoted;
    } else if (c == ' ' && !quoted) {
      next();
    } else {
      terms.back() += c;
    }
  }
  if (terms.back().empty()) terms.pop_back();
  if (terms.size() > kMaxSearchTerms) terms.resize(kMaxSearchTerms);
  for (std::string& t : terms) t = Lower(t);
  return terms;
}

std::vector<std::string> ListedRuns(const fs::path& project_folder, int order) {
  std::vector<std::string> listed;
  InOrder(storage::ListRunFolders(project_folder), order, [&](const std::string& run) {
    if (!IsArchived(run) && HoldsCounts(project_folder / run)) listed.push_back(run);
  });
  return listed;
}

// ---- RunCatalogue ----

RunCatalogue::RunCatalogue(fs::path program_folder) : program_folder_(std::move(program_folder)) {}

int RunCatalogue::CountProjects() const {
  return static_cast<int>(storage::ListProjectFolders(program_folder_).size());
}

void RunCatalogue::FillProjectList(int order) {
  lines_.clear();
  std::vector<std::string> names;
  for (const storage::ProjectFolder& p : storage::ListProjectFolders(program_folder_))
    names.push_back(p.name);
  InOrder(names, order, [&](const std::string& project) {
    const fs::path folder = program_folder_ / project;
    const std::vector<std::string> runs = storage::ListRunFolders(folder);
    const std::string title = storage::GetProjectTitle(folder.string());
    lines_.push_back({LineKind::kProject,
                      ProjectLineText(runs.empty() ? "" : runs.front(), project, title), project,
                      "", folder});
    if (!IsExpanded(project)) return;
    const bool has_tags = storage::FileExists(folder / kTagFile);
    for (const std::string& run : ListedRuns(folder, order)) {
      const fs::path run_folder = folder / run;
      const std::string tags = has_tags ? storage::GetTagText(folder.string(), run) : "";
      lines_.push_back(
          {LineKind::kRun,
           RunLineText(run, storage::ReadSubprojectName(run_folder.string()), has_tags, tags),
           project, run, run_folder});
    }
  });
}

bool RunCatalogue::ListRunsOfFolder(const fs::path& folder, int order) {
  const std::vector<std::string> runs = storage::ListRunFolders(folder);
  if (runs.empty()) return false;
  lines_.clear();
  const std::string project = folder.filename().string();
  InOrder(runs, order, [&](const std::string& run) {
    const fs::path run_folder = folder / run;
    if (!HoldsCounts(run_folder)) return;
    lines_.push_back({LineKind::kFolderRun,
                      run + " " + OneLine(storage::ReadSubprojectName(run_folder.string())),
                      project, run, run_folder});
  });
  return true;
}

void RunCatalogue::ToggleExpanded(const std::string& project) {
  if (!expanded_.erase(project)) expanded_.insert(project);
}

int RunCatalogue::ProjectLineAbove(int index) const {
  if (index < 0 || index >= static_cast<int>(lines_.size())) return -1;
  for (int i = index; i >= 0; --i)
    if (lines_[static_cast<size_t>(i)].kind == LineKind::kProject) return i;
  return -1;
}

std::vector<std::string> RunCatalogue::RunSearchTexts(const fs::path& project_folder) const {
  std::vector<std::string> texts;
  for (const std::string& run : storage::ListRunFolders(project_folder)) {
    const fs::path run_folder = project_folder / run;
    if (!HoldsCounts(run_folder)) continue;
    texts.push_back(
        Lower(RunLineStart(PlainDate(run), run, storage::ReadSubprojectName(run_folder.string()))));
  }
  return texts;
}

std::vector<int> RunCatalogue::Search(const std::vector<std::string>& terms) const {
  std::vector<int> found;
  if (terms.empty()) return found;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const ListLine& line = lines_[i];
    const std::string text = Lower(line.text);
    std::vector<std::string> runs;
    bool runs_read = false;
    bool all = true;
    for (const std::string& term : terms) {
      if (text.find(term) != std::string::npos) continue;
      if (line.kind != LineKind::kProject) {
        all = false;
        break;
      }
      if (!runs_read) {
        runs = RunSearchTexts(line.folder);
        runs_read = true;
      }
      if (std::none_of(runs.begin(), runs.end(),
                       [&](const std::string& r) { return r.find(term) != std::string::npos; })) {
        all = false;
        break;
      }
    }
    if (all) found.push_back(static_cast<int>(i));
  }
  return found;
}

}  // namespace offline
