#pragma once
// Reading a run folder, shared by the reports and the offline browser: the run's groups
// and plate, the detection setting line of its setup.dat, and its counts.bin.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "storage/run_files.h"
#include "storage/run_tables.h"

namespace storage {

enum class LoadStatus {
  kOk,
  kNoSetup,     // the run folder has no setup.dat: nothing was changed
  kUnreadable,  // a missing or malformed setup.dat, groups.dat or chgroup.dat, or a
                // plate layout file (and its backup) that cannot be read
  kNoPlateLayout,  // the run's plate has neither a layout file nor a backup and is not
                   // built in: "Multiwell Configuration File ..." was shown
};

// Reads setup.dat (the plate format on line 2), groups.dat and chgroup.dat of the run
// folder and the plate layout file the run names (<format>.dat in the program folder,
// else <format>.bak, else the built-in layout of a built-in name). `plate` is filled
// anew on success and left alone otherwise. Renames a killed save left pending in the
// folder are made first (FinishPendingRenamesBeforeReading).
LoadStatus LoadProjectGroups(const std::filesystem::path& run_folder, RunPlate& plate);

// The detection settings a run was recorded with: setup.dat line 4 (RT_Buffer,
// DSP_Method) and line 10 (Organism, SNRx10), as stored.
struct RunAnalysis {
  int method = 1;
  int organism = 0;
  int snr_x10 = 18;
  int rt_buffer = 500;
};
// False when the file is missing or its lines 4 and 10 cannot be read.
bool ReadRunAnalysis(const std::filesystem::path& run_folder, RunAnalysis& analysis);

// The SETTING text from the run's setup.dat ("Mode1 C.elegans[snr=1.8]"); false when
// the file is missing or its lines 4 and 10 cannot be read.
bool ReadSetupDescription(const std::filesystem::path& run_folder, std::string& text);

// The largest record time of a counts file in minutes, with the day offset of files
// whose minutes fall back; 0 for an empty file. A file that cannot be read shows
// "Error reading " and the path, and gives 0.
int32_t GetCountsDuration(const std::filesystem::path& counts_file);

// Loads the records of a counts file up to the last one whose minute is not below any
// earlier record's (one spare entry follows). Returns the index of the last record
// loaded, -1 for an empty file; a file that cannot be read shows "Error loading " and
// the path, and returns -2 with the tables empty. A trailing partial record is ignored.
// When `duration` is given it receives GetCountsDuration's value from the same pass.
int32_t LoadCountsFile(const std::filesystem::path& counts_file, CountsRecords& records,
                       int32_t* duration = nullptr);

// LoadCountsFile's records and times, the counts kept as stored in the mapped file:
// no copy. Same results and messages; the reports rebin a long run from it. The
// records must be let go before the caller yields to the window's events (whatever
// shortens a counts file runs on this thread).
int32_t LoadStoredCountsFile(const std::filesystem::path& counts_file,
                             StoredCountsRecords& records, int32_t* duration = nullptr);

// Calls visit(index, record) for every whole record of a counts file in file order,
// reading it in blocks (a trailing partial record is not visited); visit returns false
// to stop early. False when the file is missing or cannot be read.
bool ForEachCountsRecord(
    const std::filesystem::path& file,
    const std::function<bool(size_t, const CountsRecord&)>& visit);

// Minutes a day adds when a counts file's minutes fall back (a run over midnight in
// files of minutes of the day).
inline constexpr int32_t kMinutesPerDay = 1440;

}  // namespace storage
