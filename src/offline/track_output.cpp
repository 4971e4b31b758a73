// What the path tracking shows and writes: the plate picture, the distance labels, the
// per-step picture names and the travel-distance CSV.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "offline/path_tracking.h"
#include "platform/clock.h"
#include "platform/file_write.h"
#include "platform/launcher.h"
#include "platform/numeric.h"
#include "platform/system.h"
#include "reports/report_writer.h"

namespace offline {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kWellGrey = Rgb(150, 150, 150);
constexpr int32_t kOnPlate = Rgb(0, 0, 255);
constexpr int32_t kOffPlate = Rgb(255, 255, 0);
constexpr int32_t kWhite = Rgb(255, 255, 255);
constexpr int32_t kBlack = Rgb(0, 0, 0);
constexpr const char* kCrLf = "\r\n";
constexpr int kWellRowsOfSixWells = 2;

double Nearest(double x) { return platform::RoundHalfEven(x); }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

PlotPicture TrackWellsPicture(const LoadedRun& run) {
  PlotPicture pic;
  const double xo = run.Run_Col_Offset * 100, yo = run.Run_Row_Offset * 100;
  pic.scale = {xo - 50, yo - 50, 2400, 1600};
  ui::DrawPlan& plan = pic.plan;
  const double P = Nearest(run.Run_Col_Pitch * 100), Q = Nearest(run.Run_Row_Pitch * 100);
  const double X = Nearest(xo), Y = Nearest(yo);
  const int rows = std::max<int>(run.Run_Plate_Rows, 0);
  const int cols = std::max<int>(run.Run_Plate_Cols, 0);
  for (int c = 0; c < cols; ++c)
    for (int r = 0; r < rows; ++r)
      plan.Outline(c * P + X, r * Q + Y, (c + 1) * P + X, (r + 1) * Q + Y, kWellGrey);
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridCols; ++c) {
      const int channel = c * kGridRows + r;
      const bool on_plate = run.Run_Channel_Well[static_cast<size_t>(channel)] >= 0;
      plan.Circle(c * 100 + 50, r * 100 + 50, 2, on_plate ? kOnPlate : kOffPlate);
    }
  }
  // A label where the group changes from the last labelled well; the first grouped
  // well is always labelled.
  int last_group = -1;
  for (int c = 0; c < cols; ++c) {
    for (int r = 0; r < rows; ++r) {
      const int channel = run.WellGridAt(c * rows + r, 0);
      if (channel < 0 || channel >= storage::kChannelCount) continue;
      const int g = run.Run_Group[static_cast<size_t>(channel)];
      if (g < 0 || g == last_group) continue;
      last_group = g;
      plan.Text(c * 100 * run.Run_Col_Pitch + xo + 25, r * 100 * run.Run_Row_Pitch + yo + 45,
                "G" + std::to_string(g), GroupLabelColour(g));
    }
  }
  for (int c = 0; c < cols; ++c)
    plan.Text(c * 100 * run.Run_Col_Pitch + xo + 25, yo - 50, std::to_string(c + 1), kBlack);
  for (int r = 0; r < rows; ++r)
    plan.Text(xo - 50, r * 100 * run.Run_Row_Pitch + yo, std::string(1, static_cast<char>('A' + r)),
              kBlack);
  return pic;
}

void TrackScale(ui::DrawPlan& plan, const TrackPlate& plate, int well, double distance) {
  const int column = well / kWellRowsOfSixWells;
  const int row = well - kWellRowsOfSixWells * column;
  const double x0 = Nearest(column * 100 * plate.col_pitch + plate.col_offset * 100);
  const double y0 = Nearest(row * 100 * plate.row_pitch + plate.row_offset * 100);
  plan.Fill(x0 + 5, y0 + 700, x0 + 200, y0 + 795, kWhite);
  plan.Text(x0 + 25, y0 + 700, platform::FormatFixed(distance * kGridMillimetres, 0) + "mm",
            kBlack);
}

std::string TrackPictureName(int64_t step) {
  return platform::FormatZeroPadded(static_cast<double>(step), 5) + ".bmp";
}

std::string ManyTrackPicturesQuestion(int64_t steps, const fs::path& folder) {
  return "Up to " + std::to_string(steps) + " pictures, one per step, will be written into " +
         folder.string() + ". Go on?";
}

std::string MakeTrackPictureFolder(const fs::path& run_folder) {
  const fs::path folder = run_folder / "bmp";
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return "";
  if (fs::create_directory(folder, ec) && !ec) return "";
  return "Could not make the folder " + folder.string() + ": " + ec.message();
}

std::optional<fs::path> ClaimReportFile(const fs::path& folder, const std::string& ext,
                                        std::string& message) {
  for (int n = 0; n <= reports::kMaxReportNames; ++n) {
    const std::string base = n == 0 ? "report" : "report_" + std::to_string(n);
    const fs::path file = folder / (base + ext);
    // "x": created here or not at all, so an existing report is never touched.
    std::FILE* f = std::fopen(file.c_str(), "wbx");
    if (f) {
      std::fclose(f);
      return file;
    }
    if (errno != EEXIST) {
      message = "Could not write " + file.string() + ": " + std::strerror(errno);
      return std::nullopt;
    }
  }
  message = "Every name from report" + ext + " to report_" +
            std::to_string(reports::kMaxReportNames) + ext + " is taken in " + folder.string();
  return std::nullopt;
}

std::string TrackWellLabel(const LoadedRun& run, int well) {
  const int channel = run.WellGridAt(well, 0);
  const int g = (channel >= 0 && channel < storage::kChannelCount)
                    ? run.Run_Group[static_cast<size_t>(channel)]
                    : -1;
  if (g < 0 || g >= storage::kChannelCount) return "999_Free";
  return platform::FormatZeroPadded(g, 3) + "_" + run.Run_Group_Name[static_cast<size_t>(g)];
}

std::string TravelDistanceCsv(const LoadedRun& run, const PathTracker& tracker, int64_t last_block,
                              const std::string& separator, const std::string& date_text) {
  const std::string& s = separator;
  std::string out = Quoted("DATE:") + s + Quoted(date_text) + kCrLf;
  out += Quoted("FILE:") + s + Quoted(run.Chosen_Run_Path.string()) + kCrLf;
  out += kCrLf;
  out += Quoted("<<<<<< Travel Distance: [milimeter/acq_block] >>>>>>") + kCrLf;
  out += "Group/Time[m]";
  const auto& times = tracker.RecordTimes();
  for (int64_t t = 0; t <= last_block; ++t) {
    const double minutes =
        t < static_cast<int64_t>(times.size()) ? times[static_cast<size_t>(t)] : 0;
    out += s + platform::FormatFixed(minutes, 1);
  }
  out += kCrLf;
  for (int w = 0; w <= tracker.Plate().max_well; ++w) {
    out += Quoted(TrackWellLabel(run, w));
    for (int64_t t = 0; t <= last_block; ++t)
      out += s + platform::FormatFixed(tracker.BlockDistance(t, w) * kGridMillimetres, 0);
    out += kCrLf;
  }
  out += kCrLf;
  return out;
}

std::string ExportTravelDistance(const LoadedRun& run, const PathTracker& tracker) {
  std::string message;
  const auto file = ClaimReportFile(run.Chosen_Run_Path, ".csv", message);
  if (!file) return message;
  const platform::WallTime now = platform::Now();
  const std::string text = TravelDistanceCsv(
      run, tracker, tracker.Blocks() - 1, platform::ListSeparator(),
      reports::ReportDateText(now.year, now.month, now.day, now.hour, now.minute, now.second));
  const int err = platform::WriteFileAtomic(*file, text);
  if (err != 0) {
    std::error_code ec;
    fs::remove(*file, ec);
    return "Could not write " + file->string() + ": " + std::strerror(err);
  }
  std::error_code ec;
  const fs::path shown = fs::absolute(*file, ec);
  const std::string where = (ec ? *file : shown).string();
  if (!platform::GetLauncher().Shell("explorer " + where))
    return "No program could open the distance file. It is saved as:\r\n" + where;
  return "";
}

}  // namespace offline
