#include "reports/circadian_export.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <new>
#include <string>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/numeric.h"
#include "reports/group_statistics.h"
#include "reports/report_engine.h"
#include "reports/resampling.h"
#include "reports/whole_run.h"
#include "storage/project_folders.h"
#include "storage/run_files.h"
#include "storage/run_loading.h"

namespace reports {

namespace {

namespace fs = std::filesystem;

void Say(const std::string& text) { platform::GetDialogs().MsgBox(text); }

// The moment the run started: its folder's "yyyymmdd_hhmm" name, else now.
std::chrono::sys_time<std::chrono::minutes> RunStart(const fs::path& folder) {
  fs::path name = folder.filename();
  if (name.empty()) name = folder.parent_path().filename();
  const std::optional<platform::WallTime> stamped = storage::RunFolderStart(name.string());
  const platform::WallTime w = stamped ? *stamped : platform::Now();
  using namespace std::chrono;
  const sys_days date = year_month_day{year(w.year), month(static_cast<unsigned>(w.month)),
                                       day(static_cast<unsigned>(w.day))};
  return date + hours(w.hour) + minutes(w.minute);
}

// "dd/mm/yyyy hh:mm", the same on every machine.
std::string Stamp(std::chrono::sys_time<std::chrono::minutes> t) {
  using namespace std::chrono;
  const sys_days date = floor<days>(t);
  const year_month_day ymd(date);
  const hh_mm_ss<minutes> clock(t - date);
  char text[32];
  std::snprintf(text, sizeof text, "%02u/%02u/%04d %02d:%02d", unsigned(ymd.day()),
                unsigned(ymd.month()), int(ymd.year()), int(clock.hours().count()),
                int(clock.minutes().count()));
  return text;
}

bool WriteText(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return !out.fail();
}

// Lines k = 1..N of the per-well files.
bool WriteWellFiles(const fs::path& folder, const RunPlate& plate, const GroupStatistics& stats,
                    int32_t N, int32_t bin) {
  const auto start = RunStart(folder);
  for (int32_t w = 0; w <= plate.MaxWell; ++w) {
    if (plate.WellBeamChannel(w, 0) < 0) continue;
    const int32_t column = w / plate.RepPlateRows;
    const int32_t row = w - column * plate.RepPlateRows;
    char name[48];
    std::snprintf(name, sizeof name, "%03d_%c%d.txt", w, 'A' + row, column + 1);
    std::string text;
    for (int32_t k = 1; k <= N; ++k) {
      text +=
          Stamp(start + std::chrono::minutes(int64_t{k} * bin)) + " " +
          std::to_string(stats.WellBinActivity(static_cast<size_t>(k), static_cast<size_t>(w))) +
          "\r\n";
    }
    if (!WriteText(folder / name, text)) return false;
  }
  return true;
}

// One line per channel file, and time.txt.
bool WriteChannelFiles(const fs::path& folder, const GroupStatistics& stats, int32_t N,
                       int32_t bin) {
  for (int c = 0; c < kChannelCount; ++c) {
    std::string line;
    for (int32_t k = 1; k <= N; ++k) {
      if (k > 1) line += ' ';
      line +=
          std::to_string(stats.ChannelBinActivity(static_cast<size_t>(k), static_cast<size_t>(c)));
    }
    char name[32];
    std::snprintf(name, sizeof name, "ch%06d.txt", c);
    if (!WriteText(folder / name, line + "\r\n")) return false;
  }
  std::string times;
  for (int32_t k = 1; k <= N; ++k) {
    if (k > 1) times += ' ';
    times += std::to_string(int64_t{k} * bin * 60);
  }
  return WriteText(folder / "time.txt", times + "\r\n");
}

ToolOutcome Export(CircadianRequest& request, bool with_time) {
  const fs::path folder(request.run_folder);
  const fs::path counts_file = folder / storage::CountsFileName();
  std::error_code ec;
  if (!fs::is_regular_file(counts_file, ec)) {
    Say("Activity file not Found");
    return ToolOutcome::kFailed;
  }
  RunPlate plate;
  if (!LoadRunPlate(folder, plate)) return ToolOutcome::kFailed;
  WholeRun run;
  if (!ReadWholeRun(counts_file, run, true) || run.size() == 0 || plate.RepPlateRows < 1) {
    Say("Report Error");
    return ToolOutcome::kFailed;
  }
  int64_t T = std::max<int64_t>(*std::max_element(run.minutes.begin(), run.minutes.end()),
                                run.times.back());
  T = std::max<int64_t>(T, 0);

  int32_t bin = 0;
  if (!ParseBinText(request.bin_text, bin)) {
    Say("Bin size (min): not a number: nothing was exported");
    return ToolOutcome::kFailed;
  }
  if (bin < 2) {
    bin = 2;
    request.bin_text = "2";
  }
  if (bin > T + 1) {
    if (T <= 30) {
      bin = static_cast<int32_t>(T + 1);
    } else {
      bin = static_cast<int32_t>((T + 1) / 15 * 15);
      request.bin_text = std::to_string(bin);
    }
  }
  int64_t N = static_cast<int64_t>(platform::RoundHalfEven(static_cast<double>(T) / bin));
  if (N == 0) N = 1;
  // A damaged file's minutes in the millions would ask for gigabytes of bins.
  if (N > kMaxReportBins) {
    Say("Report Error");
    return ToolOutcome::kFailed;
  }

  BinRecords bins;
  const size_t records = run.size();
  bins.RecordTime = run.times;
  bins.RecordTime.push_back(0);
  bins.RecordTemperature.assign(run.temperatures.begin(), run.temperatures.end());
  bins.RecordTemperature.push_back(0);
  bins.RecordCounts = Table2D<int32_t>(records + 1, kChannelEntries, 0);
  for (size_t k = 0; k < records; ++k)
    for (int c = 0; c < kChannelCount; ++c)
      bins.RecordCounts(k, static_cast<size_t>(c)) = run.counts(k, static_cast<size_t>(c));
  run = WholeRun{};
  GroupStatistics stats;
  BuildGroupStatistics(static_cast<int32_t>(T), static_cast<int32_t>(records) - 1, bin,
                       OutputOption::kRows, folder, bins, plate, stats);

  const bool written = with_time
                           ? WriteWellFiles(folder, plate, stats, static_cast<int32_t>(N), bin)
                           : WriteChannelFiles(folder, stats, static_cast<int32_t>(N), bin);
  if (!written) {
    Say("Report Error");
    return ToolOutcome::kFailed;
  }
  platform::ShellOrSay(
      "explorer " + folder.string(),
      "No program could open the folder. The files are saved in:\r\n" + folder.string());
  return ToolOutcome::kDone;
}

}  // namespace

ToolOutcome ExportCircadian(CircadianRequest& request) {
  platform::Dialogs& dialogs = platform::GetDialogs();
  if (!dialogs.AskYesNo("Do you like to Export 384 text files?")) return ToolOutcome::kStopped;
  const bool with_time = dialogs.AskYesNo("Include time field?");
  try {
    return Export(request, with_time);
  } catch (const std::bad_alloc&) {
    Say("Report Error");
    return ToolOutcome::kFailed;
  }
}

}  // namespace reports
