#include "offline/group_activity.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <system_error>

#include "offline/loaded_run.h"
#include "platform/numeric.h"
#include "storage/run_loading.h"
#include "storage/file_io.h"

namespace offline {
namespace fs = std::filesystem;

namespace {

constexpr int kChannels = storage::kChannelCount;

// The slot each channel's counts go to: its group, or the Free slot.
std::array<int, kChannels> SlotOfChannels(const storage::ChannelTable16& groups) {
  std::array<int, kChannels> slot{};
  for (int ch = 0; ch < kChannels; ++ch) {
    const int g = groups[static_cast<size_t>(ch)];
    slot[static_cast<size_t>(ch)] = (g >= 0 && g < kChannels) ? g : kFreeSlot;
  }
  return slot;
}

// Channel sums of the records of one bin, moved into the bin's group slots when the
// bin is done: whole-number adds per channel instead of one long chain per group.
class BinSums {
 public:
  explicit BinSums(const std::array<int, kChannels>& slot) : slot_(slot) {}
  void Add(const storage::CountsRecord& r) {
    for (size_t ch = 0; ch < kChannels; ++ch) sums_[ch] += r.Counts[ch];
  }
  void MoveTo(double* row) {
    for (size_t ch = 0; ch < kChannels; ++ch) {
      row[slot_[ch]] += static_cast<double>(sums_[ch]);
      sums_[ch] = 0;
    }
  }

 private:
  const std::array<int, kChannels>& slot_;
  std::array<int64_t, kChannels> sums_{};
};

// Rows first..last of sums become group means; returns the largest mean before rounding
// (at least `max`).
double ToMeans(storage::Table2D<double>& table, size_t first, size_t last,
               const std::array<int, kChannels>& slot, double max) {
  std::array<int32_t, kChannels> channels{};
  for (int s : slot)
    if (s < kChannels) ++channels[static_cast<size_t>(s)];
  for (size_t b = first; b <= last; ++b) {
    double* row = table.row(b);
    for (int g = 0; g < kChannels; ++g) {
      const int32_t n = channels[static_cast<size_t>(g)];
      if (n == 0) continue;
      const double m = row[g] / n;
      if (m > max) max = m;
      row[g] = platform::RoundHalfEven(m);
    }
  }
  return max;
}

fs::path CountsOf(const fs::path& run_folder) { return run_folder / "counts.bin"; }

}  // namespace

double ActivityTables::At(int32_t bin, int group) const {
  if (bin < 0 || group < 0 || static_cast<size_t>(bin) >= Group_Activity.rows() ||
      static_cast<size_t>(group) >= Group_Activity.cols())
    return 0.0;
  return Group_Activity(static_cast<size_t>(bin), static_cast<size_t>(group));
}

int32_t ValidBinSize(double value) {
  if (!std::isfinite(value)) return kDefaultBin;
  const double b = platform::RoundHalfEven(value);
  return (b >= kMinBin && b <= kMaxBin) ? static_cast<int32_t>(b) : kDefaultBin;
}

ActivityLoad LoadGroupActivity(const fs::path& run_folder, const storage::ChannelTable16& groups,
                               int32_t bin, bool by_time, ActivityTables& t) {
  ActivityLoad result;
  const fs::path file = CountsOf(run_folder);
  if (!storage::FileExists(file)) {
    result.status = ActivityStatus::kNoFile;
    return result;
  }
  // The run's last minute sizes the time bins; the whole-run load needs no first pass.
  int64_t max_t = 0;
  if (by_time &&
      !storage::ForEachCountsRecord(file, [&](size_t, const storage::CountsRecord& r) {
        max_t = std::max<int64_t>(max_t, r.Elapsed_Minutes);
        return true;
      })) {
    result.status = ActivityStatus::kUnreadable;
    return result;
  }

  const int64_t b_size = std::clamp<int32_t>(bin, kMinBin, kMaxBin);
  int64_t bins = 1;
  if (by_time)
    bins =
        std::min<int64_t>(platform::RoundToInt(static_cast<double>(max_t) / b_size) + 1, kMaxBins);
  storage::Table2D<double> table(static_cast<size_t>(bins) + 1, kGroupSlots, 0.0);
  const auto slot = SlotOfChannels(groups);

  int64_t end = b_size;  // the end of the current bin: records up to end - 1 belong to it
  bool last_bin = false;
  int64_t previous = 0;
  BinSums sums(slot);
  int64_t current = 1;  // the bin `sums` holds
  const bool ok =
      storage::ForEachCountsRecord(file, [&](size_t, const storage::CountsRecord& r) {
        const int64_t minute = r.Elapsed_Minutes;
        if (minute < previous) return true;  // minutes that go back are no time of this run
        previous = minute;
        if (by_time) {
          // Never behind the record's own minute: after a gap the bins in between stay empty.
          const int64_t own_end = (minute / b_size + 1) * b_size;
          if (own_end > end) {
            end = own_end;
            if (end > max_t) last_bin = true;
          }
        }
        const int64_t b = end / b_size;
        if (b != current) {
          if (current <= bins) sums.MoveTo(table.row(static_cast<size_t>(current)));
          current = b;
        }
        if (b <= bins) sums.Add(r);
        if (by_time && (minute >= end - 1 || (minute == max_t && !last_bin))) {
          if (minute == max_t) last_bin = true;
          end += b_size;
          if (end > max_t) last_bin = true;
        }
        return true;
      });
  if (!ok) {
    result.status = ActivityStatus::kUnreadable;
    return result;
  }
  if (current <= bins) sums.MoveTo(table.row(static_cast<size_t>(current)));
  const double max = ToMeans(table, 1, static_cast<size_t>(bins), slot, 0.0);
  t.Group_Activity = std::move(table);
  t.Bin_Count = static_cast<int32_t>(bins);
  t.Bin_Size_Used = static_cast<int32_t>(b_size);
  result.max = platform::RoundToInt(max);
  return result;
}

ActivityStatus LoadChannelTotals(const fs::path& run_folder, ActivityTables& t) {
  const fs::path file = CountsOf(run_folder);
  if (!storage::FileExists(file)) return ActivityStatus::kNoFile;
  std::vector<int64_t> totals(storage::kTableSize, 0);
  if (!storage::ForEachCountsRecord(file, [&](size_t, const storage::CountsRecord& r) {
        for (int ch = 0; ch < kChannels; ++ch)
          totals[static_cast<size_t>(ch)] += r.Counts[static_cast<size_t>(ch)];
        return true;
      }))
    return ActivityStatus::kUnreadable;
  totals[kChannels] = t.Channel_Totals[kChannels];
  t.Channel_Totals = std::move(totals);
  return ActivityStatus::kOk;
}

KineticsLoad LoadTaggedKinetics(const fs::path& project_folder, const std::string& tag_list,
                                const storage::ChannelTable16& groups, ActivityTables& t,
                                const std::function<void(size_t, size_t)>& progress) {
  KineticsLoad result;
  std::vector<std::string> ids;
  size_t from = 0;
  while (from < tag_list.size()) {
    const size_t blank = tag_list.find(' ', from);
    const size_t end = blank == std::string::npos ? tag_list.size() : blank;
    if (end > from) ids.push_back(tag_list.substr(from, end - from));
    from = end + 1;
  }
  if (ids.size() > static_cast<size_t>(kMaxTaggedRuns)) {
    result.status = KineticsLoad::Status::kTooMany;
    return result;
  }

  struct Point {
    std::string id;
    int64_t date;
  };
  std::vector<Point> points;
  for (const std::string& id : ids) {
    // Ids come from a text file: only a run folder name may become a path.
    const auto date = FolderNameToDate(id);
    std::error_code ec;
    if (!date || !fs::is_directory(project_folder / id, ec)) {
      result.skipped.push_back(id);
      continue;
    }
    points.push_back({id, *date});
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const Point& a, const Point& b) { return a.date < b.date; });

  const size_t n = points.size();
  ActivityTables fresh = t;
  fresh.Bin_Count = static_cast<int32_t>(n);
  fresh.Group_Activity = storage::Table2D<double>(n + 1, kGroupSlots, 0.0);
  fresh.Point_Dates.assign(n + 1, 0);
  fresh.Sorted_Tag_List.clear();
  const auto slot = SlotOfChannels(groups);
  double max = 0.0;
  for (size_t k = 0; k < n; ++k) {
    if (progress) progress(k, n);
    fresh.Point_Dates[k + 1] = points[k].date;
    fresh.Sorted_Tag_List += " " + points[k].id;
    const fs::path folder = project_folder / points[k].id;
    BinSums sums(slot);
    const bool read = storage::FileExists(CountsOf(folder)) &&
                      storage::ForEachCountsRecord(CountsOf(folder),
                                                   [&](size_t, const storage::CountsRecord& r) {
                                                     sums.Add(r);
                                                     return true;
                                                   });
    if (!read) {
      result.without_counts.push_back(folder);
      continue;
    }
    sums.MoveTo(fresh.Group_Activity.row(k + 1));
    max = ToMeans(fresh.Group_Activity, k + 1, k + 1, slot, max);
  }
  t = std::move(fresh);
  result.max = platform::RoundToInt(max);
  return result;
}

}  // namespace offline
