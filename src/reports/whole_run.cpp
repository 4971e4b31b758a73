#include "reports/whole_run.h"

#include <algorithm>
#include <system_error>

#include "storage/run_files.h"
#include "storage/run_loading.h"

namespace reports {

bool ReadWholeRun(const std::filesystem::path& counts_file, WholeRun& run, bool with_counts) {
  run = WholeRun{};
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(counts_file, ec);
  if (ec) return false;
  const size_t records = static_cast<size_t>(bytes / storage::kCountsRecordBytes);
  run.partial_tail = bytes % storage::kCountsRecordBytes != 0;
  run.minutes.reserve(records);
  run.times.reserve(records);
  run.temperatures.reserve(records);
  if (with_counts) run.counts = storage::Table2D<int16_t>(records, storage::kRunChannelEntries);
  int64_t day = 0;
  const bool ok =
      storage::ForEachCountsRecord(counts_file, [&](size_t k, const storage::CountsRecord& r) {
        if (k >= records) return false;
        const int32_t minute = r.Elapsed_Minutes;
        int64_t t = day * storage::kMinutesPerDay + minute;
        if (k > 0) {
          const int64_t fall = run.times.back() - t;
          if (fall > 1000) {
            ++day;
            t = day * storage::kMinutesPerDay + minute;
          } else if (fall > 0 && run.first_fall < 0) {
            run.first_fall = static_cast<long long>(k);
          }
        }
        run.minutes.push_back(minute);
        run.times.push_back(static_cast<int32_t>(std::clamp<int64_t>(t, INT32_MIN, INT32_MAX)));
        run.temperatures.push_back(r.Counts[storage::kRunChannelCount]);
        if (with_counts) std::copy(r.Counts.begin(), r.Counts.end(), run.counts.row(k));
        return true;
      });
  if (!ok || run.minutes.size() != records) {
    run = WholeRun{};
    return false;
  }
  return true;
}

}  // namespace reports
