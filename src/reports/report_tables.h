#pragma once
// The tables one report works on: the run's counts per report bin and the per-bin
// statistics the report file is written from (the run as loaded is storage's
// run_tables.h). Plain values; the report engine owns one set of them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "storage/run_tables.h"

namespace reports {

inline constexpr int kChannelCount = 384;     // real channels 0..383
inline constexpr int kChannelEntries = 385;   // tables keep the spare entry 384
inline constexpr int kGroupEntries = 385;     // groups 0..384
inline constexpr int kHistoClasses = 51;      // classes 0..50 in files and tables
inline constexpr int kHistoUsedClasses = 50;  // classes 0..49 are filled, 50 stays 0
inline constexpr int kLastGroup = kGroupEntries - 1;

// The loaded run's tables are the run loader's own.
template <typename T>
using Table2D = storage::Table2D<T>;
using CountsRecords = storage::CountsRecords;
using RunPlate = storage::RunPlate;

// (slot, channel or well or group, class) histograms.
class HistogramTable {
 public:
  HistogramTable() = default;
  HistogramTable(size_t slot_count, size_t entries)
      : slots_(slot_count), entries_(entries), data_(slot_count * entries * kHistoClasses, 0) {}
  size_t slot_count() const { return slots_; }
  size_t entries() const { return entries_; }
  int32_t& operator()(size_t s, size_t e, size_t k) {
    return data_[(s * entries_ + e) * kHistoClasses + k];
  }
  int32_t operator()(size_t s, size_t e, size_t k) const {
    return data_[(s * entries_ + e) * kHistoClasses + k];
  }

 private:
  size_t slots_ = 0;
  size_t entries_ = 0;
  std::vector<int32_t> data_;
};

// The same run after rebinning: entry j is report bin j, ending at minute (j + 1) x B.
// 32-bit, so sums of many records and percentages of a basal never wrap.
struct BinRecords {
  std::vector<int32_t> RecordTime;
  Table2D<int32_t> RecordCounts;  // (bin, channel 0..384)
  std::vector<int32_t> RecordTemperature;
  // Bins that no record fell into (the bins of an interrupted recording) are 0 here:
  // they hold no data, not zero activity. Empty when every bin holds records.
  std::vector<uint8_t> BinHasRecords;

  bool HasRecords(size_t bin) const {
    if (BinHasRecords.empty()) return true;
    return bin < BinHasRecords.size() && BinHasRecords[bin] != 0;
  }
};

// Per-slot results: slot s holds report bin s - 1; entry 0 and the spare last entry stay 0.
struct GroupStatistics {
  int32_t slot_count = 0;  // K + 2 entries
  std::vector<int32_t> BinTemperature;
  std::vector<int32_t> BinRecordCount;
  std::vector<uint8_t> BinValid;
  Table2D<int32_t> ChannelBinActivity;  // (slot, channel 0..384)
  Table2D<int32_t> WellBinActivity;     // (slot, well)
  Table2D<int32_t> GroupMean;           // (slot, group 0..384)
  Table2D<int32_t> GroupStdDev;
  std::vector<int32_t> GroupWellCount;  // group 0..384
  HistogramTable ChannelHistogram;
  HistogramTable WellHistogram;
  HistogramTable GroupHistogram;
  double HistoSampleSeconds = 0.0;

  bool Valid(long long slot) const {
    return slot >= 0 && static_cast<size_t>(slot) < BinValid.size() &&
           BinValid[static_cast<size_t>(slot)] != 0;
  }
};

}  // namespace reports
