#pragma once
// Rebinning of a run's counts records into report bins of B minutes.
#include <cstdint>

#include "reports/report_tables.h"

namespace reports {

// Turns records 0..N of `in` into report bins of `B` minutes in `out` (replaced whole).
// T is the run's end minute (the largest record time); on return it is the end of the
// last bin kept under the trailing partial-bin rule. Returns the index of the last
// report bin, or -1 when nothing is left to report (a run covering less than three
// quarters of one bin, an empty run, B below 1, more than kMaxReportBins bins, bins
// ending past the 32-bit minute range).
//
// Without a recording gap each record j is taken to cover [j r, (j + 1) r) with
// r = T / (N + 1), and its counts go to the bins it overlaps in proportion to the
// overlap: every count lands somewhere and the bins do not drift over a long run.
// After a gap each record goes whole to the bin its time ends in.
// Report bins one rebinning may make: a run of 69 days in 1-minute bins. Beyond it a
// damaged counts.bin (minutes in the millions) would ask for gigabytes.
inline constexpr int32_t kMaxReportBins = 100000;
// Records are bins of seconds; with pauses that keep the clock running they still
// average far below an hour each. A file whose last minute lies beyond an hour per
// record is damaged, and would otherwise ask for a report of millions of bins.
inline constexpr int64_t kMaxMinutesPerRecord = 60;

int32_t ResampleCounts(int32_t& T, int32_t N, int32_t B, const CountsRecords& in, BinRecords& out);
// ResampleCounts' result and T for records 0..N ending at minute T, read from these three
// alone: whether a run will be refused is known before anything is done with it.
int32_t LastReportBin(int32_t& T, int32_t N, int32_t B);
// The same from the records as stored in the file.
int32_t ResampleCounts(int32_t& T, int32_t N, int32_t B, const storage::StoredCountsRecords& in,
                       BinRecords& out);

// Whether the record times show an interrupted recording: a step more than twice the
// first interval, the first interval being taken as at least one minute.
bool HasRecordingGap(const std::vector<int32_t>& times, int32_t N);

}  // namespace reports
