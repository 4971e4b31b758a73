#pragma once
// The report of one recorded run, from its folder to the report file: the
// computation behind the report window's "Generate..." button. The window fills a
// ReportChoices from its controls, calls Generate and shows the clamped bin back.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "reports/report_tables.h"
#include "reports/report_writer.h"

namespace reports {

enum class ReportStatus {
  kWritten,
  kNoCountsFile,      // "Activity file not Found"
  kResamplingError,   // "Resampling ERROR"
  kReportError,       // "Report Error"
  kLoadError,         // counts.bin or the plate could not be read; its own message was shown
  kCalculationError,  // the statistics failed; their own message was shown
  kCancelled,         // the user declined the basal question
};

// What to do with a grouped channel whose basal activity is zero.
enum class ZeroBasalRule : int { kMaxActivity = 0, kPlateAverage = 1, kDiscard = 2 };

class ReportEngine {
 public:
  // Runs the whole report; every user message goes through platform::GetDialogs().
  // `choices.bin_text` is replaced by the bin actually used once it is known.
  ReportStatus Generate(ReportChoices& choices);
  // The same for records already loaded into `loaded` (records 0..N, emptied on
  // return) in bins of B minutes, with `plate` and SettingText in place: the report of
  // a re-analysis, made by an engine of its own.
  ReportStatus Generate(CountsRecords& loaded, int32_t N, int32_t B, ReportChoices& choices);

  // A SETTING text prepared by a re-analysis; it serves the next report only.
  void OverrideSetting(std::string text) {
    SettingText = std::move(text);
    SettingOverride = true;
  }

  // The window-level tables, kept after a report for the window and its other tools.
  RunPlate plate;
  BinRecords records;        // RecordTime, RecordCounts, RecordTemperature per report bin
  BinRecords basal_records;  // BasalRecordTime, ... per report bin
  GroupStatistics stats;
  std::string SettingText;
  bool SettingOverride = false;
  int32_t BasalMinutes = 0;
  bool BasalApplied = false;
  std::string last_report_path;

 private:
  template <typename Report>
  ReportStatus Shown(Report report);
  ReportStatus Run(ReportChoices& choices);
  // Rebins the loaded records (emptying `loaded`) and reports them.
  template <typename Loaded>
  ReportStatus ReportRecords(Loaded& loaded, int32_t N, int32_t B, ReportChoices& choices);
  ReportStatus NormaliseToBasal(const std::string& folder, int32_t B, int32_t N,
                                const std::string& basal_text);
  int32_t AskBasalMinutes(int32_t B, int32_t L);
  ZeroBasalRule AskZeroBasalRule();

};

// The message a status shows ("" when none is due).
const char* ReportStatusMessage(ReportStatus status);

// A text that is a decimal number and nothing else (blanks around it allowed, "." as
// the decimal point whatever the locale); false otherwise.
bool ParseNumberText(const std::string& text, double& value);

// The run's groups and plate into `plate`; false after a message ("Report Error", or
// the missing layout's own).
bool LoadRunPlate(const std::filesystem::path& run_folder, RunPlate& plate);

// The bin text as a 16-bit whole number (fractions round half to even); false for a
// text that is not a number or does not fit.
bool ParseBinText(const std::string& text, int32_t& bin);

// The message of what the report of records 0..N ending at minute T, in bins of B minutes
// under `option`, refuses whatever their counts; "" when nothing. A caller about to
// rewrite the run's files asks first.
std::string ReportRefusal(int32_t T, int32_t N, int32_t B, OutputOption option,
                          const std::filesystem::path& run_folder);

// The bin the report uses for a run of D minutes: at least 1; a bin longer than the
// run becomes the run's length, rounded down to a multiple of 15 above 30 minutes.
int32_t ClampBin(int32_t bin, int32_t D);

}  // namespace reports
