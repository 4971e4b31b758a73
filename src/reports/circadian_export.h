#pragma once
// The report window's "1 file/well Report": a run's activity, binned, as plain text
// files in the run folder for day-cycle analysis in other programs. Either one file per
// well ("008_A2.txt", lines "dd/mm/yyyy hh:mm activity" stamped from the run's start as
// its folder name gives it) or one single-line file per channel ("ch000007.txt") with
// "time.txt" holding the bin ends in seconds; then the folder is opened.
#include "reports/raw_data_tools.h"

namespace reports {

// Asks its two questions, writes the files and opens the folder. The bin is clamped to
// the run first (at least 2 minutes, at most one minute past the run's end) and that
// bin serves both the binning and the stamps; request.bin_text comes back as the box
// is to show it. Wells without a beam-0 channel get no file.
ToolOutcome ExportCircadian(CircadianRequest& request);

}  // namespace reports
