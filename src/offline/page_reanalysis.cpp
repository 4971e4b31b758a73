#include "offline/page_reanalysis.h"

#include <algorithm>

#include "acquisition/snr.h"
#include "detection/raw_block_analysis.h"
#include "offline/offline_plots.h"
#include "platform/numeric.h"

namespace offline {

namespace {

constexpr int32_t kTraceGrey = Rgb(128, 128, 128);
constexpr int32_t kBlockLine = Rgb(200, 200, 200);
// The signal view's scale: its top edge, where the count rows start and their spacing.
constexpr double kTopY = 2150;
constexpr double kFirstRowY = 100;
constexpr double kRowSpacing = 100;
constexpr double kKeyColumnSpacing = 700;

}  // namespace

ThresholdChoice ReadThresholdBox(std::string_view text) {
  const double v = acquisition::ParseSnrText(text);
  if (v < kLowestThreshold || v > kHighestThreshold) return {kDefaultThreshold, true};
  return {v, false};
}

std::string ThresholdBoxText(double value, char decimal) {
  std::string text = platform::FormatFixed(value, 1);
  std::replace(text.begin(), text.end(), '.', decimal);
  return text;
}

int AnalysisMethod(int mode_index) { return mode_index == 1 ? 1 : 0; }

PageAnalysis AnalyzePage(const RawPage& page, const std::vector<int>& beams,
                         const std::filesystem::path& counts_file, double threshold, int method) {
  PageAnalysis out;
  out.page = page.page;
  out.beams = beams;
  out.traces.assign(beams.size(), std::vector<std::array<int16_t, kBlockSamples>>(kPageBlocks));
  out.sums.assign(beams.size(), {});

  // Every beam of every block is copied into a row of its own and the rows go through
  // the plate analysis together: the same arithmetic per row as one call per beam and
  // block, many rows at a time.
  struct Row {
    int block;
    size_t beam;
  };
  std::vector<Row> rows;
  for (int b = 0; b < kPageBlocks; ++b)
    for (size_t k = 0; k < beams.size(); ++k)
      if (beams[k] >= 0) rows.push_back({b, k});
  std::vector<int16_t> copies(rows.size() * kBlockSamples);
  std::vector<int> row_numbers(rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    page.CopySamples(beams[rows[r].beam], rows[r].block, copies.data() + r * kBlockSamples);
    row_numbers[r] = static_cast<int>(r);
  }
  detection::DetectionParams params;
  params.threshold = threshold;
  params.method = method;
  std::vector<detection::DetectionResult> results(rows.size());
  std::vector<detection::DetectionTraces> each(rows.size());
  detection::DetectionTraces last;
  detection::AnalyzeRawBlocks(copies, detection::ChannelMajor(kBlockSamples), row_numbers, params,
                              results, last, each);
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto [b, k] = rows[r];
    out.sums[k][static_cast<size_t>(b / kBlocksPerSum)] += results[r].count;
    std::copy_n(each[r].Threshold_Trace.begin(), kBlockSamples,
                out.traces[k][static_cast<size_t>(b)].begin());
  }
  for (int t = 0; t < kSumsPerPage; ++t) {
    const int64_t record = PageBin(page.page, (t + 1) * kBlocksPerSum - 1);
    storage::CountsRecord r;
    if (record >= 0 && storage::ReadCountsRecordAt(counts_file, static_cast<size_t>(record), r))
      out.minutes[static_cast<size_t>(t)] = r.Elapsed_Minutes;
  }
  return out;
}

CountRows CountRowsLayout(int entries, PlotTextSize text, int widest_count_digits) {
  CountRows out;
  const int n = std::max(entries, 1);
  // The tops of rows 1..n-1 lie between row 0's and the lowest the minutes leave free.
  const double room = kTopY - text.line - kFirstRowY;
  if (text.line <= 0 || kRowSpacing * (n - 1) <= room) {
    out.rows = n;
    return out;
  }
  const int fit = room < text.line ? 1 : static_cast<int>(room / text.line) + 1;
  out.columns = (n + fit - 1) / fit;
  out.rows = (n + out.columns - 1) / out.columns;
  // A line apart at least (the rows of a column fit so), 100 where there is room.
  if (out.rows > 1) out.spacing = std::max(text.line, std::min(kRowSpacing, room / (out.rows - 1)));
  out.column_width = (widest_count_digits + 1) * text.digit;
  return out;
}

ui::DrawPlan PageAnalysisPlan(const PageAnalysis& analysis, const std::vector<int32_t>& colours,
                              PlotTextSize text) {
  ui::DrawPlan plan;
  const auto& beams = analysis.beams;
  size_t widest = 1;
  for (const auto& sums : analysis.sums)
    for (int32_t sum : sums) widest = std::max(widest, std::to_string(sum).size());
  const CountRows layout =
      CountRowsLayout(static_cast<int>(beams.size()), text, static_cast<int>(widest));
  const auto column = [&](size_t k) { return static_cast<int>(k) / layout.rows; };
  const auto row_y = [&](size_t k) {
    return kFirstRowY + layout.spacing * (static_cast<int>(k) % layout.rows);
  };
  for (int b = 0; b < kPageBlocks; ++b) {
    const double x0 = double{kBlockSamples} * b;
    if ((b + 1) % kBlocksPerSum == 0) {
      const size_t t = static_cast<size_t>(b / kBlocksPerSum);
      for (size_t k = 0; k < beams.size(); ++k)
        if (beams[k] >= 0)
          plan.Text(x0 - kBlockSamples - (layout.columns - 1 - column(k)) * layout.column_width,
                    row_y(k), std::to_string(analysis.sums[k][t]));
      if (analysis.minutes[t])
        plan.Text(x0 - kBlockSamples, kTopY, std::to_string(*analysis.minutes[t]));
    }
    for (size_t k = 0; k < beams.size(); ++k) {
      if (beams[k] < 0) continue;
      const auto& trace = analysis.traces[k][static_cast<size_t>(b)];
      plan.Trace(x0, 1, std::vector<double>(trace.begin(), trace.end()), kTraceGrey);
    }
    plan.Line(x0, kTopY, x0, 0, kBlockLine);
  }
  plan.Text(100, kTopY, "Time(min)");
  for (size_t k = 0; k < beams.size(); ++k) {
    if (beams[k] < 0) continue;
    const double x = 100 + kKeyColumnSpacing * column(k), y = row_y(k);
    plan.Fill(x, y - 0.8 * layout.spacing, x + 499, y - 0.6 * layout.spacing,
              k < colours.size() ? colours[k] : Rgb(0, 0, 0));
  }
  return plan;
}

}  // namespace offline
