#pragma once
// What the report window asks of the raw-data tools behind its "Advanced" menu: the
// re-analysis of a run's raw blocks (the "Raw data processing:" frame's RUN, and the
// automatic report's second pass) and the one-file-per-well export. The window owns
// the controls; the work lives behind RawDataTools so it is built and tested apart.
// The program's own tools are installed from the start; tests may install others.
//
// Contract:
// - A re-analysis is started on the window's thread and analyses its blocks on worker
//   threads. The window polls the job (about ten times a second) for its progress,
//   passes STOP on with Stop() and, once Analysed(), calls Finish() on its own thread:
//   only Finish writes counts.bin, setup.dat and the report. A job dropped before
//   Finish (STOP, the window unloaded) stops its workers and leaves every file as it
//   was.
// - The re-analysis works on tables of its own, never on the window's report tables.
// - Every message goes through platform::GetDialogs(); kFailed means one was shown.
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "reports/report_writer.h"

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
};

enum class ToolOutcome {
  kDone,     // the report or the export was written
  kStopped,  // STOP, or a first question answered No: nothing rewritten or reported
  kFailed,   // a message said why
};

// One re-analysis under way.
class ReanalysisJob {
 public:
  // Stops the workers and waits for them; without Finish nothing was written.
  virtual ~ReanalysisJob() = default;
  virtual size_t BlocksDone() const = 0;
  virtual size_t BlockCount() const = 0;
  // True once the workers have ended: every block analysed, stopped, or failed.
  virtual bool Analysed() const = 0;
  // STOP: each worker ends after the block it holds.
  virtual void Stop() = 0;
  // After Analysed(), on the window's thread: the rewrite ("Replace old data") and the
  // report of the new counts, or the message of a failed analysis.
  virtual ToolOutcome Finish() = 0;
};

class RawDataTools {
 public:
  virtual ~RawDataTools() = default;
  // Checks the run and the frame's values and starts the analysis; nullptr when it is
  // refused (a message said why; nothing was changed). The clamped bin goes back into
  // choices.bin_text and a rewritten lapse into request.lapse_text for the window to
  // show; the report is written with `choices`.
  virtual std::unique_ptr<ReanalysisJob> StartReanalysis(ReanalysisRequest& request,
                                                         ReportChoices& choices) = 0;
  virtual ToolOutcome ExportCircadian(CircadianRequest& request) = 0;
};

// The re-analysis label: "Block k/n".
std::string BlockStatusText(size_t done, size_t count);

// The installed tools: the program's own unless a test installed others.
RawDataTools& GetRawDataTools();
// Installs `tools` (not owned); nullptr restores the program's own.
void SetRawDataTools(RawDataTools* tools);

// True when the run has counts records and a raw block for every one of them (the
// blocks of the run's RT_Buffer, eleven to a file): only then can a re-analysis cover
// the whole run.
bool RawBlocksComplete(const std::filesystem::path& run_folder);
// "" when the run's raw block files hold blocks 0..blocks-1 of `rt_buffer` samples, else
// the message naming the first file that is missing or too short.
std::string RawBlocksProblem(const std::filesystem::path& run_folder, size_t blocks,
                             int rt_buffer);

}  // namespace reports
