#pragma once
// Per-bin statistics of a rebinned run: temperature, channel and well activity, the
// mean and sample standard deviation of each group's wells, and for the body-bends
// layout the peak-interval histograms read from the run's histo files.
#include <cstdint>
#include <filesystem>

#include "reports/report_tables.h"

namespace reports {

enum class OutputOption : int {
  kRows = 0,
  kList = 1,
  kWellArray = 2,
  kChannelArray = 3,
  kHistogram = 4,  // "Histogram Body_bends (experimental)"
};

enum class StatisticsStatus {
  kOk,
  kNoHistogramFiles,  // "Error getting Histogram.bin data"
  kTooLarge,          // "Report Calculation Error": the histogram tables would not fit
};

// Histogram slots the body-bends layout accepts: three tables of slots x 385 x 51
// 32-bit values, about 700 MB at this limit (a week in 5-minute bins needs 2,018).
inline constexpr int32_t kMaxHistogramSlots = 3000;

// Fills `stats` from bins 0..N of `bins` (entry j ends at minute (j + 1) x B; T is the
// run's end minute). Under the histogram option the histo files of `run_folder` are
// read record by record; the activity tables are then left as they were, and the
// other options leave the histogram tables as they were.
StatisticsStatus BuildGroupStatistics(int32_t T, int32_t N, int32_t B, OutputOption option,
                                      const std::filesystem::path& run_folder,
                                      const BinRecords& bins, const RunPlate& plate,
                                      GroupStatistics& stats);

// What BuildGroupStatistics(T, ..., B, kHistogram, run_folder, ...) refuses whatever the
// bins hold: kOk when nothing.
StatisticsStatus HistogramRefusal(int32_t T, int32_t B, const std::filesystem::path& run_folder);

// The statistics' message for a status ("" for kOk).
const char* StatisticsMessage(StatisticsStatus status);

}  // namespace reports
