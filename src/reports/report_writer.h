#pragma once
// Writing a report file into the run folder, its copy named after the run, and the
// hand-off that opens it or turns it into a workbook.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "reports/group_statistics.h"
#include "reports/report_tables.h"

namespace reports {

// File type of the report window: 0 "[.csv]", 1 "Text [.txt]", 2 "Excel [.xlsx]".
enum class ReportType : int { kCsv = 0, kText = 1, kXlsx = 2 };

// The report window's choices, as the report reads them.
struct ReportChoices {
  std::string input_folder;  // the run folder, full path
  std::string bin_text;  // report bin in minutes as typed; the driver writes back the clamped value
  std::string basal_text;  // basal acquisition: "-" or empty for none, else "yyyymmdd_hhmm..."
  OutputOption option = OutputOption::kRows;
  ReportType report_type = ReportType::kCsv;
  std::string separator = ",";
  bool std_error = true;   // "Std Error"
  bool std_dev = false;    // "Std Dev"
  bool well_count = true;  // "N"
  bool autoreport = false;
  char decimal_symbol = 0;  // of "0.0" cells; 0: the user's locale's
};

// Creates folder/report<ext> empty, or the first of report_1<ext>, report_2<ext>, ...
// that can be created; returns its base name ("report", "report_1", ...), nullopt when
// none of the first kMaxReportNames can be made.
inline constexpr int kMaxReportNames = 1000;
std::optional<std::string> CreateReportFile(const std::string& folder,
                                            const std::string& extension);

// The name of the report's copy: the run name with blanks made "_" and anything that
// could leave the folder ("/", "\", "..") removed.
std::string ReportCopyName(const std::string& run_name);

// Writes the report of the tables (L the run's end minute, B the bin), makes the named
// copy, then, unless `choices.autoreport`, opens it or makes the workbook. Returns the
// report file's path, or nullopt when it could not be written.
std::optional<std::string> WriteReport(int32_t L, int32_t B, bool basal,
                                       const ReportChoices& choices,
                                       const std::string& setting_text, const RunPlate& plate,
                                       const GroupStatistics& stats);

// The workbook conversion (CSV path, XLSX path, separator): the spreadsheet export,
// unless a test installs another; an empty function puts the export back.
using WorkbookConverter = std::function<void(const std::string& csv, const std::string& xlsx,
                                             const std::string& separator)>;
void SetWorkbookConverter(WorkbookConverter converter);

// The DATE: text of the header for a wall time ("dd/mm/yyyy hh:mm:ss").
std::string ReportDateText(int year, int month, int day, int hour, int minute, int second);

}  // namespace reports
