#pragma once
// A run folder as the raw-data tools read it. counts.bin whole, since they need every
// record as stored: the re-analysis writes each one back, the circadian export bins them
// all (the report itself reads only up to the run's largest minute, storage's
// LoadCountsFile).
#include <cstdint>
#include <filesystem>
#include <vector>

#include "storage/run_tables.h"

namespace reports {

struct WholeRun {
  std::vector<int32_t> minutes;       // each whole record's stored minute
  std::vector<int32_t> times;         // the same with the day offset (see below)
  std::vector<int16_t> temperatures;  // element 384, temperature x 10
  storage::Table2D<int16_t> counts;   // (record, channel 0..384), when asked for
  bool partial_tail = false;          // the file ends in a partial record
  // The first record whose minute falls back by 1..1000 minutes (a damaged file), -1.
  long long first_fall = -1;

  size_t size() const { return minutes.size(); }
};

// Reads every whole record of `counts_file`. A minute more than 1000 below the previous
// record's time starts a new day (files of minutes of the day that crossed midnight):
// that record and the later ones get 1440 minutes more per day. False when the file is
// missing or cannot be read.
bool ReadWholeRun(const std::filesystem::path& counts_file, WholeRun& run, bool with_counts);

}  // namespace reports
