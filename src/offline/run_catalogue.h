#pragma once
// The browser's list of recorded projects and runs. Each line is formatted from the
// folders it stands for, and those folders are kept beside the text, so choosing a
// line never depends on parsing it back; the parse exists for the line layout itself,
// which users and the run-management commands rely on:
//
//   project line  "+ " D TAB F "_" N        D the date of the project's first run
//                                            folder "yyyy.mmdd" (eight blanks without
//                                            one), F the folder "p00007", N its title
//   run line      "  > " D TAB " ACQ" hh ":" mm " " Q name Q [TAB TAB tags]
//                                            D with the station suffix ("_s2") when the
//                                            folder has one; tags only where the
//                                            project keeps a tags_id.dat
//   folder line   "<run folder> <name>"      the runs of one folder listed alone
//
// Projects are "p" and five digits holding a setup.dat; runs are folders
// "yyyymmdd_hhmm..." without "." holding counts.bin, archived ones ("removed" from the
// 12th character on) left out of the tree but still searched.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace offline {

enum class LineKind { kProject, kRun, kFolderRun };

struct ListLine {
  LineKind kind = LineKind::kProject;
  std::string text;
  std::string project;           // the project folder's name, "p00007"
  std::string run;               // the run folder's name (run and folder lines)
  std::filesystem::path folder;  // the project folder, or the run folder
};

// ---- Line layout ----
// "2024.0315", with the last three characters of the folder name when they hold "_s".
std::string RunDateText(const std::string& run_folder);
// "09:30".
std::string RunTimeText(const std::string& run_folder);
// A project title as the list shows it: the text from the second character after its
// first colon ("<Project> p00007: Dose" gives "Dose"), or the whole title.
std::string TitleAfterColon(const std::string& title);
std::string ProjectLineText(const std::string& first_run, const std::string& project,
                            const std::string& title);
std::string RunLineText(const std::string& run_folder, const std::string& name, bool has_tag_file,
                        const std::string& tags);
// The run folder a run line names: year after the first ">", month and day after the
// first ".", hour after the first "ACQ", minute after the first ":", and "_s1".."_s4"
// when it follows the date. Empty when a marker is missing.
std::string ParseRunLine(const std::string& line);
// The six characters after a project line's first TAB; empty without a TAB.
std::string ParseProjectLine(const std::string& line);
// "p00007_Dose response": the project line from its folder name on, for any project
// folder (also one outside the program folder).
std::string ProjectText(const std::filesystem::path& project_folder);

// Search terms, lower case: blanks separate terms, a double-quoted stretch is one term
// with its blanks, empty terms are dropped, and terms past the tenth are ignored.
inline constexpr int kMaxSearchTerms = 10;
std::vector<std::string> SplitSearchTerms(const std::string& text);

// The runs listed under a project, in list order: run folders holding counts.bin and
// not archived, first to last for order 0, else last to first.
std::vector<std::string> ListedRuns(const std::filesystem::path& project_folder, int order);

// ---- The list ----
class RunCatalogue {
 public:
  explicit RunCatalogue(std::filesystem::path program_folder);

  const std::vector<ListLine>& Lines() const { return lines_; }

  // The projects of the program folder, as the list counts them.
  int CountProjects() const;
  // Every project line, and under each expanded project its runs; order 0 lists
  // folders in name order, any other order from last to first.
  void FillProjectList(int order);
  // The runs of one folder as folder lines (archived ones included); false, with the
  // list unchanged, when the folder holds no run folder.
  bool ListRunsOfFolder(const std::filesystem::path& folder, int order);

  // Expansion is kept by project folder name, so a project added or removed while
  // the list was not refilled shifts nothing.
  bool IsExpanded(const std::string& project) const { return expanded_.count(project) > 0; }
  void ToggleExpanded(const std::string& project);
  void CollapseAll() { expanded_.clear(); }

  // The nearest project line at or above `index`; -1 when there is none.
  int ProjectLineAbove(int index) const;

  // The lines every term matches (in any order of the terms); a project line also
  // matches a term found in one of its runs, archived runs and runs of a collapsed
  // project included.
  std::vector<int> Search(const std::vector<std::string>& terms) const;

 private:
  std::vector<std::string> RunSearchTexts(const std::filesystem::path& project_folder) const;

  std::filesystem::path program_folder_;
  std::set<std::string> expanded_;
  std::vector<ListLine> lines_;
};

}  // namespace offline
