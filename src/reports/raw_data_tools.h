#pragma once
// What the report window asks of the raw-data tools behind its "Advanced" menu: the
// re-analysis of a run's raw blocks (the "Raw data processing:" frame's RUN, and the
// automatic report's second pass) and the one-file-per-well export. The window owns
// the controls and the report tables; the work lives behind RawDataTools so it is
// built and tested apart and installed once at start-up.
//
// Until real tools are installed the program's own say "Raw data processing is not
// available" (one OK box) and return kNotAvailable: the automatic report then keeps
// its first report and writes no marks files.
//
// Contract for an implementation:
// - Everything runs on the GUI thread. Reanalyse shows its progress with
//   progress.ShowStatus ("Block k/n") and calls progress.StopRequested() once per
//   block: that lets window events run once and is true once STOP was pressed; the
//   re-analysis then ends at once with kStopped, rewriting and reporting nothing.
// - The report of the new counts is made with `engine` (the window's tables and its
//   SettingText/SettingOverride, which a re-analysis without "Replace old data" sets
//   for the next report) and written with `choices`, the window's report choices. A
//   clamped bin is written back into choices.bin_text and a rewritten lapse into
//   request.lapse_text; the window shows both.
// - Every message goes through platform::GetDialogs(); kFailed means one was shown.
#include <filesystem>
#include <string>

#include "reports/report_engine.h"

namespace reports {

// The "Raw data processing:" frame as the window reads it.
struct ReanalysisRequest {
  std::string run_folder;     // Txt_inputfile
  int organism = 0;           // Cmb_organism index, 0..3
  int method = 1;             // Cmb_dspmethod index, 0..3
  std::string organism_text;  // the two combo texts, for the report's SETTING line
  std::string method_text;
  std::string threshold_text;  // frmtxt_threshold as shown ("." as decimal point)
  std::string lapse_text;      // frmtxt_datalapse, hours
  bool replace_data = false;   // Chk_replacedata: rewrite counts.bin and setup.dat
  bool raw_export = false;     // Chk_rawexport: append marks to the ch<n>.raw files
};

// The one-file-per-well export as the window reads it.
struct CircadianRequest {
  std::string run_folder;  // Txt_inputfile
  std::string bin_text;    // Cmb_binsize; comes back as the box is to show it
  std::string start_text;  // the offline browser's current run line, "" when none
};

enum class ToolOutcome {
  kDone,          // the report or the export was written
  kStopped,       // STOP: nothing rewritten or reported
  kFailed,        // a message said why
  kNotAvailable,  // no raw-data tools in this program
};

class ReanalysisProgress {
 public:
  virtual ~ReanalysisProgress() = default;
  // The status label ("Block 3/40", "Saving..."), repainted at once.
  virtual void ShowStatus(const std::string& text) = 0;
  // Lets pending window events run once; true once STOP was pressed.
  virtual bool StopRequested() = 0;
};

class RawDataTools {
 public:
  virtual ~RawDataTools() = default;
  virtual ToolOutcome Reanalyse(ReanalysisRequest& request, ReportEngine& engine,
                                ReportChoices& choices, ReanalysisProgress& progress) = 0;
  virtual ToolOutcome ExportCircadian(CircadianRequest& request, ReportEngine& engine) = 0;
};

inline constexpr const char* kRawProcessingUnavailable = "Raw data processing is not available";

// The installed tools; without any, the ones that say they are not available.
RawDataTools& GetRawDataTools();
// Installs `tools` (not owned); nullptr restores the program's own.
void SetRawDataTools(RawDataTools* tools);

// True when the run has counts records and a raw block for every one of them (the
// blocks of the run's RT_Buffer, eleven to a file): only then can a re-analysis cover
// the whole run.
bool RawBlocksComplete(const std::filesystem::path& run_folder);

}  // namespace reports
