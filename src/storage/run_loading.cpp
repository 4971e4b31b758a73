#include "storage/run_loading.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <string_view>
#include <vector>

#include "storage/run_files.h"
#include "platform/dialogs.h"
#include "platform/mapped_file.h"
#include "platform/numeric.h"
#include "platform/program_folder.h"
#include "storage/file_io.h"
#include "storage/plate_layout.h"
#include "storage/settings_text.h"
#include "storage/setup_file.h"

namespace storage {

namespace {

// Lines of a text file, CR, LF or CR LF ending each; nullopt when it cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& file) {
  const std::optional<std::string> bytes = storage::ReadTextFile(file);
  if (!bytes) return std::nullopt;
  return storage::SplitLines(storage::DecodeText(*bytes));
}

void ApplyLayout(const PlateLayout& layout, RunPlate& plate) {
  plate.RepPlateRows = layout.rows;
  plate.RepPlateCols = layout.cols;
  plate.MaxWell = 0;
  plate.MaxBeam = 0;
  for (int ch = 0; ch < kRunChannelEntries; ++ch) {
    const auto i = static_cast<size_t>(ch);
    plate.Well[i] = layout.channel_well[i];
    plate.Beam[i] = layout.channel_beam[i];
    plate.MaxWell = std::max<int32_t>(plate.MaxWell, plate.Well[i]);
    plate.MaxBeam = std::max<int32_t>(plate.MaxBeam, plate.Beam[i]);
  }
  plate.BuildWellBeamChannel();
}

// The run's plate. A name with neither file nor built-in table is not reported on
// another plate: the report would look right and be wrong.
LoadStatus RunPlateLayout(const std::string& format, PlateLayout& layout) {
  switch (ReadRunPlateLayout(format, platform::ProgramFolder(), layout)) {
    case RunLayoutRead::kOk:
      return LoadStatus::kOk;
    case RunLayoutRead::kDamaged:
      return LoadStatus::kUnreadable;
    case RunLayoutRead::kNotFound:
      break;
  }
  platform::GetDialogs().MsgBox("Multiwell Configuration File " + format +
                                ".dat or .bak not found");
  return LoadStatus::kNoPlateLayout;
}

// The run length as the bin clamp sees it: the largest minute with a day offset that
// applies from the record after a fall of more than 1000 minutes.
class DurationScan {
 public:
  void Add(int32_t t) {
    longest_ = std::max(longest_, day_ * kMinutesPerDay + t);
    if (static_cast<int64_t>(previous_) - t > 1000) ++day_;
    previous_ = t;
  }
  int32_t Result() const { return static_cast<int32_t>(std::min<int64_t>(longest_, INT32_MAX)); }

 private:
  int64_t longest_ = 0;
  int64_t day_ = 0;
  int32_t previous_ = 0;
};


// The times of a counts file's records as the reports read them: a day more from a
// record whose minute falls more than 1000 below the previous record's time (that
// record raised itself), the last record at the run's largest minute, and the run
// length the bin clamp uses.
class RecordTimeline {
 public:
  int32_t Add(size_t r, int32_t minute) {
    scan_.Add(minute);
    if (minute >= largest_) {
      largest_ = minute;
      last_ = static_cast<long long>(r);
    }
    int64_t t = day_ * kMinutesPerDay + minute;
    if (r > 0 && previous_ - t > 1000) {
      ++day_;
      t = day_ * kMinutesPerDay + minute;
    }
    previous_ = static_cast<int32_t>(std::min<int64_t>(t, INT32_MAX));
    return previous_;
  }
  long long last() const { return last_; }
  int32_t duration() const { return scan_.Result(); }

 private:
  DurationScan scan_;
  long long last_ = -1;
  int32_t largest_ = INT32_MIN;
  int64_t day_ = 0;
  int32_t previous_ = 0;
};

// Calls visit(index, bytes) for every whole record of a counts file, reading it in
// blocks; false when the file cannot be opened or read.
template <typename Visit>
bool ForEachCountsBytes(const std::filesystem::path& file, Visit visit) {
  const platform::ReadOnlyFile in(file);
  if (!in.ok()) return false;
  const size_t records = static_cast<size_t>(in.size() / storage::kCountsRecordBytes);
  constexpr size_t kBlock = 1024;
  std::vector<unsigned char> buffer(kBlock * storage::kCountsRecordBytes);
  size_t index = 0;
  while (index < records) {
    const size_t take = std::min(kBlock, records - index);
    const size_t bytes = take * storage::kCountsRecordBytes;
    if (in.ReadAt(index * storage::kCountsRecordBytes, buffer.data(), bytes) !=
        static_cast<int64_t>(bytes))
      return false;
    for (size_t k = 0; k < take; ++k)
      if (!visit(index + k, buffer.data() + k * storage::kCountsRecordBytes)) return true;
    index += take;
  }
  return true;
}

}  // namespace

bool ForEachCountsRecord(
    const std::filesystem::path& file,
    const std::function<bool(size_t, const CountsRecord&)>& visit) {
  return ForEachCountsBytes(file, [&visit](size_t index, const unsigned char* bytes) {
    return visit(index, storage::DecodeCountsRecord(bytes));
  });
}

LoadStatus LoadProjectGroups(const std::filesystem::path& run_folder, RunPlate& plate) {
  // Files a killed save left half renamed are put in place before anything is read.
  FinishPendingRenamesBeforeReading(run_folder);
  const std::filesystem::path setup = run_folder / "setup.dat";
  if (!storage::FileExists(setup)) return LoadStatus::kNoSetup;
  RunPlate loaded;
  try {
    const auto lines = ReadLines(setup);
    if (!lines || lines->size() < 2) return LoadStatus::kUnreadable;
    storage::SettingsReader line2((*lines)[1]);
    line2.SkipField();
    line2.SkipField();
    line2.SkipField();
    const std::string format = line2.ReadString();

    auto groups = storage::SettingsReader::Open(run_folder / "groups.dat");
    if (!groups) return LoadStatus::kUnreadable;
    groups->SkipField();
    for (size_t i = 0; i < kRunGroupEntries && !groups->Eof(); ++i) {
      groups->SkipField();
      loaded.GroupName[i] = groups->ReadString();
    }

    auto chgroup = storage::SettingsReader::Open(run_folder / "chgroup.dat");
    if (!chgroup) return LoadStatus::kUnreadable;
    chgroup->SkipField();
    for (size_t i = 0; i < kRunChannelEntries && !chgroup->Eof(); ++i) {
      chgroup->SkipField();
      loaded.ChGroup[i] = chgroup->ReadInt16();
    }

    PlateLayout layout;
    if (const LoadStatus st = RunPlateLayout(format, layout); st != LoadStatus::kOk) return st;
    ApplyLayout(layout, loaded);
  } catch (const storage::FormatError&) {
    return LoadStatus::kUnreadable;
  }
  plate = std::move(loaded);
  return LoadStatus::kOk;
}

bool ReadRunAnalysis(const std::filesystem::path& run_folder, RunAnalysis& analysis) {
  const auto lines = ReadLines(run_folder / "setup.dat");
  if (!lines || lines->size() < 10) return false;
  RunAnalysis read;
  try {
    storage::SettingsReader line4((*lines)[3]);
    for (int k = 0; k < 3; ++k) line4.SkipField();
    read.rt_buffer = line4.ReadInt16();
    read.method = line4.ReadInt16();
    storage::SettingsReader line10((*lines)[9]);
    read.organism = line10.ReadInt16();
    line10.SkipField();
    line10.SkipField();
    read.snr_x10 = line10.ReadInt16();
  } catch (const storage::FormatError&) {
    return false;
  }
  analysis = read;
  return true;
}

bool ReadSetupDescription(const std::filesystem::path& run_folder, std::string& text) {
  RunAnalysis run;
  if (!ReadRunAnalysis(run_folder, run)) return false;
  const int method = run.method;
  const int organism = run.organism;
  const int snr = RunSnrX10(run.snr_x10);
  // One decimal and back: 18 gives 1.8, 20 gives 2.
  const double value = platform::Val(platform::FormatFixed(snr / 10.0, 1));
  const char* name = organism == 0   ? "C.elegans"
                     : organism == 1 ? "Zebrafish"
                     : organism == 2 ? "Echinococcus"
                                     : "";
  text =
      "Mode" + std::to_string(method) + " " + name + "[snr=" + storage::FormatNumber(value) + "]";
  return true;
}


int32_t GetCountsDuration(const std::filesystem::path& counts_file) {
  DurationScan scan;
  const bool ok = ForEachCountsBytes(counts_file, [&](size_t, const unsigned char* bytes) {
    int16_t counts[kRunChannelEntries];
    scan.Add(storage::DecodeCountsRecordInto(bytes, counts));
    return true;
  });
  if (!ok) {
    platform::GetDialogs().MsgBox("Error reading " + counts_file.string());
    return 0;
  }
  return scan.Result();
}

int32_t LoadCountsFile(const std::filesystem::path& counts_file, CountsRecords& records,
                       int32_t* duration) {
  records = CountsRecords{};
  RecordTimeline timeline;
  // One pass loads every record straight into its row; only records up to the last one
  // at the run's largest minute count (the day offset depends on earlier records only).
  const size_t available = storage::RecordCount(counts_file, storage::kCountsRecordBytes);
  records.RecordTime.assign(available + 1, 0);
  records.RecordTemperature.assign(available + 1, 0);
  records.RecordCounts = Table2D<int16_t>::Unfilled(available + 1, kRunChannelEntries);
  const bool ok = ForEachCountsBytes(counts_file, [&](size_t r, const unsigned char* bytes) {
    if (r >= available) return false;
    int16_t* row = records.RecordCounts.row(r);
    const int32_t minute = storage::DecodeCountsRecordInto(bytes, row);
    records.RecordTemperature[r] = row[kRunChannelCount];
    row[kRunChannelCount] = 0;
    records.RecordTime[r] = timeline.Add(r, minute);
    return true;
  });
  if (!ok) {
    records = CountsRecords{};
    platform::GetDialogs().MsgBox("Error loading " + counts_file.string());
    if (duration) *duration = 0;
    return -2;
  }
  if (duration) *duration = timeline.duration();
  const long long last = timeline.last();
  // Records after the last one kept are dropped; one spare zero entry follows.
  const size_t entries = static_cast<size_t>(last + 2);
  records.RecordTime.resize(entries);
  records.RecordTemperature.resize(entries);
  records.RecordCounts.ResizeRows(entries);
  records.RecordTime[entries - 1] = 0;
  records.RecordTemperature[entries - 1] = 0;
  std::fill(records.RecordCounts.row(entries - 1),
            records.RecordCounts.row(entries - 1) + kRunChannelEntries, int16_t{0});
  return static_cast<int32_t>(last);
}

int32_t LoadStoredCountsFile(const std::filesystem::path& counts_file,
                             StoredCountsRecords& records, int32_t* duration) {
  records = StoredCountsRecords{};
  constexpr size_t kBytes = storage::kCountsRecordBytes;
  static_assert(StoredCountsRecords::kStoredRecordWords * 2 == kBytes);
  // Whole records only: a trailing partial one is ignored. The file is mapped: whatever
  // shortens it (the recording's repairs, the re-analysis) runs on this same thread,
  // so a caller lets go of the records before it yields to the window's events.
  const size_t available = storage::RecordCount(counts_file, kBytes);
  records.file = platform::MappedFile(counts_file, available * kBytes);
  if (!records.file.ok() || records.file.size() != available * kBytes) {
    records = StoredCountsRecords{};
    platform::GetDialogs().MsgBox("Error loading " + counts_file.string());
    if (duration) *duration = 0;
    return -2;
  }
  RecordTimeline timeline;
  records.RecordTime.assign(available + 1, 0);
  const unsigned char* bytes = records.file.data();
  for (size_t r = 0; r < available; ++r)
    records.RecordTime[r] = timeline.Add(r, storage::DecodeCountsMinute(bytes + r * kBytes));
  if (duration) *duration = timeline.duration();
  const long long last = timeline.last();
  records.records = static_cast<size_t>(last + 1);
  if constexpr (std::endian::native != std::endian::little) {
    records.swapped.resize(records.records * StoredCountsRecords::kStoredRecordWords);
    for (size_t i = 0; i < records.swapped.size(); ++i)
      records.swapped[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  // Records after the last one kept are dropped; one spare zero time follows.
  records.RecordTime.resize(records.records + 1);
  records.RecordTime.back() = 0;
  return static_cast<int32_t>(last);
}

}  // namespace storage
