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

ui::DrawPlan PageAnalysisPlan(const PageAnalysis& analysis, const std::vector<int32_t>& colours) {
  ui::DrawPlan plan;
  const auto& beams = analysis.beams;
  for (int b = 0; b < kPageBlocks; ++b) {
    const double x0 = double{kBlockSamples} * b;
    if ((b + 1) % kBlocksPerSum == 0) {
      const size_t t = static_cast<size_t>(b / kBlocksPerSum);
      for (size_t k = 0; k < beams.size(); ++k)
        if (beams[k] >= 0)
          plan.Text(x0 - kBlockSamples, 100.0 * static_cast<double>(k) + 100,
                    std::to_string(analysis.sums[k][t]));
      if (analysis.minutes[t])
        plan.Text(x0 - kBlockSamples, 2150, std::to_string(*analysis.minutes[t]));
    }
    for (size_t k = 0; k < beams.size(); ++k) {
      if (beams[k] < 0) continue;
      const auto& trace = analysis.traces[k][static_cast<size_t>(b)];
      std::vector<double> xy(2 * kBlockSamples);
      for (int s = 0; s < kBlockSamples; ++s) {
        xy[2 * static_cast<size_t>(s)] = x0 + s;
        xy[2 * static_cast<size_t>(s) + 1] = trace[static_cast<size_t>(s)];
      }
      plan.Polyline(std::move(xy), kTraceGrey);
    }
    plan.Line(x0, 2150, x0, 0, kBlockLine);
  }
  plan.Text(100, 2150, "Time(min)");
  for (size_t k = 0; k < beams.size(); ++k) {
    if (beams[k] < 0) continue;
    const double y = 100.0 * static_cast<double>(k);
    plan.Fill(100, y + 20, 599, y + 40, k < colours.size() ? colours[k] : Rgb(0, 0, 0));
  }
  return plan;
}

}  // namespace offline
