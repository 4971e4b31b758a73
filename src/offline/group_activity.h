#pragma once
// What the browser's plots draw, read from counts.bin (774-byte records of whole
// minutes and 385 counts, run_files.h) through the run loading the reports share:
// group means per time bin or over the whole run, channel totals over the run, and
// the group means of several tagged runs in date order (kinetics).
//
// A group's mean is the sum of its channels' counts over the bin divided by its number
// of channels, rounded half to even; a group without channels is 0; the Free slot 384
// keeps the plain sum of the Free channels. Sums are 64-bit, so no run is too long.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "storage/run_tables.h"
#include "storage/shared_state.h"

namespace offline {

inline constexpr int kGroupSlots = 385;  // groups 0..383 and the Free slot
inline constexpr int32_t kMinBin = 1;    // bin sizes in minutes
inline constexpr int32_t kMaxBin = 1440;
inline constexpr int32_t kDefaultBin = 5;
// Time bins one load may make: two weeks in 1-minute bins. A damaged counts.bin whose
// minutes run into the millions would otherwise ask for gigabytes.
inline constexpr int32_t kMaxBins = 20160;
inline constexpr int kMaxTaggedRuns = 99;

struct ActivityTables {
  // (bin or point 0..Bin_Count, group slot 0..384); row 0 is never filled.
  storage::Table2D<double> Group_Activity;
  int32_t Bin_Count = 0;
  int32_t Bin_Size_Used = 0;
  // Kinetics: the date of point k (minutes since 1970), and " run1 run2 ..." in date order.
  std::vector<int64_t> Point_Dates;
  std::string Sorted_Tag_List;
  // Channels 0..383: their counts summed over the run.
  std::vector<int64_t> Channel_Totals = std::vector<int64_t>(storage::kTableSize, 0);

  double At(int32_t bin, int group) const;  // 0 outside the table
};

enum class ActivityStatus { kOk, kNoFile, kUnreadable };

struct ActivityLoad {
  ActivityStatus status = ActivityStatus::kOk;
  int32_t max = 0;  // the largest group mean, rounded
};

// A bin size as typed: a whole number 1..1440 after rounding, else 5.
int32_t ValidBinSize(double value);

// Group means of a run in bins of `bin` minutes (by_time), or over the whole run in
// bin 1. A record's bin follows its minutes: a bin closes at the first record that
// reaches its last minute (or at the run's last minute), and a record never lands in a
// bin that ends before its own minute, so a recording gap leaves empty bins. Records
// whose minutes go back are not used. On kNoFile and kUnreadable `t` is unchanged.
ActivityLoad LoadGroupActivity(const std::filesystem::path& run_folder,
                               const storage::ChannelTable16& groups, int32_t bin, bool by_time,
                               ActivityTables& t);

// Channel totals over the whole run; on a failure `t` is unchanged.
ActivityStatus LoadChannelTotals(const std::filesystem::path& run_folder, ActivityTables& t);

struct KineticsLoad {
  enum class Status { kOk, kTooMany } status = Status::kOk;
  int32_t max = 0;
  std::vector<std::string> skipped;  // ids that are no run folder of the project
  std::vector<std::filesystem::path>
      without_counts;  // run folders without counts.bin (points of 0)
};

// One point per tagged run of `tag_list` (blank-separated run folder names of the
// project), the whole run's group means, in date order (equal dates keep the list's
// order), grouped by the loaded run's `groups`. More than 99 names: kTooMany and `t`
// unchanged. `progress(done, total)` is told before each run is read.
KineticsLoad LoadTaggedKinetics(const std::filesystem::path& project_folder,
                                const std::string& tag_list, const storage::ChannelTable16& groups,
                                ActivityTables& t,
                                const std::function<void(size_t, size_t)>& progress = {});

}  // namespace offline
