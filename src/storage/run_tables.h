#pragma once
// The tables a run folder loads into, shared by the reports and the offline browser:
// a dense row-major table, counts.bin as loaded, and the run's plate and group map.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/mapped_file.h"

namespace storage {

inline constexpr int kRunChannelCount = 384;    // real channels 0..383
inline constexpr int kRunChannelEntries = 385;  // tables keep the spare entry 384
inline constexpr int kRunGroupEntries = 385;    // groups 0..384

// Leaves new elements of plain types uninitialised: a table about to be filled from a
// file is not zeroed first.
template <typename T>
struct DefaultInitAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };
  using std::allocator<T>::allocator;
  template <typename U>
  void construct(U* p) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// A dense row-major table; rows are records, bins or slots.
template <typename T>
class Table2D {
 public:
  Table2D() = default;
  Table2D(size_t rows, size_t cols, T fill = T{})
      : rows_(rows), cols_(cols), data_(rows * cols, fill) {}
  // A table whose cells the caller fills before reading them.
  static Table2D Unfilled(size_t rows, size_t cols) {
    Table2D t;
    t.rows_ = rows;
    t.cols_ = cols;
    t.data_.resize(rows * cols);
    return t;
  }
  size_t rows() const { return rows_; }
  size_t cols() const { return cols_; }
  T& operator()(size_t r, size_t c) { return data_[r * cols_ + c]; }
  const T& operator()(size_t r, size_t c) const { return data_[r * cols_ + c]; }
  T* row(size_t r) { return data_.data() + r * cols_; }
  const T* row(size_t r) const { return data_.data() + r * cols_; }
  // Keeps the first `rows` rows (new rows are zero). Shrinking keeps the memory: a copy
  // to give it back would double the peak of a large table.
  void ResizeRows(size_t rows) {
    data_.resize(rows * cols_, T{});
    rows_ = rows;
  }

 private:
  size_t rows_ = 0;
  size_t cols_ = 0;
  std::vector<T, DefaultInitAllocator<T>> data_;
};

// counts.bin as loaded: entry r is record r (0..M), plus one spare entry. The
// counts keep the file's 16-bit width so a week-long run stays small in memory.
struct CountsRecords {
  std::vector<int32_t> RecordTime;         // minutes since the run start, with the day offset
  Table2D<int16_t> RecordCounts;           // (record, channel 0..384); channel 384 stays 0
  std::vector<int16_t> RecordTemperature;  // temperature x 10
};

// counts.bin kept as it is stored, for one pass over a long run without a copy of its
// counts: record r is kStoredRecordWords 16-bit words, the minute's two, then channels
// 0..384 (384 holding the temperature). Records 0..M as in CountsRecords, with their
// times.
struct StoredCountsRecords {
  static constexpr size_t kStoredRecordWords = 2 + kRunChannelEntries;  // 774 bytes
  platform::MappedFile file;
  // The records in this processor's byte order where it is not the file's.
  std::vector<int16_t> swapped;
  std::vector<int32_t> RecordTime;  // minutes since the run start, with the day offset
  size_t records = 0;               // records 0..M

  const int16_t* Counts(size_t r) const {
    const int16_t* words =
        swapped.empty() ? reinterpret_cast<const int16_t*>(file.data()) : swapped.data();
    return words + r * kStoredRecordWords + 2;
  }
  int16_t Temperature(size_t r) const { return Counts(r)[kRunChannelCount]; }
};

// The run's groups and plate as the loaders read them from the run folder.
struct RunPlate {
  std::vector<std::string> GroupName = std::vector<std::string>(kRunGroupEntries);
  std::vector<int16_t> ChGroup = std::vector<int16_t>(kRunChannelEntries, -1);  // negative = Free
  std::vector<int16_t> Well =
      std::vector<int16_t>(kRunChannelEntries, -1);  // negative = off the plate
  std::vector<int16_t> Beam = std::vector<int16_t>(kRunChannelEntries, 0);
  int32_t MaxWell = 0;
  int32_t MaxBeam = 0;
  int32_t RepPlateRows = 0;
  int32_t RepPlateCols = 0;
  // (well 0..MaxWell, beam 0..MaxBeam) -> channel, -1 where none.
  Table2D<int16_t> well_beam_channel;

  // The channel of (well, beam), -1 for a position outside the table.
  int WellBeamChannel(long long well, long long beam) const {
    if (well < 0 || beam < 0 || static_cast<size_t>(well) >= well_beam_channel.rows() ||
        static_cast<size_t>(beam) >= well_beam_channel.cols())
      return -1;
    return well_beam_channel(static_cast<size_t>(well), static_cast<size_t>(beam));
  }
  // The channel's group when it is a real group 0..384, else -1 (Free). Group numbers
  // above the tables (such as 999) have no name or statistics and count as Free.
  int GroupOf(int channel) const {
    const int g = ChGroup[static_cast<size_t>(channel)];
    return (g >= 0 && g <= (kRunGroupEntries - 1)) ? g : -1;
  }
  // Rebuilds well_beam_channel from Well and Beam (a later channel wins a shared position).
  void BuildWellBeamChannel();
};

}  // namespace storage
