#include "offline/signal_view.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/file_write.h"
#include "platform/launcher.h"
#include "platform/numeric.h"
#include "storage/plate_layout.h"

namespace offline {

namespace {

constexpr int32_t kBlack = Rgb(0, 0, 0);
constexpr int32_t kBlockLine = Rgb(200, 200, 200);
constexpr int kMinBeamEntries = 5;
constexpr const char* kCrLf = "\r\n";

// The numeric value of a text (its leading number, 0 for none) when it is a whole
// number within [lo, hi].
bool WholeIn(std::string_view text, int lo, int hi, int& out) {
  const double v = platform::Val(text);
  if (v != std::floor(v) || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

std::string Thousands(int page) { return std::to_string(int64_t{25} * page) + "k"; }

}  // namespace

std::vector<int> BeamList(const LoadedRun& run, int channel) {
  const int max_beam = std::max<int>(run.Run_Max_Beam, 0);
  std::vector<int> beams(static_cast<size_t>(std::max(kMinBeamEntries, max_beam + 1)), -1);
  if (channel < 0 || channel >= storage::kChannelCount) return beams;
  const int well = run.Run_Channel_Well[static_cast<size_t>(channel)];
  if (well < 0) return beams;
  for (int k = 0; k <= max_beam; ++k) {
    const int c = run.WellGridAt(well, k);
    beams[static_cast<size_t>(k)] = (c >= 0 && c < storage::kChannelCount) ? c : -1;
  }
  return beams;
}

std::vector<int32_t> BeamColours(int max_beam) {
  const int b = std::max(max_beam, 0);
  std::vector<int32_t> colours(static_cast<size_t>(std::max(kMinBeamEntries, b + 1)), kBlack);
  if (b > 4) {
    for (int k = 0; k <= b; ++k) {
      const int red = platform::RoundToInt(static_cast<double>(k) / b * 255);
      colours[static_cast<size_t>(k)] = Rgb(red, 255 - red, 0);
    }
    return colours;
  }
  colours[0] = Rgb(255, 0, 0);
  colours[1] = Rgb(0, 0, 255);
  colours[2] = Rgb(0, 255, 0);
  colours[3] = Rgb(200, 128, 0);
  colours[4] = kBlack;
  return colours;
}

std::string PageText(int page, int pages) {
  return std::to_string(page) + "/" + std::to_string(pages);
}

PlotPicture SignalPagePicture(const RawPage& page, const std::vector<int>& beams,
                              const std::vector<int32_t>& colours) {
  PlotPicture pic;
  pic.scale = kSignalPageScale;
  ui::DrawPlan& plan = pic.plan;
  plan.Line(0, 2150, 0, 0, kBlack);
  plan.Line(0, 0, 24900, 0, kBlack);
  // The marks keep to the margin left of the axis, whatever the picture's width, and
  // read whole there.
  plan.WholeText(-1000, 2150, "100%", kBlack, 1000);
  plan.WholeText(-1000, 100, "  0%", kBlack, 1000);
  plan.Text(0, -30, Thousands(page.page - 1));
  plan.Text(12000, -25, "[sample]");
  plan.Text(23500, -30, Thousands(page.page));
  for (int b = 0; b < kPageBlocks; ++b) {
    const double x0 = double{kBlockSamples} * b;
    for (size_t k = 0; k < beams.size(); ++k) {
      const int c = beams[k];
      if (c < 0) continue;
      std::vector<double> levels(kDisplaySamples);
      for (int s = 0; s < kDisplaySamples; ++s)
        levels[static_cast<size_t>(s)] = page.Level(c, b, s);
      plan.Trace(x0, 1, std::move(levels), k < colours.size() ? colours[k] : kBlack);
    }
    plan.Line(x0, 2150, x0, 0, kBlockLine);
  }
  return pic;
}

WellChoice ChooseWell(const LoadedRun& run, std::string_view row_text, std::string_view col_text,
                      std::string_view sub_text) {
  WellChoice out;
  if (row_text.empty() || col_text.empty()) return out;
  const std::string well_text = std::string(row_text) + std::string(col_text);
  int col = 0, beam = 0;
  const int row = static_cast<unsigned char>(row_text.front()) - 64;
  if (row < 1 || row > run.Run_Plate_Rows || !WholeIn(col_text, 1, run.Run_Plate_Cols, col)) {
    out.message = "Well " + well_text + " is not on this plate";
    return out;
  }
  if (!WholeIn(sub_text, 0, run.Run_Max_Beam, beam)) {
    out.message = "Beam \"" + std::string(sub_text) + "\" is not on this plate: beams are 0 to " +
                  std::to_string(run.Run_Max_Beam);
    return out;
  }
  const int well = (col - 1) * run.Run_Plate_Rows + (row - 1);
  const int c = run.WellGridAt(well, beam);
  if (c < 0 || c >= storage::kChannelCount) {
    out.message = "Well " + well_text + " has no beam " + std::to_string(beam);
    return out;
  }
  out.channel = c;
  return out;
}

ChannelWell WellOfChannel(const LoadedRun& run, int channel) {
  if (channel < 0 || channel >= storage::kChannelCount || run.Run_Plate_Rows < 1) return {};
  const int well = run.Run_Channel_Well[static_cast<size_t>(channel)];
  if (well < 0 || well >= int{run.Run_Plate_Rows} * run.Run_Plate_Cols) return {};
  return {well % run.Run_Plate_Rows, well / run.Run_Plate_Rows,
          run.Run_Channel_Beam[static_cast<size_t>(channel)]};
}

std::string WellLabel(const LoadedRun& run, int channel) {
  if (WellOfChannel(run, channel).row_index < 0) return "";
  return storage::WellLabel(run.Run_Channel_Well[static_cast<size_t>(channel)],
                            run.Run_Plate_Rows);
}

std::vector<std::string> GroupChannelLabels(const setup::GroupModel& model, int group) {
  std::vector<std::string> out;
  for (const setup::ChannelEntry& c :
       group == -1 ? model.FreeChannels() : model.GroupChannels(group))
    out.push_back(c.label);
  return out;
}

WellIndexes WellOfListEntry(const LoadedRun& run, std::string_view entry) {
  WellIndexes out;
  int col = 0;
  const int row = entry.empty() ? -1 : static_cast<unsigned char>(entry.front()) - 65;
  const std::string_view column =
      entry.empty() ? entry : entry.substr(1, entry.find('.') == std::string_view::npos
                                                  ? std::string_view::npos
                                                  : entry.find('.') - 1);
  if (row < 0 || row >= run.Run_Plate_Rows || column.empty() ||
      !WholeIn(column, 1, run.Run_Plate_Cols, col)) {
    out.message = "Well " + std::string(entry) + " is not on this plate";
    return out;
  }
  out.row_index = row;
  out.col_index = col - 1;
  return out;
}

std::string DataFileBytes(const DataFileHeader& header, const RawPage& page,
                          const std::vector<int>& beams) {
  std::vector<int> shown;
  std::string out = "\"" + header.project_name + "\"" + kCrLf + "\"" + header.run_folder + "\"" +
                    kCrLf + kCrLf + "Well: " + header.well_text + " Page[" +
                    header.page_text + "] [#" + Thousands(page.page - 1) + "-" +
                    Thousands(page.page) + "]" + kCrLf + kCrLf;
  for (size_t k = 0; k < beams.size(); ++k) {
    if (beams[k] < 0) continue;
    shown.push_back(beams[k]);
    out += header.well_text + "." + std::to_string(k) + " ";
  }
  out += kCrLf;
  // Each level takes at most 7 characters with its blank.
  out.reserve(out.size() + size_t{kPageSamples} * (shown.size() * 7 + 2));
  char number[16];
  for (int b = 0; b < kPageBlocks; ++b) {
    for (int s = 1; s <= kBlockSamples; ++s) {
      for (int c : shown) {
        const auto end = std::to_chars(number, number + sizeof number, page.Level(c, b, s)).ptr;
        out.append(number, end);
        out += ' ';
      }
      out += kCrLf;
    }
  }
  return out;
}

std::string ExportDataFile(const std::filesystem::path& program_folder,
                           const DataFileHeader& header, const RawPage& page,
                           const std::vector<int>& beams) {
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(program_folder / kDataFileName, ec);
  if (ec) return "Could not write " + (program_folder / kDataFileName).string();
  const int err = platform::WriteFileAtomic(file, DataFileBytes(header, page, beams));
  if (err != 0) return "Could not write " + file.string() + ": " + std::strerror(err);
  if (!platform::GetLauncher().Shell("notepad " + file.string()))
    return "No program could open the data file. It is saved as:\r\n" + file.string();
  return "";
}

}  // namespace offline
