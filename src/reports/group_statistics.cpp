#include "reports/group_statistics.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "storage/run_files.h"
#include "platform/numeric.h"

namespace reports {

namespace {

// Maps a time in minutes to its slot: a running bin end that only moves forward.
class SlotCursor {
 public:
  SlotCursor(int32_t bin, size_t slot_count) : bin_(bin), end_(bin), slot_count_(slot_count) {}
  // The slot of time t, or -1 when it lies beyond the tables (the cursor then stays).
  long long Slot(double t) {
    if (!std::isfinite(t)) return -1;
    if (t > static_cast<double>(slot_count_) * bin_) return -1;
    if (t > static_cast<double>(end_)) end_ = static_cast<int64_t>(std::ceil(t / bin_)) * bin_;
    const int64_t s = end_ / bin_;
    return s < static_cast<int64_t>(slot_count_) ? s : -1;
  }

 private:
  int32_t bin_;
  int64_t end_;
  size_t slot_count_;
};

struct GroupWells {
  int32_t last_group = 0;                   // G
  std::vector<std::vector<int32_t>> wells;  // wells of each group 0..G, ascending
};

// Group membership comes from each well's beam-0 channel.
GroupWells CollectGroupWells(const RunPlate& plate) {
  GroupWells gw;
  for (int ch = 0; ch < kChannelCount; ++ch)
    gw.last_group = std::max(gw.last_group, plate.GroupOf(ch));
  gw.wells.resize(static_cast<size_t>(gw.last_group) + 1);
  for (int32_t w = 0; w <= plate.MaxWell; ++w) {
    const int c = plate.WellBeamChannel(w, 0);
    if (c < 0) continue;
    const int g = plate.GroupOf(c);
    if (g >= 0) gw.wells[static_cast<size_t>(g)].push_back(w);
  }
  return gw;
}

size_t WellEntries(const RunPlate& plate) {
  return std::max<size_t>(kChannelEntries, static_cast<size_t>(plate.MaxWell) + 1);
}

void FillTemperatures(int32_t N, int32_t B, const BinRecords& bins, GroupStatistics& stats) {
  const size_t slots = stats.BinTemperature.size();
  std::vector<int64_t> sum(slots, 0);
  std::vector<int32_t> count(slots, 0);
  SlotCursor cursor(B, slots);
  for (int32_t j = 0; j <= N; ++j) {
    const long long s = cursor.Slot(bins.RecordTime[static_cast<size_t>(j)]);
    if (s < 0) continue;
    const int32_t t = bins.RecordTemperature[static_cast<size_t>(j)];
    if (t >= 10 && t <= 500) {
      sum[static_cast<size_t>(s)] += t;
      ++count[static_cast<size_t>(s)];
    }
  }
  for (size_t s = 0; s < slots; ++s)
    if (count[s] >= 1)
      stats.BinTemperature[s] = platform::RoundToInt(static_cast<double>(sum[s]) / count[s]);
}

void FillActivity(int32_t K, int32_t N, int32_t B, const BinRecords& bins, const RunPlate& plate,
                  GroupStatistics& stats) {
  const size_t slots = stats.BinValid.size();
  stats.GroupMean = Table2D<int32_t>(slots, kGroupEntries, 0);
  stats.GroupStdDev = Table2D<int32_t>(slots, kGroupEntries, 0);
  stats.WellBinActivity = Table2D<int32_t>(slots, WellEntries(plate), 0);
  stats.ChannelBinActivity = Table2D<int32_t>(slots, kChannelEntries, 0);

  SlotCursor cursor(B, slots);
  for (int32_t j = 0; j <= N; ++j) {
    const long long s = cursor.Slot(bins.RecordTime[static_cast<size_t>(j)]);
    // A bin without records stays invalid: the report skips it instead of showing zeros.
    if (s < 0 || !bins.HasRecords(static_cast<size_t>(j))) continue;
    const size_t slot = static_cast<size_t>(s);
    const int32_t* counts = bins.RecordCounts.row(static_cast<size_t>(j));
    int32_t* channel = stats.ChannelBinActivity.row(slot);
    for (int ch = 0; ch < kChannelCount; ++ch) channel[ch] += counts[ch];
    stats.BinValid[slot] = 1;
    ++stats.BinRecordCount[slot];

    int32_t* well = stats.WellBinActivity.row(slot);
    for (int32_t w = 0; w <= plate.MaxWell; ++w) {
      if (plate.MaxBeam == 0) {
        const int c = plate.WellBeamChannel(w, 0);
        if (c >= 0) well[w] += counts[c];
        continue;
      }
      int n = 0;
      double sum = 0.0;
      for (int32_t k = 0; k <= plate.MaxBeam; ++k) {
        const int c = plate.WellBeamChannel(w, k);
        if (c < 0) continue;
        ++n;
        sum += counts[c];
      }
      if (n > 0) well[w] = platform::RoundToInt(sum / n + well[w]);
    }
  }

  const GroupWells gw = CollectGroupWells(plate);
  for (int32_t g = 0; g <= gw.last_group; ++g) {
    const std::vector<int32_t>& wells = gw.wells[static_cast<size_t>(g)];
    const size_t n = wells.size();
    if (n == 0) continue;
    stats.GroupWellCount[static_cast<size_t>(g)] = static_cast<int32_t>(n);
    for (int32_t s = 1; s <= K && static_cast<size_t>(s) < slots; ++s) {
      double sum = 0.0;
      for (int32_t w : wells)
        sum += stats.WellBinActivity(static_cast<size_t>(s), static_cast<size_t>(w));
      const int32_t mean = platform::RoundToInt(sum / static_cast<double>(n));
      stats.GroupMean(static_cast<size_t>(s), static_cast<size_t>(g)) = mean;
      int32_t sd = 0;
      if (n > 1) {
        // The deviation is taken from the rounded mean, as the report always has.
        double squares = 0.0;
        for (int32_t w : wells) {
          const double d = static_cast<double>(stats.WellBinActivity(static_cast<size_t>(s),
                                                                     static_cast<size_t>(w))) -
                           mean;
          squares += d * d;
        }
        sd = platform::RoundToInt(std::sqrt(squares / static_cast<double>(n - 1)));
      }
      stats.GroupStdDev(static_cast<size_t>(s), static_cast<size_t>(g)) = sd;
    }
  }
}

double LittleEndianDouble(const unsigned char* p) {
  uint64_t bits = 0;
  for (int b = 7; b >= 0; --b) bits = (bits << 8) | p[b];
  return std::bit_cast<double>(bits);
}

// The highest file number n of the folder's histo files, -1 when there is none.
int HighestHistoFile(const std::filesystem::path& folder) {
  int highest = -1;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 10 || name.compare(0, 5, "histo") != 0 ||
        name.compare(name.size() - 4, 4, ".bin") != 0)
      continue;
    const std::string digits = name.substr(5, name.size() - 9);
    if (digits.empty() || digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    highest = std::max(highest, std::stoi(digits));
  }
  return highest;
}

// The report bins K of a run ending at minute T; B below 1 becomes 1.
int32_t StatisticsBins(int32_t T, int32_t& B) {
  if (B < 1) B = 1;
  const int32_t K = platform::RoundToInt(static_cast<double>(T) / B);
  return K <= 0 ? 1 : K;
}

// Whether histogram tables of `slots` slots can be filled from the folder's histo files
// (`highest` receives the highest file number).
StatisticsStatus HistogramSource(size_t slots, const std::filesystem::path& folder, int& highest) {
  if (slots > static_cast<size_t>(kMaxHistogramSlots)) return StatisticsStatus::kTooLarge;
  highest = HighestHistoFile(folder);
  return highest < 0 ? StatisticsStatus::kNoHistogramFiles : StatisticsStatus::kOk;
}

StatisticsStatus FillHistograms(int32_t K, int32_t N, int32_t B,
                                const std::filesystem::path& folder, const BinRecords& bins,
                                const RunPlate& plate, GroupStatistics& stats) {
  const size_t slots = stats.BinValid.size();
  int highest = -1;
  if (const StatisticsStatus st = HistogramSource(slots, folder, highest);
      st != StatisticsStatus::kOk)
    return st;
  stats.ChannelHistogram = HistogramTable(slots, kChannelEntries);
  stats.WellHistogram = HistogramTable(slots, WellEntries(plate));
  stats.GroupHistogram = HistogramTable(slots, kGroupEntries);

  // Only the last record of a slot counts, so the files are read once in order by the
  // heads of their records (minutes and seconds), and only each slot's last record is
  // then read whole.
  struct Pick {
    int file = -1;
    size_t index = 0;
  };
  std::vector<Pick> picks(slots);
  SlotCursor cursor(B, slots);
  for (int k = 0; k <= highest; ++k) {
    const std::filesystem::path file = folder / storage::HistoFileName(k);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) continue;
    std::ifstream in(file, std::ios::binary);
    const size_t records = storage::RecordCount(file, storage::kHistoRecordBytes);
    double seconds = 0.0;
    int count = 0;
    for (size_t i = 0; i < records && in; ++i) {
      unsigned char head[16];
      in.seekg(static_cast<std::streamoff>(i * storage::kHistoRecordBytes));
      if (!in.read(reinterpret_cast<char*>(head), sizeof head)) break;
      const double minutes = LittleEndianDouble(head);
      const double sample_seconds = LittleEndianDouble(head + 8);
      seconds += sample_seconds;
      ++count;
      const long long s = cursor.Slot(minutes);
      if (s < 0) continue;
      picks[static_cast<size_t>(s)] = {k, i};
      stats.BinValid[static_cast<size_t>(s)] = 1;
    }
    stats.HistoSampleSeconds = count > 0 ? seconds / count : 0.0;
  }
  std::vector<unsigned char> bytes(storage::kHistoRecordBytes);
  std::ifstream in;
  int open_file = -1;
  for (size_t slot = 0; slot < slots; ++slot) {
    const Pick& pick = picks[slot];
    if (pick.file < 0) continue;
    if (pick.file != open_file) {
      in = std::ifstream(folder / storage::HistoFileName(pick.file), std::ios::binary);
      open_file = pick.file;
    }
    in.seekg(static_cast<std::streamoff>(pick.index * storage::kHistoRecordBytes));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
      continue;
    const storage::HistoRecord record = storage::DecodeHistoRecord(bytes.data());
    for (int cls = 0; cls < kHistoUsedClasses; ++cls)
      for (int ch = 0; ch < kChannelCount; ++ch)
        stats.ChannelHistogram(slot, static_cast<size_t>(ch), static_cast<size_t>(cls)) =
            record.At(ch, cls);
  }

  SlotCursor well_cursor(B, slots);
  for (int32_t j = 0; j <= N; ++j) {
    const long long s = well_cursor.Slot(bins.RecordTime[static_cast<size_t>(j)]);
    if (s < 0) continue;
    const size_t slot = static_cast<size_t>(s);
    for (int32_t w = 0; w <= plate.MaxWell; ++w) {
      const size_t well = static_cast<size_t>(w);
      if (plate.MaxBeam == 0) {
        const int c = plate.WellBeamChannel(w, 0);
        if (c < 0) continue;
        for (int cls = 0; cls < kHistoUsedClasses; ++cls)
          stats.WellHistogram(slot, well, static_cast<size_t>(cls)) +=
              stats.ChannelHistogram(slot, static_cast<size_t>(c), static_cast<size_t>(cls));
        continue;
      }
      double sum[kHistoUsedClasses] = {};
      int n = 0;
      for (int32_t b = 0; b <= plate.MaxBeam; ++b) {
        const int c = plate.WellBeamChannel(w, b);
        if (c < 0) continue;
        ++n;
        for (int cls = 0; cls < kHistoUsedClasses; ++cls)
          sum[cls] +=
              stats.ChannelHistogram(slot, static_cast<size_t>(c), static_cast<size_t>(cls));
      }
      if (n == 0) continue;
      for (int cls = 0; cls < kHistoUsedClasses; ++cls) {
        int32_t& cell = stats.WellHistogram(slot, well, static_cast<size_t>(cls));
        cell = platform::RoundToInt(sum[cls] / n + cell);
      }
    }
  }

  const GroupWells gw = CollectGroupWells(plate);
  for (int32_t g = 0; g <= gw.last_group; ++g) {
    const std::vector<int32_t>& wells = gw.wells[static_cast<size_t>(g)];
    if (wells.empty()) continue;
    const double n = static_cast<double>(wells.size());
    stats.GroupWellCount[static_cast<size_t>(g)] = static_cast<int32_t>(wells.size());
    for (int32_t s = 1; s <= K && static_cast<size_t>(s) < slots; ++s) {
      for (int cls = 0; cls < kHistoUsedClasses; ++cls) {
        double sum = 0.0;
        for (int32_t w : wells)
          sum += stats.WellHistogram(static_cast<size_t>(s), static_cast<size_t>(w),
                                     static_cast<size_t>(cls));
        int32_t& cell = stats.GroupHistogram(static_cast<size_t>(s), static_cast<size_t>(g),
                                             static_cast<size_t>(cls));
        cell = platform::RoundToInt(sum / n + cell);
      }
    }
  }
  return StatisticsStatus::kOk;
}

}  // namespace

StatisticsStatus BuildGroupStatistics(int32_t T, int32_t N, int32_t B, OutputOption option,
                                      const std::filesystem::path& run_folder,
                                      const BinRecords& bins, const RunPlate& plate,
                                      GroupStatistics& stats) {
  const int32_t K = StatisticsBins(T, B);
  // Never read past the record tables, whatever N the caller passes.
  N = std::min<int64_t>(N, static_cast<int64_t>(bins.RecordTime.size()) - 1);
  N = std::min<int64_t>(N, static_cast<int64_t>(bins.RecordTemperature.size()) - 1);
  N = std::min<int64_t>(N, static_cast<int64_t>(bins.RecordCounts.rows()) - 1);

  const size_t slots = static_cast<size_t>(K) + 2;
  stats.slot_count = static_cast<int32_t>(slots);
  stats.BinTemperature.assign(slots, 0);
  stats.BinRecordCount.assign(slots, 0);
  stats.BinValid.assign(slots, 0);
  stats.GroupWellCount.assign(kGroupEntries, 0);
  FillTemperatures(N, B, bins, stats);

  if (option == OutputOption::kHistogram)
    return FillHistograms(K, N, B, run_folder, bins, plate, stats);
  FillActivity(K, N, B, bins, plate, stats);
  return StatisticsStatus::kOk;
}

StatisticsStatus HistogramRefusal(int32_t T, int32_t B, const std::filesystem::path& run_folder) {
  const int32_t K = StatisticsBins(T, B);
  int highest = -1;
  return HistogramSource(static_cast<size_t>(K) + 2, run_folder, highest);
}

const char* StatisticsMessage(StatisticsStatus status) {
  switch (status) {
    case StatisticsStatus::kNoHistogramFiles:
      return "Error getting Histogram.bin data";
    case StatisticsStatus::kTooLarge:
      return "Report Calculation Error";
    case StatisticsStatus::kOk:
      break;
  }
  return "";
}

}  // namespace reports
