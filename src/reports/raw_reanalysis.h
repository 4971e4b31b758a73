#pragma once
// The re-analysis of a recorded run's raw blocks, behind the report window's "Raw data
// processing:" RUN and the automatic report's second pass. Starting it checks the run
// and the frame's values and reads counts.bin; the blocks are then counted on worker
// threads (the block pass), and finishing it rewrites the run's counts.bin and setup.dat
// ("Replace old data") and writes the report of the new counts. Nothing is written
// before every block is analysed; a stop or a failure leaves the run folder as it was.
//
// Which records are analysed: with "Replace old data" every record of counts.bin (each
// one is written back with its stored minute and temperature); otherwise the records up
// to and including the first whose time reaches the lapse, and the report is made of
// exactly those. Every on-plate channel whose well has a beam-0 channel is analysed,
// every other channel counts 0.
#include <memory>
#include <string>

#include "reports/raw_data_tools.h"

namespace reports {

// The run needs blocks of at least this many samples (the detection analyses 500).
inline constexpr int kMinimumRtBuffer = 500;
// Lapses below this many minutes become it; the box then shows it in hours ("0.08").
inline constexpr int kMinimumLapse = 5;

// Starts a re-analysis on `threads` worker threads (0: one per core); nullptr when it is
// refused after a message.
std::unique_ptr<ReanalysisJob> StartRawReanalysis(ReanalysisRequest& request,
                                                  ReportChoices& choices, int threads = 0);

}  // namespace reports
